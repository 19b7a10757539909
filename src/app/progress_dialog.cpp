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
    HANDLE* event = static_cast<HANDLE*>(progressEvent);
    // When the dialog cannot be made, WM_INITDIALOG never comes: the signal
    // below then releases the uninstall's first wait instead.
    DialogBoxParamA(Application.instance, MAKEINTRESOURCEA(IDD_PROGRESS), nullptr,
                    ProgressDialogProc, reinterpret_cast<LPARAM>(progressEvent));
    dialogWindow = nullptr;
    SetEvent(*event);
    return 0;
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        dialogWindow = dialog;
        SetEvent(*reinterpret_cast<HANDLE*>(lParam));
        if (partialFlag)
            SetWindowTextA(dialog, LoadStr(IDS_UNDOING_SETUP).c_str());
        return 0;
    case WM_COMMAND:
        // Escape and the close button send IDCANCEL: the uninstall cannot
        // be stopped half-way, so only the uninstall's own IDOK ends it.
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 0);
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

bool StartProgressDialogThread(HANDLE* progressEvent) {
    DWORD id = 0;
    OWNED_HANDLE thread(CreateThread(nullptr, 0, ProgressDialogThread, progressEvent, 0, &id));
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
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
}
