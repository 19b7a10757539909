// What the Outlook tests share: a fresh fake profile, COM on the thread,
// pauses skipped, and the messages' texts.
#pragma once

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "foundation/error_code.h"
#include "outlook/com_error.h"
#include "outlook/outlook_connection.h"
#include "outlook/outlook_errors.h"
#include "outlook/outlook_folders.h"
#include "system/pause.h"
#include "testkit/outlook_double/fake_outlook.h"
#include "testkit/scripted_presenter.h"

// Two stores; calendars at the top, nested under a mail folder and in the
// second store; the Tasks folder with the views and the settings item.
inline const char* const PROFILE =
    "store|Mailbox|STORE-A\nfolder|Mailbox/Inbox|mail|INBOX-A\n"
    "folder|Mailbox/Calendar|calendar|CAL-A\nfolder|Mailbox/Inbox/Project|mail|PROJ-A\n"
    "folder|Mailbox/Inbox/Project/Deadlines|calendar|DEAD-A\nfolder|Mailbox/Tasks|tasks|TASKS-A\n"
    "store|Archive|STORE-B\nfolder|Archive/Old Calendar|calendar|CAL-B\n"
    "appointment|Mailbox/Calendar|Orvalith one|0\nappointment|Mailbox/Calendar|Dentist|-\n"
    "appointment|Mailbox/Calendar|Orvalith two|7\n"
    "appointment|Mailbox/Calendar|Negative marker|-1\n"
    "appointment|Mailbox/Inbox/Project/Deadlines|Orvalith nested|3\n"
    "appointment|Archive/Old Calendar|Orvalith archived|1\n"
    "appointment|Archive/Old Calendar|Holiday|-\nmail|Mailbox/Inbox|Orvalith newsletter|5\n"
    "view|Mailbox/Tasks|Orvalith Nat Ord\nview|Mailbox/Tasks|Orvalith A1\n"
    "view|Mailbox/Tasks|Simple List\nstorage|Mailbox/Tasks|Orvalith Settings\n"
    "task|Mailbox/Tasks|Orvalith Settings|-\ntask|Mailbox/Tasks|Buy milk|-\n";

class OutlookTest : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        SetPausesSkippedForTesting(true);
        ForgetOutlookFailures();
        fake_outlook::Load(PROFILE);
        fake_outlook::Register();
    }
    void TearDown() override {
        ReleaseOutlook();
        EXPECT_EQ(0, fake_outlook::LiveObjects()) << "an Outlook object is still held";
        fake_outlook::Revoke();
        SetPausesSkippedForTesting(false);
        CoUninitialize();
    }
    // What a message said, whichever form showed it.
    static std::string Said(const SHOWN_MESSAGE& shown) {
        if (shown.form == FORM_TASK_DIALOG)
            return shown.mainInstruction + "\n" + shown.content;
        return shown.text;
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
    // A fresh connection to the profile with these faults added.
    static void Reload(const char* faults) {
        ReleaseOutlook();
        ForgetOutlookFailures();
        fake_outlook::Load(PROFILE);
        fake_outlook::Add(faults);
    }
    // Whether the profile still holds each of these lines.
    static void ExpectHeld(bool held, const std::vector<const char*>& lines) {
        for (const char* line : lines)
            EXPECT_EQ(held, Has(fake_outlook::Dump(), line)) << line << "\n"
                                                             << fake_outlook::Dump();
    }

    // How the call ended: "returned", the error code, or the COM error's HRESULT.
    static std::string Outcome(void (*call)()) {
        try {
            call();
            return "returned";
        } catch (ERROR_CODE code) {
            return "error code " + std::to_string(code);
        } catch (const COM_ERROR& error) {
            char text[24];
            wsprintfA(text, "COM error %08x", static_cast<unsigned>(error.Error()));
            return text;
        }
    }
    static void GetMapi() { GetMAPI("LoadOutlook"); }
    // A folder known only by its entry ID.
    static OUTLOOK_FOLDER FolderOf(const std::string& entryID) {
        OUTLOOK_FOLDER folder;
        folder.entryID = entryID;
        return folder;
    }
    // Expects count messages so far, the last one saying each part.
    void ExpectLastSaid(size_t count, std::initializer_list<const char*> parts) {
        ASSERT_EQ(count, presenter.Shown().size());
        std::string said = Said(presenter.Shown().back());
        for (const char* part : parts)
            EXPECT_TRUE(Has(said, part)) << said;
    }

    SCRIPTED_PRESENTER presenter;
};
