// The whole uninstall run in this process: real files in a temporary folder,
// real keys, the real progress dialog on its own thread, the stand-in
// restore-point library and scripted answers to every message.
#include <gtest/gtest.h>

#include <objbase.h>

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "addins/restore_point.h"
#include "app/application.h"
#include "app/progress_dialog.h"
#include "app/registry_entries.h"
#include "app/uninstall_sequence.h"
#include "foundation/owned_handle.h"
#include "resources/resource_ids.h"
#include "system/pause.h"
#include "system/system_info.h"
#include "testkit/fake_srclient/system_srclient.h"
#include "testkit/outlook_double/fake_outlook.h"
#include "testkit/product_layout.h"
#include "testkit/scripted_presenter.h"
#include "testkit/temp_folder.h"
#include "testkit/test_registry.h"
#include "testkit/ui_driver.h"
#include "testkit/version_guard.h"
#include "../addins/addin_test_support.h"

namespace {

using STRINGS = std::vector<std::string>;

const char* const STAGE_KEY = "Software\\Brindlecove\\Orvalith\\1.0";
const char* const PER_USER_KEY = "Software\\Brindlecove";
const char* const HELPER_CLASS = "@ORVALITHADDINHELPERCLASS@";
const char* const HELPER_TITLE = "@ORVALITHADDINHELPERTITLE@";
const std::string TITLE = "Orvalith Uninstall Progress";
const std::string PARTIAL_TITLE = "Undoing Orvalith Setup";
const char* const UNSUCCESSFUL = "Orvalith Uninstall was unsuccessful.";
const std::string BEGIN = "event=100 type=0 sequence=0 description=\"Removed Orvalith\" answer=1 "
                          "assigned=7341";
const std::string END = "event=101 type=0 sequence=7341 description=\"Removed Orvalith\" "
                        "answer=1 assigned=7341";

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// One row as the user sees it: label shown, label black (not grey), result
// shown, result text.
using ROW = std::tuple<bool, bool, bool, std::string>;
using ROWS = std::vector<ROW>;
const ROW GREY{true, false, false, "Done"};
// The restore-point row is hidden rather than grey until its step runs.
const ROW HIDDEN{false, true, false, "Done"};
const ROW RUNNING{true, true, false, "Done"};
const ROW DONE{true, true, true, "Done"};
const ROW FAILED{true, true, true, "Failed!"};

const int ROW_IDS[][2] = {
    {IDC_LABEL_RESTORE_POINT, IDC_RESULT_RESTORE_POINT},
    {IDC_LABEL_ADDIN, IDC_RESULT_ADDIN},
    {IDC_LABEL_CALENDAR, IDC_RESULT_CALENDAR},
    {IDC_LABEL_PROGRAM_FILES, IDC_RESULT_PROGRAM_FILES},
    {IDC_LABEL_REGISTRY, IDC_RESULT_REGISTRY},
    {IDC_LABEL_SHORTCUTS, IDC_RESULT_SHORTCUTS},
    {IDC_LABEL_SETTINGS, IDC_RESULT_SETTINGS},
};

// A null window would stand for the whole desktop: without a dialog, every
// row reads as hidden, grey and blank.
ROWS ReadRows(HWND dialog) {
    ROWS rows;
    for (const auto& ids : ROW_IDS) {
        HWND label = dialog ? GetDlgItem(dialog, ids[0]) : nullptr;
        HWND result = dialog ? GetDlgItem(dialog, ids[1]) : nullptr;
        char text[64] = "";
        if (result)
            GetWindowTextA(result, text, sizeof(text));
        rows.emplace_back(IsWindowVisible(label) != FALSE, IsWindowEnabled(label) != FALSE,
                          IsWindowVisible(result) != FALSE, text);
    }
    return rows;
}

// The dialog and the stage at the moment a message showed.
struct MOMENT {
    std::string message;
    UINT type;
    HWND dialog;
    bool dialogVisible;
    std::string title;
    ROWS rows;
    DWORD stage; // 0 when absent
    bool helperWindow;
};

// A window of this thread, of a class registered here with proc: a
// message-only one below HWND_MESSAGE, else a top-level one.
HWND MakeWindow(const char* className, const char* title, WNDPROC proc, HWND parent) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, className, title, parent ? 0 : WS_POPUP, 0, 0, 10, 10, parent,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

// The add-in helper's hidden window, made by this thread as the helper
// program would. It goes when asked to close, unless told to stay; every
// request runs onClose first, at that moment of the run.
struct HELPER_WINDOW {
    explicit HELPER_WINDOW(bool stay)
        : window(MakeWindow(HELPER_CLASS, HELPER_TITLE, Proc, HWND_MESSAGE)) {
        stays = stay;
        requests = 0;
    }
    ~HELPER_WINDOW() {
        if (IsWindow(window))
            DestroyWindow(window);
        onClose = nullptr;
    }
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CLOSE) {
            ++requests;
            if (onClose)
                onClose();
            if (stays)
                return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND window = nullptr;
    static inline bool stays = false;
    static inline int requests = 0;
    static inline std::function<void()> onClose;
};

// A helper whose thread hangs: its window exists, but no message reaches it.
// The thread still runs whileHanging once the progress dialog shows.
struct HUNG_HELPER {
    explicit HUNG_HELPER(std::function<void()> action) : whileHanging(std::move(action)) {
        WaitForSingleObject(ready.Get(), 10000);
    }
    ~HUNG_HELPER() {
        SetEvent(stop.Get());
        WaitForSingleObject(thread.Get(), 10000);
    }
    static DWORD WINAPI Run(void* argument) {
        HUNG_HELPER* self = static_cast<HUNG_HELPER*>(argument);
        MakeWindow(HELPER_CLASS, HELPER_TITLE, HELPER_WINDOW::Proc, HWND_MESSAGE);
        SetEvent(self->ready.Get());
        while (WaitForSingleObject(self->stop.Get(), 20) == WAIT_TIMEOUT)
            if (self->whileHanging && ProgressDialogWindow()) {
                self->whileHanging();
                self->whileHanging = nullptr;
            }
        return 0; // the window goes with its thread
    }
    std::function<void()> whileHanging;
    OWNED_HANDLE ready{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    OWNED_HANDLE stop{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    OWNED_HANDLE thread{CreateThread(nullptr, 0, Run, this, 0, nullptr)};
};

// The dialog's rows and title as the uninstall closes it: a hook on the
// dialog's own thread reads them when the close arrives, before the dialog
// ends.
struct ROWS_AT_CLOSE {
    ROWS_AT_CLOSE() {
        rows.clear();
        title.clear();
    }
    // Called while the dialog shows.
    void Hook() {
        dialog = ProgressDialogWindow();
        if (!hook_ && dialog)
            hook_ = SetWindowsHookExA(WH_CALLWNDPROC, Proc, nullptr,
                                      GetWindowThreadProcessId(dialog, nullptr));
    }
    void Unhook() {
        if (hook_)
            UnhookWindowsHookEx(hook_);
        hook_ = nullptr;
    }
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
        const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && sent->hwnd == dialog && sent->message == WM_END_PROGRESS_DIALOG) {
            rows = ReadRows(sent->hwnd);
            title = WindowText(sent->hwnd);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    HHOOK hook_ = nullptr;
    static inline HWND dialog = nullptr;
    static inline ROWS rows;
    static inline std::string title;
};

const char* const PROFILE = "store|Mailbox|STORE-A\n"
                            "folder|Mailbox/Calendar|calendar|CAL-A\n"
                            "folder|Mailbox/Tasks|tasks|TASKS-A\n"
                            "appointment|Mailbox/Calendar|Orvalith entry|4\n"
                            "appointment|Mailbox/Calendar|Dentist|-\n"
                            "view|Mailbox/Tasks|Orvalith Nat Ord\n"
                            "view|Mailbox/Tasks|Orvalith A1\n"
                            "view|Mailbox/Tasks|Simple List\n"
                            "storage|Mailbox/Tasks|Orvalith Settings\n"
                            "task|Mailbox/Tasks|Orvalith Settings|-\n"
                            "task|Mailbox/Tasks|Buy milk|-\n";

class UninstallRun : public testing::Test {
protected:
    UninstallRun()
        : root_(base_.Path() + "\\Brindlecove\\Orvalith"), program_(root_ + "\\Program"),
          journal_("ORVALITH_SRCLIENT_JOURNAL", srFolder_.File("journal.txt")),
          answer_("ORVALITH_SRCLIENT_ANSWER", "7341"),
          appPaths_(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY) {
        CoInitialize(nullptr);
        SetPausesSkippedForTesting(true);
        ResetRestorePointForTesting();
        Application.instance = GetModuleHandleA(nullptr);
        SetRegString(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY, "Path", program_);
        SetRegString(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY, "RootPath", root_);
        SetRegString(HKEY_CURRENT_USER, std::string(PER_USER_KEY) + "\\Other", "Setting", "1");
        for (const std::string& file : CurrentProductFiles())
            MakeFile(program_ + "\\" + file);
        presenter_.WhenShown([this] { moments_.push_back(Moment()); });
    }
    ~UninstallRun() override {
        closing_.Unhook();
        if (outlook_) {
            EXPECT_EQ(0, fake_outlook::LiveObjects()) << "an Outlook object is still held";
            fake_outlook::Revoke();
        }
        SetCurrentDirectoryA(ThisProgramFolder().c_str());
        DeleteRegTree(HKEY_CURRENT_USER, PER_USER_KEY);
        ResetRestorePointForTesting();
        SetPausesSkippedForTesting(false);
        CoUninitialize();
    }

    void RegisterOutlook(const char* profile) {
        fake_outlook::Load(profile);
        fake_outlook::Register();
        outlook_ = true;
    }
    // An Outlook that holds the profile, and a helper that stays open, so
    // that each request to close it shows where the run is.
    void WithOutlook() {
        RegisterOutlook(PROFILE);
        helper_ = std::make_unique<HELPER_WINDOW>(true);
        HELPER_WINDOW::onClose = [this] {
            if (HELPER_WINDOW::requests == 1)
                closing_.Hook();
            if (HELPER_WINDOW::requests == 3) {
                filesRowStarted_ = ReadRows(ProgressDialogWindow());
                stageAtFiles_ = Stage();
            }
        };
    }

    MOMENT Moment() const {
        HWND dialog = ProgressDialogWindow();
        const SHOWN_MESSAGE& shown = presenter_.Shown().back();
        return MOMENT{shown.text,
                      shown.type,
                      dialog,
                      IsWindowVisible(dialog) != FALSE,
                      dialog ? WindowText(dialog) : "",
                      ReadRows(dialog),
                      Stage(),
                      FindWindowExA(HWND_MESSAGE, nullptr, HELPER_CLASS, HELPER_TITLE) != nullptr};
    }

    static DWORD Stage() {
        DWORD value = 0, size = sizeof(value);
        RAW_KEY key;
        if (key.Open(HKEY_CURRENT_USER, STAGE_KEY, KEY_READ) != ERROR_SUCCESS ||
            RegQueryValueExA(key.Handle(), "uStage", nullptr, nullptr,
                             reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
            return 0;
        return value;
    }

    BYTE Run(bool partial = false) {
        moments_.clear();
        BYTE result = RunUninstall(GetModuleHandleA(nullptr), "", partial);
        EXPECT_EQ(nullptr, ProgressDialogWindow()) << "the dialog was not closed";
        EXPECT_FALSE(RegKeyPresent(HKEY_CURRENT_USER, PER_USER_KEY));
        return result;
    }

    // A run with Orvalith.exe held open without sharing, so that it stays.
    BYTE RunHoldingTheProgram(bool partial) {
        HANDLE file = CreateFileA((program_ + "\\Orvalith.exe").c_str(), GENERIC_READ, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, file);
        BYTE result = Run(partial);
        CloseHandle(file);
        return result;
    }

    STRINGS RestorePointCalls() const {
        return SplitLines(ReadWholeFile(srFolder_.File("journal.txt")));
    }
    STRINGS Left() const { return FilesLeft(program_, CurrentProductFiles()); }

    VERSION_GUARD xp_{5, 1};
    SYSTEM_SRCLIENT srclient_;
    TEMP_FOLDER base_;
    std::string root_;
    std::string program_;
    TEMP_FOLDER srFolder_;
    ENVIRONMENT_OVERRIDE journal_;
    ENVIRONMENT_OVERRIDE answer_;
    TEMPORARY_KEY appPaths_;
    CLICKONCE_STORE store_;
    SCRIPTED_PRESENTER presenter_;
    std::vector<MOMENT> moments_;
    bool outlook_ = false;
    std::unique_ptr<HELPER_WINDOW> helper_;
    ROWS_AT_CLOSE closing_;
    ROWS filesRowStarted_;
    DWORD stageAtFiles_ = 0;
};

} // namespace

// The add-in's own uninstaller fails: its row reads "Failed!", nothing after
// it runs (every file stays, the restore point is begun and left open), and
// the per-user key goes all the same.
TEST_F(UninstallRun, AFailedAddInUninstallAbandonsTheRun) {
    UNINSTALLER_JOURNAL uninstaller;
    UNINSTALL_ENTRY entry("OrvalithTest.Sequence", ADDIN_DISPLAY_NAME);
    entry.SetCommand(HKEY_CURRENT_USER,
                     FakeUninstallerPath() + " /entry OrvalithTest.Sequence /exit 1 /keep");
    HELPER_WINDOW helper(false);
    ASSERT_TRUE(helper.window);

    EXPECT_EQ(1, Run());

    EXPECT_EQ(1u, uninstaller.Starts().size());
    ASSERT_EQ(2u, moments_.size());
    EXPECT_TRUE(StartsWith(moments_[0].message, "Uninstall of Add-In")) << moments_[0].message;
    // The helper's window was closed before the add-in's uninstaller ran.
    EXPECT_FALSE(moments_[0].helperWindow);
    EXPECT_FALSE(IsWindow(helper.window));
    const MOMENT& last = moments_[1];
    EXPECT_EQ(UNSUCCESSFUL, last.message);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), last.type);
    EXPECT_TRUE(last.dialogVisible);
    EXPECT_EQ(TITLE, last.title);
    EXPECT_EQ((ROWS{DONE, FAILED, GREY, GREY, GREY, GREY, GREY}), last.rows);
    EXPECT_EQ(3u, last.stage);
    EXPECT_EQ(CurrentProductFiles(), Left());
    EXPECT_TRUE(Exists(program_));
    EXPECT_EQ(STRINGS{BEGIN}, RestorePointCalls());
}

// An Outlook that cannot be started, Outlook's message and then the run's;
// the rows stop before the calendar entries and the dialog cannot be closed
// by the user. The restore point is made only on Windows XP or later, outside
// partial mode, and not after a run that stopped right after it began (stage
// 2); other stages do not matter.
TEST_F(UninstallRun, OutlookThatCannotBeStartedAbandonsTheRun) {
    // Answered in this process: asking Wine to start a server it does not
    // know can stall it on qemu.
    RegisterOutlook("fault|CreateInstance|*|0x80080005\n");
    bool partialRun = false;
    presenter_.WhenShown([this, &partialRun] {
        moments_.push_back(Moment());
        if (moments_.size() == 1) {
            HWND dialog = ProgressDialogWindow();
            PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            // The window's own close request too, while setup is undone.
            if (partialRun)
                PostMessageA(dialog, WM_CLOSE, 0, 0);
            SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            Sleep(500);
        }
    });
    // Stored stage (0: none), Windows 5.minor, partial, the restore-point row.
    const std::tuple<DWORD, DWORD, bool, ROW> cases[] = {
        {0, 1, false, DONE},  {2, 1, false, HIDDEN}, {3, 1, false, DONE}, {15, 1, false, DONE},
        {16, 1, false, DONE}, {0, 0, false, HIDDEN}, {0, 1, true, DONE},
    };
    for (const auto& [stored, minor, partial, restoreRow] : cases) {
        partialRun = partial;
        SCOPED_TRACE(testing::Message() << "stage " << stored << ", Windows 5." << minor
                                        << (partial ? ", partial" : ""));
        VERSION_GUARD version(5, minor);
        DeleteFileA(srFolder_.File("journal.txt").c_str());
        ResetRestorePointForTesting();
        if (stored)
            SetRegDword(HKEY_CURRENT_USER, STAGE_KEY, "uStage", stored);

        EXPECT_EQ(1, Run(partial));

        ASSERT_EQ(2u, moments_.size());
        EXPECT_TRUE(StartsWith(moments_[0].message,
                               "Orvalith is unable to communicate with Microsoft Outlook."))
            << moments_[0].message;
        EXPECT_EQ(UNSUCCESSFUL, moments_[1].message);
        EXPECT_EQ(moments_[0].dialog, moments_[1].dialog);
        EXPECT_TRUE(moments_[1].dialogVisible) << "Escape or the close button ended the dialog";
        EXPECT_EQ(partial ? PARTIAL_TITLE : TITLE, moments_[1].title);
        EXPECT_EQ((ROWS{restoreRow, DONE, GREY, GREY, GREY, GREY, GREY}), moments_[1].rows);
        EXPECT_EQ(3u, moments_[1].stage);
        EXPECT_EQ(CurrentProductFiles(), Left());
        const bool made = restoreRow == DONE && !partial;
        EXPECT_EQ(made ? STRINGS{BEGIN} : STRINGS{}, RestorePointCalls());
    }
}

// A complete run started from inside the program folder: every row "Done",
// every product file, folder and key gone, the product's Outlook data gone
// and the rest left, Outlook's main window closed, the restore point begun
// and ended.
TEST_F(UninstallRun, ACompleteRunRemovesEverythingAndReturns0) {
    WithOutlook();
    UNINSTALLER_JOURNAL uninstaller;
    UNINSTALL_ENTRY entry("OrvalithTest.Sequence", ADDIN_DISPLAY_NAME);
    entry.SetCommand(HKEY_CURRENT_USER,
                     FakeUninstallerPath() + " /entry OrvalithTest.Sequence /exit 0");
    ASSERT_TRUE(SetCurrentDirectoryA(program_.c_str()));
    // Outlook's main window as this thread shows it, and one that only looks
    // like it.
    HWND outlook =
        MakeWindow("rctrl_renwnd32", "Inbox - Microsoft Outlook", DefWindowProcA, nullptr);
    HWND lookalike = MakeWindow("rctrl_renwnd32", "Outlook", DefWindowProcA, nullptr);

    EXPECT_EQ(0, Run());

    EXPECT_TRUE(moments_.empty()) << moments_[0].message;
    EXPECT_EQ(1u, uninstaller.Starts().size());
    EXPECT_FALSE(entry.Present());
    EXPECT_EQ(3, HELPER_WINDOW::requests);
    EXPECT_EQ((ROWS{DONE, DONE, DONE, RUNNING, GREY, GREY, GREY}), filesRowStarted_);
    EXPECT_EQ(16u, stageAtFiles_);
    EXPECT_EQ((ROWS(7, DONE)), closing_.rows);
    EXPECT_EQ(TITLE, closing_.title);

    EXPECT_TRUE(Left().empty());
    for (const std::string& folder : {program_, root_, base_.Path() + "\\Brindlecove"})
        EXPECT_FALSE(Exists(folder)) << folder;
    EXPECT_FALSE(RegKeyPresent(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY));
    EXPECT_EQ((STRINGS{BEGIN, END}), RestorePointCalls());

    const std::string data = fake_outlook::Dump();
    for (const char* gone :
         {"Orvalith entry", "Orvalith Nat Ord", "Orvalith A1", "Orvalith Settings"})
        EXPECT_EQ(std::string::npos, data.find(gone)) << gone;
    for (const char* kept : {"appointment|Mailbox/Calendar|Dentist|-",
                             "view|Mailbox/Tasks|Simple List", "task|Mailbox/Tasks|Buy milk|-"})
        EXPECT_NE(std::string::npos, data.find(kept)) << kept;

    // Lets the posted messages arrive.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    EXPECT_FALSE(IsWindow(outlook)) << "Outlook's main window was not closed";
    EXPECT_TRUE(IsWindow(lookalike));
    DestroyWindow(lookalike);
}

// A file that cannot be deleted is listed with the system's reason while the
// dialog shows; the run goes on and, at its end, says that not all was
// removed, and still returns 0.
TEST_F(UninstallRun, AFileHeldOpenIsReportedAndTheRunGoesOn) {
    WithOutlook();
    EXPECT_EQ(0, RunHoldingTheProgram(false));

    ASSERT_EQ(2u, moments_.size());
    const std::string reason = GetSystemErrorText(ERROR_SHARING_VIOLATION);
    ASSERT_FALSE(reason.empty());
    const MOMENT& files = moments_[0];
    EXPECT_TRUE(StartsWith(files.message, "The following files could not be deleted"))
        << files.message;
    EXPECT_NE(std::string::npos, files.message.find(program_ + "\\Orvalith.exe\n\n\n" + reason))
        << files.message;
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), files.type);
    EXPECT_TRUE(files.dialogVisible);
    EXPECT_EQ((ROWS{DONE, DONE, DONE, FAILED, GREY, GREY, GREY}), files.rows);
    EXPECT_EQ(16u, files.stage);

    const MOMENT& end = moments_[1];
    EXPECT_TRUE(
        StartsWith(end.message, "Not all of Orvalith's components were successfully removed."))
        << end.message;
    EXPECT_TRUE(end.dialogVisible);
    EXPECT_EQ((ROWS{DONE, DONE, DONE, FAILED, DONE, DONE, DONE}), end.rows);
    EXPECT_EQ(15u, end.stage);

    EXPECT_EQ(STRINGS{"Orvalith.exe"}, Left());
    EXPECT_EQ((STRINGS{BEGIN, END}), RestorePointCalls());
}

// Enter and Escape pressed while the run works end nothing: the dialog is
// there, every row "Done", when the uninstall closes it. A helper that never
// answers delays the run by its waits only.
TEST_F(UninstallRun, NeitherKeysNorAHelperThatNeverAnswersStopTheRun) {
    const auto midRun = [this] {
        closing_.Hook();
        PostMessageA(ProgressDialogWindow(), WM_KEYDOWN, VK_RETURN, 0);
        PostMessageA(ProgressDialogWindow(), WM_KEYDOWN, VK_ESCAPE, 0);
        Sleep(500);
    };
    DWORD took[2] = {};
    for (bool hung : {false, true}) {
        SCOPED_TRACE(hung ? "a helper that never answers" : "a helper that answers");
        RegisterOutlook(PROFILE);
        SetRegString(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY, "Path", program_);
        SetRegString(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY, "RootPath", root_);
        for (const std::string& file : CurrentProductFiles())
            MakeFile(program_ + "\\" + file);
        DeleteFileA(srFolder_.File("journal.txt").c_str());
        closing_.Unhook();
        closing_.rows.clear();
        std::unique_ptr<HELPER_WINDOW> answering(hung ? nullptr : new HELPER_WINDOW(false));
        std::unique_ptr<HUNG_HELPER> hanging(hung ? new HUNG_HELPER(midRun) : nullptr);
        HELPER_WINDOW::onClose = midRun;
        const DWORD start = GetTickCount();
        EXPECT_EQ(0, Run());
        took[hung] = GetTickCount() - start;
        HELPER_WINDOW::onClose = nullptr;

        EXPECT_TRUE(moments_.empty()) << moments_[0].message;
        EXPECT_EQ((ROWS(7, DONE)), closing_.rows);
        EXPECT_TRUE(Left().empty());
        EXPECT_EQ((STRINGS{BEGIN, END}), RestorePointCalls());
    }
    EXPECT_LT(took[1], took[0] + 20000);
}

// Folder texts that name no folder below a root, from the command line in
// partial mode or from App Paths, delete nothing: neither the files named like
// the product's in the current folder and at the drive's root nor an empty
// add-in folder, and the current folder stays. Outside partial mode every
// file is reported as for a blank folder.
TEST_F(UninstallRun, FolderTextsThatNameNoFolderBelowARootDeleteNothing) {
    TEMP_FOLDER here;
    ASSERT_EQ("C:\\", here.Path().Left(3));
    CURRENT_FOLDER current(here.Path());
    for (const std::string& file : CurrentProductFiles())
        MakeFile(here.File(file));
    const std::string emptyFolder = here.File("Add-In 2007");
    ASSERT_TRUE(CreateDirectoryA(emptyFolder.c_str(), nullptr));
    const std::string atRoot[] = {"C:\\Orvalith.exe", "C:\\Orvalith Add-In\\Setup.exe"};
    for (const std::string& file : atRoot)
        ASSERT_FALSE(Exists(file)) << "not ours";
    struct ROOT_DECOYS {
        ~ROOT_DECOYS() {
            DeleteFileA("C:\\Orvalith.exe");
            DeleteFileA("C:\\Orvalith Add-In\\Setup.exe");
            RemoveDirectoryA("C:\\Orvalith Add-In");
        }
    } rootDecoys;
    for (const std::string& file : atRoot)
        MakeFile(file);

    for (const char* text : {".", "C:", "C:\\", "\\"}) {
        for (bool fromAppPaths : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << '"' << text << '"' << (fromAppPaths ? " from App Paths" : ", partial"));
            RegisterOutlook(PROFILE);
            SetRegString(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY, "Path",
                         fromAppPaths ? text : "");
            SetRegString(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY, "RootPath",
                         fromAppPaths ? text : "");
            moments_.clear();
            EXPECT_EQ(0, RunUninstall(GetModuleHandleA(nullptr), fromAppPaths ? "" : text,
                                      !fromAppPaths));

            EXPECT_EQ(CurrentProductFiles(), FilesLeft(here.Path(), CurrentProductFiles()));
            EXPECT_TRUE(Exists(emptyFolder));
            for (const std::string& file : atRoot)
                EXPECT_TRUE(Exists(file)) << file;
            char folder[MAX_PATH] = "";
            GetCurrentDirectoryA(sizeof(folder), folder);
            EXPECT_EQ(here.Path(), folder);
            if (!fromAppPaths) {
                EXPECT_TRUE(moments_.empty()) << moments_[0].message;
                continue;
            }
            ASSERT_EQ(2u, moments_.size());
            EXPECT_NE(std::string::npos, moments_[0].message.find("\n\\Orvalith.exe\n"))
                << moments_[0].message;
        }
    }
}

// Partial mode, as setup undoes an unfinished install: a file left behind is
// not reported and its row reads "Done"; no restore point.
TEST_F(UninstallRun, PartialModeReportsNoFilesAndMakesNoRestorePoint) {
    WithOutlook();
    EXPECT_EQ(0, RunHoldingTheProgram(true));

    EXPECT_TRUE(moments_.empty()) << moments_[0].message;
    EXPECT_EQ(PARTIAL_TITLE, closing_.title);
    EXPECT_EQ((ROWS(7, DONE)), closing_.rows);
    EXPECT_TRUE(RestorePointCalls().empty());
    EXPECT_EQ(STRINGS{"Orvalith.exe"}, Left());
}
