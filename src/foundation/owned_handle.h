// The owner of a kernel handle (events, threads, processes, files).
#pragma once

#include <windows.h>

// Owns one kernel handle; INVALID_HANDLE_VALUE and nullptr mean "none".
class OWNED_HANDLE {
public:
    OWNED_HANDLE() = default;
    explicit OWNED_HANDLE(HANDLE handle) : handle_(handle) {}
    ~OWNED_HANDLE() { Reset(); }
    OWNED_HANDLE(const OWNED_HANDLE&) = delete;
    OWNED_HANDLE& operator=(const OWNED_HANDLE&) = delete;
    OWNED_HANDLE(OWNED_HANDLE&& other) noexcept : handle_(other.Release()) {}
    OWNED_HANDLE& operator=(OWNED_HANDLE&& other) noexcept;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Release();
    void Reset(HANDLE handle = nullptr);

private:
    HANDLE handle_ = nullptr;
};
