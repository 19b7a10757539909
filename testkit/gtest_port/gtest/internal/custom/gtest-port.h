// GoogleTest's port customisation for the Win32-threads MinGW compiler, whose
// standard library has no std::mutex: the one class GoogleTest builds on it,
// Notification, is given here on a Win32 event instead. GoogleTest finds this
// header before its own empty one.
#pragma once

#include <windows.h>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

} // namespace internal
} // namespace testing

// GoogleTest copies every failure to OutputDebugStringA, which raises a
// structured exception that Wine running under qemu-i386 cannot unwind: the
// test program dies at its first failed assertion, losing the rest of its
// results and its clean-up. The failure is printed to stdout all the same, so
// GoogleTest's own sources are built without that copy.
#ifdef ORVALITH_GTEST_QUIET_DEBUG_STRING
inline void GoogleTestDebugStringDropped(const char*) {}
#define OutputDebugStringA(text) GoogleTestDebugStringDropped(text)
#endif
