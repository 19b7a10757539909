// The one connection to Outlook: its Application object and MAPI NameSpace,
// started or attached to on demand and let go of at the end.
#pragma once

#include "foundation/strings.h"
#include "outlook/folder_cache.h"

// The process-wide connection state.
struct OUTLOOK_CONNECTION {
    DISPATCH_OBJECT application;
    bool applicationCreated = false;
    DISPATCH_OBJECT nameSpace;
    bool nameSpaceReady = false;
    LONG nameSpaceFailures = 0;
    LONG logonFailures = 0;
    FOLDER_CACHE folders;
};
OUTLOOK_CONNECTION& OutlookConnection();

// The Application; none when creating it failed and report is false. With
// report true a failure shows message 17 and throws ERR_USER_ABORT.
DISPATCH_OBJECT _GetOutlook(const STRING& context, bool report);
// The Application, asked up to five times; never none (throws ERR_USER_ABORT).
DISPATCH_OBJECT GetOutlook(const STRING& context);
// The "MAPI" NameSpace, logged on; none only when Outlook answered none.
DISPATCH_OBJECT GetMAPI(const STRING& context);
// Starts Outlook and logs on; every error goes to the caller.
void LoadOutlook();
// Lets go of every Outlook object held; harmless when nothing is held.
void ReleaseOutlook();

// True while Outlook runs: an Outlook.Application object is registered as
// active, or an Outlook.exe process exists.
bool IsOutlookRunning();
// Appends Outlook's main windows to windows; true when windows is non-empty.
bool FindOutlookWindows(VECTOR<HWND>& windows);
