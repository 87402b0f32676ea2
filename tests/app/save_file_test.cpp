// my.dat: the bytes it holds, how they read back, and a save that never
// loses the old pet.
#include "app/save_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/cp932.h"
#include "tests/app/helpers.h"
#include "tests/support/support.h"

namespace {

PetState samplePet() {
    PetState p;
    p.pet_name = cp932("ソフト");  // ソ is 0x83 0x5C: a trail byte that is a backslash
    std::tie(p.age, p.intellect, p.morals, p.vigor, p.fullness, p.condition, p.ark_points, p.word_count) =
        std::tuple(3, -7, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(), -1, 8, 15001, 3);
    std::tie(p.words[0], p.words[2], p.words[255]) = std::tuple(cp932("こんにちは～"), "  spaced  ", cp932("表示"));
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
    EXPECT_TRUE(bytes.starts_with("\x83\x5C\x83\x74\x83\x67\r\n3\r\n-7\r\n2147483647\r\n-2147483648\r\n-1\r\n8\r\n15001\r\n3\r\n"))
        << bytes.substr(0, 60);
}

TEST(MyDat, NumberForms) {
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
}

TEST(MyDat, ShortDamagedAndHandWrittenFiles) {
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

TEST(MyDat, ErrorCodesAndTheirMessages) {
    for (auto [err, io] : {std::pair{ENOENT, 2}, {ENOTDIR, 3}, {EMFILE, 4}, {EACCES, 5}, {EROFS, 5}, {EISDIR, 5},
                           {ENOSPC, 101}, {EDQUOT, 101}, {EFBIG, 101}, {EIO, 1000 + EIO}})
        EXPECT_EQ(ioCodeFromErrno(err), io) << err;
    EXPECT_EQ(EInOutError(32).message(), cp932("I/O ｴﾗｰ (32)"));
    PetState p;
    EXPECT_EQ(code([&] { loadPetFile(TempDir().path() + "my.dat", p); }), 2);
}

TEST(MyDatOnDisk, ASaveReplacesTheFileKeepsTheOldOneWhenAskedAndASymlink) {
    TempDir dir;
    const std::string damaged = lines({"piko", "1", "oops"});
    dir.write("my.dat", damaged);
    ASSERT_EQ(saveCode(dir.path() + "my.dat"), 0);
    EXPECT_EQ(dir.read("my.dat"), serializePet(samplePet()));
    EXPECT_FALSE(dir.exists("my.dat.bak") || dir.exists("my.dat.tmp"));
    dir.write("my.dat", damaged);
    ASSERT_EQ(chmod((dir.path() + "my.dat").c_str(), 0640), 0);  // the user's own choice survives the replace
    ASSERT_EQ(saveCode(dir.path() + "my.dat", true), 0);
    EXPECT_EQ(dir.read("my.dat.bak"), damaged);
    EXPECT_EQ(dir.read("my.dat"), serializePet(samplePet()));
    struct stat st {};
    EXPECT_TRUE(stat((dir.path() + "my.dat").c_str(), &st) == 0 && (st.st_mode & 07777) == 0640) << std::oct << st.st_mode;
}

TEST(MyDatOnDisk, AFailingStepLeavesTheOldFileWhole) {
    for (auto [step, err, io] : {std::tuple{FileStep::Create, EACCES, 5}, {FileStep::Write, ENOSPC, 101},
                                 {FileStep::Sync, EIO, 1000 + EIO}, {FileStep::Rename, EACCES, 5},
                                 {FileStep::CheckTarget, EACCES, 5}}) {
        TempDir dir;
        dir.write("my.dat", "old\r\n");
        ScriptedFileFaults disk;
        disk.answer = [s = step, e = err](FileStep at, const std::string&) { return at == s ? e : 0; };
        FileFaults::Use useDisk(disk);
        EXPECT_EQ(saveCode(dir.path() + "my.dat"), io) << int(step);
        EXPECT_EQ(dir.read("my.dat"), "old\r\n");
        EXPECT_FALSE(dir.exists("my.dat.tmp"));
    }
}

TEST(MyDatOnDisk, AReadOnlyFileIsRefusedAndAWriteOnlyOneSavedWithoutBackup) {
    TempDir dir;
    const std::string ro = dir.path() + "ro.dat", wo = dir.path() + "wo.dat";
    dir.write("ro.dat", "old\r\n");
    dir.write("wo.dat", "old\r\n");
    ASSERT_EQ(chmod(ro.c_str(), 0444) | chmod(wo.c_str(), 0200), 0);
    const int failedAt = asAUser({dir.path(), ro, wo}, [&] {
        if (saveCode(ro, true) != 5) return 1;
        PetState pet;
        if (code([&] { loadPetFile(wo, pet); }) != 5) return 2;
        // As after any load that failed half-way: nothing readable to keep aside.
        return saveCode(wo, true) == 0 ? 0 : 3;
    });
    EXPECT_EQ(failedAt, 0);
    ASSERT_EQ(chmod(wo.c_str(), 0600), 0);
    EXPECT_EQ(dir.read("ro.dat"), "old\r\n");
    EXPECT_EQ(dir.read("wo.dat"), serializePet(samplePet()));
    EXPECT_FALSE(dir.exists("wo.dat.bak"));
}

TEST(MyDatOnDisk, InAFolderThatRefusesNewFilesMyDatIsRewrittenInPlace) {
    TempDir dir;
    const std::string locked = dir.path() + "locked/";
    ASSERT_EQ(chmod(dir.path().c_str(), 0755) | mkdir(locked.c_str(), 0755), 0);
    dir.write("locked/my.dat", "old\r\n");
    dir.write("locked/ro.dat", "old\r\n");
    ASSERT_EQ(chmod((locked + "ro.dat").c_str(), 0444), 0);
    // As root the folder stays root's and so is closed to "nobody"; a user closes it to itself.
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    }
    const int failedAt = asAUser({locked + "my.dat", locked + "ro.dat"}, [&] {
        if (saveCode(locked + "my.dat") != 0) return 1;
        if (saveCode(locked + "ro.dat") != 5) return 2;
        PetState back;
        loadPetFile(locked + "my.dat", back);
        return back == samplePet() ? 0 : 3;
    });
    ASSERT_EQ(chmod(locked.c_str(), 0755), 0);
    EXPECT_EQ(failedAt, 0);
    EXPECT_EQ(dir.read("locked/ro.dat"), "old\r\n");
    EXPECT_FALSE(dir.exists("locked/my.dat.tmp"));
    // A my.dat that is a symlink stays one: the file it points to is replaced.
    dir.write("real.dat", "old\r\n");
    ASSERT_EQ(symlink("real.dat", (dir.path() + "my.dat").c_str()), 0);
    ASSERT_EQ(saveCode(dir.path() + "my.dat"), 0);
    struct stat link {};
    EXPECT_TRUE(lstat((dir.path() + "my.dat").c_str(), &link) == 0 && S_ISLNK(link.st_mode));
    EXPECT_EQ(dir.read("real.dat"), serializePet(samplePet()));
}
