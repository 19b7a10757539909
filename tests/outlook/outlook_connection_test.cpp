#include "testkit/outlook_fixture.h"

#include "outlook/outlook_errors.h"
#include "testkit/test_window.h"
#include "testkit/ui_driver.h"

namespace {

using OutlookConnectionTest = OutlookTest;

TEST_F(OutlookConnectionTest, GetMAPIStartsOutlookOnceAndThenAsksNothing) {
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

TEST_F(OutlookConnectionTest, CreationIsTriedFiveTimesThenMessage17NamesTheCaller) {
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

TEST_F(OutlookConnectionTest, NameSpaceFailuresShowMessage24AfterTheEleventhAndAreNotForgotten) {
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

TEST_F(OutlookConnectionTest, LogonFailuresRetryOnlyWhenOutlookIsBusy) {
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

TEST_F(OutlookConnectionTest, RunningOutlookIsFoundByItsActiveObjectAndItsMainWindow) {
    // The ProgID, as Outlook's setup registers it.
    const char* const progId = "Software\\Classes\\Outlook.Application\\CLSID";
    const char* const clsid = "{0006F03A-0000-0000-C000-000000000046}";
    RegSetValueA(HKEY_LOCAL_MACHINE, progId, REG_SZ, clsid, lstrlenA(clsid));
    EXPECT_FALSE(IsOutlookRunning());
    fake_outlook::SetRunning(true);
    EXPECT_TRUE(IsOutlookRunning());
    fake_outlook::SetRunning(false);
    EXPECT_FALSE(IsOutlookRunning());
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

TEST(KnownErrors, EachKindHasItsMessage) {
    const char* const gone =
        "Communication with Microsoft Outlook has been unexpectedly terminated.";
    const char* const aborted = "Outlook is reporting that the operation was aborted.";
    const struct {
        unsigned long result;
        const wchar_t* description;
        const char* expected; // nullptr: no message
    } cases[] = {
        {0x80010108, L"", gone},
        {0x800706BA, L"", gone},
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
    SetPausesSkippedForTesting(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.result);
        SCRIPTED_PRESENTER presenter;
        COM_ERROR error(static_cast<HRESULT>(c.result),
                        c.description[0] ? MakeErrorInfo(c.description) : COM_PTR<IErrorInfo>());
        bool abortedByUser = false;
        try {
            UserAbortIfKnownError(error, "COMdeleteCalTaskEntries", "");
        } catch (ERROR_CODE code) {
            abortedByUser = code == ERR_USER_ABORT;
        }
        EXPECT_EQ(c.expected != nullptr, abortedByUser);
        ASSERT_EQ(c.expected ? 1u : 0u, presenter.Shown().size());
        if (!c.expected)
            continue;
        const SHOWN_MESSAGE& shown = presenter.Shown()[0];
        std::string said = shown.form == FORM_TASK_DIALOG ? shown.mainInstruction + shown.content
                                                          : std::string(shown.text);
        EXPECT_EQ(0u, said.find("COMdeleteCalTaskEntries\n")) << said;
        EXPECT_NE(std::string::npos, said.find(c.expected)) << said;
    }
    SetPausesSkippedForTesting(false);
}

} // namespace
