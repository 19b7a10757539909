#include "outlook/com_error.h"

STRING COM_ERROR::ErrorMessage() const {
    char* buffer = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(result_), LANG_USER_DEFAULT,
                                  reinterpret_cast<char*>(&buffer), 0, nullptr);
    STRING text;
    if (length > 0 && buffer)
        text.assign(buffer, length);
    if (buffer)
        LocalFree(buffer);
    return text;
}

void ThrowIfFailed(HRESULT result) {
    if (FAILED(result))
        ThrowComError(result);
}

void ThrowComError(HRESULT result, COM_PTR<IErrorInfo> info) {
    throw COM_ERROR(result, std::move(info));
}

COM_PTR<IErrorInfo> MakeErrorInfo(const wchar_t* description) {
    COM_PTR<ICreateErrorInfo> creator;
    COM_PTR<IErrorInfo> info;
    if (FAILED(CreateErrorInfo(creator.Receive())))
        return info;
    creator->SetDescription(const_cast<wchar_t*>(description ? description : L""));
    creator.Query(IID_IErrorInfo, info);
    return info;
}
