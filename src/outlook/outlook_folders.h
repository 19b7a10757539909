// Reaching Outlook folders: by stored description, by default kind, or by
// walking every folder of every store.
#pragma once

#include "foundation/strings.h"
#include "outlook/dispatch.h"

// Outlook's numbers for default folders.
enum OUTLOOK_FOLDER_KIND : LONG {
    FOLDER_NONE = -1,
    FOLDER_DELETED_ITEMS = 3,
    FOLDER_INBOX = 6,
    FOLDER_CALENDAR = 9,
    FOLDER_CONTACTS = 10,
    FOLDER_NOTES = 12,
    FOLDER_TASKS = 13,
};
// Outlook's item kind of calendar entries.
const LONG APPOINTMENT_ITEM = 1;

// The description of one folder.
struct OUTLOOK_FOLDER {
    STRING name;
    STRING path;
    STRING entryID;
    STRING storeID;
    LONG folderType = FOLDER_NONE;
};

// The folder described, from the cache or Outlook; none when there is none.
// Completes the description's name and path and refreshes its store ID.
DISPATCH_OBJECT GetMAPIfolder(OUTLOOK_FOLDER& folder, LONG folderType, const STRING& caller);
DISPATCH_OBJECT GetMAPIfolder(OUTLOOK_FOLDER& folder, const STRING& caller);
// Describes Outlook's default folder of folderType; false after message 65.
bool SetToDefaultFolder(OUTLOOK_FOLDER& folder, LONG folderType);
void FillFolderFromOutlook(OUTLOOK_FOLDER& folder, LONG folderType, DISPATCH_OBJECT outlookFolder);
STRING FolderTypeName(LONG folderType);
// The folder's Items collection; no folder, or no collection, is E_POINTER.
DISPATCH_OBJECT FolderItems(const DISPATCH_OBJECT& folder);

typedef void (*FOLDER_VISITOR)(const STRING& storeID, const STRING& entryID, LONG extra);
// Visits, parent before child, every folder whose default item type is
// itemType. Folders that cannot be read are skipped.
void WalkFolders(const DISPATCH_OBJECT& folders, FOLDER_VISITOR visit, LONG itemType, LONG extra);
