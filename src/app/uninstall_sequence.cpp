#include "app/uninstall_sequence.h"

#include <algorithm>
#include <vector>

#include "addins/addin_uninstall.h"
#include "addins/restore_point.h"
#include "app/application.h"
#include "app/product_files.h"
#include "app/progress_dialog.h"
#include "app/registry_entries.h"
#include "app/shortcuts.h"
#include "app/working_folder.h"
#include "foundation/error_code.h"
#include "foundation/log_file.h"
#include "foundation/messages.h"
#include "foundation/owned_handle.h"
#include "foundation/registry.h"
#include "foundation/resource_strings.h"
#include "foundation/windows_version.h"
#include "outlook/calendar_entries.h"
#include "outlook/outlook_connection.h"
#include "outlook/outlook_errors.h"
#include "outlook/views_and_settings.h"
#include "resources/resource_ids.h"
#include "system/communications_window.h"
#include "system/files_left.h"
#include "system/pause.h"

namespace {

const char* const STAGE_KEY = "Software\\Brindlecove\\Orvalith\\1.0";
const char* const STAGE_VALUE = "uStage";
const char* const PER_USER_KEY = "Software\\Brindlecove";

// What an interrupted run leaves in "uStage": 2 once the run has begun, 3
// once the add-in step has started, 16 once Outlook was loaded, 15 once the
// files, registry entries and shortcuts are done.
const DWORD STAGE_STARTED = 2;
const DWORD STAGE_ADDIN = 3;
const DWORD STAGE_OUTLOOK_LOADED = 16;
const DWORD STAGE_SETTINGS = 15;

const DWORD DIALOG_APPEAR_MS = 10000;
const DWORD DIALOG_END_MS = 15000;
const DWORD HELPER_CLOSE_MS = 300;
const DWORD STEP_SETTLE_MS = 1000;

const char* const ADDIN_NAME = "Orvalith Outlook Add-In";
const char* const ADDIN_DISPLAY_NAME = "Orvalith v5 Outlook Add-In";
const char* const HELPER_CLASS = "@ORVALITHADDINHELPERCLASS@";
const char* const HELPER_TITLE = "@ORVALITHADDINHELPERTITLE@";

// Waits for the dialog thread's signal. The dialog's thread may send this
// thread's windows a message while it starts or ends (activation, for
// one); those are answered meanwhile, so that neither thread waits for the
// other. Posted messages stay queued.
void WaitForProgressEvent(HANDLE progressEvent, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD waited = GetTickCount() - start;
        if (waited >= timeoutMs)
            return;
        DWORD answer =
            MsgWaitForMultipleObjects(1, &progressEvent, FALSE, timeoutMs - waited, QS_SENDMESSAGE);
        if (answer != WAIT_OBJECT_0 + 1)
            return;
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

// The progress dialog's rows, in the log too: a quiet run has no dialog, and
// a support person reads the log, not the screen.
struct ROW {
    int label;
    int result;
    const char* words;
};
const ROW ROWS[] = {
    {IDC_LABEL_RESTORE_POINT, IDC_RESULT_RESTORE_POINT, "Creating system restore point"},
    {IDC_LABEL_ADDIN, IDC_RESULT_ADDIN, "Uninstalling Orvalith Add-In"},
    {IDC_LABEL_CALENDAR, IDC_RESULT_CALENDAR, "Removing any calendar task entries"},
    {IDC_LABEL_PROGRAM_FILES, IDC_RESULT_PROGRAM_FILES, "Removing program files"},
    {IDC_LABEL_REGISTRY, IDC_RESULT_REGISTRY, "Removing registry entries"},
    {IDC_LABEL_SHORTCUTS, IDC_RESULT_SHORTCUTS, "Removing Start menu link"},
    {IDC_LABEL_SETTINGS, IDC_RESULT_SETTINGS, "Removing Orvalith dialog settings"},
};

const char* RowWords(int id) {
    for (const ROW& row : ROWS) {
        if (row.label == id || row.result == id)
            return row.words;
    }
    return "?";
}

// Rows that read "Failed!": the dialog keeps that text when they are later
// marked done.
std::vector<int> failedRows;

void RowShown(int labelId) {
    StepShown(labelId);
    Log.Printf("Step started: %s\r\n", RowWords(labelId));
}

void RowStarted(int labelId) {
    StepStarted(labelId);
    Log.Printf("Step started: %s\r\n", RowWords(labelId));
}

void RowDone(int resultId) {
    StepDone(resultId);
    if (std::find(failedRows.begin(), failedRows.end(), resultId) == failedRows.end())
        Log.Printf("Step ended: %s: Done\r\n", RowWords(resultId));
}

void RowFailed(int resultId) {
    StepFailed(resultId);
    failedRows.push_back(resultId);
    Log.Printf("Step ended: %s: %s\r\n", RowWords(resultId), LoadStr(IDS_FAILED).c_str());
}

void LogCalendarRemovals(const std::vector<CALENDAR_REMOVAL>& removals) {
    LONG total = 0;
    for (const CALENDAR_REMOVAL& removal : removals) {
        // Outlook's folder path starts with two backslashes and the store's name.
        STRING path = removal.folderPath, store, folder;
        while (path.IsSeparatorAt(0))
            path.erase(0, 1);
        int at = path.FindSeparator();
        if (at >= 0) {
            store = path.Left(at);
            folder = path.From(at + 1);
        } else {
            folder = path;
        }
        Log.Printf("Removed %ld calendar entries from folder \"%s\" of store \"%s\"\r\n",
                   static_cast<long>(removal.removed), folder.c_str(), store.c_str());
        total += removal.removed;
    }
    Log.Printf("Removed %ld calendar entries in all, from %d calendar folders\r\n",
               static_cast<long>(total), static_cast<int>(removals.size()));
}

void WriteStage(DWORD stage) {
    WriteDwordAt(HKEY_CURRENT_USER, STAGE_KEY, STAGE_VALUE, stage);
}

// Steps whose failures must not end the run: whatever they leave behind is
// reported by the files step, and nothing later depends on them.
template <typename WORK> void Swallowing(WORK work) {
    try {
        work();
    } catch (...) {
    }
}

struct FOLDERS {
    STRING program;
    STRING root;
};

// A folder the registry names as the code page cannot hold it is reached
// as a user's folder is (system_info.h). One out of reach stays blank, so
// that nothing in it is taken as gone, and is listed as left.
bool OutOfReach(const USER_FOLDER& folder, const char* valueName, bool alreadyListed) {
    if (!folder.Unreachable())
        return false;
    Log.Printf("App Paths \"%s\" names a folder this program cannot reach: %s\r\n", valueName,
               GetSystemErrorText(folder.unreachableBecause).c_str());
    if (!alreadyListed)
        CountLeftIn(folder, STRING(), folder.unreachableBecause);
    return true;
}

// The user's App Paths entry names the folders; the computer's part alone,
// which may run under an account without the user's entries, reads the
// computer's entry when the user's names none.
FOLDERS ReadFolders(const STRING& rootFolderArgument, bool machinePartAlone) {
    FOLDERS folders;
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (!folders.program.IsBlank() || (hive == HKEY_LOCAL_MACHINE && !machinePartAlone))
            break;
        REG_KEY appPaths;
        if (!appPaths.Open(hive, PRODUCT_APP_PATHS_KEY, REG_MODE_READ))
            continue;
        USER_FOLDER program = UserFolderFromWide(appPaths.ReadWideString(L"Path"));
        USER_FOLDER root = UserFolderFromWide(appPaths.ReadWideString(L"RootPath"));
        folders.program = program.path;
        folders.root = root.path;
        bool programOutOfReach = OutOfReach(program, "Path", false);
        // Neither is replaced by a folder that may not be the product's.
        if (OutOfReach(root, "RootPath", programOutOfReach && root.wide == program.wide) ||
            programOutOfReach)
            return folders;
    }
    if (folders.root.IsBlank())
        folders.root = rootFolderArgument;
    if (folders.program.IsBlank())
        folders.program = folders.root;
    return folders;
}

// What a person needs to run the uninstall again, from the list of
// installed programs, when Outlook kept some of the product's data: the
// uninstall entry, the App Paths entries that tell the folders, and the two
// programs the entry runs.
void KeepForSecondRun() {
    KeepUninstallPrograms(true);
    Log.Line("Orvalith's data could not all be removed from Outlook: its uninstall entry, its "
             "App Paths entries, \"OrvalithUnPhase1.exe\" and \"Orvalith Uninstall.exe\" are "
             "kept, so that the uninstall can be run again once Outlook is back");
}

// Everything between the first stage and the end of the restore point;
// throws what ends the run.
void RemoveEverything(const FOLDERS& folders, DWORD previousStage, const RUN_MODE& mode,
                      UNINSTALL_RESULT& outcome, bool& outlookDataLeft) {
    const bool partial = mode.partial;
    // The helper runs in the user's session, where only the user's part looks.
    if (mode.UserPart()) {
        CloseAddInHelper();
        Pause(HELPER_CLOSE_MS);
        CloseAddInHelper();
    }

    // A stored stage of 2 means an earlier run stopped right after it
    // began: its restore point is still open, so none is begun again.
    if (mode.MachinePart() && previousStage != STAGE_STARTED && IsXPOrLater()) {
        RowShown(IDC_LABEL_RESTORE_POINT);
        if (!partial) {
            BeginRestorePoint();
            if (RestorePointSequenceNumber() >= 0)
                Log.Printf("Restore point begun, sequence number %ld\r\n",
                           static_cast<long>(RestorePointSequenceNumber()));
            else
                Log.Line("Restore point: none could be begun");
        }
        RowDone(IDC_RESULT_RESTORE_POINT);
    }

    if (mode.UserPart()) {
        WriteStage(STAGE_ADDIN);
        RowStarted(IDC_LABEL_ADDIN);
        if (!UninstallAddIn(ProgressDialogWindow(), ADDIN_NAME, ADDIN_DISPLAY_NAME,
                            LoadStr(IDS_APP_TITLE), mode.Quiet(), &outcome.addInCancelled)) {
            RowFailed(IDC_RESULT_ADDIN);
            throw ERR_FATAL;
        }
        RowDone(IDC_RESULT_ADDIN);

        LoadOutlook();
        WriteStage(STAGE_OUTLOOK_LOADED);
        RowStarted(IDC_LABEL_CALENDAR);
        int knownFailures = KnownOutlookFailures();
        LogCalendarRemovals(COMdeleteAllCalTaskEntries());
        TellIfOutlookLost("COMdeleteAllCalTaskEntries");
        // Entries left in Outlook need this program again, once Outlook is back.
        outlookDataLeft = OutlookLost() || KnownOutlookFailures() > knownFailures;
        if (outlookDataLeft) {
            RowFailed(IDC_RESULT_CALENDAR);
            KeepForSecondRun();
        }
        RowDone(IDC_RESULT_CALENDAR);

        if (mode.MachinePart())
            RowStarted(IDC_LABEL_PROGRAM_FILES);
        CloseAddInHelper();
        Pause(HELPER_CLOSE_MS);
    }

    bool filesFailed = false;
    Swallowing([&] {
        if (!mode.MachinePart())
            return;
        if (!mode.UserPart())
            RowStarted(IDC_LABEL_PROGRAM_FILES);
        // The first phase of the uninstall may have started us inside the
        // program folder, which could then not be removed.
        LeaveFolders(folders.root, folders.program);
        bool removed = RemoveProductFiles(folders.root, folders.program);
        // Files in use go at the next restart, as installers leave them.
        if (!removed && !partial && mode.administrator) {
            outcome.queuedForRestart = QueueLeftFilesForRestart(folders.root, folders.program);
            removed = FailedFileList().IsBlank();
            if (outcome.queuedForRestart > 0)
                Log.Printf("%d files and folders wait for a restart to be deleted\r\n",
                           outcome.queuedForRestart);
        }
        Log.Printf("Removed %d files and %d folders; not removed: %s\r\n", RemovedByLastRun().files,
                   RemovedByLastRun().folders, removed ? "none" : FailedFileList().c_str());
        if (!removed && !partial) {
            filesFailed = true;
            RowFailed(IDC_RESULT_PROGRAM_FILES);
            MsgBoxOK(LoadStr(IDS_FILES_NOT_DELETED) + FailedFileList() + "\n\n" +
                     LastDeleteError());
        }
        RowDone(IDC_RESULT_PROGRAM_FILES);
    });
    Swallowing([&] {
        RowStarted(IDC_LABEL_REGISTRY);
        Pause(STEP_SETTLE_MS);
        REGISTRY_REMOVAL registry;
        if (!outlookDataLeft)
            registry = RemoveRegistryEntries(mode.MachinePart(), mode.UserPart());
        else if (mode.MachinePart())
            registry = RemoveRegistryEntriesButUninstall();
        Log.Printf("Removed %d registry keys and %d registry values\r\n", registry.keys,
                   registry.values);
    });
    Swallowing([&] {
        RowDone(IDC_RESULT_REGISTRY);
        RowStarted(IDC_LABEL_SHORTCUTS);
        Pause(STEP_SETTLE_MS);
        SHORTCUT_REMOVAL shortcuts;
        RemoveShortcutsFor(mode.MachinePart(), mode.UserPart(), &shortcuts);
        Log.Printf("Removed %d shortcuts and %d Start-menu folders\r\n", shortcuts.shortcuts,
                   shortcuts.folders);
        RowDone(IDC_RESULT_SHORTCUTS);
    });
    // Files in a user's folder that this program cannot name, or at a path
    // too long for it, were never tried: told as files not deleted.
    if (!FilesLeftUnreached().empty()) {
        Log.Printf("Not removed, as they cannot be reached: %s\r\n", FilesLeftUnreached().c_str());
        if (!partial) {
            filesFailed = true;
            RowFailed(IDC_RESULT_SHORTCUTS);
            MsgBoxOK(LoadStr(IDS_FILES_NOT_DELETED) + FilesLeftUnreached() + "\n\n" +
                     FilesLeftReason());
        }
    }

    if (mode.UserPart()) {
        WriteStage(STAGE_SETTINGS);
        RowStarted(IDC_LABEL_SETTINGS);
        int knownFailures = KnownOutlookFailures();
        if (OutlookLost()) {
            Log.Line("Outlook is gone or stays busy: the settings item and the views are not "
                     "asked for");
        } else {
            try {
                Log.Printf("Removed %d settings items\r\n", DeleteSettingsTask());
                Log.Printf("Removed %d views\r\n", DeleteOrvalithViews());
            } catch (ERROR_CODE) {
                // The user has been told; the run goes on to its end.
            }
            TellIfOutlookLost("DeleteSettingsTask");
        }
        if (OutlookLost() || KnownOutlookFailures() > knownFailures) {
            outlookDataLeft = true;
            RowFailed(IDC_RESULT_SETTINGS);
        }
        RowDone(IDC_RESULT_SETTINGS);

        ReleaseOutlook();
        CloseOutlookWindows();
    }

    if (mode.MachinePart() && IsXPOrLater() && !partial)
        EndRunRestorePoint();
    if (!partial && filesFailed) {
        outcome.filesLeft = true;
        MessageOkById(IDS_NOT_ALL_REMOVED);
    }
}

} // namespace

void EndRunRestorePoint() {
    bool begun = RestorePointSequenceNumber() >= 0;
    EndRestorePoint();
    if (begun)
        Log.Line("Restore point ended");
}

bool CloseAddInHelper() {
    if (!GetCommunicationsWindow(HELPER_CLASS, HELPER_TITLE))
        return false;
    CloseCommunicationsWindow(HELPER_CLASS, HELPER_TITLE);
    return true;
}

bool CloseOutlookWindows() {
    VECTOR<HWND> windows;
    if (!FindOutlookWindows(windows))
        return false;
    for (int i = 0; i < windows.Count(); ++i)
        PostMessageA(windows[i], WM_CLOSE, 0, 0);
    return true;
}

UNINSTALL_RESULT RunUninstall(HINSTANCE instance, const STRING& rootFolderArgument,
                              const RUN_MODE& mode) {
    if (!Application.instance)
        Application.instance = instance;
    failedRows.clear();
    ForgetFilesLeft();
    ForgetOutlookFailures();
    UNINSTALL_RESULT outcome;
    OWNED_HANDLE event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    SetProgressPartialFlag(mode.partial);
    // Nobody watches a quiet run: it shows no dialog.
    bool dialog = !mode.Quiet();
    if (dialog && StartProgressDialogThread(event.Get()))
        WaitForProgressEvent(event.Get(), DIALOG_APPEAR_MS);

    FOLDERS folders = ReadFolders(rootFolderArgument, !mode.UserPart());
    // The stage is the user's: the computer's part alone, perhaps under an
    // account of its own, neither reads nor writes it.
    DWORD previousStage = 0;
    if (mode.UserPart()) {
        previousStage = ReadDwordAt(HKEY_CURRENT_USER, STAGE_KEY, STAGE_VALUE, 0);
        WriteStage(STAGE_STARTED);
    }

    bool outlookDataLeft = false;
    try {
        RemoveEverything(folders, previousStage, mode, outcome, outlookDataLeft);
        // Outlook kept some of the product's data: the run is to be made again.
        if (outlookDataLeft)
            MessageOkById(IDS_UNINSTALL_UNSUCCESSFUL);
        else
            outcome.completed = true;
    } catch (...) {
        // A restore point begun is ended however the run ends.
        EndRunRestorePoint();
        MessageOkById(IDS_UNINSTALL_UNSUCCESSFUL);
    }
    KeepUninstallPrograms(false);

    if (dialog) {
        // A dialog that appeared only after the first wait gave up left its
        // first signal pending; the wait below is for the dialog's end.
        ResetEvent(event.Get());
        CloseProgressDialog();
        WaitForProgressEvent(event.Get(), DIALOG_END_MS);
    }
    event.Reset();

    if (mode.UserPart()) {
        ReleaseOutlook();
        bool settingsDeleted = DeleteKeyTree(HKEY_CURRENT_USER, PER_USER_KEY);
        Log.Printf("Per-user settings \"HKEY_CURRENT_USER\\%s\": %s\r\n", PER_USER_KEY,
                   settingsDeleted ? "deleted" : "could not be deleted");
    }
    return outcome;
}

BYTE RunUninstall(HINSTANCE instance, const STRING& rootFolderArgument, bool partial,
                  bool* filesLeft) {
    RUN_MODE mode;
    mode.partial = partial;
    UNINSTALL_RESULT outcome = RunUninstall(instance, rootFolderArgument, mode);
    if (filesLeft)
        *filesLeft = outcome.filesLeft;
    return outcome.completed ? 0 : 1;
}
