// Built as "Outlook.exe": a process of that name and nothing more, for the
// run in which Outlook is found running. It waits for messages, as a started
// Outlook soon does (so whoever started it does not wait on it in vain), and
// ends by itself after a while, so that it never outlives a demonstration
// run by much.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SetTimer(nullptr, 0, 600000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0 && message.message != WM_TIMER)
        DispatchMessageA(&message);
    return 0;
}
