// The application record: what the whole process knows about its start.
#pragma once

#include <windows.h>

struct APPLICATION_RECORD {
    HINSTANCE instance = nullptr; // WinMain's; holds the dialog templates
};

extern APPLICATION_RECORD Application;
