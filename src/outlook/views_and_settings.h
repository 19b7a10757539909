// Removal of the product's views and settings item from the Tasks folder.
#pragma once

#include "outlook/outlook_folders.h"

class OUTLOOK_VIEW {
public:
    // Deletes the default Tasks folder's view of that name when it exists;
    // false when an automation error ended the attempt.
    static bool DeleteView(const STRING& viewName);
};

void DeleteOrvalithViews();
// The folder's view of that name, or none.
DISPATCH_OBJECT GetFolderView(OUTLOOK_FOLDER& folder, const STRING& viewName, const STRING& caller);
// Deletes the settings storage item and the settings task item; never throws.
void DeleteSettingsTask();
