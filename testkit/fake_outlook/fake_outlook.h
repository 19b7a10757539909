// The fake Outlook lives in testkit/outlook_double.
#pragma once

#include "testkit/outlook_double/fake_outlook.h"
