// Faults from outside: a saver killed at any moment, and whatever the fuzzers found.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "app/save_file.h"
#include "fuzz/entries.h"
#include "tests/support/support.h"

// A saver killed at any moment leaves my.dat and my.dat.bak each the old pet or the new one, whole,
// and what it leaves behind never spoils the next save.
TEST(SaveDurability, ASaverKilledMidSaveLeavesAWholePet) {
    PetState pets[2];  // far apart in size, so a cut-off file passes for neither
    pets[0].pet_name = "\x83\x5c";  // ソ: a trail byte of 0x5C
    pets[1].word_count = kWordSlots;
    pets[1].words.fill(std::string(60, 'w'));
    const std::string bytes[2] = {serializePet(pets[0]), serializePet(pets[1])};
    TempDir dir;
    dir.write("my.dat", bytes[0]);
    std::mt19937 rng(std::random_device{}());
    int saw[2] = {0, 0};
    for (int i = 0; i < 200; ++i) {
        // The saver says when each save is done; the kill comes after the first or second, somewhere in the
        // next one, however slow the disk: so both pets are seen, and the kills land inside saves.
        int done[2];
        ASSERT_EQ(::pipe(done), 0);
        const pid_t saver = ::fork();
        if (saver == 0) try {  // saves, and only saves, until killed
            ::close(done[0]);
            for (unsigned n = 1;; ++n) {
                savePetFile(dir.path() + "my.dat", pets[n % 2], n % 3 == 0);
                if (::write(done[1], "s", 1) != 1) ::_exit(4);
            }
        } catch (...) { ::_exit(3); }
        ASSERT_GT(saver, 0);
        ::close(done[1]);
        char said = 0;
        int saves = 0;
        while (saves < 1 + i % 2 && ::read(done[0], &said, 1) == 1) ++saves;
        const bool ready = saves > 0;
        ::usleep(std::uniform_int_distribution<useconds_t>(0, 2000)(rng));
        ::kill(saver, SIGKILL);
        ::close(done[0]);
        int status = 0;
        ::waitpid(saver, &status, 0);
        ASSERT_TRUE(ready) << "the saver never finished a save";
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saver stopped by itself: " << status;
        const std::string now = dir.read("my.dat"), bak = dir.exists("my.dat.bak") ? dir.read("my.dat.bak") : bytes[0];
        for (const std::string& file : {now, bak})
            ASSERT_TRUE(file == bytes[0] || file == bytes[1]) << file.size() << " bytes after kill " << i;
        ++saw[now == bytes[1]];
    }
    EXPECT_GT(saw[0] * saw[1], 0) << "the kills never landed among the saves";
    savePetFile(dir.path() + "my.dat", pets[0], false);
    EXPECT_EQ(dir.read("my.dat"), bytes[0]);
}

// Every input the fuzzers kept (fuzz/corpus/<name>/) through their entries again: a broken property
// aborts, a stray read stops the sanitizer build.
TEST(FuzzCorpus, EveryKeptInputStillHoldsItsFuzzersProperties) {
    const std::string corpus = std::string(PIKO_SOURCE_DIR) + "/fuzz/corpus/";
    for (const auto& [name, feed] : {std::pair{"ini", &FeedSoundMixIni}, {"ops", &FeedMixerOps},
                                     {"wave", &FeedWaveImage}, {"mydat", &FeedMyDat}}) {
        size_t files = 0, through = 0;
        for (const auto& e : std::filesystem::directory_iterator(corpus + name)) {
            std::ifstream in(e.path(), std::ios::binary);
            const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
            through += size_t(feed(bytes.data(), bytes.size()));
            ++files;
        }
        EXPECT_TRUE(files >= 10 && through > files / 10) << name << ": a corpus gone, or refused at once";
    }
}
