// Temporary changes to the registry. Each change is undone exactly when its
// object goes, even after a failed assertion.
#pragma once

#include <string>
#include <vector>
#include <windows.h>

// Sets one string value (the empty name is the key's default value),
// creating missing keys. On destruction the previous value comes back with
// its type and bytes, or the value goes when there was none, and keys that
// were created go with everything below them.
class REGISTRY_VALUE_OVERRIDE {
public:
    REGISTRY_VALUE_OVERRIDE(HKEY root, const std::string& subkey, const std::string& name,
                            const std::string& value);
    ~REGISTRY_VALUE_OVERRIDE();
    REGISTRY_VALUE_OVERRIDE(const REGISTRY_VALUE_OVERRIDE&) = delete;
    REGISTRY_VALUE_OVERRIDE& operator=(const REGISTRY_VALUE_OVERRIDE&) = delete;

    // False when the value could not be written.
    bool Applied() const { return applied_; }

private:
    HKEY root_;
    std::string subkey_;
    std::string name_;
    std::string createdKey_; // the topmost key this object created; empty when none
    bool hadValue_ = false;
    DWORD previousType_ = REG_NONE;
    std::vector<BYTE> previousData_;
    bool applied_ = false;
};
