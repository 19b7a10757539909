#include "system/system_info.h"

#include <shlobj.h>

STRING GetLocalAppDataFolder() {
    char buffer[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", buffer, sizeof(buffer));
    if (length == 0 || length >= sizeof(buffer))
        return STRING();
    return buffer;
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

STRING GetSpecialFolderPath(HWND owner, int folderId) {
    SHELL_ALLOCATOR allocator;
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, folderId, &items)) || !items)
        return STRING();
    char path[MAX_PATH] = "";
    if (!SHGetPathFromIDListA(items, path))
        path[0] = '\0';
    allocator.Free(items);
    return path;
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
