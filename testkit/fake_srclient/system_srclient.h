// Puts the stand-in "SrClient.DLL", built beside the test program, into the
// system folder for the object's lifetime: the only place the uninstaller
// takes the library from. Wine's own library there is set aside meanwhile
// (the loader is told to prefer the native one, WINEDLLOVERRIDES=srclient=n).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <windows.h>

#include "testkit/ui_driver.h"

class SYSTEM_SRCLIENT {
public:
    SYSTEM_SRCLIENT() {
        char folder[MAX_PATH] = "";
        GetSystemDirectoryA(folder, sizeof(folder));
        path_ = std::string(folder) + "\\SrClient.DLL";
        // An earlier run that ended early may have left ours in place, and
        // Wine's own aside.
        if (!FileExists(aside()))
            MoveFileA(path_.c_str(), aside().c_str());
        EXPECT_TRUE(
            CopyFileA((ThisProgramFolder() + "\\SrClient.DLL").c_str(), path_.c_str(), FALSE))
            << path_;
    }
    ~SYSTEM_SRCLIENT() {
        DeleteFileA(path_.c_str());
        MoveFileA(aside().c_str(), path_.c_str());
    }
    SYSTEM_SRCLIENT(const SYSTEM_SRCLIENT&) = delete;
    SYSTEM_SRCLIENT& operator=(const SYSTEM_SRCLIENT&) = delete;

private:
    std::string aside() const { return path_ + ".aside"; }
    std::string path_;
};
