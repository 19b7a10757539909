// Removal for the whole computer: the computer's part at once, and each
// user's part run as that user, in the sessions of the users signed in now
// and, for every other user, once at their next logon through Windows'
// Active Setup, from a copy of this program kept for it.
#pragma once

#include <windows.h>

#include "app/run_mode.h"
#include "app/startup.h"
#include "foundation/strings.h"

// The product's Active Setup entry, under HKEY_LOCAL_MACHINE; a user's copy
// under HKEY_CURRENT_USER holds the Version that user's part reached.
extern const char* const ACTIVE_SETUP_KEY;
// The entry's Version: a user's part runs at a logon while the user's copy
// is missing or lower.
extern const char* const ACTIVE_SETUP_VERSION;

// Where the copy that runs each user's part is kept: "Brindlecove\Orvalith
// Uninstall\Orvalith Uninstall.exe" in the computer's common application
// data folder; empty when the system names no such folder.
STRING KeptCopyPath();

// How long the computer's part waits for a signed-in user's part.
const DWORD USER_PART_LIMIT_MS = 30 * 60 * 1000;

// The run of the computer's part ("/AllUsers", or any run as LocalSystem):
// the kept copy and the Active Setup entry, the user's part in each
// signed-in session, then the computer's own removal. Answers the exit code.
EXIT_CODE RunForAllUsers(HINSTANCE instance, const STRING& rootFolder, const RUN_MODE& mode);

// After a user's part: its outcome in the user's copy of the Active Setup
// entry, while the computer's entry exists. A finished part is marked done
// (Active Setup never runs it again for that user); one that could not
// finish is unmarked, so that the next logon runs it again.
void RecordUserPart(bool finished);

// "/Logon", what Active Setup starts: starts this program's "/User" on its
// own and returns at once, so that the logon never waits for Outlook.
bool StartUserPartInBackground();
