// The real window, headless, over a long life and over the files it reads gone bad.
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <random>

#include "app/form2.h"
#include "app/save_file.h"
#include "app/text_box.h"
#include "mixer/views.h"
#include "platform/cp932.h"
#include "platform/milli_clock.h"
#include "platform/profile_ini.h"
#include "tests/support/support.h"

namespace {

namespace view = mixer::view;

struct AsNobody {  // file access as an ordinary user for a while: root reads through permission bits
    int was;
    explicit AsNobody(bool now) : was(now && ::geteuid() == 0 ? ::setfsuid(65534) : -1) {}
    ~AsNobody() { if (was >= 0) ::setfsuid(uid_t(was)); }
};

struct Program {  // on a folder of its own, its timers stopped: the test is its clock
    TempDir dir;
    ScriptedBoxes boxes;
    Random random{3};
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> naming;
    bool asNobody = false;
    void start(uint32_t clockSeed) {
        const AsNobody nobody(asNobody);
        naming.reset(), form.reset(), boxes.shown.clear();
        FormServices s = testServices(boxes, random, dir.path());
        form = std::make_unique<TForm1>((s.clockSeed = [clockSeed] { return clockSeed; }, std::move(s)));
        for (QTimer* t : timers(*form)) t->stop();
        naming = std::make_unique<TForm2>(form.get(), boxes);
        form->setNamingDialog(naming.get());
    }
    bool closeSaves() {  // closed as the user closes it (unless a death did): my.dat holds the window's pet
        const AsNobody nobody(asNobody);
        QCloseEvent e;
        if (!form->closed() && (QCoreApplication::sendEvent(form.get(), &e), !e.isAccepted())) return false;
        PetState saved;
        loadPetFile(dir.path() + "my.dat", saved);
        return form->closed() && saved == form->pet();
    }
    std::vector<std::string> errors() const {
        std::vector<std::string> e;
        for (const auto& box : boxes.shown) e.push_back(box.kind == "error" || box.kind == "fatal" ? box.text : "");
        return std::erase(e, ""), e;
    }
};

// ---- a long life: its timers in their proportions on a 50 ms step (PIKO_SOAK_STEPS of them), its sounds
// heard, and a user (PIKO_SOAK_SEED) who finds, feeds, pets, talks past 256 lines, kills, closes and starts again

uint32_t gClockMs = 0;
long env(const char* name, long fallback) { const char* v = std::getenv(name); return v && *v ? std::atol(v) : fallback; }

struct Life : Program {
    std::mt19937 rng;
    std::unique_ptr<Ear> ear;
    long steps = 0, deaths = 0, acts = 0, heard[4] = {}, quarter = 0;
    void restart() {
        ASSERT_TRUE(closeSaves()) << "my.dat is not the pet the window held";
        const PetState saved = form->pet();
        ear.reset(), naming.reset(), form.reset();
        ASSERT_EQ(view::liveWaveCount(), 0u) << "waves outlived the window";
        start(uint32_t(rng())), ear = std::make_unique<Ear>(*form, dir.path() + "cg/");
        ASSERT_EQ(form->pet(), saved);
    }
    void tick() {
        TForm1& f = *form;
        gClockMs += 50, f.Timer1Timer();  // the status tick keeps a living pet's gauges in range, or ends its life
        const PetState& p = f.pet();
        const bool lives = !f.closed() && !control<QPushButton>(f, "sagasu_b")->isEnabled();
        const int32_t low = std::min({p.intellect, p.morals, p.vigor}), high = std::max({p.intellect, p.morals, p.vigor});
        ASSERT_TRUE(!lives || (low >= 0 && high <= 20 && p.age <= 20)) << low << ".." << high << ", age " << p.age;
        ASSERT_TRUE(p.word_count >= 0 && p.word_count <= kWordSlots);
        static const std::pair<long, void (TForm1::*)()> kTimers[] = {{200, &TForm1::Timer2Timer}, {2200, &TForm1::Timer3Timer},
            {120, &TForm1::Timer4Timer}, {20, &TForm1::Timer5Timer}, {300, &TForm1::Timer6Timer}, {60, &TForm1::Timer7Timer}};
        for (const auto& [every, handler] : kTimers)
            if (!f.closed() && (steps + 1) % every == 0) (f.*handler)();
        if (++steps % 3) return;
        for (const std::string& name : ear->heard()) heard[quarter] += name != "?";
        const bool silent = view::deviceQueueLength() == 0 && view::pendingPlays(view::currentSession()).empty();
        ASSERT_TRUE(!silent || view::poolFreeCount() == view::kPoolSize) << "fallen silent with entries out of the pool";
    }
    void act() {
        TForm1& f = *form;
        boxes.shown.clear(), boxes.answer = rng() % 4 != 0;  // a kill is mostly confirmed
        switch (rng() % 8) {
        case 0: if (control<QPushButton>(f, "sagasu_b")->isEnabled()) f.sagasu_bClick(); break;
        case 1: if (control<QPushButton>(f, "gohan_b")->isEnabled()) f.gohan_bClick(); break;
        case 2: f.cgClick(), f.clear_bClick(), f.clear_b2Click(), f.moji_lClick(); break;
        case 3: case 4: if (control<QPushButton>(f, "korosu_b")->isEnabled()) f.korosu_bClick(); break;
        case 5: restart(); break;
        default:  // learned, and kept across every restart below
            control<PetLineEdit>(f, "edit_l")->setText(QStringLiteral("ことば ") + QString::number(++acts));
            rng() % 2 ? f.edit_lKeyDown(Qt::Key_Return) : f.edit_bClick();
        }
    }
};

TEST(Soak, ALongLifeKeepsGaugesWordsSavesAndSound) {
    const long steps = env("PIKO_SOAK_STEPS", 1000000), seed = env("PIKO_SOAK_SEED", 20261206);
    std::printf("soak: PIKO_SOAK_SEED=%ld, %ld steps of 50 ms\n", seed, steps);
    Life life;
    life.rng.seed(uint32_t(seed));
    life.boxes.whileOpen = [&life] {  // no error box ever; the naming dialog is answered
        EXPECT_EQ(life.errors(), std::vector<std::string>());
        if (life.boxes.shown.back().kind != "dialog") return;
        control<PetLineEdit>(*life.naming, "edit_l")->setText(QString::number(life.rng() % 1000) + QStringLiteral("ぴこ"));
        life.naming->edit_bClick();
    };
    PetState first;  // from an earlier life, with 200 lines learned: the 256th comes soon
    first.pet_name = "pi", first.age = 1, first.morals = first.vigor = first.fullness = 8, first.word_count = 200;
    std::fill_n(first.words.begin(), 200, "old");
    life.dir.copyCg(), life.dir.write("my.dat", serializePet(first));
    SetMilliClockSource([] { return gClockMs; });
    life.start(1), life.ear = std::make_unique<Ear>(*life.form, life.dir.path() + "cg/");
    for (long step = 0; step < steps && !HasFatalFailure(); ++step) {
        life.quarter = step * 4 / steps;
        life.tick();
        if (!HasFatalFailure() && !life.form->closed() && life.rng() % 300 == 0) life.act();
        if (!HasFatalFailure() && life.form->closed()) ++life.deaths, life.restart();  // a death closed it
    }
    if (!HasFatalFailure()) life.restart();
    SetMilliClockSource(nullptr);
    std::printf("soak: %ld deaths, sounds heard %ld %ld %ld %ld\n", life.deaths, life.heard[0], life.heard[1], life.heard[2], life.heard[3]);
    EXPECT_EQ(life.form->pet().word_count, kWordSlots) << "the life never went past 256 lines";
    EXPECT_GT(life.deaths, 0);
    for (long n : life.heard) EXPECT_GT(n, 0) << "the mixer fell silent";
}

// ---- bad files: my.dat, the pictures and sounds of cg/, SOUNDMIX.INI. Each damage has one clear
// outcome (a box, or a fallback), the program goes on, and the pet is never lost.
class BadFiles : public ::testing::Test, public Program {
protected:
    void start(int32_t condition, const std::function<void()>& damage, bool nobody = false) {
        std::filesystem::remove_all(dir.path() + "cg"), dir.copyCg();
        SetProfileDirectory(dir.path()), dir.write("SOUNDMIX.INI", "[default]\nWaveBlocks=4\nWaveBlockLen=1024\nSamplesPerSec=22\n");
        PetState p;
        p.pet_name = "pi", p.age = 3, p.morals = p.vigor = p.fullness = 10, p.condition = condition;
        std::filesystem::remove_all(dir.path() + "my.dat"), std::filesystem::remove(dir.path() + "my.dat.bak");
        dir.write("my.dat", serializePet(p));
        damage(), asNobody = nobody, Program::start(5);
        form->Timer5Timer();  // the face strip
    }
};

TEST_F(BadFiles, MyDatRefusedOrReadAsFarAsItGoesAndNeverLost) {
    const std::string denied = cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました."), notANumber = cp932("入力値が数値ではありません."),
                      path = dir.path() + "my.dat", garbage = "pi\r\n12\r\n\x81\xff" + std::string(3000, '\x1b');
    const std::tuple<const char*, std::function<void()>, std::string> cases[] = {
        {"truncated mid-line", [&] { dir.write("my.dat", dir.read("my.dat").substr(0, 9)); }, ""},
        {"huge, with no line end: all name", [&] { dir.write("my.dat", std::string(size_t(32) << 20, 'x')); }, ""},
        {"garbage", [&] { dir.write("my.dat", garbage); }, notANumber},
        {"a pipe", [&] { std::filesystem::remove(path), ::mkfifo(path.c_str(), 0600); }, denied},
        {"unreadable", [&] { ::chmod(dir.path().c_str(), 0777), ::chmod(path.c_str(), 0); }, denied},
    };
    for (const auto& [name, damage, box] : cases) {
        SCOPED_TRACE(name);
        start(futu, damage, name == std::string("unreadable"));
        const std::string before = box == denied ? "" : dir.read("my.dat");
        EXPECT_EQ(errors(), box.empty() ? std::vector<std::string>() : std::vector{box});
        EXPECT_EQ(control<QPushButton>(*form, "sagasu_b")->isEnabled(), !box.empty()) << "refused: the empty room";
        EXPECT_EQ(closeSaves(), box != denied);
        if (box == denied) {
            EXPECT_EQ(errors().back(), denied) << "a close after a refused read keeps what it could not read";
        } else if (box == notANumber) {
            EXPECT_EQ(dir.read("my.dat.bak"), before) << "the damaged file is kept aside";
        }
    }
}

// Every damage of every picture, sound and SOUNDMIX.INI: a picture gives its open error box where it is
// shown, a sound is silent, SOUNDMIX.INI gives way to the mixer's defaults; either way the pet lives on.
TEST_F(BadFiles, PicturesSoundsAndSoundMixIni) {
    const std::function<std::string(const std::string&)> damages[] = {
        [](const std::string&) { return std::string(); },
        [](const std::string& g) { return g.substr(0, g.size() / 2); },
        [](const std::string& g) { return std::string(g.size(), '\x5a'); },
        [](const std::string& g) { return g.substr(0, 18) + "\xff\xff\xff\x7f" + g.substr(22); },  // a huge width, fmt or value
        nullptr,  // missing
    };
    for (const std::string file : {"cg/door.bmp", "cg/futu.bmp", "cg/1.wav", "cg/2.wav", "cg/4.wav", "cg/7.wav", "SOUNDMIX.INI"})
        for (const auto& damage : damages) {
            SCOPED_TRACE(file + " damage " + std::to_string(&damage - damages));
            start(file == "cg/door.bmp" ? sinu : futu, [&] {  // the door shows in the empty room
                const std::string good = dir.read(file);
                std::filesystem::remove(dir.path() + file);
                if (damage) dir.write(file, damage(good));
            });
            const std::string box = errorBoxText(cp932("ﾌｧｲﾙ ") + dir.path() + file + cp932(" は開けません"));
            EXPECT_EQ(errors(), file.ends_with(".bmp") ? std::vector{box} : std::vector<std::string>());
            if (file == "cg/door.bmp") continue;
            Ear ear(*form, PIKO_CG_DIR "/");  // it goes on: fed, petted, talked to, the good sounds heard
            control<PetLineEdit>(*form, "edit_l")->setText(QStringLiteral("hello"));
            boxes.shown.clear(), form->gohan_bClick(), form->cgClick(), form->edit_bClick();
            EXPECT_GE(ear.heard().size(), file == "cg/2.wav" ? 0u : 1u);
            EXPECT_EQ(errors(), std::vector<std::string>());
            EXPECT_EQ(view::poolFreeCount(), view::kPoolSize);
            EXPECT_TRUE(closeSaves());
        }
}

}  // namespace
