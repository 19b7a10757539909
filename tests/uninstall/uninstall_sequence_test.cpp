// The whole uninstall run in this process: real files in a temporary folder,
// real keys, the real progress dialog on its own thread, the stand-in
// restore-point library and scripted answers to every message.
#include <gtest/gtest.h>

#include <objbase.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "addins/restore_point.h"
#include "app/application.h"
#include "app/progress_dialog.h"
#include "app/registry_entries.h"
#include "app/uninstall_sequence.h"
#include "resources/resource_ids.h"
#include "system/pause.h"
#include "system/system_info.h"
#include "testkit/outlook_double/fake_outlook.h"
#include "testkit/scripted_presenter.h"
#include "testkit/temp_folder.h"
#include "testkit/test_registry.h"
#include "testkit/ui_driver.h"
#include "testkit/version_guard.h"
#include "../addins/addin_test_support.h"

namespace {

const char* const STAGE_KEY = "Software\\Brindlecove\\Orvalith\\1.0";
const char* const PER_USER_KEY = "Software\\Brindlecove";
const char* const HELPER_CLASS = "@ORVALITHADDINHELPERCLASS@";
const char* const HELPER_TITLE = "@ORVALITHADDINHELPERTITLE@";

const char* const UNSUCCESSFUL = "Orvalith Uninstall was unsuccessful.";
const char* const CANNOT_COMMUNICATE = "Orvalith is unable to communicate with Microsoft Outlook.";
const char* const FILES_NOT_DELETED = "The following files could not be deleted";
const char* const NOT_ALL_REMOVED = "Not all of Orvalith's components were successfully removed.";

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// What the product's setup puts below the program folder, relative to it.
std::vector<std::string> ProductFiles() {
    std::vector<std::string> files = {
        "Orvalith.chm",
        "Orvalith.exe",
        "OrvalithStrings.txt",
        "Orvalith Uninstall.exe",
        "OrvalithUnPhase1.exe",
        "OrvalithAddInHelper.exe",
        "Orvalith Add-In\\Setup.exe",
        "Orvalith Add-In\\Orvalith Outlook Add-In.vsto",
    };
    const std::string version =
        "Orvalith Add-In\\Application Files\\Orvalith Outlook Add-In_5_0_72_0\\";
    for (const char* name :
         {"Microsoft.Office.Tools.Common.v4.0.Utilities.dll.deploy",
          "Microsoft.Office.Tools.Outlook.v4.0.Utilities.dll.deploy",
          "Orvalith Outlook Add-In.dll.deploy", "Orvalith Outlook Add-In.dll.manifest"})
        files.push_back(version + name);
    for (const char* name : {"Orvalith Outlook Add-In.dll.deploy",
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
                             "OpenTaskFolder.png.deploy"})
        files.push_back(version + "Resources\\" + name);
    return files;
}

void MakeFile(const std::string& path) {
    for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, "x", 1, &written, nullptr);
    CloseHandle(file);
}

bool FolderExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One row's two controls as the user sees them.
struct ROW {
    bool labelVisible = false;
    bool labelEnabled = false;
    bool resultVisible = false;
    std::string result;
};

bool operator==(const ROW& a, const ROW& b) {
    return a.labelVisible == b.labelVisible && a.labelEnabled == b.labelEnabled &&
           a.resultVisible == b.resultVisible && a.result == b.result;
}

std::ostream& operator<<(std::ostream& out, const ROW& row) {
    return out << "{label " << (row.labelVisible ? "shown" : "hidden") << " "
               << (row.labelEnabled ? "black" : "grey") << ", result "
               << (row.resultVisible ? "\"" + row.result + "\"" : "hidden") << "}";
}

const ROW GREY{true, false, false, "Done"};
// The restore-point row is hidden rather than grey until its step runs.
const ROW HIDDEN{false, true, false, "Done"};
const ROW RUNNING{true, true, false, "Done"};
const ROW DONE{true, true, true, "Done"};
const ROW FAILED{true, true, true, "Failed!"};

enum ROW_NAME { RESTORE, ADDIN, CALENDAR, FILES, REGISTRY, SHORTCUTS, SETTINGS, ROW_COUNT };
const int ROW_IDS[ROW_COUNT][2] = {
    {IDC_LABEL_RESTORE_POINT, IDC_RESULT_RESTORE_POINT},
    {IDC_LABEL_ADDIN, IDC_RESULT_ADDIN},
    {IDC_LABEL_CALENDAR, IDC_RESULT_CALENDAR},
    {IDC_LABEL_PROGRAM_FILES, IDC_RESULT_PROGRAM_FILES},
    {IDC_LABEL_REGISTRY, IDC_RESULT_REGISTRY},
    {IDC_LABEL_SHORTCUTS, IDC_RESULT_SHORTCUTS},
    {IDC_LABEL_SETTINGS, IDC_RESULT_SETTINGS},
};

// The dialog and the stage at the moment a message showed.
struct MOMENT {
    std::string message;
    UINT type = 0;
    HWND dialog = nullptr;
    bool dialogVisible = false;
    std::string title;
    std::vector<ROW> rows;
    DWORD stage = 0; // 0 when absent
    bool helperWindow = false;
};

// The add-in helper's hidden window, made by this thread as the helper
// program would. It goes when asked to close, unless told to stay; every
// request runs onClose first, at that moment of the run.
class HELPER_WINDOW {
public:
    explicit HELPER_WINDOW(bool stays = false) {
        stays_ = stays;
        requests_ = 0;
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = HELPER_CLASS;
        RegisterClassA(&windowClass);
        window_ = CreateWindowExA(0, HELPER_CLASS, HELPER_TITLE, 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~HELPER_WINDOW() {
        if (IsWindow(window_))
            DestroyWindow(window_);
        onClose = nullptr;
    }
    HWND Window() const { return window_; }
    static int Requests() { return requests_; }

    static std::function<void()> onClose;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CLOSE) {
            ++requests_;
            if (onClose)
                onClose();
            if (stays_)
                return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    static bool stays_;
    static int requests_;
};
std::function<void()> HELPER_WINDOW::onClose;
bool HELPER_WINDOW::stays_ = false;
int HELPER_WINDOW::requests_ = 0;

// The dialog's rows as the uninstall closes it: a hook on the dialog's own
// thread reads them when IDOK arrives, before the dialog ends.
class ROWS_AT_CLOSE {
public:
    // Hooks the dialog's thread; called while the dialog shows.
    void Hook() {
        HWND dialog = ProgressDialogWindow();
        if (hook_ || !dialog)
            return;
        dialog_ = dialog;
        rows_.clear();
        hook_ = SetWindowsHookExA(WH_CALLWNDPROC, Proc, nullptr,
                                  GetWindowThreadProcessId(dialog, nullptr));
    }
    ~ROWS_AT_CLOSE() { Unhook(); }
    void Unhook() {
        if (hook_)
            UnhookWindowsHookEx(hook_);
        hook_ = nullptr;
    }
    const std::vector<ROW>& Rows() const { return rows_; }
    const std::string& Title() const { return title_; }

    static std::vector<ROW> Read(HWND dialog) {
        std::vector<ROW> rows;
        for (const auto& ids : ROW_IDS) {
            HWND label = GetDlgItem(dialog, ids[0]);
            HWND result = GetDlgItem(dialog, ids[1]);
            char text[64] = "";
            GetWindowTextA(result, text, sizeof(text));
            rows.push_back(ROW{IsWindowVisible(label) != FALSE, IsWindowEnabled(label) != FALSE,
                               IsWindowVisible(result) != FALSE, text});
        }
        return rows;
    }

private:
    static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
        const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && sent->hwnd == dialog_ && sent->message == WM_COMMAND &&
            LOWORD(sent->wParam) == IDOK) {
            rows_ = Read(sent->hwnd);
            char title[64] = "";
            GetWindowTextA(sent->hwnd, title, sizeof(title));
            title_ = title;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    HHOOK hook_ = nullptr;
    static HWND dialog_;
    static std::vector<ROW> rows_;
    static std::string title_;
};
HWND ROWS_AT_CLOSE::dialog_ = nullptr;
std::vector<ROW> ROWS_AT_CLOSE::rows_;
std::string ROWS_AT_CLOSE::title_;

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
        for (const std::string& file : ProductFiles())
            MakeFile(program_ + "\\" + file);
        presenter_.WhenShown([this] { moments_.push_back(Moment()); });
    }
    ~UninstallRun() override {
        SetCurrentDirectoryA(ThisProgramFolder().c_str());
        DeleteRegTree(HKEY_CURRENT_USER, PER_USER_KEY);
        ResetRestorePointForTesting();
        SetPausesSkippedForTesting(false);
        CoUninitialize();
    }

    MOMENT Moment() const {
        MOMENT moment;
        moment.dialog = ProgressDialogWindow();
        moment.dialogVisible = IsWindowVisible(moment.dialog) != FALSE;
        std::map<int, CONTROL_INFO> controls;
        // Without a dialog there is nothing to read (and a null window would
        // stand for the whole desktop).
        if (moment.dialog) {
            moment.title = WindowText(moment.dialog);
            for (const CONTROL_INFO& control : DialogControls(moment.dialog))
                controls[control.id] = control;
        }
        for (const auto& ids : ROW_IDS) {
            ROW row;
            row.labelVisible = controls[ids[0]].visible;
            row.labelEnabled = controls[ids[0]].enabled;
            row.resultVisible = controls[ids[1]].visible;
            row.result = controls[ids[1]].text;
            moment.rows.push_back(row);
        }
        moment.stage = Stage();
        moment.helperWindow = FindWindowExA(HWND_MESSAGE, nullptr, HELPER_CLASS, HELPER_TITLE);
        const SHOWN_MESSAGE& shown = presenter_.Shown().back();
        moment.message = shown.text;
        moment.type = shown.type;
        return moment;
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

    BYTE Run(bool partial = false, const char* rootArgument = "") {
        moments_.clear();
        BYTE result = RunUninstall(GetModuleHandleA(nullptr), rootArgument, partial);
        EXPECT_EQ(nullptr, ProgressDialogWindow()) << "the dialog was not closed";
        EXPECT_FALSE(RegKeyPresent(HKEY_CURRENT_USER, PER_USER_KEY));
        return result;
    }

    std::vector<std::string> RestorePointCalls() const {
        return SplitLines(ReadWholeFile(srFolder_.File("journal.txt")));
    }
    void ForgetRestorePointCalls() {
        DeleteFileA(srFolder_.File("journal.txt").c_str());
        ResetRestorePointForTesting();
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const MOMENT& moment : moments_)
            texts.push_back(moment.message);
        return texts;
    }

    std::vector<std::string> FilesLeft() const {
        std::vector<std::string> left;
        for (const std::string& file : ProductFiles())
            if (FileExists(program_ + "\\" + file))
                left.push_back(file);
        return left;
    }

    VERSION_GUARD xp_{5, 1};
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
};

const std::string BEGIN = "event=100 type=0 sequence=0 description=\"Removed Orvalith\" answer=1 "
                          "assigned=7341";
const std::string END = "event=101 type=0 sequence=7341 description=\"Removed Orvalith\" "
                        "answer=1 assigned=7341";

} // namespace

// The add-in's own uninstaller fails: its row reads "Failed!", nothing
// after it runs, and the per-user key goes all the same.
TEST_F(UninstallRun, AFailedAddInUninstallAbandonsTheRun) {
    UNINSTALLER_JOURNAL uninstaller;
    UNINSTALL_ENTRY entry("OrvalithTest.Sequence", ADDIN_DISPLAY_NAME);
    entry.SetCommand(HKEY_CURRENT_USER,
                     FakeUninstallerPath() + " /entry OrvalithTest.Sequence /exit 1 /keep");
    HELPER_WINDOW helper;
    ASSERT_TRUE(helper.Window());

    EXPECT_EQ(1, Run());

    EXPECT_EQ(1u, uninstaller.Starts().size());
    ASSERT_EQ(2u, moments_.size());
    EXPECT_TRUE(StartsWith(moments_[0].message, "Uninstall of Add-In")) << moments_[0].message;
    EXPECT_EQ(UNSUCCESSFUL, moments_[1].message);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), moments_[1].type);
    // The helper's window was closed before the add-in's uninstaller ran.
    EXPECT_FALSE(moments_[0].helperWindow);
    EXPECT_FALSE(IsWindow(helper.Window()));

    const MOMENT& last = moments_[1];
    EXPECT_TRUE(last.dialogVisible);
    EXPECT_EQ("Orvalith Uninstall Progress", last.title);
    EXPECT_EQ((std::vector<ROW>{DONE, FAILED, GREY, GREY, GREY, GREY, GREY}), last.rows);
    EXPECT_EQ(3u, last.stage);

    // Nothing after the add-in step: every file is still there, the restore
    // point was begun and is left open.
    EXPECT_EQ(ProductFiles(), FilesLeft());
    EXPECT_TRUE(FolderExists(program_));
    EXPECT_EQ(std::vector<std::string>{BEGIN}, RestorePointCalls());
}

// Outlook cannot be started: its own message, then the run's; the rows
// stop before the calendar entries. The dialog cannot be closed by the user.
TEST_F(UninstallRun, OutlookThatCannotBeStartedAbandonsTheRun) {
    presenter_.WhenShown([this] {
        moments_.push_back(Moment());
        if (moments_.size() == 1) {
            HWND dialog = ProgressDialogWindow();
            PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            Sleep(500);
        }
    });
    EXPECT_EQ(1, Run());

    ASSERT_EQ(2u, moments_.size());
    EXPECT_TRUE(StartsWith(moments_[0].message, CANNOT_COMMUNICATE)) << moments_[0].message;
    EXPECT_EQ(UNSUCCESSFUL, moments_[1].message);
    EXPECT_EQ(moments_[0].dialog, moments_[1].dialog);
    EXPECT_TRUE(moments_[1].dialogVisible) << "Escape or the close button ended the dialog";
    EXPECT_EQ((std::vector<ROW>{DONE, DONE, GREY, GREY, GREY, GREY, GREY}), moments_[1].rows);
    EXPECT_EQ(3u, moments_[1].stage);
    EXPECT_EQ(ProductFiles(), FilesLeft());
    EXPECT_EQ(std::vector<std::string>{BEGIN}, RestorePointCalls());
}

// The restore point is made only on Windows XP or later and not after a
// run that stopped right after it began (stage 2); other stages do not
// matter.
TEST_F(UninstallRun, RestorePointDependsOnTheStoredStageAndTheWindowsVersion) {
    for (DWORD stored : {2u, 3u, 15u, 16u, 0u}) {
        SCOPED_TRACE(stored);
        ForgetRestorePointCalls();
        if (stored)
            SetRegDword(HKEY_CURRENT_USER, STAGE_KEY, "uStage", stored);
        EXPECT_EQ(1, Run());
        ASSERT_EQ(2u, moments_.size());
        bool made = stored != 2;
        EXPECT_EQ(made ? DONE : HIDDEN, moments_[1].rows[RESTORE]);
        EXPECT_EQ(made ? std::vector<std::string>{BEGIN} : std::vector<std::string>{},
                  RestorePointCalls());
    }
    VERSION_GUARD windows2000(5, 0);
    ForgetRestorePointCalls();
    EXPECT_EQ(1, Run());
    ASSERT_EQ(2u, moments_.size());
    EXPECT_EQ(HIDDEN, moments_[1].rows[RESTORE]);
    EXPECT_TRUE(RestorePointCalls().empty());
}

// Partial mode: the other title, the restore-point row "Done" without a
// restore point.
TEST_F(UninstallRun, PartialModeShowsItsTitleAndMakesNoRestorePoint) {
    EXPECT_EQ(1, Run(true));
    ASSERT_EQ(2u, moments_.size());
    EXPECT_EQ("Undoing Orvalith Setup", moments_[1].title);
    EXPECT_EQ((std::vector<ROW>{DONE, DONE, GREY, GREY, GREY, GREY, GREY}), moments_[1].rows);
    EXPECT_TRUE(RestorePointCalls().empty());
}

namespace {

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

// Outlook's main window as this thread shows it, and one that only looks
// like it.
class OUTLOOK_WINDOWS {
public:
    OUTLOOK_WINDOWS() {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "rctrl_renwnd32";
        RegisterClassA(&windowClass);
        main_ = CreateWindowExA(0, "rctrl_renwnd32", "Inbox - Microsoft Outlook", WS_POPUP, 0, 0,
                                10, 10, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        other_ = CreateWindowExA(0, "rctrl_renwnd32", "Outlook", WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    ~OUTLOOK_WINDOWS() {
        for (HWND window : {main_, other_})
            if (IsWindow(window))
                DestroyWindow(window);
    }
    // Lets the posted messages arrive.
    static void Deliver() {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    HWND main_ = nullptr;
    HWND other_ = nullptr;
};

class UninstallRunWithOutlook : public UninstallRun {
protected:
    UninstallRunWithOutlook() {
        fake_outlook::Load(PROFILE);
        fake_outlook::Register();
        // The helper stays open, so that each request to close it shows
        // where the run is.
        HELPER_WINDOW::onClose = [this] {
            if (HELPER_WINDOW::Requests() == 1)
                closing_.Hook();
            if (HELPER_WINDOW::Requests() == 3) {
                filesRowStarted_ = ROWS_AT_CLOSE::Read(ProgressDialogWindow());
                stageAtFiles_ = Stage();
            }
        };
    }
    ~UninstallRunWithOutlook() override {
        closing_.Unhook();
        EXPECT_EQ(0, fake_outlook::LiveObjects()) << "an Outlook object is still held";
        fake_outlook::Revoke();
    }
    static bool Holds(const std::string& line) {
        return fake_outlook::Dump().find(line) != std::string::npos;
    }

    HELPER_WINDOW helper_{true};
    ROWS_AT_CLOSE closing_;
    std::vector<ROW> filesRowStarted_;
    DWORD stageAtFiles_ = 0;
};

} // namespace

// A complete run started from inside the program folder: every row "Done",
// every product file, folder and key gone, the product's Outlook data gone
// and the rest left, Outlook's main window closed, the restore point begun
// and ended.
TEST_F(UninstallRunWithOutlook, ACompleteRunRemovesEverythingAndReturns0) {
    UNINSTALLER_JOURNAL uninstaller;
    UNINSTALL_ENTRY entry("OrvalithTest.Sequence", ADDIN_DISPLAY_NAME);
    entry.SetCommand(HKEY_CURRENT_USER,
                     FakeUninstallerPath() + " /entry OrvalithTest.Sequence /exit 0");
    OUTLOOK_WINDOWS outlookWindows;
    ASSERT_TRUE(SetCurrentDirectoryA(program_.c_str()));

    EXPECT_EQ(0, Run());

    EXPECT_TRUE(moments_.empty()) << moments_[0].message;
    EXPECT_EQ(1u, uninstaller.Starts().size());
    EXPECT_FALSE(entry.Present());
    EXPECT_EQ(3, HELPER_WINDOW::Requests());
    EXPECT_EQ((std::vector<ROW>{DONE, DONE, DONE, RUNNING, GREY, GREY, GREY}), filesRowStarted_);
    EXPECT_EQ(16u, stageAtFiles_);
    EXPECT_EQ((std::vector<ROW>{DONE, DONE, DONE, DONE, DONE, DONE, DONE}), closing_.Rows());
    EXPECT_EQ("Orvalith Uninstall Progress", closing_.Title());

    EXPECT_TRUE(FilesLeft().empty());
    EXPECT_FALSE(FolderExists(program_));
    EXPECT_FALSE(FolderExists(root_));
    EXPECT_FALSE(FolderExists(base_.Path() + "\\Brindlecove"));
    EXPECT_FALSE(RegKeyPresent(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY));
    EXPECT_EQ((std::vector<std::string>{BEGIN, END}), RestorePointCalls());

    EXPECT_FALSE(Holds("Orvalith entry"));
    EXPECT_TRUE(Holds("appointment|Mailbox/Calendar|Dentist|-"));
    EXPECT_FALSE(Holds("Orvalith Nat Ord"));
    EXPECT_FALSE(Holds("Orvalith A1"));
    EXPECT_FALSE(Holds("Orvalith Settings"));
    EXPECT_TRUE(Holds("view|Mailbox/Tasks|Simple List"));
    EXPECT_TRUE(Holds("task|Mailbox/Tasks|Buy milk|-"));

    OUTLOOK_WINDOWS::Deliver();
    EXPECT_FALSE(IsWindow(outlookWindows.main_)) << "Outlook's main window was not closed";
    EXPECT_TRUE(IsWindow(outlookWindows.other_));
}

// A file that cannot be deleted is listed with the system's reason while
// the dialog shows; the run goes on and, at its end, says that not all was
// removed, and still returns 0.
TEST_F(UninstallRunWithOutlook, AFileHeldOpenIsReportedAndTheRunGoesOn) {
    const std::string held = program_ + "\\Orvalith.exe";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    BYTE result = Run();
    CloseHandle(file);
    EXPECT_EQ(0, result);

    ASSERT_EQ(2u, moments_.size());
    const std::string reason = GetSystemErrorText(ERROR_SHARING_VIOLATION);
    ASSERT_FALSE(reason.empty());
    EXPECT_TRUE(StartsWith(moments_[0].message, FILES_NOT_DELETED)) << moments_[0].message;
    EXPECT_NE(std::string::npos, moments_[0].message.find(held + "\n\n\n" + reason))
        << moments_[0].message;
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), moments_[0].type);
    EXPECT_TRUE(moments_[0].dialogVisible);
    EXPECT_EQ((std::vector<ROW>{DONE, DONE, DONE, FAILED, GREY, GREY, GREY}), moments_[0].rows);
    EXPECT_EQ(16u, moments_[0].stage);

    EXPECT_TRUE(StartsWith(moments_[1].message, NOT_ALL_REMOVED)) << moments_[1].message;
    EXPECT_TRUE(moments_[1].dialogVisible);
    EXPECT_EQ((std::vector<ROW>{DONE, DONE, DONE, FAILED, DONE, DONE, DONE}), moments_[1].rows);
    EXPECT_EQ(15u, moments_[1].stage);

    EXPECT_EQ(std::vector<std::string>{"Orvalith.exe"}, FilesLeft());
    EXPECT_EQ((std::vector<std::string>{BEGIN, END}), RestorePointCalls());
}

// Partial mode, as setup undoes an unfinished install: a file left behind
// is not reported and its row reads "Done"; no restore point.
TEST_F(UninstallRunWithOutlook, PartialModeReportsNoFilesAndMakesNoRestorePoint) {
    const std::string held = program_ + "\\Orvalith.exe";
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    BYTE result = Run(true);
    CloseHandle(file);
    EXPECT_EQ(0, result);

    EXPECT_TRUE(moments_.empty()) << moments_[0].message;
    EXPECT_EQ("Undoing Orvalith Setup", closing_.Title());
    EXPECT_EQ((std::vector<ROW>{DONE, DONE, DONE, DONE, DONE, DONE, DONE}), closing_.Rows());
    EXPECT_TRUE(RestorePointCalls().empty());
    EXPECT_EQ(std::vector<std::string>{"Orvalith.exe"}, FilesLeft());
}
