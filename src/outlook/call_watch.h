// In a quiet run nobody answers what Outlook may ask (a profile chooser, a
// password box), and an Outlook call could then wait for ever. While a
// watch runs, a thread of its own looks at the Outlook call in progress and
// reports it once it has been waiting longer than the limit.
#pragma once

#include <windows.h>

#include "foundation/owned_handle.h"

// What a quiet run allows one Outlook call.
const DWORD OUTLOOK_CALL_LIMIT_MS = 5 * 60 * 1000;

// Called on the watch's thread with the name of the overdue call.
typedef void (*OVERDUE_CALL)(const char* call);

// A limit of 0 watches nothing.
class OUTLOOK_CALL_WATCH {
public:
    OUTLOOK_CALL_WATCH(DWORD limitMilliseconds, OVERDUE_CALL overdue);
    ~OUTLOOK_CALL_WATCH();
    OUTLOOK_CALL_WATCH(const OUTLOOK_CALL_WATCH&) = delete;
    OUTLOOK_CALL_WATCH& operator=(const OUTLOOK_CALL_WATCH&) = delete;

private:
    static DWORD WINAPI Watch(LPVOID self);

    DWORD limit_;
    OVERDUE_CALL overdue_;
    OWNED_HANDLE stop_;
    OWNED_HANDLE thread_;
};

// One Outlook call, from its start to its answer, as the watch sees it.
class WATCHED_CALL {
public:
    explicit WATCHED_CALL(const wchar_t* name);
    ~WATCHED_CALL();
    WATCHED_CALL(const WATCHED_CALL&) = delete;
    WATCHED_CALL& operator=(const WATCHED_CALL&) = delete;
};

// The quiet run's answer to an overdue call: logged with the call's name,
// the run ends as abandoned (exit code 1). Whatever is still held by the
// stuck call is left to the system.
void AbandonQuietRun(const char* call);
