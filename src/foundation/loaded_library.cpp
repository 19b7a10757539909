#include "foundation/loaded_library.h"

LOADED_LIBRARY::LOADED_LIBRARY(const char* name) : module_(LoadLibraryA(name)) {}

LOADED_LIBRARY LOADED_LIBRARY::FromPath(const char* path) {
    return LOADED_LIBRARY(LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

LOADED_LIBRARY LOADED_LIBRARY::IfLoaded(const char* name) {
    // A second reference of our own keeps the module while we use it.
    if (!GetModuleHandleA(name))
        return LOADED_LIBRARY(static_cast<HMODULE>(nullptr));
    return LOADED_LIBRARY(name);
}

LOADED_LIBRARY::~LOADED_LIBRARY() {
    if (module_)
        FreeLibrary(module_);
}

LOADED_LIBRARY::LOADED_LIBRARY(LOADED_LIBRARY&& other) noexcept : module_(other.module_) {
    other.module_ = nullptr;
}

FARPROC LOADED_LIBRARY::Find(const char* function) const {
    return module_ ? GetProcAddress(module_, function) : nullptr;
}

void LoadLibrariesFromSystemFolderOnly() {
    typedef BOOL(WINAPI * SET_DEFAULT_DLL_DIRECTORIES)(DWORD);
    typedef BOOL(WINAPI * SET_DLL_DIRECTORY_A)(const char*);
    LOADED_LIBRARY kernel32 = LOADED_LIBRARY::IfLoaded("kernel32.dll");
    auto setDefault = kernel32.Function<SET_DEFAULT_DLL_DIRECTORIES>("SetDefaultDllDirectories");
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    auto setDllDirectory = kernel32.Function<SET_DLL_DIRECTORY_A>("SetDllDirectoryA");
    if (setDllDirectory)
        setDllDirectory("");
}
