#include "foundation/registry.h"

#include <algorithm>
#include <vector>

namespace {

const DWORD STRING_BUFFER_SIZE = 10000;
const DWORD KEY_NAME_BUFFER_SIZE = 1000;

// RegCreateKeyExA needs a subkey; the empty one reopens root itself.
const char* OrEmpty(const char* text) {
    return text ? text : "";
}

// Bytes up to the first NUL, never past size.
STRING TextUpToNul(const char* data, size_t size) {
    return STRING(data, std::find(data, data + size, '\0'));
}

// subkey\name, or the bare name when the subkey is the root itself.
STRING ChildPath(const char* subkey, const STRING& name) {
    STRING parent(OrEmpty(subkey));
    if (parent.empty())
        return name;
    return parent.WithTrailingBackslash() + name;
}

} // namespace

bool REG_KEY::Open(HKEY root, const char* subkey, REG_OPEN_MODE mode) {
    HKEY opened = nullptr;
    LONG rc = ERROR_INVALID_PARAMETER;
    switch (mode) {
    case REG_MODE_READ:
        rc = RegOpenKeyExA(root, subkey, 0, KEY_READ, &opened);
        break;
    case REG_MODE_QUERY:
        rc = RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &opened);
        break;
    case REG_MODE_WRITE:
        rc = RegCreateKeyExA(root, OrEmpty(subkey), 0, const_cast<char*>(""), 0, KEY_SET_VALUE,
                             nullptr, &opened, nullptr);
        break;
    case REG_MODE_READ_WRITE:
        rc = RegCreateKeyExA(root, OrEmpty(subkey), 0, const_cast<char*>(""), 0,
                             KEY_READ | KEY_WRITE, nullptr, &opened, nullptr);
        break;
    }
    // The old key goes only now, so that root may be the key being replaced.
    Close();
    if (rc != ERROR_SUCCESS)
        return false;
    handle_ = opened;
    return true;
}

LONG REG_KEY::OpenExisting(HKEY root, const char* subkey, REGSAM access) {
    HKEY opened = nullptr;
    LONG rc = RegOpenKeyExA(root, subkey, 0, access, &opened);
    Close();
    if (rc == ERROR_SUCCESS)
        handle_ = opened;
    return rc;
}

void REG_KEY::Close() {
    if (handle_) {
        RegCloseKey(handle_);
        handle_ = nullptr;
    }
}

STRING REG_KEY::ReadString(const char* name, const STRING& defaultValue) const {
    if (!handle_)
        return defaultValue;
    // One spare byte so that data filling the buffer can still be ended.
    std::vector<char> buffer(STRING_BUFFER_SIZE + 1);
    DWORD size = STRING_BUFFER_SIZE;
    if (RegQueryValueExA(handle_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS)
        return defaultValue;
    return TextUpToNul(buffer.data(), std::min(size, STRING_BUFFER_SIZE));
}

std::wstring REG_KEY::ReadWideString(const wchar_t* name) const {
    if (!handle_)
        return std::wstring();
    // One spare character so that data filling the buffer can still be ended.
    std::vector<wchar_t> buffer(STRING_BUFFER_SIZE / sizeof(wchar_t) + 1);
    DWORD size = STRING_BUFFER_SIZE;
    if (RegQueryValueExW(handle_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS)
        return std::wstring();
    const wchar_t* begin = buffer.data();
    const wchar_t* end = begin + std::min(size, STRING_BUFFER_SIZE) / sizeof(wchar_t);
    return std::wstring(begin, std::find(begin, end, L'\0'));
}

DWORD REG_KEY::ReadDword(const char* name, DWORD defaultValue, DWORD min, DWORD max) const {
    if (!handle_)
        return defaultValue;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExA(handle_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return defaultValue;
    if (min == 0 && max == 0)
        return value;
    if ((min != 0 && value < min) || value > max)
        return defaultValue;
    return value;
}

int REG_KEY::ReadBinary(const char* name, void* buffer, int size) const {
    if (!handle_ || !buffer || size < 0)
        return -1;
    DWORD read = static_cast<DWORD>(size);
    if (RegQueryValueExA(handle_, name, nullptr, nullptr, static_cast<BYTE*>(buffer), &read) !=
        ERROR_SUCCESS)
        return -1;
    return static_cast<int>(read);
}

bool REG_KEY::QueryValueInfo(const char* name, DWORD& type, DWORD& size) const {
    if (!handle_)
        return false;
    return RegQueryValueExA(handle_, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

bool REG_KEY::WriteString(const char* name, const STRING& value) {
    if (!handle_)
        return false;
    return RegSetValueExA(handle_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool REG_KEY::WriteDword(const char* name, DWORD value) {
    if (!handle_)
        return false;
    return RegSetValueExA(handle_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

bool REG_KEY::DeleteValue(const char* name) {
    if (!handle_)
        return false;
    return RegDeleteValueA(handle_, name) == ERROR_SUCCESS;
}

int REG_KEY::SubkeyCount() const {
    if (!handle_)
        return -1;
    DWORD count = 0;
    if (RegQueryInfoKeyA(handle_, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return -1;
    return static_cast<int>(count);
}

STRING REG_KEY::SubkeyName(int index) const {
    if (!handle_ || index < 0)
        return STRING();
    char name[KEY_NAME_BUFFER_SIZE + 1] = {};
    DWORD size = KEY_NAME_BUFFER_SIZE;
    LONG rc = RegEnumKeyExA(handle_, static_cast<DWORD>(index), name, &size, nullptr, nullptr,
                            nullptr, nullptr);
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)
        return STRING();
    return TextUpToNul(name, KEY_NAME_BUFFER_SIZE);
}

bool KeyExists(HKEY root, const char* subkey) {
    REG_KEY key;
    return key.Open(root, subkey, REG_MODE_READ);
}

STRING ReadStringAt(HKEY root, const char* subkey, const char* name, const STRING& defaultValue) {
    REG_KEY key;
    if (!key.Open(root, subkey, REG_MODE_READ))
        return defaultValue;
    return key.ReadString(name, defaultValue);
}

DWORD ReadDwordAt(HKEY root, const char* subkey, const char* name, DWORD defaultValue, DWORD min,
                  DWORD max) {
    REG_KEY key;
    if (!key.Open(root, subkey, REG_MODE_READ))
        return defaultValue;
    return key.ReadDword(name, defaultValue, min, max);
}

bool WriteDwordAt(HKEY root, const char* subkey, const char* name, DWORD value) {
    REG_KEY key;
    return key.Open(root, subkey, REG_MODE_WRITE) && key.WriteDword(name, value);
}

bool WriteStringAt(HKEY root, const char* subkey, const char* name, const STRING& value) {
    REG_KEY key;
    return key.Open(root, subkey, REG_MODE_WRITE) && key.WriteString(name, value);
}

bool DeleteValueAt(HKEY root, const char* subkey, const char* name) {
    // The write mode would create the key just to find the value missing.
    if (!KeyExists(root, subkey))
        return false;
    REG_KEY key;
    return key.Open(root, subkey, REG_MODE_WRITE) && key.DeleteValue(name);
}

bool DeleteKeyTree(HKEY root, const char* subkey) {
    // An empty subkey (or one of backslashes only) names root itself: a
    // whole hive must never be emptied by mistake.
    if (!subkey || STRING(subkey).find_first_not_of('\\') == STRING::npos)
        return false;
    // Opened without creating: a key that never existed counts as deleted,
    // and one that cannot be opened (access denied) is reported, not skipped.
    REG_KEY key;
    LONG rc = key.OpenExisting(root, subkey, KEY_READ | KEY_WRITE);
    if (rc == ERROR_FILE_NOT_FOUND)
        return true;
    if (rc != ERROR_SUCCESS)
        return false;
    // From the last index down, so that deleting keeps the lower ones valid.
    for (int index = key.SubkeyCount() - 1; index >= 0; --index) {
        STRING name = key.SubkeyName(index);
        if (!name.empty())
            DeleteKeyTree(root, (STRING(subkey) + "\\" + name).c_str());
    }
    key.Close();
    if (RegDeleteKeyA(root, subkey) == ERROR_SUCCESS)
        return true;
    REG_KEY check;
    return check.OpenExisting(root, subkey, KEY_QUERY_VALUE) == ERROR_FILE_NOT_FOUND;
}

namespace {

// Whether child's value valueName is non-empty text that matches pattern.
bool ChildValueMatches(const REG_KEY& parent, const STRING& child, const char* valueName,
                       const STRING& pattern, int mode, bool ignoreCase) {
    // An empty name would reopen the parent itself.
    REG_KEY key;
    if (child.empty() || !key.Open(parent.Handle(), child.c_str(), REG_MODE_READ))
        return false;
    DWORD type = 0;
    DWORD size = 0;
    if (!key.QueryValueInfo(valueName, type, size))
        return false;
    STRING text;
    if (type == REG_BINARY) {
        if (size == 0)
            return false;
        std::vector<char> data(size);
        int read = key.ReadBinary(valueName, data.data(), static_cast<int>(size));
        if (read <= 0)
            return false;
        text = TextUpToNul(data.data(), static_cast<size_t>(read));
    } else {
        text = key.ReadString(valueName);
    }
    return !text.empty() && text.Match(pattern, mode, ignoreCase);
}

} // namespace

STRING FindSubkeyByValue(HKEY root, const char* subkey, const char* valueName,
                         const STRING& pattern, int mode, bool ignoreCase) {
    REG_KEY parent;
    if (!parent.Open(root, subkey, REG_MODE_READ))
        return STRING();
    int count = parent.SubkeyCount();
    for (int index = 0; index < count; ++index) {
        STRING name = parent.SubkeyName(index);
        if (ChildValueMatches(parent, name, valueName, pattern, mode, ignoreCase))
            return name;
    }
    return STRING();
}

bool FindSubkeysByValue(STRING_VECTOR& out, HKEY root, const char* subkey, const char* valueName,
                        const STRING& pattern, int mode, bool ignoreCase, bool namesOnly) {
    REG_KEY parent;
    if (!parent.Open(root, subkey, REG_MODE_READ))
        return false;
    bool found = false;
    int count = parent.SubkeyCount();
    for (int index = 0; index < count; ++index) {
        STRING name = parent.SubkeyName(index);
        if (!ChildValueMatches(parent, name, valueName, pattern, mode, ignoreCase))
            continue;
        out.AddUnique(namesOnly ? name : ChildPath(subkey, name));
        found = true;
    }
    return found;
}
