#include "testkit/test_registry.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

const char* const SCRATCH_PARENT = "Software\\OrvalithTests";

} // namespace

LONG RAW_KEY::Open(HKEY root, const std::string& subkey, REGSAM access) {
    HKEY opened = nullptr;
    LONG rc = RegOpenKeyExA(root, subkey.c_str(), 0, access, &opened);
    if (rc == ERROR_SUCCESS)
        handle_ = opened;
    return rc;
}

LONG RAW_KEY::Create(HKEY root, const std::string& subkey) {
    HKEY opened = nullptr;
    LONG rc = RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                              nullptr);
    if (rc == ERROR_SUCCESS)
        handle_ = opened;
    return rc;
}

SCRATCH_KEY::SCRATCH_KEY() {
    static unsigned serial = 0;
    path_ = std::string(SCRATCH_PARENT) + "\\" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount()) + "-" + std::to_string(++serial);
    CreateRegKey(Root(), path_);
}

SCRATCH_KEY::~SCRATCH_KEY() {
    DeleteRegTree(Root(), path_);
    // Fails, harmlessly, while other scratch keys remain.
    RegDeleteKeyA(Root(), SCRATCH_PARENT);
}

TEMPORARY_KEY::TEMPORARY_KEY(HKEY root, const std::string& subkey, bool present)
    : root_(root), subkey_(subkey) {
    if (RegKeyPresent(root, subkey)) {
        ADD_FAILURE() << subkey << " exists already";
        subkey_.clear();
    } else if (present) {
        CreateRegKey(root, subkey);
    }
}

TEMPORARY_KEY::~TEMPORARY_KEY() {
    DeleteRegTree(root_, subkey_);
}

bool SetRegValue(HKEY root, const std::string& subkey, const char* name, DWORD type,
                 const void* data, DWORD size) {
    RAW_KEY key;
    LONG rc = key.Create(root, subkey);
    if (rc == ERROR_SUCCESS)
        rc = RegSetValueExA(key.Handle(), name, 0, type, static_cast<const BYTE*>(data), size);
    if (rc != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot write " << subkey << "\\" << (name ? name : "") << ": " << rc;
    return rc == ERROR_SUCCESS;
}

bool SetRegString(HKEY root, const std::string& subkey, const char* name, const std::string& text) {
    return SetRegValue(root, subkey, name, REG_SZ, text.c_str(),
                       static_cast<DWORD>(text.size() + 1));
}

bool SetRegDword(HKEY root, const std::string& subkey, const char* name, DWORD value) {
    return SetRegValue(root, subkey, name, REG_DWORD, &value, sizeof(value));
}

bool SetRegBinary(HKEY root, const std::string& subkey, const char* name,
                  const std::string& bytes) {
    return SetRegValue(root, subkey, name, REG_BINARY, bytes.data(),
                       static_cast<DWORD>(bytes.size()));
}

bool CreateRegKey(HKEY root, const std::string& subkey) {
    RAW_KEY key;
    LONG rc = key.Create(root, subkey);
    if (rc != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot create " << subkey << ": " << rc;
    return rc == ERROR_SUCCESS;
}

bool RegKeyPresent(HKEY root, const std::string& subkey) {
    RAW_KEY key;
    return key.Open(root, subkey, KEY_QUERY_VALUE) == ERROR_SUCCESS;
}

bool RegValuePresent(HKEY root, const std::string& subkey, const char* name) {
    RAW_KEY key;
    return key.Open(root, subkey, KEY_QUERY_VALUE) == ERROR_SUCCESS &&
           RegQueryValueExA(key.Handle(), name, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
}

void DeleteRegTree(HKEY root, const std::string& subkey) {
    if (subkey.find_first_not_of('\\') == std::string::npos)
        return;
    std::vector<std::string> children;
    {
        RAW_KEY key;
        if (key.Open(root, subkey, KEY_READ) != ERROR_SUCCESS)
            return;
        char name[256];
        DWORD size = sizeof(name);
        for (DWORD index = 0; RegEnumKeyExA(key.Handle(), index, name, &size, nullptr, nullptr,
                                            nullptr, nullptr) == ERROR_SUCCESS;
             ++index, size = sizeof(name))
            children.emplace_back(name, size);
    }
    for (const std::string& child : children)
        DeleteRegTree(root, subkey + "\\" + child);
    RegDeleteKeyA(root, subkey.c_str());
}
