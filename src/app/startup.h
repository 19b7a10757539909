// Start-up checks and the program's run from entry to exit.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

// The per-product Uninstall key; present under HKEY_LOCAL_MACHINE for an
// all-users install, under HKEY_CURRENT_USER for a per-user one.
extern const char* const PRODUCT_UNINSTALL_KEY;
// The maker's questionnaire, opened after a completed full uninstall.
extern const char* const QUESTIONNAIRE_URL;

// How the program is started, as "/?" shows it.
extern const char* const USAGE_TEXT;

// The command line is one text, not split into arguments. "/Log=FILE" is
// taken out first (FILE ends at the next space, or, when it starts with a
// double quote, at the next one), then "/Quiet"; each only its first copy,
// in any letter case. "/PartialOK" follows its own rules in what is left.
struct COMMAND_LINE {
    bool usage = false; // "/?" anywhere: show how to start the program, nothing else
    // "/Log=" with an opening quote that is never closed: the rest would be
    // read as the file's name, switches and all. Nothing is done (usage is
    // set too); quiet tells whether "/Quiet" stands anywhere.
    bool usageError = false;
    bool quiet = false;   // "/Quiet": no window, no question, the outcome in the exit code
    STRING logFile;       // "/Log=FILE": where the log goes
    bool partial = false; // "/PartialOK" anywhere, in any letter case
    STRING remaining;     // without the switches (only the exact "/PartialOK"), trimmed
};

COMMAND_LINE ParseCommandLine(const STRING& commandLine);

// A quiet run's exit code; any other run exits with 0 on every path.
enum EXIT_CODE {
    EXIT_COMPLETE = 0,
    EXIT_ABANDONED = 1,       // the run stopped part-way (message 30)
    EXIT_FILES_LEFT = 2,      // removed, except files that could not be deleted (message 3)
    EXIT_OUTLOOK_RUNNING = 3, // not started (message 16)
    EXIT_ADMIN_REQUIRED = 4,  // not started (message 43)
    EXIT_COM_FAILED = 5,      // not started (message 10)
    EXIT_LOCAL_SYSTEM = 6,    // not started: the LocalSystem account holds no user's data
    EXIT_USAGE_ERROR = 7,     // not started: the command line cannot be read
};

// The log of a quiet run that names none, in the user's temporary folder.
extern const char* const QUIET_LOG_NAME;

enum ADMIN_ANSWER {
    ADMIN_UNDETERMINED = 0, // shell32 or IsUserAnAdmin missing
    ADMIN_YES = 1,
    ADMIN_NO = 2,
    ADMIN_LOCAL_SYSTEM = 3, // the LocalSystem account, as deployment tools run programs
};

// LocalSystem when the process token's user is S-1-5-18; otherwise asks
// shell32's IsUserAnAdmin, looked up at run time.
ADMIN_ANSWER QueryAdministrator();

// Test seam: Wine always answers "administrator", never LocalSystem.
typedef ADMIN_ANSWER (*ADMIN_QUERY)();
void SetAdminQueryForTesting(ADMIN_QUERY query); // nullptr restores the real one

// True when the product was installed for all users only and the user is
// known not to be an administrator.
bool AdministratorRequired();

// Everything WinMain does; answers the exit code of a quiet run, otherwise 0.
int RunProgram(HINSTANCE instance, const char* commandLine);
