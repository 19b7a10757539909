// The dialog's own thread and its two signals; its titles, rows and closing
// are checked along the uninstall run.
#include <gtest/gtest.h>

#include "app/progress_dialog.h"
#include "foundation/owned_handle.h"

// The uninstall waits for the dialog to exist and, at its end, for it to be
// gone: the one event is signalled at each.
TEST(ProgressDialog, SignalsWhenShownAndAgainOnceEnded) {
    OWNED_HANDLE event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    HANDLE handle = event.Get();
    ASSERT_TRUE(StartProgressDialogThread(&handle));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handle, 10000));
    HWND dialog = ProgressDialogWindow();
    ASSERT_TRUE(IsWindow(dialog));

    CloseProgressDialog();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handle, 15000));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(nullptr, ProgressDialogWindow());
}
