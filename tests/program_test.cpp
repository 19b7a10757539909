// End-to-end checks of the built program: its resources as they are stored in
// the file, and what a user sees and gets when it runs under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <memory>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "testkit/program_run.h"
#include "testkit/resource_reader.h"

namespace {

// How long a page that should not open is given to show up anyway.
const DWORD NO_PAGE_WAIT_MS = 2000;

const char* const CONFIRMATION = "Are you sure you want to completely remove Orvalith from your "
                                 "computer?";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Id, text, visible, enabled, x, y, cx, cy.
using EXPECTED_CONTROL = std::tuple<int, const char*, bool, bool, short, short, short, short>;

// The progress dialog's controls in template order: each step's label and,
// at its right, the "Done" shown when the step has finished; the status line
// sits below them.
const EXPECTED_CONTROL PROGRESS_CONTROLS[] = {
    {1014, "Creating system restore point...", false, true, 7, 7, 173, 8},
    {1015, "Done", false, true, 210, 7, 38, 8},
    {1010, "Uninstalling Orvalith Add-In...", true, false, 7, 19, 194, 8},
    {1011, "Done", false, true, 210, 19, 38, 8},
    {1009, "Removing any calendar task entries...", true, false, 7, 31, 154, 8},
    {1008, "Done", false, true, 210, 31, 38, 8},
    {1001, "Removing program files...", true, false, 7, 43, 118, 8},
    {1005, "Done", false, true, 210, 43, 38, 8},
    {1002, "Removing registry entries...", true, false, 7, 55, 128, 8},
    {1006, "Done", false, true, 210, 55, 38, 8},
    {1003, "Removing Start menu link...", true, false, 7, 67, 134, 8},
    {1007, "Done", false, true, 210, 67, 38, 8},
    {1016, "", true, true, 7, 90, 241, 10},
    {1004, "Removing Orvalith dialog settings...", true, false, 7, 79, 134, 8},
    {1012, "Done", false, true, 210, 79, 38, 8},
};
const int STATUS_LINE_ID = 1016;
const int PROGRESS_DIALOG_ID = 129;

// The built program's resources, read from its file.
class ProgramResourcesTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(product_.Get()) << "cannot load " << ProductPath(); }
    DATA_MODULE product_{ProductPath()};
};

TEST_F(ProgramResourcesTest, ManifestRunsAsInvokerWithCommonControlsVersion6) {
    std::string manifest = ResourceBytes(product_.Get(), RT_MANIFEST, 1);
    EXPECT_TRUE(Contains(manifest, "level=\"asInvoker\"")) << manifest;
    // The dependency's identity, as one element, names version 6.
    std::smatch identity;
    ASSERT_TRUE(
        std::regex_search(manifest, identity,
                          std::regex("<dependentAssembly>\\s*<assemblyIdentity[^>]*"
                                     "name=\"Microsoft\\.Windows\\.Common-Controls\"[^>]*>")))
        << manifest;
    EXPECT_TRUE(Contains(identity.str(), "version=\"6.0.0.0\"")) << identity.str();
    EXPECT_TRUE(Contains(identity.str(), "publicKeyToken=\"6595b64144ccf1df\"")) << identity.str();
}

TEST_F(ProgramResourcesTest, StringTableHoldsEveryMessageWithItsExactText) {
    for (UINT id = 1; id <= 66; ++id)
        EXPECT_FALSE(LoadText(product_.Get(), id).empty()) << "string " << id;
    EXPECT_TRUE(LoadText(product_.Get(), 67).empty());

    const std::pair<UINT, const char*> texts[] = {
        {9, "? Are you sure you want to completely remove Orvalith from your computer?"},
        {14, "Orvalith Uninstall"},
        {18, "\\Uninstall Orvalith.lnk"},
        {35, "! The following files could not be deleted:~\n"},
        {56, "# Uninstall of Add-In \"<addInName>\" failed."},
        {63, "# Uninstall of Add-In \"<addInName>\" was cancelled by user."},
    };
    for (const auto& text : texts)
        EXPECT_EQ(text.second, LoadText(product_.Get(), text.first)) << "string " << text.first;
    EXPECT_TRUE(Contains(LoadText(product_.Get(), 23), "folder \"<cal>\".~\nCheck that:"));
    EXPECT_TRUE(Contains(LoadText(product_.Get(), 16), "\n\n"));
}

// The template's bytes, then the dialog that Windows creates from them.
TEST_F(ProgramResourcesTest, ProgressDialogHasItsLayoutAndStartingState) {
    std::string bytes = ResourceBytes(product_.Get(), RT_DIALOG, PROGRESS_DIALOG_ID);
    TEMPLATE_READER reader(bytes);
    EXPECT_EQ(1, reader.Word()) << "extended template version";
    EXPECT_EQ(0xFFFF, reader.Word()) << "extended template signature";
    reader.Dword(); // help id
    reader.Dword(); // extended style
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    EXPECT_EQ(frame, reader.Dword() & frame);
    ASSERT_EQ(std::size(PROGRESS_CONTROLS), reader.Word());
    EXPECT_EQ((std::vector<int>{50, 30, 255, 107}), reader.Shorts(4));
    EXPECT_EQ(0, reader.Word()) << "a menu is given";
    EXPECT_EQ(0, reader.Word()) << "a window class is given";
    EXPECT_EQ("Orvalith Uninstall Progress", reader.Text());
    EXPECT_EQ(9, reader.Word()) << "font point size";
    reader.Dword(); // weight, italic and character set
    EXPECT_EQ("Arial", reader.Text());

    DIALOG_WINDOW dialog(CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                                    reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()),
                                                    nullptr, PassiveDialogProc, 0));
    ASSERT_TRUE(dialog.Get()) << "error " << GetLastError();
    // Only the controls' own flags decide their visibility once the dialog
    // shows.
    ShowWindow(dialog.Get(), SW_SHOWNA);
    EXPECT_EQ("Orvalith Uninstall Progress", WindowText(dialog.Get()));

    for (auto [id, text, visible, enabled, x, y, cx, cy] : PROGRESS_CONTROLS) {
        SCOPED_TRACE("control " + std::to_string(id));
        reader.AlignToDword();
        reader.Dword(); // help id
        reader.Dword(); // extended style
        DWORD style = reader.Dword();
        std::vector<int> rect = reader.Shorts(4);
        EXPECT_EQ(static_cast<DWORD>(id), reader.Dword());
        // By ordinal, as resource compilers for Windows write the predefined
        // classes.
        NAME_OR_ORDINAL itemClass = reader.NameOrOrdinal();
        EXPECT_TRUE(itemClass.isOrdinal && itemClass.ordinal == 0x0082) << itemClass.text;
        EXPECT_EQ(text, reader.NameOrOrdinal().text);
        EXPECT_EQ(0, reader.Word()) << "extra bytes";
        ASSERT_FALSE(reader.Overrun());
        EXPECT_EQ((std::vector<int>{x, y, cx, cy}), rect);
        DWORD kind = id == STATUS_LINE_ID ? SS_LEFTNOWORDWRAP | SS_SUNKEN : SS_LEFT;
        EXPECT_EQ(WS_CHILD | WS_GROUP | kind,
                  style & (WS_CHILD | WS_GROUP | SS_TYPEMASK | SS_SUNKEN));

        HWND control = GetDlgItem(dialog.Get(), id);
        ASSERT_TRUE(control);
        EXPECT_EQ(std::make_tuple(std::string("Static"), std::string(text), visible, enabled),
                  std::make_tuple(WindowClass(control), WindowText(control),
                                  IsWindowVisible(control) != FALSE,
                                  IsWindowEnabled(control) != FALSE));
    }
}

// Without an Outlook to talk to, the uninstall stops with Outlook's message
// and then its own. Each is a classic message box of child (the progress
// dialog may be showing beside it); its text is checked and answered OK.
void AnswerOutlookUnreachable(const CHILD_PROCESS& child) {
    for (const std::string start : {"Orvalith is unable to communicate with Microsoft Outlook.",
                                    "Orvalith Uninstall was unsuccessful."}) {
        SHOWN_DIALOG message;
        PollUntil(
            [&] {
                for (HWND window : TopLevelWindowsOf(child.Id(), "#32770")) {
                    message.window = window;
                    message.controls = DialogControls(window);
                    if (message.IsClassicMessageBox())
                        return true;
                }
                message = SHOWN_DIALOG();
                return child.HasExited();
            },
            PROGRAM_TIMEOUT_MS);
        ASSERT_TRUE(message.window) << "no message came before: " << start;
        std::vector<std::string> texts = message.StaticTexts();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(start, texts.back().substr(0, start.size()));
        AnswerDialog(message.window, IDOK);
        PollUntil([&] { return !IsWindow(message.window); }, PROGRAM_TIMEOUT_MS);
    }
}

// Every run gets a stand-in browser and no log unless a test names one; one
// run names a log, the other a working folder that stays empty.
TEST(ProgramRun, PartialRunAsksNothingOpensNoPageAndLogsOnlyWhenAsked) {
    RUN_ENVIRONMENT environment;
    ASSERT_EQ("", environment.Problem());
    for (bool logged : {true, false}) {
        TEMP_FOLDER folder;
        std::unique_ptr<ENVIRONMENT_OVERRIDE> log;
        if (logged)
            log = std::make_unique<ENVIRONMENT_OVERRIDE>("ORVALITH_UNINSTALL_LOG",
                                                         folder.File("uninstall.log"));
        CHILD_PROCESS child;
        StartProduct(child, "/PartialOK", logged ? "" : folder.Path());
        // The first message is Outlook's: a question would have come first.
        AnswerOutlookUnreachable(child);
        ExpectExitsWithZero(child);
        if (logged) {
            std::string logText = ReadWholeFile(folder.File("uninstall.log"));
            EXPECT_TRUE(Contains(logText, "partial 1")) << logText;
            EXPECT_TRUE(environment.OpenedPages(NO_PAGE_WAIT_MS).empty());
        } else {
            EXPECT_EQ(std::vector<std::string>{}, FilesIn(folder.Path()));
        }
    }
}

// A classic Yes/No question by default, a task dialog on Vista; No ends the
// program, Yes starts the uninstall, which here cannot reach Outlook and so
// ends unsuccessfully and opens no questionnaire (a run that reaches its
// end does open it: see the demonstration machine's full run).
TEST(ProgramRun, ConfirmationAsksYesOrNoAndOnlyYesOpensTheQuestionnaire) {
    RUN_ENVIRONMENT environment;
    ASSERT_EQ("", environment.Problem());
    for (auto [vista, answer] :
         {std::make_pair(false, IDNO), std::make_pair(true, IDNO), std::make_pair(false, IDYES)}) {
        SCOPED_TRACE(testing::Message() << "vista " << vista << ", answer " << answer);
        std::unique_ptr<WINE_VERSION_OVERRIDE> version;
        if (vista)
            version = std::make_unique<WINE_VERSION_OVERRIDE>(PRODUCT_FILE_NAME, "vista");
        ASSERT_TRUE(!version || version->Applied());
        // The run that answers Yes names its log on the command line, and is
        // otherwise the same.
        TEMP_FOLDER folder;
        const std::string log = folder.File("support log.txt");
        CHILD_PROCESS child;
        StartProduct(child, answer == IDYES ? "/Log=\"" + log + "\"" : "");
        SHOWN_DIALOG dialog = WaitForDialog(child, PROGRAM_TIMEOUT_MS);
        ASSERT_TRUE(dialog.window) << "no dialog appeared";

        EXPECT_EQ(!vista, dialog.IsClassicMessageBox());
        // Wine 8 reads a task dialog's title given as a string id on past its
        // end, into the next strings of the table; Windows shows exactly it.
        const std::string title = "Orvalith Uninstall";
        EXPECT_EQ(title, vista ? dialog.title.substr(0, title.size()) : dialog.title);
        // The leading "? " became the icon; with no "~" the text is all
        // content, with no main instruction.
        EXPECT_EQ(std::vector<std::string>{CONFIRMATION}, dialog.StaticTexts());
        EXPECT_TRUE(dialog.ShowsIcon());
        std::vector<std::tuple<std::string, int, bool>> buttons;
        for (const CONTROL_INFO& control : dialog.controls) {
            if (control.visible && control.className == "Button")
                buttons.emplace_back(control.text, control.id, control.enabled);
        }
        EXPECT_EQ((decltype(buttons){{"&Yes", IDYES, true}, {"&No", IDNO, true}}), buttons);

        AnswerDialog(dialog.window, answer);
        if (answer == IDYES) {
            PollUntil([&] { return !IsWindow(dialog.window); }, PROGRAM_TIMEOUT_MS);
            AnswerOutlookUnreachable(child);
        }
        ExpectExitsWithZero(child);
        EXPECT_EQ(std::vector<std::string>{}, environment.OpenedPages(NO_PAGE_WAIT_MS));
        if (answer == IDYES) {
            std::string logText = ReadWholeFile(log);
            for (const char* part : {"Message answered Yes: ? Are you sure",
                                     "Message answered OK: ! Orvalith Uninstall was unsuccessful.",
                                     "Start-up: exit code 0"})
                EXPECT_TRUE(Contains(logText, part)) << part << logText;
        }
    }
}

// "/?" on the real program: one message box, and nothing else happens.
TEST(ProgramRun, UsageShowsOneMessageAndEndsWithZero) {
    RUN_ENVIRONMENT environment;
    ASSERT_EQ("", environment.Problem());
    CHILD_PROCESS child;
    StartProduct(child, "/?");
    SHOWN_DIALOG dialog = WaitForDialog(child, PROGRAM_TIMEOUT_MS);
    ASSERT_TRUE(dialog.window) << "no dialog appeared";
    EXPECT_TRUE(dialog.IsClassicMessageBox());
    std::vector<std::string> texts = dialog.StaticTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(0u, texts.back().find("Usage: \"Orvalith Uninstall.exe\" [/Quiet] [/Log=FILE]"));
    AnswerDialog(dialog.window, IDOK);
    ExpectExitsWithZero(child);
    EXPECT_EQ(std::vector<std::string>{}, environment.OpenedPages(NO_PAGE_WAIT_MS));
}

} // namespace
