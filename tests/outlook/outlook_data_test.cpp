#include "outlook_test_support.h"

#include "foundation/error_code.h"
#include "outlook/calendar_entries.h"
#include "outlook/views_and_settings.h"

namespace {

bool Holds(const std::string& line) {
    return fake_outlook::Dump().find(line) != std::string::npos;
}

std::vector<std::string> CallsOf(const std::string& member) {
    std::vector<std::string> calls;
    for (const std::string& line : fake_outlook::Journal())
        if (line.size() > member.size() &&
            line.compare(line.size() - member.size() - 1, std::string::npos, "." + member) == 0)
            calls.push_back(line);
    return calls;
}

} // namespace

TEST_F(OutlookTest, MarkedEntriesGoFromEveryCalendarOfEveryStore) {
    COMdeleteAllCalTaskEntries();
    EXPECT_FALSE(Holds("Orvalith one")) << fake_outlook::Dump();
    EXPECT_FALSE(Holds("Orvalith two"));
    EXPECT_FALSE(Holds("Orvalith nested")) << "a calendar under a mail folder";
    EXPECT_FALSE(Holds("Orvalith archived")) << "a calendar of the second store";
    EXPECT_TRUE(Holds("appointment|Mailbox/Calendar|Dentist|-"));
    EXPECT_TRUE(Holds("appointment|Mailbox/Calendar|Negative marker|-1"));
    EXPECT_TRUE(Holds("appointment|Archive/Old Calendar|Holiday|-"));
    EXPECT_TRUE(Holds("mail|Mailbox/Inbox|Orvalith newsletter|5"))
        << "mail folders are not visited";
    EXPECT_TRUE(presenter.Shown().empty());
    // Three calendar folders, each filtered once.
    EXPECT_EQ(3, fake_outlook::Calls("Restrict"));
    EXPECT_EQ(4, fake_outlook::Calls("Delete"));
}

TEST_F(OutlookTest, EntriesAreFetchedFromTheLastPositionFirst) {
    fake_outlook::Load("store|S|ST\nfolder|S/Calendar|calendar|C\nfolder|S/Tasks|tasks|T\n"
                       "appointment|S/Calendar|first|0\nappointment|S/Calendar|second|1\n"
                       "appointment|S/Calendar|third|2\n");
    COMdeleteAllCalTaskEntries();
    std::vector<std::string> deletes = CallsOf("Delete");
    ASSERT_EQ(3u, deletes.size());
    EXPECT_EQ("Item(third).Delete", deletes[0]);
    EXPECT_EQ("Item(second).Delete", deletes[1]);
    EXPECT_EQ("Item(first).Delete", deletes[2]);
}

TEST_F(OutlookTest, AFolderThatRejectsTheFilterOrHoldsAForeignItemIsSkipped) {
    fake_outlook::Add("fault|Restrict|Calendar|0x80020009||-1|Unknown property.\n"
                      "task|Archive/Old Calendar|A task with the marker|4\n");
    COMdeleteAllCalTaskEntries();
    EXPECT_TRUE(Holds("Orvalith one")) << "the rejecting folder is left alone";
    EXPECT_FALSE(Holds("Orvalith nested"));
    // The archive's last filtered item is a task: its pass ends at once.
    EXPECT_TRUE(Holds("Orvalith archived"));
    EXPECT_TRUE(presenter.Shown().empty());
}

TEST_F(OutlookTest, AFailedDeleteIsToleratedButAFailedFetchEndsTheFolder) {
    fake_outlook::Add("fault|Delete|Orvalith two|0x80004005|0|1\n");
    COMdeleteAllCalTaskEntries();
    EXPECT_TRUE(Holds("Orvalith two"));
    EXPECT_FALSE(Holds("Orvalith one")) << "the next entry is still tried";

    ReleaseOutlook();
    fake_outlook::Load(PROFILE);
    fake_outlook::Add("fault|Delete|Orvalith two|0x80004005|0|1\n"
                      "fault|EntryID|Orvalith one|0x80004005|0|1\n");
    COMdeleteAllCalTaskEntries();
    EXPECT_TRUE(Holds("Orvalith one"));
    EXPECT_FALSE(Holds("Orvalith archived")) << "other folders go on";
}

TEST_F(OutlookTest, ASyncConflictShowsMessage34AndEndsTheStep) {
    fake_outlook::Add("fault|Delete|Orvalith two|0x80041200|0|1|A sync conflict exists.\n");
    presenter.Answer(IDOK);
    COMdeleteAllCalTaskEntries();
    ASSERT_EQ(1u, presenter.Shown().size());
    std::string said = Said(presenter.Shown()[0]);
    EXPECT_EQ(0u, said.find("COMdeleteCalTaskEntries\n")) << said;
    EXPECT_TRUE(Has(said, "There was a problem reading task \"\".")) << said;
    EXPECT_FALSE(Holds("Orvalith nested")) << "walked before the conflict";
    EXPECT_TRUE(Holds("Orvalith archived")) << "no further folder is processed";
}

TEST_F(OutlookTest, TheStepEndsQuietlyWhenOutlookCannotBeReached) {
    fake_outlook::Add("fault|CreateInstance|*|0x80080005\n");
    presenter.Answer(IDOK);
    presenter.Answer(IDOK);
    EXPECT_NO_THROW(COMdeleteAllCalTaskEntries());
    EXPECT_NO_THROW(DeleteSettingsTask());
    EXPECT_EQ(2u, presenter.Shown().size()) << "message 17 each time, nothing more";
}

TEST_F(OutlookTest, FoldersAreCachedByEntryIdWithoutRegardToCase) {
    OUTLOOK_FOLDER folder;
    folder.entryID = "CAL-A";
    folder.storeID = "STORE-A";
    ASSERT_TRUE(GetMAPIfolder(folder, -1, "test"));
    EXPECT_EQ("Calendar", folder.name);
    EXPECT_EQ("\\\\Mailbox\\Calendar", folder.path);
    OUTLOOK_FOLDER again;
    again.entryID = "cal-a";
    again.name = "[None Selected]";
    ASSERT_TRUE(GetMAPIfolder(again, -1, "test"));
    EXPECT_EQ(1, fake_outlook::Calls("GetFolderFromID"));
    EXPECT_EQ(2, fake_outlook::Calls("StoreID")) << "the store ID is read every time";
    EXPECT_EQ("Calendar", again.name);
    EXPECT_EQ(1, OutlookConnection().folders.Count());
}

TEST_F(OutlookTest, TheHundredAndFirstFolderIsNotCached) {
    std::string profile = "store|S|ST\nfolder|S/Tasks|tasks|T\n";
    for (int i = 0; i < 101; ++i)
        profile += "folder|S/F" + std::to_string(i) + "|calendar|ID" + std::to_string(i) + "\n";
    fake_outlook::Load(profile);
    for (int i = 0; i < 101; ++i) {
        OUTLOOK_FOLDER folder;
        folder.entryID = "ID" + std::to_string(i);
        ASSERT_TRUE(GetMAPIfolder(folder, -1, "test")) << i;
    }
    EXPECT_EQ(100, OutlookConnection().folders.Count());
    OUTLOOK_FOLDER last;
    last.entryID = "ID100";
    fake_outlook::ClearJournal();
    EXPECT_TRUE(GetMAPIfolder(last, -1, "test"));
    EXPECT_EQ(1, fake_outlook::Calls("GetFolderFromID"));
}

TEST_F(OutlookTest, AFolderThatCannotBeOpenedShowsMessage64WithItsKindAndCaller) {
    OUTLOOK_FOLDER folder;
    folder.entryID = "MISSING";
    presenter.Answer(IDOK);
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

TEST_F(OutlookTest, TheViewsAndTheSettingsItemGo) {
    DeleteSettingsTask();
    DeleteOrvalithViews();
    EXPECT_FALSE(Holds("view|Mailbox/Tasks|Orvalith Nat Ord"));
    EXPECT_FALSE(Holds("view|Mailbox/Tasks|Orvalith A1"));
    EXPECT_TRUE(Holds("view|Mailbox/Tasks|Simple List"));
    EXPECT_FALSE(Holds("storage|Mailbox/Tasks|Orvalith Settings"));
    EXPECT_FALSE(Holds("task|Mailbox/Tasks|Orvalith Settings"));
    EXPECT_TRUE(Holds("task|Mailbox/Tasks|Buy milk"));
    EXPECT_EQ(1, fake_outlook::Calls("GetFolderFromID")) << "the second view uses the cache";
    EXPECT_TRUE(presenter.Shown().empty());
}

TEST_F(OutlookTest, ViewsAndSettingsFallBackQuietly) {
    fake_outlook::Load("store|S|ST\nfolder|S/Tasks|tasks|T\nview|S/Tasks|Orvalith A1\n"
                       "storage|S/Tasks|Orvalith Settings\nmail|S/Tasks|Orvalith Settings|-\n"
                       "fault|GetStorage|*|0x80070057\n");
    EXPECT_TRUE(OUTLOOK_VIEW::DeleteView("Orvalith Nat Ord"));
    EXPECT_TRUE(OUTLOOK_VIEW::DeleteView("Orvalith A1"));
    EXPECT_FALSE(Holds("view|S/Tasks|Orvalith A1"));
    DeleteSettingsTask();
    EXPECT_TRUE(Holds("storage|S/Tasks|Orvalith Settings")) << "the storage was refused";
    EXPECT_TRUE(Holds("mail|S/Tasks|Orvalith Settings")) << "not a task item: left alone";
    EXPECT_TRUE(presenter.Shown().empty());

    fake_outlook::Load("store|S|ST\nfolder|S/Tasks|tasks|T\ntask|S/Tasks|Orvalith Settings|-\n"
                       "fault|GetStorage|*|0x80070057\n");
    ReleaseOutlook();
    DeleteSettingsTask();
    EXPECT_FALSE(Holds("task|S/Tasks|Orvalith Settings")) << "the second way still deletes it";
}

// Every failure kind at every member the removal calls: the step ends as it
// should, shows at most its one message, never hangs, and holds nothing.
TEST_F(OutlookTest, FaultsAtEveryCallPoint) {
    struct KIND {
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
    const char* members[] = {
        "Folders",  "Count",           "Item",  "DefaultItemType", "EntryID",
        "StoreID",  "GetFolderFromID", "Name",  "FolderPath",      "Items",
        "Restrict", "Delete",          "Views", "GetStorage",      "GetDefaultFolder"};
    for (const char* member : members) {
        for (const KIND& kind : kinds) {
            SCOPED_TRACE(std::string(member) + " " + kind.result + " " + kind.description);
            fake_outlook::Load(PROFILE);
            fake_outlook::Add(std::string("fault|") + member + "|*|" + kind.result + "|0|-1|" +
                              kind.description + "\n");
            SCRIPTED_PRESENTER answers;
            for (int i = 0; i < 8; ++i)
                answers.Answer(IDOK);
            EXPECT_NO_THROW(COMdeleteAllCalTaskEntries());
            EXPECT_NO_THROW(DeleteSettingsTask());
            try {
                DeleteOrvalithViews();
            } catch (ERROR_CODE code) {
                EXPECT_EQ(ERR_USER_ABORT, code);
            }
            ReleaseOutlook();
            EXPECT_EQ(0, fake_outlook::LiveObjects());
            EXPECT_LE(answers.Shown().size(), 4u);
            if (!kind.known) {
                for (const SHOWN_MESSAGE& shown : answers.Shown())
                    EXPECT_FALSE(Has(Said(shown), "Orvalith is stopping")) << Said(shown);
            }
        }
    }
}
