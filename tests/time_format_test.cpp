#include <gtest/gtest.h>

#include <clocale>
#include <tuple>

#include "foundation/time_format.h"
#include "testkit/locale_override.h"
#include "testkit/scripted_presenter.h"
#include "testkit/version_guard.h"

TEST(TimeFormat, AmbiguityOfFormatAndSymbols) {
    EXPECT_TRUE(IsTimeFormatAmbiguous("hh:mm tt", "AM", "am"));
    EXPECT_TRUE(IsTimeFormatAmbiguous("hh:mm tt", "", ""));
    EXPECT_FALSE(IsTimeFormatAmbiguous("HH:mm:ss", "", ""));
    // Quoted literal parts count too.
    EXPECT_FALSE(IsTimeFormatAmbiguous("h:mm 'at'", "", "pm"));
    EXPECT_TRUE(IsTimeFormatAmbiguous("H:mm 'h'", "", "pm"));
}

TEST(TimeFormat, LoadWarnsAboutAnAmbiguousUserFormatAndSetsTheRuntimeLocale) {
    VERSION_GUARD version(6, 1);
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {"h:mm:ss", "AM", "PM", true},
        {"h:mm:ss tt", "AM", "PM", false},
        {"hh:mm tt", "AM", "am", true},
    };
    for (auto [format, morning, afternoon, warns] : cases) {
        USER_LOCALE_OVERRIDE userFormat(LOCALE_STIMEFORMAT, format);
        USER_LOCALE_OVERRIDE userMorning(LOCALE_S1159, morning);
        USER_LOCALE_OVERRIDE userAfternoon(LOCALE_S2359, afternoon);
        SCRIPTED_PRESENTER presenter;
        DATE_TIME_SETTINGS loaded;
        loaded.Load("i Ambiguous:~Detail");
        EXPECT_EQ(loaded.timeFormat, format);
        EXPECT_EQ(loaded.morningSymbol, STRING(morning).ToLower());
        EXPECT_EQ(loaded.afternoonSymbol, STRING(afternoon).ToLower());
        EXPECT_EQ(presenter.Shown().size(), warns ? 1u : 0u) << format;
        for (const SHOWN_MESSAGE& shown : presenter.Shown())
            EXPECT_EQ(shown.text, "Ambiguous. Detail");
        // No warning text, no warning.
        SCRIPTED_PRESENTER silent;
        loaded.Load("");
        EXPECT_TRUE(silent.Shown().empty());

        // The C runtime's locale is the user's language and country, in
        // English, joined by "_".
        char language[100] = "";
        char country[100] = "";
        ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, language, 100), 1);
        ASSERT_GT(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SENGCOUNTRY, country, 100), 1);
        EXPECT_EQ(loaded.localeName, STRING(language) + "_" + country);
        const char* current = setlocale(LC_ALL, nullptr);
        ASSERT_NE(current, nullptr);
        EXPECT_EQ(STRING(current).find(loaded.localeName), 0u) << current;
        setlocale(LC_ALL, "C");
    }
}
