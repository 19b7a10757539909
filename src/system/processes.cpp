#include "system/processes.h"

#include "foundation/loaded_library.h"
#include "foundation/owned_handle.h"
#include "foundation/strings.h"

namespace {

typedef HANDLE(WINAPI* CREATE_TOOLHELP32_SNAPSHOT)(DWORD, DWORD);
typedef BOOL(WINAPI* PROCESS32_WALK)(HANDLE, LPPROCESSENTRY32);

// The ANSI entry, as the walking functions looked up by these names fill it.
static_assert(sizeof(PROCESSENTRY32) == 296, "PROCESSENTRY32 must be the ANSI form");

// Kept for the walk that follows each snapshot.
PROCESS32_WALK process32First = nullptr;
PROCESS32_WALK process32Next = nullptr;

bool SameExecutable(const PROCESSENTRY32& entry, void* context) {
    const char* wanted = static_cast<const char*>(context);
    STRING name(entry.szExeFile);
    STRING suffix = STRING("\\") + wanted;
    return lstrcmpiA(name.c_str(), wanted) == 0 || name.Match(suffix, MATCH_ENDS, true);
}

} // namespace

HANDLE CreateProcessSnapshot(DWORD flags, DWORD processId) {
    LOADED_LIBRARY kernel32("Kernel32.dll");
    auto createSnapshot = kernel32.Function<CREATE_TOOLHELP32_SNAPSHOT>("CreateToolhelp32Snapshot");
    if (!createSnapshot)
        return INVALID_HANDLE_VALUE;
    process32First = kernel32.Function<PROCESS32_WALK>("Process32First");
    process32Next = kernel32.Function<PROCESS32_WALK>("Process32Next");
    if (!process32First || !process32Next)
        return INVALID_HANDLE_VALUE;
    return createSnapshot(flags, processId);
}

bool EnumerateProcesses(PROCESS_MATCHER matcher, void* context) {
    OWNED_HANDLE snapshot(CreateProcessSnapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid())
        return false;
    PROCESSENTRY32 entry;
    ZeroMemory(&entry, sizeof(entry));
    entry.dwSize = sizeof(entry);
    for (BOOL more = process32First(snapshot.Get(), &entry); more;
         more = process32Next(snapshot.Get(), &entry)) {
        if (matcher(entry, context))
            return true;
    }
    return false;
}

bool processIsRunning(const char* exeFileName) {
    if (!exeFileName || !*exeFileName)
        return false;
    return EnumerateProcesses(SameExecutable, const_cast<char*>(exeFileName));
}
