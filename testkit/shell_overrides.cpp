#include "testkit/shell_overrides.h"

namespace {

// Owns an open registry key.
class KEY {
public:
    KEY() = default;
    ~KEY() {
        if (handle_)
            RegCloseKey(handle_);
    }
    KEY(const KEY&) = delete;
    KEY& operator=(const KEY&) = delete;

    bool Open(HKEY root, const std::string& subkey, REGSAM access) {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(root, subkey.c_str(), 0, access, &opened) != ERROR_SUCCESS)
            return false;
        handle_ = opened;
        return true;
    }
    bool Create(HKEY root, const std::string& subkey) {
        HKEY opened = nullptr;
        if (RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                            nullptr) != ERROR_SUCCESS)
            return false;
        handle_ = opened;
        return true;
    }
    HKEY Get() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

bool KeyPresent(HKEY root, const std::string& subkey) {
    KEY key;
    return key.Open(root, subkey, KEY_READ);
}

// The shortest leading part of subkey that does not exist yet; empty when
// the whole key exists.
std::string FirstMissingKey(HKEY root, const std::string& subkey) {
    size_t end = 0;
    for (;;) {
        end = subkey.find('\\', end + 1);
        std::string part = subkey.substr(0, end);
        if (!KeyPresent(root, part))
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

    KEY key;
    if (!key.Create(root, subkey))
        return;
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &previousType_, nullptr, &size) ==
        ERROR_SUCCESS) {
        previousData_.resize(size);
        hadValue_ = RegQueryValueExA(key.Get(), name.c_str(), nullptr, &previousType_,
                                     previousData_.data(), &size) == ERROR_SUCCESS;
        previousData_.resize(size);
    }
    applied_ = RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

REGISTRY_VALUE_OVERRIDE::~REGISTRY_VALUE_OVERRIDE() {
    if (!createdKey_.empty()) {
        RegDeleteTreeA(root_, createdKey_.c_str());
        return;
    }
    KEY key;
    if (!key.Open(root_, subkey_, KEY_SET_VALUE))
        return;
    if (hadValue_)
        RegSetValueExA(key.Get(), name_.c_str(), 0, previousType_, previousData_.data(),
                       static_cast<DWORD>(previousData_.size()));
    else
        RegDeleteValueA(key.Get(), name_.c_str());
}

HTTPS_HANDLER_OVERRIDE::HTTPS_HANDLER_OVERRIDE(const std::string& program)
    : override_(HKEY_LOCAL_MACHINE, "Software\\Classes\\https\\shell\\open\\command", "",
                "\"" + program + "\" \"%1\"") {}

WINE_VERSION_OVERRIDE::WINE_VERSION_OVERRIDE(const std::string& exeName, const std::string& version)
    : override_(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\" + exeName, "Version", version) {}
