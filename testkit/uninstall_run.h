// The set-up of the whole uninstall run in a test program: real files in a
// temporary folder, real keys, the real progress dialog on its own thread,
// the stand-in restore-point library, a fake Outlook, the add-in helper's
// window and scripted answers to every message; and what each message saw
// of the run at the moment it showed.
#pragma once

#include <gtest/gtest.h>

#include <objbase.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "addins/restore_point.h"
#include "app/application.h"
#include "app/progress_dialog.h"
#include "app/registry_entries.h"
#include "app/uninstall_sequence.h"
#include "foundation/owned_handle.h"
#include "system/pause.h"
#include "testkit/addin_fixtures.h"
#include "testkit/fake_srclient/system_srclient.h"
#include "testkit/outlook_double/fake_outlook.h"
#include "testkit/product_layout.h"
#include "testkit/progress_layout.h"
#include "testkit/scripted_presenter.h"
#include "testkit/version_guard.h"

const char* const STAGE_KEY = "Software\\Brindlecove\\Orvalith\\1.0";
const char* const PER_USER_KEY = "Software\\Brindlecove";
const char* const HELPER_CLASS = "@ORVALITHADDINHELPERCLASS@";
const char* const HELPER_TITLE = "@ORVALITHADDINHELPERTITLE@";

// The run's message when it is abandoned.
const char* const UNSUCCESSFUL = "Orvalith Uninstall was unsuccessful.";

// The restore point's begin and end as the stand-in library journals them.
const std::string RESTORE_BEGIN = "event=100 type=0 sequence=0 description=\"Removed Orvalith\" "
                                  "answer=1 assigned=7341";
const std::string RESTORE_END = "event=101 type=0 sequence=7341 description=\"Removed Orvalith\" "
                                "answer=1 assigned=7341";

// A window of this thread, of a class registered here with proc: a
// message-only one below HWND_MESSAGE, else a top-level one.
inline HWND MakeWindow(const char* className, const char* title, WNDPROC proc, HWND parent) {
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

// The dialog's rows as the uninstall closes it: a hook on the dialog's own
// thread reads them when the close arrives, before the dialog ends.
struct ROWS_AT_CLOSE {
    ROWS_AT_CLOSE() { rows.clear(); }
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
        if (code == HC_ACTION && sent->hwnd == dialog && sent->message == WM_END_PROGRESS_DIALOG)
            rows = ReadProgressRows(sent->hwnd);
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    HHOOK hook_ = nullptr;
    static inline HWND dialog = nullptr;
    static inline PROGRESS_ROWS rows;
};

// The dialog's rows and the stage at the moment a message showed (a dialog
// that is hidden or gone reads as rows hidden and blank).
struct MOMENT {
    std::string message;
    PROGRESS_ROWS rows;
    DWORD stage; // 0 when absent
    bool helperWindow;
};

// The product's Outlook data beside the user's own.
const char* const RUN_PROFILE = "store|Mailbox|STORE-A\n"
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

// The product installed for the current user on Windows XP, a restore point
// service that answers sequence 7341, and every message recorded as a
// MOMENT.
class UninstallRun : public testing::Test {
protected:
    using STRINGS = std::vector<std::string>;

    UninstallRun()
        : root_(base_.Path() + "\\Brindlecove\\Orvalith"), program_(root_ + "\\Program"),
          journal_("ORVALITH_SRCLIENT_JOURNAL", srFolder_.File("journal.txt")),
          answer_("ORVALITH_SRCLIENT_ANSWER", "7341"),
          appPaths_(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY) {
        CoInitialize(nullptr);
        SetPausesSkippedForTesting(true);
        ResetRestorePointForTesting();
        Application.instance = GetModuleHandleA(nullptr);
        Install();
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

    // The product's App Paths entry, files and per-user key, as a run found
    // them.
    void Install() {
        SetRegString(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY, "Path", program_);
        SetRegString(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY, "RootPath", root_);
        SetRegString(HKEY_CURRENT_USER, std::string(PER_USER_KEY) + "\\Other", "Setting", "1");
        for (const std::string& file : CurrentProductFiles())
            MakeFile(program_ + "\\" + file);
    }

    // An Outlook that holds the profile, and a helper that stays open, so
    // that each request to close it shows where the run is: the first hooks
    // the dialog's closing, the third (before the files) reads the rows.
    void WithOutlook() {
        fake_outlook::Load(RUN_PROFILE);
        fake_outlook::Register();
        outlook_ = true;
        helper_ = std::make_unique<HELPER_WINDOW>(true);
        HELPER_WINDOW::onClose = [this] {
            if (HELPER_WINDOW::requests == 1)
                closing_.Hook();
            if (HELPER_WINDOW::requests == 3)
                filesRowStarted_ = ReadProgressRows(ProgressDialogWindow());
        };
    }

    MOMENT Moment() const {
        return MOMENT{presenter_.Shown().back().text, ReadProgressRows(ProgressDialogWindow()),
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

    // Every run ends with the dialog closed and the per-user key gone.
    BYTE Run(bool partial = false) {
        moments_.clear();
        BYTE result = RunUninstall(GetModuleHandleA(nullptr), "", partial);
        EXPECT_EQ(nullptr, ProgressDialogWindow()) << "the dialog was not closed";
        EXPECT_FALSE(RegKeyPresent(HKEY_CURRENT_USER, PER_USER_KEY));
        return result;
    }

    // A run with Orvalith.exe held open without sharing, so that it stays.
    BYTE RunHoldingTheProgram(bool partial) {
        OWNED_HANDLE file(CreateFileA((program_ + "\\Orvalith.exe").c_str(), GENERIC_READ, 0,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(file.Valid());
        return Run(partial);
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
    PROGRESS_ROWS filesRowStarted_;
};
