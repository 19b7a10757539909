#include "outlook/dispatch.h"

#include <map>
#include <string.h>
#include <string>
#include <vector>

#include "foundation/log_file.h"
#include "outlook/call_watch.h"
#include "outlook/outlook_errors.h"
#include "system/pause.h"

namespace {

DISPATCH_COUNTS counts;

// A busy Outlook (a modal window open, a send/receive) rejects calls; a
// rejected call was never executed, so it is tried again after short
// pauses. The pauses of the whole run share one budget: a folder walk of
// many calls must not be held for hours by an Outlook that stays busy.
const DWORD BUSY_PAUSE_MS = 250;
const DWORD BUSY_BUDGET_MS = 2 * 60 * 1000;
DWORD busyWaited = 0;
int busyRetriesOff = 0;

template <typename CALL> HRESULT UntilNotBusy(const wchar_t* member, CALL call) {
    HRESULT result;
    {
        WATCHED_CALL watched(member);
        result = call();
    }
    NoteOutlookAnswer(result);
    if (!IsBusyAnswer(result) || busyRetriesOff > 0)
        return result;
    std::string name(member, member + wcslen(member));
    if (BusyBudgetSpent()) {
        Log.Printf("Outlook is busy: %s rejected (0x%08lX); the run's time for a busy Outlook "
                   "is spent, so it fails\r\n",
                   name.c_str(), static_cast<unsigned long>(result));
        return result;
    }
    Log.Printf("Outlook is busy: %s rejected (0x%08lX), tried again\r\n", name.c_str(),
               static_cast<unsigned long>(result));
    DWORD waited = 0;
    while (IsBusyAnswer(result) && !BusyBudgetSpent()) {
        Pause(BUSY_PAUSE_MS);
        waited += BUSY_PAUSE_MS;
        busyWaited += BUSY_PAUSE_MS;
        WATCHED_CALL watched(member);
        result = call();
    }
    NoteOutlookAnswer(result);
    if (IsBusyAnswer(result))
        Log.Printf("Outlook stayed busy: %s fails after %lu ms; the run has waited %lu s for a "
                   "busy Outlook, all it allows\r\n",
                   name.c_str(), waited, busyWaited / 1000);
    else
        Log.Printf("Outlook answered %s after %lu ms busy\r\n", name.c_str(), waited);
    return result;
}

// Which DISPID a member has on an interface. Outlook's dual interfaces keep
// their DISPIDs fixed, so one lookup per interface and name serves the run.
struct MEMBER_KEY {
    IID iid;
    std::wstring name;
    bool operator<(const MEMBER_KEY& other) const {
        int order = memcmp(&iid, &other.iid, sizeof(IID));
        if (order != 0)
            return order < 0;
        return name < other.name;
    }
};
std::map<MEMBER_KEY, DISPID> memberIds;

DISPID MemberId(IDispatch* object, const IID& iid, const wchar_t* member) {
    MEMBER_KEY key{iid, member};
    auto found = memberIds.find(key);
    if (found != memberIds.end())
        return found->second;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(member);
    ++counts.nameLookups;
    ThrowIfFailed(UntilNotBusy(member, [&] {
        return object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    }));
    memberIds.emplace(std::move(key), id);
    return id;
}

// Owns what an exception report holds and turns it into the program's error.
[[noreturn]] void ThrowException(EXCEPINFO& exception) {
    if (exception.pfnDeferredFillIn)
        exception.pfnDeferredFillIn(&exception);
    BSTR_STRING source, description, helpFile;
    *source.Receive() = exception.bstrSource;
    *description.Receive() = exception.bstrDescription;
    *helpFile.Receive() = exception.bstrHelpFile;
    HRESULT result = exception.scode != 0   ? exception.scode
                     : exception.wCode != 0 ? static_cast<HRESULT>(0x80040200UL + exception.wCode)
                                            : DISP_E_EXCEPTION;
    COM_PTR<IErrorInfo> info;
    if (description.Get() && description.Get()[0] != L'\0')
        info = MakeErrorInfo(description.Get());
    ThrowComError(result, info);
}

} // namespace

NO_BUSY_RETRIES::NO_BUSY_RETRIES() {
    ++busyRetriesOff;
}

NO_BUSY_RETRIES::~NO_BUSY_RETRIES() {
    --busyRetriesOff;
}

bool IsBusyAnswer(HRESULT result) {
    return result == RPC_E_CALL_REJECTED || result == RPC_E_SERVERCALL_RETRYLATER;
}

bool BusyBudgetSpent() {
    return busyWaited >= BUSY_BUDGET_MS;
}

void ResetBusyBudget() {
    busyWaited = 0;
}

DISPATCH_COUNTS DispatchCounts() {
    return counts;
}

void ResetDispatchCounts() {
    counts = DISPATCH_COUNTS();
}

HRESULT DISPATCH_OBJECT::Query(IUnknown* object, const IID& iid) {
    object_.Reset();
    iid_ = &iid;
    if (!object)
        return E_POINTER;
    WATCHED_CALL watched(L"QueryInterface");
    return object->QueryInterface(iid, object_.ReceiveVoid());
}

DISPATCH_OBJECT DISPATCH_OBJECT::FromAnswer(const VARIANT_VALUE& answer, const IID& iid) {
    DISPATCH_OBJECT object;
    const VARIANT& value = answer.Get();
    IUnknown* unknown = nullptr;
    if (value.vt == VT_DISPATCH)
        unknown = value.pdispVal;
    else if (value.vt == VT_UNKNOWN)
        unknown = value.punkVal;
    if (!unknown)
        return object;
    HRESULT result = object.Query(unknown, iid);
    if (FAILED(result) && result != E_NOINTERFACE)
        ThrowComError(result);
    return object;
}

VARIANT_VALUE DISPATCH_OBJECT::Invoke(const wchar_t* member, WORD kind,
                                      std::initializer_list<const VARIANT*> arguments) const {
    if (!object_)
        ThrowComError(E_POINTER);
    DISPID id = MemberId(object_.Get(), *iid_, member);
    // IDispatch takes its arguments last first.
    std::vector<VARIANT> reversed(arguments.size());
    size_t slot = arguments.size();
    for (const VARIANT* argument : arguments)
        reversed[--slot] = *argument;
    DISPPARAMS parameters = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                             static_cast<UINT>(reversed.size()), 0};
    VARIANT_VALUE answer;
    EXCEPINFO exception;
    memset(&exception, 0, sizeof exception);
    UINT badArgument = 0;
    ++counts.invokes;
    HRESULT result = UntilNotBusy(member, [&] {
        return object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters,
                               answer.Receive(), &exception, &badArgument);
    });
    if (result == DISP_E_EXCEPTION)
        ThrowException(exception);
    ThrowIfFailed(result);
    return answer;
}

STRING DISPATCH_OBJECT::TextProperty(const wchar_t* member) const {
    VARIANT_VALUE answer = Property(member);
    if (answer.Get().vt != VT_BSTR) {
        VARIANT_VALUE text;
        ThrowIfFailed(
            VariantChangeType(text.Receive(), const_cast<VARIANT*>(&answer.Get()), 0, VT_BSTR));
        return STRING::FromBstr(text.Get().bstrVal);
    }
    return STRING::FromBstr(answer.Get().bstrVal);
}

LONG DISPATCH_OBJECT::LongProperty(const wchar_t* member) const {
    VARIANT_VALUE answer = Property(member);
    if (answer.Get().vt != VT_I4) {
        VARIANT_VALUE number;
        ThrowIfFailed(
            VariantChangeType(number.Receive(), const_cast<VARIANT*>(&answer.Get()), 0, VT_I4));
        return number.Get().lVal;
    }
    return answer.Get().lVal;
}

DISPATCH_OBJECT DISPATCH_OBJECT::ObjectProperty(const wchar_t* member, const IID& iid) const {
    return FromAnswer(Property(member), iid);
}

DISPATCH_OBJECT
DISPATCH_OBJECT::ObjectMethod(const wchar_t* member, const IID& iid,
                              std::initializer_list<const VARIANT*> arguments) const {
    return FromAnswer(Method(member, arguments), iid);
}
