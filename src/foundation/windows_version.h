// The Windows version this program runs on, with a seam for tests.
#pragma once

#include <windows.h>

// The version the system reports to this program, read once before the
// entry point runs.
class WINDOWS_VERSION {
public:
    WINDOWS_VERSION();
    DWORD Major() const { return info_.dwMajorVersion; }
    DWORD Minor() const { return info_.dwMinorVersion; }

    // Test seam: Wine reports one version per prefix, tests need several.
    void SetForTesting(DWORD major, DWORD minor);
    void RestoreForTesting();

private:
    OSVERSIONINFOA info_;
    OSVERSIONINFOA reported_;
};

extern WINDOWS_VERSION WindowsVersion;

bool IsVista();     // exactly 6.0
bool IsXP();        // 5.1 and 5.2
bool IsXPOrLater(); // 5.1 and later
