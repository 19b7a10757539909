#include <gtest/gtest.h>

#include <sstream>

#include "foundation/log_file.h"
#include "testkit/scripted_presenter.h"
#include "testkit/temp_folder.h"
#include "testkit/ui_driver.h"

TEST(LogFile, ClosedLogWritesNothingAndShowsNothing) {
    SCRIPTED_PRESENTER presenter;
    LOG_FILE log;
    EXPECT_FALSE(log.IsOpen());
    log.Printf("value %d %s\r\n", 42, "text");
    log.Line("a line");
    EXPECT_TRUE(presenter.Shown().empty());
}

TEST(LogFile, OpensOnlyWhenTheEnvironmentNamesAFile) {
    TEMP_FOLDER folder;
    STRING path = folder.Path() + "\\uninstall.log";
    LOG_FILE log;

    SetEnvironmentVariableA("ORVALITH_UNINSTALL_LOG", nullptr);
    EXPECT_FALSE(log.OpenFromEnvironment());
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);

    SetEnvironmentVariableA("ORVALITH_UNINSTALL_LOG", path.c_str());
    EXPECT_TRUE(log.OpenFromEnvironment());
    SetEnvironmentVariableA("ORVALITH_UNINSTALL_LOG", nullptr);
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(log.FileName(), path);
}

TEST(LogFile, LinesAreAppendedWithATickPrefix) {
    TEMP_FOLDER folder;
    STRING path = folder.Path() + "\\uninstall.log";
    {
        LOG_FILE log;
        ASSERT_TRUE(log.Open(path));
        log.Printf("first %d\r\n", 1);
        log.Line("second");
    }
    {
        LOG_FILE log;
        ASSERT_TRUE(log.Open(path));
        log.Line("third, after reopening");
    }
    std::string text = ReadWholeFile(path);
    std::istringstream lines(text);
    std::string line;
    std::vector<std::string> seen;
    while (std::getline(lines, line))
        seen.push_back(line);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].substr(11), "first 1\r");
    EXPECT_EQ(seen[1].substr(11), "second\r");
    EXPECT_EQ(seen[2].substr(11), "third, after reopening\r");
    // "%10d " : ten columns of tick count, right-aligned, then a space.
    for (const auto& l : seen) {
        EXPECT_EQ(l[10], ' ');
        EXPECT_NE(l.substr(0, 10).find_first_of("0123456789"), std::string::npos);
    }
}

TEST(LogFile, OverlongLineIsCutAtTheFormattingBuffer) {
    TEMP_FOLDER folder;
    STRING path = folder.Path() + "\\uninstall.log";
    std::string longText(LOG_FILE::FORMAT_BUFFER_SIZE + 5000, 'x');
    {
        LOG_FILE log;
        ASSERT_TRUE(log.Open(path));
        log.Printf("%s\r\n", longText.c_str());
    }
    std::string text = ReadWholeFile(path);
    EXPECT_EQ(text.size(), 11u + LOG_FILE::FORMAT_BUFFER_SIZE - 1);
    EXPECT_EQ(text.find_first_not_of('x', 11), std::string::npos);
}

TEST(LogFile, AFailingWriteIsReportedOnceWithoutLoggingAgain) {
    // A pipe whose reading end goes away makes every later write fail.
    const char* pipeName = "\\\\.\\pipe\\orvalith-log-test";
    HANDLE server =
        CreateNamedPipeA(pipeName, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    LOG_FILE log;
    bool opened = log.Open(pipeName);
    CloseHandle(server);
    ASSERT_TRUE(opened);

    SCRIPTED_PRESENTER presenter;
    log.Line("lost");
    log.Line("lost too");
    ASSERT_EQ(presenter.Shown().size(), 1u);
    EXPECT_EQ(presenter.Shown()[0].text, "Error writing to log file.");
    EXPECT_EQ(presenter.Shown()[0].type, static_cast<UINT>(MB_OK));
}
