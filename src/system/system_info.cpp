#include "system/system_info.h"

#include <shlobj.h>

namespace {

// wide in the ANSI code page, when every character survives the round trip
// (a best-fit mapping does not); false otherwise.
bool ToAnsiExactly(const std::wstring& wide, STRING& ansi) {
    ansi = STRING::FromWide(wide.c_str());
    BOOL usedDefault = FALSE;
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                        &usedDefault);
    return !usedDefault && ansi.ToWide() == wide;
}

// Answers from a wide function that takes a buffer and its size in
// characters, returning the length (or the size needed).
template <typename QUERY> std::wstring AskWide(QUERY query) {
    std::wstring text(MAX_PATH, L'\0');
    DWORD length = query(&text[0], static_cast<DWORD>(text.size()));
    if (length >= text.size()) {
        text.assign(length + 1, L'\0');
        length = query(&text[0], static_cast<DWORD>(text.size()));
    }
    if (length == 0 || length >= text.size())
        return std::wstring();
    text.resize(length);
    return text;
}

} // namespace

USER_FOLDER UserFolderFromWide(const std::wstring& wide) {
    USER_FOLDER folder;
    folder.wide = wide;
    if (wide.empty())
        return folder;
    STRING ansi;
    if (!ToAnsiExactly(wide, ansi)) {
        std::wstring shortName = AskWide([&wide](wchar_t* buffer, DWORD size) {
            return GetShortPathNameW(wide.c_str(), buffer, size);
        });
        if (shortName.empty() || !ToAnsiExactly(shortName, ansi))
            ansi.clear();
    }
    if (ansi.empty())
        folder.unreachableBecause = ERROR_NO_UNICODE_TRANSLATION;
    else if (!FitsPathLimit(ansi))
        folder.unreachableBecause = ERROR_FILENAME_EXCED_RANGE;
    else
        folder.path = ansi;
    return folder;
}

USER_FOLDER GetLocalAppDataFolder() {
    return UserFolderFromWide(AskWide([](wchar_t* buffer, DWORD size) {
        return GetEnvironmentVariableW(L"LOCALAPPDATA", buffer, size);
    }));
}

USER_FOLDER GetTemporaryFolder() {
    return UserFolderFromWide(
        AskWide([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); }));
}

namespace {

// Owns the shell's allocator and frees an item list through it.
class SHELL_ALLOCATOR {
public:
    SHELL_ALLOCATOR() {
        if (FAILED(SHGetMalloc(&malloc_)))
            malloc_ = nullptr;
    }
    ~SHELL_ALLOCATOR() {
        if (malloc_)
            malloc_->Release();
    }
    SHELL_ALLOCATOR(const SHELL_ALLOCATOR&) = delete;
    SHELL_ALLOCATOR& operator=(const SHELL_ALLOCATOR&) = delete;

    void Free(void* memory) {
        if (malloc_)
            malloc_->Free(memory);
        else
            CoTaskMemFree(memory);
    }

private:
    IMalloc* malloc_ = nullptr;
};

// Owns the buffer that FormatMessageA allocates.
class LOCAL_BUFFER {
public:
    LOCAL_BUFFER() = default;
    ~LOCAL_BUFFER() {
        if (text_)
            LocalFree(text_);
    }
    LOCAL_BUFFER(const LOCAL_BUFFER&) = delete;
    LOCAL_BUFFER& operator=(const LOCAL_BUFFER&) = delete;

    char** Address() { return &text_; }
    const char* Text() const { return text_; }

private:
    char* text_ = nullptr;
};

} // namespace

USER_FOLDER GetSpecialFolderPath(HWND owner, int folderId) {
    SHELL_ALLOCATOR allocator;
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, folderId, &items)) || !items)
        return USER_FOLDER();
    wchar_t path[MAX_PATH] = L"";
    if (!SHGetPathFromIDListW(items, path))
        path[0] = L'\0';
    allocator.Free(items);
    return UserFolderFromWide(path);
}

STRING GetSystemErrorText(DWORD code) {
    LOCAL_BUFFER buffer;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                      FORMAT_MESSAGE_FROM_SYSTEM,
                                  nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                  reinterpret_cast<char*>(buffer.Address()), 0, nullptr);
    if (length == 0 || !buffer.Text())
        return STRING();
    STRING text(buffer.Text(), length);
    if (text.Length() > 2 && text.Match(STR_CRLF, MATCH_ENDS, false))
        text.resize(text.size() - 2);
    return text;
}

STRING GetLastErrorText() {
    return GetSystemErrorText(GetLastError());
}
