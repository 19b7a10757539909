// The product's byte string (ANSI code page) and its list types.
#pragma once

#include <string>
#include <vector>
#include <windows.h>

// Match modes.
enum MATCH_MODE : int {
    MATCH_EQUALS = 0,
    MATCH_BEGINS = 1,
    MATCH_ENDS = 2,
    MATCH_CONTAINS = 3,
};

// Throws std::logic_error with the bad-index text shared by every At().
[[noreturn]] void ThrowBadIndex(int index, const char* operation, int atid);

// Compared unsigned, so that a negative index is out of range too.
inline void CheckIndex(int index, size_t size, const char* operation, int atid) {
    if (static_cast<unsigned>(index) >= size)
        ThrowBadIndex(index, operation, atid);
}

class STRING : public std::string {
public:
    using std::string::string;
    STRING() = default;
    STRING(const std::string& s) : std::string(s) {}
    STRING(std::string&& s) : std::string(std::move(s)) {}

    // Bounds-tested access; atid names the call site in the error text.
    char& At(int index, int atid);
    const char& At(int index, int atid) const;

    int Length() const { return static_cast<int>(size()); }

    // Conversions.
    static STRING FromInt(int value);
    static STRING FromWide(const wchar_t* text); // null gives the empty text
    static STRING FromBstr(BSTR text) { return FromWide(text); }
    // Converts the whole text and its NUL into buffer, which must hold at
    // least Length() + 1 wide characters.
    void ToWide(wchar_t* buffer) const;
    std::wstring ToWide() const;

    STRING ToLower() const;
    bool IsBlank() const;

    int Find(const STRING& pattern, int from = 0) const;
    bool Match(const STRING& pattern, int mode, bool ignoreCase) const;

    STRING Left(int n) const;
    STRING Right(int n) const;
    STRING From(int pos) const;
    char LastChar() const;

    STRING& Trim(char ch = ' ');
    STRING& ReplaceFirst(const STRING& find, const STRING& replacement);
    STRING& ReplaceAll(const STRING& find, const STRING& replacement);
    STRING WithTrailingBackslash() const;
    STRING WithoutTrailingBackslash() const;

    // Path separators, "\" or "/", found character by character: in a
    // double-byte code page (932, 936, 949, 950) the second byte of a
    // character may be 0x5C, the byte of "\", and is no separator.
    // FindSeparator answers the first at or after from, FindLastSeparator
    // the last; -1 when none.
    int FindSeparator(int from = 0) const;
    int FindLastSeparator() const;
    bool IsSeparatorAt(int index) const;
    bool EndsWithSeparator() const { return !empty() && IsSeparatorAt(Length() - 1); }

    bool SplitAt(const STRING& separator, STRING& left, STRING& right) const;
};

class STRING_VECTOR : public std::vector<STRING> {
public:
    STRING& At(int index, int atid);
    const STRING& At(int index, int atid) const;

    int Count() const { return static_cast<int>(size()); }
    void Add(const STRING& s) { push_back(s); }
    // Case-insensitive; -1 when absent.
    int IndexOf(const STRING& s) const;
    // The existing index, or -1 after appending s.
    int AddUnique(const STRING& s);
};

// A list of 4-byte items (integers, handles, indices).
template <typename ITEM_TYPE> class VECTOR : public std::vector<ITEM_TYPE> {
    static_assert(sizeof(ITEM_TYPE) == 4, "VECTOR holds 4-byte items");

public:
    ITEM_TYPE& At(int index, int atid) {
        CheckIndex(index, this->size(), "VECTOR<ITEM_TYPE>::At", atid);
        return (*this)[index];
    }
    const ITEM_TYPE& At(int index, int atid) const {
        CheckIndex(index, this->size(), "const VECTOR<ITEM_TYPE>::At", atid);
        return (*this)[index];
    }
    int Count() const { return static_cast<int>(this->size()); }
    void Add(const ITEM_TYPE& item) { this->push_back(item); }
};

// The longest path the ANSI file functions take on every Windows the program
// runs on: MAX_PATH with its terminating NUL. A longer path is never cut to
// fit: whatever it names is logged and reported as left.
const int PATH_LIMIT = MAX_PATH - 1;
inline bool FitsPathLimit(const STRING& path) {
    return path.Length() <= PATH_LIMIT;
}

// Shared constant texts, built before the entry point runs.
extern const STRING STR_BACKSLASH, STR_OPEN_BRACKET, STR_CLOSE_BRACKET_LF, STR_EQUALS, STR_COLON,
    STR_COMMA, STR_COMMA_SPACE, STR_SEMICOLON, STR_DOT, STR_DASH, STR_QUOTE, STR_APOSTROPHE,
    STR_SPACE, STR_TAB, STR_CR, STR_LF, STR_CRLF, STR_EMPTY, STR_COLON_TILDE, STR_DOT_TILDE,
    STR_TILDE, STR_TILDE_LF;
