// The diagnostic log. Lines are always formatted; they reach a file only when
// the log has been opened (see OpenFromEnvironment).
#pragma once

#include <windows.h>

#include "foundation/strings.h"

class LOG_FILE {
public:
    // Tells the user that a write failed. The log knows nobody who shows
    // messages: whoever does hands it one.
    typedef void (*FAILURE_REPORTER)(const char* text);

    // Size of the formatting buffer; longer lines are cut.
    static const int FORMAT_BUFFER_SIZE = 20000;

    LOG_FILE();
    ~LOG_FILE();
    LOG_FILE(const LOG_FILE&) = delete;
    LOG_FILE& operator=(const LOG_FILE&) = delete;

    // Opens (creating or appending to) the named file. False when it cannot.
    bool Open(const STRING& fileName);
    // Opens the file named by ORVALITH_UNINSTALL_LOG, when that is set.
    bool OpenFromEnvironment();
    void Close();
    bool IsOpen() const { return open_; }
    const STRING& FileName() const { return fileName_; }

    // Without a reporter a failed write goes untold.
    void SetFailureReporter(FAILURE_REPORTER reporter) { reporter_ = reporter; }

    void Printf(const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));
    void Line(const char* text);
    void Write(const char* text);

private:
    void ReportWriteFailure(const char* text);

    bool open_ = false;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE lock_ = nullptr;
    STRING fileName_;
    bool failureReported_ = false;
    FAILURE_REPORTER reporter_ = nullptr;
};

// The process-wide log.
extern LOG_FILE Log;
