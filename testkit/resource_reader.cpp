#include "testkit/resource_reader.h"

std::string LoadText(HMODULE module, UINT id) {
    char buffer[4096] = "";
    int length = LoadStringA(module, id, buffer, sizeof(buffer));
    return std::string(buffer, length > 0 ? length : 0);
}

std::string ResourceBytes(HMODULE module, LPCSTR type, int id) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!found)
        return std::string();
    HGLOBAL loaded = LoadResource(module, found);
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data ? std::string(data, SizeofResource(module, found)) : std::string();
}

WORD TEMPLATE_READER::Word() {
    if (offset_ + 2 > bytes_.size()) {
        overrun_ = true;
        return 0;
    }
    WORD value = static_cast<BYTE>(bytes_[offset_]) |
                 static_cast<WORD>(static_cast<BYTE>(bytes_[offset_ + 1]) << 8);
    offset_ += 2;
    return value;
}

std::vector<int> TEMPLATE_READER::Shorts(int count) {
    std::vector<int> values;
    while (count-- > 0)
        values.push_back(Short());
    return values;
}

BYTE TEMPLATE_READER::Byte() {
    if (offset_ + 1 > bytes_.size()) {
        overrun_ = true;
        return 0;
    }
    return static_cast<BYTE>(bytes_[offset_++]);
}

DWORD TEMPLATE_READER::Dword() {
    DWORD low = Word();
    return low | (static_cast<DWORD>(Word()) << 16);
}

std::string TEMPLATE_READER::Text() {
    std::string text;
    for (WORD unit = Word(); unit != 0 && !overrun_; unit = Word())
        text += unit < 0x80 ? static_cast<char>(unit) : '?';
    return text;
}

NAME_OR_ORDINAL TEMPLATE_READER::NameOrOrdinal() {
    NAME_OR_ORDINAL field;
    WORD first = Word();
    if (first == 0xFFFF) {
        field.isOrdinal = true;
        field.ordinal = Word();
    } else if (first != 0) {
        offset_ -= 2;
        field.text = Text();
    }
    return field;
}
