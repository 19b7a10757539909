#include "system/pause.h"

namespace {
bool skipPauses = false;
DWORD pausedMilliseconds = 0;
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
