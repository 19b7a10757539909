// What the uninstall run's tests cannot reach through a run: a failed row
// marked done afterwards, row operations once the dialog has ended, and the
// dialog's last signal after the uninstall stopped waiting for it. Its titles,
// rows and closing are checked along the uninstall run.
#include <gtest/gtest.h>

#include "app/progress_dialog.h"
#include "foundation/owned_handle.h"
#include "resources/resource_ids.h"
#include "testkit/ui_driver.h"

TEST(ProgressDialog, AFailedRowKeepsItsTextAndAnEndedDialogIgnoresRows) {
    OWNED_HANDLE event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ASSERT_TRUE(StartProgressDialogThread(event.Get()));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event.Get(), 10000));
    HWND dialog = ProgressDialogWindow();
    ASSERT_TRUE(dialog);
    HWND result = GetDlgItem(dialog, IDC_RESULT_ADDIN);

    StepStarted(IDC_LABEL_ADDIN);
    EXPECT_FALSE(IsWindowVisible(result));
    StepFailed(IDC_RESULT_ADDIN);
    EXPECT_TRUE(IsWindowVisible(result));
    EXPECT_EQ("Failed!", WindowText(result));
    StepDone(IDC_RESULT_ADDIN);
    EXPECT_EQ("Failed!", WindowText(result));

    CloseProgressDialog();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event.Get(), 15000));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(nullptr, ProgressDialogWindow());
    StepStarted(IDC_LABEL_CALENDAR);
    StepFailed(IDC_RESULT_CALENDAR);
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
