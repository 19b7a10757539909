#include <gtest/gtest.h>

#include <tuple>

#include "foundation/error_code.h"
#include "outlook/calendar_entries.h"
#include "outlook/call_watch.h"
#include "outlook/outlook_errors.h"
#include "outlook/views_and_settings.h"
#include "testkit/outlook_fixture.h"
#include "testkit/test_window.h"

namespace {

TEST_F(OutlookTest, GetMAPIStartsOutlookOnceAndThenAsksNothing) {
    DISPATCH_OBJECT first = GetMAPI("LoadOutlook");
    ASSERT_TRUE(first);
    // The default folder is the logon check.
    for (const char* member : {"CreateInstance", "GetNamespace", "GetDefaultFolder"})
        EXPECT_EQ(1, fake_outlook::Calls(member)) << member;
    size_t calls = fake_outlook::Journal().size();
    EXPECT_EQ(first.Get(), GetMAPI("LoadOutlook").Get());
    EXPECT_EQ(calls, fake_outlook::Journal().size()) << "no automation call the second time";
    LoadOutlook();
    EXPECT_EQ(1, fake_outlook::Calls("Type"));
    EXPECT_TRUE(presenter.Shown().empty());
}

TEST_F(OutlookTest, CreationIsTriedFiveTimesThenMessage17NamesTheCaller) {
    Reload("fault|CreateInstance|*|0x80080005|0|4\n");
    EXPECT_EQ("returned", Outcome(LoadOutlook));
    EXPECT_EQ(5, fake_outlook::Calls("CreateInstance"));
    EXPECT_EQ(2000u, PausedMilliseconds());
    Reload("fault|CreateInstance|*|0x80080005\n");
    EXPECT_EQ("error code 23", Outcome(LoadOutlook)) << "ERR_USER_ABORT";
    EXPECT_EQ(5, fake_outlook::Calls("CreateInstance"));
    ExpectLastSaid(1, {"unable to communicate with Microsoft Outlook",
                       "\n_GetOutlook [GetMAPI:LoadOutlook]\n"});
    EXPECT_FALSE(OutlookConnection().applicationCreated);
}

TEST_F(OutlookTest, NameSpaceFailuresShowMessage24AfterTheEleventhAndAreNotForgotten) {
    fake_outlook::Add("fault|GetNamespace|*|0x80004005||-1|The profile is damaged.\n");
    EXPECT_EQ("COM error 80004005", Outcome(GetMapi));
    EXPECT_EQ(11, fake_outlook::Calls("GetNamespace"));
    ExpectLastSaid(1, {"Unable to start Microsoft Outlook.", "[1] ", "The profile is damaged."});
    // The counter is not reset: the next failure shows the message at once.
    fake_outlook::ClearJournal();
    EXPECT_EQ("COM error 80004005", Outcome(GetMapi));
    EXPECT_EQ(1, fake_outlook::Calls("GetNamespace"));
    ExpectLastSaid(2, {});
}

TEST_F(OutlookTest, LogonFailuresRetryOnlyWhenOutlookIsBusy) {
    // Busy: the NameSpace is asked eight times, then message 25.
    fake_outlook::Add("fault|GetDefaultFolder|*|0x80010001\n");
    EXPECT_EQ("error code 23", Outcome(GetMapi));
    EXPECT_EQ(8, fake_outlook::Calls("GetNamespace"));
    EXPECT_EQ(7u * 700u, PausedMilliseconds());
    ExpectLastSaid(1, {"Unable to initialize Microsoft Outlook."});
    // The NameSpace stays: the next GetMAPI asks nothing.
    fake_outlook::ClearJournal();
    EXPECT_TRUE(GetMAPI("LoadOutlook"));
    EXPECT_TRUE(fake_outlook::Journal().empty());
    // "The operation failed" in the description is worth retrying too.
    Reload("fault|GetDefaultFolder|*|0x80004005|0|2|The operation failed.\n");
    EXPECT_TRUE(GetMAPI("LoadOutlook"));
    EXPECT_EQ(3, fake_outlook::Calls("GetNamespace"));
    // Anything else: message 22 at once.
    Reload("fault|GetDefaultFolder|*|0x80040111||-1|Log-on cancelled.\n");
    EXPECT_EQ("error code 23", Outcome(GetMapi));
    EXPECT_EQ(1, fake_outlook::Calls("GetNamespace"));
    ExpectLastSaid(2, {"Unable to startup Microsoft Outlook."});
}

TEST_F(OutlookTest, RunningOutlookIsFoundByItsActiveObjectAndItsMainWindow) {
    // The ProgID, as Outlook's setup registers it.
    const char* const progId = "Software\\Classes\\Outlook.Application\\CLSID";
    const char* const clsid = "{0006F03A-0000-0000-C000-000000000046}";
    // Under qemu-i386 a 32-bit program's calls to another process (here Wine's
    // service that keeps the running object table) now and then stall for
    // good; there the table is left to the scenarios, a process each.
    char mode[16] = "";
    GetEnvironmentVariableA("ORVALITH_WINE_MODE", mode, sizeof mode);
    if (lstrcmpA(mode, "qemu") != 0) {
        RegSetValueA(HKEY_LOCAL_MACHINE, progId, REG_SZ, clsid, lstrlenA(clsid));
        EXPECT_FALSE(IsOutlookRunning());
        fake_outlook::SetRunning(true);
        EXPECT_TRUE(IsOutlookRunning());
        fake_outlook::SetRunning(false);
        EXPECT_FALSE(IsOutlookRunning());
    }
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, progId);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Classes\\Outlook.Application");

    VECTOR<HWND> windows, none;
    {
        // Neither the class alone nor the title alone makes a main window.
        TEST_WINDOW main("rctrl_renwnd32", "Inbox - Microsoft Outlook");
        TEST_WINDOW bare("rctrl_renwnd32", "Outlook");
        TEST_WINDOW other("OtherClass", "Inbox - Microsoft Outlook");
        EXPECT_TRUE(FindOutlookWindows(windows));
        ASSERT_EQ(1, windows.Count());
        EXPECT_EQ(main.Get(), windows[0]);
    }
    EXPECT_FALSE(FindOutlookWindows(none));
}

TEST(ComErrorTexts, SystemTextDescriptionAndSubstitutes) {
    std::string text =
        ComErrorText(COM_ERROR(E_ACCESSDENIED, MakeErrorInfo(L"The folder is locked.")));
    size_t lineBreak = text.find('\n');
    ASSERT_NE(std::string::npos, lineBreak) << text;
    EXPECT_EQ("The folder is locked.", text.substr(lineBreak + 1));
    EXPECT_NE('\r', text[lineBreak - 1]);
    EXPECT_FALSE(text.substr(0, lineBreak).empty());

    EXPECT_EQ("IDispatch error #4096", ComErrorText(COM_ERROR(static_cast<HRESULT>(0x80041200))));
    EXPECT_EQ("", ComErrorText(COM_ERROR(static_cast<HRESULT>(0x80040200))));
    std::wstring longText(500, L'x');
    COM_ERROR longError(static_cast<HRESULT>(0x80040200), MakeErrorInfo(longText.c_str()));
    EXPECT_EQ(350u, ComErrorDescription(longError).size());
    EXPECT_EQ(350u, ComErrorText(longError).size());
}

TEST_F(OutlookTest, KnownErrorsEachHaveTheirMessage) {
    const char* const gone =
        "Communication with Microsoft Outlook has been unexpectedly terminated.";
    const char* const aborted = "Outlook is reporting that the operation was aborted.";
    // The error, its description and the message's words (nullptr: none).
    const std::tuple<unsigned long, const wchar_t*, const char*> cases[] = {
        {0x80010108, L"", gone},
        {0x800706BA, L"", gone},
        {0x80010007, L"", gone},
        {0x80004004, L"", aborted},
        {0x80040113, L"", aborted},
        {0x80040115, L"", "Network problems are preventing connection"},
        {0x80041200, L"The Network is down.", "The Network is down. Orvalith is stopping."},
        {0x80041200, L"A sync conflict.", "If there are any synchronization conflicts"},
        {0x80041200, L"Synchronize first.", nullptr},
        {0x80041200, L"Please resync.", nullptr},
        {0x80041200, L"", nullptr},
        {0x80070005, L"Denied.", nullptr},
    };
    for (const auto& [result, description, expected] : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << result);
        SCRIPTED_PRESENTER shown;
        ForgetOutlookFailures();
        COM_ERROR error(static_cast<HRESULT>(result),
                        description[0] ? MakeErrorInfo(description) : COM_PTR<IErrorInfo>());
        bool abortedByUser = false;
        try {
            UserAbortIfKnownError(error, "COMdeleteCalTaskEntries", "");
        } catch (ERROR_CODE code) {
            abortedByUser = code == ERR_USER_ABORT;
        }
        EXPECT_EQ(expected != nullptr, abortedByUser);
        ASSERT_EQ(expected ? 1u : 0u, shown.Shown().size());
        if (!expected)
            continue;
        // The message keeps its icon; the context is its last line.
        std::string said = Said(shown.Shown()[0]);
        EXPECT_NE(0u, shown.Shown()[0].Icon()) << said;
        EXPECT_EQ(said.size() - 25, said.find("\n\nCOMdeleteCalTaskEntries")) << said;
        EXPECT_NE(std::string::npos, said.find(expected)) << said;
        // Told once a run: the same kind again ends the work silently.
        EXPECT_THROW(UserAbortIfKnownError(error, "again", ""), ERROR_CODE);
        EXPECT_EQ(1u, shown.Shown().size());
    }
}

// From calendars at the top, under a mail folder and in the second store,
// each filtered once and emptied from its last position first; mail folders
// are not visited.
TEST_F(OutlookTest, MarkedEntriesGoFromEveryCalendarOfEveryStore) {
    COMdeleteAllCalTaskEntries();
    EXPECT_EQ(3, fake_outlook::Calls("Restrict"));
    std::vector<std::string> deletes;
    for (const std::string& line : fake_outlook::Journal())
        if (line.size() > 7 && line.compare(line.size() - 7, 7, ".Delete") == 0)
            deletes.push_back(line);
    EXPECT_EQ(deletes, std::vector<std::string>(
                           {"Item(Orvalith nested).Delete", "Item(Orvalith two).Delete",
                            "Item(Orvalith one).Delete", "Item(Orvalith archived).Delete"}));
}

TEST_F(OutlookTest, FailuresSkipAnEntryOrAFolder) {
    // A folder that rejects the filter is left alone; the archive's last
    // filtered item is a task: its pass ends at once.
    fake_outlook::Add("fault|Restrict|Calendar|0x80020009||-1|Unknown property.\n"
                      "task|Archive/Old Calendar|A task with the marker|4\n");
    COMdeleteAllCalTaskEntries();
    ExpectHeld(true, {"Orvalith one", "Orvalith archived"});
    ExpectHeld(false, {"Orvalith nested"});
    // A failed delete is tolerated: the next entry is still tried.
    Reload("fault|Delete|Orvalith two|0x80004005|0|1\n");
    COMdeleteAllCalTaskEntries();
    ExpectHeld(true, {"Orvalith two"});
    ExpectHeld(false, {"Orvalith one"});
    // A failed fetch ends the folder; other folders go on.
    Reload("fault|Delete|Orvalith two|0x80004005|0|1\n"
           "fault|EntryID|Orvalith one|0x80004005|0|1\n");
    COMdeleteAllCalTaskEntries();
    ExpectHeld(true, {"Orvalith one"});
    ExpectHeld(false, {"Orvalith archived"});
    EXPECT_TRUE(presenter.Shown().empty());
}

TEST_F(OutlookTest, ASyncConflictShowsMessage34AndEndsTheStep) {
    fake_outlook::Add("fault|Delete|Orvalith two|0x80041200|0|1|A sync conflict exists.\n");
    COMdeleteAllCalTaskEntries();
    EXPECT_EQ(1u, presenter.Shown().size());
    // Walked before the conflict; no further folder is processed.
    ExpectHeld(false, {"Orvalith nested"});
    ExpectHeld(true, {"Orvalith archived"});
}

// The pauses for a busy Outlook share one budget of 2 minutes a run: once
// it is spent, the step ends with message 31, Outlook counts as lost, and a
// call rejected later fails at once.
TEST_F(OutlookTest, CallsRejectedAsBusyShareOneBudgetForTheRun) {
    fake_outlook::Add("busy|Delete|1||0x8001010A|6\n");
    COMdeleteAllCalTaskEntries();
    ExpectHeld(false, {"Orvalith two", "Orvalith one", "Orvalith archived"});
    EXPECT_EQ(6u * 250u, PausedMilliseconds());
    EXPECT_TRUE(presenter.Shown().empty());
    EXPECT_FALSE(OutlookLost());
    Reload("busy|Delete|1||0x80010001|1000\n");
    COMdeleteAllCalTaskEntries();
    ExpectHeld(true, {"Orvalith two", "Orvalith archived"});
    EXPECT_EQ(6u * 250u + 120000u, PausedMilliseconds());
    ExpectLastSaid(1, {"Outlook is reporting that the operation was aborted."});
    EXPECT_TRUE(OutlookLost());
    fake_outlook::Add("busy|Restrict|0||0x80010001|1000\n");
    COMdeleteAllCalTaskEntries();
    EXPECT_EQ(6u * 250u + 120000u, PausedMilliseconds());
    EXPECT_EQ(1u, presenter.Shown().size());
}

// Outlook gone between folders, and gone as RPC_E_SERVER_DIED_DNE: message
// 12 once, no folder after it asked.
TEST_F(OutlookTest, GoneIsSeenBetweenFoldersAndWithinThem) {
    for (const char* rule : {"gone|GetFolderFromID|1\n", "fault|Delete|*|0x80010007\n"}) {
        SCOPED_TRACE(rule);
        Reload(rule);
        size_t shown = presenter.Shown().size();
        COMdeleteAllCalTaskEntries();
        EXPECT_TRUE(OutlookLost());
        ASSERT_EQ(shown + 1, presenter.Shown().size());
        EXPECT_TRUE(Has(Said(presenter.Shown().back()), "unexpectedly terminated"));
        ExpectHeld(true, {"Orvalith archived"});
        EXPECT_EQ(1, fake_outlook::Calls("Restrict"));
    }
}

TEST_F(OutlookTest, AWatchNamesTheOutlookCallThatDoesNotAnswer) {
    static std::vector<std::string> overdue;
    fake_outlook::Add("hang|Restrict|1\n");
    {
        OUTLOOK_CALL_WATCH watch(1000, [](const char* call, DWORD) {
            overdue.push_back(call);
            if (overdue.back() == "Restrict") // not a call merely slow
                fake_outlook::EndHang();
        });
        COMdeleteAllCalTaskEntries();
    }
    ASSERT_FALSE(overdue.empty());
    EXPECT_EQ("Restrict", overdue.back());
    ExpectHeld(false, {"Orvalith archived"}); // the call went on once answered
}

// The program's own limit is 5 minutes: on a clock that the watch moves on
// 30 s at each look, a stuck call is reported once it has waited that long,
// not a look sooner or later.
TEST_F(OutlookTest, TheShippedLimitIsFiveMinutesOfTheWatchsClock) {
    static DWORD now = 0, callStarted = 0, waited = 0, limit = 0, caller = GetCurrentThreadId();
    ASSERT_EQ(5u * 60u * 1000u, OutlookCallLimit());
    OUTLOOK_CALL_WATCH::SetClockForTesting([] {
        if (GetCurrentThreadId() != caller)
            return now += 30000;
        return callStarted = now;
    });
    fake_outlook::Add("hang|Restrict|0\n");
    {
        OUTLOOK_CALL_WATCH watch(OutlookCallLimit(), [](const char* call, DWORD limitMs) {
            waited = now - callStarted;
            limit = limitMs;
            if (std::string(call) == "Restrict")
                fake_outlook::EndHang();
        });
        COMdeleteAllCalTaskEntries();
    }
    OUTLOOK_CALL_WATCH::SetClockForTesting(nullptr);
    EXPECT_EQ(OutlookCallLimit(), limit);
    EXPECT_EQ(300000u, waited);
}

TEST_F(OutlookTest, TheSecondViewFindsItsFolderInTheCache) {
    DeleteOrvalithViews();
    EXPECT_EQ(1, fake_outlook::Calls("GetFolderFromID"));
}

TEST_F(OutlookTest, TheStepEndsQuietlyWhenOutlookCannotBeReached) {
    fake_outlook::Add("fault|CreateInstance|*|0x80080005\n");
    EXPECT_NO_THROW(COMdeleteAllCalTaskEntries());
    EXPECT_NO_THROW(DeleteSettingsTask());
    EXPECT_EQ(2u, presenter.Shown().size()) << "message 17 each time, nothing more";
}

TEST_F(OutlookTest, AHundredFoldersAreCachedByEntryIdWithoutRegardToCase) {
    OUTLOOK_FOLDER folder = FolderOf("CAL-A");
    folder.storeID = "STORE-A";
    ASSERT_TRUE(GetMAPIfolder(folder, -1, "test"));
    EXPECT_EQ("Calendar", folder.name);
    EXPECT_EQ("\\\\Mailbox\\Calendar", folder.path);
    OUTLOOK_FOLDER again = FolderOf("cal-a");
    again.name = "[None Selected]";
    ASSERT_TRUE(GetMAPIfolder(again, -1, "test"));
    EXPECT_EQ(1, fake_outlook::Calls("GetFolderFromID"));
    EXPECT_EQ(2, fake_outlook::Calls("StoreID")) << "the store ID is read every time";
    EXPECT_EQ("Calendar", again.name);
    EXPECT_EQ(1, OutlookConnection().folders.Count());

    ReleaseOutlook();
    std::string profile = "store|S|ST\nfolder|S/Tasks|tasks|T\n";
    for (int i = 0; i < 101; ++i)
        profile += "folder|S/F" + std::to_string(i) + "|calendar|ID" + std::to_string(i) + "\n";
    fake_outlook::Load(profile);
    for (int i = 0; i < 101; ++i) {
        OUTLOOK_FOLDER numbered = FolderOf("ID" + std::to_string(i));
        ASSERT_TRUE(GetMAPIfolder(numbered, -1, "test")) << i;
    }
    EXPECT_EQ(100, OutlookConnection().folders.Count());
    // The hundred and first is asked for again.
    OUTLOOK_FOLDER last = FolderOf("ID100");
    fake_outlook::ClearJournal();
    EXPECT_TRUE(GetMAPIfolder(last, -1, "test"));
    EXPECT_EQ(1, fake_outlook::Calls("GetFolderFromID"));
}

TEST_F(OutlookTest, AFolderThatCannotBeOpenedShowsMessage64WithItsKindAndCaller) {
    OUTLOOK_FOLDER folder = FolderOf("MISSING");
    EXPECT_THROW(GetMAPIfolder(folder, -1, "COMdeleteCalTaskEntries"), ERROR_CODE);
    ASSERT_EQ(1u, presenter.Shown().size());
    std::string said = Said(presenter.Shown()[0]);
    EXPECT_TRUE(Has(said, "verifying Outlook's Invalid Folder Type folder")) << said;
    EXPECT_TRUE(Has(said, "could not be found")) << said;
    EXPECT_EQ("COMdeleteCalTaskEntries", said.substr(said.rfind('\n') + 1));
    // Outlook gone: message 12, the description marked unreachable.
    fake_outlook::Add("fault|GetFolderFromID|*|0x80010108\n");
    EXPECT_THROW(GetMAPIfolder(folder, -1, "x"), ERROR_CODE);
    EXPECT_EQ("[None Selected]", folder.name);
    ExpectLastSaid(2, {"unexpectedly terminated"});
}

TEST_F(OutlookTest, ViewsAndSettingsFallBackQuietly) {
    fake_outlook::Load("store|S|ST\nfolder|S/Tasks|tasks|T\nview|S/Tasks|Orvalith A1\n"
                       "storage|S/Tasks|Orvalith Settings\nmail|S/Tasks|Orvalith Settings|-\n"
                       "fault|GetStorage|*|0x80070057\n");
    EXPECT_TRUE(OUTLOOK_VIEW::DeleteView("Orvalith Nat Ord"));
    EXPECT_TRUE(OUTLOOK_VIEW::DeleteView("Orvalith A1"));
    ExpectHeld(false, {"view|S/Tasks|Orvalith A1"});
    DeleteSettingsTask();
    // The storage was refused; the item is no task: both are left alone.
    ExpectHeld(true, {"storage|S/Tasks|Orvalith Settings", "mail|S/Tasks|Orvalith Settings"});
    EXPECT_TRUE(presenter.Shown().empty());
    // Without the storage (Outlook then hands out a new, unsaved one), the
    // step is as silent, and the task item is still found and deleted.
    fake_outlook::Load("store|S|ST\nfolder|S/Tasks|tasks|T\ntask|S/Tasks|Orvalith Settings|-\n");
    ReleaseOutlook();
    DeleteSettingsTask();
    EXPECT_EQ("store|S|ST\nfolder|S/Tasks|tasks|T\n", fake_outlook::Dump());
    EXPECT_TRUE(presenter.Shown().empty());
}

// Every failure kind at every member the removal calls: the step ends as it
// should, shows at most its one message, never hangs, and holds nothing. Of
// the known kinds other than Outlook gone, which differ only in their
// message, one stands for all.
TEST_F(OutlookTest, FaultsAtEveryCallPoint) {
    const std::tuple<const char*, const char*, bool> kinds[] = {
        {"0x80010108", "", true},
        {"0x80004004", "", true},
        {"0x80041200", "Sync issue. A sync conflict.", true},
        {"0x80004005", "", false},
        {"0x80004005", "Something odd.", false}};
    for (const char* member : {"Folders", "Count", "Item", "DefaultItemType", "EntryID", "StoreID",
                               "GetFolderFromID", "Name", "FolderPath", "Items", "Restrict",
                               "Delete", "Views", "GetStorage", "GetDefaultFolder"}) {
        for (const auto& [result, description, known] : kinds) {
            SCOPED_TRACE(std::string(member) + " " + result + " " + description);
            fake_outlook::Load(PROFILE);
            fake_outlook::Add(std::string("fault|") + member + "|*|" + result + "|0|-1|" +
                              description + "\n");
            size_t shown = presenter.Shown().size();
            EXPECT_NO_THROW(COMdeleteAllCalTaskEntries());
            EXPECT_NO_THROW(DeleteSettingsTask());
            try {
                DeleteOrvalithViews();
            } catch (ERROR_CODE code) {
                EXPECT_EQ(ERR_USER_ABORT, code);
            }
            ReleaseOutlook();
            EXPECT_EQ(0, fake_outlook::LiveObjects());
            EXPECT_LE(presenter.Shown().size() - shown, 4u);
            for (size_t i = shown; i < presenter.Shown().size(); ++i)
                EXPECT_FALSE(!known && Has(Said(presenter.Shown()[i]), "Orvalith is stopping"))
                    << Said(presenter.Shown()[i]);
        }
    }
}

} // namespace
