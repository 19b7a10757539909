// What the Outlook tests share: a fresh fake profile, COM on the thread,
// pauses skipped, and the messages' texts.
#pragma once

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

#include "outlook/outlook_connection.h"
#include "system/pause.h"
#include "testkit/outlook_double/fake_outlook.h"
#include "testkit/scripted_presenter.h"

// Two stores; calendars at the top, nested under a mail folder and in the
// second store; the Tasks folder with the views and the settings item.
extern const char* const PROFILE;

class OutlookTest : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        SetPausesSkippedForTesting(true);
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

    SCRIPTED_PRESENTER presenter;
};
