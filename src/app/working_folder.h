// Keeps the process's current folder out of the folders it is removing: a
// folder cannot be removed while it is some process's current folder.
#pragma once

#include "foundation/strings.h"

// True when path is folder itself or lies inside it (letter case ignored,
// both made full paths first); a blank folder holds nothing.
bool IsInFolder(const STRING& path, const STRING& folder);

// When the current folder is one of the two folders or inside one, makes the
// system's temporary folder current; true when it moved.
bool LeaveFolders(const STRING& first, const STRING& second);
