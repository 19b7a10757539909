#include "app/product_files.h"

#include <algorithm>
#include <vector>
#include <windows.h>
#include <winioctl.h>

#include "app/working_folder.h"
#include "foundation/log_file.h"
#include "foundation/owned_handle.h"
#include "system/system_info.h"

namespace {

STRING failedFileList;
STRING lastDeleteError;
FILE_REMOVAL removedByLastRun;
bool keepUninstallPrograms = false;

using NAME_LIST = std::vector<const char*>;

// Files of one folder, in deletion order.
struct FILE_GROUP {
    const char* folder; // relative to the program folder, ending in a backslash
    const NAME_LIST* names;
};

// One generation of add-in deployment files: its files in deletion order and
// its folders innermost first.
struct GENERATION {
    std::vector<FILE_GROUP> files;
    NAME_LIST folders;
};

const NAME_LIST PROGRAM_FILES = {
    "Orvalith.chm",           "Orvalith.exe",         "OrvalithStrings.txt",
    "Orvalith Uninstall.exe", "OrvalithUnPhase1.exe", "OrvalithAddInHelper.exe",
};

// Generation A: the current add-in, version 5.0.72.0.
const NAME_LIST CURRENT_SETUP_FILES = {"Setup.exe", "Orvalith Outlook Add-In.vsto"};
const NAME_LIST CURRENT_VERSION_FILES = {
    "Microsoft.Office.Tools.Common.v4.0.Utilities.dll.deploy",
    "Microsoft.Office.Tools.Outlook.v4.0.Utilities.dll.deploy",
    "Orvalith Outlook Add-In.dll.deploy",
    "Orvalith Outlook Add-In.dll.manifest",
};
const NAME_LIST CURRENT_RESOURCE_FILES = {
    "Orvalith Outlook Add-In.dll.deploy",
    "Orvalith Outlook Add-In.dll.manifest",
    "Check Box Empty Task.png.deploy",
    "Check Box Empty.png.deploy",
    "Check Box Mixed Task.png.deploy",
    "Check Box Mixed.png.deploy",
    "Check Box Selected Task.png.deploy",
    "Check Box Selected.png.deploy",
    "createTaskContext.png.deploy",
    "createTaskContextPin.png.deploy",
    "openTask.gif.deploy",
    "openTaskContext.png.deploy",
    "pin.gif.deploy",
    "pinContext.png.deploy",
    "pinMix.gif.deploy",
    "pinMixContext.png.deploy",
    "pinned.gif.deploy",
    "pinnedContext.png.deploy",
    "SettingsIcon16x16.png.deploy",
    "Orvalith32.bmp.deploy",
    "OrvalithHelp16.png.deploy",
    "OrvalithHelp48.png.deploy",
    "OpenTaskFolder.png.deploy",
};

const GENERATION GENERATION_A = {
    {
        {"Orvalith Add-In\\", &CURRENT_SETUP_FILES},
        {"Orvalith Add-In\\Application Files\\Orvalith Outlook Add-In_5_0_72_0\\",
         &CURRENT_VERSION_FILES},
        {"Orvalith Add-In\\Application Files\\Orvalith Outlook Add-In_5_0_72_0\\Resources\\",
         &CURRENT_RESOURCE_FILES},
    },
    {
        "Orvalith Add-In\\Application Files\\Orvalith Outlook Add-In_5_0_72_0\\Resources",
        "Orvalith Add-In\\Application Files\\Orvalith Outlook Add-In_5_0_72_0",
        "Orvalith Add-In\\Application Files",
        "Orvalith Add-In",
    },
};

// Generations B (4.1.0.17) and C (the oldest) share their setup folders and
// their file names; only the version folders differ.
const NAME_LIST SETUP_2007_FILES = {"Setup.exe", "Orvalith AddIn 2007.vsto"};
const NAME_LIST SETUP_2010_FILES = {"Setup.exe", "Orvalith AddIn 2010.vsto"};
const NAME_LIST VERSION_2007_FILES = {
    "Microsoft.Office.Tools.Common.v4.0.Utilities.dll.deploy",
    "Microsoft.Office.Tools.Outlook.v4.0.Utilities.dll.deploy",
    "Orvalith AddIn 2007.dll.config.deploy",
    "Orvalith AddIn 2007.dll.deploy",
    "Orvalith AddIn 2007.vsto",
    "Orvalith AddIn 2007.dll.manifest",
};
const NAME_LIST VERSION_2010_FILES = {
    "Microsoft.Office.Tools.Common.v4.0.Utilities.dll.deploy",
    "Microsoft.Office.Tools.Outlook.v4.0.Utilities.dll.deploy",
    "Orvalith AddIn 2007.dll.deploy",
    "Orvalith AddIn 2010.dll.deploy",
    "Orvalith AddIn 2010.vsto",
    "Orvalith AddIn 2010.dll.manifest",
};
const NAME_LIST RESOURCE_2010_FILES = {"openTaskContext.png.deploy"};

const GENERATION GENERATION_B = {
    {
        {"Add-In 2007\\", &SETUP_2007_FILES},
        {"Add-In 2007\\Application Files\\Orvalith AddIn 2007_4_1_0_17\\", &VERSION_2007_FILES},
        {"Add-In 2010\\", &SETUP_2010_FILES},
        {"Add-In 2010\\Application Files\\Orvalith AddIn 2010_4_1_0_17\\", &VERSION_2010_FILES},
        {"Add-In 2010\\Application Files\\Orvalith AddIn 2010_4_1_0_17\\Resources\\",
         &RESOURCE_2010_FILES},
    },
    {
        "Add-In 2007\\Application Files\\Orvalith AddIn 2007_4_1_0_17",
        "Add-In 2007\\Application Files",
        "Add-In 2007",
        "Add-In 2010\\Application Files\\Orvalith AddIn 2010_4_1_0_17\\Resources",
        "Add-In 2010\\Application Files\\Orvalith AddIn 2010_4_1_0_17",
        "Add-In 2010\\Application Files",
        "Add-In 2010",
    },
};

const GENERATION GENERATION_C = {
    {
        {"Add-In 2007\\", &SETUP_2007_FILES},
        {"Add-In 2007\\Application Files\\Orvalith AddIn 2007_4_0_0_0\\", &VERSION_2007_FILES},
        {"Add-In 2010\\", &SETUP_2010_FILES},
        {"Add-In 2010\\Application Files\\Orvalith AddIn 2010_1_0_0_0\\", &VERSION_2010_FILES},
    },
    {
        "Add-In 2007\\Application Files\\Orvalith AddIn 2007_4_0_0_0",
        "Add-In 2007\\Application Files",
        "Add-In 2007",
        "Add-In 2010\\Application Files\\Orvalith AddIn 2010_1_0_0_0",
        "Add-In 2010\\Application Files",
        "Add-In 2010",
    },
};

// Deletes folder\name. A blank folder would turn the path into a bare name at
// the root of the current drive, where a file of the same name is not ours:
// such a path is treated as one that does not exist. On failure, error is the
// system's code.
bool DeleteFileIn(const STRING& folder, const STRING& name, DWORD& error) {
    if (folder.IsBlank()) {
        error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    const STRING path = folder.WithTrailingBackslash() + name;
    if (!FitsPathLimit(path)) {
        Log.Printf("RemoveProductFiles: \"%s\" is longer than a path may be, so it is left\r\n",
                   path.c_str());
        error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    if (DeleteFileA(path.c_str())) {
        ++removedByLastRun.files;
        return true;
    }
    error = GetLastError();
    return false;
}

// A link: a reparse point that stands for another name (a junction, a mount
// point, a symbolic link). A cloud placeholder or a deduplicated file or
// folder is a reparse point too, but holds its own content: it is removed
// as any other. One whose tag cannot be read is taken as a link.
bool IsLink(const STRING& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    OWNED_HANDLE file(
        CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    // The largest reparse data there is; its first DWORD is the tag.
    DWORD data[MAXIMUM_REPARSE_DATA_BUFFER_SIZE / sizeof(DWORD)];
    DWORD size = 0;
    if (!file.Valid() ||
        !DeviceIoControl(file.Get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data, sizeof(data), &size,
                         nullptr) ||
        size < sizeof(DWORD))
        return true;
    return IsReparseTagNameSurrogate(data[0]);
}

// Whether a folder on the way from baseFolder to baseFolder\relative, the
// last included, is a reparse point (a junction, or a link to a folder
// elsewhere): what lies there belongs to its target, not to the product, so
// it is neither entered nor removed. An empty relative names baseFolder
// itself.
bool ReachedThroughReparsePoint(const STRING& baseFolder, const STRING& relative) {
    STRING path = baseFolder.WithoutTrailingBackslash();
    size_t from = 0;
    do {
        int separator = relative.FindSeparator(static_cast<int>(from));
        size_t end = separator < 0 ? relative.size() : static_cast<size_t>(separator);
        if (end > from)
            path += "\\" + relative.substr(from, end - from);
        if ((end > from || relative.empty()) && IsLink(path)) {
            Log.Printf("RemoveProductFiles: \"%s\" is a junction or link, so nothing in it is "
                       "removed\r\n",
                       path.c_str());
            return true;
        }
        from = end + 1;
    } while (from < relative.size());
    return false;
}

// A file that is not there is as good as deleted: a second run, or one after
// a run that was cut short, must not report what is already gone. A drive
// or share that is not there (unplugged, not connected) holds what it held.
bool IsGone(DWORD error, const STRING& folder) {
    return error == ERROR_FILE_NOT_FOUND ||
           (error == ERROR_PATH_NOT_FOUND && !IsOnMissingVolume(folder));
}

// Deletes name in folder; a file that exists and stays goes into failedList
// and errorText when report is set.
bool DeleteAndRecord(const STRING& folder, const STRING& name, bool report, STRING& failedList,
                     STRING& errorText) {
    DWORD error = ERROR_SUCCESS;
    if (DeleteFileIn(folder, name, error) || IsGone(error, folder))
        return true;
    if (report) {
        failedList += folder.WithTrailingBackslash() + name + STR_LF;
        errorText = GetSystemErrorText(error);
    }
    return false;
}

// One generation of deployment files below the program folder, collecting
// its own failures when it reports them.
class ADDIN_DEPLOYMENT {
public:
    ADDIN_DEPLOYMENT(const GENERATION& generation, const STRING& baseFolder, bool report)
        : generation_(generation), baseFolder_(baseFolder), report_(report) {}

    bool DeleteFile(const STRING& relativePath) {
        return DeleteAndRecord(baseFolder_, relativePath, report_, failedList_, lastError_);
    }

    // Folders go only when empty, so a folder shared with another generation
    // stays until that generation's files are gone too.
    void Remove(bool keepFolders) {
        for (const FILE_GROUP& group : generation_.files) {
            if (ReachedThroughReparsePoint(baseFolder_, group.folder))
                continue;
            for (const char* name : *group.names)
                DeleteFile(STRING(group.folder) + name);
        }
        if (keepFolders)
            return;
        for (const char* folder : generation_.folders)
            RemoveFolder(baseFolder_, folder);
    }

    const STRING& FailedList() const { return failedList_; }
    const STRING& LastError() const { return lastError_; }

private:
    const GENERATION& generation_;
    STRING baseFolder_;
    bool report_;
    STRING failedList_;
    STRING lastError_;
};

// The programs that the uninstall entry runs, kept while a second run is
// needed.
bool IsKeptUninstallProgram(const char* name) {
    return keepUninstallPrograms && (lstrcmpiA(name, "OrvalithUnPhase1.exe") == 0 ||
                                     lstrcmpiA(name, "Orvalith Uninstall.exe") == 0);
}

// The folder above folder, whether or not folder ends with a separator; the
// empty text when it has no separator.
STRING ParentFolder(const STRING& folder) {
    STRING path = folder.WithoutTrailingBackslash();
    int at = path.FindLastSeparator();
    return at < 0 ? STRING() : path.Left(at);
}

} // namespace

const STRING& FailedFileList() {
    return failedFileList;
}

const STRING& LastDeleteError() {
    return lastDeleteError;
}

const FILE_REMOVAL& RemovedByLastRun() {
    return removedByLastRun;
}

void KeepUninstallPrograms(bool keep) {
    keepUninstallPrograms = keep;
}

bool DeleteProductFile(const STRING& folder, const STRING& fileName, bool report) {
    return DeleteAndRecord(folder, fileName, report, failedFileList, lastDeleteError);
}

bool RemoveFolder(const STRING& baseFolder, const STRING& relativePath) {
    // A blank base would name a folder at the root of the current drive.
    if (baseFolder.IsBlank())
        return false;
    // Removing a junction would take it from whatever its target holds.
    if (ReachedThroughReparsePoint(baseFolder, relativePath.WithoutTrailingBackslash()))
        return false;
    STRING path = baseFolder.WithTrailingBackslash() + relativePath.WithoutTrailingBackslash();
    if (!FitsPathLimit(path) || !RemoveDirectoryA(path.c_str()))
        return false;
    ++removedByLastRun.folders;
    return true;
}

bool RemoveProductFiles(const STRING& rootFolderText, const STRING& programFolderText) {
    failedFileList.clear();
    lastDeleteError.clear();
    removedByLastRun = FILE_REMOVAL();
    // A text that names no folder below a root counts as blank.
    auto usable = [](const STRING& text) {
        return text.IsBlank() || IsProductFolder(text) ? text : STRING();
    };
    const STRING programFolder = usable(programFolderText);
    const STRING rootFolder = usable(rootFolderText);
    // Without a program folder nothing is known to be ours: nothing to remove,
    // nothing to report.
    if (programFolder.IsBlank()) {
        Log.Line("RemoveProductFiles: the product's folders are unknown, so nothing is removed");
        return true;
    }

    for (const char* name : PROGRAM_FILES) {
        if (!IsKeptUninstallProgram(name))
            DeleteProductFile(programFolder, name, true);
    }

    ADDIN_DEPLOYMENT current(GENERATION_A, programFolder, true);
    ADDIN_DEPLOYMENT previous(GENERATION_B, programFolder, false);
    ADDIN_DEPLOYMENT oldest(GENERATION_C, programFolder, false);
    current.Remove(false);
    previous.Remove(false);
    oldest.Remove(false);

    failedFileList += current.FailedList();
    if (lastDeleteError.empty())
        lastDeleteError = current.LastError();

    RemoveFolder(programFolder, STRING());
    RemoveFolder(rootFolder, STRING());
    STRING parent = ParentFolder(rootFolder);
    if (IsProductFolder(parent))
        RemoveFolder(parent, STRING());
    return failedFileList.IsBlank();
}

int QueueLeftFilesForRestart(const STRING& rootFolder, const STRING& programFolder) {
    if (!IsProductFolder(programFolder))
        return 0;
    const STRING program = programFolder.WithoutTrailingBackslash();
    auto queue = [](const STRING& path) {
        if (!MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
            return false;
        Log.Printf("Queued for deletion at the next restart: \"%s\"\r\n", path.c_str());
        return true;
    };
    int queued = 0;
    STRING stillFailed;
    std::vector<STRING> folders;
    STRING list = failedFileList;
    for (size_t start = 0; start < list.size();) {
        size_t end = list.find('\n', start);
        if (end == STRING::npos)
            end = list.size();
        STRING file = list.substr(start, end - start);
        start = end + 1;
        // Only what RemoveProductFiles listed below the program folder.
        if (file.IsBlank() || !IsInFolder(file, program) || !queue(file)) {
            if (!file.IsBlank())
                stillFailed += file + STR_LF;
            continue;
        }
        ++queued;
        for (STRING folder = ParentFolder(file);
             folder.size() > program.size() && IsInFolder(folder, program);
             folder = ParentFolder(folder)) {
            if (std::find(folders.begin(), folders.end(), folder) == folders.end())
                folders.push_back(folder);
        }
    }
    failedFileList = stillFailed;
    if (queued == 0)
        return 0;
    // A longer path below the program folder never holds a shorter one.
    std::stable_sort(folders.begin(), folders.end(),
                     [](const STRING& a, const STRING& b) { return a.size() > b.size(); });
    folders.push_back(program);
    // The root folder and its parent, as RemoveProductFiles removes them.
    STRING root = rootFolder.WithoutTrailingBackslash();
    if (IsProductFolder(root)) {
        if (!IsInFolder(root, program) || !IsInFolder(program, root))
            folders.push_back(root);
        if (IsProductFolder(ParentFolder(root)))
            folders.push_back(ParentFolder(root));
    }
    for (const STRING& folder : folders) {
        if (GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES && queue(folder))
            ++queued;
    }
    return queued;
}
