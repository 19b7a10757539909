// The files that the product's setup puts below the program folder, written
// out here on their own so that a wrong name in the removal shows as a file
// left over; and the means to lay them out on disk and to find what is left.
#pragma once

#include <algorithm>
#include <string>
#include <vector>
#include <windows.h>

#include <gtest/gtest.h>

// The program's files and the current add-in's, relative to the program
// folder, in the order the removal reports them.
inline std::vector<std::string> CurrentProductFiles() {
    std::vector<std::string> files = {"Orvalith.chm",
                                      "Orvalith.exe",
                                      "OrvalithStrings.txt",
                                      "Orvalith Uninstall.exe",
                                      "OrvalithUnPhase1.exe",
                                      "OrvalithAddInHelper.exe",
                                      "Orvalith Add-In\\Setup.exe",
                                      "Orvalith Add-In\\Orvalith Outlook Add-In.vsto"};
    const std::string version =
        "Orvalith Add-In\\Application Files\\Orvalith Outlook Add-In_5_0_72_0\\";
    for (const char* name :
         {"Microsoft.Office.Tools.Common.v4.0.Utilities.dll.deploy",
          "Microsoft.Office.Tools.Outlook.v4.0.Utilities.dll.deploy",
          "Orvalith Outlook Add-In.dll.deploy", "Orvalith Outlook Add-In.dll.manifest"})
        files.push_back(version + name);
    for (const char* name : {"Orvalith Outlook Add-In.dll.deploy",
                             "Orvalith Outlook Add-In.dll.manifest",
                             "Check Box Empty Task.png.deploy",
                             "Check Box Empty.png.deploy",
                             "Check Box Mixed Task.png.deploy",
                             "Check Box Mixed.png.deploy",
                             "Check Box Selected Task.png.deploy",
                             "Check Box Selected.png.deploy",
                             "createTaskContext.png.deploy",
                             "createTaskContextPin.png.deploy",
                             "openTask.gif.deploy",
                             "openTaskContext.png.deploy",
                             "pin.gif.deploy",
                             "pinContext.png.deploy",
                             "pinMix.gif.deploy",
                             "pinMixContext.png.deploy",
                             "pinned.gif.deploy",
                             "pinnedContext.png.deploy",
                             "SettingsIcon16x16.png.deploy",
                             "Orvalith32.bmp.deploy",
                             "OrvalithHelp16.png.deploy",
                             "OrvalithHelp48.png.deploy",
                             "OpenTaskFolder.png.deploy"})
        files.push_back(version + "Resources\\" + name);
    return files;
}

inline bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Creates the file with a little content, and every missing folder above it.
inline void MakeFile(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, "data", 4, &written, nullptr);
    CloseHandle(file);
}

// The files of the list that are still below folder, each once.
inline std::vector<std::string> FilesLeft(const std::string& folder,
                                          const std::vector<std::string>& files) {
    std::vector<std::string> left;
    for (const std::string& file : files)
        if (Exists(folder + "\\" + file) && std::find(left.begin(), left.end(), file) == left.end())
            left.push_back(file);
    return left;
}

// Makes folder the current folder for the object's lifetime (or, with an
// empty folder, only brings the current one back afterwards).
class CURRENT_FOLDER {
public:
    explicit CURRENT_FOLDER(const std::string& folder = std::string()) {
        GetCurrentDirectoryA(sizeof(previous_), previous_);
        if (!folder.empty()) {
            EXPECT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder;
        }
    }
    ~CURRENT_FOLDER() { SetCurrentDirectoryA(previous_); }
    CURRENT_FOLDER(const CURRENT_FOLDER&) = delete;
    CURRENT_FOLDER& operator=(const CURRENT_FOLDER&) = delete;

private:
    char previous_[MAX_PATH] = "";
};
