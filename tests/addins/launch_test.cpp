// Starting programs through the shell: exit codes come back, and a failed
// start is explained to the user in words chosen by the failure code.
#include <gtest/gtest.h>

#include "system/launch.h"
#include "testkit/scripted_presenter.h"
#include "testkit/version_guard.h"
#include "testkit/addin_fixtures.h"

namespace {

UINT Icon(const SHOWN_MESSAGE& shown) {
    return shown.type & MB_ICONMASK;
}

TEST(ShellExecuteAndWait, ReturnsTheExitCodeAndShowsNothingWithoutBothNames) {
    VERSION_GUARD xp(5, 1);
    SCRIPTED_PRESENTER presenter;
    DWORD exitCode = 7;
    EXPECT_TRUE(ShellExecuteAndWait(nullptr, FakeUninstallerPath(), "/exit 1603", exitCode,
                                    ADDIN_DISPLAY_NAME, UNINSTALL_TITLE));
    EXPECT_EQ(exitCode, 1603u);
    EXPECT_TRUE(presenter.Shown().empty());

    // A missing program, named in full, is the add-in uninstall's test; without
    // both names the failure is only answered, never shown.
    FOREIGN_DIALOG_CLOSER closer;
    TEMP_FOLDER folder;
    STRING missing = folder.File("Remover.exe");
    exitCode = 7;
    EXPECT_FALSE(ShellExecuteAndWait(nullptr, missing, "", exitCode, ADDIN_DISPLAY_NAME, nullptr));
    EXPECT_FALSE(ShellExecuteAndWait(nullptr, missing, "", exitCode, nullptr, UNINSTALL_TITLE));
    EXPECT_TRUE(presenter.Shown().empty());
    EXPECT_EQ(exitCode, 7u);
}

TEST(ShowLaunchError, EachFailureCodeHasItsWordsWithEveryPlaceholderFilled) {
    VERSION_GUARD xp(5, 1);
    const char* const resources =
        "Your computer doesn't have sufficient resources available for Add-In";
    const char* const notFound = "Uninstall can't find C:\\Tools\\Remover.exe.";
    const char* const noAssociation = "Add-In cannot proceed because Uninstall does not appear";
    const char* const unexpected = "Add-In cannot proceed because an unexpected error occurred";
    const std::pair<DWORD, std::string> cases[] = {
        {0, std::string(resources) + " to proceed."},
        {SE_ERR_OOM, resources},
        {SE_ERR_FNF, notFound},
        {SE_ERR_PNF, notFound},
        {SE_ERR_ACCESSDENIED,
         "The operating system denied access to either C:\\Tools\\Remover.exe"},
        {SE_ERR_SHARE, "Add-In cannot proceed because another user or another program is "
                       "accessing C:\\Tools\\Remover.exe."},
        {SE_ERR_ASSOCINCOMPLETE, noAssociation},
        {SE_ERR_NOASSOC, noAssociation},
        {1, std::string(unexpected) + " trying to start up Uninstall. You could try rebooting "
                                      "your computer. Failing that, you may need to reinstall "
                                      "Uninstall."},
        {32, unexpected},
        {static_cast<DWORD>(-5), unexpected},
    };
    for (const auto& [code, start] : cases) {
        SCRIPTED_PRESENTER presenter;
        ShowLaunchError("Add-In", "C:\\Tools\\Remover.exe", "Uninstall", code);
        ASSERT_EQ(presenter.Shown().size(), 1u) << code;
        const STRING& text = presenter.Shown()[0].text;
        EXPECT_EQ(text.find(start), 0u) << code << ": " << text;
        EXPECT_EQ(text.find('<'), STRING::npos) << code << ": " << text;
        EXPECT_EQ(Icon(presenter.Shown()[0]), static_cast<UINT>(MB_ICONEXCLAMATION));
    }
    // Above 32 the shell reports success: nothing is shown.
    SCRIPTED_PRESENTER presenter;
    ShowLaunchError("Add-In", "C:\\Tools\\Remover.exe", "Uninstall", 33);
    ShowLaunchError("Add-In", "C:\\Tools\\Remover.exe", "Uninstall", ERROR_FILE_NOT_FOUND + 1000);
    EXPECT_TRUE(presenter.Shown().empty());
}

} // namespace
