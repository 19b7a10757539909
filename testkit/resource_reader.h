// Reading a program's resources as they are stored in its file: strings,
// raw resources and extended dialog templates.
#pragma once

#include <string>
#include <vector>
#include <windows.h>

// String id of module; empty when it has none.
std::string LoadText(HMODULE module, UINT id);

// The bytes of one resource; empty when it is missing.
std::string ResourceBytes(HMODULE module, LPCSTR type, int id);

// A window class or a text field of a dialog template: either an ordinal or
// a string.
struct NAME_OR_ORDINAL {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::string text;
};

// Reads the fields of an extended dialog template in order; reading past the
// end yields zeros and marks the reader as overrun.
class TEMPLATE_READER {
public:
    explicit TEMPLATE_READER(const std::string& bytes) : bytes_(bytes) {}

    bool Overrun() const { return overrun_; }

    WORD Word();
    short Short() { return static_cast<short>(Word()); }
    // count shorts in a row, such as a rectangle's x, y, cx and cy.
    std::vector<int> Shorts(int count);
    BYTE Byte();
    DWORD Dword();
    // A NUL-terminated UTF-16 string; non-ASCII characters read as "?".
    std::string Text();
    NAME_OR_ORDINAL NameOrOrdinal();
    void AlignToDword() { offset_ = (offset_ + 3) & ~static_cast<size_t>(3); }

private:
    const std::string& bytes_;
    size_t offset_ = 0;
    bool overrun_ = false;
};
