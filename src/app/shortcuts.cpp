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
void DeleteShortcut(const STRING& folder, const STRING& name) {
    if (name.empty() || name[0] != '\\')
        return;
    DeleteFileA((folder + name).c_str());
}

// The shortcuts a desktop may hold.
void RemoveShortcutsFrom(int desktop) {
    STRING folder = GetSpecialFolderPath(nullptr, desktop);
    if (folder.IsBlank())
        return;
    DeleteShortcut(folder, PROGRAM_SHORTCUT);
    DeleteShortcut(folder, LoadStr(IDS_UNINSTALL_SHORTCUT));
}

} // namespace

void RemoveDesktopShortcuts() {
    RemoveShortcutsFrom(CSIDL_COMMON_DESKTOPDIRECTORY);
    RemoveShortcutsFrom(CSIDL_DESKTOPDIRECTORY);
}

bool RemoveShortcuts() {
    RemoveShortcutsFrom(CSIDL_DESKTOPDIRECTORY);
    bool commonRemoved = RemoveProgramGroup(CSIDL_COMMON_PROGRAMS);
    bool userRemoved = RemoveProgramGroup(CSIDL_PROGRAMS);
    return commonRemoved || userRemoved;
}

bool RemoveProgramGroup(int specialFolder) {
    STRING folder = GetSpecialFolderPath(nullptr, specialFolder);
    if (folder.IsBlank())
        return false;
    STRING group = folder + PROGRAM_GROUP;
    DeleteShortcut(group, PROGRAM_SHORTCUT);
    DeleteShortcut(group, LoadStr(IDS_UNINSTALL_SHORTCUT));
    DeleteShortcut(group, LoadStr(IDS_HELP_SHORTCUT));
    return RemoveDirectoryA(group.c_str()) != 0;
}
