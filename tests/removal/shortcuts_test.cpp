#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

#include "app/shortcuts.h"
#include "foundation/owned_handle.h"
#include "system/system_info.h"
#include "testkit/shell_overrides.h"
#include "testkit/temp_folder.h"
#include "string_printing.h"

namespace {

const char* const USER_SHELL_FOLDERS =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char* const SHELL_FOLDERS =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Points one shell folder at a folder of the test. The shell keeps what it
// found under "Shell Folders" too, so both are set and both come back.
class SHELL_FOLDER_REDIRECT {
public:
    SHELL_FOLDER_REDIRECT(HKEY root, const char* name, const STRING& path)
        : userShellFolder_(root, USER_SHELL_FOLDERS, name, path),
          shellFolder_(root, SHELL_FOLDERS, name, path) {
        CreateDirectoryA(path.c_str(), nullptr);
    }

private:
    REGISTRY_VALUE_OVERRIDE userShellFolder_;
    REGISTRY_VALUE_OVERRIDE shellFolder_;
};

// The two desktops and the two Start-menu program folders, each a folder of
// a temporary folder for the object's lifetime.
class SHELL_FOLDERS_IN_TEMP {
public:
    SHELL_FOLDERS_IN_TEMP()
        : commonDesktop_(HKEY_LOCAL_MACHINE, "Common Desktop", temp_.File("Common Desktop")),
          userDesktop_(HKEY_CURRENT_USER, "Desktop", temp_.File("Desktop")),
          commonPrograms_(HKEY_LOCAL_MACHINE, "Common Programs", temp_.File("Common Programs")),
          userPrograms_(HKEY_CURRENT_USER, "Programs", temp_.File("Programs")) {}

    STRING CommonDesktop() const { return temp_.File("Common Desktop"); }
    STRING UserDesktop() const { return temp_.File("Desktop"); }
    STRING CommonGroup() const { return temp_.File("Common Programs\\Orvalith"); }
    STRING UserGroup() const { return temp_.File("Programs\\Orvalith"); }

private:
    TEMP_FOLDER temp_;
    SHELL_FOLDER_REDIRECT commonDesktop_;
    SHELL_FOLDER_REDIRECT userDesktop_;
    SHELL_FOLDER_REDIRECT commonPrograms_;
    SHELL_FOLDER_REDIRECT userPrograms_;
};

const char* const DESKTOP_SHORTCUTS[] = {"Orvalith.lnk", "Uninstall Orvalith.lnk"};
const char* const GROUP_SHORTCUTS[] = {"Orvalith.lnk", "Uninstall Orvalith.lnk",
                                       "Orvalith Help.lnk"};

bool Exists(const STRING& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CreateFiles(const STRING& folder, std::initializer_list<const char*> names) {
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* name : names) {
        OWNED_HANDLE file(CreateFileA((folder + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(file.Valid()) << folder << "\\" << name;
    }
}

// The names of the files in folder that are there.
STRING_VECTOR Present(const STRING& folder, std::initializer_list<const char*> names) {
    STRING_VECTOR present;
    for (const char* name : names)
        if (Exists(folder + "\\" + name))
            present.Add(name);
    return present;
}

STRING_VECTOR Names(std::initializer_list<const char*> names) {
    STRING_VECTOR list;
    for (const char* name : names)
        list.Add(name);
    return list;
}

TEST(Shortcuts, ShellFoldersAreTheTestsOwn) {
    SHELL_FOLDERS_IN_TEMP folders;
    EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY),
              folders.CommonDesktop());
    EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_DESKTOPDIRECTORY), folders.UserDesktop());
    EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_COMMON_PROGRAMS) + "\\Orvalith",
              folders.CommonGroup());
    EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_PROGRAMS) + "\\Orvalith", folders.UserGroup());
}

TEST(Shortcuts, DesktopShortcutsGoFromBothDesktops) {
    SHELL_FOLDERS_IN_TEMP folders;
    for (const STRING& desktop : {folders.CommonDesktop(), folders.UserDesktop()})
        CreateFiles(desktop,
                    {"Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk", "Other.lnk"});
    RemoveDesktopShortcuts();
    // Deleting again, as the run does, changes nothing.
    RemoveDesktopShortcuts();
    for (const STRING& desktop : {folders.CommonDesktop(), folders.UserDesktop()})
        EXPECT_EQ(Present(desktop, {"Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk",
                                    "Other.lnk"}),
                  Names({"Orvalith Help.lnk", "Other.lnk"}))
            << desktop;
}

TEST(Shortcuts, ProgramGroupsGoFromBothStartMenus) {
    SHELL_FOLDERS_IN_TEMP folders;
    CreateFiles(folders.CommonGroup(),
                {"Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk"});
    CreateFiles(folders.UserGroup(),
                {"Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk"});
    CreateFiles(folders.UserDesktop(), {"Orvalith.lnk", "Uninstall Orvalith.lnk"});
    CreateFiles(folders.CommonDesktop(), {"Orvalith.lnk"});

    EXPECT_TRUE(RemoveShortcuts());
    EXPECT_FALSE(Exists(folders.CommonGroup()));
    EXPECT_FALSE(Exists(folders.UserGroup()));
    EXPECT_EQ(Present(folders.UserDesktop(), {"Orvalith.lnk", "Uninstall Orvalith.lnk"}),
              STRING_VECTOR());
    // The all-users desktop is RemoveDesktopShortcuts' part.
    EXPECT_TRUE(Exists(folders.CommonDesktop() + "\\Orvalith.lnk"));
    // Nothing left to remove.
    EXPECT_FALSE(RemoveShortcuts());
}

TEST(Shortcuts, GroupHoldingAForeignFileKeepsItsFolder) {
    SHELL_FOLDERS_IN_TEMP folders;
    CreateFiles(folders.CommonGroup(),
                {"Orvalith.lnk", "Uninstall Orvalith.lnk", "Orvalith Help.lnk", "Readme.txt"});
    CreateFiles(folders.UserGroup(), {"Orvalith.lnk"});
    // The user's group went: that is enough for the answer.
    EXPECT_TRUE(RemoveShortcuts());
    EXPECT_FALSE(Exists(folders.UserGroup()));
    EXPECT_EQ(Present(folders.CommonGroup(), {"Orvalith.lnk", "Uninstall Orvalith.lnk",
                                              "Orvalith Help.lnk", "Readme.txt"}),
              Names({"Readme.txt"}));

    CreateFiles(folders.UserGroup(), {"Orvalith Help.lnk", "Mine.lnk"});
    EXPECT_FALSE(RemoveShortcuts());
    EXPECT_FALSE(RemoveProgramGroup(CSIDL_PROGRAMS));
    EXPECT_EQ(Present(folders.UserGroup(), {"Orvalith Help.lnk", "Mine.lnk"}), Names({"Mine.lnk"}));
    EXPECT_TRUE(Exists(folders.CommonGroup() + "\\Readme.txt"));
}

} // namespace
