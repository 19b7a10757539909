#include <gtest/gtest.h>

#include "foundation/log_file.h"
#include "foundation/owned_handle.h"
#include "system/communications_window.h"
#include "system/processes.h"
#include "testkit/temp_folder.h"
#include "testkit/ui_driver.h"

namespace {

const char* const CLASS_NAME = "OrvalithDiscoveryTestClass";
const char* const TITLE = "Orvalith discovery test";

// A window of the agreed class and title on a thread of its own, as the
// other program would own it: message-only, or top-level for contrast.
class OTHER_PROGRAM_WINDOW {
public:
    explicit OTHER_PROGRAM_WINDOW(bool messageOnly)
        : messageOnly_(messageOnly), ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
        DWORD id = 0;
        thread_.Reset(CreateThread(nullptr, 0, Run, this, 0, &id));
        WaitForSingleObject(ready_.Get(), 10000);
    }
    ~OTHER_PROGRAM_WINDOW() {
        if (window_ && IsWindow(window_))
            PostMessageA(window_, WM_CLOSE, 0, 0);
        WaitForSingleObject(thread_.Get(), 10000);
    }

    HWND Window() const { return window_; }
    int ClosesHandled() const { return closes_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CLOSE) {
            auto self =
                reinterpret_cast<OTHER_PROGRAM_WINDOW*>(GetWindowLongPtrA(window, GWLP_USERDATA));
            if (self)
                ++self->closes_;
            DestroyWindow(window);
            return 7; // an answer the caller can recognise
        }
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcA(window, message, wParam, lParam);
    }

    static DWORD WINAPI Run(LPVOID argument) {
        auto self = static_cast<OTHER_PROGRAM_WINDOW*>(argument);
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = CLASS_NAME;
        RegisterClassA(&windowClass);
        self->window_ =
            CreateWindowExA(0, CLASS_NAME, TITLE, self->messageOnly_ ? 0 : WS_OVERLAPPED, 0, 0, 10,
                            10, self->messageOnly_ ? HWND_MESSAGE : nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(self->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetEvent(self->ready_.Get());
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0)
            DispatchMessageA(&message);
        UnregisterClassA(CLASS_NAME, GetModuleHandleA(nullptr));
        return 0;
    }

    bool messageOnly_;
    OWNED_HANDLE ready_;
    OWNED_HANDLE thread_;
    HWND window_ = nullptr;
    int closes_ = 0;
};

// Logs into a file for the object's lifetime.
class LOG_CAPTURE {
public:
    LOG_CAPTURE() { Log.Open(folder_.File("log.txt")); }
    ~LOG_CAPTURE() { Log.Close(); }
    std::string Text() {
        Log.Close();
        std::string text = ReadWholeFile(folder_.File("log.txt"));
        Log.Open(folder_.File("log.txt"));
        return text;
    }

private:
    TEMP_FOLDER folder_;
};

} // namespace

TEST(ProcessDiscovery, FindsAProgramByItsFileNameInAnyCase) {
    // This test program itself is running.
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    const char* name = strrchr(path, '\\') + 1;
    EXPECT_TRUE(processIsRunning(name));
    EXPECT_TRUE(processIsRunning(CharUpperA(path) + (name - path)));

    EXPECT_FALSE(processIsRunning("Outlook.exe"));
    TEMP_FOLDER folder;
    std::string idle = ThisProgramFolder() + "\\idle_program.exe";
    ASSERT_TRUE(CopyFileA(idle.c_str(), folder.File("MyOutlook.exe").c_str(), FALSE));
    CHILD_PROCESS myOutlook;
    ASSERT_TRUE(myOutlook.Start(folder.File("MyOutlook.exe"), ""));
    ASSERT_TRUE(PollUntil([] { return processIsRunning("MyOutlook.exe"); }, 20000));
    // A name that merely ends the same way is another program.
    EXPECT_FALSE(processIsRunning("Outlook.exe"));

    ASSERT_TRUE(CopyFileA(idle.c_str(), folder.File("Outlook.exe").c_str(), FALSE));
    CHILD_PROCESS outlook;
    ASSERT_TRUE(outlook.Start(folder.File("Outlook.exe"), ""));
    EXPECT_TRUE(PollUntil([] { return processIsRunning("OUTLOOK.EXE"); }, 20000));
    outlook.Terminate();
    myOutlook.Terminate();
    EXPECT_TRUE(outlook.WaitForExit(10000));
    EXPECT_TRUE(PollUntil([] { return !processIsRunning("outlook.exe"); }, 10000));

    EXPECT_FALSE(processIsRunning(""));
}

TEST(ProcessDiscovery, MatcherSeesEveryProcessUntilItStops) {
    int seen = 0;
    EXPECT_FALSE(EnumerateProcesses(
        [](const PROCESSENTRY32&, void* context) {
            ++*static_cast<int*>(context);
            return false;
        },
        &seen));
    EXPECT_GT(seen, 1); // this program and at least Wine's own services
    int calls = 0;
    EXPECT_TRUE(EnumerateProcesses(
        [](const PROCESSENTRY32&, void* context) {
            ++*static_cast<int*>(context);
            return true;
        },
        &calls));
    EXPECT_EQ(1, calls);
}

TEST(CommunicationsWindow, FoundOnlyAsAMessageOnlyWindowAndClosedSynchronously) {
    LOG_CAPTURE log;
    {
        OTHER_PROGRAM_WINDOW topLevel(false);
        ASSERT_TRUE(topLevel.Window());
        EXPECT_EQ(nullptr, GetCommunicationsWindow(CLASS_NAME, TITLE));
        EXPECT_EQ(0, CloseCommunicationsWindow(CLASS_NAME, TITLE));
        EXPECT_EQ(0, topLevel.ClosesHandled());
    }
    std::string text = log.Text();
    EXPECT_NE(std::string::npos,
              text.find(" GetCommunicationsWindow \"OrvalithDiscoveryTestClass\" "
                        "\"Orvalith discovery test\""))
        << text;
    EXPECT_NE(std::string::npos, text.find(" GetCommunicationsWindow 0 00000000")) << text;

    OTHER_PROGRAM_WINDOW helper(true);
    ASSERT_TRUE(helper.Window());
    HWND found = GetCommunicationsWindow(CLASS_NAME, TITLE);
    EXPECT_EQ(helper.Window(), found);
    EXPECT_EQ(nullptr, GetCommunicationsWindow(CLASS_NAME, "another title"));
    // The request returns only when the window has handled it.
    EXPECT_EQ(7, CloseCommunicationsWindow(CLASS_NAME, TITLE));
    EXPECT_EQ(1, helper.ClosesHandled());
    EXPECT_FALSE(IsWindow(found));

    char expected[80];
    wsprintfA(expected, " GetCommunicationsWindow %d %08x", (int)(UINT_PTR)found,
              (unsigned)(UINT_PTR)found);
    EXPECT_NE(std::string::npos, log.Text().find(expected));
}
