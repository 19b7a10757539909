// The uninstall itself.
#pragma once

#include <windows.h>

#include "app/run_mode.h"
#include "foundation/strings.h"

// How a run of the sequence ended.
struct UNINSTALL_RESULT {
    bool completed = false;      // the sequence reached its end, perhaps with files left
    bool addInCancelled = false; // the add-in's own uninstaller was cancelled (message 63)
    bool filesLeft = false;      // message 3: files neither deleted nor queued
    int queuedForRestart = 0;    // files and folders that go at the next restart
};

// Runs the steps of the mode's parts: the computer's part (restore point,
// program files, all-users shortcuts, the computer's registry entries), the
// user's part (the add-in, Outlook's data, the user's registry entries and
// shortcuts), or both. A quiet mode shows no dialog.
UNINSTALL_RESULT RunUninstall(HINSTANCE instance, const STRING& rootFolderArgument,
                              const RUN_MODE& mode);

// A person's run of both parts: RunUninstall above with RUN_PERSON. Runs
// every removal step behind the progress dialog,
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
