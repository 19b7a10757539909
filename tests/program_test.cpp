// End-to-end checks of the built program: its resources as they are stored in
// the file, and what a user sees and gets when it runs under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "testkit/resource_reader.h"
#include "testkit/shell_overrides.h"
#include "testkit/ui_driver.h"

namespace {

// A cold start of a Wine process can take several seconds.
const DWORD PROGRAM_TIMEOUT_MS = 30000;
// How long a page that should not open is given to show up anyway.
const DWORD NO_PAGE_WAIT_MS = 2000;

const char* const PRODUCT_FILE_NAME = "Orvalith Uninstall.exe";
const char* const QUESTIONNAIRE = "https://www.brindlecove.example/uninstallq.asp";
const char* const CONFIRMATION = "Are you sure you want to completely remove Orvalith from your "
                                 "computer?";

// The test program is built one folder below the product.
std::string ProductPath() {
    return ParentFolder(ThisProgramFolder()) + "\\" + PRODUCT_FILE_NAME;
}

std::string RecorderPath() {
    return ThisProgramFolder() + "\\url_recorder.exe";
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// ---------------------------------------------------------------------------
// Resources, read from the built file.

const WORD STATIC_CLASS_ORDINAL = 0x0082;

struct EXPECTED_CONTROL {
    int id;
    const char* text;
    bool visible;
    bool enabled;
    short x, y, cx, cy;
};

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

class ProgramResourcesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(product_.Get()) << "cannot load " << ProductPath() << " as data";
    }

    HMODULE Product() const { return product_.Get(); }

    DATA_MODULE product_{ProductPath()};
};

TEST_F(ProgramResourcesTest, ManifestRunsAsInvokerWithCommonControlsVersion6) {
    std::string manifest = ResourceBytes(Product(), RT_MANIFEST, 1);
    ASSERT_FALSE(manifest.empty());

    EXPECT_TRUE(Contains(manifest, "level=\"asInvoker\"")) << manifest;

    // The dependency's identity, as one element, names version 6.
    size_t name = manifest.find("name=\"Microsoft.Windows.Common-Controls\"");
    ASSERT_NE(name, std::string::npos) << manifest;
    size_t start = manifest.rfind("<assemblyIdentity", name);
    size_t end = manifest.find("/>", name);
    ASSERT_NE(start, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    std::string identity = manifest.substr(start, end - start);
    EXPECT_TRUE(Contains(identity, "version=\"6.0.0.0\"")) << identity;
    EXPECT_TRUE(Contains(identity, "publicKeyToken=\"6595b64144ccf1df\"")) << identity;
    EXPECT_TRUE(Contains(manifest.substr(0, start), "<dependentAssembly>")) << manifest;
}

TEST_F(ProgramResourcesTest, StringTableHoldsEveryMessageAndNoMore) {
    for (UINT id = 1; id <= 66; ++id)
        EXPECT_FALSE(LoadText(Product(), id).empty()) << "string " << id;
    EXPECT_TRUE(LoadText(Product(), 67).empty());
}

TEST_F(ProgramResourcesTest, StringsKeepTheirExactTextsAndEscapes) {
    EXPECT_EQ("Failed!", LoadText(Product(), 1));
    EXPECT_EQ("? Are you sure you want to completely remove Orvalith from your computer?",
              LoadText(Product(), 9));
    EXPECT_EQ("Orvalith Uninstall", LoadText(Product(), 14));
    EXPECT_EQ("\\Uninstall Orvalith.lnk", LoadText(Product(), 18));
    EXPECT_EQ("# Uninstall of Add-In \"<addInName>\" failed.", LoadText(Product(), 56));
    EXPECT_EQ("Undoing Orvalith Setup", LoadText(Product(), 62));

    std::string calendar = LoadText(Product(), 23);
    EXPECT_TRUE(Contains(calendar, "folder \"<cal>\".~\nCheck that:")) << calendar;
    std::string outlookRunning = LoadText(Product(), 16);
    EXPECT_TRUE(Contains(outlookRunning, "\n\n")) << outlookRunning;
}

TEST_F(ProgramResourcesTest, ProgressDialogTemplateHasItsLayout) {
    std::string bytes = ResourceBytes(Product(), RT_DIALOG, PROGRESS_DIALOG_ID);
    ASSERT_FALSE(bytes.empty());
    TEMPLATE_READER reader(bytes);

    EXPECT_EQ(1, reader.Word()) << "extended template version";
    EXPECT_EQ(0xFFFF, reader.Word()) << "extended template signature";
    reader.Dword(); // help id
    reader.Dword(); // extended style
    DWORD style = reader.Dword();
    const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    EXPECT_EQ(frame, style & frame);
    WORD itemCount = reader.Word();
    EXPECT_EQ(50, reader.Short());
    EXPECT_EQ(30, reader.Short());
    EXPECT_EQ(255, reader.Short());
    EXPECT_EQ(107, reader.Short());
    NAME_OR_ORDINAL menu = reader.NameOrOrdinal();
    EXPECT_TRUE(!menu.isOrdinal && menu.text.empty()) << "no menu";
    NAME_OR_ORDINAL windowClass = reader.NameOrOrdinal();
    EXPECT_TRUE(!windowClass.isOrdinal && windowClass.text.empty()) << "the standard dialog class";
    EXPECT_EQ("Orvalith Uninstall Progress", reader.Text());
    EXPECT_EQ(9, reader.Word()) << "font point size";
    reader.Word(); // weight
    reader.Byte(); // italic
    reader.Byte(); // character set
    EXPECT_EQ("Arial", reader.Text());
    ASSERT_EQ(std::size(PROGRESS_CONTROLS), itemCount);

    for (const EXPECTED_CONTROL& expected : PROGRESS_CONTROLS) {
        SCOPED_TRACE("control " + std::to_string(expected.id));
        reader.AlignToDword();
        reader.Dword(); // help id
        reader.Dword(); // extended style
        DWORD itemStyle = reader.Dword();
        short x = reader.Short(), y = reader.Short(), cx = reader.Short(), cy = reader.Short();
        DWORD id = reader.Dword();
        NAME_OR_ORDINAL itemClass = reader.NameOrOrdinal();
        NAME_OR_ORDINAL text = reader.NameOrOrdinal();
        WORD extraBytes = reader.Word();
        ASSERT_FALSE(reader.Overrun());

        EXPECT_EQ(static_cast<DWORD>(expected.id), id);
        // By ordinal, as resource compilers for Windows write the predefined
        // classes.
        EXPECT_TRUE(itemClass.isOrdinal && itemClass.ordinal == STATIC_CLASS_ORDINAL)
            << "class given by name \"" << itemClass.text << "\"";
        EXPECT_FALSE(text.isOrdinal);
        EXPECT_EQ(expected.text, text.text);
        EXPECT_EQ(expected.x, x);
        EXPECT_EQ(expected.y, y);
        EXPECT_EQ(expected.cx, cx);
        EXPECT_EQ(expected.cy, cy);
        EXPECT_EQ(static_cast<DWORD>(WS_CHILD | WS_GROUP), itemStyle & (WS_CHILD | WS_GROUP));
        EXPECT_EQ(expected.visible, (itemStyle & WS_VISIBLE) != 0);
        EXPECT_EQ(expected.enabled, (itemStyle & WS_DISABLED) == 0);
        if (expected.id == STATUS_LINE_ID) {
            EXPECT_EQ(static_cast<DWORD>(SS_LEFTNOWORDWRAP), itemStyle & SS_TYPEMASK);
            EXPECT_TRUE(itemStyle & SS_SUNKEN);
        } else {
            EXPECT_EQ(static_cast<DWORD>(SS_LEFT), itemStyle & SS_TYPEMASK);
            EXPECT_FALSE(itemStyle & SS_SUNKEN);
        }
        EXPECT_EQ(0, extraBytes);
        for (WORD i = 0; i < extraBytes; ++i)
            reader.Byte();
    }
}

TEST_F(ProgramResourcesTest, ProgressDialogCreatesEveryControlInItsStartingState) {
    std::string bytes = ResourceBytes(Product(), RT_DIALOG, PROGRESS_DIALOG_ID);
    ASSERT_FALSE(bytes.empty());

    DIALOG_WINDOW dialog(CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                                    reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()),
                                                    nullptr, PassiveDialogProc, 0));
    ASSERT_TRUE(dialog.Get()) << "error " << GetLastError();
    // Only the controls' own flags decide their visibility once the dialog
    // shows.
    ShowWindow(dialog.Get(), SW_SHOWNA);
    EXPECT_EQ("Orvalith Uninstall Progress", WindowText(dialog.Get()));

    for (const EXPECTED_CONTROL& expected : PROGRESS_CONTROLS) {
        SCOPED_TRACE("control " + std::to_string(expected.id));
        HWND control = GetDlgItem(dialog.Get(), expected.id);
        ASSERT_TRUE(control);
        EXPECT_EQ("Static", WindowClass(control));
        EXPECT_EQ(expected.text, WindowText(control));
        EXPECT_EQ(expected.visible, IsWindowVisible(control) != FALSE);
        EXPECT_EQ(expected.enabled, IsWindowEnabled(control) != FALSE);
    }
}

// ---------------------------------------------------------------------------
// The program, run as a user runs it.

void ExpectYesAndNoButtonsOnly(const SHOWN_DIALOG& dialog) {
    const CONTROL_INFO* yes = dialog.FindButton("&Yes");
    const CONTROL_INFO* no = dialog.FindButton("&No");
    ASSERT_TRUE(yes);
    ASSERT_TRUE(no);
    EXPECT_EQ(IDYES, yes->id);
    EXPECT_EQ(IDNO, no->id);
    EXPECT_TRUE(yes->visible && yes->enabled);
    EXPECT_TRUE(no->visible && no->enabled);
    long buttons = std::count_if(dialog.controls.begin(), dialog.controls.end(),
                                 [](const CONTROL_INFO& control) {
                                     return control.visible && control.className == "Button";
                                 });
    EXPECT_EQ(2, buttons);
}

// Every run gets a stand-in browser, so that a page the program opens is
// recorded and never reaches Wine's own browser; and no log unless a test
// asks for one.
class ProgramRunTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(ProductPath())) << ProductPath();
        ASSERT_TRUE(FileExists(RecorderPath())) << RecorderPath();
        ASSERT_TRUE(browser_.Applied());
    }

    void Start(CHILD_PROCESS& child, const std::string& arguments,
               const std::string& folder = std::string()) {
        ASSERT_TRUE(child.Start(ProductPath(), arguments, folder)) << "error " << GetLastError();
    }

    void ExpectExitsWithZero(const CHILD_PROCESS& child) {
        ASSERT_TRUE(child.WaitForExit(PROGRAM_TIMEOUT_MS)) << "the program is still running";
        EXPECT_EQ(0u, child.ExitCode());
    }

    // The pages opened so far, waiting up to waitMs for the first.
    std::vector<std::string> OpenedPages(DWORD waitMs) {
        std::string record;
        PollUntil(
            [&] {
                record = ReadWholeFile(recordFile_);
                return Contains(record, "\n");
            },
            waitMs);
        return SplitLines(record);
    }

    TEMP_FOLDER folder_;
    std::string recordFile_ = folder_.File("opened-pages.txt");
    ENVIRONMENT_OVERRIDE record_{"ORVALITH_URL_RECORD", recordFile_};
    ENVIRONMENT_OVERRIDE noLog_{"ORVALITH_UNINSTALL_LOG", nullptr};
    HTTPS_HANDLER_OVERRIDE browser_{RecorderPath()};
};

TEST_F(ProgramRunTest, PartialRunAsksNothingLogsAndOpensNoPage) {
    std::string logFile = folder_.File("uninstall.log");
    ENVIRONMENT_OVERRIDE log("ORVALITH_UNINSTALL_LOG", logFile);
    CHILD_PROCESS child;
    Start(child, "/PartialOK");

    bool dialogShown = false;
    bool exited = PollUntil(
        [&] {
            if (!TopLevelWindowsOf(child.Id(), "#32770").empty())
                dialogShown = true;
            return child.HasExited();
        },
        PROGRAM_TIMEOUT_MS);
    ASSERT_TRUE(exited) << "the program is still running";
    EXPECT_EQ(0u, child.ExitCode());
    EXPECT_FALSE(dialogShown);

    ASSERT_TRUE(FileExists(logFile));
    std::vector<std::string> lines = SplitLines(ReadWholeFile(logFile));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return Contains(line, "partial 1");
    })) << ReadWholeFile(logFile);
    EXPECT_TRUE(OpenedPages(NO_PAGE_WAIT_MS).empty());
}

TEST_F(ProgramRunTest, PartialRunWithoutLogVariableLeavesNoLogFile) {
    TEMP_FOLDER workFolder;
    CHILD_PROCESS child;
    Start(child, "/PartialOK", workFolder.Path());
    ExpectExitsWithZero(child);

    EXPECT_EQ(std::vector<std::string>{}, FilesIn(workFolder.Path()));
}

TEST_F(ProgramRunTest, ConfirmationIsAClassicYesNoQuestionAndNoEndsTheRun) {
    CHILD_PROCESS child;
    Start(child, "");
    SHOWN_DIALOG dialog = WaitForDialog(child, PROGRAM_TIMEOUT_MS);
    ASSERT_TRUE(dialog.window) << "no dialog appeared";

    EXPECT_TRUE(dialog.IsClassicMessageBox());
    EXPECT_EQ("Orvalith Uninstall", dialog.title);
    // The leading "? " became the icon.
    EXPECT_EQ(std::vector<std::string>{CONFIRMATION}, dialog.StaticTexts());
    EXPECT_TRUE(dialog.ShowsIcon());
    ExpectYesAndNoButtonsOnly(dialog);

    AnswerDialog(dialog.window, IDNO);
    ExpectExitsWithZero(child);
    EXPECT_TRUE(OpenedPages(NO_PAGE_WAIT_MS).empty());
}

TEST_F(ProgramRunTest, AcceptingTheConfirmationOpensTheQuestionnaireOnce) {
    CHILD_PROCESS child;
    Start(child, "");
    SHOWN_DIALOG dialog = WaitForDialog(child, PROGRAM_TIMEOUT_MS);
    ASSERT_TRUE(dialog.window) << "no dialog appeared";

    AnswerDialog(dialog.window, IDYES);
    ExpectExitsWithZero(child);
    EXPECT_EQ(std::vector<std::string>{QUESTIONNAIRE}, OpenedPages(PROGRAM_TIMEOUT_MS));
}

TEST_F(ProgramRunTest, OnWindowsVistaTheConfirmationIsATaskDialog) {
    WINE_VERSION_OVERRIDE vista(PRODUCT_FILE_NAME, "vista");
    ASSERT_TRUE(vista.Applied());
    CHILD_PROCESS child;
    Start(child, "");
    SHOWN_DIALOG dialog = WaitForDialog(child, PROGRAM_TIMEOUT_MS);
    ASSERT_TRUE(dialog.window) << "no dialog appeared";

    EXPECT_FALSE(dialog.IsClassicMessageBox());
    // Wine 8 reads a title given as a string id on past its end, into the
    // next strings of the table; Windows shows exactly the title.
    EXPECT_EQ(0u, dialog.title.rfind("Orvalith Uninstall", 0)) << dialog.title;
    // The text has no "~": all of it is content, with no main instruction.
    EXPECT_EQ(std::vector<std::string>{CONFIRMATION}, dialog.StaticTexts());
    EXPECT_TRUE(dialog.ShowsIcon());
    ExpectYesAndNoButtonsOnly(dialog);

    AnswerDialog(dialog.window, IDNO);
    ExpectExitsWithZero(child);
    EXPECT_TRUE(OpenedPages(NO_PAGE_WAIT_MS).empty());
}

} // namespace
