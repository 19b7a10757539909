#include "outlook/views_and_settings.h"

#include "outlook/outlook_connection.h"
#include "outlook/outlook_ids.h"

namespace {

const char* const SETTINGS_NAME = "Orvalith Settings";
// Outlook's olIdentifyBySubject: the settings item is known by its subject.
// (For a subject it does not know, Outlook makes a new, unsaved item, whose
// deletion changes nothing.)
const LONG IDENTIFY_BY_SUBJECT = 1;

} // namespace

bool OUTLOOK_VIEW::DeleteView(const STRING& viewName, int* deleted) {
    try {
        OUTLOOK_FOLDER folder;
        // On failure message 65 has been shown; the lookup below tells the rest.
        SetToDefaultFolder(folder, FOLDER_TASKS);
        DISPATCH_OBJECT view = GetFolderView(folder, viewName, "OUTLOOK_VIEW::DeleteView");
        if (view) {
            view.Method(L"Delete");
            if (deleted)
                ++*deleted;
        }
        return true;
    } catch (const COM_ERROR&) {
        return false;
    }
}

int DeleteOrvalithViews() {
    int deleted = 0;
    OUTLOOK_VIEW::DeleteView("Orvalith Nat Ord", &deleted);
    OUTLOOK_VIEW::DeleteView("Orvalith A1", &deleted);
    return deleted;
}

DISPATCH_OBJECT GetFolderView(OUTLOOK_FOLDER& folder, const STRING& viewName,
                              const STRING& caller) {
    try {
        DISPATCH_OBJECT outlookFolder = GetMAPIfolder(folder, caller);
        if (!outlookFolder)
            return DISPATCH_OBJECT();
        DISPATCH_OBJECT views = outlookFolder.ObjectProperty(L"Views", IID__Views);
        if (!views)
            return DISPATCH_OBJECT();
        VARIANT_VALUE name = VARIANT_VALUE::Text(viewName);
        return views.ObjectMethod(L"Item", IID_View, {&name.Get()});
    } catch (const COM_ERROR&) {
        // Among others: Outlook's answer when no view has that name.
        return DISPATCH_OBJECT();
    }
}

int DeleteSettingsTask() {
    int deleted = 0;
    DISPATCH_OBJECT tasks;
    try {
        DISPATCH_OBJECT nameSpace = GetMAPI("DeleteSettingsTask");
        if (!nameSpace)
            ThrowComError(E_POINTER);
        VARIANT_VALUE kind = VARIANT_VALUE::Long(FOLDER_TASKS);
        tasks = nameSpace.ObjectMethod(L"GetDefaultFolder", IID_MAPIFolder, {&kind.Get()});
        if (!tasks)
            ThrowComError(E_POINTER);
        VARIANT_VALUE identifier = VARIANT_VALUE::Text(SETTINGS_NAME);
        VARIANT_VALUE identifierType = VARIANT_VALUE::Long(IDENTIFY_BY_SUBJECT);
        DISPATCH_OBJECT storage = tasks.ObjectMethod(L"GetStorage", IID__StorageItem,
                                                     {&identifier.Get(), &identifierType.Get()});
        if (storage) {
            storage.Method(L"Delete");
            ++deleted;
        }
    } catch (...) {
    }
    try {
        DISPATCH_OBJECT items = FolderItems(tasks);
        VARIANT_VALUE name = VARIANT_VALUE::Text(SETTINGS_NAME);
        DISPATCH_OBJECT task = items.ObjectMethod(L"Item", IID__TaskItem, {&name.Get()});
        if (task) {
            task.Method(L"Delete");
            ++deleted;
        }
    } catch (...) {
    }
    return deleted;
}
