// The built program, as the test programs find it (DATA_MODULE loads it).
#pragma once

#include <string>

#include "testkit/ui_driver.h"

// The built program; the test programs are built one folder below it.
std::string ProductPath();
