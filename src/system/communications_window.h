// Another program's hidden communications window: a message-only window
// found by the class name and title that both programs agree on.
#pragma once

#include <windows.h>

// The window, or null when there is none; both logged.
HWND GetCommunicationsWindow(const char* className, const char* title);
// Asks the window to close and waits until its program has handled that, at
// most 5 seconds; the answer of the request (0 when no window was found or
// the program did not answer in time).
LRESULT CloseCommunicationsWindow(const char* className, const char* title);
