// A uniquely named folder under the temporary folder, deleted with all its
// contents when the object goes.
#pragma once

#include "foundation/strings.h"

class TEMP_FOLDER {
public:
    TEMP_FOLDER();
    ~TEMP_FOLDER();
    TEMP_FOLDER(const TEMP_FOLDER&) = delete;
    TEMP_FOLDER& operator=(const TEMP_FOLDER&) = delete;

    // Without a trailing backslash.
    const STRING& Path() const { return path_; }
    STRING File(const STRING& name) const { return path_ + "\\" + name; }

private:
    STRING path_;
};

// Deletes a folder and everything in it; true when it is gone.
bool DeleteFolderTree(const STRING& path);
