#include "outlook/outlook_errors.h"

#include <algorithm>
#include <stdio.h>
#include <string.h>
#include <vector>

#include "foundation/error_code.h"
#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "foundation/resource_strings.h"
#include "outlook/dispatch.h"
#include "resources/resource_ids.h"

namespace {

const int DESCRIPTION_LIMIT = 350;

bool HasResult(HRESULT result, unsigned long value) {
    return static_cast<unsigned long>(result) == value;
}

bool outlookGone = false;
int knownFailures = 0;
// The messages of known failures told in this run.
std::vector<int> told;

} // namespace

STRING ComErrorDescription(const COM_ERROR& error) {
    STRING description;
    try {
        IErrorInfo* info = error.ErrorInfo();
        if (info) {
            BSTR_STRING text;
            if (SUCCEEDED(info->GetDescription(text.Receive())))
                description = text.Narrow();
        }
    } catch (...) {
        description.clear();
    }
    if (description.size() > static_cast<size_t>(DESCRIPTION_LIMIT))
        description.resize(DESCRIPTION_LIMIT);
    return description;
}

STRING ComErrorText(const COM_ERROR& error) {
    STRING description = ComErrorDescription(error);
    STRING system = error.ErrorMessage();
    if (system.size() >= 2) {
        if (system.LastChar() == '\n')
            system.pop_back();
        if (!system.empty() && system.LastChar() == '\r')
            system.pop_back();
    }
    if (system.empty()) {
        unsigned long result = static_cast<unsigned long>(error.Error());
        char text[32];
        if (result > 0x80040200UL && result <= 0x8004FFFFUL)
            snprintf(text, sizeof text, "IDispatch error #%d",
                     static_cast<int>(result - 0x80040200UL));
        else
            snprintf(text, sizeof text, "Unknown error 0x%0lX", result);
        system = text;
    }
    if (_strnicmp(system.c_str(), "unknown error", 13) == 0)
        system.clear();
    if (!system.empty() && !description.empty())
        description.insert(0, "\n");
    return system + description;
}

bool IsOutlookGone(HRESULT result) {
    // The server unavailable, the call failed, disconnected, the server
    // died, and died without executing the call.
    return HasResult(result, 0x800706BA) || HasResult(result, 0x800706BE) ||
           HasResult(result, 0x80010105) || HasResult(result, 0x80010108) ||
           HasResult(result, 0x80010012) || HasResult(result, 0x80010007);
}

bool IsOutlookGone(const COM_ERROR& error) {
    return IsOutlookGone(error.Error());
}

void NoteOutlookAnswer(HRESULT result) {
    if (IsOutlookGone(result) && !outlookGone) {
        outlookGone = true;
        Log.Printf("Outlook is gone (0x%08lX): it is asked nothing more\r\n",
                   static_cast<unsigned long>(result));
    }
}

bool OutlookLost() {
    return outlookGone || BusyBudgetSpent();
}

int KnownOutlookFailures() {
    return knownFailures;
}

void ForgetOutlookFailures() {
    outlookGone = false;
    knownFailures = 0;
    told.clear();
    ResetBusyBudget();
}

void TellIfOutlookLost(const STRING& context) {
    if (!OutlookLost())
        return;
    HRESULT result = outlookGone ? RPC_E_DISCONNECTED : RPC_E_CALL_REJECTED;
    int id = outlookGone ? IDS_OUTLOOK_GONE : IDS_OPERATION_ABORTED;
    if (std::find(told.begin(), told.end(), id) != told.end())
        return;
    try {
        UserAbortIfKnownError(COM_ERROR(result), context, STRING());
    } catch (ERROR_CODE) {
    }
}

void StopIfOutlookLost(const COM_ERROR& error, const STRING& context) {
    NoteOutlookAnswer(error.Error());
    if (OutlookLost())
        UserAbortIfKnownError(error, context, STRING());
}

void UserAbortIfKnownError(const COM_ERROR& error, const STRING& context, const STRING& itemName) {
    STRING description = ComErrorDescription(error);
    HRESULT result = error.Error();
    NoteOutlookAnswer(result);
    int id = 0;
    if (IsOutlookGone(error))
        id = IDS_OUTLOOK_GONE;
    else if (HasResult(result, 0x80004004))
        id = IDS_OPERATION_ABORTED;
    else if (HasResult(result, 0x80040115))
        id = IDS_EXCHANGE_NETWORK_ERROR;
    else if (HasResult(result, 0x80040113))
        id = IDS_OPERATION_ABORTED;
    else if (IsBusyAnswer(result) && BusyBudgetSpent())
        id = IDS_OPERATION_ABORTED;
    else if (HasResult(result, 0x80041200) && description.Match("network", MATCH_CONTAINS, true))
        id = IDS_EXCHANGE_TERMINATED;
    else if (HasResult(result, 0x80041200) && (description.Match(" sync", MATCH_CONTAINS, true) ||
                                               description.Match(" gesync", MATCH_CONTAINS, true)))
        id = IDS_SYNC_CONFLICT;
    if (id == 0)
        return;

    ++knownFailures;
    STRING message = LoadStr(id);
    message.ReplaceFirst("<task>", itemName);
    message.ReplaceFirst("<COMerr>", description);
    // The message's type mark stays first, where it gives the box its icon.
    STRING text = message + "\n\n" + context;
    if (std::find(told.begin(), told.end(), id) == told.end()) {
        told.push_back(id);
        MsgBoxOK(text);
    }
    Log.Printf("UserAbortIfKnownError: %s\r\n", text.c_str());
    throw ERR_USER_ABORT;
}
