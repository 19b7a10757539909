// Starting another program through the shell and waiting for its end.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

// Opens file with parameters through the shell ("open" verb) and waits at
// most waitLimitMs until the program has ended; exitCode receives its exit
// code (it keeps the caller's value when the shell hands back no process).
// True when the shell started the program. When it could not, and both
// appName and targetName are given, the user is told why; exitCode is not
// written. A program still running at the limit is left alone: exitCode is
// not written and stillRunning, when given, is set. A quiet run asks the
// shell for no error box of its own.
bool ShellExecuteAndWait(HWND owner, const STRING& file, const STRING& parameters, DWORD& exitCode,
                         const char* appName = nullptr, const char* targetName = nullptr,
                         DWORD waitLimitMs = INFINITE, bool* stillRunning = nullptr,
                         bool quiet = false);

// Shows the warning for a failed start with the shell's failure code; codes
// above 32 show nothing.
void ShowLaunchError(const STRING& appName, const STRING& file, const STRING& targetName,
                     DWORD code);
