// Scratch registry keys for tests. Set-up and clean-up talk to the registry
// directly, so that a fault in the code under test cannot hide itself.
#pragma once

#include <string>
#include <windows.h>

const HKEY HKCU = HKEY_CURRENT_USER;
const HKEY HKLM = HKEY_LOCAL_MACHINE;

// Whether handle is still an open key.
inline bool KeyHandleOpen(HKEY handle) {
    return RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Owns an open registry key. The testkit's own, independent of REG_KEY, so
// that set-up and clean-up do not rest on the code under test.
class RAW_KEY {
public:
    RAW_KEY() = default;
    ~RAW_KEY() {
        if (handle_)
            RegCloseKey(handle_);
    }
    RAW_KEY(const RAW_KEY&) = delete;
    RAW_KEY& operator=(const RAW_KEY&) = delete;

    // Each used once per object; a failed call leaves no handle behind.
    LONG Open(HKEY root, const std::string& subkey, REGSAM access);
    LONG Create(HKEY root, const std::string& subkey);
    HKEY Handle() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

// A unique key HKEY_CURRENT_USER\Software\OrvalithTests\<unique>, created by
// the constructor and deleted with everything below it by the destructor.
class SCRATCH_KEY {
public:
    SCRATCH_KEY();
    ~SCRATCH_KEY();
    SCRATCH_KEY(const SCRATCH_KEY&) = delete;
    SCRATCH_KEY& operator=(const SCRATCH_KEY&) = delete;

    HKEY Root() const { return HKEY_CURRENT_USER; }
    const std::string& Path() const { return path_; }
    // Path() + "\" + relative.
    std::string Sub(const std::string& relative) const { return path_ + "\\" + relative; }

private:
    std::string path_;
};

// A key that a test needs present (or, with present false, absent) for the
// object's lifetime. A key that exists already is reported to the running
// test and left alone; the object deletes only what it created.
class TEMPORARY_KEY {
public:
    TEMPORARY_KEY(HKEY root, const std::string& subkey, bool present = true);
    ~TEMPORARY_KEY();
    TEMPORARY_KEY(const TEMPORARY_KEY&) = delete;
    TEMPORARY_KEY& operator=(const TEMPORARY_KEY&) = delete;

private:
    HKEY root_;
    std::string subkey_; // empty when the key was there before
};

// Each creates the key (and missing parents) and reports a failure to the
// running test; true when the value was written.
bool SetRegValue(HKEY root, const std::string& subkey, const char* name, DWORD type,
                 const void* data, DWORD size);
// REG_SZ with its terminating NUL.
bool SetRegString(HKEY root, const std::string& subkey, const char* name, const std::string& text);
bool SetRegDword(HKEY root, const std::string& subkey, const char* name, DWORD value);
bool SetRegBinary(HKEY root, const std::string& subkey, const char* name, const std::string& bytes);
bool CreateRegKey(HKEY root, const std::string& subkey);

bool RegKeyPresent(HKEY root, const std::string& subkey);
bool RegValuePresent(HKEY root, const std::string& subkey, const char* name);
// Deletes subkey and everything below it; the empty subkey deletes nothing.
void DeleteRegTree(HKEY root, const std::string& subkey);
