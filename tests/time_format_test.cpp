#include <gtest/gtest.h>

#include <clocale>

#include "foundation/time_format.h"
#include "system/system_info.h"
#include "testkit/scripted_presenter.h"

TEST(TimeFormat, AmbiguityOfFormatAndSymbols) {
    EXPECT_FALSE(IsTimeFormatAmbiguous("h:mm:ss tt", "AM", "PM"));
    EXPECT_TRUE(IsTimeFormatAmbiguous("h:mm:ss", "AM", "PM"));
    EXPECT_TRUE(IsTimeFormatAmbiguous("hh:mm tt", "", ""));
    EXPECT_TRUE(IsTimeFormatAmbiguous("hh:mm tt", "x", "x"));
    EXPECT_TRUE(IsTimeFormatAmbiguous("hh:mm tt", "AM", "am"));
    EXPECT_FALSE(IsTimeFormatAmbiguous("HH:mm:ss", "", ""));
    EXPECT_FALSE(IsTimeFormatAmbiguous("", "", ""));
    // Quoted literal parts count too.
    EXPECT_FALSE(IsTimeFormatAmbiguous("h:mm 'at'", "", "pm"));
    EXPECT_TRUE(IsTimeFormatAmbiguous("H:mm 'h'", "", "pm"));
}

namespace {

// Sets the user's time settings for one test and puts them back afterwards.
class USER_TIME_SETTINGS {
public:
    USER_TIME_SETTINGS() {
        saved_[0] = Read(LOCALE_STIMEFORMAT);
        saved_[1] = Read(LOCALE_S1159);
        saved_[2] = Read(LOCALE_S2359);
    }
    ~USER_TIME_SETTINGS() { Set(saved_[0], saved_[1], saved_[2]); }
    void Set(const STRING& format, const STRING& morning, const STRING& afternoon) {
        SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, format.c_str());
        SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S1159, morning.c_str());
        SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_S2359, afternoon.c_str());
    }

private:
    static STRING Read(LCTYPE item) {
        char buffer[200] = "";
        GetLocaleInfoA(LOCALE_USER_DEFAULT, item, buffer, sizeof(buffer));
        return buffer;
    }
    STRING saved_[3];
};

} // namespace

TEST(TimeFormat, LoadWarnsOnlyAboutAnAmbiguousUserFormat) {
    WindowsVersion.SetForTesting(6, 1);
    USER_TIME_SETTINGS settings;
    {
        settings.Set("h:mm:ss", "AM", "PM");
        SCRIPTED_PRESENTER presenter;
        DATE_TIME_SETTINGS loaded;
        loaded.Load("i Ambiguous:~Detail");
        EXPECT_EQ(loaded.timeFormat, "h:mm:ss");
        EXPECT_EQ(loaded.morningSymbol, "am");
        EXPECT_EQ(loaded.afternoonSymbol, "pm");
        ASSERT_EQ(presenter.Shown().size(), 1u);
        EXPECT_EQ(presenter.Shown()[0].text, "Ambiguous. Detail");
        EXPECT_EQ(presenter.Shown()[0].type, static_cast<UINT>(MB_OK | MB_ICONASTERISK));

        // No warning text, no warning.
        SCRIPTED_PRESENTER silent;
        loaded.Load("");
        EXPECT_TRUE(silent.Shown().empty());
    }
    {
        settings.Set("h:mm:ss tt", "AM", "PM");
        SCRIPTED_PRESENTER presenter;
        DATE_TIME_SETTINGS loaded;
        loaded.Load("i Ambiguous");
        EXPECT_TRUE(presenter.Shown().empty());
    }
    {
        settings.Set("hh:mm tt", "AM", "am");
        SCRIPTED_PRESENTER presenter;
        DATE_TIME_SETTINGS loaded;
        loaded.Load("i Ambiguous");
        EXPECT_EQ(presenter.Shown().size(), 1u);
    }
    WindowsVersion.RestoreForTesting();
}

TEST(TimeFormat, LoadSetsTheRuntimeLocaleToTheUsersLanguageAndCountry) {
    DATE_TIME_SETTINGS loaded;
    loaded.Load("");
    EXPECT_NE(loaded.localeName.find('_'), STRING::npos);
    const char* current = setlocale(LC_ALL, nullptr);
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(STRING(current).find(loaded.localeName), 0u) << current;
    setlocale(LC_ALL, "C");
}
