// The uninstall itself.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

// Runs every removal step behind the progress dialog (none in a quiet run),
// logging each step and what it removed. Answers 0 when the sequence
// reached its end (even with files left behind) and 1 when an error ended
// it, or when Outlook kept some of the product's data (then the uninstall
// entry and the programs it runs stay for a second run), after the user has
// been told. filesLeft, when given, is set when the
// user was told that not everything could be removed (message 3). The
// per-user key "Software\Brindlecove" is deleted in both outcomes.
BYTE RunUninstall(HINSTANCE instance, const STRING& rootFolderArgument, bool partial,
                  bool* filesLeft = nullptr);

// Ends the restore point the run began, as made, and logs so; nothing when
// none is open. Every way a run ends comes here.
void EndRunRestorePoint();

// Closes the add-in helper's hidden window when it exists; true when it did.
bool CloseAddInHelper();
// Posts WM_CLOSE to each of Outlook's main windows; true when any was found.
bool CloseOutlookWindows();
