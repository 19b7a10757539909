// Start-up checks and the program's run from entry to exit.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

// The per-product Uninstall key; present under HKEY_LOCAL_MACHINE for an
// all-users install, under HKEY_CURRENT_USER for a per-user one.
extern const char* const PRODUCT_UNINSTALL_KEY;
// The maker's questionnaire, opened after a completed full uninstall.
extern const char* const QUESTIONNAIRE_URL;

struct COMMAND_LINE {
    bool partial = false; // "/PartialOK" anywhere, in any letter case
    STRING remaining;     // without the first exact "/PartialOK", trimmed
};

COMMAND_LINE ParseCommandLine(const STRING& commandLine);

enum ADMIN_ANSWER {
    ADMIN_UNDETERMINED = 0, // shell32 or IsUserAnAdmin missing
    ADMIN_YES = 1,
    ADMIN_NO = 2,
};

// Asks shell32's IsUserAnAdmin, looked up at run time.
ADMIN_ANSWER QueryAdministrator();

// Test seam: Wine always answers "administrator".
typedef ADMIN_ANSWER (*ADMIN_QUERY)();
void SetAdminQueryForTesting(ADMIN_QUERY query); // nullptr restores the real one

// True when the product was installed for all users only and the user is
// known not to be an administrator.
bool AdministratorRequired();

// Everything WinMain does; always answers 0.
int RunProgram(HINSTANCE instance, const char* commandLine);
