// The users signed in to the computer, each in a session of their own, and
// the start of a program in such a session as that user.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

// What a program started in a user's session ended with.
struct SESSION_RUN {
    DWORD session = 0;
    bool started = false;        // the user's token was had and the program started
    bool ended = false;          // it ended within the limit
    DWORD exitCode = 0;          // when it ended
    DWORD error = ERROR_SUCCESS; // why it was not started
};

// Every session that holds a signed-in user, active or disconnected, and the
// console's session, each once. Where the session functions are missing
// (wtsapi32, or the console's session on Windows 2000) fewer or none.
VECTOR<DWORD> SignedInSessions();

// Runs commandLine (its program first, quoted) in the session as its user,
// on that session's default desktop with the user's own environment, and
// waits for it at most limitMs. Needs the LocalSystem account on Windows: a
// session whose user's token cannot be had is not started.
SESSION_RUN RunInSession(DWORD session, const STRING& commandLine, DWORD limitMs);
