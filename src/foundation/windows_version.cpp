#include "foundation/windows_version.h"

WINDOWS_VERSION WindowsVersion;

WINDOWS_VERSION::WINDOWS_VERSION() {
    ZeroMemory(&info_, sizeof(info_));
    info_.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    GetVersionExA(&info_);
    reported_ = info_;
}

void WINDOWS_VERSION::SetForTesting(DWORD major, DWORD minor) {
    info_.dwMajorVersion = major;
    info_.dwMinorVersion = minor;
}

void WINDOWS_VERSION::RestoreForTesting() {
    info_ = reported_;
}

bool IsVista() {
    return WindowsVersion.Major() == 6 && WindowsVersion.Minor() == 0;
}

bool IsXP() {
    return WindowsVersion.Major() == 5 && WindowsVersion.Minor() != 0;
}

bool IsXPOrLater() {
    return IsXP() || WindowsVersion.Major() >= 6;
}
