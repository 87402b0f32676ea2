// The real window, headless, over a long life and over the files it reads gone bad.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <random>

#include "app/save_file.h"
#include "app/text_box.h"
#include "mixer/views.h"
#include "platform/cp932.h"
#include "platform/milli_clock.h"
#include "platform/profile_ini.h"
#include "tests/support/support.h"

namespace {

namespace view = mixer::view;

// The program on a folder of its own, its timers stopped: the test is its clock.
struct Program : WindowTest {
    Program() : WindowTest(3) {}
    void start(uint32_t clockSeed) {
        open(clockSeed);
        for (QTimer* t : timers(*form)) t->stop();
    }
    bool closeSaves() {  // closed as the user closes it (unless a death did): my.dat holds the window's pet
        QCloseEvent e;
        if (!form->closed()) {
            QCoreApplication::sendEvent(form.get(), &e);
            if (!e.isAccepted()) return false;
        }
        return form->closed() && saved() == form->pet();
    }
    std::vector<std::string> errors() const {
        std::vector<std::string> e;
        for (const auto& box : boxes.shown)
            if (box.kind == "error" || box.kind == "fatal") e.push_back(box.text);
        return e;
    }
    bool enabled(const char* button) const { return control<QPushButton>(*form, button)->isEnabled(); }
    void savePet(int32_t condition, int32_t words = 0) {
        PetState p;
        std::tie(p.pet_name, p.condition, p.word_count) = std::tuple("pi", condition, words);
        std::fill_n(p.words.begin(), words, "old");
        dir.write("my.dat", serializePet(p));
    }
};
struct Soak : Program {};
struct BadFiles : Program {};

uint32_t gClockMs = 0;
long env(const char* name, long fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::atol(v) : fallback;
}

// A long life: its timers in their proportions on a 50 ms step (PIKO_SOAK_STEPS of them), its sounds heard,
// and a user (PIKO_SOAK_SEED) who finds, feeds, talks past 256 lines, kills, closes and starts again.
TEST_F(Soak, ALongLifeKeepsWordsSavesAndSound) {
    const long steps = env("PIKO_SOAK_STEPS", 1000000), seed = env("PIKO_SOAK_SEED", 20261206);
    std::mt19937 rng{uint32_t(seed)};
    boxes.whileOpen = [&] {  // no error box ever; the naming dialog is answered
        EXPECT_EQ(errors(), std::vector<std::string>());
        if (boxes.shown.back().kind != "dialog") return;
        control<PetLineEdit>(*naming, "edit_l")->setText(QString::number(rng() % 1000) + QStringLiteral("ぴこ"));
        naming->edit_bClick();
    };
    const auto restart = [&] {
        ASSERT_TRUE(closeSaves()) << "my.dat is not the pet the window held";
        const PetState kept = form->pet();
        start(uint32_t(rng()));
        ASSERT_EQ(form->pet(), kept);
    };
    const std::pair<long, void (TForm1::*)()> kTimers[] = {{1, &TForm1::Timer1Timer}, {200, &TForm1::Timer2Timer},
        {2200, &TForm1::Timer3Timer}, {120, &TForm1::Timer4Timer}, {20, &TForm1::Timer5Timer},
        {300, &TForm1::Timer6Timer}, {60, &TForm1::Timer7Timer}};
    long deaths = 0, words = 0, heard[4] = {};
    dir.copyCg();
    savePet(futu, 200);  // from an earlier life, with 200 lines learned: the 256th comes soon
    SetMilliClockSource([] { return gClockMs; });
    start(1);
    for (long step = 0; step < steps && !HasFatalFailure(); ++step) {
        gClockMs += 50;
        for (const auto& [every, handler] : kTimers)
            if (!form->closed() && (step + 1) % every == 0) (form.get()->*handler)();
        if (step % 3 == 2) {
            for (const std::string& name : ear->heard()) heard[step * 4 / steps] += name != "?";
            const bool silent = view::deviceQueueLength() == 0 && view::pendingPlays(view::currentSession()).empty();
            ASSERT_TRUE(!silent || view::poolFreeCount() == view::kPoolSize) << "silent, entries out of the pool";
        }
        if (form->closed()) {  // a death closed it
            ++deaths;
            restart();
        }
        if (HasFatalFailure() || rng() % 300) continue;
        boxes.shown.clear();
        boxes.answer = rng() % 4 != 0;  // a kill is mostly confirmed
        const unsigned what = rng() % 6;
        if (what == 0 && enabled("sagasu_b")) form->sagasu_bClick();
        if (what == 1 && enabled("gohan_b")) form->gohan_bClick();
        if (what == 2 && enabled("korosu_b")) form->korosu_bClick();
        if (what == 3) restart();
        if (what >= 4) {  // learned, and kept across every restart
            control<PetLineEdit>(*form, "edit_l")->setText(QStringLiteral("ことば ") + QString::number(++words));
            rng() % 2 ? form->edit_lKeyDown(Qt::Key_Return) : form->edit_bClick();
        }
    }
    if (!HasFatalFailure()) restart();
    SetMilliClockSource(nullptr);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(form->pet().word_count, kWordSlots) << "the life never went past 256 lines";
    EXPECT_GT(deaths, 0);
    for (long n : heard) EXPECT_GT(n, 0) << "the mixer fell silent";
}

// Bad files: each damage has one clear outcome (a box, or a fallback), the program goes on and the pet is
// never lost. A my.dat short, not a number or unreadable is tested in tests/app.
TEST_F(BadFiles, MyDatTooLargeOrAPipe) {
    dir.copyCg();
    const std::string huge(size_t(32) << 20, 'x');  // refused unread, kept as my.dat.bak at the first save
    dir.write("my.dat", huge);
    start(5);
    EXPECT_EQ(errors(), std::vector{cp932("I/O ｴﾗｰ (223)")});
    QCloseEvent e;
    QCoreApplication::sendEvent(form.get(), &e);
    EXPECT_TRUE(enabled("sagasu_b") && e.isAccepted() && saved().condition == sinu && dir.read("my.dat.bak") == huge);
    std::filesystem::remove(dir.path() + "my.dat");
    ::mkfifo((dir.path() + "my.dat").c_str(), 0600);  // never waited on: refused, and not saved over
    start(5);
    EXPECT_EQ(errors(), std::vector{cp932("ﾌｧｲﾙへのｱｸｾｽが拒否されました.")});
    EXPECT_TRUE(enabled("sagasu_b") && !closeSaves()) << "refused: the empty room, and no save over it";
}

// Every damage of every picture, sound and SOUNDMIX.INI: a picture gives its open error box where it is
// shown, a sound is silent, SOUNDMIX.INI gives way to the mixer's defaults; either way the pet lives on.
TEST_F(BadFiles, PicturesSoundsAndSoundMixIni) {
    const std::function<std::string(const std::string&)> damages[] = {
        [](const std::string&) { return std::string(); },
        [](const std::string& g) { return g.substr(0, g.size() / 2); },
        [](const std::string& g) { return std::string(g.size(), '\x5a'); },
        // a huge width, format or value
        [](const std::string& g) { return g.substr(0, 18) + "\xff\xff\xff\x7f" + g.substr(22); },
        hugeRleBmp,
        nullptr,  // missing
    };
    SetProfileDirectory(dir.path());
    for (const std::string file : {"cg/door.bmp", "cg/futu.bmp", "cg/1.wav", "cg/2.wav", "cg/4.wav", "SOUNDMIX.INI"})
        for (const auto& damage : damages) {
            SCOPED_TRACE(file + " damage " + std::to_string(&damage - damages));
            std::filesystem::remove_all(dir.path() + "cg");
            dir.copyCg();
            dir.write("SOUNDMIX.INI", "[default]\nWaveBlocks=4\nWaveBlockLen=1024\nSamplesPerSec=22\n");
            savePet(file == "cg/door.bmp" ? sinu : futu);  // the door shows in the empty room
            const std::string good = dir.read(file);
            std::filesystem::remove(dir.path() + file);
            if (damage) dir.write(file, damage(good));
            start(5);
            form->Timer5Timer();  // the face strip
            const std::string box = errorBoxText(cp932("ﾌｧｲﾙ ") + dir.path() + file + cp932(" は開けません"));
            EXPECT_EQ(errors(), file.ends_with(".bmp") ? std::vector{box} : std::vector<std::string>());
            if (file == "cg/door.bmp") continue;
            control<PetLineEdit>(*form, "edit_l")->setText(QStringLiteral("hello"));
            boxes.shown.clear();
            ear->heard();
            for (auto click : {&TForm1::gohan_bClick, &TForm1::cgClick, &TForm1::edit_bClick}) (form.get()->*click)();
            EXPECT_FALSE(ear->heard().empty()) << "fed, petted and talked to: the good sounds heard";
            EXPECT_EQ(errors(), std::vector<std::string>());
            EXPECT_EQ(view::poolFreeCount(), view::kPoolSize);
            EXPECT_TRUE(closeSaves());
        }
}

}  // namespace
