// The numbered string table.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

// The module the string table and the dialog template are loaded from.
void SetResourceInstance(HINSTANCE instance);
HINSTANCE GetResourceInstance();

// The text of string id, or "LoadStringID invalid RES_ID <id>" when the
// table has no (or an empty) string of that id.
STRING LoadStr(int id);
