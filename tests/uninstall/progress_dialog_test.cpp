// The dialog's own thread and its signals; its titles, rows and closing are
// checked along the uninstall run.
#include <gtest/gtest.h>

#include "app/progress_dialog.h"
#include "foundation/owned_handle.h"
#include "testkit/ui_driver.h"

// The uninstall waits for the dialog to exist and, at its end, for it to be
// gone: the one event is signalled at each.
TEST(ProgressDialog, SignalsWhenShownAndAgainOnceEnded) {
    OWNED_HANDLE event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ASSERT_TRUE(StartProgressDialogThread(event.Get()));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event.Get(), 10000));
    HWND dialog = ProgressDialogWindow();
    ASSERT_TRUE(IsWindow(dialog));

    CloseProgressDialog();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event.Get(), 15000));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(nullptr, ProgressDialogWindow());
}

// An uninstall that gave up waiting closes its handle, and the system may
// hand the same value to a new object: the dialog's last signal must not
// reach that one.
TEST(ProgressDialog, ItsLastSignalNeverReachesAHandleTheUninstallClosed) {
    OWNED_HANDLE event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ASSERT_TRUE(StartProgressDialogThread(event.Get()));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event.Get(), 10000));
    const HANDLE closed = event.Get();
    event.Reset();
    OWNED_HANDLE newcomer(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    EXPECT_EQ(closed, newcomer.Get()) << "the system did not reuse the value";

    CloseProgressDialog();
    EXPECT_TRUE(PollUntil([] { return ProgressDialogWindow() == nullptr; }, 10000));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(newcomer.Get(), 1000));
}
