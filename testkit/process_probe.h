// Whether Wine still runs a process at all. A process that waits (on a call
// to another process, a window, a lock) still runs a thread started in it;
// one whose threads Wine no longer runs, as happens now and then to 32-bit
// Wine processes under qemu-i386, does not.
#pragma once

#include <windows.h>

// Generous for starting a thread under qemu on a busy machine.
const DWORD PROBE_LIMIT_MS = 30000;

// True when a thread started in the process (a Sleep(0)) has run within
// timeoutMs, and when that cannot be asked at all; false only when the
// thread did not run in time. The process handle needs
// PROCESS_CREATE_THREAD, PROCESS_QUERY_INFORMATION, PROCESS_VM_OPERATION,
// PROCESS_VM_WRITE and PROCESS_VM_READ.
bool RunsNewThread(HANDLE process, DWORD timeoutMs);
