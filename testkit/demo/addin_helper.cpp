// The add-in helper as the demonstration machine runs it: a message-only
// window of the helper's class and title that ends when it is sent WM_CLOSE.
// Each event is appended, one a line, to the file named by
// ORVALITH_HELPER_JOURNAL, so that a run can show that the window was closed.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char* const HELPER_CLASS = "@ORVALITHADDINHELPERCLASS@";
const char* const HELPER_TITLE = "@ORVALITHADDINHELPERTITLE@";
// Never outlives a demonstration run by much.
const UINT LIFETIME_MS = 600000;

void Journal(const char* line) {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("ORVALITH_HELPER_JOURNAL", path, sizeof(path));
    if (length == 0 || length >= sizeof(path))
        return;
    FILE* file = fopen(path, "ab");
    if (!file)
        return;
    fprintf(file, "%lu %s\n", static_cast<unsigned long>(GetTickCount()), line);
    fclose(file);
}

LRESULT CALLBACK HelperProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        Journal("WM_CLOSE");
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = HelperProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = HELPER_CLASS;
    if (!RegisterClassA(&windowClass))
        return 1;
    HWND window = CreateWindowExA(0, HELPER_CLASS, HELPER_TITLE, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, instance, nullptr);
    if (!window)
        return 1;
    Journal("started");
    UINT_PTR timer = SetTimer(nullptr, 0, LIFETIME_MS, nullptr);
    MSG message;
    bool timedOut = false;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) {
            timedOut = true;
            break;
        }
        DispatchMessageA(&message);
    }
    KillTimer(nullptr, timer);
    Journal(timedOut ? "ended: nobody closed the window" : "ended");
    return 0;
}
