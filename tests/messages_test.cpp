#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "testkit/scripted_presenter.h"
#include "testkit/temp_folder.h"
#include "testkit/test_window.h"
#include "testkit/ui_driver.h"
#include "testkit/version_guard.h"

namespace {

// Shows text on that Windows version, checks that the presenter's answer
// comes back and returns what was shown.
SHOWN_MESSAGE ShowOne(const STRING& text, UINT type, DWORD major, DWORD minor, int answer = IDOK) {
    VERSION_GUARD version(major, minor);
    SCRIPTED_PRESENTER presenter;
    presenter.Answer(answer);
    EXPECT_EQ(ShowMessage(text, type), answer) << text;
    EXPECT_EQ(presenter.Shown().size(), 1u) << text;
    return presenter.Shown().empty() ? SHOWN_MESSAGE() : presenter.Shown()[0];
}

} // namespace

// Outside version 6.0, and on it for button sets that no task dialog has.
TEST(Messages, ClassicBoxJoinsMainInstructionAndDetail) {
    const std::tuple<const char*, const char*, UINT> cases[] = {
        {"? Remove it?", "Remove it?", MB_ICONQUESTION},
        {"# Main:~Detail", "Main. Detail", MB_ICONHAND},
        {"! Main:~\nDetail", "Main.\nDetail", MB_ICONEXCLAMATION},
        {"i Main~Detail", "Main Detail", MB_ICONASTERISK},
        {"! a~b~c", "a b~c", MB_ICONEXCLAMATION},
        {"x Not an icon~", "x Not an icon ", 0},
        // An icon character without text proper shows an empty text.
        {"!", "", MB_ICONEXCLAMATION},
        {"# ", "", MB_ICONHAND},
        {"?x", "", MB_ICONQUESTION},
    };
    const std::tuple<DWORD, DWORD, UINT> situations[] = {
        {5, 1, MB_YESNO},
        {6, 1, MB_YESNO},
        {10, 0, MB_YESNO},
        {6, 0, MB_YESNO | MB_DEFBUTTON2},
        {6, 0, MB_ABORTRETRYIGNORE},
        {6, 0, MB_CANCELTRYCONTINUE},
    };
    for (auto [major, minor, type] : situations) {
        for (auto [text, joined, icon] : cases) {
            SHOWN_MESSAGE shown = ShowOne(text, type, major, minor, IDNO);
            EXPECT_EQ(std::make_tuple(shown.form, shown.text, shown.caption, shown.type),
                      std::make_tuple(FORM_CLASSIC, STRING(joined), STRING("Orvalith Uninstall"),
                                      type | icon))
                << text << " on " << major << "." << minor;
        }
    }
}

TEST(Messages, TaskDialogOnVersion6_0UnlessItFails) {
    // A null main instruction: the text has none.
    const std::tuple<const char*, UINT, PCWSTR, const char*, const char*, int> cases[] = {
        {"# Main:~\nDetail", MB_OK, TD_ERROR_ICON, "Main", "Detail", TDCBF_OK_BUTTON},
        {"! Warn.~Only the first ~ divides", MB_YESNOCANCEL, TD_WARNING_ICON, "Warn.",
         "Only the first ~ divides", TDCBF_YES_BUTTON | TDCBF_NO_BUTTON | TDCBF_CANCEL_BUTTON},
        // A lone ":" is kept; the icon bits of the type play no part.
        {"i :~x", MB_RETRYCANCEL | MB_ICONHAND, TD_INFORMATION_ICON, ":", "x",
         TDCBF_RETRY_BUTTON | TDCBF_CANCEL_BUTTON},
        {"No icon", MB_OKCANCEL, nullptr, nullptr, "No icon",
         TDCBF_OK_BUTTON | TDCBF_CANCEL_BUTTON},
        {"!", MB_OK, TD_WARNING_ICON, nullptr, "", TDCBF_OK_BUTTON},
    };
    SetMessageTitleId(14);
    for (auto [text, type, icon, main, content, buttons] : cases) {
        SHOWN_MESSAGE shown = ShowOne(text, type, 6, 0, IDCANCEL);
        // Icons as numbers: most are resource ids, not texts to print.
        EXPECT_EQ(std::make_tuple(shown.form, reinterpret_cast<ULONG_PTR>(shown.mainIcon),
                                  shown.questionIcon, shown.hasMainInstruction,
                                  shown.mainInstruction, shown.content, shown.buttons, shown.title),
                  std::make_tuple(FORM_TASK_DIALOG, reinterpret_cast<ULONG_PTR>(icon), false,
                                  main != nullptr, STRING(main ? main : ""), STRING(content),
                                  buttons, STRING("#14")))
            << text;
    }
    SHOWN_MESSAGE shown = ShowOne("? Sure?", MB_YESNO, 6, 0, IDYES);
    EXPECT_EQ(std::make_tuple(shown.questionIcon, shown.content, shown.buttons),
              std::make_tuple(true, STRING("Sure?"), TDCBF_YES_BUTTON | TDCBF_NO_BUTTON));

    SetMessageTitleId(-1);
    EXPECT_EQ(ShowOne("i Untitled", MB_OK, 6, 0).title, "");
    SetMessageTitleId(14);

    // Without comctl32 6 the classic box shows instead.
    VERSION_GUARD version(6, 0);
    SCRIPTED_PRESENTER presenter;
    presenter.FailTaskDialogs();
    presenter.Answer(IDNO);
    EXPECT_EQ(ShowMessage("? Main:~Detail", MB_YESNO), IDNO);
    ASSERT_EQ(presenter.Shown().size(), 1u);
    EXPECT_EQ(std::make_pair(presenter.Shown()[0].form, presenter.Shown()[0].text),
              std::make_pair(FORM_CLASSIC, STRING("Main. Detail")));
}

namespace {

int dispatched = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP)
        ++dispatched;
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

TEST(Messages, OkMessagesAreLoggedBeforeShowingAndReplaceTheFirstPlaceholderOnly) {
    VERSION_GUARD version(6, 1);
    TEMP_FOLDER folder;
    const STRING path = folder.File("messages.log");
    ASSERT_TRUE(Log.Open(path));
    SCRIPTED_PRESENTER presenter;
    presenter.WatchFile(path);
    MsgBoxOK("! Careful:~Detail with 100% and %s");
    MessageOkById(56, "<addInName>", "Orvalith Outlook Add-In");
    MessageOk("<x> and <x>", "<x>", "one");
    Log.Close();
    ASSERT_EQ(presenter.Shown().size(), 3u);
    const std::string& firstLog = presenter.Shown()[0].watchedFile;
    EXPECT_NE(firstLog.find("MsgBoxOK ! Careful:~Detail with 100% and %s\r\n"), std::string::npos)
        << firstLog;
    EXPECT_EQ(presenter.Shown()[1].text, "Uninstall of Add-In \"Orvalith Outlook Add-In\" failed.");
    EXPECT_EQ(presenter.Shown()[1].type, static_cast<UINT>(MB_OK | MB_ICONHAND));
    EXPECT_EQ(presenter.Shown()[2].text, "one and <x>");
}

TEST(Messages, EachMessageIsLoggedWithItsAnswerAndQuietOnesAreOnlyLoggedTakingYesOrOk) {
    VERSION_GUARD version(6, 0);
    TEMP_FOLDER folder;
    const STRING path = folder.File("answers.log");
    ASSERT_TRUE(Log.Open(path));
    SCRIPTED_PRESENTER presenter;
    presenter.Answer(IDNO);
    ShowMessage("? Shown:~asked", MB_YESNO);
    SetMessagesQuiet(true);
    const std::pair<UINT, int> quietAnswers[] = {{MB_YESNO, IDYES},
                                                 {MB_YESNOCANCEL, IDYES},
                                                 {MB_OK, IDOK},
                                                 {MB_OKCANCEL, IDOK},
                                                 {MB_RETRYCANCEL, IDCANCEL}};
    for (auto [type, answer] : quietAnswers)
        EXPECT_EQ(ShowMessage("# Quiet:~\nwhole", type), answer) << type;
    MsgBoxOK("! Also quiet");
    SetMessagesQuiet(false);
    Log.Close();
    EXPECT_EQ(presenter.Shown().size(), 1u);
    std::string log = ReadWholeFile(path);
    for (const char* line :
         {" Message answered No: ? Shown:~asked\r\n",
          " Message not shown (quiet run), taken as answered Yes: # Quiet:~\nwhole\r\n",
          " Message not shown (quiet run), taken as answered Cancel: # Quiet:~\nwhole\r\n",
          " Message not shown (quiet run), taken as answered OK: ! Also quiet\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
}

TEST(Messages, PumpPendingMessagesEmptiesTheQueue) {
    TEST_WINDOW window("OrvalithPumpTest", "", HWND_MESSAGE, CountingProc);
    ASSERT_NE(window.Get(), nullptr);
    dispatched = 0;
    for (int i = 0; i < 5; ++i)
        PostMessageA(window.Get(), WM_APP, 0, 0);
    PumpPendingMessages();
    EXPECT_EQ(dispatched, 5);
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
}
