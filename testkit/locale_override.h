// Sets one of the user's locale items (a LOCALE_S... value such as the time
// format) for the object's lifetime; the previous value comes back on
// destruction.
#pragma once

#include <string>
#include <windows.h>

class USER_LOCALE_OVERRIDE {
public:
    USER_LOCALE_OVERRIDE(LCTYPE item, const std::string& value) : item_(item) {
        char previous[200] = "";
        GetLocaleInfoA(LOCALE_USER_DEFAULT, item, previous, sizeof(previous));
        previous_ = previous;
        SetLocaleInfoA(LOCALE_USER_DEFAULT, item, value.c_str());
    }
    ~USER_LOCALE_OVERRIDE() { SetLocaleInfoA(LOCALE_USER_DEFAULT, item_, previous_.c_str()); }
    USER_LOCALE_OVERRIDE(const USER_LOCALE_OVERRIDE&) = delete;
    USER_LOCALE_OVERRIDE& operator=(const USER_LOCALE_OVERRIDE&) = delete;

private:
    LCTYPE item_;
    std::string previous_;
};
