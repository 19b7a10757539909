#include <gtest/gtest.h>

#include <shlobj.h>
#include <tuple>

#include "system/pause.h"
#include "system/system_info.h"
#include "testkit/ui_driver.h"
#include "testkit/version_guard.h"

TEST(SystemInfo, VersionTests) {
    const std::tuple<DWORD, DWORD, bool, bool, bool> cases[] = {
        {5, 0, false, false, false},  {5, 1, false, true, true},  {5, 2, false, true, true},
        {6, 0, true, false, true},    {6, 1, false, false, true}, {10, 0, false, false, true},
        {4, 10, false, false, false},
    };
    for (auto [major, minor, vista, xp, xpOrLater] : cases) {
        VERSION_GUARD version(major, minor);
        EXPECT_EQ(std::make_tuple(IsVista(), IsXP(), IsXPOrLater()),
                  std::make_tuple(vista, xp, xpOrLater))
            << major << "." << minor;
    }
}

TEST(SystemInfo, FoldersAndErrorTexts) {
    ENVIRONMENT_OVERRIDE set("LOCALAPPDATA", "C:\\Users\\someone\\AppData\\Local");
    EXPECT_EQ(GetLocalAppDataFolder(), "C:\\Users\\someone\\AppData\\Local");
    ENVIRONMENT_OVERRIDE unset("LOCALAPPDATA", nullptr);
    EXPECT_EQ(GetLocalAppDataFolder(), "");
    ENVIRONMENT_OVERRIDE tooLong("LOCALAPPDATA", std::string(400, 'x'));
    EXPECT_EQ(GetLocalAppDataFolder(), "");
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_WINDOWS).ToLower(), STRING(windows).ToLower());
    EXPECT_EQ(GetSpecialFolderPath(nullptr, 0x7F), ""); // no such folder id

    // The system's text without its one closing line break, nothing more cut.
    char raw[512] = "";
    DWORD rawLength = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, ERROR_FILE_NOT_FOUND, 0, raw, sizeof raw, nullptr);
    ASSERT_GT(rawLength, 2u);
    ASSERT_EQ(STRING(raw).substr(rawLength - 2), "\r\n");
    STRING notFound = GetSystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(notFound + "\r\n", STRING(raw, rawLength));
    EXPECT_EQ(notFound.find_first_of("\r\n"), STRING::npos) << notFound;
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
