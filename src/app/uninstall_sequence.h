// The uninstall itself.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

// Runs every removal step behind the progress dialog. Answers 0 when the
// sequence reached its end (even with files left behind) and 1 when an
// error ended it, after the user has been told.
BYTE RunUninstall(HINSTANCE instance, const STRING& rootFolderArgument, bool partial);
