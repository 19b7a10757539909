// In a quiet run nobody answers what Outlook may ask (a profile chooser, a
// password box), and an Outlook call could then wait for ever. While a
// watch runs, a thread of its own looks at the Outlook call in progress and
// reports it once it has been waiting longer than the limit.
#pragma once

#include <windows.h>

#include "foundation/owned_handle.h"

// What a quiet run allows one Outlook call: the figure the program's
// resource IDR_OUTLOOK_CALL_LIMIT holds (5 minutes as shipped); 5 minutes
// when the resource is missing or unreadable.
DWORD OutlookCallLimit();

// Called on the watch's thread with the name of the overdue call and the
// limit it overran. Whoever starts the watch decides what happens then: the
// uninstall thread is still inside the call.
typedef void (*OVERDUE_CALL)(const char* call, DWORD limitMilliseconds);

// A limit of 0 watches nothing.
class OUTLOOK_CALL_WATCH {
public:
    OUTLOOK_CALL_WATCH(DWORD limitMilliseconds, OVERDUE_CALL overdue);
    ~OUTLOOK_CALL_WATCH();
    OUTLOOK_CALL_WATCH(const OUTLOOK_CALL_WATCH&) = delete;
    OUTLOOK_CALL_WATCH& operator=(const OUTLOOK_CALL_WATCH&) = delete;

    // Test seam: the clock the watch reads (GetTickCount when null), so
    // that the shipped limit can be proven without waiting it out.
    typedef DWORD (*CLOCK)();
    static void SetClockForTesting(CLOCK clock);

private:
    static DWORD WINAPI Watch(LPVOID self);

    DWORD limit_;
    OVERDUE_CALL overdue_;
    OWNED_HANDLE stop_;
    OWNED_HANDLE thread_;
};

// One cross-process call to Outlook (or a span of them), from its start to
// its answer, as the watch sees it. Spans nest: when an inner one ends, the
// outer one is watched again from that moment.
class WATCHED_CALL {
public:
    explicit WATCHED_CALL(const wchar_t* name);
    ~WATCHED_CALL();
    WATCHED_CALL(const WATCHED_CALL&) = delete;
    WATCHED_CALL& operator=(const WATCHED_CALL&) = delete;

private:
    bool outerActive_;
    char outerName_[64];
};
