// A hidden window of this process, of a class registered for it, destroyed
// with the object: for tests that need windows to find or to post to.
#pragma once

#include <windows.h>

#include "foundation/owned_handle.h"

class TEST_WINDOW {
public:
    // parent HWND_MESSAGE makes a message-only window. A class registered
    // already keeps its first procedure.
    TEST_WINDOW(const char* className, const char* title, HWND parent = nullptr,
                WNDPROC procedure = DefWindowProcA) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className;
        RegisterClassA(&windowClass);
        window_ = CreateWindowA(className, title, 0, 0, 0, 10, 10, parent, nullptr,
                                windowClass.hInstance, nullptr);
    }
    ~TEST_WINDOW() {
        if (window_ && IsWindow(window_))
            DestroyWindow(window_);
    }
    TEST_WINDOW(const TEST_WINDOW&) = delete;
    TEST_WINDOW& operator=(const TEST_WINDOW&) = delete;

    HWND Get() const { return window_; }

private:
    HWND window_;
};

// A window of className and title on a thread of its own, as another
// program would own it: message-only, or top-level for contrast. It answers
// WM_CLOSE with 7, a value the caller can recognise, and counts the requests.
class OTHER_PROGRAM_WINDOW {
public:
    OTHER_PROGRAM_WINDOW(const char* className, const char* title, bool messageOnly)
        : className_(className), title_(title), messageOnly_(messageOnly),
          ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
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
            return 7;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    static DWORD WINAPI Run(LPVOID argument) {
        auto self = static_cast<OTHER_PROGRAM_WINDOW*>(argument);
        TEST_WINDOW window(self->className_, self->title_,
                           self->messageOnly_ ? HWND_MESSAGE : nullptr, Procedure);
        self->window_ = window.Get();
        SetWindowLongPtrA(self->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetEvent(self->ready_.Get());
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0)
            DispatchMessageA(&message);
        return 0;
    }

    const char* className_;
    const char* title_;
    bool messageOnly_;
    HWND window_ = nullptr; // before the thread that sets it
    OWNED_HANDLE ready_;
    OWNED_HANDLE thread_;
};
