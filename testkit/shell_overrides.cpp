#include "testkit/shell_overrides.h"

#include "testkit/test_registry.h"

namespace {

// The shortest leading part of subkey that does not exist yet; empty when
// the whole key exists.
std::string FirstMissingKey(HKEY root, const std::string& subkey) {
    size_t end = 0;
    for (;;) {
        end = subkey.find('\\', end + 1);
        std::string part = subkey.substr(0, end);
        if (!RegKeyPresent(root, part))
            return part;
        if (end == std::string::npos)
            return std::string();
    }
}

} // namespace

REGISTRY_VALUE_OVERRIDE::REGISTRY_VALUE_OVERRIDE(HKEY root, const std::string& subkey,
                                                 const std::string& name, const std::string& value)
    : root_(root), subkey_(subkey), name_(name) {
    createdKey_ = FirstMissingKey(root, subkey);

    RAW_KEY key;
    if (key.Create(root, subkey) != ERROR_SUCCESS)
        return;
    DWORD size = 0;
    if (RegQueryValueExA(key.Handle(), name.c_str(), nullptr, &previousType_, nullptr, &size) ==
        ERROR_SUCCESS) {
        previousData_.resize(size);
        hadValue_ = RegQueryValueExA(key.Handle(), name.c_str(), nullptr, &previousType_,
                                     previousData_.data(), &size) == ERROR_SUCCESS;
        previousData_.resize(size);
    }
    applied_ = RegSetValueExA(key.Handle(), name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

REGISTRY_VALUE_OVERRIDE::~REGISTRY_VALUE_OVERRIDE() {
    if (!createdKey_.empty()) {
        RegDeleteTreeA(root_, createdKey_.c_str());
        return;
    }
    RAW_KEY key;
    if (key.Open(root_, subkey_, KEY_SET_VALUE) != ERROR_SUCCESS)
        return;
    if (hadValue_)
        RegSetValueExA(key.Handle(), name_.c_str(), 0, previousType_, previousData_.data(),
                       static_cast<DWORD>(previousData_.size()));
    else
        RegDeleteValueA(key.Handle(), name_.c_str());
}
