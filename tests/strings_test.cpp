#include <gtest/gtest.h>
#include "foundation/strings.h"

#include <climits>
#include <functional>
#include <stdexcept>
#include <tuple>

TEST(Strings, ListsAndAtReportBadIndexWithOperationAndAtid) {
    STRING s("abc");
    STRING_VECTOR v;
    VECTOR<int> n;
    n.Add(4);
    const STRING& cs = s;
    const STRING_VECTOR& cv = v;
    const VECTOR<int>& cn = n;
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { s.At(3, 1); }, "Invalid array index: 3\nSTRING::At  ATID = 1"},
        {[&] { cs.At(-1, 5); }, "Invalid array index: -1\nconst STRING::At  ATID = 5"},
        {[&] { v.At(0, 9); }, "Invalid array index: 0\nSTRING_VECTOR::At  ATID = 9"},
        {[&] { cv.At(-2, 9); }, "Invalid array index: -2\nconst STRING_VECTOR::At  ATID = 9"},
        {[&] { n.At(1, 3); }, "Invalid array index: 1\nVECTOR<ITEM_TYPE>::At  ATID = 3"},
        {[&] { cn.At(-1, 3); }, "Invalid array index: -1\nconst VECTOR<ITEM_TYPE>::At  ATID = 3"},
    };
    for (const auto& [call, text] : cases) {
        try {
            call();
            ADD_FAILURE() << "no error: " << text;
        } catch (const std::logic_error& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }
    s.At(2, 0) = 'x';
    EXPECT_EQ(s, "abx");
    EXPECT_EQ(n.At(0, 0), 4);

    v.Add("Alpha");
    v.Add("Beta");
    EXPECT_EQ(std::make_tuple(v.IndexOf("BETA"), v.IndexOf("Gamma"), v.AddUnique("alpha")),
              std::make_tuple(1, -1, 0));
    EXPECT_EQ(v.AddUnique("Gamma"), -1);
    EXPECT_EQ(v, (STRING_VECTOR{{"Alpha", "Beta", "Gamma"}}));
}

TEST(Strings, MatchModes) {
    STRING arg("C:\\Setup.exe /PartialOK");
    const std::tuple<STRING, const char*, int, bool, bool> cases[] = {
        {arg, "/partialok", MATCH_CONTAINS, true, true},
        {arg, "/partialok", MATCH_CONTAINS, false, false},
        {arg, "c:\\setup", MATCH_BEGINS, true, true},
        {arg, "/Partial", MATCH_BEGINS, false, false},
        {arg, "OK", MATCH_ENDS, false, true},
        {"abc", "ABC", MATCH_EQUALS, true, true},
        {"abc", "ab", MATCH_EQUALS, false, false},
        {"abc", "abc", 4, false, false},
    };
    for (const auto& [text, pattern, mode, ignoreCase, matches] : cases)
        EXPECT_EQ(text.Match(pattern, mode, ignoreCase), matches) << text << " " << pattern;
    // An empty pattern, or one longer than the text, never matches.
    for (int mode = MATCH_EQUALS; mode <= MATCH_CONTAINS; ++mode) {
        EXPECT_FALSE(STRING("abc").Match("", mode, false)) << mode;
        EXPECT_FALSE(STRING("").Match("", mode, true)) << mode;
        EXPECT_FALSE(STRING("ab").Match("abc", mode, false)) << mode;
    }
}

TEST(Strings, TextOperations) {
    STRING s("abcabc"), abc("abc");
    EXPECT_EQ(std::make_tuple(s.Find("bc", 2), s.Find("bc", 5), s.Find("a", -1)),
              std::make_tuple(4, -1, -1));
    STRING big(6000, 'Q');
    STRING left("L"), right("R");
    const bool split = STRING("key value").SplitAt("=", left, right);
    const std::pair<STRING, STRING> cases[] = {
        {abc.Right(5), ""},
        {abc.Right(2), "bc"},
        {abc.Left(5), "abc"},
        {abc.From(4), "abc"},
        {STRING("a~b~c").ReplaceFirst("~", " "), "a b~c"},
        {STRING("a~b~c").ReplaceAll("~", " "), "a b c"},
        {STRING("aa").ReplaceAll("a", "aa"), "aaaa"},
        {STRING("abc").ReplaceAll("", "x"), "abc"},
        {STRING("   ").Trim(), ""},
        {STRING(" a b ").Trim(), "a b"},
        {STRING("--x-y--").Trim('-'), "x-y"},
        {STRING("C:/x/").WithTrailingBackslash(), "C:/x/"},
        {STRING("C:\\x").WithTrailingBackslash(), "C:\\x\\"},
        {STRING("").WithTrailingBackslash(), "\\"},
        {STRING("C:\\x\\\\").WithoutTrailingBackslash(), "C:\\x\\"},
        {big.ToLower(), STRING(6000, 'q')},
        {big, STRING(6000, 'Q')},
        {STRING(std::string("AB\0CD", 5)).ToLower(), "ab"},
        {STRING(4999, 'Z').ToLower(), STRING(4999, 'z')},
        {STRING::FromInt(INT_MIN), "-2147483648"},
        {left + right, "LR"}, // a failed split leaves both parts alone
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
    EXPECT_FALSE(split);
    EXPECT_TRUE(STRING("   ").IsBlank());
    EXPECT_FALSE(STRING(" \t ").IsBlank());
    // The text split may be one of the parts.
    STRING self("x=a=b");
    EXPECT_TRUE(self.SplitAt("=", self, right));
    EXPECT_EQ(self + "|" + right, "x|a=b");
}
