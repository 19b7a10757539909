#include <gtest/gtest.h>

#include <windows.h>

#include "app/shortcuts.h"
#include "testkit/shell_folders.h"
#include "testkit/string_printing.h"

namespace {

using STRINGS = std::vector<std::string>;

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
            EXPECT_EQ(FilesLeft(desktop, names), (STRINGS{"Orvalith Help.lnk", "Other.lnk"}))
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
    EXPECT_EQ(FilesLeft(folders.userDesktop, ALL), STRINGS());
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
    EXPECT_EQ(FilesLeft(folders.commonGroup, {"Orvalith.lnk", "Uninstall Orvalith.lnk",
                                              "Orvalith Help.lnk", "Readme.txt"}),
              STRINGS{"Readme.txt"});

    CreateFiles(folders.userGroup, {"Orvalith Help.lnk", "Mine.lnk"});
    EXPECT_FALSE(RemoveShortcuts());
    EXPECT_FALSE(RemoveProgramGroup(CSIDL_PROGRAMS));
    EXPECT_EQ(FilesLeft(folders.userGroup, {"Orvalith Help.lnk", "Mine.lnk"}), STRINGS{"Mine.lnk"});
    EXPECT_TRUE(Exists(folders.commonGroup + "\\Readme.txt"));
}

} // namespace
