// The seams of the Windows version and of the administrator query, set for
// the object's lifetime.
#pragma once

#include "app/startup.h"
#include "system/system_info.h"

class VERSION_GUARD {
public:
    VERSION_GUARD(DWORD major, DWORD minor) { WindowsVersion.SetForTesting(major, minor); }
    ~VERSION_GUARD() { WindowsVersion.RestoreForTesting(); }
    VERSION_GUARD(const VERSION_GUARD&) = delete;
    VERSION_GUARD& operator=(const VERSION_GUARD&) = delete;
};

// The administrator query gives the answer set here or later through Answer(),
// until the guard goes.
class ADMIN_GUARD {
public:
    explicit ADMIN_GUARD(ADMIN_ANSWER answer) {
        Answer() = answer;
        SetAdminQueryForTesting([] { return Answer(); });
    }
    ~ADMIN_GUARD() { SetAdminQueryForTesting(nullptr); }
    static ADMIN_ANSWER& Answer() {
        static ADMIN_ANSWER answer = ADMIN_YES;
        return answer;
    }
    ADMIN_GUARD(const ADMIN_GUARD&) = delete;
    ADMIN_GUARD& operator=(const ADMIN_GUARD&) = delete;
};
