// A stand-in for the System Restore client library, "SrClient.DLL": it
// journals every SRSetRestorePointA call and answers as it is told, so that
// tests and the demonstration machine can see the restore point.
//
// ORVALITH_SRCLIENT_JOURNAL  the journal file; by default "SrClient.journal"
//                            beside this library.
// ORVALITH_SRCLIENT_ANSWER   "fail" answers FALSE; a number is the sequence
//                            number a begin is given (default 2001). An end
//                            is given back the number it passed.
//
// One journal line per call:
//   event=100 type=0 sequence=0 description="Removed Orvalith" answer=1 assigned=2001
#include <windows.h>

#include <srrestoreptapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "foundation/owned_handle.h"

namespace {

HMODULE thisLibrary = nullptr;

void JournalPath(char* path, DWORD size) {
    DWORD length = GetEnvironmentVariableA("ORVALITH_SRCLIENT_JOURNAL", path, size);
    if (length > 0 && length < size)
        return;
    length = GetModuleFileNameA(thisLibrary, path, size);
    if (length == 0 || length >= size) {
        path[0] = '\0';
        return;
    }
    char* slash = strrchr(path, '\\');
    char* name = slash ? slash + 1 : path;
    lstrcpynA(name, "SrClient.journal", static_cast<int>(size - (name - path)));
}

void Journal(const RESTOREPOINTINFOA& info, BOOL answer, INT64 assigned) {
    char path[MAX_PATH];
    JournalPath(path, sizeof(path));
    if (!path[0])
        return;
    char description[MAX_DESC + 1];
    memcpy(description, info.szDescription, MAX_DESC);
    description[MAX_DESC] = '\0';
    char line[256];
    _snprintf(line, sizeof(line),
              "event=%lu type=%lu sequence=%I64d description=\"%s\" answer=%d assigned=%I64d\r\n",
              static_cast<unsigned long>(info.dwEventType),
              static_cast<unsigned long>(info.dwRestorePtType), info.llSequenceNumber, description,
              answer ? 1 : 0, assigned);
    line[sizeof(line) - 1] = '\0';
    OWNED_HANDLE file(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        return;
    DWORD written = 0;
    WriteFile(file.Get(), line, static_cast<DWORD>(strlen(line)), &written, nullptr);
}

} // namespace

extern "C" __declspec(dllexport) BOOL WINAPI
    SRSetRestorePointA(PRESTOREPOINTINFOA info, PSTATEMGRSTATUS status) {
    char answer[32] = "";
    GetEnvironmentVariableA("ORVALITH_SRCLIENT_ANSWER", answer, sizeof(answer));
    BOOL succeeded = lstrcmpiA(answer, "fail") != 0;
    INT64 assigned = -1;
    if (succeeded) {
        assigned = info->dwEventType == END_SYSTEM_CHANGE ? info->llSequenceNumber
                   : answer[0]                            ? _atoi64(answer)
                                                          : 2001;
    }
    if (status) {
        status->nStatus = succeeded ? ERROR_SUCCESS : ERROR_SERVICE_DISABLED;
        status->llSequenceNumber = assigned;
    }
    Journal(*info, succeeded, assigned);
    return succeeded;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        thisLibrary = instance;
    return TRUE;
}
