#include "system/communications_window.h"

#include "foundation/log_file.h"

HWND GetCommunicationsWindow(const char* className, const char* title) {
    Log.Printf("GetCommunicationsWindow \"%s\" \"%s\"\r\n", className, title);
    HWND window = FindWindowExA(HWND_MESSAGE, nullptr, className, title);
    UINT_PTR value = reinterpret_cast<UINT_PTR>(window);
    Log.Printf("GetCommunicationsWindow %d %08x\r\n", static_cast<int>(value),
               static_cast<unsigned>(value));
    return window;
}

LRESULT CloseCommunicationsWindow(const char* className, const char* title) {
    HWND window = GetCommunicationsWindow(className, title);
    // Without a window the request could only fail.
    if (!window)
        return 0;
    return SendMessageA(window, WM_CLOSE, 0, 0);
}
