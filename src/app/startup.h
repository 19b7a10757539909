// Start-up checks and the program's run from entry to exit.
#pragma once

#include <windows.h>

#include "app/run_mode.h"
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
    // Each a word of its own, in any letter case, taken out of the text.
    bool allUsers = false; // "/AllUsers": the computer's part, then each user's as that user
    bool user = false;     // "/User": the part of the user who runs it
    bool logon = false;    // "/Logon": a user's logon starts that user's part and goes on
    STRING remaining;      // without the switches (only the exact "/PartialOK"), trimmed
};

COMMAND_LINE ParseCommandLine(const STRING& commandLine);

// A quiet run's exit code, as Windows Installer gives it, so that deployment
// tools read it without being told; any other run exits with 0 on every path.
enum EXIT_CODE {
    EXIT_COMPLETE = 0,
    EXIT_RESTART_NEEDED = 3010,  // removed; files in use go at the next restart
    EXIT_OUTLOOK_RUNNING = 1618, // not started (message 16): the tools try again later
    EXIT_ADDIN_CANCELLED = 1602, // the add-in's own uninstaller was cancelled (message 63)
    EXIT_ABANDONED = 1603,       // the run stopped part-way (message 30), or a user's part failed
    EXIT_FILES_LEFT = 1603,      // files that could be neither deleted nor queued (message 3)
    EXIT_COM_FAILED = 1603,      // not started (message 10)
    EXIT_ADMIN_REQUIRED = 740,   // not started (message 43): ERROR_ELEVATION_REQUIRED
    EXIT_USAGE_ERROR = 1639,     // not started: the command line cannot be read
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

// The run's mode, from the command line and the account: a LocalSystem run
// is always the computer's part and quiet.
RUN_MODE DecideRunMode(const COMMAND_LINE& commandLine, ADMIN_ANSWER admin);

// Everything WinMain does; answers the exit code of a quiet run, otherwise 0.
int RunProgram(HINSTANCE instance, const char* commandLine);
