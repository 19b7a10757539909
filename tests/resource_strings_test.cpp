#include <gtest/gtest.h>

#include "foundation/resource_strings.h"

TEST(LoadStr, LoadsTextsByIdWithRealLineFeeds) {
    EXPECT_EQ(LoadStr(14), "Orvalith Uninstall");
    EXPECT_EQ(LoadStr(9),
              "? Are you sure you want to completely remove Orvalith from your computer?");
    EXPECT_EQ(LoadStr(35), "! The following files could not be deleted:~\n");
    EXPECT_EQ(LoadStr(19), "\\Orvalith Help.lnk");
    EXPECT_EQ(LoadStr(63), "# Uninstall of Add-In \"<addInName>\" was cancelled by user.");
}

TEST(LoadStr, MissingIdGivesTheInvalidIdText) {
    EXPECT_EQ(LoadStr(67), "LoadStringID invalid RES_ID 67");
    EXPECT_EQ(LoadStr(0), "LoadStringID invalid RES_ID 0");
    EXPECT_EQ(LoadStr(-5), "LoadStringID invalid RES_ID -5");
}

TEST(LoadStr, ReadsFromTheInstanceItWasGiven) {
    HINSTANCE saved = GetResourceInstance();
    // kernel32 has no string 14 of ours.
    SetResourceInstance(GetModuleHandleA("kernel32.dll"));
    STRING text = LoadStr(14);
    SetResourceInstance(saved);
    EXPECT_NE(text, "Orvalith Uninstall");
    EXPECT_EQ(LoadStr(14), "Orvalith Uninstall");
}
