#include <gtest/gtest.h>

#include <string>
#include <windows.h>
#include <winioctl.h>

#include "app/product_files.h"
#include "app/registry_entries.h"
#include "app/shortcuts.h"
#include "app/startup.h"
#include "system/files_left.h"
#include "system/system_info.h"
#include "testkit/product_layout.h"
#include "testkit/shell_folders.h"
#include "testkit/string_printing.h"
#include "testkit/test_registry.h"

namespace {

using STRINGS = std::vector<std::string>;

// A second run, or one after a run cut short: what is already gone counts
// as removed, whether some files went before or the whole program folder,
// however written.
TEST(ProductFiles, WhatIsAlreadyGoneCountsAsRemoved) {
    INSTALLED install("Program");
    for (const char* file : {"\\Orvalith.chm", "\\Orvalith Add-In\\Setup.exe"})
        ASSERT_TRUE(DeleteFileA((install.program + file).c_str()));
    for (const std::string& program : {install.program, install.program, install.program + "\\"}) {
        EXPECT_TRUE(RemoveProductFiles(program, program));
        EXPECT_EQ(FailedFileList(), "");
        EXPECT_EQ(LastDeleteError(), "");
    }
    EXPECT_FALSE(Exists(install.program));
}

// A program file held open without sharing deletion and a current add-in
// file that is read-only are listed (the program file's error explains);
// alone, the add-in file's error explains. An older generation's file that
// stays is never listed. Everything else goes.
TEST(ProductFiles, UndeletableFilesAreListedAndEverythingElseGoes) {
    const std::string locked = "Orvalith.exe";
    const std::string readOnly = "Orvalith Add-In\\Application Files\\Orvalith Outlook "
                                 "Add-In_5_0_72_0\\Resources\\pin.gif.deploy";
    const std::string olderReadOnly =
        "Add-In 2007\\Application Files\\Orvalith AddIn 2007_4_0_0_0\\Orvalith AddIn 2007.vsto";
    for (bool holdProgramFile : {true, false}) {
        INSTALLED install("Program");
        OWNED_HANDLE held(holdProgramFile
                              ? CreateFileA((install.program + "\\" + locked).c_str(), GENERIC_READ,
                                            FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
                              : nullptr);
        ASSERT_EQ(holdProgramFile, held.Valid());
        for (const std::string& file : {readOnly, holdProgramFile ? readOnly : olderReadOnly})
            SetFileAttributesA((install.program + "\\" + file).c_str(), FILE_ATTRIBUTE_READONLY);

        EXPECT_FALSE(RemoveProductFiles(install.program, install.program));
        const STRINGS listed = holdProgramFile ? STRINGS{locked, readOnly} : STRINGS{readOnly};
        EXPECT_EQ(FailedFileList(), Listed(install.program, listed));
        EXPECT_EQ(LastDeleteError(), GetSystemErrorText(holdProgramFile ? ERROR_SHARING_VIOLATION
                                                                        : ERROR_ACCESS_DENIED));
        EXPECT_EQ(install.Left(), (holdProgramFile ? listed : STRINGS{readOnly, olderReadOnly}));
        EXPECT_TRUE(Exists(install.program + "\\Orvalith Add-In\\Application Files"));
        EXPECT_FALSE(Exists(install.program + "\\Add-In 2010"));
        EXPECT_EQ(holdProgramFile, !Exists(install.program + "\\Add-In 2007"));
    }
}

const char* const SESSION_MANAGER = "System\\CurrentControlSet\\Control\\Session Manager";

// The system's list of deletions waiting for the next restart, raw.
std::string PendingDeletions() {
    RAW_KEY key;
    std::string raw(65536, '\0');
    DWORD size = static_cast<DWORD>(raw.size()), type = 0;
    if (key.Open(HKLM, SESSION_MANAGER, KEY_QUERY_VALUE) != ERROR_SUCCESS ||
        RegQueryValueExA(key.Handle(), "PendingFileRenameOperations", nullptr, &type,
                         reinterpret_cast<BYTE*>(&raw[0]), &size) != ERROR_SUCCESS)
        return std::string();
    raw.resize(size);
    return raw;
}

// Files held open are queued for the restart, then their folders innermost
// first, the program folder, the root and its parent; nothing else.
TEST(ProductFiles, FilesInUseAreQueuedForTheRestartBeforeTheirFolders) {
    INSTALLED install("Root\\Program");
    const std::string root = install.temp.File("Root");
    const std::string deep = "Orvalith Add-In\\Application Files\\Orvalith Outlook "
                             "Add-In_5_0_72_0\\Resources";
    std::vector<OWNED_HANDLE> held;
    for (const std::string& file : {std::string("Orvalith.exe"), deep + "\\pin.gif.deploy"})
        held.emplace_back(CreateFileA((install.program + "\\" + file).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    const std::string before = PendingDeletions();
    EXPECT_FALSE(RemoveProductFiles(root, install.program));
    EXPECT_EQ(QueueLeftFilesForRestart(root, install.program), 9);
    EXPECT_EQ(FailedFileList(), "");
    std::string added = PendingDeletions().substr(before.empty() ? 0 : before.size() - 1);
    STRINGS queued;
    for (size_t at = 0; at < added.size(); at = added.find('\0', at) + 1) {
        std::string entry = added.c_str() + at;
        if (!entry.empty())
            queued.push_back(entry.substr(entry.find(':') - 1));
    }
    const std::string version = install.program + "\\" + deep.substr(0, deep.rfind('\\'));
    EXPECT_EQ(queued, (STRINGS{install.program + "\\Orvalith.exe",
                               install.program + "\\" + deep + "\\pin.gif.deploy",
                               install.program + "\\" + deep, version,
                               install.program + "\\Orvalith Add-In\\Application Files",
                               install.program + "\\Orvalith Add-In", install.program, root,
                               install.temp.Path()}));
    // Nothing left, nothing queued.
    EXPECT_EQ(QueueLeftFilesForRestart(root, install.program), 0);
    // The restart of the tests' machine would delete nothing of anyone's.
    RAW_KEY sessionManager;
    if (sessionManager.Open(HKLM, SESSION_MANAGER, KEY_SET_VALUE) == ERROR_SUCCESS) {
        if (before.empty())
            RegDeleteValueA(sessionManager.Handle(), "PendingFileRenameOperations");
        else
            SetRegValue(HKLM, SESSION_MANAGER, "PendingFileRenameOperations", REG_MULTI_SZ,
                        before.data(), static_cast<DWORD>(before.size()));
    }
}

// A folder that is a junction or link is neither entered nor removed: the
// product-named files at its target stay, and so does the program folder.
TEST(ProductFiles, JunctionsAreNeitherEnteredNorRemoved) {
    INSTALLED install("Program");
    const std::string elsewhere = install.temp.File("Elsewhere");
    const STRINGS there = {"Setup.exe", "Application Files\\Orvalith Outlook "
                                        "Add-In_5_0_72_0\\Resources\\pin.gif.deploy"};
    CreateFiles(elsewhere, there);
    ASSERT_TRUE(DeleteFolderTree(install.program + "\\Orvalith Add-In"));
    FOLDER_LINK link(install.program + "\\Orvalith Add-In", elsewhere);
    ASSERT_TRUE(link.Made());
    EXPECT_TRUE(RemoveProductFiles(install.program, install.program));
    EXPECT_EQ(FilesLeft(elsewhere, there), there);
    EXPECT_TRUE(Exists(install.program + "\\Orvalith Add-In"));
}

// Only a reparse point that stands for another name is a link: an empty
// folder of deduplicated or cloud files holds its own content, and goes with
// every folder above it. Wine sets no such reparse point.
TEST(ProductFiles, AReparsePointThatIsNoLinkGoesAsAnyOther) {
    INSTALLED install("Program");
    const std::string resources = install.program + "\\Orvalith Add-In\\Application Files\\"
                                                    "Orvalith Outlook Add-In_5_0_72_0\\Resources";
    ASSERT_TRUE(DeleteFolderTree(resources) && CreateDirectoryA(resources.c_str(), nullptr));
    OWNED_HANDLE folder(CreateFileA(resources.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
    DWORD header[2] = {IO_REPARSE_TAG_DEDUP, 0}, size = 0;
    if (!DeviceIoControl(folder.Get(), FSCTL_SET_REPARSE_POINT, header, sizeof(header), nullptr, 0,
                         &size, nullptr))
        GTEST_SKIP() << "no deduplicated folder can be made here: " << GetLastError();
    folder.Reset();
    EXPECT_TRUE(RemoveProductFiles(install.program, install.program));
    EXPECT_FALSE(Exists(install.program));
}

// A drive that is not there, and a path longer than a path may be, leave
// what they hold: listed whole with the system's reason, never taken as
// already gone; whatever can be reached still goes.
TEST(ProductFiles, WhatCannotBeReachedIsListedNotTakenAsGone) {
    // The drive map, not GetDriveTypeA: under Wine that asks the mount
    // manager's device, which now and then never answers a 32-bit test.
    std::string missing = "?:\\Orvalith";
    const DWORD drives = GetLogicalDrives();
    for (char letter = 'Y'; letter > 'D' && missing[0] == '?'; --letter)
        if (!(drives & (1u << (letter - 'A'))))
            missing[0] = letter;
    EXPECT_FALSE(RemoveProductFiles(missing, missing));
    EXPECT_EQ(FailedFileList(), Listed(missing, CurrentProductFiles()));
    EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_PATH_NOT_FOUND));

    // The program files fit in MAX_PATH there, the add-in's never.
    TEMP_FOLDER temp;
    const std::string deep = temp.File(std::string(234 - temp.Path().Length(), 'd'));
    STRINGS program, addIn;
    for (const std::string& file : CurrentProductFiles())
        (file.find('\\') == std::string::npos ? program : addIn).push_back(file);
    for (const std::string& file : program)
        MakeFile(deep + "\\" + file);
    EXPECT_FALSE(RemoveProductFiles(deep, deep));
    EXPECT_EQ(FailedFileList(), Listed(deep, addIn));
    EXPECT_EQ(LastDeleteError(), GetSystemErrorText(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(Exists(deep));
}

TEST(ProductFiles, FoldersGoOnlyWhenEmpty) {
    {
        // A file of the user's keeps the program folder and all above it.
        INSTALLED install("Root\\Program");
        MakeFile(install.program + "\\Notes.txt");
        EXPECT_TRUE(RemoveProductFiles(install.temp.File("Root"), install.program));
        EXPECT_EQ(FailedFileList(), "");
        EXPECT_TRUE(Exists(install.program + "\\Notes.txt"));
        EXPECT_EQ(install.Left(), STRINGS());
        EXPECT_FALSE(Exists(install.program + "\\Orvalith Add-In"));
        EXPECT_FALSE(Exists(install.program + "\\Add-In 2007"));
    }
    // The shared add-in folders stay while a version folder below them is
    // not empty; the rest of both older generations goes.
    INSTALLED install("Program");
    const std::string versions = install.program + "\\Add-In 2010\\Application Files\\";
    MakeFile(versions + "Orvalith AddIn 2010_1_0_0_0\\user.txt");
    EXPECT_TRUE(RemoveProductFiles(install.program, install.program));
    EXPECT_TRUE(Exists(versions + "Orvalith AddIn 2010_1_0_0_0\\user.txt"));
    EXPECT_FALSE(Exists(versions + "Orvalith AddIn 2010_4_1_0_17"));
    EXPECT_FALSE(Exists(install.program + "\\Add-In 2007"));
    EXPECT_EQ(install.Left(), STRINGS());
}

// A complete install goes with every folder up to the root's parent,
// however the root is written; texts left by an earlier failed run do not
// carry over.
TEST(ProductFiles, CompleteInstallGoesWithTheRootsParentHoweverTheRootIsWritten) {
    for (const char* ending : {"", "\\", "/"}) {
        SCOPED_TRACE(ending);
        INSTALLED install("Parent\\Root\\Program");
        SetFileAttributesA((install.program + "\\Orvalith.exe").c_str(), FILE_ATTRIBUTE_READONLY);
        EXPECT_FALSE(RemoveProductFiles(install.program, install.program));
        SetFileAttributesA((install.program + "\\Orvalith.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(
            RemoveProductFiles(install.temp.File("Parent\\Root") + ending, install.program));
        EXPECT_EQ(FailedFileList(), "");
        EXPECT_EQ(LastDeleteError(), "");
        EXPECT_EQ(install.Left(), STRINGS());
        EXPECT_FALSE(Exists(install.temp.File("Parent")));
        EXPECT_TRUE(Exists(install.temp.Path()));
    }
    // A root without a separator names no folder below a root and, like a
    // blank one, removes no folder. Either way the current folder stays,
    // though empty.
    for (const char* root : {"Root", ""}) {
        SCOPED_TRACE(root);
        INSTALLED install("Program");
        CURRENT_FOLDER current(install.temp.Path());
        if (*root)
            CreateDirectoryA(install.temp.File(root).c_str(), nullptr);
        EXPECT_TRUE(RemoveProductFiles(root, install.program));
        EXPECT_EQ(*root != '\0', Exists(install.temp.File("Root")));
        EXPECT_FALSE(Exists(install.program));
        EXPECT_TRUE(Exists(install.temp.Path()));
    }
}

// A blank folder, or a text that names no folder below a root, as the
// program and the root folder.
TEST(ProductFiles, BlankProgramFolderDeletesAndReportsNothing) {
    // Bare names would land at the root of the current folder's drive, and
    // relative ones in the current folder.
    TEMP_FOLDER temp;
    CURRENT_FOLDER current(temp.Path());
    const std::string driveRoot = temp.Path().Left(3);
    ASSERT_EQ(driveRoot, "C:\\");
    DECOYS decoys;
    // The empty add-in folders would go if removed.
    for (const std::string& place : {driveRoot, temp.Path() + "\\"})
        for (auto [name, folder] : {std::make_pair("Orvalith.exe", false),
                                    {"Orvalith Add-In", true},
                                    {"Orvalith Add-In\\Setup.exe", false},
                                    {"Add-In 2007", true},
                                    {"Add-In 2010", true}})
            ASSERT_TRUE(decoys.Add(place + name, folder)) << place << name;

    for (const std::string blank : {"", "   ", ".", "C:", "C:\\", "\\", "C:\\Orvalith\\.."}) {
        SCOPED_TRACE(testing::Message() << '"' << blank << '"');
        // The product's folders are unknown: nothing to remove, nothing to tell.
        EXPECT_TRUE(RemoveProductFiles(blank, blank));
        EXPECT_EQ(FailedFileList(), "");
        EXPECT_EQ(decoys.Missing(), STRINGS());
    }
}

const STRINGS ALL = {"Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk"};

// The program groups go from both Start menus, with the user's desktop
// shortcuts; the all-users desktop's go apart. A desktop's Help shortcut, or
// another file there, stays.
TEST(Shortcuts, DesktopShortcutsGoFromBothDesktopsAndProgramGroupsFromBothStartMenus) {
    SHELL_FOLDERS_IN_TEMP folders;
    const STRINGS onDesktop = {"Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk",
                               "Other.lnk"};
    const STRINGS stay = {"Orvalith Help.lnk", "Other.lnk"};
    for (const std::string& desktop : {folders.commonDesktop, folders.userDesktop})
        CreateFiles(desktop, onDesktop);
    CreateFiles(folders.commonGroup, ALL);
    CreateFiles(folders.userGroup, ALL);

    EXPECT_TRUE(RemoveShortcuts());
    EXPECT_FALSE(Exists(folders.commonGroup));
    EXPECT_FALSE(Exists(folders.userGroup));
    EXPECT_EQ(FilesLeft(folders.userDesktop, onDesktop), stay);
    EXPECT_EQ(FilesLeft(folders.commonDesktop, onDesktop), onDesktop);
    EXPECT_FALSE(RemoveShortcuts()); // nothing left to remove

    CreateFiles(folders.userDesktop, onDesktop);
    RemoveDesktopShortcuts();
    for (const std::string& desktop : {folders.commonDesktop, folders.userDesktop})
        EXPECT_EQ(FilesLeft(desktop, onDesktop), stay) << desktop;
}

TEST(Shortcuts, GroupHoldingAForeignFileKeepsItsFolder) {
    SHELL_FOLDERS_IN_TEMP folders;
    const STRINGS inCommonGroup = {"Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk",
                                   "Readme.txt"};
    CreateFiles(folders.commonGroup, inCommonGroup);
    CreateFiles(folders.userGroup, {"Orvalith.lnk"});
    // The user's group went: that is enough for the answer.
    EXPECT_TRUE(RemoveShortcuts());
    EXPECT_FALSE(Exists(folders.userGroup));
    EXPECT_EQ(FilesLeft(folders.commonGroup, inCommonGroup), STRINGS{"Readme.txt"});

    CreateFiles(folders.userGroup, {"Orvalith Help.lnk", "Mine.lnk"});
    EXPECT_FALSE(RemoveShortcuts());
    EXPECT_EQ(FilesLeft(folders.userGroup, {"Orvalith Help.lnk", "Mine.lnk"}), STRINGS{"Mine.lnk"});
}

const std::string UNINSTALL = PRODUCT_UNINSTALL_KEY;

// An all-users install loses its machine row, not a neighbour whose name
// begins alike; a row with subkeys stays; missing keys are not made by looking
// for them. (What a per-user install loses: the scenarios.)
// A shortcut past the path limit is never cut to fit: it stays, listed as
// left with the reason, while the one beside it that fits goes.
TEST(Shortcuts, AShortcutPastThePathLimitIsListedAsLeft) {
    TEMP_FOLDER temp;
    const std::string desktop = temp.File(std::string(239 - temp.Path().Length(), 'd'));
    SHELL_FOLDER_REDIRECT redirect(HKEY_CURRENT_USER, "Desktop", desktop);
    MakeFile(desktop + "\\Orvalith.lnk");
    const std::string past = desktop + "\\Uninstall Orvalith.lnk";
    const std::wstring pastWide = L"\\\\?\\" + STRING(past).ToWide();
    ASSERT_TRUE(OWNED_HANDLE(CreateFileW(pastWide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL, nullptr))
                    .Valid());
    ForgetFilesLeft();
    SHORTCUT_REMOVAL removed;
    RemoveDesktopShortcuts(&removed);
    EXPECT_EQ(removed.shortcuts, 1);
    EXPECT_FALSE(Exists(desktop + "\\Orvalith.lnk"));
    EXPECT_EQ(FilesLeftUnreached(), past + "\n");
    EXPECT_EQ(FilesLeftReason(), GetSystemErrorText(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_TRUE(DeleteFileW(pastWide.c_str()));
    ForgetFilesLeft();
}

TEST(RegistryEntries, OnlyTheProductsOwnKeysGo) {
    const std::string mapiApps = "Software\\Microsoft\\Windows Messaging Subsystem\\MSMapiApps";
    TEMPORARY_KEY machineUninstall(HKLM, UNINSTALL);
    TEMPORARY_KEY neighbour(HKLM, UNINSTALL + " Viewer");
    TEMPORARY_KEY userUninstall(HKCU, UNINSTALL);
    CreateRegKey(HKCU, UNINSTALL + "\\Components");
    TEMPORARY_KEY noUserAppPaths(HKCU, PRODUCT_APP_PATHS_KEY, false);
    TEMPORARY_KEY noMapiApps(HKLM, mapiApps, false);

    RemoveRegistryEntries();
    EXPECT_FALSE(RegKeyPresent(HKLM, UNINSTALL));
    EXPECT_TRUE(RegKeyPresent(HKLM, UNINSTALL + " Viewer"));
    EXPECT_TRUE(RegKeyPresent(HKCU, UNINSTALL + "\\Components"));
    EXPECT_FALSE(RegKeyPresent(HKCU, PRODUCT_APP_PATHS_KEY));
    EXPECT_FALSE(RegKeyPresent(HKLM, mapiApps));
}

} // namespace
