#include "testkit/temp_folder.h"

#include <windows.h>

TEMP_FOLDER::TEMP_FOLDER() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    static LONG counter = 0;
    for (;;) {
        path_ = STRING(temp).WithTrailingBackslash() + "orvalith-test-" +
                STRING::FromInt(static_cast<int>(GetCurrentProcessId())) + "-" +
                STRING::FromInt(InterlockedIncrement(&counter));
        if (CreateDirectoryA(path_.c_str(), nullptr))
            break;
    }
}

TEMP_FOLDER::~TEMP_FOLDER() {
    DeleteFolderTree(path_);
}

bool DeleteFolderTree(const STRING& path) {
    if (path.IsBlank())
        return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            STRING name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            STRING child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteFolderTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryA(path.c_str()) != 0;
}
