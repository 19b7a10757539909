#include "app/shortcuts.h"

#include <shlobj.h>
#include <windows.h>

#include "foundation/resource_strings.h"
#include "foundation/strings.h"
#include "system/files_left.h"
#include "system/system_info.h"

namespace {

// String table entries naming shortcuts, each with its leading backslash.
const int IDS_UNINSTALL_SHORTCUT = 18;
const int IDS_HELP_SHORTCUT = 19;

const char* const PROGRAM_SHORTCUT = "\\Orvalith.lnk";
const char* const PROGRAM_GROUP = "\\Orvalith";

// Deletes folder, then group ("" or "\\Orvalith"), then name; one that cannot
// be reached is counted as left. A name that does not start with a backslash
// (a string missing from the table) would point outside the folder, so it
// deletes nothing.
void DeleteShortcut(const USER_FOLDER& folder, const STRING& group, const STRING& name,
                    SHORTCUT_REMOVAL* removed) {
    if (!name.IsSeparatorAt(0))
        return;
    if (folder.Unreachable())
        return CountLeftIn(folder, group + name, folder.unreachableBecause);
    STRING path = folder.path + group + name;
    if (!FitsPathLimit(path))
        return CountLeftIn(folder, group + name, ERROR_FILENAME_EXCED_RANGE);
    if (DeleteFileA(path.c_str()) && removed)
        ++removed->shortcuts;
}

// The shortcuts a desktop may hold.
void RemoveShortcutsFrom(int desktop, SHORTCUT_REMOVAL* removed) {
    USER_FOLDER folder = GetSpecialFolderPath(nullptr, desktop);
    if (folder.wide.empty())
        return;
    DeleteShortcut(folder, STRING(), PROGRAM_SHORTCUT, removed);
    DeleteShortcut(folder, STRING(), LoadStr(IDS_UNINSTALL_SHORTCUT), removed);
}

} // namespace

void RemoveDesktopShortcuts(SHORTCUT_REMOVAL* removed) {
    RemoveShortcutsFrom(CSIDL_COMMON_DESKTOPDIRECTORY, removed);
    RemoveShortcutsFrom(CSIDL_DESKTOPDIRECTORY, removed);
}

bool RemoveShortcuts(SHORTCUT_REMOVAL* removed) {
    RemoveShortcutsFrom(CSIDL_DESKTOPDIRECTORY, removed);
    bool commonRemoved = RemoveProgramGroup(CSIDL_COMMON_PROGRAMS, removed);
    bool userRemoved = RemoveProgramGroup(CSIDL_PROGRAMS, removed);
    return commonRemoved || userRemoved;
}

bool RemoveProgramGroup(int specialFolder, SHORTCUT_REMOVAL* removed) {
    USER_FOLDER folder = GetSpecialFolderPath(nullptr, specialFolder);
    if (folder.wide.empty())
        return false;
    const STRING group = PROGRAM_GROUP;
    DeleteShortcut(folder, group, PROGRAM_SHORTCUT, removed);
    DeleteShortcut(folder, group, LoadStr(IDS_UNINSTALL_SHORTCUT), removed);
    DeleteShortcut(folder, group, LoadStr(IDS_HELP_SHORTCUT), removed);
    if (folder.Unreachable() || !RemoveDirectoryA((folder.path + group).c_str()))
        return false;
    if (removed)
        ++removed->folders;
    return true;
}

void RemoveShortcutsFor(bool machine, bool user, SHORTCUT_REMOVAL* removed) {
    if (machine) {
        RemoveShortcutsFrom(CSIDL_COMMON_DESKTOPDIRECTORY, removed);
        RemoveProgramGroup(CSIDL_COMMON_PROGRAMS, removed);
    }
    if (user) {
        RemoveShortcutsFrom(CSIDL_DESKTOPDIRECTORY, removed);
        RemoveProgramGroup(CSIDL_PROGRAMS, removed);
    }
}
