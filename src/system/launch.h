// Starting another program through the shell and waiting for its end.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

// Opens file with parameters through the shell ("open" verb) and waits
// without a time-out until the program has ended; exitCode receives its exit
// code (it keeps the caller's value when the shell hands back no process).
// True when the shell started the program. When it could not, and both
// appName and targetName are given, the user is told why; exitCode is not
// written.
bool ShellExecuteAndWait(HWND owner, const STRING& file, const STRING& parameters, DWORD& exitCode,
                         const char* appName = nullptr, const char* targetName = nullptr);

// Shows the warning for a failed start with the shell's failure code; codes
// above 32 show nothing.
void ShowLaunchError(const STRING& appName, const STRING& file, const STRING& targetName,
                     DWORD code);
