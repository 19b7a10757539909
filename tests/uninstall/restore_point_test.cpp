// The restore point's failure paths; a restore point that is begun and ended
// is checked by the uninstall run's tests, through the stand-in library's
// journal.
#include <gtest/gtest.h>

#include <memory>

#include "addins/restore_point.h"
#include "testkit/fake_srclient/system_srclient.h"
#include "testkit/temp_folder.h"
#include "testkit/ui_driver.h"
#include "testkit/version_guard.h"

TEST(RestorePoint, NothingMoreIsCalledAfterAFailedBeginOrWithoutTheLibrary) {
    VERSION_GUARD xp(5, 1);
    // The service refuses, a negative sequence number is to be ended, and the
    // system folder has no library: the one planted beside this program
    // (the stand-in, which would answer) is never taken instead.
    ASSERT_TRUE(FileExists(ThisProgramFolder() + "\\SrClient.DLL"));
    for (const std::string scene : {"refused", "negative", "planted"}) {
        SCOPED_TRACE(scene);
        TEMP_FOLDER folder;
        ENVIRONMENT_OVERRIDE journal("ORVALITH_SRCLIENT_JOURNAL", folder.File("journal.txt"));
        ENVIRONMENT_OVERRIDE answer("ORVALITH_SRCLIENT_ANSWER",
                                    scene == "refused" ? "fail" : nullptr);
        std::unique_ptr<SYSTEM_SRCLIENT> library;
        if (scene != "planted")
            library = std::make_unique<SYSTEM_SRCLIENT>();
        ResetRestorePointForTesting();
        if (scene == "negative") {
            EXPECT_EQ(-1, SetRestorePoint(END_SYSTEM_CHANGE, APPLICATION_INSTALL, -5));
        } else {
            BeginRestorePoint();
            EXPECT_EQ(-1, RestorePointSequenceNumber());
            EndRestorePoint();
        }
        ResetRestorePointForTesting();

        std::vector<std::string> calls = SplitLines(ReadWholeFile(folder.File("journal.txt")));
        if (scene != "refused") {
            EXPECT_TRUE(calls.empty());
            continue;
        }
        // The begin alone, answered 0: the end is never asked for.
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(0u, calls[0].find("event=100 ")) << calls[0];
        EXPECT_NE(std::string::npos, calls[0].find(" answer=0 ")) << calls[0];
    }
}
