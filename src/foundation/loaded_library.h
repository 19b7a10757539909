// The one owner of libraries and functions looked up at run time: optional
// system functions that older Windows versions lack.
#pragma once

#include <windows.h>

class LOADED_LIBRARY {
public:
    // Loads the library by name; no library when it cannot be loaded.
    explicit LOADED_LIBRARY(const char* name);
    // Loads the library at the full path path, its own dependencies looked
    // for first in its folder (LOAD_WITH_ALTERED_SEARCH_PATH).
    static LOADED_LIBRARY FromPath(const char* path);
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

// Libraries loaded later by bare name, the system's own included, come from
// the system folder only: the program runs from a temporary folder where
// anyone may have put a library of a system name. Where the system lacks
// SetDefaultDllDirectories (Windows XP), the current folder at least leaves
// the search.
void LoadLibrariesFromSystemFolderOnly();
