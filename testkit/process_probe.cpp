#include "testkit/process_probe.h"

#include "foundation/owned_handle.h"

namespace {

const DWORD RAN = 0;
const DWORD NOT_ASKED = 1;

// Under Wine the target process itself starts a remote thread, and
// CreateRemoteThread waits for it to do so: the asking has a thread of its
// own, which owns the duplicated process handle it is given.
DWORD WINAPI StartThreadIn(LPVOID parameter) {
    OWNED_HANDLE process(static_cast<HANDLE>(parameter));
    // Wine maps kernel32 at the same address in every process of a prefix.
    FARPROC sleep = GetProcAddress(GetModuleHandleA("kernel32.dll"), "Sleep");
    if (!sleep)
        return NOT_ASKED;
    OWNED_HANDLE thread(
        CreateRemoteThread(process.Get(), nullptr, 0,
                           reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(sleep)),
                           nullptr, 0, nullptr));
    if (!thread.Valid())
        return NOT_ASKED;
    WaitForSingleObject(thread.Get(), INFINITE);
    return RAN;
}

} // namespace

bool RunsNewThread(HANDLE process, DWORD timeoutMs) {
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &duplicate, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return true;
    OWNED_HANDLE given(duplicate);
    OWNED_HANDLE asking(CreateThread(nullptr, 0, StartThreadIn, given.Get(), 0, nullptr));
    if (!asking.Valid())
        return true;
    // From here the asking thread owns the process handle, however long it
    // waits: a process that never answers keeps it until this one ends.
    given.Release();
    return WaitForSingleObject(asking.Get(), timeoutMs) == WAIT_OBJECT_0;
}
