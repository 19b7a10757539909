#include "system/communications_window.h"

#include "foundation/log_file.h"

namespace {

// How long a close request waits for the other program to handle it.
const UINT CLOSE_TIMEOUT_MS = 5000;

} // namespace

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
    // A program whose thread no longer handles messages would otherwise hold
    // the caller for ever; after the time-out the request counts as handled.
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_NORMAL, CLOSE_TIMEOUT_MS, &answer)) {
        Log.Printf("CloseCommunicationsWindow: no answer within %u ms\r\n", CLOSE_TIMEOUT_MS);
        return 0;
    }
    return static_cast<LRESULT>(answer);
}
