// The user's Windows date and time settings, and the start-up warning about a
// time format that shows morning and evening times alike.
#pragma once

#include "foundation/strings.h"

// True when format uses the 12-hour clock ("h") without a way to tell
// morning from afternoon: no "t" marker, or equal (lower-cased) symbols.
bool IsTimeFormatAmbiguous(const STRING& timeFormat, const STRING& morningSymbol,
                           const STRING& afternoonSymbol);

class DATE_TIME_SETTINGS {
public:
    // Reads the user's settings, shows warningText when the time format is
    // ambiguous (and the text not empty), and sets the C runtime's locale.
    void Load(const STRING& warningText);

    STRING morningSymbol;   // lower-cased
    STRING afternoonSymbol; // lower-cased
    STRING timeFormat;
    STRING localeName; // as given to setlocale, e.g. English_United Kingdom
};

extern DATE_TIME_SETTINGS DateTimeSettings;
