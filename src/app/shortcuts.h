// Removal of the product's desktop shortcuts and Start-menu program groups.
// Shortcuts are deleted by name, whatever their target; a group folder goes
// only when nothing else is left in it. Nothing is reported.
#pragma once

// What went; each operation below adds to it, when given.
struct SHORTCUT_REMOVAL {
    int shortcuts = 0;
    int folders = 0;
};

// Deletes "Orvalith.lnk" and "Uninstall Orvalith.lnk" from the all-users
// desktop and from the user's desktop.
void RemoveDesktopShortcuts(SHORTCUT_REMOVAL* removed = nullptr);

// Deletes the user's desktop shortcuts, then removes the program group from
// the all-users and from the user's Start menu. True when either group
// folder was removed.
bool RemoveShortcuts(SHORTCUT_REMOVAL* removed = nullptr);

// Deletes the product's shortcuts from the "Orvalith" group of the Start-menu
// folder of that special-folder kind (CSIDL_COMMON_PROGRAMS or CSIDL_PROGRAMS)
// and removes the group folder when it is then empty. True when the folder
// was removed; false when that kind has no folder.
bool RemoveProgramGroup(int specialFolder, SHORTCUT_REMOVAL* removed = nullptr);

// The all-users desktop shortcuts and program group (machine), the user's
// (user), or both: RemoveDesktopShortcuts and RemoveShortcuts by parts.
void RemoveShortcutsFor(bool machine, bool user, SHORTCUT_REMOVAL* removed = nullptr);
