// Calls members of Outlook's dual interfaces by name through IDispatch, so
// that no vtable layout of any Outlook version is assumed. Each member's
// DISPID is asked once per interface and name for the whole run.
#pragma once

#include <initializer_list>

#include "outlook/com_error.h"

// An Outlook object, held through one of its dual interfaces.
class DISPATCH_OBJECT {
public:
    DISPATCH_OBJECT() = default;

    // Holds object through iid. S_OK, E_POINTER without an object, or the
    // query's failure (nothing held then).
    HRESULT Query(IUnknown* object, const IID& iid);
    // The object an answer holds, through iid. None when the answer holds no
    // object or the object lacks the interface; any other failed query
    // throws its HRESULT.
    static DISPATCH_OBJECT FromAnswer(const VARIANT_VALUE& answer, const IID& iid);

    explicit operator bool() const { return static_cast<bool>(object_); }
    IDispatch* Get() const { return object_.Get(); }
    const IID& Iid() const { return *iid_; }
    void Reset() { object_.Reset(); }

    // Calls member with arguments in their natural order; a failure throws
    // COM_ERROR (the server's scode and description for an exception).
    VARIANT_VALUE Invoke(const wchar_t* member, WORD kind,
                         std::initializer_list<const VARIANT*> arguments = {}) const;
    VARIANT_VALUE Property(const wchar_t* member) const {
        return Invoke(member, DISPATCH_PROPERTYGET);
    }
    VARIANT_VALUE Method(const wchar_t* member,
                         std::initializer_list<const VARIANT*> arguments = {}) const {
        return Invoke(member, DISPATCH_METHOD, arguments);
    }
    STRING TextProperty(const wchar_t* member) const;
    LONG LongProperty(const wchar_t* member) const;
    // A property, or a method's answer, that is an object held through iid.
    DISPATCH_OBJECT ObjectProperty(const wchar_t* member, const IID& iid) const;
    DISPATCH_OBJECT ObjectMethod(const wchar_t* member, const IID& iid,
                                 std::initializer_list<const VARIANT*> arguments = {}) const;

private:
    const IID* iid_ = &IID_IDispatch;
    COM_PTR<IDispatch> object_;
};

// While one lives, a call Outlook rejects as busy fails at once, for a
// caller with retries of its own.
class NO_BUSY_RETRIES {
public:
    NO_BUSY_RETRIES();
    ~NO_BUSY_RETRIES();
    NO_BUSY_RETRIES(const NO_BUSY_RETRIES&) = delete;
    NO_BUSY_RETRIES& operator=(const NO_BUSY_RETRIES&) = delete;
};

// Whether Outlook rejected a call as busy.
bool IsBusyAnswer(HRESULT result);
// Whether the run has spent its 2 minutes of waiting for a busy Outlook:
// a call rejected from then on fails at once.
bool BusyBudgetSpent();
// A new run: its own 2 minutes.
void ResetBusyBudget();

// What the automation has cost so far, for the benchmark.
struct DISPATCH_COUNTS {
    long invokes = 0;
    long nameLookups = 0;
};
DISPATCH_COUNTS DispatchCounts();
void ResetDispatchCounts();
