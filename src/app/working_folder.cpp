#include "app/working_folder.h"

#include <windows.h>

namespace {

// The full form of path without a trailing backslash (but for a drive's
// root); empty when it has none.
STRING FullPath(const STRING& path) {
    char buffer[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof(buffer), buffer, nullptr);
    if (length == 0 || length >= sizeof(buffer))
        return STRING();
    STRING full(buffer);
    while (full.Length() > 3 && full.LastChar() == '\\')
        full.pop_back();
    return full;
}

} // namespace

bool IsInFolder(const STRING& path, const STRING& folder) {
    if (path.IsBlank() || folder.IsBlank())
        return false;
    STRING fullPath = FullPath(path);
    STRING fullFolder = FullPath(folder);
    if (fullPath.empty() || fullFolder.empty() || fullPath.Length() < fullFolder.Length())
        return false;
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, fullPath.c_str(),
                       static_cast<int>(fullFolder.Length()), fullFolder.c_str(),
                       static_cast<int>(fullFolder.Length())) != CSTR_EQUAL)
        return false;
    // "C:\Orvalith" holds "C:\Orvalith\Bin", not "C:\Orvalith2".
    return fullPath.Length() == fullFolder.Length() || fullFolder.LastChar() == '\\' ||
           fullPath[fullFolder.Length()] == '\\';
}

bool LeaveFolders(const STRING& first, const STRING& second) {
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof(current), current);
    if (length == 0 || length >= sizeof(current))
        return false;
    if (!IsInFolder(current, first) && !IsInFolder(current, second))
        return false;
    char temporary[MAX_PATH];
    length = GetTempPathA(sizeof(temporary), temporary);
    if (length == 0 || length >= sizeof(temporary))
        return false;
    return SetCurrentDirectoryA(temporary) != FALSE;
}
