#include <gtest/gtest.h>

#include "foundation/resource_strings.h"

// The exact texts are checked in the built program; here, how they are found.
TEST(LoadStr, ReadsFromTheInstanceItWasGivenAndNamesAMissingId) {
    EXPECT_EQ(LoadStr(35), "! The following files could not be deleted:~\n");
    EXPECT_EQ(LoadStr(67), "LoadStringID invalid RES_ID 67");

    HINSTANCE saved = GetResourceInstance();
    // kernel32 has no string 14 of ours.
    SetResourceInstance(GetModuleHandleA("kernel32.dll"));
    STRING text = LoadStr(14);
    SetResourceInstance(saved);
    EXPECT_NE(text, "Orvalith Uninstall");
    EXPECT_EQ(LoadStr(14), "Orvalith Uninstall");
}
