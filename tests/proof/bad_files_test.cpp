#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <random>

#include "app/form1.h"
#include "app/save_file.h"
#include "platform/cp932.h"
#include "tests/support/support.h"

namespace {

class BadMyDat : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedBoxes boxes;
    Random random{7};

    FormServices services() {
        FormServices s = testServices(boxes, random, dir.path());
        s.clockSeed = [] { return 1u; };
        return s;
    }

    static bool requestClose(TForm1& form) {
        QCloseEvent e;
        QCoreApplication::sendEvent(&form, &e);
        return e.isAccepted();
    }

    // Buttons of the empty room (true) or of a living pet (false).
    static void expectEmptyRoom(const TForm1& f, bool empty) {
        EXPECT_EQ(control<QPushButton>(f, "sagasu_b")->isEnabled(), empty);
        EXPECT_EQ(control<QPushButton>(f, "edit_b")->isEnabled(), !empty);
        EXPECT_EQ(control<QPushButton>(f, "gohan_b")->isEnabled(), !empty);
        EXPECT_EQ(control<QPushButton>(f, "korosu_b")->isEnabled(), !empty);
    }
};

}  // namespace

// Random bytes load to exactly what the reading rules make of them, with at
// most the invalid-number box; the first save keeps the damaged file aside.
TEST_F(BadMyDat, BinaryGarbage) {
    std::mt19937 rng(2026);
    int refused = 0;
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string garbage(size_t(1) << (6 + round % 12), '\0');
        for (auto& c : garbage) c = char(rng());
        // Every other file gets line ends, so reading goes past the name line.
        if (round % 2)
            for (size_t i = 7; i < garbage.size(); i += 13) garbage[i] = '\r';
        dir.write("my.dat", garbage);
        ::unlink((dir.path() + "my.dat.bak").c_str());
        boxes.shown.clear();

        PetState expected;
        const int code = parsePet(garbage, expected);
        TForm1 f(services());
        EXPECT_EQ(f.pet(), expected);
        ASSERT_GE(f.pet().word_count, 0);
        ASSERT_LE(f.pet().word_count, kWordSlots);
        if (code) {
            ++refused;
            ASSERT_EQ(boxes.shown.size(), 1u);
            EXPECT_EQ(boxes.shown[0].kind, "error");
            EXPECT_EQ(boxes.shown[0].text, cp932("入力値が数値ではありません."));
            expectEmptyRoom(f, true);
        } else {
            EXPECT_TRUE(boxes.shown.empty());
            expectEmptyRoom(f, expected.condition == sinu);
        }
        EXPECT_TRUE(requestClose(f));
        if (code) {
            EXPECT_EQ(dir.read("my.dat.bak"), garbage);
        }
        PetState reloaded;
        loadPetFile(dir.path() + "my.dat", reloaded);
        EXPECT_EQ(reloaded, f.pet());
    }
    // Mostly refused; the test would prove little if none were.
    EXPECT_GT(refused, 0);
}

// 100 MB with no line end: all of it is the name, read in one pass.
TEST_F(BadMyDat, HugeFile) {
    constexpr size_t kSize = size_t(100) << 20;
    {
        std::string chunk(size_t(1) << 20, 'x');
        for (size_t i = 0; i < chunk.size(); i += 97) chunk[i] = '\n';  // a lone LF is data
        const int fd = ::open((dir.path() + "my.dat").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        for (size_t done = 0; done < kSize; done += chunk.size())
            ASSERT_EQ(::write(fd, chunk.data(), chunk.size()), ssize_t(chunk.size()));
        ::close(fd);
    }
    const auto start = std::chrono::steady_clock::now();
    {
        TForm1 f(services());
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("a %zu-byte my.dat loaded in %.0f ms\n", kSize, ms);
        RecordProperty("load_ms", int(ms));
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_EQ(f.pet().pet_name.size(), kSize);
        EXPECT_EQ(f.pet().age, 0);
        EXPECT_EQ(f.pet().word_count, 0);
        expectEmptyRoom(f, false);  // condition 0: a living pet with a very long name
    }
    ::unlink((dir.path() + "my.dat").c_str());
}

// A directory where my.dat should be reads as access denied, at start and at
// every close; nothing in or beside it is touched.
TEST_F(BadMyDat, Directory) {
    ASSERT_EQ(::mkdir((dir.path() + "my.dat").c_str(), 0755), 0);
    dir.write("my.dat/inside", "keep");
    TForm1 f(services());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].kind, "error");
    EXPECT_EQ(boxes.shown[0].text, cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."));
    expectEmptyRoom(f, true);
    boxes.shown.clear();
    EXPECT_FALSE(requestClose(f));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, cp932("またやってね！"));
    EXPECT_EQ(boxes.shown[1].text, cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."));
    struct stat st {};
    ASSERT_EQ(::stat((dir.path() + "my.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(dir.read("my.dat/inside"), "keep");
    EXPECT_FALSE(dir.exists("my.dat.tmp"));
    EXPECT_FALSE(dir.exists("my.dat.bak"));
}

namespace {

// Runs file access as an ordinary user for a while; root reads through permission bits.
class AsNobody {
public:
    AsNobody() : was_(::geteuid() == 0 ? ::setfsuid(65534) : -1) {}
    ~AsNobody() {
        if (was_ >= 0) ::setfsuid(uid_t(was_));
    }

private:
    int was_;
};

}  // namespace

// An unreadable my.dat is access denied: the empty room at start, and a
// close that refuses rather than overwrite what it could not read.
TEST_F(BadMyDat, Unreadable) {
    PetState pet;
    pet.pet_name = "hidden";
    pet.age = 5;
    const std::string saved = serializePet(pet);
    dir.write("my.dat", saved);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod((dir.path() + "my.dat").c_str(), 0), 0);
    {
        AsNobody nobody;
        const int probe = ::open((dir.path() + "my.dat").c_str(), O_RDONLY);
        if (probe >= 0) {
            ::close(probe);
            GTEST_SKIP() << "cannot make a file unreadable here";
        }
        TForm1 f(services());
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."));
        expectEmptyRoom(f, true);
        EXPECT_EQ(f.pet(), PetState());
        boxes.shown.clear();
        EXPECT_FALSE(requestClose(f));
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_EQ(boxes.shown[1].text, cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."));
    }
    ASSERT_EQ(::chmod((dir.path() + "my.dat").c_str(), 0644), 0);
    EXPECT_EQ(dir.read("my.dat"), saved);
    EXPECT_FALSE(dir.exists("my.dat.tmp"));
}

// A pipe or a device where my.dat should be is no file: access denied at once,
// where reading would wait for a writer forever (pipe) or never end (/dev/zero),
// and a save that would put a file in the device's place is refused.
TEST_F(BadMyDat, PipeOrDevice) {
    ASSERT_EQ(::mkfifo((dir.path() + "my.dat").c_str(), 0644), 0);
    {
        TForm1 f(services());
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."));
        expectEmptyRoom(f, true);
        boxes.shown.clear();
        EXPECT_FALSE(requestClose(f));
        ASSERT_EQ(boxes.shown.size(), 2u);
        EXPECT_EQ(boxes.shown[1].text, cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."));
        struct stat st {};
        ASSERT_EQ(::stat((dir.path() + "my.dat").c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
    }
    ASSERT_EQ(::unlink((dir.path() + "my.dat").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/zero", (dir.path() + "my.dat").c_str()), 0);
    boxes.shown.clear();
    TForm1 f(services());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."));
    boxes.shown.clear();
    EXPECT_FALSE(requestClose(f));
    struct stat st {};
    ASSERT_EQ(::stat("/dev/zero", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_FALSE(dir.exists("my.dat.tmp"));
}

// A read-only my.dat as an ordinary user sees it (also when the tests run as root):
// the pet loads, and every close says goodbye, refuses with access denied and stays open.
TEST_F(BadMyDat, ReadOnlyForAnOrdinaryUser) {
    PetState pet;
    pet.pet_name = "kept";
    pet.age = 4;
    const std::string saved = serializePet(pet);
    dir.write("my.dat", saved);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod((dir.path() + "my.dat").c_str(), 0444), 0);
    {
        AsNobody nobody;
        const int probe = ::open((dir.path() + "my.dat").c_str(), O_WRONLY);
        if (probe >= 0) {
            ::close(probe);
            GTEST_SKIP() << "cannot make a file read-only here";
        }
        TForm1 f(services());
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_EQ(f.pet(), pet);
        expectEmptyRoom(f, false);
        f.Timer3Timer();  // a year older: the pet in the window is not the one on disk
        for (int attempt = 0; attempt < 2; ++attempt) {
            boxes.shown.clear();
            EXPECT_FALSE(requestClose(f));
            ASSERT_EQ(boxes.shown.size(), 2u);
            EXPECT_EQ(boxes.shown[0].text, cp932("またやってね！"));
            EXPECT_EQ(boxes.shown[1].text, cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."));
        }
        EXPECT_EQ(f.pet().age, pet.age + 1);
    }
    EXPECT_EQ(dir.read("my.dat"), saved);
    EXPECT_FALSE(dir.exists("my.dat.tmp"));
}
