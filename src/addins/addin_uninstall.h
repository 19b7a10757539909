// Uninstalls the product's Outlook add-in through its own uninstall entry,
// the way the user would from the control panel.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

// The current user's uninstall entries, each a subkey.
extern const char* const UNINSTALL_ENTRIES_KEY;

// Exit code with which an add-in uninstaller reports that the user cancelled.
const DWORD UNINSTALL_CANCELLED_EXIT_CODE = static_cast<DWORD>(-500);

enum UNINSTALL_OUTCOME : int {
    UNINSTALL_NO_COMMAND = 0,      // no "UninstallString" under either hive
    UNINSTALL_FAILED = 1,          // not started, or an exit code other than 0 and -500
    UNINSTALL_CANCELLED = 2,       // exit code -500
    UNINSTALL_DONE_BY_USER = 3,    // the HKEY_CURRENT_USER command ended with 0
    UNINSTALL_DONE_BY_MACHINE = 4, // the HKEY_LOCAL_MACHINE command ended with 0
    UNINSTALL_STILL_RUNNING = 5,   // a quiet run's wait limit passed; the command runs on
};

// True when the add-in is gone: it had no uninstall entry named displayName
// (its click-once manifests are then deleted), or its entry's command ran
// with success and removed the entry. A cancel or a failure of the command is
// told to the user (a failure after deleting the manifests); a command that
// succeeds but leaves its entry, or an entry without a command, answers false
// without a message. addInName names the add-in in the log and in the
// click-once store; title is the uninstall's own name in launch warnings;
// owner is the window the shell may show its own interface over. A quiet
// run (nobody watches) silences the runtime's installer and waits only so
// long; cancelled, when given, tells whether the command was cancelled.
bool UninstallAddIn(HWND owner, const STRING& addInName, const STRING& displayName,
                    const STRING& title, bool quiet = false, bool* cancelled = nullptr);

// Runs the "UninstallString" of the entry at entryKeyPath (taken from
// HKEY_CURRENT_USER, or, when the user's is missing or empty, from the entry
// of that path under HKEY_LOCAL_MACHINE if its "DisplayName" is displayName
// too; REG_EXPAND_SZ expanded) and waits for it; a quiet run waits at most
// QuietWaitLimit() (pause.h). exitCode, set to 1 by the caller, receives the
// command's exit code.
UNINSTALL_OUTCOME RunUninstallString(const STRING& entryKeyPath, HWND owner,
                                     const STRING& displayName, const STRING& title,
                                     DWORD& exitCode, bool quiet = false);

// Splits an uninstall command into the program's file and its parameters;
// false, with both empty, when it names no program.
// A command that begins, after spaces and tabs, with a double quote names the
// file up to the next double quote, and the parameters are the rest; the file
// must end in ".exe". Any other command is read as Windows reads an unquoted
// command line, split only at a space or a tab: the file is the shortest text
// from its start to a space, a tab or the end that ends in ".exe" (any letter
// case) and names an existing file; the parameters are the rest. Parameters
// lose the spaces and tabs at either end.
bool SplitUninstallCommand(const STRING& command, STRING& file, STRING& parameters);
