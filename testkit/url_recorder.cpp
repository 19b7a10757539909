// Stands in for a web browser in tests: appends each of its arguments, one a
// line, to the file named by ORVALITH_URL_RECORD, so that a test can see
// which page a program asked the shell to open.
#include <cstdlib>
#include <string>
#include <windows.h>

namespace {

// Owns the record file's handle.
class RECORD_FILE {
public:
    explicit RECORD_FILE(const char* name)
        : handle_(CreateFileA(name, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~RECORD_FILE() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    RECORD_FILE(const RECORD_FILE&) = delete;
    RECORD_FILE& operator=(const RECORD_FILE&) = delete;

    bool Append(const std::string& text) {
        DWORD written = 0;
        return handle_ != INVALID_HANDLE_VALUE &&
               WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written,
                         nullptr) &&
               written == text.size();
    }

private:
    HANDLE handle_;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char recordFile[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA("ORVALITH_URL_RECORD", recordFile, sizeof(recordFile));
    if (length == 0 || length >= sizeof(recordFile))
        return 2;

    std::string lines;
    for (int i = 1; i < __argc; ++i)
        lines += std::string(__argv[i]) + "\r\n";

    // Appends, so that a second opening shows up as a second line.
    RECORD_FILE file(recordFile);
    return file.Append(lines) ? 0 : 1;
}
