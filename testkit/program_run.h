// Running the built program as a user runs it, under a test's control.
#pragma once

#include <string>
#include <vector>
#include <windows.h>

#include "testkit/shell_overrides.h"
#include "testkit/ui_driver.h"

extern const char* const PRODUCT_FILE_NAME;
// A cold start of a Wine process can take several seconds.
const DWORD PROGRAM_TIMEOUT_MS = 30000;

// The built program; the test programs are built one folder below it.
std::string ProductPath();

// Starts the built program with arguments in folder (this process's folder
// when empty), and reports a failure to the running test.
void StartProduct(CHILD_PROCESS& child, const std::string& arguments,
                  const std::string& folder = std::string());
// Reports to the running test when child has not ended with code 0 within
// PROGRAM_TIMEOUT_MS.
void ExpectExitsWithZero(const CHILD_PROCESS& child);

// For the object's lifetime, programs that this process starts open web
// pages in a stand-in browser (url_recorder.exe, built next to the test
// program) that records them, and write no log unless a test names one.
class RUN_ENVIRONMENT {
public:
    RUN_ENVIRONMENT();
    RUN_ENVIRONMENT(const RUN_ENVIRONMENT&) = delete;
    RUN_ENVIRONMENT& operator=(const RUN_ENVIRONMENT&) = delete;

    // Empty when runs can start; otherwise what is missing.
    std::string Problem() const;
    // The pages opened so far, waiting up to waitMs for the first.
    std::vector<std::string> OpenedPages(DWORD waitMs) const;

private:
    std::string recorder_;
    TEMP_FOLDER folder_;
    std::string recordFile_;
    ENVIRONMENT_OVERRIDE record_;
    ENVIRONMENT_OVERRIDE noLog_;
    HTTPS_HANDLER_OVERRIDE browser_;
};
