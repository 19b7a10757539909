#include "app/shortcuts.h"

#include <shlobj.h>
#include <windows.h>

#include "foundation/resource_strings.h"
#include "foundation/strings.h"
#include "system/system_info.h"

namespace {

// String table entries naming shortcuts, each with its leading backslash.
const int IDS_UNINSTALL_SHORTCUT = 18;
const int IDS_HELP_SHORTCUT = 19;

const char* const PROGRAM_SHORTCUT = "\\Orvalith.lnk";
const char* const PROGRAM_GROUP = "\\Orvalith";

// Deletes folder followed by name. A name that does not start with a
// backslash (a string missing from the table) would point outside folder,
// so it deletes nothing.
void DeleteShortcut(const STRING& folder, const STRING& name, SHORTCUT_REMOVAL* removed) {
    if (name.empty() || name[0] != '\\')
        return;
    if (DeleteFileA((folder + name).c_str()) && removed)
        ++removed->shortcuts;
}

// The shortcuts a desktop may hold.
void RemoveShortcutsFrom(int desktop, SHORTCUT_REMOVAL* removed) {
    STRING folder = GetSpecialFolderPath(nullptr, desktop);
    if (folder.IsBlank())
        return;
    DeleteShortcut(folder, PROGRAM_SHORTCUT, removed);
    DeleteShortcut(folder, LoadStr(IDS_UNINSTALL_SHORTCUT), removed);
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
    STRING folder = GetSpecialFolderPath(nullptr, specialFolder);
    if (folder.IsBlank())
        return false;
    STRING group = folder + PROGRAM_GROUP;
    DeleteShortcut(group, PROGRAM_SHORTCUT, removed);
    DeleteShortcut(group, LoadStr(IDS_UNINSTALL_SHORTCUT), removed);
    DeleteShortcut(group, LoadStr(IDS_HELP_SHORTCUT), removed);
    if (!RemoveDirectoryA(group.c_str()))
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
