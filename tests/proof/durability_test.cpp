#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <fcntl.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "app/form1.h"
#include "app/save_file.h"
#include "platform/cp932.h"
#include "save_states.h"
#include "tests/support/support.h"

extern char** environ;

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;  // its stdout
};

Child spawnHelper(const std::vector<std::string>& args) {
    int pipefd[2];
    if (::pipe2(pipefd, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, pipefd[1], 1);
    std::vector<char*> argv;
    std::string exe = PIKO_SAVE_HELPER;
    argv.push_back(exe.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    Child c;
    if (posix_spawn(&c.pid, exe.c_str(), &fa, nullptr, argv.data(), environ) != 0) c.pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    ::close(pipefd[1]);
    c.out = pipefd[0];
    return c;
}

// Everything the child printed until it closed its stdout.
std::string drain(int fd) {
    std::string s;
    char buf[256];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) s.append(buf, size_t(n));
    return s;
}

bool readyWithin(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    char c = 0;
    return ::poll(&p, 1, ms) == 1 && ::read(fd, &c, 1) == 1 && c == 'R';
}

}  // namespace

// A save killed at any moment leaves the old my.dat or the new one, whole;
// whatever it leaves behind never spoils the next load or save.
TEST(SaveDurability, KilledMidSaveLeavesOldOrNewFileWhole) {
    TempDir dir;
    const std::string a = serializePet(smallPet()), b = serializePet(bigPet());
    dir.write("my.dat", a);
    std::random_device seedSource;
    const unsigned seed = seedSource();
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    int sawA = 0, sawB = 0, leftovers = 0;
    constexpr int kKills = 200;
    // A save includes an fsync, which a busy disk can stretch well past the
    // first guess: while no kill has landed after a finished save, wait longer.
    useconds_t maxDelay = 4000;
    for (int i = 0; i < kKills; ++i) {
        if (i > 0 && i % 20 == 0 && sawB == 0 && maxDelay < 1000000) maxDelay *= 4;
        Child c = spawnHelper({"loop", dir.path()});
        ASSERT_GT(c.pid, 0);
        const bool ready = readyWithin(c.out, 30000);
        if (ready) ::usleep(std::uniform_int_distribution<useconds_t>(0, maxDelay)(rng));
        ::kill(c.pid, SIGKILL);
        int status = 0;
        ::waitpid(c.pid, &status, 0);
        ::close(c.out);
        ASSERT_TRUE(ready) << "the saver did not start after kill " << i;
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the saver stopped by itself (status " << status << ") after kill " << i;

        const std::string now = dir.read("my.dat");
        ASSERT_TRUE(now == a || now == b) << "my.dat is " << now.size() << " bytes after kill " << i;
        (now == a ? sawA : sawB)++;
        if (dir.exists("my.dat.bak")) {
            const std::string bak = dir.read("my.dat.bak");
            ASSERT_TRUE(bak == a || bak == b) << "my.dat.bak is " << bak.size() << " bytes after kill " << i;
        }
        if (dir.exists("my.dat.tmp") || dir.exists("my.dat.bak.tmp")) ++leftovers;
    }
    std::printf("%d kills within %u us: my.dat was the small pet %d times, the big one %d times; %d left a temporary file\n",
                kKills, unsigned(maxDelay), sawA, sawB, leftovers);
    // Both pets seen means the kills really landed among saves, not before them.
    EXPECT_GT(sawA, 0);
    EXPECT_GT(sawB, 0);
    // The last leftover temporary must not stand in the way.
    PetState p;
    savePetFile(dir.path() + "my.dat", bigPet(), false);
    loadPetFile(dir.path() + "my.dat", p);
    EXPECT_EQ(p, bigPet());
    EXPECT_FALSE(dir.exists("my.dat.tmp"));
}

// A file-size limit fails the write with EFBIG: the disk-full error, and the old file stays.
TEST(SaveDurability, FileSizeLimitGivesDiskFullAndKeepsTheOldFile) {
    TempDir dir;
    const std::string a = serializePet(smallPet());
    dir.write("my.dat", a);
    const size_t limit = a.size() + 512;
    ASSERT_LT(limit, serializePet(bigPet()).size());
    Child c = spawnHelper({"full", dir.path(), std::to_string(limit)});
    ASSERT_GT(c.pid, 0);
    const std::string said = drain(c.out);
    ::close(c.out);
    int status = 0;
    ::waitpid(c.pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 101);
    EXPECT_EQ(said, cp932("ﾃﾞｨｽｸがいっぱいです"));
    EXPECT_EQ(dir.read("my.dat"), a);
    EXPECT_FALSE(dir.exists("my.dat.tmp"));
}

namespace {

// A tiny tmpfs, mounted for one test and gone after it.
class SmallDisk {
public:
    SmallDisk() {
        if (::geteuid() != 0) {
            why_ = "mounting a tmpfs needs root";
            return;
        }
        if (::mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0755") != 0) {
            why_ = std::string("mount -t tmpfs failed: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
    }
    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }
    const TempDir& dir() const { return dir_; }

    // Takes every free byte; true when the disk is full.
    bool fill() const {
        const int fd = ::open((dir_.path() + "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) return false;
        const std::string chunk(4096, 'f');
        int err = 0;
        for (;;) {
            if (::write(fd, chunk.data(), chunk.size()) < 0) {
                err = errno;
                break;
            }
        }
        // Byte by byte into the last partly used page.
        while (err == ENOSPC && ::write(fd, "f", 1) == 1) {
        }
        ::close(fd);
        return err == ENOSPC;
    }

private:
    TempDir dir_;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace

// The real window on a disk with no room left: the farewell, the disk-full
// box, the window stays open, and the pet on disk is the old one.
TEST(SaveDurability, FullDiskKeepsTheWindowOpenAndTheOldFile) {
    SmallDisk disk;
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    const std::string a = serializePet(smallPet());
    disk.dir().write("my.dat", a);
    ScriptedBoxes boxes;
    Random random{1};
    FormServices s = testServices(boxes, random, disk.dir().path());
    TForm1 f(s);
    ASSERT_TRUE(boxes.shown.empty());
    f.Timer3Timer();  // a year older: the pet in the window is not the one on disk
    const PetState grown = f.pet();
    ASSERT_NE(serializePet(grown), a);
    ASSERT_TRUE(disk.fill());
    QCloseEvent e;
    QCoreApplication::sendEvent(&f, &e);
    EXPECT_FALSE(e.isAccepted());
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, cp932("またやってね！"));
    EXPECT_EQ(boxes.shown[1].kind, "error");
    EXPECT_EQ(boxes.shown[1].text, cp932("ﾃﾞｨｽｸがいっぱいです."));
    EXPECT_EQ(disk.dir().read("my.dat"), a);
    EXPECT_FALSE(disk.dir().exists("my.dat.tmp"));
    EXPECT_EQ(f.pet(), grown);

    // Room made, the next close saves.
    ASSERT_EQ(::unlink((disk.dir().path() + "filler").c_str()), 0);
    QCloseEvent again;
    QCoreApplication::sendEvent(&f, &again);
    EXPECT_TRUE(again.isAccepted());
    EXPECT_EQ(disk.dir().read("my.dat"), serializePet(grown));
}
