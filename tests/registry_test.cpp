#include <gtest/gtest.h>

#include <tuple>

#include "foundation/registry.h"
#include "testkit/test_registry.h"

namespace {

TEST(RegistryTest, ReadAtGivesTheDefaultForMissingOutOfBoundsAndOverlongValues) {
    SCRATCH_KEY scratch;
    const char* const key = scratch.Path().c_str();
    const std::string missingKey = scratch.Sub("Missing");
    EXPECT_EQ(7u, ReadDwordAt(HKCU, missingKey.c_str(), "V", 7));
    EXPECT_EQ(7u, ReadDwordAt(HKCU, key, "Missing", 7));
    EXPECT_EQ("dflt", ReadStringAt(HKCU, missingKey.c_str(), "V", "dflt"));
    EXPECT_EQ("dflt", ReadStringAt(HKCU, key, "Missing", "dflt"));
    // More than four bytes cannot be read as a number.
    SetRegString(HKCU, key, "Text", "12345678");
    EXPECT_EQ(7u, ReadDwordAt(HKCU, key, "Text", 7));
    // Any type reads as text, up to the first NUL.
    SetRegDword(HKCU, key, "Dword", 0x00434241);
    EXPECT_EQ("ABC", ReadStringAt(HKCU, key, "Dword"));
    SetRegString(HKCU, key, "Empty", "");
    EXPECT_EQ("", ReadStringAt(HKCU, key, "Empty", "dflt"));
    // Exactly the buffer's size and no NUL: the text ends with the data. One
    // byte more: the default, not a cut-off text.
    SetRegBinary(HKCU, key, "FullBinary", std::string(10000, 'x'));
    EXPECT_EQ(std::string(10000, 'x'), ReadStringAt(HKCU, key, "FullBinary"));
    SetRegBinary(HKCU, key, "TooLong", std::string(10001, 'z'));
    EXPECT_EQ("dflt", ReadStringAt(HKCU, key, "TooLong", "dflt"));

    // Both bounds 0 test nothing; min 0 is no lower bound; the last two would
    // fail a signed comparison.
    const std::tuple<DWORD, DWORD, DWORD, DWORD> bounded[] = {
        {0xFFFFFFFF, 0, 0, 0xFFFFFFFF},
        {0, 1, 5, 7},
        {6, 1, 5, 7},
        {1, 1, 5, 1},
        {5, 1, 5, 5},
        {0, 0, 5, 0},
        {0x80000000, 1, 0xFFFFFFFF, 0x80000000},
        {0xFFFFFFFF, 0, 0x7FFFFFFF, 7}};
    for (auto [value, min, max, read] : bounded) {
        SetRegDword(HKCU, key, "V", value);
        EXPECT_EQ(read, ReadDwordAt(HKCU, key, "V", 7, min, max))
            << value << " " << min << " " << max;
    }
}

TEST(RegistryTest, KeyObjectReadsWritesEnumeratesAndClosesTheKeyItReplaces) {
    SCRATCH_KEY scratch;
    REG_KEY key;
    // Unopened: every call fails quietly.
    EXPECT_EQ(-1, key.SubkeyCount());
    EXPECT_EQ("d", key.ReadString("V", "d"));
    EXPECT_FALSE(key.WriteDword("V", 1));

    EXPECT_FALSE(key.Open(HKCU, scratch.Sub("A").c_str(), REG_MODE_READ));
    // The write modes create the key and its missing parents.
    ASSERT_TRUE(key.Open(HKCU, scratch.Sub("A\\First").c_str(), REG_MODE_READ_WRITE));
    EXPECT_TRUE(key.WriteDword("Count", 42));
    char bytes[4] = {};
    EXPECT_EQ(-1, key.ReadBinary("Count", bytes, 3)); // too small a buffer
    EXPECT_EQ(4, key.ReadBinary("Count", bytes, 4));
    EXPECT_EQ(42, bytes[0]);
    SetRegString(HKCU, scratch.Sub("A\\Second"), "Name", "second");

    HKEY first = key.Handle();
    ASSERT_TRUE(key.Open(HKCU, scratch.Sub("A").c_str(), REG_MODE_READ));
    EXPECT_FALSE(KeyHandleOpen(first));
    EXPECT_EQ(2, key.SubkeyCount());
    EXPECT_EQ("Second", key.SubkeyName(1));
    EXPECT_EQ("", key.SubkeyName(2));
    // The open key may serve as the root of its replacement.
    ASSERT_TRUE(key.Open(key.Handle(), "Second", REG_MODE_READ));
    EXPECT_EQ("second", key.ReadString("Name"));
    // A failed open still lets the old key go.
    HKEY second = key.Handle();
    EXPECT_FALSE(key.Open(HKCU, scratch.Sub("Missing").c_str(), REG_MODE_READ));
    EXPECT_FALSE(key.IsOpen());
    EXPECT_FALSE(KeyHandleOpen(second));
}

TEST(RegistryTest, WriteAndDeleteCreateOnlyWhatTheyShouldAndReportWhatTheyCannotOpen) {
    SCRATCH_KEY scratch;
    const std::string deep = scratch.Sub("New\\Deeper");
    EXPECT_TRUE(WriteDwordAt(HKCU, deep.c_str(), "Flag", 0xFFFFFFFF));
    EXPECT_EQ(0xFFFFFFFFu, ReadDwordAt(HKCU, deep.c_str(), "Flag", 0));
    EXPECT_TRUE(DeleteValueAt(HKCU, deep.c_str(), "Flag"));
    EXPECT_FALSE(DeleteValueAt(HKCU, deep.c_str(), "Flag"));
    // A missing key is reported, never created.
    EXPECT_FALSE(DeleteValueAt(HKCU, scratch.Sub("Gone\\Deeper").c_str(), "Flag"));
    EXPECT_FALSE(RegKeyPresent(HKCU, scratch.Sub("Gone")));

    SetRegString(HKCU, scratch.Sub("Tree\\L1a\\L2\\L3"), "V", "x");
    SetRegDword(HKCU, scratch.Sub("Tree\\L1b"), "V", 2);
    SetRegDword(HKCU, scratch.Sub("Tree"), "V", 3);
    EXPECT_TRUE(DeleteKeyTree(HKCU, scratch.Sub("Tree").c_str()));
    EXPECT_FALSE(RegKeyPresent(HKCU, scratch.Sub("Tree")));
    EXPECT_TRUE(DeleteKeyTree(HKCU, scratch.Sub("Missing\\Deeper").c_str()));
    EXPECT_FALSE(RegKeyPresent(HKCU, scratch.Sub("Missing")));

    // An empty subkey names the root itself: nothing may go. The scratch key
    // serves as root so that a fault cannot reach the real hive.
    REG_KEY root;
    ASSERT_TRUE(root.Open(HKCU, scratch.Path().c_str(), REG_MODE_READ_WRITE));
    for (const char* subkey : {"", static_cast<const char*>(nullptr), "\\"})
        EXPECT_FALSE(DeleteKeyTree(root.Handle(), subkey)) << (subkey ? subkey : "null");
    EXPECT_TRUE(RegKeyPresent(HKCU, deep));

    // A root that is no key at all: the open fails with something other than
    // "not found", so nothing is known to be gone.
    EXPECT_FALSE(DeleteKeyTree(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234)), "Tree"));
}

TEST(RegistryTest, FindSubkeysByValue) {
    SCRATCH_KEY scratch;
    const std::string parent = scratch.Sub("Uninstall");
    CreateRegKey(HKCU, parent + "\\A-NoValue");
    SetRegString(HKCU, parent + "\\B-Empty", "DisplayName", "");
    SetRegString(HKCU, parent + "\\C-Product", "DisplayName", "ORVALITH for Outlook");
    SetRegBinary(HKCU, parent + "\\D-Binary", "DisplayName", "Brindlecove");
    SetRegBinary(HKCU, parent + "\\E-BinaryNul", "DisplayName", std::string("Helper\0Tail", 11));
    SetRegString(HKCU, parent + "\\F-Other", "DisplayName", "Orvalith Tools");
    // Binary data without a NUL ends with the data; with one, at the NUL. Both
    // C and F begin with "orvalith": enumeration runs in name order. Missing
    // and empty values never match.
    const std::tuple<const char*, int, bool, const char*> cases[] = {
        {"orvalith FOR outlook", MATCH_EQUALS, true, "C-Product"},
        {"orvalith for outlook", MATCH_EQUALS, false, ""},
        {"brindlecove", MATCH_EQUALS, true, "D-Binary"},
        {"Helper", MATCH_EQUALS, false, "E-BinaryNul"},
        {"Tail", MATCH_CONTAINS, true, ""},
        {"orvalith", MATCH_BEGINS, true, "C-Product"},
    };
    for (auto [pattern, mode, ignoreCase, found] : cases)
        EXPECT_EQ(found,
                  FindSubkeyByValue(HKCU, parent.c_str(), "DisplayName", pattern, mode, ignoreCase))
            << pattern;
    EXPECT_EQ("", FindSubkeyByValue(HKCU, scratch.Sub("Missing").c_str(), "DisplayName", "o",
                                    MATCH_CONTAINS, true));

    // The second pass adds nothing twice: a key path that already ends in a
    // backslash gets no second one.
    STRING_VECTOR found;
    for (const std::string& path : {parent, parent + "\\"}) {
        EXPECT_TRUE(FindSubkeysByValue(found, HKCU, path.c_str(), "DisplayName", "orvalith",
                                       MATCH_BEGINS, true, false));
        EXPECT_EQ(std::vector<STRING>({parent + "\\C-Product", parent + "\\F-Other"}), found);
    }
    STRING_VECTOR names;
    EXPECT_TRUE(FindSubkeysByValue(names, HKCU, parent.c_str(), "DisplayName", "e", MATCH_CONTAINS,
                                   false, true));
    EXPECT_EQ(std::vector<STRING>({"D-Binary", "E-BinaryNul"}), names);
    STRING_VECTOR none;
    EXPECT_FALSE(FindSubkeysByValue(none, HKCU, scratch.Sub("Missing").c_str(), "DisplayName", "o",
                                    MATCH_CONTAINS, true, true));
    EXPECT_TRUE(none.empty());
}

} // namespace
