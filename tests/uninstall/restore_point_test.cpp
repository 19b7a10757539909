#include <gtest/gtest.h>

#include "addins/restore_point.h"
#include "testkit/temp_folder.h"
#include "testkit/ui_driver.h"
#include "testkit/version_guard.h"

namespace {

// Points the stand-in library's journal into a fresh folder, answers as told
// and forgets any earlier restore point.
class RESTORE_POINT_SCENE {
public:
    explicit RESTORE_POINT_SCENE(const char* answer = nullptr)
        : journal_("ORVALITH_SRCLIENT_JOURNAL", folder_.File("journal.txt")),
          answer_("ORVALITH_SRCLIENT_ANSWER", answer) {
        ResetRestorePointForTesting();
    }
    ~RESTORE_POINT_SCENE() { ResetRestorePointForTesting(); }

    std::vector<std::string> Calls() const {
        return SplitLines(ReadWholeFile(folder_.File("journal.txt")));
    }

private:
    TEMP_FOLDER folder_;
    ENVIRONMENT_OVERRIDE journal_;
    ENVIRONMENT_OVERRIDE answer_;
};

// Moves the stand-in library away from the test program for a while; the
// loader takes no other one, so "SrClient.DLL" is then missing.
class LIBRARY_MOVED_AWAY {
public:
    LIBRARY_MOVED_AWAY()
        : library_(ThisProgramFolder() + "\\SrClient.DLL"), aside_(library_ + ".aside") {
        moved_ = MoveFileA(library_.c_str(), aside_.c_str()) != FALSE;
    }
    ~LIBRARY_MOVED_AWAY() {
        if (moved_)
            MoveFileA(aside_.c_str(), library_.c_str());
    }
    bool Moved() const { return moved_; }

private:
    std::string library_;
    std::string aside_;
    bool moved_ = false;
};

} // namespace

TEST(RestorePoint, BeginAndEndShareTheSequenceNumberAndDescribeTheRemoval) {
    RESTORE_POINT_SCENE scene("7341");
    VERSION_GUARD xp(5, 1);
    BeginRestorePoint();
    EXPECT_EQ(7341, RestorePointSequenceNumber());
    EndRestorePoint();

    std::vector<std::string> calls = scene.Calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ("event=100 type=0 sequence=0 description=\"Removed Orvalith\" answer=1 "
              "assigned=7341",
              calls[0]);
    EXPECT_EQ("event=101 type=0 sequence=7341 description=\"Removed Orvalith\" answer=1 "
              "assigned=7341",
              calls[1]);
}

TEST(RestorePoint, NothingIsCalledWithoutRestorePointsOrAfterAFailedBegin) {
    {
        // Windows 2000 has no System Restore.
        RESTORE_POINT_SCENE scene;
        VERSION_GUARD windows2000(5, 0);
        BeginRestorePoint();
        EXPECT_EQ(-1, RestorePointSequenceNumber());
        EndRestorePoint();
        EXPECT_TRUE(scene.Calls().empty());
    }
    {
        // The service refuses: the end is never asked for.
        RESTORE_POINT_SCENE scene("fail");
        BeginRestorePoint();
        EXPECT_EQ(-1, RestorePointSequenceNumber());
        EndRestorePoint();
        std::vector<std::string> calls = scene.Calls();
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(0u, calls[0].find("event=100 ")) << calls[0];
        EXPECT_NE(std::string::npos, calls[0].find(" answer=0 ")) << calls[0];
    }
    {
        // A negative sequence number is never passed on.
        RESTORE_POINT_SCENE scene;
        EXPECT_EQ(-1, SetRestorePoint(END_SYSTEM_CHANGE, APPLICATION_INSTALL, -5));
        EXPECT_TRUE(scene.Calls().empty());
    }
    {
        RESTORE_POINT_SCENE scene;
        LIBRARY_MOVED_AWAY missing;
        ASSERT_TRUE(missing.Moved());
        BeginRestorePoint();
        EXPECT_EQ(-1, RestorePointSequenceNumber());
        EndRestorePoint();
        EXPECT_TRUE(scene.Calls().empty());
    }
}
