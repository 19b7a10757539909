#include <gtest/gtest.h>

#include "system/communications_window.h"
#include "system/processes.h"
#include "system/system_info.h"
#include "testkit/temp_folder.h"
#include "testkit/test_window.h"

// This test program stands in for the program looked for; finding another
// program (Outlook) is the outlook_running scenarios' part.
TEST(ProcessDiscovery, MatcherSeesEveryProcessAndAFileNameMatchesWholeInAnyCase) {
    // The matcher counts its calls and stops at the limit.
    struct COUNT {
        int limit;
        int calls = 0;
    } all{-1}, first{1};
    auto enumerate = [](COUNT& count) {
        return EnumerateProcesses(
            [](const PROCESSENTRY32&, void* context) {
                COUNT& count = *static_cast<COUNT*>(context);
                return ++count.calls == count.limit;
            },
            &count);
    };
    EXPECT_FALSE(enumerate(all));
    EXPECT_GT(all.calls, 1); // this program and at least Wine's own services
    EXPECT_TRUE(enumerate(first));
    EXPECT_EQ(1, first.calls);

    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    const char* name = strrchr(path, '\\') + 1;
    EXPECT_TRUE(processIsRunning(name));
    EXPECT_TRUE(processIsRunning(CharUpperA(path) + (name - path)));
    // A name that merely ends the same way is another program.
    EXPECT_FALSE(processIsRunning(name + 1));
    EXPECT_FALSE(processIsRunning(""));
}

// What the search logs (the class and title, then the window found, in
// decimal and hexadecimal, or 0): the full_yes scenario's log.
TEST(CommunicationsWindow, FoundOnlyAsAMessageOnlyWindowAndClosedSynchronously) {
    const char* const CLASS_NAME = "OrvalithDiscoveryTestClass";
    const char* const TITLE = "Orvalith discovery test";
    {
        OTHER_PROGRAM_WINDOW topLevel(CLASS_NAME, TITLE, false);
        ASSERT_TRUE(topLevel.Window());
        EXPECT_EQ(nullptr, GetCommunicationsWindow(CLASS_NAME, TITLE));
        EXPECT_EQ(0, CloseCommunicationsWindow(CLASS_NAME, TITLE));
        EXPECT_EQ(0, topLevel.closes);
    }
    OTHER_PROGRAM_WINDOW other(CLASS_NAME, TITLE, true);
    ASSERT_TRUE(other.Window());
    HWND found = GetCommunicationsWindow(CLASS_NAME, TITLE);
    EXPECT_EQ(other.Window(), found);
    EXPECT_EQ(nullptr, GetCommunicationsWindow(CLASS_NAME, "another title"));
    // The request returns only when the window has handled it.
    EXPECT_EQ(7, CloseCommunicationsWindow(CLASS_NAME, TITLE));
    EXPECT_EQ(1, other.closes);
    EXPECT_FALSE(IsWindow(found));
}

// A user's folder whose name the code page cannot hold (best fitted, it
// would name another folder) is reached through its short name; one without
// a short name, or too long for a path, cannot be reached, and keeps its own
// name for telling what it holds.
TEST(UserFolder, ANameTheCodePageCannotHoldIsReachedByItsShortNameOrNotAtAll) {
    TEMP_FOLDER temp;
    const std::wstring wideTemp = temp.Path().ToWide();
    const std::wstring polish = wideTemp + L"\\\u0141ukasz";
    ASSERT_TRUE(CreateDirectoryW(polish.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(temp.File("Lukasz").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((polish + L"\\Desktop").c_str(), nullptr));

    EXPECT_EQ(UserFolderFromWide(wideTemp).path, temp.Path());
    USER_FOLDER reached = UserFolderFromWide(polish);
    EXPECT_FALSE(reached.Unreachable());
    EXPECT_NE(reached.path, temp.File("Lukasz"));
    EXPECT_NE(GetFileAttributesA((reached.path + "\\Desktop").c_str()), INVALID_FILE_ATTRIBUTES);

    const std::wstring gone = wideTemp + L"\\\u0141ucja",
                       tooLong = wideTemp + L"\\" + std::wstring(250, L'x');
    for (const std::wstring& wide : {gone, tooLong}) {
        USER_FOLDER unreachable = UserFolderFromWide(wide);
        EXPECT_TRUE(unreachable.Unreachable());
        EXPECT_EQ(unreachable.wide, wide);
    }
    EXPECT_FALSE(UserFolderFromWide(L"").Unreachable());
}
