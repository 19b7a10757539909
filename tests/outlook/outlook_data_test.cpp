#include "testkit/outlook_fixture.h"

#include "foundation/error_code.h"
#include "outlook/calendar_entries.h"
#include "outlook/views_and_settings.h"

namespace {

// From calendars at the top, under a mail folder and in the second store,
// each filtered once and emptied from its last position first; mail folders
// are not visited.
TEST_F(OutlookTest, MarkedEntriesGoFromEveryCalendarOfEveryStore) {
    COMdeleteAllCalTaskEntries();
    ExpectHeld(true, {"appointment|Mailbox/Calendar|Dentist|-",
                      "appointment|Mailbox/Calendar|Negative marker|-1",
                      "appointment|Archive/Old Calendar|Holiday|-",
                      "mail|Mailbox/Inbox|Orvalith newsletter|5"});
    EXPECT_TRUE(presenter.Shown().empty());
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
    ASSERT_EQ(1u, presenter.Shown().size());
    std::string said = Said(presenter.Shown()[0]);
    EXPECT_EQ(0u, said.find("COMdeleteCalTaskEntries\n")) << said;
    EXPECT_TRUE(Has(said, "There was a problem reading task \"\".")) << said;
    // Walked before the conflict; no further folder is processed.
    ExpectHeld(false, {"Orvalith nested"});
    ExpectHeld(true, {"Orvalith archived"});
}

TEST_F(OutlookTest, TheViewsAndTheSettingsItemGo) {
    DeleteSettingsTask();
    DeleteOrvalithViews();
    ExpectHeld(false,
               {"view|Mailbox/Tasks|Orvalith Nat Ord", "view|Mailbox/Tasks|Orvalith A1",
                "storage|Mailbox/Tasks|Orvalith Settings", "task|Mailbox/Tasks|Orvalith Settings"});
    ExpectHeld(true, {"view|Mailbox/Tasks|Simple List", "task|Mailbox/Tasks|Buy milk"});
    EXPECT_EQ(1, fake_outlook::Calls("GetFolderFromID")) << "the second view uses the cache";
    EXPECT_TRUE(presenter.Shown().empty());
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
    // Outlook gone: no message, the description marked unreachable.
    fake_outlook::Add("fault|GetFolderFromID|*|0x80010108\n");
    EXPECT_THROW(GetMAPIfolder(folder, -1, "x"), ERROR_CODE);
    EXPECT_EQ("[None Selected]", folder.name);
    EXPECT_EQ(1u, presenter.Shown().size());
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
// should, shows at most its one message, never hangs, and holds nothing.
TEST_F(OutlookTest, FaultsAtEveryCallPoint) {
    const struct {
        const char* result;
        const char* description;
        bool known;
    } kinds[] = {{"0x80010108", "", true},
                 {"0x80004004", "", true},
                 {"0x80040115", "", true},
                 {"0x80040113", "", true},
                 {"0x80041200", "Sync issue. A sync conflict.", true},
                 {"0x80004005", "", false},
                 {"0x80004005", "Something odd.", false}};
    for (const char* member : {"Folders", "Count", "Item", "DefaultItemType", "EntryID", "StoreID",
                               "GetFolderFromID", "Name", "FolderPath", "Items", "Restrict",
                               "Delete", "Views", "GetStorage", "GetDefaultFolder"}) {
        for (const auto& kind : kinds) {
            SCOPED_TRACE(std::string(member) + " " + kind.result + " " + kind.description);
            fake_outlook::Load(PROFILE);
            fake_outlook::Add(std::string("fault|") + member + "|*|" + kind.result + "|0|-1|" +
                              kind.description + "\n");
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
                EXPECT_FALSE(!kind.known && Has(Said(presenter.Shown()[i]), "Orvalith is stopping"))
                    << Said(presenter.Shown()[i]);
        }
    }
}

} // namespace
