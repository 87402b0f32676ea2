// One pet, one program: the lock beside my.dat and the request to raise.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QSignalSpy>
#include <QTest>

#include "app/program.h"
#include "app/single_instance.h"
#include "platform/cp932.h"
#include "test_support.h"

namespace {

TEST(SingleInstance, TheSecondIsBusyAndRaisesTheFirstUntilTheFirstEnds) {
    TempDir dir;
    auto first = std::make_unique<SingleInstance>(dir.path());
    ASSERT_EQ(first->state(), SingleInstance::State::Owner);
    QSignalSpy raised(first.get(), &SingleInstance::raiseRequested);
    {
        SingleInstance second(dir.path());
        EXPECT_EQ(second.state(), SingleInstance::State::Busy);
        EXPECT_TRUE(second.raisedOther());
    }
    EXPECT_TRUE(raised.wait(5000));
    EXPECT_EQ(raised.count(), 1);
    // Another folder is another pet.
    TempDir other;
    EXPECT_EQ(SingleInstance(other.path()).state(), SingleInstance::State::Owner);
    first.reset();
    EXPECT_EQ(SingleInstance(dir.path()).state(), SingleInstance::State::Owner);
}

TEST(SingleInstance, AStartWhileThePetIsOpenLeavesMyDatAlone) {
    TempDir dir;
    dir.write("my.dat", "not a pet, and must stay so");
    ScriptedBoxes boxes;
    Random random(1);
    FormServices s = testServices(boxes, random, dir.path());
    SingleInstance running(dir.path());
    EXPECT_EQ(runPiko(s), kAlreadyOpenExitCode);
    // The running one was asked for its window: no box needed.
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(dir.read("my.dat"), "not a pet, and must stay so");
}

TEST(SingleInstance, WhenTheHolderCannotBeAskedABoxSaysSo) {
    TempDir dir;
    // A holder that does not listen: an older piko, or one still starting up.
    const int fd = ::open((dir.path() + "my.dat.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ScriptedBoxes boxes;
    Random random(1);
    FormServices s = testServices(boxes, random, dir.path());
    EXPECT_EQ(runPiko(s), kAlreadyOpenExitCode);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, "message");
    EXPECT_EQ(boxes.shown[0].text, cp932("ピコはもう開いています。"));
    EXPECT_FALSE(dir.exists("my.dat"));
    ::close(fd);
}

}  // namespace
