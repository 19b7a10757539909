#include <gtest/gtest.h>

#include "app/working_folder.h"
#include "testkit/product_layout.h"
#include "testkit/temp_folder.h"

namespace {

STRING CurrentFolder() {
    char buffer[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof(buffer), buffer);
    return buffer;
}

STRING TemporaryFolder() {
    char buffer[MAX_PATH] = "";
    GetTempPathA(sizeof(buffer), buffer);
    return buffer;
}

} // namespace

TEST(WorkingFolder, FolderHoldsItselfAndWhatIsInsideOnly) {
    EXPECT_TRUE(IsInFolder("C:\\Orvalith", "C:\\Orvalith"));
    EXPECT_TRUE(IsInFolder("c:\\orvalith\\BIN\\x", "C:\\Orvalith\\"));
    EXPECT_TRUE(IsInFolder("C:\\Orvalith\\", "C:\\ORVALITH"));
    EXPECT_FALSE(IsInFolder("C:\\Orvalith2", "C:\\Orvalith"));
    EXPECT_FALSE(IsInFolder("C:\\Orval", "C:\\Orvalith"));
    EXPECT_TRUE(IsInFolder("C:\\Anything", "C:\\"));
    // A blank folder holds nothing, the current folder included.
    EXPECT_FALSE(IsInFolder("C:\\Orvalith", ""));
    EXPECT_FALSE(IsInFolder("C:\\Orvalith", "   "));
    EXPECT_FALSE(IsInFolder("", "C:\\Orvalith"));
}

TEST(WorkingFolder, OnlyFoldersBelowADriveRootOrAShareAreProductFolders) {
    const std::pair<const char*, bool> cases[] = {
        {"C:\\Orvalith", true},
        {"c:/Program Files/Orvalith/", true},
        {"\\\\server\\share\\Orvalith", true},
        {"", false},
        {".", false},
        {"Orvalith", false},
        {"C:", false},
        {"C:Orvalith", false},
        {"C:\\", false},
        {"\\", false},
        {"\\Orvalith", false},
        {"C:\\Orvalith\\..", false},
        {"\\\\server\\share\\", false},
        {"\\\\?\\C:\\Orvalith", false},
    };
    for (auto [text, sound] : cases)
        EXPECT_EQ(sound, IsProductFolder(text)) << text;
}

TEST(WorkingFolder, LeavesTheProductFoldersForTheTemporaryFolder) {
    CURRENT_FOLDER kept;
    TEMP_FOLDER root;
    STRING program = root.File("Program");
    ASSERT_TRUE(CreateDirectoryA(program.c_str(), nullptr));
    STRING inner = program + "\\Resources";
    ASSERT_TRUE(CreateDirectoryA(inner.c_str(), nullptr));

    for (const STRING& start : {program, inner, root.Path()}) {
        SCOPED_TRACE(start);
        ASSERT_TRUE(SetCurrentDirectoryA(start.c_str()));
        EXPECT_TRUE(LeaveFolders(root.Path(), program));
        EXPECT_TRUE(IsInFolder(CurrentFolder(), TemporaryFolder()));
        EXPECT_FALSE(IsInFolder(CurrentFolder(), root.Path()));
    }
    // Elsewhere, or with blank folders or texts that name no folder below a
    // root, the current folder stays.
    ASSERT_TRUE(SetCurrentDirectoryA(root.Path().c_str()));
    for (const char* blank : {"", "  ", ".", "C:", "C:\\", "\\"})
        EXPECT_FALSE(LeaveFolders(blank, blank)) << blank;
    EXPECT_EQ(root.Path(), CurrentFolder());
    TEMP_FOLDER elsewhere;
    ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.Path().c_str()));
    EXPECT_FALSE(LeaveFolders(root.Path(), program));
    EXPECT_EQ(elsewhere.Path(), CurrentFolder());
    // Once left, the program folder can go.
    ASSERT_TRUE(SetCurrentDirectoryA(program.c_str()));
    LeaveFolders(root.Path(), program);
    EXPECT_TRUE(RemoveDirectoryA(inner.c_str()));
    EXPECT_TRUE(RemoveDirectoryA(program.c_str()));
}
