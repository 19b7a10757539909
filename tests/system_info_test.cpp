#include <gtest/gtest.h>

#include <shlobj.h>

#include "system/pause.h"
#include "system/system_info.h"

TEST(SystemInfo, VersionTests) {
    struct CASE {
        DWORD major, minor;
        bool vista, xp, xpOrLater;
    } cases[] = {
        {5, 0, false, false, false},  {5, 1, false, true, true},  {5, 2, false, true, true},
        {6, 0, true, false, true},    {6, 1, false, false, true}, {10, 0, false, false, true},
        {4, 10, false, false, false},
    };
    for (const CASE& c : cases) {
        WindowsVersion.SetForTesting(c.major, c.minor);
        EXPECT_EQ(IsVista(), c.vista) << c.major << "." << c.minor;
        EXPECT_EQ(IsXP(), c.xp) << c.major << "." << c.minor;
        EXPECT_EQ(IsXPOrLater(), c.xpOrLater) << c.major << "." << c.minor;
    }
    WindowsVersion.RestoreForTesting();
    // What this Wine reports (6.1 unless the prefix says otherwise).
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    GetVersionExA(&info);
    EXPECT_EQ(WindowsVersion.Major(), info.dwMajorVersion);
    EXPECT_EQ(WindowsVersion.Minor(), info.dwMinorVersion);
}

TEST(SystemInfo, LocalAppDataFolderComesFromTheEnvironment) {
    char saved[MAX_PATH] = "";
    DWORD savedLength = GetEnvironmentVariableA("LOCALAPPDATA", saved, sizeof(saved));

    SetEnvironmentVariableA("LOCALAPPDATA", "C:\\Users\\someone\\AppData\\Local");
    EXPECT_EQ(GetLocalAppDataFolder(), "C:\\Users\\someone\\AppData\\Local");
    SetEnvironmentVariableA("LOCALAPPDATA", nullptr);
    EXPECT_EQ(GetLocalAppDataFolder(), "");
    SetEnvironmentVariableA("LOCALAPPDATA", std::string(400, 'x').c_str());
    EXPECT_EQ(GetLocalAppDataFolder(), "");

    SetEnvironmentVariableA("LOCALAPPDATA", savedLength ? saved : nullptr);
}

TEST(SystemInfo, SpecialFolderPaths) {
    STRING windows = GetSpecialFolderPath(nullptr, CSIDL_WINDOWS);
    char expected[MAX_PATH];
    GetWindowsDirectoryA(expected, sizeof(expected));
    EXPECT_EQ(windows.ToLower(), STRING(expected).ToLower());
    EXPECT_FALSE(GetSpecialFolderPath(nullptr, CSIDL_DESKTOPDIRECTORY).empty());
    // No such folder id.
    EXPECT_EQ(GetSpecialFolderPath(nullptr, 0x7F), "");
}

TEST(SystemInfo, SystemErrorTexts) {
    STRING notFound = GetSystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(notFound.empty());
    EXPECT_NE(notFound.LastChar(), '\n');
    EXPECT_NE(notFound.ToLower().find("not found"), STRING::npos) << notFound;
    EXPECT_EQ(GetSystemErrorText(0x2FFFFFFF), "");

    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastErrorText(), GetSystemErrorText(ERROR_ACCESS_DENIED));
}

TEST(Pause, SkippedPausesAreCountedNotSlept) {
    SetPausesSkippedForTesting(true);
    DWORD start = GetTickCount();
    Pause(10000);
    Pause(300);
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(PausedMilliseconds(), 10300u);
    SetPausesSkippedForTesting(false);
    EXPECT_EQ(PausedMilliseconds(), 0u);
}
