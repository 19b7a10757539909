// Removal of the registry entries through which Windows knows the product:
// its entries in the list of installed programs, its App Paths entries and
// its entry among the MAPI applications.
#pragma once

// The product's App Paths key, under either hive.
extern const char* const PRODUCT_APP_PATHS_KEY;

// How many keys and values went.
struct REGISTRY_REMOVAL {
    int keys = 0;
    int values = 0;
};

// Deletes, in this order: the value "Orvalith.exe" of the machine's
// MSMapiApps key (the key and its other values stay), then the Uninstall and
// App Paths keys under HKEY_LOCAL_MACHINE and under HKEY_CURRENT_USER. Each
// key goes only when it has no subkeys. Every failure (missing key or value,
// subkeys, no access) is ignored; answers what was deleted. machine takes
// the HKEY_LOCAL_MACHINE entries, user the HKEY_CURRENT_USER ones.
REGISTRY_REMOVAL RemoveRegistryEntries(bool machine = true, bool user = true);

// For a run that must be made again: deletes the MSMapiApps value only, and
// keeps the Uninstall and App Paths keys, through which the list of
// installed programs starts the uninstall and the uninstall finds the
// product's folders.
REGISTRY_REMOVAL RemoveRegistryEntriesButUninstall();
