#include "outlook/outlook_folders.h"

#include "foundation/error_code.h"
#include "foundation/messages.h"
#include "foundation/resource_strings.h"
#include "outlook/outlook_connection.h"
#include "outlook/outlook_errors.h"
#include "outlook/outlook_ids.h"
#include "resources/resource_ids.h"

namespace {

DISPATCH_OBJECT RequireNameSpace(const STRING& context) {
    DISPATCH_OBJECT nameSpace = GetMAPI(context);
    if (!nameSpace)
        ThrowComError(E_POINTER);
    return nameSpace;
}

STRING FolderMessage(int id, const STRING& errorText, LONG folderType) {
    STRING message = LoadStr(id);
    message.ReplaceFirst("<comerr>", errorText);
    message.ReplaceFirst("<fType>", FolderTypeName(folderType));
    return message;
}

} // namespace

DISPATCH_OBJECT GetMAPIfolder(OUTLOOK_FOLDER& folder, LONG folderType, const STRING& caller) {
    DISPATCH_OBJECT result;
    STRING errorText;
    try {
        FOLDER_CACHE& cache = OutlookConnection().folders;
        if (!cache.Find(folder.entryID, result)) {
            DISPATCH_OBJECT nameSpace = RequireNameSpace("GetMAPIfolder");
            VARIANT_VALUE entryID = VARIANT_VALUE::Text(folder.entryID);
            VARIANT_VALUE storeID = VARIANT_VALUE::Text(folder.storeID);
            result = nameSpace.ObjectMethod(L"GetFolderFromID", IID_MAPIFolder,
                                            {&entryID.Get(), &storeID.Get()});
            cache.Add(folder.entryID, result);
        }
        if (!result)
            return result;
        if (folder.name.empty() || folder.name == LoadStr(IDS_NONE_SELECTED))
            folder.name = result.TextProperty(L"Name");
        if (folder.path.empty())
            folder.path = result.TextProperty(L"FolderPath");
        folder.storeID = result.TextProperty(L"StoreID");
        return result;
    } catch (const COM_ERROR& error) {
        if (IsOutlookGone(error))
            folder.name = LoadStr(IDS_NONE_SELECTED);
        UserAbortIfKnownError(error, "GetMAPIfolder", STRING());
        errorText = ComErrorText(error);
    }
    if (!errorText.empty()) {
        MsgBoxOK(FolderMessage(IDS_FOLDER_VERIFY_FAILED, errorText, folderType) + "\n" + caller);
        throw ERR_USER_ABORT;
    }
    if (folderType == FOLDER_NONE) {
        folder.storeID.clear();
        folder.entryID.clear();
    } else {
        SetToDefaultFolder(folder, folderType);
    }
    return result;
}

DISPATCH_OBJECT GetMAPIfolder(OUTLOOK_FOLDER& folder, const STRING& caller) {
    return GetMAPIfolder(folder, folder.folderType, caller);
}

bool SetToDefaultFolder(OUTLOOK_FOLDER& folder, LONG folderType) {
    try {
        DISPATCH_OBJECT nameSpace = RequireNameSpace("SetToDefaultFolder");
        VARIANT_VALUE kind = VARIANT_VALUE::Long(folderType);
        FillFolderFromOutlook(
            folder, folderType,
            nameSpace.ObjectMethod(L"GetDefaultFolder", IID_MAPIFolder, {&kind.Get()}));
        return true;
    } catch (const COM_ERROR& error) {
        // An Outlook gone or busy beyond the run's budget is no damaged data.
        NoteOutlookAnswer(error.Error());
        if (OutlookLost()) {
            TellIfOutlookLost("SetToDefaultFolder");
            return false;
        }
        MsgBoxOK(FolderMessage(IDS_DEFAULT_FOLDER_FAILED, ComErrorText(error), folderType));
        return false;
    }
}

void FillFolderFromOutlook(OUTLOOK_FOLDER& folder, LONG folderType, DISPATCH_OBJECT outlookFolder) {
    if (!outlookFolder)
        ThrowComError(E_POINTER);
    folder.folderType = folderType;
    folder.name = outlookFolder.TextProperty(L"Name");
    folder.entryID = outlookFolder.TextProperty(L"EntryID");
    folder.storeID = outlookFolder.TextProperty(L"StoreID");
    folder.path = outlookFolder.TextProperty(L"FolderPath");
}

STRING FolderTypeName(LONG folderType) {
    switch (folderType) {
    case FOLDER_NONE:
        return "Invalid Folder Type";
    case FOLDER_DELETED_ITEMS:
        return "Deleted Items";
    case FOLDER_INBOX:
        return "Inbox";
    case FOLDER_CALENDAR:
        return "Calendar";
    case FOLDER_CONTACTS:
        return "Contacts";
    case FOLDER_NOTES:
        return "Notes";
    case FOLDER_TASKS:
        return "Tasks";
    default:
        return "??";
    }
}

void WalkFolders(const DISPATCH_OBJECT& folders, FOLDER_VISITOR visit, LONG itemType, LONG extra) {
    LONG count = folders.LongProperty(L"Count");
    for (LONG i = 1; i <= count; ++i) {
        DISPATCH_OBJECT folder;
        LONG defaultItemType = 0;
        try {
            VARIANT_VALUE index = VARIANT_VALUE::Long(i);
            folder = folders.ObjectMethod(L"Item", IID_MAPIFolder, {&index.Get()});
            if (!folder)
                ThrowComError(E_POINTER);
            defaultItemType = folder.LongProperty(L"DefaultItemType");
        } catch (const COM_ERROR& error) {
            // One folder's failure leaves the others to do; a lost Outlook
            // leaves none.
            StopIfOutlookLost(error, "WalkFolders");
            continue;
        }
        if (defaultItemType == itemType) {
            try {
                STRING entryID = folder.TextProperty(L"EntryID");
                STRING storeID = folder.TextProperty(L"StoreID");
                visit(storeID, entryID, extra);
            } catch (const COM_ERROR& error) {
                StopIfOutlookLost(error, "WalkFolders");
            }
        }
        try {
            DISPATCH_OBJECT subfolders = folder.ObjectProperty(L"Folders", IID__Folders);
            if (subfolders && subfolders.LongProperty(L"Count") > 0)
                WalkFolders(subfolders, visit, itemType, extra);
        } catch (const COM_ERROR& error) {
            StopIfOutlookLost(error, "WalkFolders");
        }
    }
}

DISPATCH_OBJECT FolderItems(const DISPATCH_OBJECT& folder) {
    if (!folder)
        ThrowComError(E_POINTER);
    DISPATCH_OBJECT items = folder.ObjectProperty(L"Items", IID__Items);
    if (!items)
        ThrowComError(E_POINTER);
    return items;
}
