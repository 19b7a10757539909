#include "app/progress_dialog.h"

#include "app/application.h"
#include "foundation/owned_handle.h"
#include "foundation/resource_strings.h"
#include "resources/resource_ids.h"

namespace {

// Written by the dialog thread before its first signal, read by the
// uninstall's thread only after that signal: nothing needs locking.
HWND volatile dialogWindow = nullptr;
volatile bool partialFlag = false;

HWND Row(int id) {
    HWND dialog = dialogWindow;
    return dialog ? GetDlgItem(dialog, id) : nullptr;
}

} // namespace

HWND ProgressDialogWindow() {
    return dialogWindow;
}

void SetProgressPartialFlag(bool partial) {
    partialFlag = partial;
}

DWORD WINAPI ProgressDialogThread(LPVOID progressEvent) {
    OWNED_HANDLE event(static_cast<HANDLE>(progressEvent));
    // When the dialog cannot be made, WM_INITDIALOG never comes: the signal
    // below then releases the uninstall's first wait instead.
    DialogBoxParamA(Application.instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                    ProgressDialogProc, reinterpret_cast<LPARAM>(event.Get()));
    dialogWindow = nullptr;
    SetEvent(event.Get());
    return 0;
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        dialogWindow = dialog;
        SetEvent(reinterpret_cast<HANDLE>(lParam));
        if (partialFlag)
            SetWindowTextA(dialog, LoadStr(IDS_UNDOING_SETUP).c_str());
        return 0;
    case WM_END_PROGRESS_DIALOG:
        EndDialog(dialog, 0);
        return 1;
    // Enter (IDOK), Escape and the close button (IDCANCEL) end nothing: the
    // uninstall cannot be stopped half-way, nor go on unseen.
    default:
        return 0;
    }
}

bool StartProgressDialogThread(HANDLE progressEvent) {
    // The dialog may end after the uninstall stopped waiting for it and
    // closed its handle; a handle of the thread's own keeps the event alive
    // for the thread's last signal.
    HANDLE own = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), progressEvent, GetCurrentProcess(), &own, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return false;
    OWNED_HANDLE threadsEvent(own);
    DWORD id = 0;
    OWNED_HANDLE thread(CreateThread(nullptr, 0, ProgressDialogThread, threadsEvent.Get(), 0, &id));
    if (thread.Valid())
        threadsEvent.Release(); // the thread's now
    return thread.Valid();
}

void StepShown(int labelId) {
    if (HWND label = Row(labelId))
        ShowWindow(label, SW_SHOWNA);
}

void StepStarted(int labelId) {
    if (HWND label = Row(labelId))
        EnableWindow(label, TRUE);
}

void StepDone(int resultId) {
    if (HWND result = Row(resultId))
        ShowWindow(result, SW_SHOWNA);
}

void StepFailed(int resultId) {
    if (HWND result = Row(resultId))
        SetWindowTextA(result, LoadStr(IDS_FAILED).c_str());
    StepDone(resultId);
}

void CloseProgressDialog() {
    if (HWND dialog = dialogWindow)
        SendMessageA(dialog, WM_END_PROGRESS_DIALOG, 0, 0);
}
