#include "addins/restore_point.h"

#include <srrestoreptapi.h>

#include "foundation/loaded_library.h"
#include "foundation/resource_strings.h"
#include "foundation/windows_version.h"

namespace {

const int IDS_RESTORE_POINT_DESCRIPTION = 6;

INT64 sequenceNumber = -1;

typedef BOOL(WINAPI* SR_SET_RESTORE_POINT_A)(PRESTOREPOINTINFOA, PSTATEMGRSTATUS);

// "SrClient.DLL" in the system folder; empty when that is unknown. A bare
// name would be looked for first beside the uninstaller, in the user's
// temporary folder, where anyone may have put a library of that name; its
// own dependencies are then looked for in the system folder too.
STRING SystemLibraryPath(const char* name) {
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, sizeof(folder));
    if (length == 0 || length >= sizeof(folder))
        return STRING();
    return STRING(folder).WithTrailingBackslash() + name;
}

} // namespace

INT64 SetRestorePoint(DWORD eventType, DWORD restorePointType, INT64 sequence) {
    if (sequence < 0 || !IsXPOrLater())
        return -1;

    RESTOREPOINTINFOA info;
    ZeroMemory(&info, sizeof(info));
    info.dwEventType = eventType;
    info.dwRestorePtType = restorePointType;
    info.llSequenceNumber = sequence;
    STRING description = LoadStr(IDS_RESTORE_POINT_DESCRIPTION);
    description.ReplaceAll("<app>", "Orvalith");
    lstrcpynA(info.szDescription, description.c_str(), sizeof(info.szDescription));

    STRING path = SystemLibraryPath("SrClient.DLL");
    if (path.empty())
        return -1;
    LOADED_LIBRARY srclient = LOADED_LIBRARY::FromPath(path.c_str());
    auto setRestorePoint = srclient.Function<SR_SET_RESTORE_POINT_A>("SRSetRestorePointA");
    if (!setRestorePoint)
        return -1;
    STATEMGRSTATUS status;
    ZeroMemory(&status, sizeof(status));
    if (!setRestorePoint(&info, &status))
        return -1;
    return status.llSequenceNumber;
}

void BeginRestorePoint() {
    sequenceNumber = SetRestorePoint(BEGIN_SYSTEM_CHANGE, APPLICATION_INSTALL, 0);
}

void EndRestorePoint() {
    // Once only: every way a run ends comes here, some of them after another.
    INT64 sequence = sequenceNumber;
    sequenceNumber = -1;
    SetRestorePoint(END_SYSTEM_CHANGE, APPLICATION_INSTALL, sequence);
}

INT64 RestorePointSequenceNumber() {
    return sequenceNumber;
}

void ResetRestorePointForTesting() {
    sequenceNumber = -1;
}
