// Starting programs through the shell: exit codes come back, and a failed
// start is explained to the user in words chosen by the failure code.
#include <gtest/gtest.h>

#include "system/launch.h"
#include "testkit/scripted_presenter.h"
#include "testkit/version_guard.h"
#include "tests/addins/addin_test_support.h"

namespace {

const UINT ICON_MASK = MB_ICONMASK;

TEST(ShellExecuteAndWait, ReturnsTheExitCodeOfTheProgramItStarted) {
    SCRIPTED_PRESENTER presenter;
    DWORD exitCode = 7;
    EXPECT_TRUE(ShellExecuteAndWait(nullptr, FakeUninstallerPath(), "/exit 1603", exitCode,
                                    ADDIN_DISPLAY_NAME, UNINSTALL_TITLE));
    EXPECT_EQ(exitCode, 1603u);
    EXPECT_TRUE(presenter.Shown().empty());
}

TEST(ShellExecuteAndWait, AMissingProgramIsNamedInFullInTheWarning) {
    VERSION_GUARD xp(5, 1);
    SCRIPTED_PRESENTER presenter;
    FOREIGN_DIALOG_CLOSER closer;
    TEMP_FOLDER folder;
    STRING missing = folder.File("Remover.exe");

    DWORD exitCode = 7;
    EXPECT_FALSE(
        ShellExecuteAndWait(nullptr, missing, "/x", exitCode, ADDIN_DISPLAY_NAME, UNINSTALL_TITLE));
    EXPECT_EQ(exitCode, 7u);
    ASSERT_EQ(presenter.Shown().size(), 1u);
    EXPECT_EQ(presenter.Shown()[0].text, "Orvalith Uninstall can't find " + missing + ".");
    EXPECT_EQ(presenter.Shown()[0].type & ICON_MASK, static_cast<UINT>(MB_ICONEXCLAMATION));

    // Without both names the failure is only answered, never shown.
    EXPECT_FALSE(ShellExecuteAndWait(nullptr, missing, "", exitCode, ADDIN_DISPLAY_NAME, nullptr));
    EXPECT_FALSE(ShellExecuteAndWait(nullptr, missing, "", exitCode, nullptr, UNINSTALL_TITLE));
    EXPECT_EQ(presenter.Shown().size(), 1u);
    EXPECT_EQ(exitCode, 7u);
}

TEST(ShowLaunchError, EachFailureCodeHasItsWordsWithEveryPlaceholderFilled) {
    VERSION_GUARD xp(5, 1);
    const STRING app = "Add-In";
    const STRING file = "C:\\Tools\\Remover.exe";
    const STRING target = "Uninstall";
    struct CASE {
        DWORD code;
        const char* start;
    } cases[] = {
        {0, "Your computer doesn't have sufficient resources available for Add-In to proceed."},
        {SE_ERR_OOM, "Your computer doesn't have sufficient resources available for Add-In"},
        {SE_ERR_FNF, "Uninstall can't find C:\\Tools\\Remover.exe."},
        {SE_ERR_PNF, "Uninstall can't find C:\\Tools\\Remover.exe."},
        {SE_ERR_ACCESSDENIED,
         "The operating system denied access to either C:\\Tools\\Remover.exe"},
        {SE_ERR_SHARE, "Add-In cannot proceed because another user or another program is "
                       "accessing C:\\Tools\\Remover.exe."},
        {SE_ERR_ASSOCINCOMPLETE, "Add-In cannot proceed because Uninstall does not appear"},
        {SE_ERR_NOASSOC, "Add-In cannot proceed because Uninstall does not appear"},
        {1, "Add-In cannot proceed because an unexpected error occurred trying to start up "
            "Uninstall. You could try rebooting your computer. Failing that, you may need to "
            "reinstall Uninstall."},
        {32, "Add-In cannot proceed because an unexpected error occurred"},
        {static_cast<DWORD>(-5), "Add-In cannot proceed because an unexpected error occurred"},
    };
    for (const CASE& c : cases) {
        SCRIPTED_PRESENTER presenter;
        ShowLaunchError(app, file, target, c.code);
        ASSERT_EQ(presenter.Shown().size(), 1u) << c.code;
        const STRING& text = presenter.Shown()[0].text;
        EXPECT_EQ(text.find(c.start), 0u) << c.code << ": " << text;
        EXPECT_EQ(text.find('<'), STRING::npos) << c.code << ": " << text;
        EXPECT_EQ(presenter.Shown()[0].type & ICON_MASK, static_cast<UINT>(MB_ICONEXCLAMATION));
    }

    SCRIPTED_PRESENTER presenter;
    ShowLaunchError(app, file, target, 33);
    ShowLaunchError(app, file, target, ERROR_FILE_NOT_FOUND + 1000);
    EXPECT_TRUE(presenter.Shown().empty());
}

} // namespace
