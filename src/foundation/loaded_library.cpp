#include "foundation/loaded_library.h"

LOADED_LIBRARY::LOADED_LIBRARY(const char* name) : module_(LoadLibraryA(name)) {}

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
