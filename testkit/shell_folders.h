// The desktops and Start-menu program folders of the shell, pointed at
// folders of a test for an object's lifetime, and files laid out in them.
#pragma once

#include <shlobj.h>

#include <string>
#include <vector>
#include <windows.h>

#include <gtest/gtest.h>

#include "system/system_info.h"
#include "testkit/product_layout.h"
#include "testkit/shell_overrides.h"
#include "testkit/temp_folder.h"

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
        EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_COMMON_DESKTOPDIRECTORY).path, commonDesktop);
        EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_DESKTOPDIRECTORY).path, userDesktop);
        EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_COMMON_PROGRAMS).path + "\\Orvalith",
                  commonGroup);
        EXPECT_EQ(GetSpecialFolderPath(nullptr, CSIDL_PROGRAMS).path + "\\Orvalith", userGroup);
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

inline void CreateFiles(const std::string& folder, const std::vector<std::string>& names) {
    for (const std::string& name : names)
        MakeFile(folder + "\\" + name);
}
