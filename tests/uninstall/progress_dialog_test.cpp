#include <gtest/gtest.h>

#include "app/progress_dialog.h"
#include "foundation/owned_handle.h"
#include "resources/resource_ids.h"
#include "testkit/ui_driver.h"

namespace {

// The dialog on its own thread, as the uninstall starts it; ended with IDOK
// when the test has not ended it itself.
class SHOWN_PROGRESS {
public:
    explicit SHOWN_PROGRESS(bool partial) : event_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
        handle_ = event_.Get();
        SetProgressPartialFlag(partial);
        started_ = StartProgressDialogThread(&handle_) &&
                   WaitForSingleObject(handle_, 10000) == WAIT_OBJECT_0;
    }
    ~SHOWN_PROGRESS() {
        if (ProgressDialogWindow()) {
            CloseProgressDialog();
            WaitForSingleObject(handle_, 15000);
        }
        SetProgressPartialFlag(false);
    }

    bool Started() const { return started_ && ProgressDialogWindow() != nullptr; }
    // True when the dialog thread signalled that the dialog has ended.
    bool Ended(DWORD timeoutMs) { return WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0; }

    CONTROL_INFO Control(int id) const {
        for (const CONTROL_INFO& control : DialogControls(ProgressDialogWindow()))
            if (control.id == id)
                return control;
        return CONTROL_INFO{nullptr, id, "", "", false, false};
    }

private:
    OWNED_HANDLE event_;
    HANDLE handle_;
    bool started_ = false;
};

const int LABELS[] = {IDC_LABEL_ADDIN,    IDC_LABEL_CALENDAR,  IDC_LABEL_PROGRAM_FILES,
                      IDC_LABEL_REGISTRY, IDC_LABEL_SHORTCUTS, IDC_LABEL_SETTINGS};
const int RESULTS[] = {IDC_RESULT_RESTORE_POINT, IDC_RESULT_ADDIN,    IDC_RESULT_CALENDAR,
                       IDC_RESULT_PROGRAM_FILES, IDC_RESULT_REGISTRY, IDC_RESULT_SHORTCUTS,
                       IDC_RESULT_SETTINGS};

} // namespace

TEST(ProgressDialog, RowsTurnBlackAndShowTheirResultAsStepsRun) {
    SHOWN_PROGRESS progress(false);
    ASSERT_TRUE(progress.Started());
    EXPECT_EQ("Orvalith Uninstall Progress", WindowText(ProgressDialogWindow()));

    // At first: the restore-point row hidden, every other label grey, no
    // result shown.
    EXPECT_FALSE(progress.Control(IDC_LABEL_RESTORE_POINT).visible);
    for (int label : LABELS) {
        EXPECT_TRUE(progress.Control(label).visible) << label;
        EXPECT_FALSE(progress.Control(label).enabled) << label;
    }
    for (int result : RESULTS)
        EXPECT_FALSE(progress.Control(result).visible) << result;

    StepShown(IDC_LABEL_RESTORE_POINT);
    StepDone(IDC_RESULT_RESTORE_POINT);
    EXPECT_TRUE(progress.Control(IDC_LABEL_RESTORE_POINT).visible);
    EXPECT_EQ("Done", progress.Control(IDC_RESULT_RESTORE_POINT).text);
    EXPECT_TRUE(progress.Control(IDC_RESULT_RESTORE_POINT).visible);

    StepStarted(IDC_LABEL_ADDIN);
    EXPECT_TRUE(progress.Control(IDC_LABEL_ADDIN).enabled);
    EXPECT_FALSE(progress.Control(IDC_RESULT_ADDIN).visible);
    StepFailed(IDC_RESULT_ADDIN);
    EXPECT_TRUE(progress.Control(IDC_RESULT_ADDIN).visible);
    EXPECT_EQ("Failed!", progress.Control(IDC_RESULT_ADDIN).text);
    // A failed row keeps its text when it is marked done later.
    StepDone(IDC_RESULT_ADDIN);
    EXPECT_EQ("Failed!", progress.Control(IDC_RESULT_ADDIN).text);

    // Rows of steps that never ran stay grey and without a result.
    EXPECT_FALSE(progress.Control(IDC_LABEL_CALENDAR).enabled);
    EXPECT_FALSE(progress.Control(IDC_RESULT_CALENDAR).visible);

    CloseProgressDialog();
    EXPECT_TRUE(progress.Ended(15000));
    EXPECT_EQ(nullptr, ProgressDialogWindow());
    // Row operations on an ended dialog do nothing.
    StepStarted(IDC_LABEL_CALENDAR);
    StepFailed(IDC_RESULT_CALENDAR);
}

TEST(ProgressDialog, PartialModeTitleAndNoWayToCloseItButIdOk) {
    SHOWN_PROGRESS progress(true);
    ASSERT_TRUE(progress.Started());
    HWND dialog = ProgressDialogWindow();
    EXPECT_EQ("Undoing Orvalith Setup", WindowText(dialog));

    // Escape, as the keyboard sends it through the dialog's own loop, the
    // title bar's close button, and IDCANCEL itself.
    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(progress.Ended(1500));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(dialog, ProgressDialogWindow());

    CloseProgressDialog();
    EXPECT_TRUE(progress.Ended(15000));
    EXPECT_FALSE(IsWindow(dialog));
}
