// One pet, one program: the lock beside my.dat and the request to raise.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include <QSignalSpy>
#include <QTest>

#include "app/program.h"
#include "app/single_instance.h"
#include "platform/cp932.h"
#include "tests/support/support.h"

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

// The abstract socket has no file permissions: anyone on the machine can
// connect. Only our own user may bring the window up.
TEST(SingleInstance, AnotherUserCannotRaiseTheWindow) {
    if (::geteuid() != 0) GTEST_SKIP() << "connecting as another user needs root";
    TempDir dir;
    SingleInstance owner(dir.path());
    ASSERT_EQ(owner.state(), SingleInstance::State::Owner);
    QSignalSpy raised(&owner, &SingleInstance::raiseRequested);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path + 1, owner.socketName().data(), owner.socketName().size());
    const auto len = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + owner.socketName().size());
    const pid_t child = ::fork();
    if (child == 0) {
        // nobody; only async-signal-safe calls after fork.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ::_exit(::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "nobody could not reach the socket";
    // Our own user's request comes after it in the same queue: exactly one raise.
    EXPECT_TRUE(SingleInstance(dir.path()).raisedOther());
    ASSERT_TRUE(raised.wait(5000));
    EXPECT_EQ(raised.count(), 1);
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
