// A program that does nothing but stay alive for a while (at most two
// minutes, or until it is told to quit), so that tests can find it among the
// running processes under whatever file name they copy it to.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    MSG message;
    UINT_PTR timer = SetTimer(nullptr, 0, 120000, nullptr);
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER)
            break;
        DispatchMessageA(&message);
    }
    KillTimer(nullptr, timer);
    return 0;
}
