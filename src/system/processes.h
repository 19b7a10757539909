// Which programs are running, from the system's process snapshot.
#pragma once

#include <windows.h>

#include <tlhelp32.h>

// Called for each running process; true stops the walk.
typedef bool (*PROCESS_MATCHER)(const PROCESSENTRY32& entry, void* context);

// A snapshot through the toolhelp functions, looked up at run time;
// INVALID_HANDLE_VALUE when they are missing or the snapshot is refused.
HANDLE CreateProcessSnapshot(DWORD flags, DWORD processId);
// True when matcher answered true for some running process.
bool EnumerateProcesses(PROCESS_MATCHER matcher, void* context);
// True when a process runs whose executable name is exeFileName, or ends
// with a backslash and exeFileName (letter case ignored).
bool processIsRunning(const char* exeFileName);
