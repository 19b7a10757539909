#include <gtest/gtest.h>

#include <objbase.h>
#include <thread>

#include "app/startup.h"
#include "system/system_info.h"
#include "testkit/scripted_presenter.h"
#include "testkit/test_registry.h"

TEST(CommandLine, PartialSwitchAndRemainingText) {
    struct CASE {
        const char* commandLine;
        bool partial;
        const char* remaining;
    } cases[] = {
        {"", false, ""},
        {"C:\\Program Files\\Orvalith", false, "C:\\Program Files\\Orvalith"},
        {"/PartialOK", true, ""},
        // Found in any letter case, removed only as spelled exactly.
        {"/partialok", true, "/partialok"},
        {"  C:\\Orvalith  /PartialOK", true, "C:\\Orvalith"},
        {"/PartialOK C:\\Orvalith /PartialOK", true, "C:\\Orvalith /PartialOK"},
        {"C:\\Orvalith/PartialOKx", true, "C:\\Orvalithx"},
        {"   ", false, ""},
        {"\tC:\\x\t", false, "\tC:\\x\t"},
    };
    for (const CASE& c : cases) {
        COMMAND_LINE parsed = ParseCommandLine(c.commandLine);
        EXPECT_EQ(parsed.partial, c.partial) << c.commandLine;
        EXPECT_EQ(parsed.remaining, c.remaining) << c.commandLine;
    }
    // A very long command line is taken whole.
    STRING longLine(40000, 'a');
    EXPECT_EQ(ParseCommandLine(longLine + " /PartialOK").remaining, longLine);
}

namespace {

ADMIN_ANSWER answerNo() {
    return ADMIN_NO;
}
ADMIN_ANSWER answerYes() {
    return ADMIN_YES;
}
ADMIN_ANSWER answerUndetermined() {
    return ADMIN_UNDETERMINED;
}

// The product's Uninstall key, present under the given hives for one test.
class INSTALLED_FOR {
public:
    INSTALLED_FOR(bool allUsers, bool currentUser) {
        EXPECT_FALSE(RegKeyPresent(HKEY_LOCAL_MACHINE, PRODUCT_UNINSTALL_KEY));
        EXPECT_FALSE(RegKeyPresent(HKEY_CURRENT_USER, PRODUCT_UNINSTALL_KEY));
        if (allUsers)
            CreateRegKey(HKEY_LOCAL_MACHINE, PRODUCT_UNINSTALL_KEY);
        if (currentUser)
            CreateRegKey(HKEY_CURRENT_USER, PRODUCT_UNINSTALL_KEY);
    }
    ~INSTALLED_FOR() {
        DeleteRegTree(HKEY_LOCAL_MACHINE, PRODUCT_UNINSTALL_KEY);
        DeleteRegTree(HKEY_CURRENT_USER, PRODUCT_UNINSTALL_KEY);
    }
};

class ADMIN_QUERY_GUARD {
public:
    explicit ADMIN_QUERY_GUARD(ADMIN_QUERY query) { SetAdminQueryForTesting(query); }
    ~ADMIN_QUERY_GUARD() { SetAdminQueryForTesting(nullptr); }
};

class Startup : public testing::Test {
protected:
    void SetUp() override { WindowsVersion.SetForTesting(6, 1); }
    void TearDown() override { WindowsVersion.RestoreForTesting(); }

    // Runs the program and answers the confirmation with No, so that no
    // uninstall runs and no web page opens.
    std::vector<SHOWN_MESSAGE> RunDeclining(const char* commandLine) {
        SCRIPTED_PRESENTER presenter;
        presenter.Answer(IDNO);
        EXPECT_EQ(RunProgram(GetModuleHandleA(nullptr), commandLine), 0);
        return presenter.Shown();
    }
};

const char* CONFIRMATION =
    "Are you sure you want to completely remove Orvalith from your computer?";

} // namespace

TEST_F(Startup, AdministratorIsRequiredOnlyForAnAllUsersInstallByANonAdministrator) {
    struct CASE {
        bool allUsers, currentUser;
        ADMIN_QUERY query;
        bool refused;
    } cases[] = {
        {true, false, answerNo, true},
        {true, false, answerYes, false},
        {true, false, answerUndetermined, false},
        {true, true, answerNo, false},
        {false, true, answerNo, false},
        {false, false, answerNo, false},
    };
    for (const CASE& c : cases) {
        INSTALLED_FOR installed(c.allUsers, c.currentUser);
        ADMIN_QUERY_GUARD admin(c.query);
        EXPECT_EQ(AdministratorRequired(), c.refused);

        std::vector<SHOWN_MESSAGE> shown = RunDeclining("");
        ASSERT_EQ(shown.size(), 1u);
        if (c.refused) {
            EXPECT_EQ(shown[0].text, "Administrator access is required to uninstall Orvalith. "
                                     "Please run Orvalith Uninstall again when you are logged on "
                                     "to Windows as an Administrator.");
            EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_OK | MB_ICONHAND));
        } else {
            EXPECT_EQ(shown[0].text, CONFIRMATION);
        }
    }
}

TEST_F(Startup, RealAdministratorQueryAnswers) {
    // Wine runs every program as an administrator.
    EXPECT_EQ(QueryAdministrator(), ADMIN_YES);
}

TEST_F(Startup, ConfirmationIsAskedOutsidePartialModeOnly) {
    std::vector<SHOWN_MESSAGE> shown = RunDeclining("C:\\Orvalith");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, CONFIRMATION);
    EXPECT_EQ(shown[0].caption, "Orvalith Uninstall");
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));

    // Partial mode asks nothing and, being partial, opens no page.
    EXPECT_TRUE(RunDeclining("/PartialOK").empty());
    EXPECT_TRUE(RunDeclining("C:\\Orvalith /partialok").empty());
}

TEST_F(Startup, ConfirmationIsATaskDialogOnVersion6_0) {
    WindowsVersion.SetForTesting(6, 0);
    std::vector<SHOWN_MESSAGE> shown = RunDeclining("");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].form, FORM_TASK_DIALOG);
    EXPECT_EQ(shown[0].content, CONFIRMATION);
    EXPECT_EQ(shown[0].title, "#14");
    EXPECT_TRUE(shown[0].questionIcon);
}

TEST_F(Startup, FailedCoInitializeIsReportedWithItsResultCode) {
    // A thread already in the multithreaded apartment cannot CoInitialize.
    std::vector<SHOWN_MESSAGE> shown;
    std::thread thread([&] {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        shown = RunDeclining("");
        CoUninitialize();
    });
    thread.join();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Unable to initialise OLE: CoInitialize failed (0x80010106). Your "
                             "computer may be incorrectly configured.");
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_OK | MB_ICONHAND));
}
