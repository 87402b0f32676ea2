// The files the program reads beside itself gone bad: my.dat, the pictures and
// sounds of cg/, SOUNDMIX.INI. Each damage has one clear outcome (a box, or a
// fallback), the program goes on, and the pet is never lost.
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <functional>

#include "app/form2.h"
#include "app/save_file.h"
#include "app/text_box.h"
#include "mixer/views.h"
#include "platform/cp932.h"
#include "platform/profile_ini.h"
#include "tests/support/support.h"

namespace {

const std::string kDenied = cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."), kNotANumber = cp932("入力値が数値ではありません.");

class BadFiles : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedBoxes boxes;
    Random random{3};
    std::unique_ptr<TForm1> form;

    void SetUp() override { dir.copyCg(), SetProfileDirectory(dir.path()); }
    TForm1& start() {
        form.reset(), boxes.shown.clear();
        form = std::make_unique<TForm1>(testServices(boxes, random, dir.path()));
        for (QTimer* t : timers(*form)) t->stop();
        return *form;
    }
    std::vector<std::string> errors() const {
        std::vector<std::string> e;
        for (const auto& box : boxes.shown) if (box.kind == "error") e.push_back(box.text);
        return e;
    }
    bool close() {
        QCloseEvent e;
        QCoreApplication::sendEvent(form.get(), &e);
        return e.isAccepted();
    }
    // It goes on: fed, petted and talked to with no error box, its sounds heard, the pet saved at the close.
    void goesOn(size_t soundsAtLeast = 1) {
        Ear ear(*form, PIKO_CG_DIR "/");  // knows the sounds as they should be
        boxes.shown.clear();
        form->gohan_bClick(), form->cgClick();
        control<PetLineEdit>(*form, "edit_l")->setText(QStringLiteral("hello"));
        form->edit_bClick();
        for (int i = 0; i < 100; ++i) form->Timer1Timer();
        EXPECT_GE(ear.heard().size(), soundsAtLeast);
        EXPECT_EQ(errors(), std::vector<std::string>());
        EXPECT_EQ(mixer::view::poolFreeCount(), mixer::view::kPoolSize);
        ASSERT_TRUE(close());
        PetState saved;
        loadPetFile(dir.path() + "my.dat", saved);
        EXPECT_EQ(saved, form->pet());
    }
    void livingPet(int32_t condition = futu) {
        PetState p;
        p.pet_name = "pi", p.age = 3, p.morals = p.vigor = 10, p.fullness = 10, p.condition = condition;
        dir.write("my.dat", serializePet(p));
    }
};

// File access as an ordinary user for a while: root reads through permission bits.
struct AsNobody {
    int was;
    explicit AsNobody(bool now) : was(now && ::geteuid() == 0 ? ::setfsuid(65534) : -1) {}
    ~AsNobody() { if (was >= 0) ::setfsuid(uid_t(was)); }
};

TEST_F(BadFiles, MyDatRefusedOrReadAsFarAsItGoesAndNeverLost) {
    const std::string garbage = "pi\r\n12\r\n\x81\xff" + std::string(3000, '\x1b') + "\r\n";
    struct Case { const char* name; std::function<void()> make; std::string box; };
    const Case cases[] = {
        {"truncated mid-line", [&] { livingPet(), dir.write("my.dat", dir.read("my.dat").substr(0, 9)); }, ""},
        {"garbage", [&] { dir.write("my.dat", garbage); }, kNotANumber},
        {"a folder", [&] { ::mkdir((dir.path() + "my.dat").c_str(), 0700); }, kDenied},
        {"a pipe", [&] { ::mkfifo((dir.path() + "my.dat").c_str(), 0600); }, kDenied},
        {"unreadable", [&] { livingPet(), ::chmod((dir.path() + "my.dat").c_str(), 0); }, kDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir.path() + "my.dat"), std::filesystem::remove(dir.path() + "my.dat.bak");
        c.make();
        const std::string before = c.box == kDenied ? "" : dir.read("my.dat");
        ::chmod(dir.path().c_str(), 0777);
        AsNobody nobody(std::string(c.name) == "unreadable");
        start();
        EXPECT_EQ(errors(), c.box.empty() ? std::vector<std::string>() : std::vector<std::string>{c.box});
        // Refused: the empty room. A close after a refused read keeps what it could not read.
        EXPECT_EQ(control<QPushButton>(*form, "sagasu_b")->isEnabled(), !c.box.empty());
        if (c.box == kDenied) {
            EXPECT_FALSE(close());
            EXPECT_EQ(errors().back(), kDenied);
        } else {
            ASSERT_TRUE(close());
            PetState saved;
            loadPetFile(dir.path() + "my.dat", saved);
            EXPECT_EQ(saved, form->pet());
            EXPECT_EQ(c.box.empty() ? before : dir.read("my.dat.bak"), before) << "the damaged file is kept aside";
        }
    }
}

// A huge my.dat with no line end is all name, read in one go.
TEST_F(BadFiles, HugeMyDatIsOneLongName) {
    dir.write("my.dat", std::string(size_t(64) << 20, 'x'));
    start();
    EXPECT_EQ(form->pet().pet_name.size(), size_t(64) << 20);
    EXPECT_TRUE(boxes.shown.empty());
}

// Every damage of every picture and sound: a picture gives its open error box
// where it is shown, a sound is silent; either way the pet lives on.
TEST_F(BadFiles, PicturesAndSoundsOfCg) {
    const std::function<std::string(const std::string&)> damages[] = {
        [](const std::string&) { return std::string(); },
        [](const std::string& g) { return g.substr(0, g.size() / 2); },
        [](const std::string& g) { return std::string(g.size(), '\x5a'); },
        [](const std::string& g) { return g.substr(0, 18) + "\xff\xff\xff\x7f" + g.substr(22); },  // a huge width or fmt
    };
    for (const char* file : {"door.bmp", "futu.bmp", "1.wav", "2.wav", "4.wav", "7.wav"})
        for (size_t d = 0; d <= std::size(damages); ++d) {
            SCOPED_TRACE(std::string(file) + " damage " + std::to_string(d));
            std::filesystem::copy(PIKO_CG_DIR, dir.path() + "cg", std::filesystem::copy_options::overwrite_existing |
                                                                       std::filesystem::copy_options::recursive);
            const std::string good = dir.read(std::string("cg/") + file);
            std::filesystem::remove(dir.path() + "cg/" + file);  // the last damage: missing
            if (d < std::size(damages)) dir.write(std::string("cg/") + file, damages[d](good));
            livingPet(file[0] == 'd' ? sinu : futu);  // the door shows in the empty room
            start();
            if (file[0] != 'd') form->Timer5Timer();  // the face strip
            if (std::string(file).ends_with(".bmp")) {
                EXPECT_EQ(errors(), std::vector<std::string>{errorBoxText(cp932("ﾌｧｲﾙ ") + dir.path() + "cg/" + file + cp932(" は開けません"))});
                if (file[0] == 'd') continue;
            } else {
                EXPECT_EQ(errors(), std::vector<std::string>());
            }
            goesOn(file[0] == '2' ? 0 : 1);
        }
}

// Garbage in SOUNDMIX.INI starts the mixer with its defaults or clamped values, and it plays.
TEST_F(BadFiles, SoundMixIniGarbageStillPlays) {
    for (const std::string& ini : {std::string("\0\0[default]\0WaveBlocks=\xff", 21),
                                  std::string("[default]\nWaveBlocks=-6\nWaveBlockLen=4294967295\nSamplesPerSec=-44\n"),
                                  "[DEFAULT]\nwaveblocklen=" + std::string(1 << 20, '9') + "\n[general]\nWaveOutDevice=-7\n"}) {
        dir.write("SOUNDMIX.INI", ini);
        livingPet();
        start();
        EXPECT_TRUE(boxes.shown.empty());
        goesOn();
    }
}

}  // namespace
