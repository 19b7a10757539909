// Removal of the product's views and settings item from the Tasks folder.
#pragma once

#include "outlook/outlook_folders.h"

class OUTLOOK_VIEW {
public:
    // Deletes the default Tasks folder's view of that name when it exists;
    // false when an automation error ended the attempt. A deleted view is
    // counted in deleted, when given.
    static bool DeleteView(const STRING& viewName, int* deleted = nullptr);
};

// Answers how many of the product's views were deleted.
int DeleteOrvalithViews();
// The folder's view of that name, or none.
DISPATCH_OBJECT GetFolderView(OUTLOOK_FOLDER& folder, const STRING& viewName, const STRING& caller);
// Deletes the settings storage item and the settings task item; never throws.
// Answers how many of the two were deleted.
int DeleteSettingsTask();
