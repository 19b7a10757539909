#include <gtest/gtest.h>

#include <objbase.h>
#include <tuple>

#include "app/startup.h"
#include "testkit/product_layout.h"
#include "testkit/scripted_presenter.h"
#include "testkit/test_registry.h"
#include "testkit/ui_driver.h"
#include "testkit/version_guard.h"

// Switches anywhere, in any letter case, taken out before the rest, trimmed,
// is the root folder.
TEST(CommandLine, SwitchesAreTakenOutBeforeTheRootFolder) {
    // Command line, quiet, log file, usage, partial, remaining text.
    const std::tuple<const char*, bool, const char*, bool, bool, const char*> cases[] = {
        // "/PartialOK" is found in any letter case, taken out only as spelled
        // here, and then only its first copy, wherever it stands.
        {"/partialok", false, "", false, true, "/partialok"},
        {"  C:\\Orvalith  /PartialOK", false, "", false, true, "C:\\Orvalith"},
        {"/PartialOK C:\\Orvalith /PartialOK", false, "", false, true, "C:\\Orvalith /PartialOK"},
        {"C:\\Orvalith/PartialOKx", false, "", false, true, "C:\\Orvalithx"},
        {"\tC:\\x\t", false, "", false, false, "\tC:\\x\t"},
        {"C:\\Orvalith /LOG=C:\\u.log /QUIET", true, "C:\\u.log", false, false, "C:\\Orvalith"},
        // A switch inside the quoted file name belongs to the name.
        {"/Log=\"C:\\x /Quiet\\u.log\" C:\\Orvalith", false, "C:\\x /Quiet\\u.log", false, false,
         "C:\\Orvalith"},
        // An unclosed quote would swallow the switches: the line cannot be read.
        {"/Log=\"C:\\logs\\u.log /Quiet", true, "", true, false, ""},
        {"/Log= C:\\Orvalith", false, "", false, false, "C:\\Orvalith"},
        {"/Quiet /?", true, "", true, false, "/?"},
    };
    // "/AllUsers" and "/User" are words of their own; a folder may hold the letters.
    const std::tuple<const char*, bool, bool, const char*> words[] = {
        {"/allusers C:\\Orvalith", true, false, "C:\\Orvalith"},
        {"C:/Users/pat /USER", false, true, "C:/Users/pat"},
        {"C:\\x/User", false, false, "C:\\x/User"},
        {"/Users /AllUsersX", false, false, "/Users /AllUsersX"},
    };
    for (auto [commandLine, allUsers, user, remaining] : words) {
        COMMAND_LINE parsed = ParseCommandLine(commandLine);
        EXPECT_EQ(std::make_tuple(parsed.allUsers, parsed.user, parsed.remaining),
                  std::make_tuple(allUsers, user, STRING(remaining)))
            << commandLine;
    }
    // The run's mode: LocalSystem always runs the computer's part, quietly.
    COMMAND_LINE plain = ParseCommandLine("");
    EXPECT_EQ(DecideRunMode(plain, ADMIN_LOCAL_SYSTEM).kind, RUN_MACHINE_PART);
    EXPECT_TRUE(DecideRunMode(plain, ADMIN_LOCAL_SYSTEM).Quiet());
    EXPECT_EQ(DecideRunMode(plain, ADMIN_YES).kind, RUN_PERSON);
    EXPECT_EQ(DecideRunMode(ParseCommandLine("/User /AllUsers"), ADMIN_NO).kind, RUN_MACHINE_PART);
    EXPECT_FALSE(DecideRunMode(ParseCommandLine("/User"), ADMIN_NO).administrator);
    for (auto [commandLine, quiet, logFile, usage, partial, remaining] : cases) {
        COMMAND_LINE parsed = ParseCommandLine(commandLine);
        EXPECT_EQ(std::make_tuple(parsed.quiet, parsed.logFile, parsed.usage, parsed.partial,
                                  parsed.remaining),
                  std::make_tuple(quiet, STRING(logFile), usage, partial, STRING(remaining)))
            << commandLine;
    }
    // A very long command line is taken whole.
    STRING longLine(40000, 'a');
    EXPECT_EQ(ParseCommandLine(longLine + " /PartialOK").remaining, longLine);
}

// The runs also show that the log goes only where the command line names it,
// with the command line's reading, and never to the current folder.
TEST(Startup, AdministratorIsRequiredOnlyForAnAllUsersInstallByANonAdministrator) {
    // Wine runs every program as an administrator.
    EXPECT_EQ(QueryAdministrator(), ADMIN_YES);
    VERSION_GUARD version(6, 1);
    TEMP_FOLDER folder;
    CURRENT_FOLDER current(folder.Path());
    ENVIRONMENT_OVERRIDE noLog("ORVALITH_UNINSTALL_LOG", nullptr);
    const STRING commandLine = "C:\\Orvalith /Log=\"" + folder.File("a log") + "\"";
    const std::tuple<bool, bool, ADMIN_ANSWER, bool> cases[] = {
        {true, false, ADMIN_NO, true},
        {true, false, ADMIN_YES, false},
        {true, false, ADMIN_UNDETERMINED, false},
        {true, true, ADMIN_NO, false},
        {false, false, ADMIN_NO, false},
    };
    ADMIN_GUARD admin(ADMIN_YES);
    for (auto [allUsers, currentUser, answer, refused] : cases) {
        SCOPED_TRACE(testing::Message() << allUsers << currentUser << answer);
        TEMPORARY_KEY allUsersInstall(HKEY_LOCAL_MACHINE, PRODUCT_UNINSTALL_KEY, allUsers);
        TEMPORARY_KEY userInstall(HKEY_CURRENT_USER, PRODUCT_UNINSTALL_KEY, currentUser);
        ADMIN_GUARD::Answer() = answer;
        // Declining the confirmation: no uninstall runs and no web page opens.
        SCRIPTED_PRESENTER presenter;
        presenter.Answer(IDNO);
        EXPECT_EQ(RunProgram(GetModuleHandleA(nullptr), commandLine.c_str()), 0);
        ASSERT_EQ(presenter.Shown().size(), 1u);
        EXPECT_EQ(presenter.Shown()[0].text,
                  refused ? "Administrator access is required to uninstall Orvalith. Please run "
                            "Orvalith Uninstall again when you are logged on to Windows as an "
                            "Administrator."
                          : "Are you sure you want to completely remove Orvalith from your "
                            "computer?");
        EXPECT_EQ(presenter.Shown()[0].type,
                  refused ? UINT(MB_OK | MB_ICONHAND) : UINT(MB_YESNO | MB_ICONQUESTION));
    }
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::string>{"a log"});
    EXPECT_NE(std::string::npos,
              ReadWholeFile(folder.File("a log")).find("partial 0, root folder \"C:\\Orvalith\""));
}

// A quiet run shows nothing, logs each message it would have shown and tells
// the outcome in its exit code (that of an uninstall run: the quiet scenarios).
TEST(Startup, QuietRunShowsNothingLogsEachMessageAndAnswersTheOutcome) {
    VERSION_GUARD version(6, 1);
    TEMP_FOLDER folder;
    ENVIRONMENT_OVERRIDE noLog("ORVALITH_UNINSTALL_LOG", nullptr);
    ENVIRONMENT_OVERRIDE tmp("TMP", folder.Path());
    ENVIRONMENT_OVERRIDE temp("TEMP", folder.Path());
    const STRING defaultLog = folder.File("Orvalith Uninstall.log");
    const STRING namedLog = folder.File("named log.txt");
    const STRING named = " /Log=\"" + namedLog + "\"";
    SCRIPTED_PRESENTER presenter;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    {
        TEMPORARY_KEY allUsersInstall(HKEY_LOCAL_MACHINE, PRODUCT_UNINSTALL_KEY, true);
        ADMIN_GUARD admin(ADMIN_NO);
        EXPECT_EQ(RunProgram(instance, "/QUIET"), EXIT_ADMIN_REQUIRED);
        // A log that cannot be opened does not stop the run.
        EXPECT_EQ(RunProgram(instance, "/Log=Z:\\no\\such\\folder.log /quiet"),
                  EXIT_ADMIN_REQUIRED);
    }
    {
        // A deployment tool's account is quiet without "/Quiet": nobody's
        // system boxes, the outcome in the exit code.
        ADMIN_GUARD admin(ADMIN_LOCAL_SYSTEM);
        SetErrorMode(0);
        EXPECT_EQ(RunProgram(instance, "/Log=\"C:\\u.log C:\\Orvalith"), EXIT_USAGE_ERROR);
        EXPECT_EQ(SetErrorMode(0),
                  UINT(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX));
    }
    {
        // A user's own part needs no administrator on an all-users install:
        // it goes on to COM (and fails there, on this thread, as below).
        TEMPORARY_KEY allUsersInstall(HKEY_LOCAL_MACHINE, PRODUCT_UNINSTALL_KEY, true);
        ADMIN_GUARD admin(ADMIN_NO);
        EXPECT_EQ(RunProgram(instance, "/AllUsers /Quiet"), EXIT_ADMIN_REQUIRED);
        RunOnNewThread([&] {
            ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
            EXPECT_EQ(RunProgram(instance, "/user"), EXIT_COM_FAILED);
            CoUninitialize();
        });
    }
    RunOnNewThread([&] {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        EXPECT_EQ(RunProgram(instance, ("/Quiet" + named).c_str()), EXIT_COM_FAILED);
        CoUninitialize();
    });

    const std::pair<const STRING&, const char*> logged[] = {
        {defaultLog, "command line \"/QUIET\", quiet"},
        {defaultLog, "taken as answered OK: # Administrator access is required"},
        // A thread already in the multithreaded apartment cannot CoInitialize.
        {namedLog, "taken as answered OK: # Unable to initialise OLE: CoInitialize failed "
                   "(0x80010106).~Your computer may be incorrectly configured."},
        {namedLog, "exit code 1603"},
        {defaultLog, "the run for all users needs an administrator"},
        {defaultLog, "command line \"/user\", quiet, this user's part"},
        {defaultLog, "opens a quote after /Log= that it never closes"},
    };
    for (auto [file, part] : logged)
        EXPECT_NE(ReadWholeFile(file).find(part), std::string::npos) << part;

    // "/?" shows how to start the program, even in a quiet run, and does nothing else;
    // so does an unclosed quote outside a quiet run.
    const STRING usageLog = folder.File("usage.log");
    EXPECT_EQ(RunProgram(instance, ("/Quiet /? /Log=" + usageLog).c_str()), 0);
    EXPECT_EQ(RunProgram(instance, ("/Log=\"" + usageLog).c_str()), 0);
    ASSERT_EQ(presenter.Shown().size(), 2u);
    for (const SHOWN_MESSAGE& usage : presenter.Shown()) {
        EXPECT_EQ(usage.text.find("Usage: \"Orvalith Uninstall.exe\" [/Quiet]"), 0u);
        EXPECT_NE(usage.text.find("1639 command line not readable."), std::string::npos);
        EXPECT_EQ(usage.type, static_cast<UINT>(MB_OK | MB_ICONASTERISK));
    }
    EXPECT_FALSE(FileExists(usageLog));
}
