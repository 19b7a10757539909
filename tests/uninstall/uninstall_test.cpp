#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "app/working_folder.h"
#include "foundation/loaded_library.h"
#include "foundation/log_file.h"
#include "testkit/temp_folder.h"
#include "testkit/ui_driver.h"
#include "testkit/uninstall_run.h"

// The uninstall waits for the dialog to exist and, at its end, for it to be
// gone: the one event is signalled at each. An uninstall that gave up waiting
// closes its handle, and the system may hand the same value to a new object:
// the dialog's last signal must not reach that one.
TEST(ProgressDialog, SignalsWhenShownAndOnceEndedButNeverAHandleClosedMeanwhile) {
    OWNED_HANDLE event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    ASSERT_TRUE(StartProgressDialogThread(event.Get()));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event.Get(), 10000));
    HWND dialog = ProgressDialogWindow();
    ASSERT_TRUE(IsWindow(dialog));
    CloseProgressDialog();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event.Get(), 15000));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(nullptr, ProgressDialogWindow());

    ASSERT_TRUE(StartProgressDialogThread(event.Get()));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event.Get(), 10000));
    const HANDLE closed = event.Get();
    event.Reset();
    OWNED_HANDLE newcomer(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    EXPECT_EQ(closed, newcomer.Get()) << "the system did not reuse the value";

    CloseProgressDialog();
    EXPECT_TRUE(PollUntil([] { return ProgressDialogWindow() == nullptr; }, 10000));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(newcomer.Get(), 1000));
}

TEST(RestorePoint, NothingMoreIsCalledAfterAFailedBeginOrWithoutTheLibrary) {
    VERSION_GUARD xp(5, 1);
    // The service refuses, a negative sequence number is to be ended, and the
    // system folder has no library: the one planted beside this program
    // (the stand-in, which would answer) is never taken instead.
    ASSERT_TRUE(FileExists(ThisProgramFolder() + "\\SrClient.DLL"));
    for (const std::string scene : {"refused", "negative", "planted"}) {
        SCOPED_TRACE(scene);
        TEMP_FOLDER folder;
        ENVIRONMENT_OVERRIDE journal("ORVALITH_SRCLIENT_JOURNAL", folder.File("journal.txt"));
        ENVIRONMENT_OVERRIDE answer("ORVALITH_SRCLIENT_ANSWER",
                                    scene == "refused" ? "fail" : nullptr);
        std::unique_ptr<SYSTEM_SRCLIENT> library;
        if (scene != "planted")
            library = std::make_unique<SYSTEM_SRCLIENT>();
        ResetRestorePointForTesting();
        if (scene == "negative") {
            EXPECT_EQ(-1, SetRestorePoint(END_SYSTEM_CHANGE, APPLICATION_INSTALL, -5));
        } else {
            BeginRestorePoint();
            EXPECT_EQ(-1, RestorePointSequenceNumber());
            EndRestorePoint();
        }

        // Refused, the begin alone is asked for, and answered 0.
        const std::vector<std::string> calls =
            SplitLines(ReadWholeFile(folder.File("journal.txt")));
        ASSERT_EQ(scene == "refused" ? 1u : 0u, calls.size());
        if (!calls.empty()) {
            EXPECT_EQ(0u, calls[0].find("event=100 ")) << calls[0];
            EXPECT_NE(std::string::npos, calls[0].find(" answer=0 ")) << calls[0];
        }
    }
    // Nor by a bare name, once libraries come from the system folder only.
    LoadLibrariesFromSystemFolderOnly();
    LOADED_LIBRARY bare("SrClient.DLL");
    char path[MAX_PATH] = "";
    if (bare.IsLoaded())
        GetModuleFileNameA(GetModuleHandleA("SrClient.DLL"), path, sizeof(path));
    EXPECT_NE(0, lstrcmpiA(path, (ThisProgramFolder() + "\\SrClient.DLL").c_str())) << path;
}

TEST(WorkingFolder, FolderHoldsItselfAndWhatIsInsideOnly) {
    EXPECT_TRUE(IsInFolder("C:\\Orvalith", "C:\\Orvalith"));
    EXPECT_TRUE(IsInFolder("c:\\orvalith\\BIN\\x", "C:\\Orvalith\\"));
    EXPECT_FALSE(IsInFolder("C:\\Orvalith2", "C:\\Orvalith"));
    EXPECT_FALSE(IsInFolder("C:\\Orval", "C:\\Orvalith"));
    EXPECT_TRUE(IsInFolder("C:\\Anything", "C:\\"));
    // A blank folder holds nothing, the current folder included.
    EXPECT_FALSE(IsInFolder("C:\\Orvalith", "   "));
    EXPECT_FALSE(IsInFolder("", "C:\\Orvalith"));
}

// (".", "C:" and "\\" are too short to hold a root, as "" is.)
TEST(WorkingFolder, OnlyFoldersBelowADriveRootOrAShareAreProductFolders) {
    for (const char* sound :
         {"C:\\Orvalith", "c:/Program Files/Orvalith/", "\\\\server\\share\\Orvalith"})
        EXPECT_TRUE(IsProductFolder(sound)) << sound;
    for (const char* unsound : {"", "Orvalith", "C:Orvalith", "C:\\", "\\Orvalith",
                                "C:\\Orvalith\\..", "\\\\server\\share\\", "\\\\?\\C:\\Orvalith"})
        EXPECT_FALSE(IsProductFolder(unsound)) << unsound;
}

TEST(WorkingFolder, LeavesTheProductFoldersForTheTemporaryFolder) {
    CURRENT_FOLDER kept;
    TEMP_FOLDER root;
    STRING program = root.File("Program");
    ASSERT_TRUE(CreateDirectoryA(program.c_str(), nullptr));
    STRING inner = program + "\\Resources";
    ASSERT_TRUE(CreateDirectoryA(inner.c_str(), nullptr));

    for (const STRING& start : {program, inner, root.Path()}) {
        SCOPED_TRACE(start);
        ASSERT_TRUE(SetCurrentDirectoryA(start.c_str()));
        EXPECT_TRUE(LeaveFolders(root.Path(), program));
        EXPECT_EQ(TemporaryFolder(), CurrentFolder() + "\\");
    }
    // Elsewhere, or with blank folders or texts that name no folder below a
    // root, the current folder stays.
    ASSERT_TRUE(SetCurrentDirectoryA(root.Path().c_str()));
    for (const char* blank : {"", "  ", ".", "C:", "C:\\", "\\"})
        EXPECT_FALSE(LeaveFolders(blank, blank)) << blank;
    EXPECT_EQ(root.Path(), CurrentFolder());
    TEMP_FOLDER elsewhere;
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.Path().c_str()));
    EXPECT_FALSE(LeaveFolders(root.Path(), program));
    EXPECT_EQ(elsewhere.Path(), CurrentFolder());
}

namespace {

// The add-in's own uninstaller fails (its row "Failed!"): its message, then
// the run's, and nothing more runs (every file stays; a restore point begun
// is ended; stage 3). The helper was closed first, the user cannot close
// the dialog meanwhile, and the per-user key goes. A restore point is made on
// Windows XP or later, outside partial mode, unless a run stopped right after
// it began (stage 2).
TEST_F(UninstallRun, AFailedAddInUninstallAbandonsTheRun) {
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
    const std::tuple<DWORD, DWORD, bool, PROGRESS_ROW> cases[] = {
        {0, 1, false, DONE},  {2, 1, false, HIDDEN}, {3, 1, false, DONE}, {15, 1, false, DONE},
        {16, 1, false, DONE}, {0, 0, false, HIDDEN}, {0, 1, true, DONE},
    };
    for (const auto& [stored, minor, partial, restoreRow] : cases) {
        partialRun = partial;
        SCOPED_TRACE(testing::Message() << "stage " << stored << ", Windows 5." << minor
                                        << (partial ? ", partial" : ""));
        VERSION_GUARD version(5, minor);
        UNINSTALLER_JOURNAL uninstaller;
        UNINSTALL_ENTRY entry("OrvalithTest.Sequence", ADDIN_DISPLAY_NAME);
        entry.SetCommand(HKEY_CURRENT_USER, Command(entry, "/exit 1 /keep"));
        HELPER_WINDOW helper(false);
        ASSERT_TRUE(helper.window);
        DeleteFileA(srFolder_.File("journal.txt").c_str());
        ResetRestorePointForTesting();
        if (stored)
            SetRegDword(HKEY_CURRENT_USER, STAGE_KEY, "uStage", stored);

        EXPECT_EQ(1, Run(partial));

        EXPECT_EQ(1u, uninstaller.Starts().size());
        ASSERT_EQ(2u, moments_.size());
        EXPECT_FALSE(moments_[0].helperWindow);
        const MOMENT& last = moments_[1];
        EXPECT_EQ(UNSUCCESSFUL, last.message);
        EXPECT_EQ((PROGRESS_ROWS{restoreRow, FAILED, GREY, GREY, GREY, GREY, GREY}), last.rows);
        EXPECT_EQ(3u, last.stage);
        EXPECT_EQ(CurrentProductFiles(), Left());
        const bool made = restoreRow == DONE && !partial;
        EXPECT_EQ(made ? (STRINGS{RESTORE_BEGIN, RESTORE_END}) : STRINGS{}, RestorePointCalls());
    }
}

// A complete run started from inside the program folder: no message, every
// row "Done" when the uninstall closes the dialog, every folder gone, the
// restore point begun and ended, Outlook's main window closed. With a helper
// that never answers, and Enter and Escape pressed meanwhile, it ends the
// same, after the program's limit of 5 s for each of its three close requests
// (its log records each).
TEST_F(UninstallRun, ACompleteRunRemovesEverythingWhateverTheKeysOrTheHelper) {
    WithOutlook();
    for (bool hung : {false, true}) {
        SCOPED_TRACE(hung ? "a helper that never answers" : "a helper that answers");
        std::unique_ptr<HUNG_HELPER> hanging;
        if (hung) {
            Install();
            fake_outlook::Load(RUN_PROFILE);
            helper_.reset();
            closing_.Unhook();
            hanging = std::make_unique<HUNG_HELPER>([this] {
                closing_.Hook();
                PostMessageA(ProgressDialogWindow(), WM_KEYDOWN, VK_RETURN, 0);
                PostMessageA(ProgressDialogWindow(), WM_KEYDOWN, VK_ESCAPE, 0);
                Sleep(500);
            });
        }
        DeleteFileA(srFolder_.File("journal.txt").c_str());
        closing_.rows.clear();
        ASSERT_TRUE(SetCurrentDirectoryA(program_.c_str()));
        HWND outlook =
            MakeWindow("rctrl_renwnd32", "Inbox - Microsoft Outlook", DefWindowProcA, nullptr);
        TEMP_FOLDER logs;
        ASSERT_TRUE(Log.Open(logs.File("run.log")));
        EXPECT_EQ(0, Run());
        Log.Close();
        const std::vector<std::string> lines = SplitLines(ReadWholeFile(logs.File("run.log")));
        EXPECT_EQ(hung ? 3 : 0, std::count_if(lines.begin(), lines.end(), [](const auto& line) {
                      return line.find("no answer within 5000 ms") != std::string::npos;
                  }));

        EXPECT_TRUE(moments_.empty()) << moments_[0].message;
        // The helper is asked twice at the start and again, once the add-in is
        // gone, before the files.
        if (!hung) {
            EXPECT_EQ((PROGRESS_ROWS{DONE, DONE, DONE, RUNNING, GREY, GREY, GREY}),
                      filesRowStarted_);
        }
        EXPECT_EQ((PROGRESS_ROWS(7, DONE)), closing_.rows);
        for (const std::string& folder : {program_, root_, base_.Path() + "\\Brindlecove"})
            EXPECT_FALSE(Exists(folder)) << folder;
        EXPECT_EQ((STRINGS{RESTORE_BEGIN, RESTORE_END}), RestorePointCalls());
        // Lets the posted messages arrive.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        EXPECT_FALSE(IsWindow(outlook)) << "Outlook's main window was not closed";
    }
}

// A file that cannot be deleted is listed while the dialog shows; the run
// goes on and, at its end, says that not all was removed, and still returns
// 0. A failed row stays "Failed!" once done. In partial mode, as setup undoes
// an unfinished install, the file is not reported and its row reads "Done".
TEST_F(UninstallRun, AFileHeldOpenIsReportedUnlessPartialAndTheRunGoesOn) {
    WithOutlook();
    EXPECT_EQ(0, RunHoldingTheProgram(true));
    EXPECT_TRUE(moments_.empty()) << moments_[0].message;
    EXPECT_EQ((PROGRESS_ROWS(7, DONE)), closing_.rows);
    EXPECT_EQ(STRINGS{"Orvalith.exe"}, Left());

    Install();
    fake_outlook::Load(RUN_PROFILE);
    EXPECT_EQ(0, RunHoldingTheProgram(false));
    ASSERT_EQ(2u, moments_.size());
    const MOMENT& files = moments_[0];
    EXPECT_EQ((PROGRESS_ROWS{DONE, DONE, DONE, FAILED, GREY, GREY, GREY}), files.rows);
    EXPECT_EQ(16u, files.stage);
    const MOMENT& end = moments_[1];
    EXPECT_EQ((PROGRESS_ROWS{DONE, DONE, DONE, FAILED, DONE, DONE, DONE}), end.rows);
    EXPECT_EQ(15u, end.stage);
    EXPECT_EQ(STRINGS{"Orvalith.exe"}, Left());
}

} // namespace
