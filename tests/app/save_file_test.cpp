#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

#include "app/save_file.h"
#include "platform/cp932.h"
#include "tests/support/support.h"

namespace {

PetState samplePet() {
    PetState p;
    p.pet_name = cp932("ソフト");  // ソ is 0x83 0x5C: a trail byte that is a backslash
    p.age = 3;
    p.intellect = -7;
    p.morals = 2147483647;
    p.vigor = -2147483647 - 1;
    p.fullness = -1;
    p.condition = 8;
    p.ark_points = 15001;
    p.word_count = 3;
    p.words[0] = cp932("こんにちは～");
    p.words[2] = "  spaced  ";
    p.words[255] = cp932("表示");  // 0x95 0x5C
    return p;
}

// The file's lines, as a damaged or hand-written my.dat would have them.
std::string lines(std::initializer_list<std::string> ls, const char* end = "\r\n") {
    std::string out;
    for (const auto& l : ls) out += l + end;
    return out;
}

}  // namespace

TEST(SaveFile, RoundTripKeepsEveryValueByteForByte) {
    const PetState p = samplePet();
    const std::string bytes = serializePet(p);
    PetState back;
    back.age = 99;
    EXPECT_EQ(parsePet(bytes, back), 0);
    EXPECT_EQ(back, p);
    EXPECT_EQ(back.pet_name, "\x83\x5C\x83\x74\x83\x67");
}

TEST(SaveFile, WritesExactly265CrLfLines) {
    const std::string bytes = serializePet(samplePet());
    size_t crlf = 0;
    for (size_t i = 0; i + 1 < bytes.size(); ++i) crlf += bytes[i] == '\r' && bytes[i + 1] == '\n';
    EXPECT_EQ(crlf, 265u);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_EQ(bytes.find("\r\n-7\r\n2147483647\r\n-2147483648\r\n-1\r\n8\r\n15001\r\n3\r\n"),
              std::string("\x83\x5C\x83\x74\x83\x67\r\n3").size());
}

TEST(SaveFile, LfOnlyFileIsAllName) {
    PetState p = samplePet();
    const std::string file = lines({"piko", "1", "2", "3"}, "\n");
    EXPECT_EQ(parsePet(file, p), 0);
    EXPECT_EQ(p.pet_name, file);
    EXPECT_EQ(p.age, 0);
    EXPECT_EQ(p.word_count, 0);
    for (const auto& w : p.words) EXPECT_EQ(w, "");
}

TEST(SaveFile, ShortFilesAndEndMarkersLeaveTheRestEmpty) {
    PetState p = samplePet();
    EXPECT_EQ(parsePet(lines({"piko", "1", "2", "3", "4", "5", "6", "7", "2"}), p), 0);
    EXPECT_EQ(p.pet_name, "piko");
    EXPECT_EQ(p.ark_points, 7);
    EXPECT_EQ(p.word_count, 2);
    for (const auto& w : p.words) EXPECT_EQ(w, "");

    // 0x1A ends the input even in the middle of a line.
    PetState q = samplePet();
    EXPECT_EQ(parsePet("piko\r\n4\r\n5\x1a" "6\r\n7\r\n", q), 0);
    EXPECT_EQ(q.age, 4);
    EXPECT_EQ(q.intellect, 5);
    EXPECT_EQ(q.morals, 0);
    EXPECT_EQ(q.words[0], "");

    PetState r = samplePet();
    EXPECT_EQ(parsePet("", r), 0);
    EXPECT_EQ(r, PetState{});
}

TEST(SaveFile, BlankLineBeforeANumberShiftsTheRestUp) {
    PetState p;
    EXPECT_EQ(parsePet(lines({"piko", "", " \t", "11", "12", "13", "14", "15", "16", "17", "1", "w0", "w1"}), p), 0);
    EXPECT_EQ(p.age, 11);
    EXPECT_EQ(p.intellect, 12);
    EXPECT_EQ(p.word_count, 1);
    EXPECT_EQ(p.words[0], "w0");
    EXPECT_EQ(p.words[1], "w1");
}

TEST(SaveFile, NumberForms) {
    struct Case {
        const char* token;
        int expectCode;
        int32_t value;
    };
    const Case cases[] = {
        {"+12", 0, 12},           {"-12", 0, -12},
        {"$ff", 0, 255},          {"$FFFFFFFF", 0, -1},
        {"$80000000", 0, INT32_MIN}, {"-2147483648", 0, INT32_MIN},
        {"2147483647", 0, INT32_MAX}, {"12 trailing words", 0, 12},
        {"2147483648", 106, 0},   {"-2147483649", 106, 0},
        {"12abc", 106, 0},        {"$", 106, 0},
        {"$123456789", 106, 0},   {"$fg", 106, 0},
        {"-", 106, 0},            {"1.5", 106, 0},
        {"0x10", 106, 0},
    };
    for (const auto& c : cases) {
        PetState p;
        p.age = 42;
        const int code = parsePet(lines({"n", c.token, "3"}), p);
        EXPECT_EQ(code, c.expectCode) << c.token;
        if (c.expectCode == 0) {
            EXPECT_EQ(p.age, c.value) << c.token;
            EXPECT_EQ(p.intellect, 3) << c.token;
        } else {
            EXPECT_EQ(p.age, 42) << c.token;
        }
    }
    // At most 32 bytes make the token; the rest of the line is skipped.
    PetState p;
    EXPECT_EQ(parsePet(lines({"n", std::string(31, '0') + "7" + "99", "3"}), p), 0);
    EXPECT_EQ(p.age, 7);
    EXPECT_EQ(p.intellect, 3);
}

TEST(SaveFile, InvalidNumberKeepsEarlierValuesAndLeavesTheRest) {
    PetState p = samplePet();
    EXPECT_EQ(parsePet(lines({"new", "1", "2", "3x", "9", "9"}), p), kIoInvalidNumber);
    EXPECT_EQ(p.pet_name, "new");
    EXPECT_EQ(p.age, 1);
    EXPECT_EQ(p.intellect, 2);
    EXPECT_EQ(p.morals, samplePet().morals);
    EXPECT_EQ(p.words, samplePet().words);
}

TEST(SaveFile, WordCountIsBroughtIntoTheSlots) {
    for (auto [stored, expected] : {std::pair{"300", 256}, {"-5", 0}, {"$7FFFFFFF", 256}, {"256", 256}, {"17", 17}}) {
        PetState p;
        EXPECT_EQ(parsePet(lines({"n", "1", "1", "1", "1", "1", "1", "1", stored}), p), 0);
        EXPECT_EQ(p.word_count, expected) << stored;
        EXPECT_EQ(p.ark_points, 1);
    }
}

TEST(SaveFile, MessagesAndErrnoCodes) {
    EXPECT_EQ(fromCp932(EInOutError(2).message()), "ﾌｧｲﾙが見つかりません");
    EXPECT_EQ(fromCp932(EInOutError(5).message()), "ﾌｧｲﾙへのｱｸｾｽが拒否されました");
    EXPECT_EQ(fromCp932(EInOutError(101).message()), "ﾃﾞｨｽｸがいっぱいです");
    EXPECT_EQ(fromCp932(EInOutError(106).message()), "入力値が数値ではありません");
    EXPECT_EQ(fromCp932(EInOutError(32).message()), "I/O ｴﾗｰ (32)");
    EXPECT_EQ(ioCodeFromErrno(ENOENT), 2);
    EXPECT_EQ(ioCodeFromErrno(ENOTDIR), 3);
    EXPECT_EQ(ioCodeFromErrno(EMFILE), 4);
    EXPECT_EQ(ioCodeFromErrno(EROFS), 5);
    EXPECT_EQ(ioCodeFromErrno(EISDIR), 5);
    EXPECT_EQ(ioCodeFromErrno(EDQUOT), 101);
    EXPECT_EQ(ioCodeFromErrno(EIO), 1000 + EIO);
}

TEST(SaveFileOnDisk, MissingFileIsCode2) {
    TempDir dir;
    PetState p;
    try {
        loadPetFile(dir.path() + "my.dat", p);
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.code(), 2);
    }
    EXPECT_EQ(p, PetState{});
}

TEST(SaveFileOnDisk, SaveReplacesAndLoadsBack) {
    TempDir dir;
    dir.write("my.dat", "old\r\n");
    savePetFile(dir.path() + "my.dat", samplePet(), false);
    PetState back;
    loadPetFile(dir.path() + "my.dat", back);
    EXPECT_EQ(back, samplePet());
    EXPECT_FALSE(dir.exists("my.dat.tmp"));
    EXPECT_FALSE(dir.exists("my.dat.bak"));
}

TEST(SaveFileOnDisk, AFailingStepLeavesTheOldFileWhole) {
    for (auto [step, err, code] : {std::tuple{FileStep::Create, EACCES, 5}, {FileStep::Write, ENOSPC, 101},
                                   {FileStep::Sync, EIO, 1000 + EIO}, {FileStep::Rename, EACCES, 5},
                                   {FileStep::CheckTarget, EACCES, 5}}) {
        TempDir dir;
        const std::string old = serializePet(PetState{});
        dir.write("my.dat", old);
        ScriptedFileFaults disk;
        disk.answer = [s = step, e = err](FileStep at, const std::string&) { return at == s ? e : 0; };
        FileFaults::Use useDisk(disk);
        try {
            savePetFile(dir.path() + "my.dat", samplePet(), false);
            ADD_FAILURE() << "no error for step " << int(step);
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.code(), code);
        }
        EXPECT_EQ(dir.read("my.dat"), old);
        EXPECT_FALSE(dir.exists("my.dat.tmp"));
    }
}

TEST(SaveFileOnDisk, BackupKeepsTheOldFileBesideTheNewOne) {
    TempDir dir;
    const std::string damaged = lines({"piko", "1", "oops", "3"});
    dir.write("my.dat", damaged);
    savePetFile(dir.path() + "my.dat", samplePet(), true);
    EXPECT_EQ(dir.read("my.dat.bak"), damaged);
    EXPECT_EQ(dir.read("my.dat"), serializePet(samplePet()));
}

// Root writes through any permission bits, so this only means something for a user.
TEST(SaveFileOnDisk, ReadOnlyFileIsAccessDeniedForAUser) {
    if (geteuid() == 0) GTEST_SKIP() << "root ignores file permissions; the CheckTarget fault covers it";
    TempDir dir;
    dir.write("my.dat", "old\r\n");
    ASSERT_EQ(chmod((dir.path() + "my.dat").c_str(), 0444), 0);
    try {
        savePetFile(dir.path() + "my.dat", samplePet(), false);
        FAIL() << "saved over a read-only file";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.code(), 5);
    }
    EXPECT_EQ(dir.read("my.dat"), "old\r\n");
}

// File modes mean nothing to root: as root the body runs in a child that has
// become "nobody" (65534), with `owned` handed to that user first; as a user
// it runs here. The body returns 0 for success or the number of the step that failed.
int asAUser(const std::vector<std::string>& owned, const std::function<int()>& body) {
    if (geteuid() != 0) return body();
    for (const std::string& p : owned)
        if (::chown(p.c_str(), 65534, 65534) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(200);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

// A my.dat the program may write but not read: the start could not load it,
// so there is nothing to keep aside, and the save must still happen.
TEST(SaveFileOnDisk, AWriteOnlyFileIsSavedWithoutABackup) {
    TempDir dir;
    const std::string path = dir.path() + "my.dat";
    dir.write("my.dat", "old\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0200), 0);
    const int failedAt = asAUser({dir.path(), path}, [&] {
        PetState pet;
        try {
            loadPetFile(path, pet);
            return 1;
        } catch (const EInOutError& e) {
            if (e.code() != 5) return 2;
        }
        try {
            savePetFile(path, samplePet(), true);  // as after any load that failed part-way
        } catch (const EInOutError&) {
            return 3;
        }
        return 0;
    });
    EXPECT_EQ(failedAt, 0);
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(dir.read("my.dat"), serializePet(samplePet()));
    EXPECT_FALSE(dir.exists("my.dat.bak"));
}

// A writable my.dat in a folder that refuses new files is rewritten in place;
// a read-only one there is still refused with the access error.
TEST(SaveFileOnDisk, InAFolderThatRefusesNewFilesMyDatIsRewrittenInPlace) {
    TempDir dir;
    const std::string path = dir.path() + "my.dat", locked = dir.path() + "locked/";
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    dir.write("locked/my.dat", "old\r\n");
    dir.write("locked/ro.dat", "old\r\n");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod((locked + "ro.dat").c_str(), 0444), 0);
    // As root the folder is root's and so closed to "nobody"; a user closes it to itself.
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(locked.c_str(), 0555), 0);
    }
    const int failedAt = asAUser({locked + "my.dat", locked + "ro.dat"}, [&] {
        try {
            savePetFile(locked + "my.dat", samplePet(), false);
        } catch (const EInOutError&) {
            return 4;
        }
        try {
            savePetFile(locked + "ro.dat", samplePet(), false);
            return 5;
        } catch (const EInOutError& e) {
            if (e.code() != 5) return 6;
        }
        PetState back;
        loadPetFile(locked + "my.dat", back);
        return back == samplePet() ? 0 : 7;
    });
    ASSERT_EQ(chmod(locked.c_str(), 0755), 0);
    EXPECT_EQ(failedAt, 0);
    EXPECT_EQ(dir.read("locked/ro.dat"), "old\r\n");
    EXPECT_FALSE(dir.exists("locked/my.dat.tmp"));
}

TEST(SaveFileOnDisk, KeepsPermissionsAndSymlinks) {
    TempDir dir;
    dir.write("real.dat", "old\r\n");
    ASSERT_EQ(chmod((dir.path() + "real.dat").c_str(), 0600), 0);
    ASSERT_EQ(symlink("real.dat", (dir.path() + "my.dat").c_str()), 0);
    dir.write("real.dat.tmp", "stale");
    ASSERT_EQ(chmod((dir.path() + "real.dat.tmp").c_str(), 0400), 0);
    savePetFile(dir.path() + "my.dat", samplePet(), false);
    struct stat st {};
    ASSERT_EQ(lstat((dir.path() + "my.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(dir.read("real.dat"), serializePet(samplePet()));
    ASSERT_EQ(stat((dir.path() + "real.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_FALSE(dir.exists("real.dat.tmp"));
}
