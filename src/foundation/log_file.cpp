#include "foundation/log_file.h"

#include <cstdarg>
#include <cstdio>

LOG_FILE Log;

namespace {
const char* const LOG_VARIABLE = "ORVALITH_UNINSTALL_LOG";
const DWORD LOCK_WAIT_MS = 10000;
} // namespace

LOG_FILE::LOG_FILE() : lock_(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

LOG_FILE::~LOG_FILE() {
    Close();
    if (lock_)
        CloseHandle(lock_);
}

bool LOG_FILE::Open(const STRING& fileName) {
    Close();
    HANDLE file = CreateFileA(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    file_ = file;
    fileName_ = fileName;
    failureReported_ = false;
    open_ = true;
    // The lock starts taken; the first writer may now pass.
    SetEvent(lock_);
    return true;
}

bool LOG_FILE::OpenFromEnvironment() {
    char name[MAX_PATH] = "";
    DWORD length = GetEnvironmentVariableA(LOG_VARIABLE, name, sizeof(name));
    if (length == 0 || length >= sizeof(name))
        return false;
    return Open(name);
}

void LOG_FILE::Close() {
    if (!open_)
        return;
    WaitForSingleObject(lock_, LOCK_WAIT_MS);
    open_ = false;
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    fileName_.clear();
    ResetEvent(lock_);
}

void LOG_FILE::Printf(const char* format, ...) {
    char buffer[FORMAT_BUFFER_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    buffer[sizeof(buffer) - 1] = '\0';
    Write(buffer);
}

void LOG_FILE::Line(const char* text) {
    Printf("%s\r\n", text);
}

void LOG_FILE::Write(const char* text) {
    if (!open_)
        return;
    WaitForSingleObject(lock_, LOCK_WAIT_MS);
    char prefix[16];
    wsprintfA(prefix, "%10d ", static_cast<int>(GetTickCount()));
    STRING line = STRING(prefix) + text;
    SetFilePointer(file_, 0, nullptr, FILE_END);
    DWORD written = 0;
    BOOL ok = WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    FlushFileBuffers(file_);
    SetEvent(lock_);
    if (!ok)
        ReportWriteFailure("Error writing to log file.");
    else if (written < line.size())
        ReportWriteFailure("Too few characters written to log file. Is disk full?");
}

void LOG_FILE::ReportWriteFailure(const char* text) {
    // Once per opening: the report may write to this log again, and a failing
    // log must not report itself without end.
    if (failureReported_ || !reporter_)
        return;
    failureReported_ = true;
    reporter_(text);
}
