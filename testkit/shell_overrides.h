// Temporary changes to the registry that make Wine behave as a test needs:
// which program opens web pages, and which Windows version a program is told.
// Each change is undone exactly when its object goes, even after a failed
// assertion.
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

// Makes program the handler of https: links for the object's lifetime, with
// the command line "<program>" "%1". The machine-wide class is changed: the
// shell of Wine 8 does not look at the user's own classes.
class HTTPS_HANDLER_OVERRIDE {
public:
    explicit HTTPS_HANDLER_OVERRIDE(const std::string& program);

    bool Applied() const { return override_.Applied(); }

private:
    REGISTRY_VALUE_OVERRIDE override_;
};

// Makes Wine tell the program with that file name (no folder) that it runs
// on the Windows version named as winecfg names it ("vista", "winxp",
// "win7"...), for programs started during the object's lifetime.
class WINE_VERSION_OVERRIDE {
public:
    WINE_VERSION_OVERRIDE(const std::string& exeName, const std::string& version);

    bool Applied() const { return override_.Applied(); }

private:
    REGISTRY_VALUE_OVERRIDE override_;
};
