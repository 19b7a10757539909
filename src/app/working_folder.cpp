#include "app/working_folder.h"

#include <windows.h>

#include "system/system_info.h"

namespace {

bool IsDriveLetter(char ch) {
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
}

// The length of path's root with its closing separator: 3 for "X:\", up to
// and with the separator after the share for "\\server\share\"; 0 when path
// is not absolute. The device forms "\\?\" and "\\.\" are not roots.
size_t RootLength(const STRING& path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && path.IsSeparatorAt(2))
        return 3;
    if (path.size() < 3 || !path.IsSeparatorAt(0) || !path.IsSeparatorAt(1))
        return 0;
    int serverEnd = path.FindSeparator(2);
    if (serverEnd <= 2)
        return 0;
    STRING server = path.substr(2, static_cast<size_t>(serverEnd) - 2);
    if (server == "?" || server == ".")
        return 0;
    int shareEnd = path.FindSeparator(serverEnd + 1);
    if (shareEnd < 0 || shareEnd == serverEnd + 1)
        return 0;
    return static_cast<size_t>(shareEnd) + 1;
}

// The full form of path without a trailing backslash (but for a drive's
// root); empty when it has none.
STRING FullPath(const STRING& path) {
    char buffer[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof(buffer), buffer, nullptr);
    if (length == 0 || length >= sizeof(buffer))
        return STRING();
    STRING full(buffer);
    while (full.Length() > 3 && full.EndsWithSeparator())
        full.pop_back();
    return full;
}

} // namespace

bool IsProductFolder(const STRING& text) {
    size_t root = RootLength(text);
    if (root == 0 || text.find_first_not_of("\\/. ", root) == STRING::npos)
        return false;
    // A path too long to be made full is judged by its text alone.
    STRING full = FullPath(text);
    root = RootLength(full);
    return full.empty() || (root > 0 && full.find_first_not_of("\\/. ", root) != STRING::npos);
}

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
    return fullPath.Length() == fullFolder.Length() || fullFolder.EndsWithSeparator() ||
           fullPath.IsSeparatorAt(fullFolder.Length());
}

bool IsOnMissingVolume(const STRING& path) {
    size_t root = RootLength(path);
    return root > 0 &&
           GetFileAttributesA(path.Left(static_cast<int>(root)).c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool LeaveFolders(const STRING& first, const STRING& second) {
    char current[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof(current), current);
    if (length == 0 || length >= sizeof(current))
        return false;
    auto holdsCurrent = [&current](const STRING& folder) {
        return IsProductFolder(folder) && IsInFolder(current, folder);
    };
    if (!holdsCurrent(first) && !holdsCurrent(second))
        return false;
    STRING temporary = GetTemporaryFolder().path;
    return !temporary.empty() && SetCurrentDirectoryA(temporary.c_str()) != FALSE;
}
