#include "foundation/time_format.h"

#include <clocale>
#include <windows.h>

#include "foundation/messages.h"

DATE_TIME_SETTINGS DateTimeSettings;

namespace {

STRING ReadLocaleItem(LCTYPE item, bool lowerCase) {
    char buffer[200] = "";
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, sizeof(buffer)) == 0)
        buffer[0] = '\0';
    if (lowerCase)
        CharLowerBuffA(buffer, sizeof(buffer));
    return buffer;
}

} // namespace

bool IsTimeFormatAmbiguous(const STRING& timeFormat, const STRING& morningSymbol,
                           const STRING& afternoonSymbol) {
    if (timeFormat.find('h') == STRING::npos)
        return false;
    return timeFormat.find('t') == STRING::npos ||
           morningSymbol.ToLower() == afternoonSymbol.ToLower();
}

void DATE_TIME_SETTINGS::Load(const STRING& warningText) {
    morningSymbol = ReadLocaleItem(LOCALE_S1159, true);
    afternoonSymbol = ReadLocaleItem(LOCALE_S2359, true);
    timeFormat = ReadLocaleItem(LOCALE_STIMEFORMAT, false);

    if (!warningText.empty() && IsTimeFormatAmbiguous(timeFormat, morningSymbol, afternoonSymbol))
        MsgBoxOK(warningText);

    localeName = ReadLocaleItem(LOCALE_SENGLANGUAGE, false) + "_" +
                 ReadLocaleItem(LOCALE_SENGCOUNTRY, false);
    setlocale(LC_ALL, localeName.c_str());
}
