#include <gtest/gtest.h>

#include <string>
#include <windows.h>

#include "app/registry_entries.h"
#include "app/startup.h"
#include "testkit/shell_overrides.h"
#include "testkit/test_registry.h"

namespace {

const HKEY HKLM = HKEY_LOCAL_MACHINE;
const HKEY HKCU = HKEY_CURRENT_USER;
const std::string MAPI_APPS = "Software\\Microsoft\\Windows Messaging Subsystem\\MSMapiApps";
const std::string UNINSTALL = PRODUCT_UNINSTALL_KEY;
const std::string APP_PATHS = PRODUCT_APP_PATHS_KEY;

TEST(RegistryEntries, PerUserInstallLosesItsKeysAndLeavesTheMachineAlone) {
    TEMPORARY_KEY userUninstall(HKCU, UNINSTALL);
    TEMPORARY_KEY userAppPaths(HKCU, APP_PATHS);
    SetRegString(HKCU, UNINSTALL, "DisplayName", "Orvalith");
    SetRegString(HKCU, APP_PATHS, "Path", "C:\\Orvalith");
    TEMPORARY_KEY machineUninstall(HKLM, UNINSTALL, false);
    TEMPORARY_KEY machineAppPaths(HKLM, APP_PATHS, false);
    // Neighbours that are not the product's.
    TEMPORARY_KEY neighbour(HKLM, UNINSTALL + " Viewer");
    REGISTRY_VALUE_OVERRIDE otherMapiApp(HKLM, MAPI_APPS, "Other.exe", "1");

    RemoveRegistryEntries();
    EXPECT_FALSE(RegKeyPresent(HKCU, UNINSTALL));
    EXPECT_FALSE(RegKeyPresent(HKCU, APP_PATHS));
    EXPECT_FALSE(RegKeyPresent(HKLM, UNINSTALL));
    EXPECT_FALSE(RegKeyPresent(HKLM, APP_PATHS));
    EXPECT_TRUE(RegKeyPresent(HKLM, UNINSTALL + " Viewer"));
    EXPECT_TRUE(RegValuePresent(HKLM, MAPI_APPS, "Other.exe"));
}

TEST(RegistryEntries, AllUsersInstallLosesItsMachineRowsAndMapiValueOnly) {
    // Created in this order, so that the first one, which made the key,
    // removes it last.
    REGISTRY_VALUE_OVERRIDE otherMapiApp(HKLM, MAPI_APPS, "Other.exe", "1");
    REGISTRY_VALUE_OVERRIDE productMapiApp(HKLM, MAPI_APPS, "Orvalith.exe", "1");
    TEMPORARY_KEY machineUninstall(HKLM, UNINSTALL);
    TEMPORARY_KEY machineAppPaths(HKLM, APP_PATHS);
    TEMPORARY_KEY userUninstall(HKCU, UNINSTALL, false);

    RemoveRegistryEntries();
    EXPECT_FALSE(RegKeyPresent(HKLM, UNINSTALL));
    EXPECT_FALSE(RegKeyPresent(HKLM, APP_PATHS));
    EXPECT_FALSE(RegValuePresent(HKLM, MAPI_APPS, "Orvalith.exe"));
    EXPECT_TRUE(RegValuePresent(HKLM, MAPI_APPS, "Other.exe"));
    // A missing key is not made by looking for it.
    EXPECT_FALSE(RegKeyPresent(HKCU, UNINSTALL));
}

TEST(RegistryEntries, KeyWithSubkeysStaysAndTheRestGoes) {
    TEMPORARY_KEY userUninstall(HKCU, UNINSTALL);
    CreateRegKey(HKCU, UNINSTALL + "\\Components");
    TEMPORARY_KEY userAppPaths(HKCU, APP_PATHS);
    TEMPORARY_KEY noMapiApps(HKLM, MAPI_APPS, false);

    RemoveRegistryEntries();
    EXPECT_TRUE(RegKeyPresent(HKCU, UNINSTALL + "\\Components"));
    EXPECT_FALSE(RegKeyPresent(HKCU, APP_PATHS));
    EXPECT_FALSE(RegKeyPresent(HKLM, MAPI_APPS));
}

} // namespace
