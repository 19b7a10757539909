#include <gtest/gtest.h>
#include "foundation/strings.h"

#include <climits>
#include <functional>
#include <stdexcept>

namespace {

// The what() text of the logic_error thrown by call, or "" if none is thrown.
std::string BadIndexText(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::logic_error& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(Strings, ListsAndAtReportBadIndexWithOperationAndAtid) {
    STRING s("abc");
    STRING_VECTOR v;
    VECTOR<int> n;
    n.Add(4);
    const STRING& cs = s;
    const STRING_VECTOR& cv = v;
    const VECTOR<int>& cn = n;
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { s.At(7, 40); }, "Invalid array index: 7\nSTRING::At  ATID = 40"},
        {[&] { s.At(3, 1); }, "Invalid array index: 3\nSTRING::At  ATID = 1"},
        {[&] { cs.At(-1, 5); }, "Invalid array index: -1\nconst STRING::At  ATID = 5"},
        {[&] { v.At(0, 9); }, "Invalid array index: 0\nSTRING_VECTOR::At  ATID = 9"},
        {[&] { cv.At(-2, 9); }, "Invalid array index: -2\nconst STRING_VECTOR::At  ATID = 9"},
        {[&] { n.At(1, 3); }, "Invalid array index: 1\nVECTOR<ITEM_TYPE>::At  ATID = 3"},
        {[&] { cn.At(-1, 3); }, "Invalid array index: -1\nconst VECTOR<ITEM_TYPE>::At  ATID = 3"},
    };
    for (const auto& [call, text] : cases)
        EXPECT_EQ(BadIndexText(call), text);
    s.At(2, 0) = 'x';
    EXPECT_EQ(s, "abx");
    EXPECT_EQ(n.At(0, 0), 4);

    v.Add("Alpha");
    v.Add("Beta");
    EXPECT_EQ(v.IndexOf("BETA"), 1);
    EXPECT_EQ(v.IndexOf("Gamma"), -1);
    EXPECT_EQ(v.AddUnique("alpha"), 0);
    EXPECT_EQ(v.AddUnique("Gamma"), -1);
    EXPECT_EQ(v.Count(), 3);
    EXPECT_EQ(v.At(2, 0), "Gamma");
}

TEST(Strings, MatchModes) {
    STRING arg("C:\\Setup.exe /PartialOK");
    EXPECT_TRUE(arg.Match("/partialok", MATCH_CONTAINS, true));
    EXPECT_FALSE(arg.Match("/partialok", MATCH_CONTAINS, false));
    EXPECT_TRUE(arg.Match("c:\\setup", MATCH_BEGINS, true));
    EXPECT_FALSE(arg.Match("/Partial", MATCH_BEGINS, false));
    EXPECT_TRUE(arg.Match("OK", MATCH_ENDS, false));
    EXPECT_TRUE(STRING("abc").Match("ABC", MATCH_EQUALS, true));
    EXPECT_FALSE(STRING("abc").Match("ab", MATCH_EQUALS, false));
    for (int mode = MATCH_EQUALS; mode <= MATCH_CONTAINS; ++mode) {
        EXPECT_FALSE(STRING("abc").Match("", mode, false)) << mode;
        EXPECT_FALSE(STRING("").Match("", mode, true)) << mode;
        EXPECT_FALSE(STRING("ab").Match("abc", mode, false)) << mode;
    }
    EXPECT_FALSE(STRING("abc").Match("abc", 4, false));
}

TEST(Strings, TextOperations) {
    STRING s("abcabc");
    EXPECT_EQ(s.Find("bc", 2), 4);
    EXPECT_EQ(s.Find("bc", 5), -1);
    EXPECT_EQ(s.Find("a", -1), -1);
    STRING abc("abc");
    EXPECT_EQ(abc.Right(5), "");
    EXPECT_EQ(abc.Right(2), "bc");
    EXPECT_EQ(abc.Left(5), "abc");
    EXPECT_EQ(abc.From(4), "abc");

    EXPECT_EQ(STRING("a~b~c").ReplaceFirst("~", " "), "a b~c");
    EXPECT_EQ(STRING("a~b~c").ReplaceAll("~", " "), "a b c");
    EXPECT_EQ(STRING("aa").ReplaceAll("a", "aa"), "aaaa");
    EXPECT_EQ(STRING("abc").ReplaceAll("", "x"), "abc");
    EXPECT_EQ(STRING("   ").Trim(), "");
    EXPECT_EQ(STRING(" a b ").Trim(), "a b");
    EXPECT_EQ(STRING("--x-y--").Trim('-'), "x-y");

    EXPECT_EQ(STRING("C:/x/").WithTrailingBackslash(), "C:/x/");
    EXPECT_EQ(STRING("C:\\x").WithTrailingBackslash(), "C:\\x\\");
    EXPECT_EQ(STRING("").WithTrailingBackslash(), "\\");
    EXPECT_EQ(STRING("C:\\x\\\\").WithoutTrailingBackslash(), "C:\\x\\");

    STRING big(6000, 'Q');
    EXPECT_EQ(big.ToLower(), STRING(6000, 'q'));
    EXPECT_EQ(big, STRING(6000, 'Q'));
    EXPECT_EQ(STRING(std::string("AB\0CD", 5)).ToLower(), "ab");
    EXPECT_EQ(STRING(4999, 'Z').ToLower(), STRING(4999, 'z'));
    EXPECT_TRUE(STRING("   ").IsBlank());
    EXPECT_FALSE(STRING(" \t ").IsBlank());

    EXPECT_EQ(STRING::FromInt(INT_MIN), "-2147483648");

    STRING left("L"), right("R");
    EXPECT_FALSE(STRING("key value").SplitAt("=", left, right));
    EXPECT_EQ(left + right, "LR");
    STRING self("x=a=b");
    EXPECT_TRUE(self.SplitAt("=", self, right));
    EXPECT_EQ(self + "|" + right, "x|a=b");
}
