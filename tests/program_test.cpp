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
#include "testkit/progress_layout.h"
#include "testkit/resource_reader.h"

namespace {

// How long a page that should not open is given to show up anyway.
const DWORD NO_PAGE_WAIT_MS = 2000;

const char* const CONFIRMATION = "Are you sure you want to completely remove Orvalith from your "
                                 "computer?";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

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

TEST_F(ProgramResourcesTest, StringTableHoldsEveryMessage) {
    for (UINT id = 1; id <= 66; ++id)
        EXPECT_FALSE(LoadText(product_.Get(), id).empty()) << "string " << id;
    EXPECT_TRUE(LoadText(product_.Get(), 67).empty());

    // The texts shown are checked where they show, from the same resources.
    EXPECT_TRUE(Contains(LoadText(product_.Get(), 23), "folder \"<cal>\".~\nCheck that:"));
    EXPECT_TRUE(Contains(LoadText(product_.Get(), 16), "\n\n"));
}

// The template's bytes, as the controls' table says; the dialog that Windows
// makes from them is read along the uninstall run.
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
        // Shown and enabled at the start as the control's own flags say.
        DWORD kind = id == PROGRESS_STATUS_LINE_ID ? SS_LEFTNOWORDWRAP | SS_SUNKEN : SS_LEFT;
        DWORD flags =
            WS_CHILD | WS_GROUP | kind | (visible ? WS_VISIBLE : 0) | (enabled ? 0 : WS_DISABLED);
        EXPECT_EQ(flags, style & (WS_CHILD | WS_GROUP | SS_TYPEMASK | SS_SUNKEN | WS_VISIBLE |
                                  WS_DISABLED));
    }
}

// A classic Yes/No question by default, a task dialog on Vista; No ends the
// program with 0 without opening the questionnaire, whether or not the
// command line names a log.
TEST(ProgramRun, ConfirmationAsksYesOrNoAndNoOpensNoQuestionnaire) {
    RUN_ENVIRONMENT environment;
    ASSERT_EQ("", environment.Problem());
    for (bool vista : {false, true}) {
        SCOPED_TRACE(testing::Message() << "vista " << vista);
        std::unique_ptr<WINE_VERSION_OVERRIDE> version;
        if (vista)
            version = std::make_unique<WINE_VERSION_OVERRIDE>(PRODUCT_FILE_NAME, "vista");
        ASSERT_TRUE(!version || version->Applied());
        // The task dialog's run names its log on the command line, and is
        // otherwise the same.
        TEMP_FOLDER folder;
        const std::string log = folder.File("support log.txt");
        CHILD_PROCESS child;
        StartProduct(child, vista ? "/Log=\"" + log + "\"" : "");
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

        AnswerDialog(dialog.window, IDNO);
        ExpectExitsWithZero(child);
        EXPECT_EQ(std::vector<std::string>{}, environment.OpenedPages(NO_PAGE_WAIT_MS));
        if (vista) {
            std::string logText = ReadWholeFile(log);
            for (const char* part :
                 {"Message answered No: ? Are you sure", "Start-up: exit code 0"})
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
