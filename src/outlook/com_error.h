// The program's error for a failed automation call: the HRESULT, the
// server's error information when it gave one, and the system's text.
#pragma once

#include "foundation/strings.h"
#include "outlook/com_ptr.h"

class COM_ERROR {
public:
    explicit COM_ERROR(HRESULT result, COM_PTR<IErrorInfo> info = COM_PTR<IErrorInfo>())
        : result_(result), info_(std::move(info)) {}

    HRESULT Error() const { return result_; }
    // Null when the server gave no error information.
    IErrorInfo* ErrorInfo() const { return info_.Get(); }
    // The system's message for the HRESULT; empty when it has none.
    STRING ErrorMessage() const;

private:
    HRESULT result_;
    COM_PTR<IErrorInfo> info_;
};

// Throws a COM_ERROR for a failed HRESULT; returns for a success.
void ThrowIfFailed(HRESULT result);
[[noreturn]] void ThrowComError(HRESULT result, COM_PTR<IErrorInfo> info = COM_PTR<IErrorInfo>());
// Error information holding description, as a server would give it; none
// when it cannot be made.
COM_PTR<IErrorInfo> MakeErrorInfo(const wchar_t* description);
