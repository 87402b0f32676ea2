// A long life of the real window, headless: its timers in their proportions
// on a 50 ms step, every sound heard as the device plays it, and a user who
// finds, feeds, pets, talks (past 256 lines), kills, and closes and starts the
// program again; the timers run on behind some boxes.
//   PIKO_SOAK_STEPS  50 ms steps (default: a short life for make test)
//   PIKO_SOAK_SEED   the life to live (printed, to live it again)
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <random>

#include "app/form2.h"
#include "app/qt_text.h"
#include "app/save_file.h"
#include "app/text_box.h"
#include "mixer/views.h"
#include "platform/milli_clock.h"
#include "tests/support/support.h"

namespace {

uint32_t gClockMs = 0;
long envNumber(const char* name, long fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

struct Life {
    std::mt19937 rng;
    TempDir dir;
    ScriptedBoxes boxes;
    Random random{0};
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> naming;
    std::unique_ptr<Ear> ear;
    long lifeSteps = 0, restarts = 0, deaths = 0, kills = 0, lines = 0, heard[4] = {}, quarter = 0;
    bool behindBox = false;

    explicit Life(uint32_t seed) : rng(seed) {
        dir.copyCg();
        boxes.whileOpen = [this] {
            const auto& box = boxes.shown.back();
            if (box.kind == "error" || box.kind == "fatal") ADD_FAILURE() << box.kind << ": " << qtText(box.text).toStdString();
            if (box.kind == "dialog") {
                control<PetLineEdit>(*naming, "edit_l")->setText(QString::number(rng() % 1000) + QStringLiteral("ぴこ"));
                naming->edit_bClick();
            } else if (!behindBox && rng() % 3 == 0) {
                behindBox = true;
                for (int i = int(rng() % 40); i > 0 && !form->closed() && !testing::Test::HasFatalFailure(); --i) tick();
                behindBox = false;
            }
        };
    }
    void start() {
        FormServices s = testServices(boxes, random, dir.path());
        s.clockSeed = [seed = uint32_t(rng())] { return seed; };
        form = std::make_unique<TForm1>(std::move(s));
        for (QTimer* t : timers(*form)) t->stop();  // we are the clock
        naming = std::make_unique<TForm2>(form.get(), boxes);
        form->setNamingDialog(naming.get());
        ear = std::make_unique<Ear>(*form, dir.path() + "cg/");
        lifeSteps = 0;
    }
    // Closed by the user or by a death: my.dat holds the window's pet, and the next start is that pet.
    void restart() {
        QCloseEvent close;
        if (!form->closed()) QCoreApplication::sendEvent(form.get(), &close);
        ASSERT_TRUE(form->closed());
        PetState saved;
        ASSERT_NO_THROW(loadPetFile(dir.path() + "my.dat", saved));
        ASSERT_EQ(saved, form->pet()) << "my.dat is not the pet the window held";
        ear.reset(), naming.reset(), form.reset();
        ASSERT_EQ(mixer::view::liveWaveCount(), 0u) << "waves outlived the window";
        ASSERT_EQ(mixer::view::poolFreeCount(), mixer::view::kPoolSize);
        start();
        ASSERT_EQ(form->pet(), saved);
        ++restarts;
    }
    void tick() {
        TForm1& f = *form;
        gClockMs += 50;
        const bool lived = !control<QPushButton>(f, "sagasu_b")->isEnabled();
        f.Timer1Timer();  // the status tick keeps a living pet's gauges in range, or ends its life
        const PetState& p = f.pet();
        for (int32_t gauge : {p.intellect, p.morals, p.vigor}) ASSERT_TRUE(gauge >= 0 && gauge <= 20) << gauge;
        ASSERT_TRUE(!lived || f.closed() || p.age <= 20) << p.age;
        ASSERT_TRUE(p.condition >= futu && p.condition <= sinu && p.word_count >= 0 && p.word_count <= kWordSlots);
        static void (TForm1::*const kTimers[])() = {&TForm1::Timer2Timer, &TForm1::Timer3Timer, &TForm1::Timer4Timer,
                                                    &TForm1::Timer5Timer, &TForm1::Timer6Timer, &TForm1::Timer7Timer};
        static const long kEvery[] = {200, 2200, 120, 20, 300, 60};
        ++lifeSteps;
        for (int t = 0; t < 6; ++t)
            if (!f.closed() && lifeSteps % kEvery[t] == 0) (f.*kTimers[t])();
        if (lifeSteps % 3) return;
        for (const std::string& name : ear->heard()) heard[quarter] += name != "?";
        // Fallen silent: every play entry back in the pool, only the window's own waves alive.
        if (mixer::view::deviceQueueLength() == 0 && mixer::view::pendingPlays(mixer::view::currentSession()).empty()) {
            ASSERT_EQ(mixer::view::poolFreeCount(), mixer::view::kPoolSize);
        }
        ASSERT_LE(mixer::view::liveWaveCount(), 4u + size_t(mixer::view::kPoolSize - mixer::view::poolFreeCount()));
    }
    void act() {
        TForm1& f = *form;
        boxes.shown.clear();
        switch (rng() % 8) {
        case 0: if (control<QPushButton>(f, "sagasu_b")->isEnabled()) f.sagasu_bClick(); break;
        case 1: if (control<QPushButton>(f, "gohan_b")->isEnabled()) f.gohan_bClick(); break;
        case 2: f.cgClick(); break;
        case 3: case 4: {
            const int32_t before = f.pet().word_count;
            control<PetLineEdit>(f, "edit_l")->setText(QStringLiteral("ことば ") + QString::number(++lines));
            rng() % 2 ? f.edit_lKeyDown(Qt::Key_Return) : f.edit_bClick();
            ASSERT_EQ(f.pet().word_count, std::min(before + 1, kWordSlots));
            if (before < kWordSlots) {
                ASSERT_EQ(qtText(f.pet().words[size_t(before)]), QStringLiteral("ことば ") + QString::number(lines));
            }
            break;
        }
        case 5:
            boxes.answer = rng() % 4 != 0;
            if (control<QPushButton>(f, "korosu_b")->isEnabled()) f.korosu_bClick(), kills += boxes.answer;
            break;
        case 6: f.clear_bClick(), f.clear_b2Click(), f.moji_lClick(); break;
        case 7: restart(); break;
        }
    }
};

TEST(Soak, ALongLifeKeepsGaugesWordsSavesAndSound) {
    const long steps = envNumber("PIKO_SOAK_STEPS", 300000);
    const uint32_t seed = uint32_t(envNumber("PIKO_SOAK_SEED", 20261206));
    std::printf("soak: PIKO_SOAK_SEED=%u, %ld steps of 50 ms\n", seed, steps);
    Life life(seed);
    // An earlier life left a pet that learned 200 lines: the 256th comes soon.
    PetState first;
    first.pet_name = "pi", first.age = 1, first.morals = first.vigor = 8, first.fullness = 6, first.word_count = 200;
    for (int i = 0; i < 200; ++i) first.words[size_t(i)] = "old " + std::to_string(i);
    life.dir.write("my.dat", serializePet(first));
    SetMilliClockSource([] { return gClockMs; });
    life.start();
    for (long step = 0; step < steps && !HasFatalFailure(); ++step) {
        life.quarter = step * 4 / steps;
        life.tick();
        if (!HasFatalFailure() && life.form->closed()) ++life.deaths, life.restart();  // only a death closes it
        else if (!HasFatalFailure() && life.rng() % 300 == 0) life.act();
        if (!HasFatalFailure() && life.form->closed()) ++life.deaths, life.restart();
    }
    if (!HasFatalFailure()) life.restart();
    SetMilliClockSource(nullptr);
    std::printf("soak: %ld restarts, %ld deaths, %ld kills, %ld lines; sounds heard by quarter %ld %ld %ld %ld\n",
                life.restarts, life.deaths, life.kills, life.lines, life.heard[0], life.heard[1], life.heard[2], life.heard[3]);
    // A real life: the pet went past 256 lines, died, and kept sounding to its end.
    EXPECT_EQ(life.form->pet().word_count, kWordSlots);
    EXPECT_GT(life.deaths + life.kills, 0);
    for (long n : life.heard) EXPECT_GT(n, 0) << "the mixer fell silent";
}

}  // namespace
