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
bool IsOutlookGone(HRESULT result);
bool IsOutlookGone(const COM_ERROR& error);
// For a known fatal kind of error (Outlook gone, the operation aborted,
// Exchange lost, a synchronisation conflict, a busy Outlook beyond the
// run's budget): tells the user, once a run for each message, with the
// context on a line of its own after the message, and throws
// ERR_USER_ABORT. Returns at once for any other error.
void UserAbortIfKnownError(const COM_ERROR& error, const STRING& context, const STRING& itemName);

// What the run has met of Outlook. Every answer of Outlook passes through
// NoteOutlookAnswer; a gone one is remembered for the rest of the run.
void NoteOutlookAnswer(HRESULT result);
// Outlook is gone, or busy beyond the run's budget: no Outlook step asks
// it anything more.
bool OutlookLost();
// How many failures of a known kind have ended Outlook work in this run.
int KnownOutlookFailures();
// For a walk over many folders: a lost Outlook ends it (as a known error);
// returns for any other error, which concerns one folder only.
void StopIfOutlookLost(const COM_ERROR& error, const STRING& context);
// Tells the user, once, that Outlook is lost (message 12 when gone, 31 when
// it stays busy), when no message has told it yet.
void TellIfOutlookLost(const STRING& context);
// A new run: nothing met, nothing told.
void ForgetOutlookFailures();
