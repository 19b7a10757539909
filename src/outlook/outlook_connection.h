// The one connection to Outlook.
#pragma once

// True while Outlook runs: an Outlook.Application object is registered as
// active, or an Outlook.exe process exists.
bool IsOutlookRunning();
