// my.dat under a saver killed at any moment, and under a file-size limit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "app/save_file.h"
#include "tests/support/support.h"

namespace {

// Two pets far apart in size, so a cut-off file can pass for neither.
PetState pet(bool big) {
    PetState p;
    p.pet_name = big ? std::string(16, 'B') : "\x83\x5c";  // ソ: a trail byte of 0x5C
    p.morals = big ? INT32_MIN : 5;
    p.word_count = big ? kWordSlots : 0;
    for (int i = 0; big && i < kWordSlots; ++i) p.words[size_t(i)] = std::string(60, char('a' + i % 26));
    return p;
}

// A saver killed at any moment leaves my.dat and my.dat.bak each the old pet
// or the new one, whole; what it leaves behind never spoils the next save.
TEST(SaveDurability, ASaverKilledMidSaveLeavesAWholePet) {
    TempDir dir;
    const std::string path = dir.path() + "my.dat", small = serializePet(pet(false)), big = serializePet(pet(true));
    dir.write("my.dat", small);
    const unsigned seed = std::random_device()();
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    int saw[2] = {0, 0};
    useconds_t most = 4000;
    for (int i = 0; i < 200; ++i) {
        // A save includes an fsync, which a busy disk stretches: while no kill has landed after a save, wait longer.
        if (i % 20 == 19 && !saw[1] && most < 1000000) most *= 4;
        const pid_t saver = ::fork();
        if (saver == 0) {  // saves, and only saves, until killed
            try {
                for (unsigned n = 0;; ++n) savePetFile(path, pet(n % 2 == 0), n % 3 == 0);
            } catch (...) {
            }
            ::_exit(3);
        }
        ASSERT_GT(saver, 0);
        ::usleep(std::uniform_int_distribution<useconds_t>(0, most)(rng));
        ::kill(saver, SIGKILL);
        int status = 0;
        ::waitpid(saver, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saver stopped by itself: " << status;
        const std::string now = dir.read("my.dat");
        ASSERT_TRUE(now == small || now == big) << "my.dat is " << now.size() << " bytes after kill " << i;
        ++saw[now == big];
        const std::string bak = dir.exists("my.dat.bak") ? dir.read("my.dat.bak") : small;
        ASSERT_TRUE(bak == small || bak == big) << "my.dat.bak is " << bak.size() << " bytes after kill " << i;
    }
    EXPECT_GT(saw[0] * saw[1], 0) << "the kills never landed among the saves";
    savePetFile(path, pet(false), false);
    PetState back;
    loadPetFile(path, back);
    EXPECT_EQ(back, pet(false));
    EXPECT_FALSE(dir.exists("my.dat.tmp"));
}

// Past the file-size limit a write fails with EFBIG: the disk-full error, and the old file stays.
TEST(SaveDurability, AFileSizeLimitIsADiskFullAndKeepsTheOldFile) {
    TempDir dir;
    dir.write("my.dat", serializePet(pet(false)));
    rlimit was{};
    ::getrlimit(RLIMIT_FSIZE, &was);
    ::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of killing us
    const rlimit limit{1024, was.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    int code = 0;
    try {
        savePetFile(dir.path() + "my.dat", pet(true), false);
    } catch (const EInOutError& e) {
        code = e.code();
    }
    ::setrlimit(RLIMIT_FSIZE, &was);
    EXPECT_EQ(code, 101);
    EXPECT_EQ(dir.read("my.dat"), serializePet(pet(false)));
    EXPECT_FALSE(dir.exists("my.dat.tmp"));
}

}  // namespace
