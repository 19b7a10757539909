// The program's fixed waits.
#pragma once

#include <windows.h>

// Sleeps for the given time, unless tests have turned waiting off.
void Pause(DWORD milliseconds);

// Test seam: with waiting off, Pause returns at once and only adds the time
// to PausedMilliseconds, so tests run fast and can see every wait.
void SetPausesSkippedForTesting(bool skipped);
DWORD PausedMilliseconds();

// The longest a quiet run waits for another program to end: 10 minutes.
DWORD QuietWaitLimit();
// Test seam: a shorter limit, so that a test need not wait 10 minutes; 0
// restores the real one.
void SetQuietWaitLimitForTesting(DWORD milliseconds);
