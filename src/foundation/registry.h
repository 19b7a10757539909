// Registry access: an owning key object and one-call operations that open a
// key, do one thing and close it again. Every failure is reported through the
// result; nothing is thrown or shown.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

#include <string>

enum REG_OPEN_MODE {
    REG_MODE_READ,       // RegOpenKeyExA, KEY_READ
    REG_MODE_QUERY,      // RegOpenKeyExA, KEY_QUERY_VALUE
    REG_MODE_WRITE,      // RegCreateKeyExA, KEY_SET_VALUE
    REG_MODE_READ_WRITE, // RegCreateKeyExA, KEY_READ | KEY_WRITE
};

class REG_KEY {
public:
    REG_KEY() = default;
    ~REG_KEY() { Close(); }
    REG_KEY(const REG_KEY&) = delete;
    REG_KEY& operator=(const REG_KEY&) = delete;

    // Opens (or, in the write modes, creates) subkey under root. A key that
    // was already open is closed afterwards, whether or not this open worked.
    bool Open(HKEY root, const char* subkey, REG_OPEN_MODE mode);
    // Opens an existing key only, never creating one; the system's result
    // code (ERROR_FILE_NOT_FOUND for a missing key).
    LONG OpenExisting(HKEY root, const char* subkey, REGSAM access);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    HKEY Handle() const { return handle_; }

    // The value's bytes up to the first NUL, whatever its type; the default
    // when the value is missing or larger than the 10,000-byte buffer.
    STRING ReadString(const char* name, const STRING& defaultValue = STRING()) const;
    // The same in its wide form, for a name the ANSI code page cannot hold:
    // empty when the value is missing or larger than the buffer.
    std::wstring ReadWideString(const wchar_t* name) const;
    // The default when the query fails or when the value lies outside
    // [min, max] (unsigned; min 0 tests no lower bound; both 0 test nothing).
    DWORD ReadDword(const char* name, DWORD defaultValue, DWORD min = 0, DWORD max = 0) const;
    // Bytes read into buffer, or -1.
    int ReadBinary(const char* name, void* buffer, int size) const;
    bool QueryValueInfo(const char* name, DWORD& type, DWORD& size) const;
    bool WriteDword(const char* name, DWORD value);
    bool WriteString(const char* name, const STRING& value); // REG_SZ
    bool DeleteValue(const char* name);
    // Direct subkeys; -1 on failure.
    int SubkeyCount() const;
    // The empty text on failure (but for ERROR_MORE_DATA).
    STRING SubkeyName(int index) const;

private:
    HKEY handle_ = nullptr;
};

bool KeyExists(HKEY root, const char* subkey);
STRING ReadStringAt(HKEY root, const char* subkey, const char* name,
                    const STRING& defaultValue = STRING());
DWORD ReadDwordAt(HKEY root, const char* subkey, const char* name, DWORD defaultValue,
                  DWORD min = 0, DWORD max = 0);
bool WriteDwordAt(HKEY root, const char* subkey, const char* name, DWORD value);
bool WriteStringAt(HKEY root, const char* subkey, const char* name, const STRING& value);
bool DeleteValueAt(HKEY root, const char* subkey, const char* name);
// Deletes subkey and everything below it. True when the key is gone
// afterwards or never existed; false when it could not be opened or deleted.
bool DeleteKeyTree(HKEY root, const char* subkey);
// The first direct subkey of subkey whose value valueName matches pattern
// (see STRING::Match); the empty text when none does.
STRING FindSubkeyByValue(HKEY root, const char* subkey, const char* valueName,
                         const STRING& pattern, int mode, bool ignoreCase);
// Every matching subkey, added to out without duplicates: its bare name, or
// with namesOnly false its path (subkey with one trailing backslash, then the
// name). True when any matched.
bool FindSubkeysByValue(STRING_VECTOR& out, HKEY root, const char* subkey, const char* valueName,
                        const STRING& pattern, int mode, bool ignoreCase, bool namesOnly);
