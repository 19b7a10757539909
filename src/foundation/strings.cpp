#include "foundation/strings.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <stdexcept>

void ThrowBadIndex(int index, const char* operation, int atid) {
    char text[64 + 256];
    std::snprintf(text, sizeof text, "Invalid array index: %d\n%.255s  ATID = %d", index, operation,
                  atid);
    throw std::logic_error(text);
}

char& STRING::At(int index, int atid) {
    CheckIndex(index, size(), "STRING::At", atid);
    return (*this)[index];
}

const char& STRING::At(int index, int atid) const {
    CheckIndex(index, size(), "const STRING::At", atid);
    return (*this)[index];
}

STRING STRING::FromInt(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return STRING(text);
}

STRING STRING::FromWide(const wchar_t* text) {
    if (text == nullptr || *text == L'\0')
        return STRING();
    int wideLength = static_cast<int>(std::wcslen(text));
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, wideLength, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return STRING();
    STRING result(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, wideLength, &result[0], bytes, nullptr, nullptr);
    return result;
}

void STRING::ToWide(wchar_t* buffer) const {
    // Each ANSI byte yields at most one wide character, so Length() + 1 is
    // always room enough, terminating NUL included.
    MultiByteToWideChar(0 /* CP_ACP */, 0, c_str(), Length() + 1, buffer, Length() + 1);
}

std::wstring STRING::ToWide() const {
    if (empty())
        return std::wstring();
    int count = MultiByteToWideChar(0 /* CP_ACP */, 0, data(), Length(), nullptr, 0);
    if (count <= 0)
        return std::wstring();
    std::wstring result(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(0 /* CP_ACP */, 0, data(), Length(), &result[0], count);
    return result;
}

STRING STRING::ToLower() const {
    // Short texts, the usual case, need no heap allocation.
    const size_t kScratchSize = 5000;
    char scratch[kScratchSize];
    std::unique_ptr<char[]> heap;
    char* buffer = scratch;
    if (size() >= kScratchSize) {
        heap.reset(new char[size() + 1]);
        buffer = heap.get();
    }
    std::memcpy(buffer, c_str(), size() + 1);
    if (!empty())
        CharLowerBuffA(buffer, static_cast<DWORD>(size()));
    return STRING(buffer);
}

bool STRING::IsBlank() const {
    return find_first_not_of(' ') == npos;
}

int STRING::Find(const STRING& pattern, int from) const {
    if (from < 0 || pattern.size() > size() || static_cast<size_t>(from) > size() - pattern.size())
        return -1;
    size_t at = find(pattern, static_cast<size_t>(from));
    return at == npos ? -1 : static_cast<int>(at);
}

bool STRING::Match(const STRING& pattern, int mode, bool ignoreCase) const {
    const STRING text = ignoreCase ? ToLower() : *this;
    const STRING wanted = ignoreCase ? pattern.ToLower() : pattern;
    if (wanted.empty() || wanted.size() > text.size())
        return false;
    switch (mode) {
    case MATCH_EQUALS:
        return text == wanted;
    case MATCH_BEGINS:
        return text.compare(0, wanted.size(), wanted) == 0;
    case MATCH_ENDS:
        return text.compare(text.size() - wanted.size(), wanted.size(), wanted) == 0;
    case MATCH_CONTAINS:
        return text.find(wanted) != npos;
    default:
        return false;
    }
}

STRING STRING::Left(int n) const {
    if (n <= 0)
        return STRING();
    return STRING(substr(0, static_cast<size_t>(n)));
}

STRING STRING::Right(int n) const {
    if (n <= 0 || n > Length())
        return STRING();
    return STRING(substr(size() - static_cast<size_t>(n)));
}

STRING STRING::From(int pos) const {
    if (pos < 0 || pos > Length())
        return *this;
    return STRING(substr(static_cast<size_t>(pos)));
}

char STRING::LastChar() const {
    return empty() ? '\0' : back();
}

STRING& STRING::Trim(char ch) {
    size_t first = find_first_not_of(ch);
    if (first == npos) {
        clear();
        return *this;
    }
    erase(find_last_not_of(ch) + 1);
    erase(0, first);
    return *this;
}

STRING& STRING::ReplaceFirst(const STRING& find, const STRING& replacement) {
    if (find.empty())
        return *this;
    size_t at = this->find(find);
    if (at != npos)
        replace(at, find.size(), replacement);
    return *this;
}

STRING& STRING::ReplaceAll(const STRING& find, const STRING& replacement) {
    if (find.empty())
        return *this;
    // Copies guard against either argument being this text itself.
    const std::string what(find), with(replacement);
    size_t at = this->find(what);
    while (at != npos) {
        replace(at, what.size(), with);
        // Resume past the replacement so that it is never matched again.
        at = this->find(what, at + with.size());
    }
    return *this;
}

STRING STRING::WithTrailingBackslash() const {
    if (EndsWithSeparator())
        return *this;
    return STRING(*this + "\\");
}

STRING STRING::WithoutTrailingBackslash() const {
    if (EndsWithSeparator())
        return STRING(substr(0, size() - 1));
    return *this;
}

namespace {

// Every separator test goes through here: the text is walked from its
// start, a lead byte of the ANSI code page taking its trail byte with it.
template <typename VISIT> void ForEachSeparator(const std::string& text, VISIT visit) {
    const size_t size = text.size();
    for (size_t at = 0; at < size; ++at) {
        const char ch = text[at];
        if (ch == '\\' || ch == '/') {
            if (!visit(at))
                return;
        } else if (at + 1 < size && IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(ch))) {
            ++at;
        }
    }
}

} // namespace

int STRING::FindSeparator(int from) const {
    int found = -1;
    ForEachSeparator(*this, [&](size_t at) {
        if (static_cast<int>(at) < from)
            return true;
        found = static_cast<int>(at);
        return false;
    });
    return found;
}

int STRING::FindLastSeparator() const {
    int found = -1;
    ForEachSeparator(*this, [&](size_t at) {
        found = static_cast<int>(at);
        return true;
    });
    return found;
}

bool STRING::IsSeparatorAt(int index) const {
    bool found = false;
    ForEachSeparator(*this, [&](size_t at) {
        found = static_cast<int>(at) == index;
        return static_cast<int>(at) < index;
    });
    return found;
}

bool STRING::SplitAt(const STRING& separator, STRING& left, STRING& right) const {
    size_t at = find(separator);
    if (at == npos)
        return false;
    // Built before assigning, as left or right may be this text.
    STRING before(substr(0, at));
    STRING after(substr(at + separator.size()));
    left = std::move(before);
    right = std::move(after);
    return true;
}

STRING& STRING_VECTOR::At(int index, int atid) {
    CheckIndex(index, size(), "STRING_VECTOR::At", atid);
    return (*this)[index];
}

const STRING& STRING_VECTOR::At(int index, int atid) const {
    CheckIndex(index, size(), "const STRING_VECTOR::At", atid);
    return (*this)[index];
}

int STRING_VECTOR::IndexOf(const STRING& s) const {
    for (size_t i = 0; i < size(); ++i) {
        if (_stricmp((*this)[i].c_str(), s.c_str()) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int STRING_VECTOR::AddUnique(const STRING& s) {
    int index = IndexOf(s);
    if (index < 0)
        Add(s);
    return index;
}

const STRING STR_BACKSLASH("\\"), STR_OPEN_BRACKET("["), STR_CLOSE_BRACKET_LF("]\n"),
    STR_EQUALS("="), STR_COLON(":"), STR_COMMA(","), STR_COMMA_SPACE(", "), STR_SEMICOLON(";"),
    STR_DOT("."), STR_DASH("-"), STR_QUOTE("\""), STR_APOSTROPHE("'"), STR_SPACE(" "),
    STR_TAB("\t"), STR_CR("\r"), STR_LF("\n"), STR_CRLF("\r\n"), STR_EMPTY(""),
    STR_COLON_TILDE(":~"), STR_DOT_TILDE(".~"), STR_TILDE("~"), STR_TILDE_LF("~\n");
