// Owners of COM things: interface references, BSTRs and VARIANTs. Nothing
// else in the program releases, frees or clears them.
#pragma once

#include <windows.h>

#include <oleauto.h>
#include <utility>

#include "foundation/strings.h"
#include "outlook/call_watch.h"

// One counted reference to an interface.
template <typename INTERFACE> class COM_PTR {
public:
    COM_PTR() = default;
    // Takes over a reference the caller owns (as an out-parameter gives it).
    static COM_PTR Attach(INTERFACE* pointer) {
        COM_PTR owner;
        owner.pointer_ = pointer;
        return owner;
    }
    // Adds a reference of its own.
    static COM_PTR Share(INTERFACE* pointer) {
        if (pointer)
            pointer->AddRef();
        return Attach(pointer);
    }
    ~COM_PTR() { Reset(); }
    COM_PTR(const COM_PTR& other) : pointer_(other.pointer_) {
        if (pointer_)
            pointer_->AddRef();
    }
    COM_PTR(COM_PTR&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
    COM_PTR& operator=(COM_PTR other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }

    INTERFACE* Get() const { return pointer_; }
    INTERFACE* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For an out-parameter: drops what is held, then lends the slot.
    INTERFACE** Receive() {
        Reset();
        return &pointer_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    void Reset() {
        if (pointer_) {
            INTERFACE* pointer = pointer_;
            pointer_ = nullptr;
            // Letting go of a proxy is a call to the process behind it.
            WATCHED_CALL watched(L"Release");
            pointer->Release();
        }
    }

    // A reference to the object's other interface; the HRESULT of the query.
    template <typename OTHER> HRESULT Query(REFIID iid, COM_PTR<OTHER>& out) const {
        out.Reset();
        if (!pointer_)
            return E_POINTER;
        return pointer_->QueryInterface(iid, out.ReceiveVoid());
    }

private:
    INTERFACE* pointer_ = nullptr;
};

// An owned BSTR.
class BSTR_STRING {
public:
    BSTR_STRING() = default;
    explicit BSTR_STRING(const wchar_t* text) : bstr_(text ? SysAllocString(text) : nullptr) {}
    explicit BSTR_STRING(const STRING& text) : BSTR_STRING(text.ToWide().c_str()) {}
    ~BSTR_STRING() { Reset(); }
    BSTR_STRING(const BSTR_STRING&) = delete;
    BSTR_STRING& operator=(const BSTR_STRING&) = delete;

    BSTR Get() const { return bstr_; }
    BSTR* Receive() {
        Reset();
        return &bstr_;
    }
    // Hands the BSTR over to a new owner (a VARIANT, an API that frees it).
    BSTR Detach() {
        BSTR bstr = bstr_;
        bstr_ = nullptr;
        return bstr;
    }
    void Reset() {
        if (bstr_) {
            SysFreeString(bstr_);
            bstr_ = nullptr;
        }
    }
    STRING Narrow() const { return STRING::FromBstr(bstr_); }

private:
    BSTR bstr_ = nullptr;
};

// An owned VARIANT, cleared when it goes.
class VARIANT_VALUE {
public:
    VARIANT_VALUE() { VariantInit(&value_); }
    ~VARIANT_VALUE() { Clear(); }
    VARIANT_VALUE(const VARIANT_VALUE&) = delete;
    VARIANT_VALUE& operator=(const VARIANT_VALUE&) = delete;
    VARIANT_VALUE(VARIANT_VALUE&& other) noexcept : value_(other.value_) {
        VariantInit(&other.value_);
    }
    VARIANT_VALUE& operator=(VARIANT_VALUE&& other) noexcept {
        if (this != &other) {
            Clear();
            value_ = other.value_;
            VariantInit(&other.value_);
        }
        return *this;
    }

    static VARIANT_VALUE Long(LONG number) {
        VARIANT_VALUE value;
        value.value_.vt = VT_I4;
        value.value_.lVal = number;
        return value;
    }
    static VARIANT_VALUE Text(const STRING& text) {
        VARIANT_VALUE value;
        BSTR_STRING bstr(text);
        value.value_.vt = VT_BSTR;
        value.value_.bstrVal = bstr.Detach();
        return value;
    }

    const VARIANT& Get() const { return value_; }
    VARIANT* Receive() {
        Clear();
        return &value_;
    }

private:
    // An object it holds may be a proxy, whose release is a call.
    void Clear() {
        WATCHED_CALL watched(L"Release");
        VariantClear(&value_);
    }

    VARIANT value_;
};
