// The foundation: the string table, the log, messages, the time format
// check and system facts.
#include <gtest/gtest.h>

#include <clocale>
#include <regex>
#include <shlobj.h>
#include <tuple>
#include <vector>

#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "foundation/resource_strings.h"
#include "foundation/time_format.h"
#include "system/pause.h"
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
    EXPECT_EQ(LoadStr(35), "! The following files could not be deleted:~\n");
    for (UINT id = 1; id <= 66; ++id)
        EXPECT_NE(LoadStr(id).find("LoadStringID"), 0u) << "string " << id;
    EXPECT_EQ(LoadStr(67), "LoadStringID invalid RES_ID 67");
    EXPECT_NE(LoadStr(23).find("folder \"<cal>\".~\nCheck that:"), STRING::npos);
    EXPECT_NE(LoadStr(16).find("\n\n"), STRING::npos);
    EXPECT_EQ(LoadStr(0), "LoadStringID invalid RES_ID 0");

    // String 900 of the test program holds 1,300 letters a..z repeated: what
    // does not fit the 1,200-byte buffer (with its NUL) is cut.
    STRING expected;
    for (int i = 0; i < 1199; ++i)
        expected += static_cast<char>('a' + i % 26);
    EXPECT_EQ(LoadStr(900), expected);

    HINSTANCE saved = GetResourceInstance();
    // kernel32 has no string 14 of ours.
    SetResourceInstance(GetModuleHandleA("kernel32.dll"));
    STRING text = LoadStr(14);
    SetResourceInstance(saved);
    EXPECT_EQ(text, "LoadStringID invalid RES_ID 14");
    EXPECT_EQ(LoadStr(14), "Orvalith Uninstall");
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
        EXPECT_FALSE(FileExists(path));
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
    }
    EXPECT_TRUE(presenter.Shown().empty());
    // "%10d " : ten columns of tick count, right-aligned, then a space.
    const std::string tick = "[ 0-9-]{9}[0-9] ";
    std::string text = ReadWholeFile(path);
    EXPECT_TRUE(std::regex_match(text, std::regex(tick + "first 1\r\n" + tick + "second\r\n" +
                                                  tick + "third, after reopening\r\n")))
        << text;

    // An overlong line is cut at the formatting buffer.
    STRING longPath = folder.File("long.log");
    {
        LOG_FILE log;
        ASSERT_TRUE(log.Open(longPath));
        log.Printf("%s\r\n", std::string(LOG_FILE::FORMAT_BUFFER_SIZE + 5000, 'x').c_str());
    }
    text = ReadWholeFile(longPath);
    EXPECT_EQ(text.size(), 11u + LOG_FILE::FORMAT_BUFFER_SIZE - 1);
    EXPECT_EQ(text.find_first_not_of('x', 11), std::string::npos);
}

TEST(LogFile, AFailingWriteIsReportedOnceWithoutLoggingAgain) {
    // A pipe whose reading end goes away makes every later write fail.
    const char* pipeName = "\\\\.\\pipe\\orvalith-log-test";
    OWNED_HANDLE server(
        CreateNamedPipeA(pipeName, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr));
    ASSERT_TRUE(server.Valid());
    LOG_FILE log;
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

// Outside version 6.0 (which versions that is: SystemInfo.VersionTests), and on
// it for button sets that no task dialog has.
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
        // The character after the icon is taken as the separator, whatever it is.
        {"?x", "", MB_ICONQUESTION},
    };
    const std::tuple<DWORD, DWORD, UINT> situations[] = {
        {6, 1, MB_YESNO},
        {6, 0, MB_YESNO | MB_DEFBUTTON2},
        {6, 0, MB_ABORTRETRYIGNORE},
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

int dispatched = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP)
        ++dispatched;
    return DefWindowProcA(window, message, wParam, lParam);
}

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
    const std::pair<UINT, int> quietAnswers[] = {
        {MB_YESNO, IDYES}, {MB_YESNOCANCEL, IDYES}, {MB_OK, IDOK}, {MB_RETRYCANCEL, IDCANCEL}};
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

TEST(TimeFormat, AmbiguityOfFormatAndSymbols) {
    EXPECT_TRUE(IsTimeFormatAmbiguous("hh:mm tt", "AM", "am"));
    EXPECT_TRUE(IsTimeFormatAmbiguous("hh:mm tt", "", ""));
    EXPECT_FALSE(IsTimeFormatAmbiguous("HH:mm:ss", "", ""));
    // Quoted literal parts count too.
    EXPECT_FALSE(IsTimeFormatAmbiguous("h:mm 'at'", "", "pm"));
    EXPECT_TRUE(IsTimeFormatAmbiguous("H:mm 'h'", "", "pm"));
}

TEST(TimeFormat, LoadWarnsAboutAnAmbiguousUserFormatAndSetsTheRuntimeLocale) {
    VERSION_GUARD version(6, 1);
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {"h:mm:ss", "AM", "PM", true},
        {"h:mm:ss tt", "AM", "PM", false},
        {"hh:mm tt", "AM", "am", true},
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

        // The C runtime's locale is the user's language and country, in
        // English, joined by "_".
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

TEST(SystemInfo, VersionTests) {
    const std::tuple<DWORD, DWORD, bool, bool, bool> cases[] = {
        {5, 0, false, false, false},  {5, 1, false, true, true},  {5, 2, false, true, true},
        {6, 0, true, false, true},    {6, 1, false, false, true}, {10, 0, false, false, true},
        {4, 10, false, false, false},
    };
    for (auto [major, minor, vista, xp, xpOrLater] : cases) {
        VERSION_GUARD version(major, minor);
        EXPECT_EQ(std::make_tuple(IsVista(), IsXP(), IsXPOrLater()),
                  std::make_tuple(vista, xp, xpOrLater))
            << major << "." << minor;
    }
}

TEST(SystemInfo, FoldersAndErrorTexts) {
    ENVIRONMENT_OVERRIDE set("LOCALAPPDATA", "C:\\Users\\someone\\AppData\\Local");
    EXPECT_EQ(GetLocalAppDataFolder(), "C:\\Users\\someone\\AppData\\Local");
    ENVIRONMENT_OVERRIDE unset("LOCALAPPDATA", nullptr);
    EXPECT_EQ(GetLocalAppDataFolder(), "");
    ENVIRONMENT_OVERRIDE tooLong("LOCALAPPDATA", std::string(400, 'x'));
    EXPECT_EQ(GetLocalAppDataFolder(), "");
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof(windows));
    EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_WINDOWS).ToLower(), STRING(windows).ToLower());
    EXPECT_EQ(GetSpecialFolderPath(nullptr, 0x7F), ""); // no such folder id

    // The system's text without its one closing line break, nothing more cut.
    char raw[512] = "";
    DWORD rawLength = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, ERROR_FILE_NOT_FOUND, 0, raw, sizeof raw, nullptr);
    ASSERT_GT(rawLength, 2u);
    ASSERT_EQ(STRING(raw).substr(rawLength - 2), "\r\n");
    STRING notFound = GetSystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(notFound + "\r\n", STRING(raw, rawLength));
    EXPECT_EQ(notFound.find_first_of("\r\n"), STRING::npos) << notFound;
    EXPECT_EQ(GetSystemErrorText(0x2FFFFFFF), "");
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastErrorText(), GetSystemErrorText(ERROR_ACCESS_DENIED));
}

TEST(Pause, SkippedPausesAreCountedNotSlept) {
    SetPausesSkippedForTesting(true);
    DWORD start = GetTickCount();
    Pause(10000);
    Pause(300);
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(PausedMilliseconds(), 10300u);
    SetPausesSkippedForTesting(false);
    EXPECT_EQ(PausedMilliseconds(), 0u);
}

} // namespace
