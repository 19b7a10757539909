#include <gtest/gtest.h>

#include <regex>

#include "foundation/log_file.h"
#include "testkit/scripted_presenter.h"
#include "testkit/temp_folder.h"
#include "testkit/ui_driver.h"

TEST(LogFile, OpensOnlyWhenNamedAndAppendsTickedLinesCutAtTheBuffer) {
    TEMP_FOLDER folder;
    STRING path = folder.File("uninstall.log");
    SCRIPTED_PRESENTER presenter;
    {
        LOG_FILE log;
        ENVIRONMENT_OVERRIDE unset("ORVALITH_UNINSTALL_LOG", nullptr);
        EXPECT_FALSE(log.OpenFromEnvironment());
        log.Printf("closed %d\r\n", 0); // goes nowhere, and quietly
        EXPECT_FALSE(FileExists(path));
        ENVIRONMENT_OVERRIDE set("ORVALITH_UNINSTALL_LOG", path);
        ASSERT_TRUE(log.OpenFromEnvironment());
        EXPECT_EQ(log.FileName(), path);
        log.Printf("first %d\r\n", 1);
        log.Line("second");
    }
    {
        LOG_FILE log;
        ASSERT_TRUE(log.Open(path));
        log.Line("third, after reopening");
    }
    EXPECT_TRUE(presenter.Shown().empty());
    // "%10d " : ten columns of tick count, right-aligned, then a space.
    const std::string tick = "[ 0-9-]{9}[0-9] ";
    std::string text = ReadWholeFile(path);
    EXPECT_TRUE(std::regex_match(text, std::regex(tick + "first 1\r\n" + tick + "second\r\n" +
                                                  tick + "third, after reopening\r\n")))
        << text;

    // An overlong line is cut at the formatting buffer.
    STRING longPath = folder.File("long.log");
    {
        LOG_FILE log;
        ASSERT_TRUE(log.Open(longPath));
        log.Printf("%s\r\n", std::string(LOG_FILE::FORMAT_BUFFER_SIZE + 5000, 'x').c_str());
    }
    text = ReadWholeFile(longPath);
    EXPECT_EQ(text.size(), 11u + LOG_FILE::FORMAT_BUFFER_SIZE - 1);
    EXPECT_EQ(text.find_first_not_of('x', 11), std::string::npos);
}

TEST(LogFile, AFailingWriteIsReportedOnceWithoutLoggingAgain) {
    // A pipe whose reading end goes away makes every later write fail.
    const char* pipeName = "\\\\.\\pipe\\orvalith-log-test";
    OWNED_HANDLE server(
        CreateNamedPipeA(pipeName, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr));
    ASSERT_TRUE(server.Valid());
    LOG_FILE log;
    bool opened = log.Open(pipeName);
    server.Reset();
    ASSERT_TRUE(opened);

    SCRIPTED_PRESENTER presenter;
    log.Line("lost");
    log.Line("lost too");
    ASSERT_EQ(presenter.Shown().size(), 1u);
    EXPECT_EQ(presenter.Shown()[0].text, "Error writing to log file.");
    EXPECT_EQ(presenter.Shown()[0].type, static_cast<UINT>(MB_OK));
}
