// What the uninstall run's tests cannot reach through a run: a failed row
// marked done afterwards, and row operations once the dialog has ended. Its
// titles, rows and closing are checked along the uninstall run.
#include <gtest/gtest.h>

#include "app/progress_dialog.h"
#include "foundation/owned_handle.h"
#include "resources/resource_ids.h"
#include "testkit/ui_driver.h"

TEST(ProgressDialog, AFailedRowKeepsItsTextAndAnEndedDialogIgnoresRows) {
    OWNED_HANDLE event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    HANDLE handle = event.Get();
    ASSERT_TRUE(StartProgressDialogThread(&handle));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handle, 10000));
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
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(handle, 15000));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(nullptr, ProgressDialogWindow());
    StepStarted(IDC_LABEL_CALENDAR);
    StepFailed(IDC_RESULT_CALENDAR);
}
