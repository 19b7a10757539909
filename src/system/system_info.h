// Facts about the machine: special folders and the
// system's texts for error codes.
#pragma once

#include <windows.h>

#include "foundation/strings.h"
#include "foundation/windows_version.h"

#include <string>

// A folder of the user's as Windows names it and as this ANSI program can
// reach it. A name the ANSI code page cannot hold ("C:\Users\Łukasz" in code
// page 1252) would reach the ANSI functions best-fitted to another folder
// ("C:\Users\Lukasz"), where every file looks already gone: the folder's
// short 8.3 name, plain ASCII, is used instead; where the volume has none,
// or the path is over PATH_LIMIT, the folder cannot be reached.
struct USER_FOLDER {
    STRING path;       // for the ANSI functions; empty when unreachable or none
    std::wstring wide; // as Windows names it; empty when Windows names none
    // Why it cannot be reached: ERROR_NO_UNICODE_TRANSLATION or
    // ERROR_FILENAME_EXCED_RANGE.
    DWORD unreachableBecause = ERROR_SUCCESS;
    bool Unreachable() const { return path.empty() && !wide.empty(); }
};
USER_FOLDER UserFolderFromWide(const std::wstring& wide);

// The value of LOCALAPPDATA.
USER_FOLDER GetLocalAppDataFolder();
// The path of a shell special folder (CSIDL).
USER_FOLDER GetSpecialFolderPath(HWND owner, int folderId);
// The user's temporary folder.
USER_FOLDER GetTemporaryFolder();
// The system's message for code without its final line break; empty when
// the system has none.
STRING GetSystemErrorText(DWORD code);
STRING GetLastErrorText();
