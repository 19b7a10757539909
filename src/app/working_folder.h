// The folders the run works in: which folder texts name a folder that may be
// worked in at all, and keeping the process's current folder out of them (a
// folder cannot be removed while it is some process's current folder).
#pragma once

#include "foundation/strings.h"

// Whether text names a folder below a root: an absolute path with at least
// one folder below a drive's root ("X:\folder...") or a share
// ("\\server\share\folder..."), also once "." and ".." are resolved. A
// relative path, a bare drive ("C:"), a drive's root, a lone "\" or a share
// alone is not one; the run treats such a text as blank, since deleting the
// product's file names there would hit files that are not the product's.
bool IsProductFolder(const STRING& text);

// True when path is folder itself or lies inside it (letter case ignored,
// both made full paths first); a blank folder holds nothing.
bool IsInFolder(const STRING& path, const STRING& folder);

// Whether path lies on a drive or share that is not there: its root ("X:\"
// or "\\server\share\") does not exist. False for a path without a root.
bool IsOnMissingVolume(const STRING& path);

// When the current folder is one of the two folders or inside one, makes the
// system's temporary folder current; true when it moved. A folder text that
// is not IsProductFolder holds nothing.
bool LeaveFolders(const STRING& first, const STRING& second);
