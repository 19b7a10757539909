// Removal of the product's program files, of the add-in deployment files
// below the program folder and of the folders once they are empty. Only the
// files named here are ever deleted; nothing is discovered on disk.
#pragma once

#include "foundation/strings.h"

// One line per program or current add-in file that was not deleted by the
// last RemoveProductFiles: the full path followed by "\n". Empty before the
// first run and after a complete removal.
const STRING& FailedFileList();
// The system's error text for the failure that the message about undeleted
// files explains: that of the last program file that failed or, when none
// failed, that of the last failed current add-in file. Empty when none failed.
const STRING& LastDeleteError();

// What the last RemoveProductFiles deleted: program and add-in files, and
// folders.
struct FILE_REMOVAL {
    int files = 0;
    int folders = 0;
};
const FILE_REMOVAL& RemovedByLastRun();

// Deletes the program files and the three generations of add-in deployment
// files, then removes, each only when empty, the add-in folders, the program
// folder, the root folder and the root folder's parent. Answers true when
// FailedFileList() is blank afterwards: a file that does not exist counts as
// removed, so only files that exist and stay are listed.
//
// A folder text that is not IsProductFolder (working_folder.h) counts as
// blank. A blank program folder would make every path a bare name at the
// root of the current drive: then the product's folders are unknown, nothing
// is deleted or listed and no folder is removed. A blank root folder removes
// neither itself nor a parent, and a parent that is a root is never removed.
bool RemoveProductFiles(const STRING& rootFolder, const STRING& programFolder);

// While set, RemoveProductFiles leaves "OrvalithUnPhase1.exe" and
// "Orvalith Uninstall.exe" (and so their folders) in place, for a second run
// from the list of installed programs.
void KeepUninstallPrograms(bool keep);

// Queues each file of FailedFileList() for deletion at the next restart,
// then the folders that held them, innermost first, up to the program
// folder, and the root folder and its parent as RemoveProductFiles would
// remove them: a queued folder goes at the restart only when it is empty
// then. Files that cannot be queued (no administrator rights) stay in
// FailedFileList(). Answers how many files and folders were queued, each
// logged.
int QueueLeftFilesForRestart(const STRING& rootFolder, const STRING& programFolder);

// Deletes folder\fileName; true when it is gone (also when it was not
// there). When a file that exists stays and report is set, the path goes
// into FailedFileList() and the system's error text into LastDeleteError().
bool DeleteProductFile(const STRING& folder, const STRING& fileName, bool report);

// Removes baseFolder\relativePath when it is empty; an empty relativePath
// names baseFolder itself.
bool RemoveFolder(const STRING& baseFolder, const STRING& relativePath);
