// Facts about the machine: special folders and the
// system's texts for error codes.
#pragma once

#include <windows.h>

#include "foundation/strings.h"
#include "foundation/windows_version.h"

// The value of LOCALAPPDATA; empty when missing or too long.
STRING GetLocalAppDataFolder();
// The path of a shell special folder (CSIDL); empty when it has none.
STRING GetSpecialFolderPath(HWND owner, int folderId);
// The system's message for code without its final line break; empty when
// the system has none.
STRING GetSystemErrorText(DWORD code);
STRING GetLastErrorText();
