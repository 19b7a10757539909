#include <gtest/gtest.h>

#include "system/communications_window.h"
#include "system/processes.h"
#include "testkit/temp_folder.h"
#include "testkit/test_window.h"
#include "testkit/ui_driver.h"

namespace {

const char* const CLASS_NAME = "OrvalithDiscoveryTestClass";
const char* const TITLE = "Orvalith discovery test";

} // namespace

TEST(ProcessDiscovery, FindsAProgramByItsFileNameInAnyCase) {
    // This test program itself is running.
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    const char* name = strrchr(path, '\\') + 1;
    EXPECT_TRUE(processIsRunning(name));
    EXPECT_TRUE(processIsRunning(CharUpperA(path) + (name - path)));
    EXPECT_FALSE(processIsRunning(""));

    EXPECT_FALSE(processIsRunning("Outlook.exe"));
    TEMP_FOLDER folder;
    CHILD_PROCESS myOutlook, outlook;
    auto start = [&](CHILD_PROCESS& child, const char* file) {
        std::string idle = ThisProgramFolder() + "\\idle_program.exe";
        return CopyFileA(idle.c_str(), folder.File(file).c_str(), FALSE) &&
               child.Start(folder.File(file), "");
    };
    ASSERT_TRUE(start(myOutlook, "MyOutlook.exe"));
    ASSERT_TRUE(PollUntil([] { return processIsRunning("MyOutlook.exe"); }, 20000));
    // A name that merely ends the same way is another program.
    EXPECT_FALSE(processIsRunning("Outlook.exe"));
    ASSERT_TRUE(start(outlook, "Outlook.exe"));
    EXPECT_TRUE(PollUntil([] { return processIsRunning("OUTLOOK.EXE"); }, 20000));
    outlook.Terminate();
    myOutlook.Terminate();
    EXPECT_TRUE(outlook.WaitForExit(10000));
    EXPECT_TRUE(PollUntil([] { return !processIsRunning("outlook.exe"); }, 10000));
}

TEST(ProcessDiscovery, MatcherSeesEveryProcessUntilItStops) {
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
}

// What the search logs (the class and title, then the window found, in
// decimal and hexadecimal, or 0): the full_yes scenario's log.
TEST(CommunicationsWindow, FoundOnlyAsAMessageOnlyWindowAndClosedSynchronously) {
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
