#include "app/registry_entries.h"

#include <windows.h>

#include "app/startup.h"
#include "foundation/registry.h"

const char* const PRODUCT_APP_PATHS_KEY =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Orvalith.exe";

namespace {

const char* const MAPI_APPS_KEY = "Software\\Microsoft\\Windows Messaging Subsystem\\MSMapiApps";
const char* const MAPI_APP_VALUE = "Orvalith.exe";

struct PRODUCT_KEY {
    HKEY root;
    const char* subkey;
};

// In the order of removal. The plain delete leaves a key that has subkeys:
// those are not the product's to remove.
const PRODUCT_KEY PRODUCT_KEYS[] = {
    {HKEY_LOCAL_MACHINE, PRODUCT_UNINSTALL_KEY},
    {HKEY_LOCAL_MACHINE, PRODUCT_APP_PATHS_KEY},
    {HKEY_CURRENT_USER, PRODUCT_UNINSTALL_KEY},
    {HKEY_CURRENT_USER, PRODUCT_APP_PATHS_KEY},
};

} // namespace

REGISTRY_REMOVAL RemoveRegistryEntries(bool machine, bool user) {
    REGISTRY_REMOVAL removed;
    if (machine && DeleteValueAt(HKEY_LOCAL_MACHINE, MAPI_APPS_KEY, MAPI_APP_VALUE))
        ++removed.values;
    for (const PRODUCT_KEY& key : PRODUCT_KEYS) {
        if ((key.root == HKEY_LOCAL_MACHINE ? machine : user) &&
            RegDeleteKeyA(key.root, key.subkey) == ERROR_SUCCESS)
            ++removed.keys;
    }
    return removed;
}

REGISTRY_REMOVAL RemoveRegistryEntriesButUninstall() {
    REGISTRY_REMOVAL removed;
    if (DeleteValueAt(HKEY_LOCAL_MACHINE, MAPI_APPS_KEY, MAPI_APP_VALUE))
        ++removed.values;
    return removed;
}
