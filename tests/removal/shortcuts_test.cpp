#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

#include "app/shortcuts.h"
#include "system/system_info.h"
#include "testkit/product_layout.h"
#include "testkit/shell_overrides.h"
#include "testkit/temp_folder.h"
#include "string_printing.h"

namespace {

using STRINGS = std::vector<std::string>;

// Points one shell folder at a folder of the test. The shell keeps what it
// found under "Shell Folders" too, so both are set and both come back.
struct SHELL_FOLDER_REDIRECT {
    SHELL_FOLDER_REDIRECT(HKEY root, const char* name, const STRING& path)
        : userShellFolder(root, EXPLORER + "User Shell Folders", name, path),
          shellFolder(root, EXPLORER + "Shell Folders", name, path) {
        CreateDirectoryA(path.c_str(), nullptr);
    }
    static inline const std::string EXPLORER =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
    REGISTRY_VALUE_OVERRIDE userShellFolder;
    REGISTRY_VALUE_OVERRIDE shellFolder;
};

// The two desktops and the two Start-menu program folders, each a folder of
// a temporary folder for the object's lifetime; the product's shell folders
// are the test's own.
struct SHELL_FOLDERS_IN_TEMP {
    SHELL_FOLDERS_IN_TEMP() {
        EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY), commonDesktop);
        EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_DESKTOPDIRECTORY), userDesktop);
        EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_COMMON_PROGRAMS) + "\\Orvalith", commonGroup);
        EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_PROGRAMS) + "\\Orvalith", userGroup);
    }
    TEMP_FOLDER temp;
    const std::string commonDesktop = temp.File("Common Desktop");
    const std::string userDesktop = temp.File("Desktop");
    const std::string commonGroup = temp.File("Common Programs\\Orvalith");
    const std::string userGroup = temp.File("Programs\\Orvalith");
    SHELL_FOLDER_REDIRECT redirects[4] = {
        {HKEY_LOCAL_MACHINE, "Common Desktop", commonDesktop},
        {HKEY_CURRENT_USER, "Desktop", userDesktop},
        {HKEY_LOCAL_MACHINE, "Common Programs", temp.File("Common Programs")},
        {HKEY_CURRENT_USER, "Programs", temp.File("Programs")}};
};

void CreateFiles(const std::string& folder, const STRINGS& names) {
    for (const std::string& name : names)
        MakeFile(folder + "\\" + name);
}

// The names of the files in folder that are there.
STRINGS Present(const std::string& folder, const STRINGS& names) {
    return FilesLeft(folder, names);
}

const STRINGS ALL = {"Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk"};

TEST(Shortcuts, DesktopShortcutsGoFromBothDesktopsAndProgramGroupsFromBothStartMenus) {
    {
        SHELL_FOLDERS_IN_TEMP folders;
        const STRINGS names = {"Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk",
                               "Other.lnk"};
        for (const std::string& desktop : {folders.commonDesktop, folders.userDesktop})
            CreateFiles(desktop, names);
        RemoveDesktopShortcuts();
        // Deleting again, as the run does, changes nothing.
        RemoveDesktopShortcuts();
        for (const std::string& desktop : {folders.commonDesktop, folders.userDesktop})
            EXPECT_EQ(Present(desktop, names), (STRINGS{"Orvalith Help.lnk", "Other.lnk"}))
                << desktop;
    }
    SHELL_FOLDERS_IN_TEMP folders;
    CreateFiles(folders.commonGroup, ALL);
    CreateFiles(folders.userGroup, ALL);
    CreateFiles(folders.userDesktop, {"Orvalith.lnk", "Uninstall Orvalith.lnk"});
    CreateFiles(folders.commonDesktop, {"Orvalith.lnk"});

    EXPECT_TRUE(RemoveShortcuts());
    EXPECT_FALSE(Exists(folders.commonGroup));
    EXPECT_FALSE(Exists(folders.userGroup));
    EXPECT_EQ(Present(folders.userDesktop, ALL), STRINGS());
    // The all-users desktop is RemoveDesktopShortcuts' part.
    EXPECT_TRUE(Exists(folders.commonDesktop + "\\Orvalith.lnk"));
    // Nothing left to remove.
    EXPECT_FALSE(RemoveShortcuts());
}

TEST(Shortcuts, GroupHoldingAForeignFileKeepsItsFolder) {
    SHELL_FOLDERS_IN_TEMP folders;
    CreateFiles(folders.commonGroup,
                {"Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk", "Readme.txt"});
    CreateFiles(folders.userGroup, {"Orvalith.lnk"});
    // The user's group went: that is enough for the answer.
    EXPECT_TRUE(RemoveShortcuts());
    EXPECT_FALSE(Exists(folders.userGroup));
    EXPECT_EQ(Present(folders.commonGroup, {"Orvalith.lnk", "Uninstall Orvalith.lnk",
                                            "Orvalith Help.lnk", "Readme.txt"}),
              STRINGS{"Readme.txt"});

    CreateFiles(folders.userGroup, {"Orvalith Help.lnk", "Mine.lnk"});
    EXPECT_FALSE(RemoveShortcuts());
    EXPECT_FALSE(RemoveProgramGroup(CSIDL_PROGRAMS));
    EXPECT_EQ(Present(folders.userGroup, {"Orvalith Help.lnk", "Mine.lnk"}), STRINGS{"Mine.lnk"});
    EXPECT_TRUE(Exists(folders.commonGroup + "\\Readme.txt"));
}

} // namespace
