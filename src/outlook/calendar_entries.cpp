#include "outlook/calendar_entries.h"

#include "outlook/outlook_connection.h"
#include "outlook/outlook_errors.h"
#include "outlook/outlook_ids.h"

namespace {

// The user property every calendar entry of the product carries.
const char* const MARKER_PROPERTY = "@CreatedByOrvalith";
const char* const MARKER_CONDITION = ">= 0";
// The filter is built in a buffer of this many bytes.
const int FILTER_BUFFER_SIZE = 200;

// The folders of the walk under way, for the log.
std::vector<CALENDAR_REMOVAL> removals;

} // namespace

LONG OUTLOOK_ITEMS::Restrict(const STRING& property, const STRING& condition) {
    STRING filter = "[" + property + "] " + condition;
    if (filter.Length() >= FILTER_BUFFER_SIZE)
        filter.resize(FILTER_BUFFER_SIZE - 1);
    return RestrictByFilter(filter);
}

LONG OUTLOOK_ITEMS::RestrictByFilter(const STRING& filter) {
    DISPATCH_OBJECT all = FolderItems(folder_);
    VARIANT_VALUE text = VARIANT_VALUE::Text(filter);
    items_ = all.ObjectMethod(L"Restrict", IID__Items, {&text.Get()});
    all.Reset();
    if (!items_)
        ThrowComError(E_POINTER);
    return items_.LongProperty(L"Count");
}

DISPATCH_OBJECT OUTLOOK_ITEMS::Item(LONG index) {
    if (!items_)
        ThrowComError(E_POINTER);
    VARIANT_VALUE position = VARIANT_VALUE::Long(index);
    return items_.ObjectMethod(L"Item", IID__AppointmentItem, {&position.Get()});
}

std::vector<CALENDAR_REMOVAL> COMdeleteAllCalTaskEntries() {
    removals.clear();
    try {
        DISPATCH_OBJECT nameSpace = GetMAPI("COMdeleteAllCalTaskEntries");
        if (!nameSpace)
            ThrowComError(E_POINTER);
        DISPATCH_OBJECT stores = nameSpace.ObjectProperty(L"Folders", IID__Folders);
        WalkFolders(stores, DeleteCalendarEntriesInFolder, APPOINTMENT_ITEM, 0);
    } catch (...) {
        // Best effort: whatever stops the step has been shown already, and
        // the uninstall goes on without it.
    }
    return removals;
}

void DeleteCalendarEntriesInFolder(const STRING& storeID, const STRING& entryID, LONG) {
    OUTLOOK_FOLDER folder;
    folder.entryID = entryID;
    folder.storeID = storeID;
    folder.folderType = FOLDER_CALENDAR;
    CALENDAR_REMOVAL removal;
    try {
        COMdeleteCalTaskEntries(folder, &removal.removed);
    } catch (const COM_ERROR& error) {
        removal.folderPath = folder.path;
        removals.push_back(removal);
        StopIfOutlookLost(error, "COMdeleteCalTaskEntries");
        return;
    } catch (...) {
        removal.folderPath = folder.path;
        removals.push_back(removal);
        throw;
    }
    removal.folderPath = folder.path;
    removals.push_back(removal);
}

void COMdeleteCalTaskEntries(OUTLOOK_FOLDER& folder, LONG* removed) {
    DISPATCH_OBJECT nameSpace = GetMAPI("COMdeleteCalTaskEntries");
    DISPATCH_OBJECT outlookFolder = GetMAPIfolder(folder, FOLDER_NONE, "COMdeleteCalTaskEntries");
    OUTLOOK_ITEMS items(outlookFolder);
    LONG count = 0;
    try {
        count = items.Restrict(MARKER_PROPERTY, MARKER_CONDITION);
    } catch (const COM_ERROR& error) {
        // A folder that does not know the property rejects the filter.
        StopIfOutlookLost(error, "COMdeleteCalTaskEntries");
        return;
    }
    // From the last: deleted entries leave the filtered collection, and the
    // ones still to come keep their positions.
    for (LONG i = count; i >= 1; --i) {
        bool deleting = false;
        try {
            DISPATCH_OBJECT item = items.Item(i);
            if (!item)
                ThrowComError(E_POINTER);
            item.TextProperty(L"EntryID");
            deleting = true;
            item.Method(L"Delete");
            if (removed)
                ++*removed;
        } catch (const COM_ERROR& error) {
            UserAbortIfKnownError(error, "COMdeleteCalTaskEntries", STRING());
            if (!deleting)
                throw;
        }
    }
}
