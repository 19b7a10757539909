#include "outlook/call_watch.h"

#include <string.h>

#include "foundation/log_file.h"

namespace {

// The call in progress: written by the uninstall thread, read by the watch.
struct CALL_IN_PROGRESS {
    CALL_IN_PROGRESS() { InitializeCriticalSection(&lock); }
    ~CALL_IN_PROGRESS() { DeleteCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    bool active = false;
    DWORD started = 0;
    char name[64] = "";
};

CALL_IN_PROGRESS& Current() {
    static CALL_IN_PROGRESS current;
    return current;
}

// A check each second is soon enough for a limit of minutes.
const DWORD WATCH_INTERVAL_MS = 1000;

} // namespace

OUTLOOK_CALL_WATCH::OUTLOOK_CALL_WATCH(DWORD limitMilliseconds, OVERDUE_CALL overdue)
    : limit_(limitMilliseconds), overdue_(overdue),
      stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (limit_ > 0 && stop_.Valid())
        thread_.Reset(CreateThread(nullptr, 0, Watch, this, 0, nullptr));
}

OUTLOOK_CALL_WATCH::~OUTLOOK_CALL_WATCH() {
    if (thread_.Valid()) {
        SetEvent(stop_.Get());
        WaitForSingleObject(thread_.Get(), INFINITE);
    }
}

DWORD WINAPI OUTLOOK_CALL_WATCH::Watch(LPVOID self) {
    OUTLOOK_CALL_WATCH& watch = *static_cast<OUTLOOK_CALL_WATCH*>(self);
    DWORD interval = watch.limit_ < WATCH_INTERVAL_MS ? watch.limit_ : WATCH_INTERVAL_MS;
    CALL_IN_PROGRESS& current = Current();
    while (WaitForSingleObject(watch.stop_.Get(), interval) == WAIT_TIMEOUT) {
        char name[sizeof current.name] = "";
        EnterCriticalSection(&current.lock);
        bool overdue = current.active && GetTickCount() - current.started >= watch.limit_;
        if (overdue) {
            memcpy(name, current.name, sizeof name);
            current.active = false;
        }
        LeaveCriticalSection(&current.lock);
        if (overdue)
            watch.overdue_(name);
    }
    return 0;
}

WATCHED_CALL::WATCHED_CALL(const wchar_t* name) {
    CALL_IN_PROGRESS& current = Current();
    EnterCriticalSection(&current.lock);
    size_t length = 0;
    for (; name[length] && length + 1 < sizeof current.name; ++length)
        current.name[length] = static_cast<char>(name[length]);
    current.name[length] = '\0';
    current.started = GetTickCount();
    current.active = true;
    LeaveCriticalSection(&current.lock);
}

WATCHED_CALL::~WATCHED_CALL() {
    CALL_IN_PROGRESS& current = Current();
    EnterCriticalSection(&current.lock);
    current.active = false;
    LeaveCriticalSection(&current.lock);
}

void AbandonQuietRun(const char* call) {
    Log.Printf("Outlook has not answered %s within %lu minutes: the run is abandoned\r\n", call,
               OUTLOOK_CALL_LIMIT_MS / 60000);
    Log.Printf("Start-up: exit code %d\r\n", 1);
    // The uninstall thread is still inside Outlook's call: the process ends
    // here, as nothing else would make that call return.
    TerminateProcess(GetCurrentProcess(), 1);
}
