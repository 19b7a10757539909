#include <gtest/gtest.h>
#include "foundation/strings.h"

#include <climits>
#include <cwchar>
#include <stdexcept>

namespace {

// The what() text of the logic_error thrown by call, or "" if none is thrown.
template <typename CALL> std::string BadIndexText(CALL call) {
    try {
        call();
    } catch (const std::logic_error& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(Strings, AtReportsBadIndexWithOperationAndAtid) {
    STRING s("abc");
    const STRING& cs = s;
    EXPECT_EQ(BadIndexText([&] { s.At(7, 40); }), "Invalid array index: 7\nSTRING::At  ATID = 40");
    EXPECT_EQ(BadIndexText([&] { s.At(3, 1); }), "Invalid array index: 3\nSTRING::At  ATID = 1");
    EXPECT_EQ(BadIndexText([&] { s.At(-1, 2); }), "Invalid array index: -1\nSTRING::At  ATID = 2");
    EXPECT_EQ(BadIndexText([&] { cs.At(3, 5); }),
              "Invalid array index: 3\nconst STRING::At  ATID = 5");
    EXPECT_EQ(s.At(2, 0), 'c');
    s.At(0, 0) = 'x';
    EXPECT_EQ(s, "xbc");

    STRING_VECTOR v;
    const STRING_VECTOR& cv = v;
    EXPECT_EQ(BadIndexText([&] { v.At(0, 9); }),
              "Invalid array index: 0\nSTRING_VECTOR::At  ATID = 9");
    EXPECT_EQ(BadIndexText([&] { cv.At(-2, 9); }),
              "Invalid array index: -2\nconst STRING_VECTOR::At  ATID = 9");

    VECTOR<int> n;
    n.Add(4);
    const VECTOR<int>& cn = n;
    EXPECT_EQ(n.At(0, 0), 4);
    EXPECT_EQ(BadIndexText([&] { n.At(1, 3); }),
              "Invalid array index: 1\nVECTOR<ITEM_TYPE>::At  ATID = 3");
    EXPECT_EQ(BadIndexText([&] { cn.At(1, 3); }),
              "Invalid array index: 1\nconst VECTOR<ITEM_TYPE>::At  ATID = 3");
}

TEST(Strings, MatchModes) {
    STRING arg("C:\\Setup.exe /PartialOK");
    EXPECT_TRUE(arg.Match("/partialok", MATCH_CONTAINS, true));
    EXPECT_FALSE(arg.Match("/partialok", MATCH_CONTAINS, false));
    EXPECT_TRUE(arg.Match("c:\\setup", MATCH_BEGINS, true));
    EXPECT_FALSE(arg.Match("/Partial", MATCH_BEGINS, false));
    EXPECT_TRUE(arg.Match("OK", MATCH_ENDS, false));
    EXPECT_FALSE(arg.Match("/Partial", MATCH_ENDS, false));
    EXPECT_TRUE(STRING("abc").Match("ABC", MATCH_EQUALS, true));
    EXPECT_FALSE(STRING("abc").Match("ab", MATCH_EQUALS, false));

    for (int mode = MATCH_EQUALS; mode <= MATCH_CONTAINS; ++mode) {
        EXPECT_FALSE(STRING("abc").Match("", mode, false)) << mode;
        EXPECT_FALSE(STRING("").Match("", mode, true)) << mode;
        EXPECT_FALSE(STRING("ab").Match("abc", mode, false)) << mode;
    }
    EXPECT_FALSE(STRING("abc").Match("abc", 4, false));
    EXPECT_FALSE(STRING("abc").Match("abc", -1, false));
}

TEST(Strings, FindAndSubstrings) {
    STRING s("abcabc");
    EXPECT_EQ(s.Find("bc"), 1);
    EXPECT_EQ(s.Find("bc", 2), 4);
    EXPECT_EQ(s.Find("bc", 5), -1);
    EXPECT_EQ(s.Find("", 6), 6);
    EXPECT_EQ(s.Find("", 7), -1);
    EXPECT_EQ(s.Find("a", -1), -1);
    EXPECT_EQ(s.Find("abcabcd"), -1);

    STRING abc("abc");
    EXPECT_EQ(abc.Right(5), "");
    EXPECT_EQ(abc.Right(3), "abc");
    EXPECT_EQ(abc.Right(2), "bc");
    EXPECT_EQ(abc.Left(5), "abc");
    EXPECT_EQ(abc.Left(-1), "");
    EXPECT_EQ(abc.From(1), "bc");
    EXPECT_EQ(abc.From(3), "");
    EXPECT_EQ(abc.From(4), "abc");
    EXPECT_EQ(abc.From(-1), "abc");
    EXPECT_EQ(abc.LastChar(), 'c');
    EXPECT_EQ(STRING().LastChar(), '\0');
}

TEST(Strings, ReplaceAndTrim) {
    EXPECT_EQ(STRING("a~b~c").ReplaceFirst("~", " "), "a b~c");
    EXPECT_EQ(STRING("a~b~c").ReplaceAll("~", " "), "a b c");
    EXPECT_EQ(STRING("aa").ReplaceAll("a", "aa"), "aaaa");
    EXPECT_EQ(STRING("abc").ReplaceAll("", "x"), "abc");
    EXPECT_EQ(STRING("abc").ReplaceFirst("", "x"), "abc");
    EXPECT_EQ(STRING("abc").ReplaceFirst("B", "x"), "abc");

    EXPECT_EQ(STRING("   ").Trim(), "");
    EXPECT_EQ(STRING(" a b ").Trim(), "a b");
    EXPECT_EQ(STRING("--x-y--").Trim('-'), "x-y");

    EXPECT_EQ(STRING("C:/x/").WithTrailingBackslash(), "C:/x/");
    EXPECT_EQ(STRING("C:\\x").WithTrailingBackslash(), "C:\\x\\");
    EXPECT_EQ(STRING("").WithTrailingBackslash(), "\\");
    EXPECT_EQ(STRING("C:\\x\\\\").WithoutTrailingBackslash(), "C:\\x\\");
    EXPECT_EQ(STRING("C:/x").WithoutTrailingBackslash(), "C:/x");
}

TEST(Strings, ToLowerAndBlank) {
    STRING big(6000, 'Q');
    STRING lower = big.ToLower();
    EXPECT_EQ(lower, STRING(6000, 'q'));
    EXPECT_EQ(big, STRING(6000, 'Q'));
    EXPECT_EQ(STRING(std::string("AB\0CD", 5)).ToLower(), "ab");
    EXPECT_EQ(STRING(4999, 'Z').ToLower(), STRING(4999, 'z'));

    EXPECT_TRUE(STRING().IsBlank());
    EXPECT_TRUE(STRING("   ").IsBlank());
    EXPECT_FALSE(STRING(" \t ").IsBlank());
}

TEST(Strings, Conversions) {
    EXPECT_EQ(STRING::FromInt(INT_MIN), "-2147483648");
    EXPECT_EQ(STRING::FromInt(0), "0");
    EXPECT_EQ(STRING::FromInt(42), "42");
    EXPECT_EQ(STRING::FromWide(nullptr), "");

    STRING text("Brindlecove Orvalith 1.0");
    std::wstring wide = text.ToWide();
    EXPECT_EQ(wide, L"Brindlecove Orvalith 1.0");
    EXPECT_EQ(STRING::FromWide(wide.c_str()), text);
    wchar_t buffer[32];
    wmemset(buffer, L'#', 32);
    text.ToWide(buffer);
    EXPECT_STREQ(buffer, L"Brindlecove Orvalith 1.0");
    EXPECT_EQ(STRING().ToWide(), L"");
}

TEST(Strings, SplitAndVectorLookup) {
    STRING left("L"), right("R");
    EXPECT_FALSE(STRING("key value").SplitAt("=", left, right));
    EXPECT_EQ(left, "L");
    EXPECT_EQ(right, "R");
    EXPECT_TRUE(STRING("key=a=b").SplitAt("=", left, right));
    EXPECT_EQ(left, "key");
    EXPECT_EQ(right, "a=b");
    STRING self("x, y");
    EXPECT_TRUE(self.SplitAt(", ", self, right));
    EXPECT_EQ(self, "x");
    EXPECT_EQ(right, "y");

    STRING_VECTOR v;
    v.Add("Alpha");
    v.Add("Beta");
    EXPECT_EQ(v.IndexOf("BETA"), 1);
    EXPECT_EQ(v.IndexOf("Gamma"), -1);
    EXPECT_EQ(v.AddUnique("alpha"), 0);
    EXPECT_EQ(v.Count(), 2);
    EXPECT_EQ(v.AddUnique("Gamma"), -1);
    EXPECT_EQ(v.Count(), 3);
    EXPECT_EQ(v.At(2, 0), "Gamma");
}
