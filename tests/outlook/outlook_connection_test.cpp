#include "outlook_test_support.h"

#include "foundation/error_code.h"
#include "outlook/com_error.h"
#include "outlook/outlook_errors.h"
#include "testkit/ui_driver.h"

const char* const PROFILE = "store|Mailbox|STORE-A\n"
                            "folder|Mailbox/Inbox|mail|INBOX-A\n"
                            "folder|Mailbox/Calendar|calendar|CAL-A\n"
                            "folder|Mailbox/Inbox/Project|mail|PROJ-A\n"
                            "folder|Mailbox/Inbox/Project/Deadlines|calendar|DEAD-A\n"
                            "folder|Mailbox/Tasks|tasks|TASKS-A\n"
                            "store|Archive|STORE-B\n"
                            "folder|Archive/Old Calendar|calendar|CAL-B\n"
                            "appointment|Mailbox/Calendar|Orvalith one|0\n"
                            "appointment|Mailbox/Calendar|Dentist|-\n"
                            "appointment|Mailbox/Calendar|Orvalith two|7\n"
                            "appointment|Mailbox/Calendar|Negative marker|-1\n"
                            "appointment|Mailbox/Inbox/Project/Deadlines|Orvalith nested|3\n"
                            "appointment|Archive/Old Calendar|Orvalith archived|1\n"
                            "appointment|Archive/Old Calendar|Holiday|-\n"
                            "mail|Mailbox/Inbox|Orvalith newsletter|5\n"
                            "view|Mailbox/Tasks|Orvalith Nat Ord\n"
                            "view|Mailbox/Tasks|Orvalith A1\n"
                            "view|Mailbox/Tasks|Simple List\n"
                            "storage|Mailbox/Tasks|Orvalith Settings\n"
                            "task|Mailbox/Tasks|Orvalith Settings|-\n"
                            "task|Mailbox/Tasks|Buy milk|-\n";

TEST_F(OutlookTest, GetMAPIStartsOutlookOnceAndThenAsksNothing) {
    DISPATCH_OBJECT first = GetMAPI("LoadOutlook");
    ASSERT_TRUE(first);
    EXPECT_EQ(1, fake_outlook::Calls("CreateInstance"));
    EXPECT_EQ(1, fake_outlook::Calls("GetNamespace"));
    EXPECT_EQ(1, fake_outlook::Calls("GetDefaultFolder")) << "the logon check";
    size_t calls = fake_outlook::Journal().size();
    DISPATCH_OBJECT second = GetMAPI("LoadOutlook");
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(calls, fake_outlook::Journal().size()) << "no automation call the second time";
    LoadOutlook();
    EXPECT_EQ(1, fake_outlook::Calls("Type"));
    EXPECT_TRUE(presenter.Shown().empty());
}

TEST_F(OutlookTest, CreationIsTriedFiveTimesThenMessage17NamesTheCaller) {
    // Four failures, then Outlook answers: nothing is shown.
    fake_outlook::Add("fault|CreateInstance|*|0x80080005|0|4\n");
    LoadOutlook();
    EXPECT_EQ(5, fake_outlook::Calls("CreateInstance"));
    EXPECT_EQ(2000u, PausedMilliseconds());
    EXPECT_TRUE(presenter.Shown().empty());
    ReleaseOutlook();

    fake_outlook::Load(PROFILE);
    fake_outlook::Add("fault|CreateInstance|*|0x80080005\n");
    presenter.Answer(IDOK);
    try {
        LoadOutlook();
        FAIL() << "LoadOutlook returned";
    } catch (ERROR_CODE code) {
        EXPECT_EQ(ERR_USER_ABORT, code);
    }
    EXPECT_EQ(5, fake_outlook::Calls("CreateInstance"));
    ASSERT_EQ(1u, presenter.Shown().size());
    std::string said = Said(presenter.Shown()[0]);
    EXPECT_TRUE(Has(said, "unable to communicate with Microsoft Outlook")) << said;
    EXPECT_TRUE(Has(said, "\n_GetOutlook [GetMAPI:LoadOutlook]\n")) << said;
    EXPECT_FALSE(OutlookConnection().applicationCreated);
}

TEST_F(OutlookTest, NameSpaceFailuresShowMessage24AfterTheEleventhAndAreNotForgotten) {
    fake_outlook::Add("fault|GetNamespace|*|0x80004005||-1|The profile is damaged.\n");
    presenter.Answer(IDOK);
    presenter.Answer(IDOK);
    try {
        GetMAPI("LoadOutlook");
        FAIL();
    } catch (const COM_ERROR& error) {
        EXPECT_EQ(E_FAIL, error.Error());
    }
    EXPECT_EQ(11, fake_outlook::Calls("GetNamespace"));
    ASSERT_EQ(1u, presenter.Shown().size());
    std::string said = Said(presenter.Shown()[0]);
    EXPECT_TRUE(Has(said, "Unable to start Microsoft Outlook.")) << said;
    EXPECT_TRUE(Has(said, "[1] ")) << said;
    EXPECT_TRUE(Has(said, "The profile is damaged.")) << said;

    // The counter is not reset: the next failure shows the message at once.
    fake_outlook::ClearJournal();
    EXPECT_THROW(GetMAPI("LoadOutlook"), COM_ERROR);
    EXPECT_EQ(1, fake_outlook::Calls("GetNamespace"));
    EXPECT_EQ(2u, presenter.Shown().size());
}

TEST_F(OutlookTest, LogonFailuresRetryOnlyWhenOutlookIsBusy) {
    // Busy: the NameSpace is asked eight times, then message 25.
    fake_outlook::Add("fault|GetDefaultFolder|*|0x80010001\n");
    presenter.Answer(IDOK);
    EXPECT_THROW(GetMAPI("LoadOutlook"), ERROR_CODE);
    EXPECT_EQ(8, fake_outlook::Calls("GetNamespace"));
    EXPECT_EQ(7u * 700u, PausedMilliseconds());
    ASSERT_EQ(1u, presenter.Shown().size());
    EXPECT_TRUE(Has(Said(presenter.Shown()[0]), "Unable to initialize Microsoft Outlook."));
    // The NameSpace stays: the next GetMAPI asks nothing.
    fake_outlook::ClearJournal();
    EXPECT_TRUE(GetMAPI("LoadOutlook"));
    EXPECT_TRUE(fake_outlook::Journal().empty());
    ReleaseOutlook();

    // "The operation failed" in the description is worth retrying too.
    fake_outlook::Load(PROFILE);
    fake_outlook::Add("fault|GetDefaultFolder|*|0x80004005|0|2|The operation failed.\n");
    EXPECT_TRUE(GetMAPI("LoadOutlook"));
    EXPECT_EQ(3, fake_outlook::Calls("GetNamespace"));
    ReleaseOutlook();

    // Anything else: message 22 at once.
    fake_outlook::Load(PROFILE);
    fake_outlook::Add("fault|GetDefaultFolder|*|0x80040111||-1|Log-on cancelled.\n");
    presenter.Answer(IDOK);
    EXPECT_THROW(GetMAPI("LoadOutlook"), ERROR_CODE);
    EXPECT_EQ(1, fake_outlook::Calls("GetNamespace"));
    ASSERT_EQ(2u, presenter.Shown().size());
    EXPECT_TRUE(Has(Said(presenter.Shown()[1]), "Unable to startup Microsoft Outlook."));
}

TEST_F(OutlookTest, RunningOutlookIsFoundByItsActiveObject) {
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
}

TEST_F(OutlookTest, OutlookMainWindowsAreFoundByClassAndTitle) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "rctrl_renwnd32";
    RegisterClassA(&windowClass);
    windowClass.lpszClassName = "OtherClass";
    RegisterClassA(&windowClass);
    HWND main = CreateWindowA("rctrl_renwnd32", "Inbox - Microsoft Outlook", WS_OVERLAPPED, 0, 0,
                              10, 10, nullptr, nullptr, windowClass.hInstance, nullptr);
    HWND bare = CreateWindowA("rctrl_renwnd32", "Outlook", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
    HWND other = CreateWindowA("OtherClass", "Inbox - Microsoft Outlook", WS_OVERLAPPED, 0, 0, 10,
                               10, nullptr, nullptr, windowClass.hInstance, nullptr);
    VECTOR<HWND> windows;
    EXPECT_TRUE(FindOutlookWindows(windows));
    ASSERT_EQ(1, windows.Count());
    EXPECT_EQ(main, windows[0]);
    DestroyWindow(main);
    DestroyWindow(bare);
    DestroyWindow(other);
    VECTOR<HWND> none;
    EXPECT_FALSE(FindOutlookWindows(none));
}

TEST(ComErrorTexts, SystemTextDescriptionAndSubstitutes) {
    COM_ERROR denied(E_ACCESSDENIED, MakeErrorInfo(L"The folder is locked."));
    std::string text = ComErrorText(denied);
    size_t lineBreak = text.find('\n');
    ASSERT_NE(std::string::npos, lineBreak) << text;
    EXPECT_EQ("The folder is locked.", text.substr(lineBreak + 1));
    EXPECT_NE('\r', text[lineBreak - 1]);
    EXPECT_FALSE(text.substr(0, lineBreak).empty());

    COM_ERROR dispatchError(static_cast<HRESULT>(0x80041200));
    EXPECT_EQ("IDispatch error #4096", ComErrorText(dispatchError));
    EXPECT_EQ("", ComErrorText(COM_ERROR(static_cast<HRESULT>(0x80040200))));

    std::wstring longText(500, L'x');
    COM_ERROR longError(static_cast<HRESULT>(0x80040200), MakeErrorInfo(longText.c_str()));
    EXPECT_EQ(350u, ComErrorDescription(longError).size());
    EXPECT_EQ(350u, ComErrorText(longError).size());
}

TEST(KnownErrors, EachKindHasItsMessage) {
    SetPausesSkippedForTesting(true);
    struct CASE {
        unsigned long result;
        const wchar_t* description;
        const char* expected; // nullptr: no message
    } cases[] = {
        {0x80010108, L"", "Communication with Microsoft Outlook has been unexpectedly terminated."},
        {0x800706BA, L"", "Communication with Microsoft Outlook has been unexpectedly terminated."},
        {0x80004004, L"", "Outlook is reporting that the operation was aborted."},
        {0x80040113, L"", "Outlook is reporting that the operation was aborted."},
        {0x80040115, L"", "Network problems are preventing connection"},
        {0x80041200, L"The Network is down.", "The Network is down. Orvalith is stopping."},
        {0x80041200, L"A sync conflict.", "If there are any synchronization conflicts"},
        {0x80041200, L"Synchronize first.", nullptr},
        {0x80041200, L"Please resync.", nullptr},
        {0x80041200, L"", nullptr},
        {0x80070005, L"Denied.", nullptr},
    };
    for (const CASE& c : cases) {
        SCRIPTED_PRESENTER presenter;
        presenter.Answer(IDOK);
        COM_ERROR error(static_cast<HRESULT>(c.result),
                        c.description[0] ? MakeErrorInfo(c.description) : COM_PTR<IErrorInfo>());
        bool aborted = false;
        try {
            UserAbortIfKnownError(error, "COMdeleteCalTaskEntries", "");
        } catch (ERROR_CODE code) {
            aborted = code == ERR_USER_ABORT;
        }
        SCOPED_TRACE(testing::Message() << std::hex << c.result);
        if (!c.expected) {
            EXPECT_FALSE(aborted);
            EXPECT_TRUE(presenter.Shown().empty());
            continue;
        }
        EXPECT_TRUE(aborted);
        ASSERT_EQ(1u, presenter.Shown().size());
        const SHOWN_MESSAGE& shown = presenter.Shown()[0];
        std::string said = shown.form == FORM_TASK_DIALOG ? shown.mainInstruction + shown.content
                                                          : std::string(shown.text);
        EXPECT_EQ(0u, said.find("COMdeleteCalTaskEntries\n")) << said;
        EXPECT_NE(std::string::npos, said.find(c.expected)) << said;
    }
    SetPausesSkippedForTesting(false);
}
