// Pretends to run on the given Windows version for the object's lifetime.
#pragma once

#include "system/system_info.h"

class VERSION_GUARD {
public:
    VERSION_GUARD(DWORD major, DWORD minor) { WindowsVersion.SetForTesting(major, minor); }
    ~VERSION_GUARD() { WindowsVersion.RestoreForTesting(); }
    VERSION_GUARD(const VERSION_GUARD&) = delete;
    VERSION_GUARD& operator=(const VERSION_GUARD&) = delete;
};
