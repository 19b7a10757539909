// A hidden window of this process, of a class registered for it, destroyed
// with the object: for tests that need windows to find or to post to.
#pragma once

#include <windows.h>

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
