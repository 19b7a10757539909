#include "outlook/outlook_errors.h"

#include <stdio.h>
#include <string.h>

#include "foundation/error_code.h"
#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "foundation/resource_strings.h"
#include "resources/resource_ids.h"

namespace {

const int DESCRIPTION_LIMIT = 350;

bool HasResult(HRESULT result, unsigned long value) {
    return static_cast<unsigned long>(result) == value;
}

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

bool IsOutlookGone(const COM_ERROR& error) {
    HRESULT result = error.Error();
    return HasResult(result, 0x800706BA) || HasResult(result, 0x800706BE) ||
           HasResult(result, 0x80010105) || HasResult(result, 0x80010108) ||
           HasResult(result, 0x80010012);
}

void UserAbortIfKnownError(const COM_ERROR& error, const STRING& context, const STRING& itemName) {
    STRING description = ComErrorDescription(error);
    HRESULT result = error.Error();
    int id = 0;
    if (IsOutlookGone(error))
        id = IDS_OUTLOOK_GONE;
    else if (HasResult(result, 0x80004004))
        id = IDS_OPERATION_ABORTED;
    else if (HasResult(result, 0x80040115))
        id = IDS_EXCHANGE_NETWORK_ERROR;
    else if (HasResult(result, 0x80040113))
        id = IDS_OPERATION_ABORTED;
    else if (HasResult(result, 0x80041200) && description.Match("network", MATCH_CONTAINS, true))
        id = IDS_EXCHANGE_TERMINATED;
    else if (HasResult(result, 0x80041200) && (description.Match(" sync", MATCH_CONTAINS, true) ||
                                               description.Match(" gesync", MATCH_CONTAINS, true)))
        id = IDS_SYNC_CONFLICT;
    if (id == 0)
        return;

    STRING message = LoadStr(id);
    message.ReplaceFirst("<task>", itemName);
    message.ReplaceFirst("<COMerr>", description);
    STRING text = context + "\n" + message;
    MsgBoxOK(text);
    Log.Printf("UserAbortIfKnownError: %s\r\n", text.c_str());
    throw ERR_USER_ABORT;
}
