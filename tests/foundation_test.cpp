#include <gtest/gtest.h>

#include <clocale>
#include <map>
#include <regex>
#include <tuple>
#include <vector>

#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "foundation/resource_strings.h"
#include "foundation/time_format.h"
#include "system/system_info.h"
#include "testkit/locale_override.h"
#include "testkit/scripted_presenter.h"
#include "testkit/temp_folder.h"
#include "testkit/test_window.h"
#include "testkit/ui_driver.h"
#include "testkit/version_guard.h"

namespace {

// The texts are checked where they show; here, that every one is in the
// string table the product and the test programs carry, and how they are found.
TEST(LoadStr, ReadsFromTheInstanceItWasGivenCutsLongTextsAndNamesAMissingId) {
    for (UINT id = 1; id <= 66; ++id)
        EXPECT_NE(LoadStr(id).find("LoadStringID"), 0u) << "string " << id;
    EXPECT_NE(LoadStr(23).find("folder \"<cal>\".~\nCheck that:"), STRING::npos);
    EXPECT_NE(LoadStr(16).find("\n\n"), STRING::npos);

    // String 900 of the test program holds 1,300 letters: what does not fit
    // the 1,200-byte buffer (with its NUL) is cut.
    EXPECT_EQ(LoadStr(900).size(), 1199u);

    HINSTANCE saved = GetResourceInstance();
    // kernel32 has no string 14 of ours.
    SetResourceInstance(GetModuleHandleA("kernel32.dll"));
    STRING text = LoadStr(14);
    SetResourceInstance(saved);
    EXPECT_EQ(text, "LoadStringID invalid RES_ID 14");
}

TEST(LogFile, OpensOnlyWhenNamedAndAppendsTickedLinesCutAtTheBuffer) {
    TEMP_FOLDER folder;
    STRING path = folder.File("uninstall.log");
    SCRIPTED_PRESENTER presenter;
    {
        LOG_FILE log;
        ENVIRONMENT_OVERRIDE unset("ORVALITH_UNINSTALL_LOG", nullptr);
        EXPECT_FALSE(log.OpenFromEnvironment());
        log.Printf("closed %d\r\n", 0); // goes nowhere, and quietly
        ENVIRONMENT_OVERRIDE set("ORVALITH_UNINSTALL_LOG", path);
        ASSERT_TRUE(log.OpenFromEnvironment());
        EXPECT_EQ(log.FileName(), path);
        log.Printf("first %d\r\n", 1);
        log.Line("second");
    }
    {
        LOG_FILE log;
        ASSERT_TRUE(log.Open(path));
        log.Line("third, after reopening");
        // An overlong line is cut at the formatting buffer.
        log.Printf("%s\r\n", std::string(LOG_FILE::FORMAT_BUFFER_SIZE + 5000, 'x').c_str());
    }
    EXPECT_TRUE(presenter.Shown().empty());
    // "%10d " : ten columns of tick count, right-aligned, then a space.
    const std::string tick = "[ 0-9-]{9}[0-9] ";
    const std::string cut(LOG_FILE::FORMAT_BUFFER_SIZE - 1, 'x');
    std::string text = ReadWholeFile(path);
    ASSERT_GT(text.size(), cut.size());
    EXPECT_TRUE(std::regex_match(text.substr(0, text.size() - cut.size()),
                                 std::regex(tick + "first 1\r\n" + tick + "second\r\n" + tick +
                                            "third, after reopening\r\n" + tick)))
        << text;
    EXPECT_EQ(text.substr(text.size() - cut.size()), cut);
}

TEST(LogFile, AFailingWriteIsReportedOnceWithoutLoggingAgain) {
    // A pipe whose reading end goes away makes every later write fail.
    const char* pipeName = "\\\\.\\pipe\\orvalith-log-test";
    OWNED_HANDLE server(
        CreateNamedPipeA(pipeName, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr));
    ASSERT_TRUE(server.Valid());
    LOG_FILE log;
    log.SetFailureReporter(ReportLogFailure);
    bool opened = log.Open(pipeName);
    server.Reset();
    ASSERT_TRUE(opened);

    SCRIPTED_PRESENTER presenter;
    log.Line("lost");
    log.Line("lost too");
    ASSERT_EQ(presenter.Shown().size(), 1u);
    EXPECT_EQ(presenter.Shown()[0].text, "Error writing to log file.");
    EXPECT_EQ(presenter.Shown()[0].type, static_cast<UINT>(MB_OK));
}

// Shows text on that Windows version and returns what the presenter was shown.
SHOWN_MESSAGE ShowOne(const STRING& text, UINT type, DWORD major, DWORD minor, int answer = IDOK,
                      bool failTaskDialogs = false) {
    VERSION_GUARD version(major, minor);
    SCRIPTED_PRESENTER presenter;
    presenter.Answer(answer);
    if (failTaskDialogs)
        presenter.FailTaskDialogs();
    EXPECT_EQ(ShowMessage(text, type), answer) << text;
    EXPECT_EQ(presenter.Shown().size(), 1u) << text;
    return presenter.Shown().empty() ? SHOWN_MESSAGE() : presenter.Shown()[0];
}

// Each text as the classic box joins it and as the task dialog splits it. The
// classic box shows outside version 6.0, and on it for button sets that no
// task dialog has or without comctl32 6.
TEST(Messages, ClassicBoxJoinsAndTaskDialogSplitsMainInstructionAndDetail) {
    // Text, joined text, icon, main instruction (null: none) and content.
    const std::tuple<const char*, const char*, UINT, const char*, const char*> cases[] = {
        {"# Main:~Detail", "Main. Detail", MB_ICONHAND, "Main", "Detail"},
        {"! Main:~\nDetail", "Main.\nDetail", MB_ICONEXCLAMATION, "Main", "Detail"},
        {"i Main~Detail", "Main Detail", MB_ICONASTERISK, "Main", "Detail"},
        {"! a.~b~c", "a. b~c", MB_ICONEXCLAMATION, "a.", "b~c"},
        // A lone ":" is kept.
        {"i :~x", ". x", MB_ICONASTERISK, ":", "x"},
        {"x Not an icon~", "x Not an icon ", 0, "x Not an icon", ""},
        {"No icon", "No icon", 0, nullptr, "No icon"},
        // An icon character without text proper shows an empty text.
        {"!", "", MB_ICONEXCLAMATION, nullptr, ""},
        // The character after the icon is taken as the separator, whatever it is.
        {"?x", "", MB_ICONQUESTION, nullptr, ""},
    };
    const std::tuple<DWORD, DWORD, UINT, bool> classicSituations[] = {
        {6, 1, MB_YESNO, false},
        {6, 0, MB_YESNO | MB_DEFBUTTON2, false},
        {6, 0, MB_ABORTRETRYIGNORE, false},
        {6, 0, MB_YESNO, true},
    };
    const std::map<UINT, PCWSTR> taskIcons = {{MB_ICONHAND, TD_ERROR_ICON},
                                              {MB_ICONEXCLAMATION, TD_WARNING_ICON},
                                              {MB_ICONASTERISK, TD_INFORMATION_ICON}};
    SetMessageTitleId(14);
    for (auto [text, joined, icon, main, content] : cases) {
        for (auto [major, minor, type, failTaskDialogs] : classicSituations) {
            SHOWN_MESSAGE shown = ShowOne(text, type, major, minor, IDNO, failTaskDialogs);
            EXPECT_EQ(std::make_tuple(shown.form, shown.text, shown.caption, shown.type),
                      std::make_tuple(FORM_CLASSIC, STRING(joined), STRING("Orvalith Uninstall"),
                                      type | icon))
                << text << " on " << major << "." << minor;
        }
        SHOWN_MESSAGE shown = ShowOne(text, MB_OK, 6, 0, IDCANCEL);
        // Icons as numbers: most are resource ids, not texts to print.
        auto taskIcon =
            reinterpret_cast<ULONG_PTR>(taskIcons.count(icon) ? taskIcons.at(icon) : nullptr);
        EXPECT_EQ(std::make_tuple(shown.form, reinterpret_cast<ULONG_PTR>(shown.mainIcon),
                                  shown.questionIcon, shown.hasMainInstruction,
                                  shown.mainInstruction, shown.content, shown.title),
                  std::make_tuple(FORM_TASK_DIALOG, taskIcon, icon == MB_ICONQUESTION,
                                  main != nullptr, STRING(main ? main : ""), STRING(content),
                                  STRING("#14")))
            << text;
    }
    // The icon bits of the type play no part in the buttons.
    const std::pair<UINT, int> buttons[] = {
        {MB_OK, TDCBF_OK_BUTTON},
        {MB_OKCANCEL | MB_ICONHAND, TDCBF_OK_BUTTON | TDCBF_CANCEL_BUTTON},
        {MB_YESNO, TDCBF_YES_BUTTON | TDCBF_NO_BUTTON},
        {MB_YESNOCANCEL, TDCBF_YES_BUTTON | TDCBF_NO_BUTTON | TDCBF_CANCEL_BUTTON},
        {MB_RETRYCANCEL, TDCBF_RETRY_BUTTON | TDCBF_CANCEL_BUTTON},
    };
    for (auto [type, expected] : buttons)
        EXPECT_EQ(ShowOne("i Buttons", type, 6, 0, IDCANCEL).buttons, expected) << type;
    SetMessageTitleId(-1);
    EXPECT_EQ(ShowOne("i Untitled", MB_OK, 6, 0).title, "");
    SetMessageTitleId(14);
}

// The other answers' log lines: the answer_no and quiet scenarios' logs.
TEST(Messages, OkMessagesAreLoggedBeforeShowingAndQuietOnesAreOnlyLoggedTakingYesOkOrCancel) {
    VERSION_GUARD version(6, 1);
    TEMP_FOLDER folder;
    const STRING path = folder.File("messages.log");
    ASSERT_TRUE(Log.Open(path));
    SCRIPTED_PRESENTER presenter;
    presenter.WatchFile(path);
    MsgBoxOK("! Careful:~Detail with 100% and %s");
    MessageOk("<x> and <x>", "<x>", "one");
    SetMessagesQuiet(true);
    const std::pair<UINT, int> quietAnswers[] = {
        {MB_YESNO, IDYES}, {MB_YESNOCANCEL, IDYES}, {MB_OK, IDOK}, {MB_RETRYCANCEL, IDCANCEL}};
    for (auto [type, answer] : quietAnswers)
        EXPECT_EQ(ShowMessage("# Quiet", type), answer) << type;
    SetMessagesQuiet(false);
    Log.Close();
    ASSERT_EQ(presenter.Shown().size(), 2u);
    const std::string& firstLog = presenter.Shown()[0].watchedFile;
    EXPECT_NE(firstLog.find("MsgBoxOK ! Careful:~Detail with 100% and %s\r\n"), std::string::npos)
        << firstLog;
    EXPECT_EQ(presenter.Shown()[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(presenter.Shown()[1].text, "one and <x>");
    EXPECT_NE(ReadWholeFile(path).find(" Message not shown (quiet run), taken as answered Cancel: "
                                       "# Quiet\r\n"),
              std::string::npos);
}

TEST(Messages, PumpPendingMessagesDispatchesTheWholeQueue) {
    TEST_WINDOW window("OrvalithPumpTest", "", HWND_MESSAGE);
    ASSERT_NE(window.Get(), nullptr);
    for (int i = 0; i < 5; ++i)
        PostMessageA(window.Get(), WM_NULL, 0, 0);
    // The default window procedure destroys the window on WM_CLOSE.
    PostMessageA(window.Get(), WM_CLOSE, 0, 0);
    PumpPendingMessages();
    EXPECT_FALSE(IsWindow(window.Get()));
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
}

// Ambiguous: a 12-hour format ("h") without its symbol ("t"), or with symbols
// that differ only in letter case. Quoted literal parts count too.
TEST(TimeFormat, LoadWarnsAboutAnAmbiguousUserFormatAndSetsTheRuntimeLocale) {
    VERSION_GUARD version(6, 1);
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {"h:mm:ss", "AM", "PM", true},    {"h:mm:ss tt", "AM", "PM", false},
        {"hh:mm tt", "AM", "am", true},   {"HH:mm:ss", "AM", "am", false},
        {"h:mm 'at'", "AM", "PM", false}, {"H:mm 'h'", "AM", "PM", true},
    };
    for (auto [format, morning, afternoon, warns] : cases) {
        USER_LOCALE_OVERRIDE userFormat(LOCALE_STIMEFORMAT, format);
        USER_LOCALE_OVERRIDE userMorning(LOCALE_S1159, morning);
        USER_LOCALE_OVERRIDE userAfternoon(LOCALE_S2359, afternoon);
        SCRIPTED_PRESENTER presenter;
        DATE_TIME_SETTINGS loaded;
        loaded.Load("i Ambiguous:~Detail");
        EXPECT_EQ(loaded.timeFormat, format);
        EXPECT_EQ(loaded.morningSymbol, STRING(morning).ToLower());
        EXPECT_EQ(loaded.afternoonSymbol, STRING(afternoon).ToLower());
        EXPECT_EQ(presenter.Shown().size(), warns ? 1u : 0u) << format;
        for (const SHOWN_MESSAGE& shown : presenter.Shown())
            EXPECT_EQ(shown.text, "Ambiguous. Detail");
        // No warning text, no warning.
        SCRIPTED_PRESENTER silent;
        loaded.Load("");
        EXPECT_TRUE(silent.Shown().empty());

        // The C runtime's locale: the user's language and country in English.
        char language[100] = "";
        char country[100] = "";
        ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, language, 100), 1);
        ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGCOUNTRY, country, 100), 1);
        EXPECT_EQ(loaded.localeName, STRING(language) + "_" + country);
        const char* current = setlocale(LC_ALL, nullptr);
        ASSERT_NE(current, nullptr);
        EXPECT_EQ(STRING(current).find(loaded.localeName), 0u) << current;
        setlocale(LC_ALL, "C");
    }
}

TEST(SystemInfo, FoldersAndErrorTexts) {
    ENVIRONMENT_OVERRIDE set("LOCALAPPDATA", "C:\\Users\\someone\\AppData\\Local");
    EXPECT_EQ(GetLocalAppDataFolder().path, "C:\\Users\\someone\\AppData\\Local");
    ENVIRONMENT_OVERRIDE unset("LOCALAPPDATA", nullptr);
    EXPECT_EQ(GetLocalAppDataFolder().path, "");
    EXPECT_FALSE(GetLocalAppDataFolder().Unreachable());
    // Too long for a path: there, but out of reach, never cut.
    ENVIRONMENT_OVERRIDE tooLong("LOCALAPPDATA", std::string(400, 'x'));
    EXPECT_TRUE(GetLocalAppDataFolder().Unreachable());
    // A folder that is found: the full_yes scenario's shortcuts go from it.
    EXPECT_TRUE(GetSpecialFolderPath(nullptr, 0x7F).wide.empty()); // no such folder id

    // An unknown code has no text; a known one without its closing line break
    // is the file_held_open scenario's message 35.
    EXPECT_EQ(GetSystemErrorText(0x2FFFFFFF), "");
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastErrorText(), GetSystemErrorText(ERROR_ACCESS_DENIED));
}

} // namespace
