#include "system/pause.h"

namespace {
const DWORD QUIET_WAIT_LIMIT_MS = 10 * 60 * 1000;
bool skipPauses = false;
DWORD pausedMilliseconds = 0;
DWORD quietWaitLimit = QUIET_WAIT_LIMIT_MS;
} // namespace

void Pause(DWORD milliseconds) {
    pausedMilliseconds += milliseconds;
    if (!skipPauses)
        Sleep(milliseconds);
}

void SetPausesSkippedForTesting(bool skipped) {
    skipPauses = skipped;
    pausedMilliseconds = 0;
}

DWORD PausedMilliseconds() {
    return pausedMilliseconds;
}

DWORD QuietWaitLimit() {
    return quietWaitLimit;
}

void SetQuietWaitLimitForTesting(DWORD milliseconds) {
    quietWaitLimit = milliseconds ? milliseconds : QUIET_WAIT_LIMIT_MS;
}
