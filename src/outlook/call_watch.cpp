#include "outlook/call_watch.h"

#include <string.h>

#include "foundation/resource_strings.h"
#include "resources/resource_ids.h"

namespace {

const DWORD DEFAULT_LIMIT_MS = 5 * 60 * 1000;

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

OUTLOOK_CALL_WATCH::CLOCK clock = nullptr;

DWORD Now() {
    return clock ? clock() : GetTickCount();
}

// A check each second is soon enough for a limit of minutes.
const DWORD WATCH_INTERVAL_MS = 1000;

} // namespace

DWORD OutlookCallLimit() {
    HINSTANCE instance = GetResourceInstance();
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDR_OUTLOOK_CALL_LIMIT), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    DWORD size = found ? SizeofResource(instance, found) : 0;
    // "...: <milliseconds>" in ten digits (the first is 0), NUL-terminated.
    if (!text || size == 0 || text[size - 1] != '\0')
        return DEFAULT_LIMIT_MS;
    const char* figure = text + strlen(text);
    while (figure > text && figure[-1] >= '0' && figure[-1] <= '9')
        --figure;
    ULONGLONG limit = 0;
    for (; *figure && limit <= MAXDWORD; ++figure)
        limit = limit * 10 + (*figure - '0');
    return limit > 0 && limit <= MAXDWORD ? static_cast<DWORD>(limit) : DEFAULT_LIMIT_MS;
}

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

void OUTLOOK_CALL_WATCH::SetClockForTesting(CLOCK replacement) {
    clock = replacement;
}

DWORD WINAPI OUTLOOK_CALL_WATCH::Watch(LPVOID self) {
    OUTLOOK_CALL_WATCH& watch = *static_cast<OUTLOOK_CALL_WATCH*>(self);
    DWORD interval = watch.limit_ < WATCH_INTERVAL_MS ? watch.limit_ : WATCH_INTERVAL_MS;
    CALL_IN_PROGRESS& current = Current();
    while (WaitForSingleObject(watch.stop_.Get(), interval) == WAIT_TIMEOUT) {
        char name[sizeof current.name] = "";
        EnterCriticalSection(&current.lock);
        bool overdue = current.active && Now() - current.started >= watch.limit_;
        if (overdue) {
            memcpy(name, current.name, sizeof name);
            current.active = false;
        }
        LeaveCriticalSection(&current.lock);
        if (overdue)
            watch.overdue_(name, watch.limit_);
    }
    return 0;
}

WATCHED_CALL::WATCHED_CALL(const wchar_t* name) {
    CALL_IN_PROGRESS& current = Current();
    EnterCriticalSection(&current.lock);
    outerActive_ = current.active;
    memcpy(outerName_, current.name, sizeof outerName_);
    size_t length = 0;
    for (; name[length] && length + 1 < sizeof current.name; ++length)
        current.name[length] = static_cast<char>(name[length]);
    current.name[length] = '\0';
    current.started = Now();
    current.active = true;
    LeaveCriticalSection(&current.lock);
}

WATCHED_CALL::~WATCHED_CALL() {
    CALL_IN_PROGRESS& current = Current();
    EnterCriticalSection(&current.lock);
    current.active = outerActive_;
    memcpy(current.name, outerName_, sizeof current.name);
    current.started = Now();
    LeaveCriticalSection(&current.lock);
}
