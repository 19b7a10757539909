#include "foundation/owned_handle.h"

OWNED_HANDLE& OWNED_HANDLE::operator=(OWNED_HANDLE&& other) noexcept {
    if (this != &other)
        Reset(other.Release());
    return *this;
}

HANDLE OWNED_HANDLE::Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
}

void OWNED_HANDLE::Reset(HANDLE handle) {
    if (Valid())
        CloseHandle(handle_);
    handle_ = handle;
}
