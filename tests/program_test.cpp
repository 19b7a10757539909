// The built program's resources as they are stored in its file; what a user
// sees and gets when it runs is the end-to-end scenarios' part.
#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "testkit/program_run.h"
#include "testkit/progress_layout.h"
#include "testkit/resource_reader.h"

namespace {

const int PROGRESS_DIALOG_ID = 129;

class ProgramResourcesTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(product_.Get()) << "cannot load " << ProductPath(); }
    DATA_MODULE product_{ProductPath()};
};

TEST_F(ProgramResourcesTest, ManifestRunsAsInvokerWithCommonControlsVersion6) {
    std::string manifest = ResourceBytes(product_.Get(), RT_MANIFEST, 1);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    // The dependency's identity, as one element, names version 6 and its key.
    EXPECT_TRUE(std::regex_search(
        manifest, std::regex("<dependentAssembly>\\s*<assemblyIdentity"
                             "(?=[^>]*name=\"Microsoft\\.Windows\\.Common-Controls\")"
                             "(?=[^>]*version=\"6\\.0\\.0\\.0\")"
                             "(?=[^>]*publicKeyToken=\"6595b64144ccf1df\")")))
        << manifest;
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
        // By ordinal, as resource compilers for Windows write the predefined classes.
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

} // namespace
