// Message boxes and task dialogs. A message text may start with an icon
// character ("!" warning, "#" error, "?" question, "i" information) and a
// separator; its first "~" divides the main instruction from the detail.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "foundation/strings.h"

// The last two platform calls of the message layer. The program always uses
// the real ones; tests install a presenter that answers in place of a user.
class MESSAGE_PRESENTER {
public:
    virtual ~MESSAGE_PRESENTER() = default;
    // As MessageBoxA with no owner window.
    virtual int ShowMessageBox(const char* text, const char* caption, UINT type) = 0;
    // As TaskDialogIndirect; E_FAIL when the platform has none.
    virtual HRESULT ShowTaskDialog(const TASKDIALOGCONFIG& config, int* button) = 0;
};

// nullptr restores the real presenter.
void SetMessagePresenter(MESSAGE_PRESENTER* presenter);

// Shows text with the buttons of type (an MB_ type with optional flag bits)
// and returns the id of the button pressed. The text and the answer are
// logged.
int ShowMessage(const STRING& text, UINT type);

// Shows text with an OK button: the log's report of a failed write
// (LOG_FILE::SetFailureReporter).
void ReportLogFailure(const char* text);

// While set, nobody is there to answer: nothing is shown, and each message
// is only logged with the answer taken for it, Yes where the buttons offer
// it, otherwise OK (Cancel for a type with neither).
void SetMessagesQuiet(bool quiet);

// The classic icon flag of text's icon character (0 when none); textProper
// receives the text without the icon character and its separator.
UINT ParseMessageIcon(const STRING& text, STRING& textProper);

// Logs the text, then shows it with an OK button.
int MsgBoxOK(const STRING& text);
int MsgBoxOK(const char* text);
int MessageById(int id, UINT type);
int MessageOkById(int id);
// Replaces the first placeholder in the string before showing it.
int MessageOkById(int id, const STRING& placeholder, const STRING& value);
int MessageOk(const STRING& text, const STRING& placeholder, const STRING& value);

// The string id of the task dialog's title; -1 leaves the title empty.
void SetMessageTitleId(int id);

// Dispatches every message waiting in the calling thread's queue.
void PumpPendingMessages();
