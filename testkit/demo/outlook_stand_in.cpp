// Built as "Outlook.exe": a process of that name and nothing more, for the
// run in which Outlook is found running. It ends by itself after a while, so
// that it never outlives a demonstration run by much.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // A look at its message queue makes it idle, as a started Outlook soon
    // is, so that whoever started it does not wait on it in vain.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    Sleep(600000);
    return 0;
}
