// Files the run leaves because it cannot reach them: in a user's folder that
// the ANSI code page cannot name (system_info.h), or at a path longer than
// PATH_LIMIT. Each is logged as it is found; the uninstall sequence reports
// them with the files that could not be deleted.
#pragma once

#include <windows.h>

#include "foundation/strings.h"
#include "system/system_info.h"

// Logs path as left for the system error reason and lists it.
void CountFileLeft(const STRING& path, DWORD reason);
// Lists folder's relativePath ("\name...") as left for reason when it
// exists there: asked by the folder's own, wide name, since the ANSI name
// reaches another folder, or none, or is too long.
void CountLeftIn(const USER_FOLDER& folder, const STRING& relativePath, DWORD reason);

// One line per file left, its path followed by "\n"; empty when none.
const STRING& FilesLeftUnreached();
// The system's text for the reason of the last one.
const STRING& FilesLeftReason();
// Empties the list, as a run starts.
void ForgetFilesLeft();
