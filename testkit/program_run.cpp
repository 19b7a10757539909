#include "testkit/program_run.h"

#include <gtest/gtest.h>

const char* const PRODUCT_FILE_NAME = "Orvalith Uninstall.exe";

std::string ProductPath() {
    return ParentFolder(ThisProgramFolder()) + "\\" + PRODUCT_FILE_NAME;
}

void StartProduct(CHILD_PROCESS& child, const std::string& arguments, const std::string& folder) {
    ASSERT_TRUE(child.Start(ProductPath(), arguments, folder))
        << ProductPath() << ": error " << GetLastError();
}

void ExpectExitsWithZero(const CHILD_PROCESS& child) {
    ASSERT_TRUE(child.WaitForExit(PROGRAM_TIMEOUT_MS)) << "the program is still running";
    EXPECT_EQ(0u, child.ExitCode());
}

RUN_ENVIRONMENT::RUN_ENVIRONMENT()
    : recorder_(ThisProgramFolder() + "\\url_recorder.exe"),
      recordFile_(folder_.File("opened-pages.txt")), record_("ORVALITH_URL_RECORD", recordFile_),
      noLog_("ORVALITH_UNINSTALL_LOG", nullptr), browser_(recorder_) {}

std::string RUN_ENVIRONMENT::Problem() const {
    if (!FileExists(ProductPath()))
        return "no program at " + ProductPath();
    if (!FileExists(recorder_))
        return "no stand-in browser at " + recorder_;
    return browser_.Applied() ? std::string() : "the stand-in browser could not be registered";
}

std::vector<std::string> RUN_ENVIRONMENT::OpenedPages(DWORD waitMs) const {
    std::string record;
    PollUntil(
        [&] {
            record = ReadWholeFile(recordFile_);
            return record.find('\n') != std::string::npos;
        },
        waitMs);
    return SplitLines(record);
}
