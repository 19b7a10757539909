#include <gtest/gtest.h>

#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "system/system_info.h"
#include "testkit/scripted_presenter.h"
#include "testkit/temp_folder.h"
#include "testkit/ui_driver.h"

namespace {

// Pretends to run on the given Windows version for one test.
class VERSION_GUARD {
public:
    VERSION_GUARD(DWORD major, DWORD minor) { WindowsVersion.SetForTesting(major, minor); }
    ~VERSION_GUARD() { WindowsVersion.RestoreForTesting(); }
};

SHOWN_MESSAGE ShowOne(const STRING& text, UINT type, DWORD major, DWORD minor, int answer = IDOK,
                      int* result = nullptr) {
    VERSION_GUARD version(major, minor);
    SCRIPTED_PRESENTER presenter;
    presenter.Answer(answer);
    int pressed = ShowMessage(text, type);
    if (result)
        *result = pressed;
    EXPECT_EQ(presenter.Shown().size(), 1u);
    return presenter.Shown().empty() ? SHOWN_MESSAGE() : presenter.Shown()[0];
}

} // namespace

TEST(Messages, ClassicBoxOutsideVersion6_0) {
    for (auto version : {std::make_pair(5u, 1u), std::make_pair(6u, 1u), std::make_pair(10u, 0u)}) {
        int result = 0;
        SHOWN_MESSAGE shown =
            ShowOne("? Remove it?", MB_YESNO, version.first, version.second, IDNO, &result);
        EXPECT_EQ(shown.form, FORM_CLASSIC);
        EXPECT_EQ(shown.text, "Remove it?");
        EXPECT_EQ(shown.caption, "Orvalith Uninstall");
        EXPECT_EQ(shown.type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
        EXPECT_EQ(result, IDNO);
    }
}

TEST(Messages, ClassicBoxJoinsMainInstructionAndDetail) {
    struct CASE {
        const char* text;
        const char* shown;
        UINT icon;
    } cases[] = {
        {"# Main:~Detail", "Main. Detail", MB_ICONHAND},
        {"! Main:~\nDetail", "Main.\nDetail", MB_ICONEXCLAMATION},
        {"i Main~Detail", "Main Detail", MB_ICONASTERISK},
        {"! a~b~c", "a b~c", MB_ICONEXCLAMATION},
        {"Plain text, no icon", "Plain text, no icon", 0},
        {"x Not an icon~", "x Not an icon ", 0},
    };
    for (const CASE& c : cases) {
        SHOWN_MESSAGE shown = ShowOne(c.text, MB_OK, 6, 1);
        EXPECT_EQ(shown.text, c.shown) << c.text;
        EXPECT_EQ(shown.type, c.icon) << c.text;
    }
}

TEST(Messages, IconCharacterWithoutTextShowsAnEmptyText) {
    for (const char* text : {"!", "# ", "?x"}) {
        SHOWN_MESSAGE shown = ShowOne(text, MB_OK, 6, 1);
        EXPECT_EQ(shown.text, "") << text;
        EXPECT_NE(shown.type, 0u) << text;

        SHOWN_MESSAGE task = ShowOne(text, MB_OK, 6, 0);
        EXPECT_EQ(task.form, FORM_TASK_DIALOG) << text;
        EXPECT_EQ(task.content, "") << text;
    }
}

TEST(Messages, TaskDialogOnVersion6_0) {
    SetMessageTitleId(14);
    SHOWN_MESSAGE shown = ShowOne("# Main:~\nDetail", MB_OK, 6, 0);
    EXPECT_EQ(shown.form, FORM_TASK_DIALOG);
    EXPECT_TRUE(shown.hasMainInstruction);
    EXPECT_EQ(shown.mainInstruction, "Main");
    EXPECT_EQ(shown.content, "Detail");
    EXPECT_EQ(shown.mainIcon, TD_ERROR_ICON);
    EXPECT_EQ(shown.buttons, TDCBF_OK_BUTTON);
    EXPECT_EQ(shown.title, "#14");

    int result = 0;
    shown = ShowOne("? Sure?", MB_YESNO, 6, 0, IDYES, &result);
    EXPECT_EQ(result, IDYES);
    EXPECT_TRUE(shown.questionIcon);
    EXPECT_FALSE(shown.hasMainInstruction);
    EXPECT_EQ(shown.content, "Sure?");
    EXPECT_EQ(shown.buttons, TDCBF_YES_BUTTON | TDCBF_NO_BUTTON);

    shown = ShowOne("! Warn.~Only the first ~ divides", MB_YESNOCANCEL, 6, 0);
    EXPECT_EQ(shown.mainIcon, TD_WARNING_ICON);
    EXPECT_EQ(shown.mainInstruction, "Warn.");
    EXPECT_EQ(shown.content, "Only the first ~ divides");
    EXPECT_EQ(shown.buttons, TDCBF_YES_BUTTON | TDCBF_NO_BUTTON | TDCBF_CANCEL_BUTTON);

    // A lone ":" is kept; the icon bits of the type play no part.
    shown = ShowOne("i :~x", MB_RETRYCANCEL | MB_ICONHAND, 6, 0);
    EXPECT_EQ(shown.mainIcon, TD_INFORMATION_ICON);
    EXPECT_EQ(shown.mainInstruction, ":");
    EXPECT_EQ(shown.buttons, TDCBF_RETRY_BUTTON | TDCBF_CANCEL_BUTTON);

    shown = ShowOne("No icon", MB_OKCANCEL, 6, 0);
    EXPECT_EQ(shown.mainIcon, nullptr);
    EXPECT_FALSE(shown.questionIcon);
    EXPECT_EQ(shown.buttons, TDCBF_OK_BUTTON | TDCBF_CANCEL_BUTTON);

    SetMessageTitleId(-1);
    shown = ShowOne("i Untitled", MB_OK, 6, 0);
    EXPECT_EQ(shown.title, "");
    SetMessageTitleId(14);
}

TEST(Messages, TypesWithoutATaskDialogFormUseTheClassicBoxOn6_0) {
    for (UINT type : {UINT(MB_YESNO | MB_DEFBUTTON2), UINT(MB_ABORTRETRYIGNORE), UINT(6)}) {
        SHOWN_MESSAGE shown = ShowOne("# Main:~Detail", type, 6, 0);
        EXPECT_EQ(shown.form, FORM_CLASSIC) << type;
        EXPECT_EQ(shown.type, type | MB_ICONHAND) << type;
        EXPECT_EQ(shown.text, "Main. Detail");
    }
}

TEST(Messages, FailedTaskDialogFallsBackToTheClassicBox) {
    VERSION_GUARD version(6, 0);
    SCRIPTED_PRESENTER presenter;
    presenter.FailTaskDialogs();
    presenter.Answer(IDNO);
    EXPECT_EQ(ShowMessage("? Main:~Detail", MB_YESNO), IDNO);
    ASSERT_EQ(presenter.Shown().size(), 1u);
    EXPECT_EQ(presenter.Shown()[0].form, FORM_CLASSIC);
    EXPECT_EQ(presenter.Shown()[0].text, "Main. Detail");
}

TEST(Messages, ById_ReplacesTheFirstPlaceholderOnly) {
    VERSION_GUARD version(6, 1);
    SCRIPTED_PRESENTER presenter;
    MessageOkById(56, "<addInName>", "Orvalith Outlook Add-In");
    MessageOk("<x> and <x>", "<x>", "one");
    EXPECT_EQ(MessageById(9, MB_YESNO), IDOK);
    MessageOkById(43);
    ASSERT_EQ(presenter.Shown().size(), 4u);
    EXPECT_EQ(presenter.Shown()[0].text, "Uninstall of Add-In \"Orvalith Outlook Add-In\" failed.");
    EXPECT_EQ(presenter.Shown()[0].type, static_cast<UINT>(MB_OK | MB_ICONHAND));
    EXPECT_EQ(presenter.Shown()[1].text, "one and <x>");
    EXPECT_EQ(presenter.Shown()[2].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(presenter.Shown()[3].text,
              "Administrator access is required to uninstall Orvalith. Please run Orvalith "
              "Uninstall again when you are logged on to Windows as an Administrator.");
}

namespace {

// Reads the log file at the moment a message is shown.
class LOG_READING_PRESENTER : public SCRIPTED_PRESENTER {
public:
    explicit LOG_READING_PRESENTER(const STRING& logPath) : logPath_(logPath) {}
    int ShowMessageBox(const char* text, const char* caption, UINT type) override {
        logWhenShown = ReadWholeFile(logPath_);
        return SCRIPTED_PRESENTER::ShowMessageBox(text, caption, type);
    }
    std::string logWhenShown;

private:
    STRING logPath_;
};

} // namespace

TEST(Messages, MsgBoxOKLogsTheUnchangedTextBeforeShowingIt) {
    VERSION_GUARD version(6, 1);
    TEMP_FOLDER folder;
    STRING path = folder.Path() + "\\messages.log";
    ASSERT_TRUE(Log.Open(path));
    {
        LOG_READING_PRESENTER presenter(path);
        MsgBoxOK("! Careful:~Detail with 100% and %s");
        Log.Close();
        ASSERT_EQ(presenter.Shown().size(), 1u);
        EXPECT_NE(presenter.logWhenShown.find("MsgBoxOK ! Careful:~Detail with 100% and %s\r\n"),
                  std::string::npos)
            << presenter.logWhenShown;
    }
}

namespace {
int dispatched = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP)
        ++dispatched;
    return DefWindowProcA(window, message, wParam, lParam);
}
} // namespace

TEST(Messages, PumpPendingMessagesEmptiesTheQueue) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "OrvalithPumpTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("OrvalithPumpTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    dispatched = 0;
    for (int i = 0; i < 5; ++i)
        PostMessageA(window, WM_APP, 0, 0);
    PumpPendingMessages();
    EXPECT_EQ(dispatched, 5);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
    DestroyWindow(window);
}
