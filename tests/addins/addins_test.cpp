#include <gtest/gtest.h>

#include <shlobj.h>
#include <tuple>

#include "addins/addin_uninstall.h"
#include "addins/clickonce_store.h"
#include "foundation/messages.h"
#include "system/launch.h"
#include "system/pause.h"
#include "testkit/addin_fixtures.h"
#include "testkit/scripted_presenter.h"
#include "testkit/shell_folders.h"
#include "testkit/version_guard.h"

namespace {

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
        EXPECT_EQ(presenter.Shown()[0].Icon(), static_cast<UINT>(MB_ICONEXCLAMATION));
    }
    // Above 32 the shell reports success: nothing is shown; nor is a failed
    // start without both names.
    SCRIPTED_PRESENTER presenter;
    FOREIGN_DIALOG_CLOSER closer;
    ShowLaunchError("Add-In", "C:\\Tools\\Remover.exe", "Uninstall", 33);
    ShowLaunchError("Add-In", "C:\\Tools\\Remover.exe", "Uninstall", ERROR_FILE_NOT_FOUND + 1000);
    DWORD exitCode = 7;
    EXPECT_FALSE(ShellExecuteAndWait(nullptr, "C:\\no\\Remover.exe", "", exitCode, "Add-In"));
    EXPECT_EQ(exitCode, 7u);
    EXPECT_TRUE(presenter.Shown().empty());
}

// The add-in's manifests, marked or listed as components under an identity
// that begins with its name in any case, leave the click-once store; nothing
// else does.
TEST(RemoveClickOnceManifests, DeletesTheAddInsManifestsOnlyAndOnlyInTheManifestsFolder) {
    CLICKONCE_STORE store;
    store.AddMark("orva..vsto_1", "Orvalith Outlook Add-In.vsto, Version=5");
    store.AddComponent("orva..dll_2", "orvalith outlook add-in.dll, Version=5");
    store.AddComponent("othe..dll_3", "Other Add-In, Orvalith Outlook Add-In.dll, Version=1");
    for (const char* name : {"orva..vsto_1", "orva..dll_2", "othe..dll_3"})
        store.AddManifest(name);
    // Files beside and above the manifests folder, named as a user-written key
    // could reach them: subkey names cannot hold a backslash, but "/" and "..".
    const std::string outside = store.ManifestsFolder() + "\\..\\victim.manifest";
    const std::string inner = store.ManifestsFolder() + "\\sub\\inner.manifest";
    ASSERT_TRUE(CreateDirectoryA((store.ManifestsFolder() + "\\sub").c_str(), nullptr));
    CreateTestFile(outside);
    CreateTestFile(inner);
    for (const char* name : {"..", "sub/inner", "../victim", "C:victim"})
        store.AddMark(name, "Orvalith Outlook Add-In.vsto");

    RemoveClickOnceManifests(ADDIN_NAME);

    EXPECT_FALSE(store.HasManifest("orva..vsto_1"));
    EXPECT_FALSE(store.HasManifest("orva..dll_2"));
    EXPECT_TRUE(store.HasManifest("othe..dll_3"));
    EXPECT_TRUE(FileExists(outside));
    EXPECT_TRUE(FileExists(inner));
    // The store's own description stays.
    EXPECT_TRUE(
        RegKeyPresent(HKEY_CURRENT_USER, std::string(CLICKONCE_MARKS_KEY) + "\\orva..vsto_1"));
}

TEST(ClickOnceManifestsFolder, CutsTheRandomStringIntoTwoShortFolderNames) {
    EXPECT_EQ(ClickOnceManifestsFolder("C:\\L", "ABCDEFGH1JKLMNOPQR2TUV"),
              "C:\\L\\Apps\\2.0\\ABCDEFGH.1JK\\LMNOPQR2.TUV\\manifests");
    EXPECT_EQ(ClickOnceManifestsFolder("C:\\L\\", "ABCDEFGH1JKLMNOPQR2T"),
              "C:\\L\\Apps\\2.0\\ABCDEFGH.1JK\\LMNOPQR2.T\\manifests");
    // Missing, too short or naming other folders, it names no folder at all.
    for (const char* randomString :
         {"", "ABCDEFGH1JKLMNOPQR", "..\\..\\..\\..\\..\\..\\..", "ABCDEFGH1JK\\..\\..\\NOPQR2TUV"})
        EXPECT_EQ(ClickOnceManifestsFolder("C:\\L", randomString), "") << randomString;
    // Nor does a base that is not an absolute path.
    for (const char* base : {"", "L", "\\L", "C:L"})
        EXPECT_EQ(ClickOnceManifestsFolder(base, "ABCDEFGH1JKLMNOPQR2TUV"), "") << base;
}

// Without LOCALAPPDATA (Windows XP) the store lies beside the shell's local
// application-data folder before Windows 6.0, and inside it from 6.0 on.
TEST(RemoveClickOnceManifests, WithoutLocalAppDataTheStoreIsFoundThroughTheShell) {
    for (DWORD major : {5u, 6u}) {
        CLICKONCE_STORE store;
        store.AddMark("orva..vsto_1", "Orvalith Outlook Add-In.vsto");
        TEMP_FOLDER profile;
        const std::string local = profile.File("Local Settings\\Application Data");
        const std::string manifests = (major < 6 ? profile.File("Local Settings") : local) +
                                      "\\Apps\\2.0\\ABCDEFGH.1JK\\LMNOPQR2.TUV\\manifests";
        ASSERT_EQ(SHCreateDirectoryExA(nullptr, manifests.c_str(), nullptr), ERROR_SUCCESS);
        CreateTestFile(manifests + "\\orva..vsto_1.manifest");
        SHELL_FOLDER_REDIRECT redirect(HKEY_CURRENT_USER, "Local AppData", local);
        ENVIRONMENT_OVERRIDE noLocalAppData("LOCALAPPDATA", nullptr);
        VERSION_GUARD version(major, 1);
        RemoveClickOnceManifests(ADDIN_NAME);
        EXPECT_FALSE(FileExists(manifests + "\\orva..vsto_1.manifest")) << major;
    }
}

const std::string FAILED = "Uninstall of Add-In \"Orvalith v5 Outlook Add-In\" failed.";

// Without an entry of its display name nothing runs and the store is
// cleaned; an entry named in any case is run and goes, and the store is left
// to it. (How a command is split: SplitUninstallCommand.)
TEST(AddInUninstall, AnEntryNamedInAnyCaseIsRunAndGoneWithoutOneTheStoreIsCleaned) {
    DEPLOYED_ADDIN addIn;
    UNINSTALL_ENTRY other("OrvalithTest.Other", "Orvalith v5 Outlook Add-In (old)");
    other.SetCommand(HKEY_CURRENT_USER, Command(other));
    EXPECT_TRUE(addIn.Uninstall());
    EXPECT_FALSE(addIn.store.HasManifest(ADDIN_MANIFEST));
    EXPECT_TRUE(addIn.journal.Starts().empty());

    addIn.store.AddManifest(ADDIN_MANIFEST);
    UNINSTALL_ENTRY entry("OrvalithTest.Case", "ORVALITH V5 outlook add-in");
    entry.SetCommand(HKEY_CURRENT_USER, Command(entry));
    EXPECT_TRUE(addIn.Uninstall());
    EXPECT_FALSE(entry.Present());
    EXPECT_TRUE(other.Present());
    EXPECT_TRUE(addIn.store.HasManifest(ADDIN_MANIFEST));
    EXPECT_EQ(addIn.journal.Starts().size(), 1u);
    EXPECT_TRUE(addIn.presenter.Shown().empty());
}

// A machine-wide entry of the same key name may be another product's.
TEST(AddInUninstall, TheMachineCommandIsUsedWhenTheUsersIsEmptyAndTheEntryIsTheAddIns) {
    for (const char* machineName : {"orvalith v5 OUTLOOK add-in", "Quillmate Add-In", ""}) {
        SCOPED_TRACE(machineName);
        const bool ours = machineName[0] == 'o';
        DEPLOYED_ADDIN addIn;
        UNINSTALL_ENTRY entry("OrvalithTest.Machine", ADDIN_DISPLAY_NAME);
        entry.SetCommand(HKEY_CURRENT_USER, "");
        entry.SetCommand(HKEY_LOCAL_MACHINE, Command(entry));
        if (machineName[0])
            SetRegString(HKEY_LOCAL_MACHINE, entry.Path(), "DisplayName", machineName);
        DWORD exitCode = 1;
        EXPECT_EQ(RunUninstallString(entry.Path(), nullptr, ADDIN_DISPLAY_NAME, UNINSTALL_TITLE,
                                     exitCode),
                  ours ? UNINSTALL_DONE_BY_MACHINE : UNINSTALL_NO_COMMAND);
        EXPECT_EQ(exitCode, ours ? 0u : 1u);
        EXPECT_EQ(entry.Present(), !ours);
        EXPECT_EQ(addIn.journal.Starts().size(), ours ? 1u : 0u);
    }
}

// A cancel leaves the store alone; a failure, or a command that cannot start
// or names no program (explained first), cleans the store before the
// failure is told.
TEST(AddInUninstall, ACancelOrAFailureIsTold) {
    FOREIGN_DIALOG_CLOSER closer;
    TEMP_FOLDER folder;
    const std::string missing = folder.File("Remover.exe");
    const std::string cancelled =
        "Uninstall of Add-In \"Orvalith v5 Outlook Add-In\" was cancelled by user.";
    // The command after the stand-in's path and entry, or a whole one; whether
    // the store is kept; the messages told, with their icons.
    const std::tuple<std::string, bool, std::vector<std::pair<std::string, UINT>>> cases[] = {
        {"/exit -500 /keep", true, {{cancelled, MB_ICONHAND}}},
        {"/exit 1603 /keep", false, {{FAILED, MB_ICONHAND}}},
        {missing + " /Uninstall x",
         false,
         {{"Orvalith Uninstall can't find " + missing + ".", MB_ICONEXCLAMATION},
          {FAILED, MB_ICONHAND}}},
        {"rundll32 remover.dll,Remove",
         false,
         {{"Orvalith Uninstall can't find rundll32 remover.dll,Remove.", MB_ICONEXCLAMATION},
          {FAILED, MB_ICONHAND}}},
    };
    for (const auto& [command, storeKept, told] : cases) {
        SCOPED_TRACE(command);
        DEPLOYED_ADDIN addIn;
        UNINSTALL_ENTRY entry("OrvalithTest.Fail", ADDIN_DISPLAY_NAME);
        entry.SetCommand(HKEY_CURRENT_USER, command[0] == '/' ? Command(entry, command) : command);
        EXPECT_FALSE(addIn.Uninstall());
        EXPECT_EQ(addIn.store.HasManifest(ADDIN_MANIFEST), storeKept);
        const std::vector<SHOWN_MESSAGE>& shown = addIn.presenter.Shown();
        ASSERT_EQ(shown.size(), told.size());
        for (size_t i = 0; i < shown.size(); ++i)
            EXPECT_EQ(std::make_pair(std::string(shown[i].text), shown[i].Icon()), told[i]);
        if (!storeKept) {
            EXPECT_EQ(shown.back().watchedFile, "") << "the manifest was there when it was told";
        }
    }
}

// Of two entries of one name the first runs; the second, its display name
// stored as bytes up to a zero byte, remains, and the removal fails untold,
// as it does when the entry has no command.
TEST(AddInUninstall, AnEntryThatRemainsFailsUntold) {
    DEPLOYED_ADDIN addIn;
    UNINSTALL_ENTRY first("OrvalithTest.A", ADDIN_DISPLAY_NAME);
    UNINSTALL_ENTRY second("OrvalithTest.B", ADDIN_DISPLAY_NAME);
    first.SetCommand(HKEY_CURRENT_USER, Command(first));
    second.SetCommand(HKEY_CURRENT_USER, Command(second));
    SetRegBinary(HKEY_CURRENT_USER, second.Path(), "DisplayName",
                 std::string("Orvalith v5 Outlook Add-In\0tail", 31));
    EXPECT_FALSE(addIn.Uninstall());
    EXPECT_FALSE(first.Present());
    EXPECT_TRUE(second.Present());
    std::vector<std::string> starts = addIn.journal.Starts();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_NE(starts[0].find("/entry OrvalithTest.A"), std::string::npos) << starts[0];

    second.SetCommand(HKEY_CURRENT_USER, "");
    EXPECT_FALSE(addIn.Uninstall());
    EXPECT_EQ(addIn.journal.Starts().size(), 1u);
    EXPECT_TRUE(addIn.presenter.Shown().empty());
    EXPECT_TRUE(addIn.store.HasManifest(ADDIN_MANIFEST));
}

// Unquoted, a command is read as Windows reads it: split at a space or a
// tab only, shortest first, where the text before ends in ".exe", in any
// case, and names an existing file; never inside a word ("a.exe" beside
// "a.exe.d"); a command that names no existing program is not started.
TEST(SplitUninstallCommand, TakesAQuotedFileWholeAndOthersUpToAnExeAsWindowsDoes) {
    TEMP_FOLDER temp;
    const std::string dotted = temp.File("a.exe.d"), spaced = temp.File("My Tools");
    ASSERT_TRUE(CreateDirectoryA(dotted.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(spaced.c_str(), nullptr));
    for (const std::string& file :
         {dotted + "\\u.exe", std::string(temp.File("a.exe")), spaced + "\\U.EXE"})
        CreateTestFile(file);
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"C:\\Tools\\Remover.exe /Uninstall x", "", ""},
        {"  \"C:\\My Tools\\a.exe.exe\"/q  ", "C:\\My Tools\\a.exe.exe", "/q"},
        {"\"C:\\My Tools\\Remover.exe", "C:\\My Tools\\Remover.exe", ""},
        {"C:\\My \"Tools\"\\Remover.exe /q", "", ""},
        {dotted + "\\u.exe /x", dotted + "\\u.exe", "/x"},
        {"\t" + spaced + "\\U.EXE\t/q ", spaced + "\\U.EXE", "/q"},
        {temp.File("a.exe") + " " + spaced + "\\U.EXE", temp.File("a.exe"), spaced + "\\U.EXE"},
        {"rundll32 remover.dll,Remove", "", ""},
        {"\"C:\\Tools\\remove.cmd\" /q", "", ""},
    };
    for (auto [command, file, parameters] : cases) {
        STRING splitFile = "old", splitParameters = "old";
        EXPECT_EQ(SplitUninstallCommand(command, splitFile, splitParameters), !file.empty());
        EXPECT_EQ(std::make_pair(splitFile, splitParameters),
                  std::make_pair(STRING(file), STRING(parameters)))
            << command;
    }
}

// A quiet run adds the runtime installer's "/Silent" (its name in any case),
// expands a REG_EXPAND_SZ command, and leaves a command that still runs at
// its limit alone: the add-in is not gone, nothing is said, the store stays.
// Commands that end have the shipped limit; the one that must outlast its
// limit is held by an event until the run has given up on it.
TEST(AddInUninstall, AQuietRunSilencesTheInstallerAndWaitsOnlySoLong) {
    TEMP_FOLDER tools;
    const std::string installer = tools.File("vstoinstaller.EXE");
    ASSERT_TRUE(CopyFileA(FakeUninstallerPath().c_str(), installer.c_str(), TRUE));
    ENVIRONMENT_OVERRIDE folder("ORVALITH_TEST_TOOLS", tools.Path());
    SetMessagesQuiet(true);
    OWNED_HANDLE hold(CreateEventA(nullptr, TRUE, FALSE, "OrvalithTestHoldQuiet"));
    const char* const mores[] = {"", "/SILENT", "/held"};
    for (int i = 0; i < 3; ++i) {
        const std::string more = mores[i], parameters = (i ? " " : "") + more;
        SCOPED_TRACE(more);
        ENVIRONMENT_OVERRIDE held("ORVALITH_FAKE_UNINSTALLER_HOLD",
                                  i == 2 ? "OrvalithTestHoldQuiet" : "");
        SetQuietWaitLimitForTesting(i == 2 ? 500 : 0);
        DEPLOYED_ADDIN addIn;
        UNINSTALL_ENTRY entry("OrvalithTest.Quiet" + std::to_string(i), ADDIN_DISPLAY_NAME);
        const std::string command =
            "%ORVALITH_TEST_TOOLS%\\vstoinstaller.EXE /entry " + entry.Name() + parameters;
        SetRegValue(HKEY_CURRENT_USER, entry.Path(), "UninstallString", REG_EXPAND_SZ,
                    command.c_str(), static_cast<DWORD>(command.size() + 1));
        EXPECT_EQ(addIn.Uninstall(true), i < 2);
        EXPECT_EQ(addIn.journal.Starts(),
                  std::vector<std::string>{installer + "\t/entry " + entry.Name() + parameters +
                                           (i == 1 ? "" : " /Silent")});
        EXPECT_EQ(entry.Present(), i == 2);
        EXPECT_TRUE(addIn.store.HasManifest(ADDIN_MANIFEST));
    }
    SetEvent(hold.Get());
    EXPECT_TRUE(PollUntil([&] { return DeleteFileA(installer.c_str()) != FALSE; }, 10000));
    SetQuietWaitLimitForTesting(0);
    SetMessagesQuiet(false);
}

} // namespace
