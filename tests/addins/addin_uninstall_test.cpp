// The add-in's removal through its uninstall entry, with the stand-in
// uninstaller started through the real shell.
#include <algorithm>

#include <gtest/gtest.h>

#include "addins/addin_uninstall.h"
#include "foundation/log_file.h"
#include "testkit/scripted_presenter.h"
#include "testkit/version_guard.h"
#include "tests/addins/addin_test_support.h"

namespace {

const char* const MANIFEST = "orva..vsto_0005";

// An add-in deployed to the click-once store, with its uninstall entry.
class AddInUninstall : public ::testing::Test {
protected:
    AddInUninstall() {
        store_.AddMark(MANIFEST, "Orvalith Outlook Add-In.vsto, Version=5.0.0.0");
        store_.AddManifest(MANIFEST);
        presenter_.WatchFile(store_.ManifestPath(MANIFEST));
    }

    // The stand-in's command for entry, with further parameters.
    static std::string Command(const UNINSTALL_ENTRY& entry, const std::string& more = "") {
        return FakeUninstallerPath() + " /entry " + entry.Name() + (more.empty() ? "" : " " + more);
    }

    bool Uninstall() {
        return UninstallAddIn(nullptr, ADDIN_NAME, ADDIN_DISPLAY_NAME, UNINSTALL_TITLE);
    }

    VERSION_GUARD xp_{5, 1};
    SCRIPTED_PRESENTER presenter_;
    CLICKONCE_STORE store_;
    UNINSTALLER_JOURNAL journal_;
};

TEST_F(AddInUninstall, WithoutAnEntryNothingRunsAndTheStoreIsCleaned) {
    UNINSTALL_ENTRY other("OrvalithTest.Other", "Orvalith v5 Outlook Add-In (old)");
    other.SetCommand(HKEY_CURRENT_USER, Command(other));

    EXPECT_TRUE(Uninstall());
    EXPECT_FALSE(store_.HasManifest(MANIFEST));
    EXPECT_TRUE(journal_.Starts().empty());
    EXPECT_TRUE(other.Present());
    EXPECT_TRUE(presenter_.Shown().empty());
}

TEST_F(AddInUninstall, AnEntryNamedInAnyCaseIsRunAndGone) {
    TEMP_FOLDER logFolder;
    ASSERT_TRUE(Log.Open(logFolder.File("uninstall.log")));
    UNINSTALL_ENTRY entry("OrvalithTest.Case", "ORVALITH V5 outlook add-in");
    entry.SetCommand(HKEY_CURRENT_USER, Command(entry, " /exit 0  "));

    bool result = Uninstall();
    Log.Close();

    EXPECT_TRUE(result);
    EXPECT_FALSE(entry.Present());
    EXPECT_TRUE(store_.HasManifest(MANIFEST));
    EXPECT_TRUE(presenter_.Shown().empty());
    std::vector<std::string> starts = journal_.Starts();
    ASSERT_EQ(starts.size(), 1u);
    size_t tab = starts[0].find('\t');
    ASSERT_NE(tab, std::string::npos);
    EXPECT_EQ(lstrcmpiA(starts[0].substr(0, tab).c_str(), FakeUninstallerPath().c_str()), 0)
        << starts[0];
    // Only the spaces at the ends go.
    EXPECT_EQ(starts[0].substr(tab + 1), "/entry OrvalithTest.Case  /exit 0");

    std::vector<std::string> lines = SplitLines(ReadWholeFile(logFolder.File("uninstall.log")));
    // Each line follows a tick count.
    auto logged = [&](const std::string& text) {
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.size() > text.size() &&
                   line.compare(line.size() - text.size(), text.size(), text) == 0 &&
                   line[line.size() - text.size() - 1] == ' ';
        });
    };
    EXPECT_TRUE(logged("UninstallAddIn \"Orvalith Outlook Add-In\""));
    EXPECT_TRUE(logged("IninstallAddIn keyName \"OrvalithTest.Case\""));
}

TEST_F(AddInUninstall, TheMachineCommandIsUsedWhenTheUsersIsEmpty) {
    UNINSTALL_ENTRY entry("OrvalithTest.Machine", ADDIN_DISPLAY_NAME);
    entry.SetCommand(HKEY_CURRENT_USER, "");
    entry.SetCommand(HKEY_LOCAL_MACHINE, Command(entry));

    DWORD exitCode = 1;
    EXPECT_EQ(
        RunUninstallString(entry.Path(), nullptr, ADDIN_DISPLAY_NAME, UNINSTALL_TITLE, exitCode),
        UNINSTALL_DONE_BY_MACHINE);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(entry.Present());
    EXPECT_EQ(journal_.Starts().size(), 1u);
}

TEST_F(AddInUninstall, ACancelIsToldAndLeavesTheStoreAlone) {
    UNINSTALL_ENTRY entry("OrvalithTest.Cancel", ADDIN_DISPLAY_NAME);
    entry.SetCommand(HKEY_CURRENT_USER, Command(entry, "/exit -500 /keep"));

    EXPECT_FALSE(Uninstall());
    EXPECT_TRUE(store_.HasManifest(MANIFEST));
    ASSERT_EQ(presenter_.Shown().size(), 1u);
    EXPECT_EQ(presenter_.Shown()[0].text,
              "Uninstall of Add-In \"Orvalith v5 Outlook Add-In\" was cancelled by user.");
    EXPECT_EQ(presenter_.Shown()[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONHAND));
}

TEST_F(AddInUninstall, AFailedCommandCleansTheStoreThenTellsTheFailure) {
    UNINSTALL_ENTRY entry("OrvalithTest.Fail", ADDIN_DISPLAY_NAME);
    entry.SetCommand(HKEY_CURRENT_USER, Command(entry, "/exit 1603 /keep"));

    EXPECT_FALSE(Uninstall());
    EXPECT_FALSE(store_.HasManifest(MANIFEST));
    ASSERT_EQ(presenter_.Shown().size(), 1u);
    const SHOWN_MESSAGE& shown = presenter_.Shown()[0];
    EXPECT_EQ(shown.text, "Uninstall of Add-In \"Orvalith v5 Outlook Add-In\" failed.");
    EXPECT_EQ(shown.type & MB_ICONMASK, static_cast<UINT>(MB_ICONHAND));
    EXPECT_EQ(shown.watchedFile, "") << "the manifest was still there when the failure was told";
}

TEST_F(AddInUninstall, ACommandThatCannotStartIsExplainedThenTold) {
    FOREIGN_DIALOG_CLOSER closer;
    TEMP_FOLDER folder;
    UNINSTALL_ENTRY entry("OrvalithTest.Missing", ADDIN_DISPLAY_NAME);
    entry.SetCommand(HKEY_CURRENT_USER, folder.File("Remover.exe") + " /Uninstall x");

    EXPECT_FALSE(Uninstall());
    EXPECT_FALSE(store_.HasManifest(MANIFEST));
    ASSERT_EQ(presenter_.Shown().size(), 2u);
    EXPECT_EQ(presenter_.Shown()[0].text,
              "Orvalith Uninstall can't find " + folder.File("Remover.exe") + ".");
    EXPECT_EQ(presenter_.Shown()[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_EQ(presenter_.Shown()[1].text,
              "Uninstall of Add-In \"Orvalith v5 Outlook Add-In\" failed.");
}

TEST_F(AddInUninstall, AnEntryLeftBehindOrWithoutCommandIsNotGone) {
    UNINSTALL_ENTRY entry("OrvalithTest.Keep", ADDIN_DISPLAY_NAME);
    entry.SetCommand(HKEY_CURRENT_USER, Command(entry, "/keep"));
    EXPECT_FALSE(Uninstall());
    EXPECT_TRUE(entry.Present());
    EXPECT_EQ(journal_.Starts().size(), 1u);

    entry.SetCommand(HKEY_CURRENT_USER, "");
    EXPECT_FALSE(Uninstall());
    EXPECT_EQ(journal_.Starts().size(), 1u);

    EXPECT_TRUE(presenter_.Shown().empty());
    EXPECT_TRUE(store_.HasManifest(MANIFEST));
}

TEST_F(AddInUninstall, OfTwoEntriesOfOneNameTheFirstRunsAndTheSecondRemains) {
    UNINSTALL_ENTRY first("OrvalithTest.A", ADDIN_DISPLAY_NAME);
    UNINSTALL_ENTRY second("OrvalithTest.B", ADDIN_DISPLAY_NAME);
    first.SetCommand(HKEY_CURRENT_USER, Command(first));
    second.SetCommand(HKEY_CURRENT_USER, Command(second));
    // A display name stored as bytes counts up to its first zero byte.
    SetRegBinary(HKEY_CURRENT_USER, second.Path(), "DisplayName",
                 std::string("Orvalith v5 Outlook Add-In\0tail", 31));

    EXPECT_FALSE(Uninstall());
    EXPECT_FALSE(first.Present());
    EXPECT_TRUE(second.Present());
    std::vector<std::string> starts = journal_.Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_NE(starts[0].find("/entry OrvalithTest.A"), std::string::npos) << starts[0];
    EXPECT_TRUE(presenter_.Shown().empty());
}

TEST(SplitUninstallCommand, SplitsAfterTheFirstExeWithQuotesKept) {
    struct CASE {
        const char* command;
        const char* file;
        const char* parameters;
    } cases[] = {
        {"C:\\Tools\\Remover.exe /Uninstall x", "C:\\Tools\\Remover.exe", "/Uninstall x"},
        {"\"C:\\Tools\\Remover.exe\" /Uninstall x", "\"C:\\Tools\\Remover.exe", "\" /Uninstall x"},
        {"C:\\Tools\\Remover.exe", "C:\\Tools\\Remover.exe", ""},
        {"C:\\a.exe\\b.exe  -q  ", "C:\\a.exe", "\\b.exe  -q"},
        {"C:\\Tools\\Remover.EXE /q", ".exe", ""},
        {"rundll32 remover.dll,Remove", ".exe", ""},
    };
    for (const CASE& c : cases) {
        STRING file = "old";
        STRING parameters = "old";
        SplitUninstallCommand(c.command, file, parameters);
        EXPECT_EQ(file, c.file) << c.command;
        EXPECT_EQ(parameters, c.parameters) << c.command;
    }
}

} // namespace
