#include "system/launch.h"

#include <shellapi.h>

#include "foundation/messages.h"
#include "foundation/owned_handle.h"
#include "foundation/resource_strings.h"

namespace {

const int IDS_LAUNCH_NO_RESOURCES = 8;
const int IDS_LAUNCH_NOT_FOUND = 57;
const int IDS_LAUNCH_ACCESS_DENIED = 58;
const int IDS_LAUNCH_NOT_SET_UP = 59;
const int IDS_LAUNCH_SHARING = 60;
const int IDS_LAUNCH_UNEXPECTED = 61;

int LaunchErrorMessageId(LONG code) {
    switch (code) {
    case 0:
    case SE_ERR_OOM:
        return IDS_LAUNCH_NO_RESOURCES;
    case SE_ERR_FNF:
    case SE_ERR_PNF:
        return IDS_LAUNCH_NOT_FOUND;
    case SE_ERR_ACCESSDENIED:
        return IDS_LAUNCH_ACCESS_DENIED;
    case SE_ERR_SHARE:
        return IDS_LAUNCH_SHARING;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC:
        return IDS_LAUNCH_NOT_SET_UP;
    default:
        return IDS_LAUNCH_UNEXPECTED;
    }
}

} // namespace

bool ShellExecuteAndWait(HWND owner, const STRING& file, const STRING& parameters, DWORD& exitCode,
                         const char* appName, const char* targetName, DWORD waitLimitMs,
                         bool* stillRunning, bool quiet) {
    if (stillRunning)
        *stillRunning = false;
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    // A quiet run shows no window of its own, the shell's error box included.
    if (quiet)
        info.fMask |= SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = "open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWDEFAULT;

    if (!ShellExecuteExA(&info)) {
        // Taken at once: the message shown below would overwrite it. The
        // shell's own error box can leave no error behind; its classic code
        // then tells what failed.
        DWORD code = GetLastError();
        if (code == ERROR_SUCCESS)
            code = static_cast<DWORD>(reinterpret_cast<INT_PTR>(info.hInstApp));
        if (appName && targetName)
            ShowLaunchError(appName, file, targetName, code);
        return false;
    }

    OWNED_HANDLE process(info.hProcess);
    if (process.Valid()) {
        if (WaitForSingleObject(process.Get(), waitLimitMs) == WAIT_TIMEOUT) {
            if (stillRunning)
                *stillRunning = true;
            return true;
        }
        DWORD code = 0;
        if (GetExitCodeProcess(process.Get(), &code))
            exitCode = code;
    }
    return true;
}

void ShowLaunchError(const STRING& appName, const STRING& file, const STRING& targetName,
                     DWORD code) {
    LONG signedCode = static_cast<LONG>(code);
    if (signedCode > 32)
        return;
    STRING text = LoadStr(LaunchErrorMessageId(signedCode));
    text.ReplaceAll("<app>", appName);
    text.ReplaceAll("<file>", file);
    text.ReplaceAll("<target>", targetName);
    MsgBoxOK("! " + text);
}
