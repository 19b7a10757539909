// The whole uninstall run in this process (set-up in testkit/uninstall_run.h).
#include <gtest/gtest.h>

#include <tuple>

#include "system/system_info.h"
#include "testkit/uninstall_run.h"

namespace {

const std::string TITLE = "Orvalith Uninstall Progress";
const std::string PARTIAL_TITLE = "Undoing Orvalith Setup";
const char* const UNSUCCESSFUL = "Orvalith Uninstall was unsuccessful.";

bool StartsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

// The add-in's own uninstaller fails (its row reads "Failed!"), or else
// Outlook cannot be created (the calendar row stays grey): after the step's
// own message comes the run's, and nothing after it runs (every file stays;
// a restore point begun is left open, stage 3). The helper's window was
// closed first, the dialog cannot be closed by the user meanwhile, and the
// per-user key goes all the same. The restore point is made only on Windows
// XP or later, outside partial mode, and not after a run that stopped right
// after it began (stage 2); other stages do not matter.
TEST_F(UninstallRun, AFailedAddInUninstallOrOutlookAbandonsTheRun) {
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
    // Stored stage (0: none), Windows 5.minor, partial, the restore-point row,
    // whether Outlook rather than the add-in fails.
    const std::tuple<DWORD, DWORD, bool, PROGRESS_ROW, bool> cases[] = {
        {0, 1, false, DONE, false},  {2, 1, false, HIDDEN, false}, {3, 1, false, DONE, false},
        {15, 1, false, DONE, false}, {16, 1, false, DONE, false},  {0, 0, false, HIDDEN, false},
        {0, 1, true, DONE, false},   {0, 1, false, DONE, true},
    };
    for (const auto& [stored, minor, partial, restoreRow, outlookFails] : cases) {
        partialRun = partial;
        SCOPED_TRACE(testing::Message()
                     << "stage " << stored << ", Windows 5." << minor
                     << (partial ? ", partial" : "") << (outlookFails ? ", Outlook" : ""));
        VERSION_GUARD version(5, minor);
        UNINSTALLER_JOURNAL uninstaller;
        // Answered in this process: asking Wine to start a server it does not
        // know can stall it on qemu.
        if (outlookFails) {
            fake_outlook::Load("fault|CreateInstance|*|0x80080005\n");
            fake_outlook::Register();
            outlook_ = true;
        }
        std::unique_ptr<UNINSTALL_ENTRY> entry;
        if (!outlookFails) {
            entry = std::make_unique<UNINSTALL_ENTRY>("OrvalithTest.Sequence", ADDIN_DISPLAY_NAME);
            entry->SetCommand(HKEY_CURRENT_USER, FakeUninstallerPath() +
                                                     " /entry OrvalithTest.Sequence /exit 1 /keep");
        }
        HELPER_WINDOW helper(false);
        ASSERT_TRUE(helper.window);
        DeleteFileA(srFolder_.File("journal.txt").c_str());
        ResetRestorePointForTesting();
        if (stored)
            SetRegDword(HKEY_CURRENT_USER, STAGE_KEY, "uStage", stored);

        EXPECT_EQ(1, Run(partial));

        EXPECT_EQ(outlookFails ? 0u : 1u, uninstaller.Starts().size());
        EXPECT_FALSE(IsWindow(helper.window));
        ASSERT_EQ(2u, moments_.size());
        EXPECT_TRUE(outlookFails || StartsWith(moments_[0].message, "Uninstall of Add-In"))
            << moments_[0].message;
        EXPECT_FALSE(moments_[0].helperWindow);
        const MOMENT& last = moments_[1];
        EXPECT_EQ(UNSUCCESSFUL, last.message);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), last.type);
        EXPECT_EQ(moments_[0].dialog, last.dialog);
        EXPECT_TRUE(last.dialogVisible) << "Escape or the close button ended the dialog";
        EXPECT_EQ(partial ? PARTIAL_TITLE : TITLE, last.title);
        EXPECT_EQ(
            (PROGRESS_ROWS{restoreRow, outlookFails ? DONE : FAILED, GREY, GREY, GREY, GREY, GREY}),
            last.rows);
        EXPECT_EQ(3u, last.stage);
        EXPECT_EQ(CurrentProductFiles(), Left());
        EXPECT_TRUE(Exists(program_));
        const bool made = restoreRow == DONE && !partial;
        EXPECT_EQ(made ? STRINGS{RESTORE_BEGIN} : STRINGS{}, RestorePointCalls());
    }
}

// A complete run started from inside the program folder: every row "Done",
// every product file, folder and key gone, Outlook's main window closed, the
// restore point begun and ended. (Which Outlook data goes is the Outlook
// tests' part and the demonstration machine's.)
TEST_F(UninstallRun, ACompleteRunRemovesEverythingAndReturns0) {
    WithOutlook();
    UNINSTALLER_JOURNAL uninstaller;
    UNINSTALL_ENTRY entry("OrvalithTest.Sequence", ADDIN_DISPLAY_NAME);
    entry.SetCommand(HKEY_CURRENT_USER,
                     FakeUninstallerPath() + " /entry OrvalithTest.Sequence /exit 0");
    ASSERT_TRUE(SetCurrentDirectoryA(program_.c_str()));
    // Outlook's main window as this thread shows it (which windows count as
    // Outlook's is the connection test's part).
    HWND outlook =
        MakeWindow("rctrl_renwnd32", "Inbox - Microsoft Outlook", DefWindowProcA, nullptr);

    EXPECT_EQ(0, Run());

    EXPECT_TRUE(moments_.empty()) << moments_[0].message;
    EXPECT_EQ(1u, uninstaller.Starts().size());
    EXPECT_FALSE(entry.Present());
    EXPECT_EQ(3, HELPER_WINDOW::requests);
    EXPECT_EQ((PROGRESS_ROWS{DONE, DONE, DONE, RUNNING, GREY, GREY, GREY}), filesRowStarted_);
    EXPECT_EQ(16u, stageAtFiles_);
    EXPECT_EQ((PROGRESS_ROWS(7, DONE)), closing_.rows);
    EXPECT_EQ(TITLE, closing_.title);

    EXPECT_TRUE(Left().empty());
    for (const std::string& folder : {program_, root_, base_.Path() + "\\Brindlecove"})
        EXPECT_FALSE(Exists(folder)) << folder;
    EXPECT_FALSE(RegKeyPresent(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY));
    EXPECT_EQ((STRINGS{RESTORE_BEGIN, RESTORE_END}), RestorePointCalls());

    // Lets the posted messages arrive.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
    EXPECT_FALSE(IsWindow(outlook)) << "Outlook's main window was not closed";
}

// A file that cannot be deleted is listed with the system's reason while the
// dialog shows; the run goes on and, at its end, says that not all was
// removed, and still returns 0. A failed row stays "Failed!" once done.
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
    EXPECT_EQ((PROGRESS_ROWS{DONE, DONE, DONE, FAILED, GREY, GREY, GREY}), files.rows);
    EXPECT_EQ(16u, files.stage);

    const MOMENT& end = moments_[1];
    EXPECT_TRUE(
        StartsWith(end.message, "Not all of Orvalith's components were successfully removed."))
        << end.message;
    EXPECT_TRUE(end.dialogVisible);
    EXPECT_EQ((PROGRESS_ROWS{DONE, DONE, DONE, FAILED, DONE, DONE, DONE}), end.rows);
    EXPECT_EQ(15u, end.stage);

    EXPECT_EQ(STRINGS{"Orvalith.exe"}, Left());
    EXPECT_EQ((STRINGS{RESTORE_BEGIN, RESTORE_END}), RestorePointCalls());
}

// Partial mode, as setup undoes an unfinished install: a file left behind is
// not reported and its row reads "Done"; no restore point.
TEST_F(UninstallRun, PartialModeReportsNoFilesAndMakesNoRestorePoint) {
    WithOutlook();
    EXPECT_EQ(0, RunHoldingTheProgram(true));

    EXPECT_TRUE(moments_.empty()) << moments_[0].message;
    EXPECT_EQ(PARTIAL_TITLE, closing_.title);
    EXPECT_EQ((PROGRESS_ROWS(7, DONE)), closing_.rows);
    EXPECT_TRUE(RestorePointCalls().empty());
    EXPECT_EQ(STRINGS{"Orvalith.exe"}, Left());
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
    fake_outlook::Register();
    outlook_ = true;
    DWORD took[2] = {};
    for (bool hung : {false, true}) {
        SCOPED_TRACE(hung ? "a helper that never answers" : "a helper that answers");
        fake_outlook::Load(RUN_PROFILE);
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
        EXPECT_EQ((PROGRESS_ROWS(7, DONE)), closing_.rows);
        EXPECT_TRUE(Left().empty());
        EXPECT_EQ((STRINGS{RESTORE_BEGIN, RESTORE_END}), RestorePointCalls());
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
    DECOYS atRoot;
    ASSERT_TRUE(atRoot.Add("C:\\Orvalith.exe", false));
    ASSERT_TRUE(atRoot.Add("C:\\Orvalith Add-In", true));
    ASSERT_TRUE(atRoot.Add("C:\\Orvalith Add-In\\Setup.exe", false));
    fake_outlook::Register();
    outlook_ = true;

    for (const char* text : {".", "C:", "C:\\", "\\"}) {
        for (bool fromAppPaths : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << '"' << text << '"' << (fromAppPaths ? " from App Paths" : ", partial"));
            fake_outlook::Load(RUN_PROFILE);
            SetRegString(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY, "Path",
                         fromAppPaths ? text : "");
            SetRegString(HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY, "RootPath",
                         fromAppPaths ? text : "");
            moments_.clear();
            EXPECT_EQ(0, RunUninstall(GetModuleHandleA(nullptr), fromAppPaths ? "" : text,
                                      !fromAppPaths));

            EXPECT_EQ(CurrentProductFiles(), FilesLeft(here.Path(), CurrentProductFiles()));
            EXPECT_TRUE(Exists(emptyFolder));
            EXPECT_EQ(atRoot.Missing(), STRINGS());
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

} // namespace
