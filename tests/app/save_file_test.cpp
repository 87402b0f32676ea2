// my.dat: the bytes it holds, how they read back, and a save that never loses the old pet.
#include "app/save_file.h"
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <atomic>
#include <limits>
#include <thread>
#include "platform/cp932.h"
#include "tests/app/helpers.h"
#include "tests/support/support.h"

namespace {
PetState samplePet() {
    PetState p;
    p.pet_name = cp932("ソフト");  // ソ is 0x83 0x5C: a trail byte that is a backslash
    std::tie(p.age, p.intellect, p.morals, p.vigor, p.fullness, p.condition, p.ark_points, p.word_count) =
        std::tuple(3, -7, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(), -1, 8, 15001, 3);
    p.words[0] = cp932("こんにちは～");
    std::tie(p.words[2], p.words[255]) = std::tuple("  spaced  ", cp932("表示"));
    return p;
}

std::string lines(std::initializer_list<std::string> ls) {
    std::string out;
    for (const auto& l : ls) out += l + "\r\n";
    return out;
}
// The I/O error code of a save or a load, 0 when it worked.
int code(const std::function<void()>& io) {
    try {
        io();
    } catch (const EInOutError& e) {
        return e.code();
    }
    return 0;
}
int saveCode(const std::string& path, bool backup = false) {
    return code([&] { savePetFile(path, samplePet(), backup); });
}
}  // namespace

TEST(MyDat, SavedAndLoadedBackIsTheSamePetIn265CrLfLines) {
    const std::string bytes = serializePet(samplePet());
    PetState back;
    back.age = 99;
    EXPECT_EQ(parsePet(bytes, back), 0);
    EXPECT_EQ(back, samplePet());
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 265);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 265);
    const std::string head = "\x83\x5C\x83\x74\x83\x67\r\n3\r\n-7\r\n2147483647\r\n-2147483648\r\n-1\r\n8\r\n15001\r\n";
    EXPECT_EQ(bytes.substr(0, head.size()), head);
}

TEST(MyDat, NumberFormsAndShortDamagedOrHandWrittenFiles) {
    const std::tuple<const char*, int, int32_t> rows[] = {
        {"+12", 0, 12}, {"-12", 0, -12}, {"$ff", 0, 255}, {"$FFFFFFFF", 0, -1}, {"12 trailing words", 0, 12},
        {"-2147483648", 0, std::numeric_limits<int32_t>::min()}, {"2147483647", 0, std::numeric_limits<int32_t>::max()},
        {"2147483648", 106, 42}, {"-2147483649", 106, 42}, {"12abc", 106, 42}, {"$", 106, 42},
        {"$123456789", 106, 42}, {"-", 106, 42}, {"1.5", 106, 42},
    };
    for (const auto& [token, error, value] : rows) {
        PetState p;
        p.age = 42;
        EXPECT_EQ(parsePet(lines({"n", token, "3"}), p), error) << token;
        // A bad number keeps the value it would have replaced, and the reading stops there.
        EXPECT_EQ(std::tie(p.age, p.intellect), std::tuple(value, error ? 0 : 3)) << token;
    }
    PetState p = samplePet();
    EXPECT_EQ(parsePet("piko\r\n4\r\n5\x1a" "6\r\n7\r\n", p), 0);  // 0x1A ends the file, even mid-line
    EXPECT_EQ(std::tie(p.pet_name, p.age, p.intellect, p.morals, p.words[0]), std::tuple("piko", 4, 5, 0, ""));
    // A blank line before a number is skipped, shifting the rest up.
    EXPECT_EQ(parsePet(lines({"n", "", "11", "12", "13", "14", "15", "16", "17", "1", "w0"}), p), 0);
    EXPECT_EQ(std::tie(p.age, p.word_count, p.words[0]), std::tuple(11, 1, "w0"));
    for (auto [stored, count] : {std::pair{"300", 256}, {"-5", 0}, {"256", 256}, {"17", 17}}) {
        EXPECT_EQ(parsePet(lines({"n", "1", "1", "1", "1", "1", "1", "1", stored}), p), 0);
        EXPECT_EQ(p.word_count, count) << stored;
    }
}

TEST(MyDatOnDisk, ASaveReplacesTheFileKeepingItsModeTheOldOneWhenAskedAndASymlink) {
    TempDir dir;
    const std::string damaged = lines({"piko", "1", "oops"});
    dir.write("my.dat", damaged);
    ASSERT_EQ(chmod((dir.path() + "my.dat").c_str(), 0640), 0);  // the user's own choice survives the replace
    ASSERT_EQ(saveCode(dir.path() + "my.dat", true), 0);
    EXPECT_EQ(std::tuple(dir.read("my.dat.bak"), dir.read("my.dat")), std::tuple(damaged, serializePet(samplePet())));
    struct stat st {};
    EXPECT_TRUE(stat((dir.path() + "my.dat").c_str(), &st) == 0 && (st.st_mode & 07777) == 0640) << st.st_mode;
    // Unasked, no backup; a link.dat that is a symlink stays one: the file it points to is replaced.
    ASSERT_TRUE(std::filesystem::remove(dir.path() + "my.dat.bak"));
    ASSERT_EQ(symlink("my.dat", (dir.path() + "link.dat").c_str()), 0);
    dir.write("my.dat", damaged);
    ASSERT_EQ(saveCode(dir.path() + "link.dat"), 0);
    EXPECT_TRUE(lstat((dir.path() + "link.dat").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    EXPECT_EQ(dir.read("my.dat"), serializePet(samplePet()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);  // no backup, no leftovers
}

TEST(MyDatOnDisk, ErrnoCodesAndAFailingStepLeavesTheOldFileWhole) {
    for (auto [err, io] : {std::pair{ENOENT, 2}, {ENOTDIR, 3}, {EMFILE, 4}, {EACCES, 5}, {EROFS, 5}, {EISDIR, 5},
                           {ENOSPC, 101}, {EDQUOT, 101}, {EFBIG, 101}, {EIO, 1000 + EIO}})
        EXPECT_EQ(ioCodeFromErrno(err), io) << err;
    EXPECT_EQ(EInOutError(32).message(), cp932("I/O ｴﾗｰ (32)"));
    for (auto [step, err, io] : {std::tuple{FileStep::Create, EACCES, 5}, {FileStep::Write, ENOSPC, 101},
                                 {FileStep::Sync, EIO, 1000 + EIO}, {FileStep::Rename, EACCES, 5},
                                 {FileStep::CheckTarget, EACCES, 5}}) {
        TempDir dir;
        dir.write("my.dat", "old\r\n");
        ScriptedFileFaults disk;
        disk.answer = [s = step, e = err](FileStep at, const std::string&) { return at == s ? e : 0; };
        FileFaults::Use useDisk(disk);
        EXPECT_EQ(saveCode(dir.path() + "my.dat"), io) << int(step);
        EXPECT_EQ(std::tuple(dir.read("my.dat"), dir.exists("my.dat.tmp")), std::tuple("old\r\n", false));
    }
}

// A write-only my.dat is saved (as after any load that failed half-way, with nothing readable to keep
// aside); in a folder that refuses new files my.dat is rewritten in place, and a read-only one refused.
TEST(MyDatOnDisk, WriteOnlyReadOnlyAndAFolderThatRefusesNewFiles) {
    TempDir dir;
    const std::string locked = dir.path() + "locked/", wo = dir.path() + "wo.dat";
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    for (const char* file : {"wo.dat", "locked/my.dat", "locked/ro.dat"}) dir.write(file, "old\r\n");
    ASSERT_EQ(chmod(wo.c_str(), 0200) | chmod((locked + "ro.dat").c_str(), 0444), 0);
    // As root the folder stays root's and so is closed to "nobody"; a user closes it to itself.
    ASSERT_TRUE(geteuid() == 0 || chmod(locked.c_str(), 0555) == 0);
    ScriptedFileFaults disk;
    FileFaults::Use useDisk(disk);
    const int failedAt = asAUser({dir.path(), wo, locked + "my.dat", locked + "ro.dat"}, [&] {
        PetState back;
        // In place, a full disk fails before a byte changes, and a later failure puts the old bytes back.
        for (auto [at, err, io] : {std::tuple{FileStep::Reserve, ENOSPC, 101}, {FileStep::Sync, EIO, 1000 + EIO}}) {
            disk.answer = [at, err](FileStep step, const std::string&) { return step == at ? err : 0; };
            if (saveCode(locked + "my.dat") != io || dir.read("locked/my.dat") != "old\r\n") return 6;
        }
        disk.answer = nullptr;
        if (code([&] { loadPetFile(wo, back); }) != 5) return 1;
        if (saveCode(wo, true) != 0) return 2;
        if (saveCode(locked + "ro.dat") != 5) return 3;
        if (saveCode(locked + "my.dat") != 0) return 4;
        loadPetFile(locked + "my.dat", back);
        return back == samplePet() ? 0 : 5;
    });
    ASSERT_EQ(chmod(locked.c_str(), 0755) | chmod(wo.c_str(), 0600), 0);
    EXPECT_EQ(std::tuple(failedAt, dir.read("locked/ro.dat"), dir.read("wo.dat")),
              std::tuple(0, "old\r\n", serializePet(samplePet())));
    EXPECT_FALSE(dir.exists("wo.dat.bak") || dir.exists("locked/my.dat.tmp"));
}

// A file not read whole is kept as my.dat.bak before the first write replaces it, by a checkpoint or the
// close; a file read whole is not. Checkpoints write only what differs, one write at a time, and a failure
// is tried again at the next one.
TEST(MyDatOnDisk, NotReadWholeIsKeptAsBakAndCheckpointsWriteOnlyWhatDiffers) {
    const std::string good = serializePet(samplePet()), body = good.substr(0, good.size() - 2);
    std::string lfOnly = good;
    std::erase(lfOnly, '\r');
    const std::pair<std::string, bool> rows[] = {
        {good, true}, {lfOnly, false}, {"n\r\n1\x1a" + good, false}, {body, false}, {good + "\r\n", false},
        {good + "\x1a", false}, {good.substr(0, 8) + "+" + good.substr(8), false}, {"n\r\nx\r\n", false},
        {std::string(kMaxPetFileBytes, 'x'), false}, {std::string(kMaxPetFileBytes + 1, 'x'), false},  // refused unread
    };
    for (const auto& [bytes, whole] : rows) {
        TempDir dir;
        dir.write("my.dat", bytes);
        PetFile file(dir.path() + "my.dat");
        PetState p;
        const int refused = bytes.size() > kMaxPetFileBytes ? kIoFileTooLarge  // unread, with its own code
                            : bytes.starts_with("n\r\nx")   ? kIoInvalidNumber : 0;
        EXPECT_EQ(code([&] { file.load(p); }), refused);
        EXPECT_EQ(file.backupPending(), !whole) << bytes.size();
        file.checkpoint(good);  // the same bytes as a file read whole: nothing to write
        file.wait();
        file.checkpoint(good + "x");
        file.wait();
        file.save(good + "y");
        EXPECT_EQ(std::tuple(dir.exists("my.dat.bak"), dir.read("my.dat")), std::tuple(!whole, good + "y"));
        EXPECT_EQ(dir.exists("my.dat.bak") ? dir.read("my.dat.bak") : bytes, bytes);
        EXPECT_FALSE(file.backupPending());
    }
    TempDir dir;
    dir.write("my.dat", good);
    std::atomic<int> writing = 0, most = 0, replaces = 0, failing = ENOSPC;
    ScriptedFileFaults disk;
    disk.answer = [&](FileStep step, const std::string&) {
        if (step != FileStep::Write) return 0;
        most = std::max(most.load(), ++writing);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        --writing;
        ++replaces;
        return failing.load();
    };
    FileFaults::Use useDisk(disk);
    PetFile file(dir.path() + "my.dat");
    PetState p;
    file.load(p);
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) {
        file.checkpoint(good + "a");
        file.wait();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "piko: my.dat could not be saved while running (" +
                                                          fromCp932(ioErrorMessage(101)) + "); trying again later\n");
    EXPECT_EQ(std::tuple(replaces.load(), dir.read("my.dat")), std::tuple(3, good));
    failing = 0;
    for (const char* v : {"b", "c", "d"}) file.checkpoint(good + v);  // the latest waiting one wins
    file.wait();
    const int before = replaces;
    file.checkpoint(good + "d");
    file.wait();
    EXPECT_EQ(std::tuple(dir.read("my.dat"), replaces.load()), std::tuple(good + "d", before));
    file.checkpoint(good + "f");
    file.save(good + "g");  // waits for the checkpoint in progress, never beside it
    EXPECT_EQ(std::tuple(dir.read("my.dat"), most.load()), std::tuple(good + "g", 1));
}

// Root saving a user's pet leaves my.dat and my.dat.bak that user's, so the user can save again.
TEST(MyDatOnDisk, ASaveKeepsTheFilesOwner) {
    if (geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
    TempDir dir;
    dir.write("my.dat", "old\r\n");
    ASSERT_EQ(chown(dir.path().c_str(), 65534, 65534) | chown((dir.path() + "my.dat").c_str(), 65534, 65534), 0);
    ASSERT_EQ(saveCode(dir.path() + "my.dat", true), 0);
    for (const char* file : {"my.dat", "my.dat.bak"}) {
        struct stat st {};
        EXPECT_TRUE(stat((dir.path() + file).c_str(), &st) == 0 && st.st_uid == 65534 && st.st_gid == 65534) << file;
    }
    EXPECT_EQ(asAUser({}, [&] { return saveCode(dir.path() + "my.dat", true); }), 0);
}
