#include <gtest/gtest.h>

#include "foundation/resource_strings.h"

// The exact texts are checked in the built program; here, how they are found.
TEST(LoadStr, ReadsFromTheInstanceItWasGivenCutsLongTextsAndNamesAMissingId) {
    EXPECT_EQ(LoadStr(35), "! The following files could not be deleted:~\n");
    EXPECT_EQ(LoadStr(67), "LoadStringID invalid RES_ID 67");
    EXPECT_EQ(LoadStr(0), "LoadStringID invalid RES_ID 0");

    // String 900 of the test program holds 1,300 letters a..z repeated: what
    // does not fit the 1,200-byte buffer (with its NUL) is cut.
    STRING expected;
    for (int i = 0; i < 1199; ++i)
        expected += static_cast<char>('a' + i % 26);
    EXPECT_EQ(LoadStr(900), expected);

    HINSTANCE saved = GetResourceInstance();
    // kernel32 has no string 14 of ours.
    SetResourceInstance(GetModuleHandleA("kernel32.dll"));
    STRING text = LoadStr(14);
    SetResourceInstance(saved);
    EXPECT_EQ(text, "LoadStringID invalid RES_ID 14");
    EXPECT_EQ(LoadStr(14), "Orvalith Uninstall");
}
