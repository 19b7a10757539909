// The progress dialog: one row per uninstall step, on a thread of its own,
// so that it stays drawn while the uninstall works. It has no way to cancel
// and ends only when the uninstall itself closes it.
#pragma once

#include <windows.h>

// The uninstall's own request to end the dialog. A dialog without a default
// button turns Enter into IDOK, so IDOK cannot be that request.
const UINT WM_END_PROGRESS_DIALOG = WM_APP + 1;

// The dialog while it exists (null before and after).
HWND ProgressDialogWindow();
// Read by the dialog for its title; set before the dialog thread starts.
void SetProgressPartialFlag(bool partial);

// Runs the dialog from template 129 of the application's instance. The
// argument is the thread's own handle of ProgressEvent, which it signals
// once the dialog exists and once more after it has ended, then closes.
DWORD WINAPI ProgressDialogThread(LPVOID progressEvent);
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Starts ProgressDialogThread, with a handle of its own to progressEvent,
// without keeping the thread's handle; false when the thread could not be
// made. The caller may close its handle whenever it likes: the thread never
// signals through it.
bool StartProgressDialogThread(HANDLE progressEvent);

// Row operations, called from the uninstall's thread.
void StepShown(int labelId);   // a row hidden until its step runs
void StepStarted(int labelId); // the label turns from grey to black
void StepDone(int resultId);   // the result label appears
void StepFailed(int resultId); // the result label appears reading "Failed!"
// Ends the dialog (synchronously: the dialog has handled it on return).
void CloseProgressDialog();
