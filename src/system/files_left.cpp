#include "system/files_left.h"

#include "foundation/log_file.h"

namespace {

STRING filesLeft;
STRING lastReason;

} // namespace

void CountFileLeft(const STRING& path, DWORD reason) {
    lastReason = GetSystemErrorText(reason);
    Log.Printf("Left \"%s\": %s\r\n", path.c_str(), lastReason.c_str());
    filesLeft += path + STR_LF;
}

void CountLeftIn(const USER_FOLDER& folder, const STRING& relativePath, DWORD reason) {
    std::wstring wide = folder.wide + relativePath.ToWide();
    // A drive's path over MAX_PATH is asked in its long form.
    std::wstring asked =
        wide.size() >= MAX_PATH && wide.size() > 2 && wide[1] == L':' ? L"\\\\?\\" + wide : wide;
    if (GetFileAttributesW(asked.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    // Shown as the code page can show it: best fitted.
    CountFileLeft(STRING::FromWide(wide.c_str()), reason);
}

const STRING& FilesLeftUnreached() {
    return filesLeft;
}

const STRING& FilesLeftReason() {
    return lastReason;
}

void ForgetFilesLeft() {
    filesLeft.clear();
    lastReason.clear();
}
