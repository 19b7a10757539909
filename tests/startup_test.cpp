#include <gtest/gtest.h>

#include <objbase.h>
#include <tuple>

#include "app/startup.h"
#include "foundation/log_file.h"
#include "system/pause.h"
#include "testkit/outlook_double/fake_outlook.h"
#include "testkit/product_layout.h"
#include "testkit/scripted_presenter.h"
#include "testkit/test_registry.h"
#include "testkit/ui_driver.h"
#include "testkit/version_guard.h"

TEST(CommandLine, PartialSwitchAndRemainingText) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"", false, ""},
        {"/PartialOK", true, ""},
        // Found in any letter case, removed only as spelled exactly.
        {"/partialok", true, "/partialok"},
        {"  C:\\Orvalith  /PartialOK", true, "C:\\Orvalith"},
        {"/PartialOK C:\\Orvalith /PartialOK", true, "C:\\Orvalith /PartialOK"},
        {"C:\\Orvalith/PartialOKx", true, "C:\\Orvalithx"},
        {"\tC:\\x\t", false, "\tC:\\x\t"},
    };
    for (auto [commandLine, partial, remaining] : cases) {
        COMMAND_LINE parsed = ParseCommandLine(commandLine);
        EXPECT_EQ(parsed.partial, partial) << commandLine;
        EXPECT_EQ(parsed.remaining, remaining) << commandLine;
    }
    // A very long command line is taken whole.
    STRING longLine(40000, 'a');
    EXPECT_EQ(ParseCommandLine(longLine + " /PartialOK").remaining, longLine);
}

namespace {

ADMIN_ANSWER adminAnswer = ADMIN_YES;
ADMIN_ANSWER ScriptedAdminAnswer() {
    return adminAnswer;
}

// Runs the program and answers the confirmation with No, so that no
// uninstall runs and no web page opens.
std::vector<SHOWN_MESSAGE> RunDeclining(const char* commandLine) {
    SCRIPTED_PRESENTER presenter;
    presenter.Answer(IDNO);
    EXPECT_EQ(RunProgram(GetModuleHandleA(nullptr), commandLine), 0);
    return presenter.Shown();
}

const char* CONFIRMATION =
    "Are you sure you want to completely remove Orvalith from your computer?";

} // namespace

TEST(Startup, AdministratorIsRequiredOnlyForAnAllUsersInstallByANonAdministrator) {
    // Wine runs every program as an administrator.
    EXPECT_EQ(QueryAdministrator(), ADMIN_YES);
    VERSION_GUARD version(6, 1);
    const std::tuple<bool, bool, ADMIN_ANSWER, bool> cases[] = {
        {true, false, ADMIN_NO, true},
        {true, false, ADMIN_YES, false},
        {true, false, ADMIN_UNDETERMINED, false},
        {true, true, ADMIN_NO, false},
        {false, true, ADMIN_NO, false},
        {false, false, ADMIN_NO, false},
    };
    struct RESTORE_QUERY {
        ~RESTORE_QUERY() { SetAdminQueryForTesting(nullptr); }
    } restore;
    SetAdminQueryForTesting(ScriptedAdminAnswer);
    for (auto [allUsers, currentUser, answer, refused] : cases) {
        SCOPED_TRACE(testing::Message() << allUsers << currentUser << answer);
        TEMPORARY_KEY allUsersInstall(HKEY_LOCAL_MACHINE, PRODUCT_UNINSTALL_KEY, allUsers);
        TEMPORARY_KEY userInstall(HKEY_CURRENT_USER, PRODUCT_UNINSTALL_KEY, currentUser);
        adminAnswer = answer;
        std::vector<SHOWN_MESSAGE> shown = RunDeclining("");
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text,
                  refused ? "Administrator access is required to uninstall Orvalith. Please run "
                            "Orvalith Uninstall again when you are logged on to Windows as an "
                            "Administrator."
                          : CONFIRMATION);
        EXPECT_EQ(shown[0].type,
                  refused ? UINT(MB_OK | MB_ICONHAND) : UINT(MB_YESNO | MB_ICONQUESTION));
    }
}

TEST(Startup, ConfirmationIsAskedOutsidePartialModeAsATaskDialogOnlyOn6_0) {
    VERSION_GUARD version(6, 1);
    // The log is written only where it is named, with the command line's
    // reading; nowhere else, not in the current folder. Partial mode asks
    // nothing: its run, against an Outlook without the product's data, shows
    // nothing either.
    TEMP_FOLDER folder;
    {
        CURRENT_FOLDER current(folder.Path());
        std::vector<SHOWN_MESSAGE> shown = RunDeclining("C:\\Orvalith");
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, CONFIRMATION);
        EXPECT_TRUE(FilesIn(folder.Path()).empty());
        ENVIRONMENT_OVERRIDE log("ORVALITH_UNINSTALL_LOG", folder.File("uninstall.log"));
        CoInitialize(nullptr);
        fake_outlook::Load("store|S|ST\nfolder|S/Tasks|tasks|T\n");
        fake_outlook::Register();
        SetPausesSkippedForTesting(true);
        EXPECT_TRUE(RunDeclining("C:\\Orvalith /PartialOK").empty());
        SetPausesSkippedForTesting(false);
        fake_outlook::Revoke();
        CoUninitialize();
        Log.Close();
    }
    EXPECT_NE(std::string::npos, ReadWholeFile(folder.File("uninstall.log"))
                                     .find("partial 1, root folder \"C:\\Orvalith\""));

    VERSION_GUARD vista(6, 0);
    std::vector<SHOWN_MESSAGE> shown = RunDeclining("");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].form, FORM_TASK_DIALOG);
    EXPECT_EQ(shown[0].content, CONFIRMATION);
    EXPECT_EQ(shown[0].title, "#14");
    EXPECT_TRUE(shown[0].questionIcon);
}

TEST(Startup, FailedCoInitializeIsReportedWithItsResultCode) {
    VERSION_GUARD version(6, 1);
    // A thread already in the multithreaded apartment cannot CoInitialize.
    std::vector<SHOWN_MESSAGE> shown;
    RunOnNewThread([&] {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        shown = RunDeclining("");
        CoUninitialize();
    });
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Unable to initialise OLE: CoInitialize failed (0x80010106). Your "
                             "computer may be incorrectly configured.");
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_OK | MB_ICONHAND));
}
