// A System Restore point around the uninstall, so that the user can roll the
// machine back. Every failure is silent: the uninstall goes on without one.
#pragma once

#include <windows.h>

const DWORD BEGIN_SYSTEM_CHANGE = 100;
const DWORD END_SYSTEM_CHANGE = 101;
const DWORD APPLICATION_INSTALL = 0;

// The sequence number the service assigned, or -1 on any failure (also for a
// negative sequence number, a Windows without restore points or no
// "SrClient.DLL" in the system folder, the only place it is taken from).
INT64 SetRestorePoint(DWORD eventType, DWORD restorePointType, INT64 sequenceNumber);
// Opens the restore point and keeps its sequence number (-1 when it failed).
void BeginRestorePoint();
// Closes the restore point that BeginRestorePoint opened, as made
// (END_SYSTEM_CHANGE), so that the user can go back to it; nothing when none
// was opened or it is closed already.
void EndRestorePoint();

// The kept sequence number: -1 until a BeginRestorePoint succeeds, and again
// once EndRestorePoint has closed it.
INT64 RestorePointSequenceNumber();
// Test seam: back to the state before any BeginRestorePoint.
void ResetRestorePointForTesting();
