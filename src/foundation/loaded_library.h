// The one owner of libraries and functions looked up at run time: optional
// system functions that older Windows versions lack.
#pragma once

#include <windows.h>

class LOADED_LIBRARY {
public:
    // Loads the library by name; no library when it cannot be loaded.
    explicit LOADED_LIBRARY(const char* name);
    // The library only when the process has loaded it already (the
    // version that is loaded is the one wanted); it is held until
    // destruction either way.
    static LOADED_LIBRARY IfLoaded(const char* name);
    ~LOADED_LIBRARY();
    LOADED_LIBRARY(LOADED_LIBRARY&& other) noexcept;
    LOADED_LIBRARY& operator=(LOADED_LIBRARY&&) = delete;
    LOADED_LIBRARY(const LOADED_LIBRARY&) = delete;
    LOADED_LIBRARY& operator=(const LOADED_LIBRARY&) = delete;

    bool IsLoaded() const { return module_ != nullptr; }
    // The function's address, or null when the library or the function is
    // missing.
    FARPROC Find(const char* function) const;
    template <typename FUNCTION> FUNCTION Function(const char* function) const {
        return reinterpret_cast<FUNCTION>(reinterpret_cast<void*>(Find(function)));
    }

private:
    explicit LOADED_LIBRARY(HMODULE module) : module_(module) {}
    HMODULE module_;
};
