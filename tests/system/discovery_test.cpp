#include <gtest/gtest.h>

#include "foundation/log_file.h"
#include "foundation/owned_handle.h"
#include "system/communications_window.h"
#include "system/processes.h"
#include "testkit/temp_folder.h"
#include "testkit/test_window.h"
#include "testkit/ui_driver.h"

namespace {

const char* const CLASS_NAME = "OrvalithDiscoveryTestClass";
const char* const TITLE = "Orvalith discovery test";

// A window of the agreed class and title on a thread of its own, as the
// other program would own it: message-only, or top-level for contrast.
class OTHER_PROGRAM_WINDOW {
public:
    explicit OTHER_PROGRAM_WINDOW(bool messageOnly)
        : messageOnly_(messageOnly), ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {
        WaitForSingleObject(ready_.Get(), 10000);
    }
    ~OTHER_PROGRAM_WINDOW() {
        PostMessageA(window_, WM_CLOSE, 0, 0);
        WaitForSingleObject(thread_.Get(), 10000);
    }

    HWND Window() const { return window_; }
    int closes = 0;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CLOSE) {
            ++reinterpret_cast<OTHER_PROGRAM_WINDOW*>(GetWindowLongPtrA(window, GWLP_USERDATA))
                  ->closes;
            DestroyWindow(window);
            PostQuitMessage(0);
            return 7; // an answer the caller can recognise
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    static DWORD WINAPI Run(LPVOID argument) {
        auto self = static_cast<OTHER_PROGRAM_WINDOW*>(argument);
        TEST_WINDOW window(CLASS_NAME, TITLE, self->messageOnly_ ? HWND_MESSAGE : nullptr,
                           Procedure);
        self->window_ = window.Get();
        SetWindowLongPtrA(self->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetEvent(self->ready_.Get());
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0)
            DispatchMessageA(&message);
        return 0;
    }

    bool messageOnly_;
    OWNED_HANDLE ready_;
    OWNED_HANDLE thread_;
    HWND window_ = nullptr;
};

// Whether the log, closed and reopened to be read, holds text.
bool Logged(const STRING& path, const std::string& text) {
    Log.Close();
    bool found = ReadWholeFile(path).find(text) != std::string::npos;
    Log.Open(path);
    return found;
}

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

TEST(CommunicationsWindow, FoundOnlyAsAMessageOnlyWindowAndClosedSynchronously) {
    TEMP_FOLDER folder;
    const STRING log = folder.File("log.txt");
    ASSERT_TRUE(Log.Open(log));
    struct LOG_CLOSER {
        ~LOG_CLOSER() { Log.Close(); }
    } closer;
    {
        OTHER_PROGRAM_WINDOW topLevel(false);
        ASSERT_TRUE(topLevel.Window());
        EXPECT_EQ(nullptr, GetCommunicationsWindow(CLASS_NAME, TITLE));
        EXPECT_EQ(0, CloseCommunicationsWindow(CLASS_NAME, TITLE));
        EXPECT_EQ(0, topLevel.closes);
    }
    EXPECT_TRUE(Logged(log, " GetCommunicationsWindow \"OrvalithDiscoveryTestClass\" "
                            "\"Orvalith discovery test\""));
    EXPECT_TRUE(Logged(log, " GetCommunicationsWindow 0 00000000"));

    OTHER_PROGRAM_WINDOW other(true);
    ASSERT_TRUE(other.Window());
    HWND found = GetCommunicationsWindow(CLASS_NAME, TITLE);
    EXPECT_EQ(other.Window(), found);
    EXPECT_EQ(nullptr, GetCommunicationsWindow(CLASS_NAME, "another title"));
    // The request returns only when the window has handled it.
    EXPECT_EQ(7, CloseCommunicationsWindow(CLASS_NAME, TITLE));
    EXPECT_EQ(1, other.closes);
    EXPECT_FALSE(IsWindow(found));
    char expected[80];
    wsprintfA(expected, " GetCommunicationsWindow %d %08x", (int)(UINT_PTR)found,
              (unsigned)(UINT_PTR)found);
    EXPECT_TRUE(Logged(log, expected));
}
