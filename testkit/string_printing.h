// Failure messages show the product's texts as quoted text, not as lists of
// characters.
#pragma once

#include <ostream>

#include "foundation/strings.h"

inline void PrintTo(const STRING& text, std::ostream* out) {
    *out << '"' << static_cast<const std::string&>(text) << '"';
}
