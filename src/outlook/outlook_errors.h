// Texts and verdicts for failed automation calls.
#pragma once

#include "foundation/strings.h"
#include "outlook/com_error.h"

// The server's description, at most 350 bytes; empty when there is none.
STRING ComErrorDescription(const COM_ERROR& error);
// The system's text for the HRESULT and the description, for messages and
// the log.
STRING ComErrorText(const COM_ERROR& error);
// True for the HRESULTs that mean Outlook has gone away.
bool IsOutlookGone(const COM_ERROR& error);
// For a known fatal kind of error: tells the user and throws ERR_USER_ABORT.
// Returns at once for any other error.
void UserAbortIfKnownError(const COM_ERROR& error, const STRING& context, const STRING& itemName);
