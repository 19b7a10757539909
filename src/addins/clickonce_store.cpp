#include "addins/clickonce_store.h"

#include <shlobj.h>
#include <windows.h>

#include "foundation/registry.h"
#include "system/files_left.h"
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
USER_FOLDER StoreParentFolder() {
    USER_FOLDER folder = GetLocalAppDataFolder();
    if (!folder.wide.empty())
        return folder;
    folder = GetSpecialFolderPath(nullptr, CSIDL_LOCAL_APPDATA);
    if (WindowsVersion.Major() >= 6)
        return folder;
    std::wstring wide = folder.wide;
    while (!wide.empty() && (wide.back() == L'\\' || wide.back() == L'/'))
        wide.pop_back();
    size_t at = wide.find_last_of(L"\\/");
    return at == std::wstring::npos || at < 3 ? USER_FOLDER()
                                              : UserFolderFromWide(wide.substr(0, at));
}

// The manifests folder below the store's parent, without a leading
// backslash; empty when the random string cannot name it.
STRING ManifestsBelowStoreParent(const STRING& randomString) {
    if (randomString.Length() < SHORTEST_RANDOM_STRING || HasPathCharacter(randomString) ||
        randomString.Find(".") >= 0)
        return STRING();
    return "Apps\\2.0\\" + randomString.substr(0, 8) + "." + randomString.substr(8, 3) + "\\" +
           randomString.substr(11, 8) + "." + randomString.substr(19, 3) + "\\manifests";
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
    STRING below = ManifestsBelowStoreParent(randomString);
    if (!IsAbsolute(localAppData) || below.empty())
        return STRING();
    return localAppData.WithTrailingBackslash() + below;
}

void RemoveClickOnceManifests(const STRING& addInName) {
    STRING_VECTOR names;
    FindStoreEntries(names, CLICKONCE_MARKS_KEY, addInName);
    FindStoreEntries(names, CLICKONCE_COMPONENTS_KEY, addInName);

    STRING randomString =
        ReadStringAt(HKEY_CURRENT_USER, CLICKONCE_STORE_KEY, "ComponentStore_RandomString");
    USER_FOLDER parent = StoreParentFolder();
    STRING folder = ClickOnceManifestsFolder(parent.path, randomString);
    STRING below = ManifestsBelowStoreParent(randomString);
    if (folder.empty() && !(parent.Unreachable() && !below.empty()))
        return;

    for (const STRING& name : names) {
        if (!IsPlainFileName(name))
            continue;
        STRING file = STR_BACKSLASH + name + ".manifest";
        if (parent.Unreachable())
            CountLeftIn(parent, STR_BACKSLASH + below + file, parent.unreachableBecause);
        else if (!FitsPathLimit(folder + file))
            CountLeftIn(parent, STR_BACKSLASH + below + file, ERROR_FILENAME_EXCED_RANGE);
        else
            DeleteFileA((folder + file).c_str());
    }
}
