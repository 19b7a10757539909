#include "addins/clickonce_store.h"

#include <shlobj.h>
#include <windows.h>

#include "foundation/registry.h"
#include "system/system_info.h"

const char* const CLICKONCE_STORE_KEY =
    "Software\\Classes\\Software\\Microsoft\\Windows\\CurrentVersion\\Deployment\\SideBySide\\2.0";
const char* const CLICKONCE_MARKS_KEY =
    "Software\\Classes\\Software\\Microsoft\\Windows\\CurrentVersion"
    "\\Deployment\\SideBySide\\2.0\\Marks";
const char* const CLICKONCE_COMPONENTS_KEY =
    "Software\\Classes\\Software\\Microsoft\\Windows"
    "\\CurrentVersion\\Deployment\\SideBySide\\2.0\\Components";

namespace {

const int SHORTEST_RANDOM_STRING = 19;

bool HasPathCharacter(const STRING& text) {
    return text.FindSeparator() >= 0 || text.find(':') != STRING::npos;
}

// The store's keys are writable by the user: a name may only ever stand for
// a file inside the manifests folder. The store's own names hold ".." in
// their middle, which is harmless without a separator.
bool IsPlainFileName(const STRING& name) {
    return !name.empty() && name != "." && name != ".." && !HasPathCharacter(name);
}

// "X:\..." or "\\server\...": a store path never depends on the current drive
// or folder.
bool IsAbsolute(const STRING& path) {
    return (path.Length() >= 3 && path[1] == ':' && path.IsSeparatorAt(2)) ||
           (path.IsSeparatorAt(0) && path.IsSeparatorAt(1));
}

// The folder that holds the store's "Apps\2.0": LOCALAPPDATA where it is set;
// else the local application-data folder on Windows 6.0 and later, and its
// parent ("Local Settings") before, where Windows XP keeps the store. Empty
// when no folder can be had.
STRING StoreParentFolder() {
    STRING folder = GetLocalAppDataFolder();
    if (!folder.empty())
        return folder;
    folder = GetSpecialFolderPath(nullptr, CSIDL_LOCAL_APPDATA).WithoutTrailingBackslash();
    if (WindowsVersion.Major() >= 6)
        return folder;
    int at = folder.FindLastSeparator();
    return at < 3 ? STRING() : folder.Left(at);
}

} // namespace

void FindStoreEntries(STRING_VECTOR& names, const char* keyPath, const STRING& addInName) {
    // Collected apart first: an item listed under both keys must be found
    // under both.
    STRING_VECTOR found;
    FindSubkeysByValue(found, HKEY_CURRENT_USER, keyPath, "identity", addInName, MATCH_BEGINS, true,
                       true);
    names.insert(names.end(), found.begin(), found.end());
}

STRING ClickOnceManifestsFolder(const STRING& localAppData, const STRING& randomString) {
    if (!IsAbsolute(localAppData) || randomString.Length() < SHORTEST_RANDOM_STRING ||
        HasPathCharacter(randomString) || randomString.Find(".") >= 0)
        return STRING();
    return localAppData.WithTrailingBackslash() + "Apps\\2.0\\" + randomString.substr(0, 8) + "." +
           randomString.substr(8, 3) + "\\" + randomString.substr(11, 8) + "." +
           randomString.substr(19, 3) + "\\manifests";
}

void RemoveClickOnceManifests(const STRING& addInName) {
    STRING_VECTOR names;
    FindStoreEntries(names, CLICKONCE_MARKS_KEY, addInName);
    FindStoreEntries(names, CLICKONCE_COMPONENTS_KEY, addInName);

    STRING randomString =
        ReadStringAt(HKEY_CURRENT_USER, CLICKONCE_STORE_KEY, "ComponentStore_RandomString");
    STRING folder = ClickOnceManifestsFolder(StoreParentFolder(), randomString);
    if (folder.empty())
        return;

    for (const STRING& name : names) {
        if (!IsPlainFileName(name))
            continue;
        DeleteFileA((folder.WithTrailingBackslash() + name + ".manifest").c_str());
    }
}
