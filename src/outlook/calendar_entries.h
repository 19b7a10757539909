// Removal of the product's entries from every calendar of every store.
#pragma once

#include <vector>

#include "outlook/outlook_folders.h"

// The items of one folder, filtered.
class OUTLOOK_ITEMS {
public:
    explicit OUTLOOK_ITEMS(const DISPATCH_OBJECT& folder) : folder_(folder) {}
    ~OUTLOOK_ITEMS() { items_.Reset(); }

    // Filters by "[property] condition"; the number of items matching.
    LONG Restrict(const STRING& property, const STRING& condition);
    LONG RestrictByFilter(const STRING& filter);
    // The 1-based index-th filtered item; none when it is not an appointment.
    DISPATCH_OBJECT Item(LONG index);

private:
    DISPATCH_OBJECT folder_;
    DISPATCH_OBJECT items_;
};

// How many of the product's entries went from one calendar folder.
struct CALENDAR_REMOVAL {
    STRING folderPath; // Outlook's: the store's name, then the folders
    LONG removed = 0;
};

// Every calendar folder of every store; never throws. Answers each folder
// visited with the entries removed from it.
std::vector<CALENDAR_REMOVAL> COMdeleteAllCalTaskEntries();
// The walk's visitor: one calendar folder.
void DeleteCalendarEntriesInFolder(const STRING& storeID, const STRING& entryID, LONG extra);
// The product's entries of one calendar folder, the last one first; each
// one deleted is counted in removed, when given.
void COMdeleteCalTaskEntries(OUTLOOK_FOLDER& folder, LONG* removed = nullptr);
