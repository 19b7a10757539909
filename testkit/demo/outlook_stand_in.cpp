// Built as "Outlook.exe": a process of that name and nothing more, for the
// run in which Outlook is found running. It ends by itself after a while, so
// that it never outlives a demonstration run by much.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    Sleep(600000);
    return 0;
}
