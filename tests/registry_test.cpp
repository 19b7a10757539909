#include <gtest/gtest.h>

#include "foundation/registry.h"
#include "testkit/test_registry.h"

namespace {

const HKEY HKCU = HKEY_CURRENT_USER;

TEST(RegistryTest, ReadDwordAtHonoursDefaultAndBounds) {
    SCRATCH_KEY scratch;
    const std::string key = scratch.Path();
    EXPECT_EQ(7u, ReadDwordAt(HKCU, scratch.Sub("Missing").c_str(), "V", 7));
    EXPECT_EQ(7u, ReadDwordAt(HKCU, key.c_str(), "Missing", 7));

    SetRegDword(HKCU, key, "Zero", 0);
    SetRegDword(HKCU, key, "One", 1);
    SetRegDword(HKCU, key, "Three", 3);
    SetRegDword(HKCU, key, "Five", 5);
    SetRegDword(HKCU, key, "Six", 6);
    SetRegDword(HKCU, key, "High", 0x80000000);
    SetRegDword(HKCU, key, "Max", 0xFFFFFFFF);
    // Both bounds 0: nothing is tested.
    EXPECT_EQ(0u, ReadDwordAt(HKCU, key.c_str(), "Zero", 7));
    EXPECT_EQ(0xFFFFFFFFu, ReadDwordAt(HKCU, key.c_str(), "Max", 7));
    EXPECT_EQ(7u, ReadDwordAt(HKCU, key.c_str(), "Zero", 7, 1, 5));
    EXPECT_EQ(7u, ReadDwordAt(HKCU, key.c_str(), "Six", 7, 1, 5));
    EXPECT_EQ(1u, ReadDwordAt(HKCU, key.c_str(), "One", 7, 1, 5));
    EXPECT_EQ(3u, ReadDwordAt(HKCU, key.c_str(), "Three", 7, 1, 5));
    EXPECT_EQ(5u, ReadDwordAt(HKCU, key.c_str(), "Five", 7, 1, 5));
    // min 0 is no lower bound.
    EXPECT_EQ(0u, ReadDwordAt(HKCU, key.c_str(), "Zero", 7, 0, 5));
    // Signed comparison would take these for negative numbers.
    EXPECT_EQ(0x80000000u, ReadDwordAt(HKCU, key.c_str(), "High", 7, 1, 0xFFFFFFFF));
    EXPECT_EQ(0xFFFFFFFFu, ReadDwordAt(HKCU, key.c_str(), "Max", 7, 0x10, 0xFFFFFFFF));
    EXPECT_EQ(7u, ReadDwordAt(HKCU, key.c_str(), "Max", 7, 0, 0x7FFFFFFF));

    // More than four bytes cannot be read.
    SetRegString(HKCU, key, "Text", "12345678");
    EXPECT_EQ(7u, ReadDwordAt(HKCU, key.c_str(), "Text", 7));
}

TEST(RegistryTest, ReadStringAtStopsAtNulAndNeverReadsPastData) {
    SCRATCH_KEY scratch;
    const std::string key = scratch.Path();
    EXPECT_EQ("dflt", ReadStringAt(HKCU, scratch.Sub("Missing").c_str(), "V", "dflt"));
    EXPECT_EQ("dflt", ReadStringAt(HKCU, key.c_str(), "Missing", "dflt"));

    SetRegString(HKCU, key, "Plain", "Brindlecove");
    EXPECT_EQ("Brindlecove", ReadStringAt(HKCU, key.c_str(), "Plain", "dflt"));
    SetRegString(HKCU, key, "Empty", "");
    EXPECT_EQ("", ReadStringAt(HKCU, key.c_str(), "Empty", "dflt"));
    // Any type reads as bytes up to the first NUL.
    SetRegDword(HKCU, key, "Dword", 0x00434241);
    EXPECT_EQ("ABC", ReadStringAt(HKCU, key.c_str(), "Dword"));
    SetRegBinary(HKCU, key, "Embedded", std::string("ab\0cd", 5));
    EXPECT_EQ("ab", ReadStringAt(HKCU, key.c_str(), "Embedded"));

    // Exactly the buffer's size and no NUL: the text ends with the data.
    const std::string full(10000, 'x');
    SetRegBinary(HKCU, key, "FullBinary", full);
    EXPECT_EQ(full, ReadStringAt(HKCU, key.c_str(), "FullBinary"));
    // A NUL right after the data would be counted in by RegSetValueExA.
    const std::string padded(10001, 'x');
    SetRegValue(HKCU, key, "FullText", REG_SZ, padded.data(), 10000);
    EXPECT_EQ(full, ReadStringAt(HKCU, key.c_str(), "FullText"));
    SetRegString(HKCU, key, "FitsWithNul", std::string(9999, 'y'));
    EXPECT_EQ(std::string(9999, 'y'), ReadStringAt(HKCU, key.c_str(), "FitsWithNul"));
    // One byte too many: the default, not a cut-off text.
    SetRegBinary(HKCU, key, "TooLong", std::string(10001, 'z'));
    EXPECT_EQ("dflt", ReadStringAt(HKCU, key.c_str(), "TooLong", "dflt"));
}

TEST(RegistryTest, KeyObjectReadsWritesAndEnumerates) {
    SCRATCH_KEY scratch;
    REG_KEY key;
    // Unopened: every call fails quietly.
    EXPECT_EQ(-1, key.SubkeyCount());
    EXPECT_EQ("", key.SubkeyName(0));
    EXPECT_EQ("d", key.ReadString("V", "d"));
    EXPECT_FALSE(key.WriteDword("V", 1));

    EXPECT_FALSE(key.Open(HKCU, scratch.Sub("A").c_str(), REG_MODE_READ));
    // The write modes create the key and its missing parents.
    ASSERT_TRUE(key.Open(HKCU, scratch.Sub("A\\B").c_str(), REG_MODE_READ_WRITE));
    EXPECT_TRUE(key.WriteDword("Count", 42));
    EXPECT_EQ(42u, key.ReadDword("Count", 0));
    DWORD type = 0, size = 0;
    ASSERT_TRUE(key.QueryValueInfo("Count", type, size));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(4u, size);
    EXPECT_FALSE(key.QueryValueInfo("Missing", type, size));
    char bytes[4] = {};
    EXPECT_EQ(4, key.ReadBinary("Count", bytes, 4));
    EXPECT_EQ(42, bytes[0]);
    EXPECT_EQ(-1, key.ReadBinary("Count", bytes, 3));
    EXPECT_EQ(-1, key.ReadBinary("Missing", bytes, 4));
    EXPECT_TRUE(key.DeleteValue("Count"));
    EXPECT_FALSE(key.DeleteValue("Count"));
    EXPECT_FALSE(RegValuePresent(HKCU, scratch.Sub("A\\B"), "Count"));

    ASSERT_TRUE(key.Open(HKCU, scratch.Path().c_str(), REG_MODE_READ));
    EXPECT_EQ(1, key.SubkeyCount());
    EXPECT_EQ("A", key.SubkeyName(0));
    EXPECT_EQ("", key.SubkeyName(1));
    EXPECT_EQ("", key.SubkeyName(-1));
}

TEST(RegistryTest, OpeningAnotherKeyClosesTheFirst) {
    SCRATCH_KEY scratch;
    SetRegString(HKCU, scratch.Sub("First"), "Name", "first");
    SetRegString(HKCU, scratch.Sub("Second"), "Name", "second");
    DWORD count = 0;
    auto stillOpen = [&count](HKEY handle) {
        return RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    };

    REG_KEY key;
    ASSERT_TRUE(key.Open(HKCU, scratch.Sub("First").c_str(), REG_MODE_READ));
    HKEY first = key.Handle();
    ASSERT_TRUE(key.Open(HKCU, scratch.Sub("Second").c_str(), REG_MODE_READ));
    EXPECT_NE(first, key.Handle());
    EXPECT_FALSE(stillOpen(first));
    EXPECT_EQ("second", key.ReadString("Name"));

    // A failed open still lets the old key go.
    HKEY second = key.Handle();
    EXPECT_FALSE(key.Open(HKCU, scratch.Sub("Missing").c_str(), REG_MODE_READ));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(stillOpen(second));

    // The open key may serve as the root of its replacement.
    ASSERT_TRUE(key.Open(HKCU, scratch.Path().c_str(), REG_MODE_READ));
    ASSERT_TRUE(key.Open(key.Handle(), "First", REG_MODE_READ));
    EXPECT_EQ("first", key.ReadString("Name"));
}

TEST(RegistryTest, WriteAndDeleteValueAt) {
    SCRATCH_KEY scratch;
    const std::string deep = scratch.Sub("New\\Deeper");
    EXPECT_TRUE(WriteDwordAt(HKCU, deep.c_str(), "Flag", 0xFFFFFFFF));
    EXPECT_EQ(0xFFFFFFFFu, ReadDwordAt(HKCU, deep.c_str(), "Flag", 0));

    EXPECT_TRUE(DeleteValueAt(HKCU, deep.c_str(), "Flag"));
    EXPECT_FALSE(RegValuePresent(HKCU, deep, "Flag"));
    EXPECT_TRUE(RegKeyPresent(HKCU, deep));
    EXPECT_FALSE(DeleteValueAt(HKCU, deep.c_str(), "Flag"));
    // A missing key is reported, never created.
    EXPECT_FALSE(DeleteValueAt(HKCU, scratch.Sub("Gone\\Deeper").c_str(), "Flag"));
    EXPECT_FALSE(RegKeyPresent(HKCU, scratch.Sub("Gone")));
}

TEST(RegistryTest, DeleteKeyTreeRemovesEverythingBelowAndCreatesNothing) {
    SCRATCH_KEY scratch;
    SetRegString(HKCU, scratch.Sub("Tree\\L1a\\L2\\L3"), "V", "x");
    SetRegDword(HKCU, scratch.Sub("Tree\\L1a\\L2"), "V", 1);
    SetRegDword(HKCU, scratch.Sub("Tree\\L1b"), "V", 2);
    SetRegDword(HKCU, scratch.Sub("Tree"), "V", 3);
    CreateRegKey(HKCU, scratch.Sub("TreeSibling"));
    EXPECT_TRUE(DeleteKeyTree(HKCU, scratch.Sub("Tree").c_str()));
    EXPECT_FALSE(RegKeyPresent(HKCU, scratch.Sub("Tree")));
    EXPECT_TRUE(RegKeyPresent(HKCU, scratch.Sub("TreeSibling")));

    EXPECT_TRUE(DeleteKeyTree(HKCU, scratch.Sub("Missing\\Deeper").c_str()));
    EXPECT_FALSE(RegKeyPresent(HKCU, scratch.Sub("Missing")));

    // An empty subkey names the root itself: nothing may go. The scratch key
    // serves as root so that a fault cannot reach the real hive.
    REG_KEY root;
    ASSERT_TRUE(root.Open(HKCU, scratch.Path().c_str(), REG_MODE_READ_WRITE));
    EXPECT_FALSE(DeleteKeyTree(root.Handle(), ""));
    EXPECT_FALSE(DeleteKeyTree(root.Handle(), nullptr));
    EXPECT_FALSE(DeleteKeyTree(root.Handle(), "\\"));
    EXPECT_TRUE(RegKeyPresent(HKCU, scratch.Sub("TreeSibling")));
}

class FindSubkeyTest : public testing::Test {
protected:
    void SetUp() override {
        CreateRegKey(HKCU, scratch.Sub("Uninstall\\A-NoValue"));
        SetRegString(HKCU, scratch.Sub("Uninstall\\B-Empty"), "DisplayName", "");
        SetRegString(HKCU, scratch.Sub("Uninstall\\C-Product"), "DisplayName",
                     "ORVALITH for Outlook");
        SetRegBinary(HKCU, scratch.Sub("Uninstall\\D-Binary"), "DisplayName", "Brindlecove");
        SetRegBinary(HKCU, scratch.Sub("Uninstall\\E-BinaryNul"), "DisplayName",
                     std::string("Helper\0Tail", 11));
        SetRegString(HKCU, scratch.Sub("Uninstall\\F-Other"), "DisplayName", "Orvalith Tools");
    }

    std::string Parent() const { return scratch.Sub("Uninstall"); }

    SCRATCH_KEY scratch;
};

TEST_F(FindSubkeyTest, FindsFirstMatchingValue) {
    const std::string parent = Parent();
    EXPECT_EQ("C-Product", FindSubkeyByValue(HKCU, parent.c_str(), "DisplayName",
                                             "orvalith FOR outlook", MATCH_EQUALS, true));
    EXPECT_EQ("", FindSubkeyByValue(HKCU, parent.c_str(), "DisplayName", "orvalith for outlook",
                                    MATCH_EQUALS, false));
    // Binary data without a NUL ends with the data; with one, at the NUL.
    EXPECT_EQ("D-Binary", FindSubkeyByValue(HKCU, parent.c_str(), "DisplayName", "brindlecove",
                                            MATCH_EQUALS, true));
    EXPECT_EQ("E-BinaryNul", FindSubkeyByValue(HKCU, parent.c_str(), "DisplayName", "Helper",
                                               MATCH_EQUALS, false));
    EXPECT_EQ("",
              FindSubkeyByValue(HKCU, parent.c_str(), "DisplayName", "Tail", MATCH_CONTAINS, true));
    // Both C and F begin so; enumeration runs in name order.
    EXPECT_EQ("C-Product", FindSubkeyByValue(HKCU, parent.c_str(), "DisplayName", "orvalith",
                                             MATCH_BEGINS, true));
    // Missing and empty values never match, not even the empty pattern.
    EXPECT_EQ("", FindSubkeyByValue(HKCU, parent.c_str(), "DisplayName", "", MATCH_EQUALS, true));
    EXPECT_EQ("", FindSubkeyByValue(HKCU, scratch.Sub("Missing").c_str(), "DisplayName", "Orvalith",
                                    MATCH_BEGINS, true));
}

TEST_F(FindSubkeyTest, FindsAllMatchesWithoutDuplicates) {
    const std::string parent = Parent();
    STRING_VECTOR found;
    EXPECT_TRUE(FindSubkeysByValue(found, HKCU, parent.c_str(), "DisplayName", "orvalith",
                                   MATCH_BEGINS, true, false));
    ASSERT_EQ(2, found.Count());
    EXPECT_EQ(STRING(parent + "\\C-Product"), found[0]);
    EXPECT_EQ(STRING(parent + "\\F-Other"), found[1]);
    // Again, into the same list: nothing is added twice.
    EXPECT_TRUE(FindSubkeysByValue(found, HKCU, parent.c_str(), "DisplayName", "orvalith",
                                   MATCH_BEGINS, true, false));
    EXPECT_EQ(2, found.Count());

    STRING_VECTOR names;
    EXPECT_TRUE(FindSubkeysByValue(names, HKCU, parent.c_str(), "DisplayName", "e", MATCH_CONTAINS,
                                   false, true));
    EXPECT_EQ(2, names.Count());
    EXPECT_NE(-1, names.IndexOf("D-Binary"));
    EXPECT_NE(-1, names.IndexOf("E-BinaryNul"));

    STRING_VECTOR none;
    EXPECT_FALSE(FindSubkeysByValue(none, HKCU, parent.c_str(), "DisplayName", "Nothing",
                                    MATCH_CONTAINS, true, true));
    EXPECT_FALSE(FindSubkeysByValue(none, HKCU, scratch.Sub("Missing").c_str(), "DisplayName", "o",
                                    MATCH_CONTAINS, true, true));
    EXPECT_TRUE(none.empty());
    EXPECT_FALSE(RegKeyPresent(HKCU, scratch.Sub("Missing")));
}

} // namespace
