// Years of a pet's life in the real window, headless: every timer handler in
// its real proportion on a 50 ms step, a user who searches, feeds, pets,
// talks (well past 256 lines), kills and closes and restarts the program, and
// every sound played through the virtual device as fast as a listener hears it.
//
//   PIKO_SOAK_STEPS  number of 50 ms steps (default: a short life for make test)
//   PIKO_SOAK_SEED   the life to live (default fixed; printed either way)
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "app/form1.h"
#include "app/form2.h"
#include "app/qt_text.h"
#include "app/save_file.h"
#include "app/text_box.h"
#include "mixer/views.h"
#include "platform/cp932.h"
#include "platform/milli_clock.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"
#include "tests/support/support.h"

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime (g++ ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#define PIKO_SOAK_ASAN 1
#else
#include <malloc.h>
#define PIKO_SOAK_ASAN 0
#endif

namespace {

// Bytes the program holds on the heap right now.
size_t heapInUse() {
#if PIKO_SOAK_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

size_t residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::strtoul(line.c_str() + 6, nullptr, 10);
    return 0;
}

long envNumber(const char* name, long fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtol(v, nullptr, 10) : fallback;
}

uint32_t gClockMs = 0;
uint32_t simulatedClock() { return gClockMs; }

constexpr long kStepMs = 50;

class Soak;

// Boxes answered by the simulated user; the timers keep ticking behind some of them.
class SoakBoxes : public MessageBoxes {
public:
    explicit SoakBoxes(Soak& soak) : soak_(soak) {}
    void message(QWidget*, const std::string& text) override;
    void error(QWidget*, const std::string& text) override;
    bool confirm(QWidget*, const std::string& text) override;
    void fatal(const std::string& text) override;
    void showModal(QDialog&) override;

private:
    Soak& soak_;
};

class Soak {
public:
    explicit Soak(uint32_t seed) : rng_(seed), boxes_(*this) {}

    std::mt19937 rng_;
    TempDir dir;
    VirtualWaveOut wave;
    SoakBoxes boxes_;
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> form2;
    Random random{0};

    // What the pet must know: every line learned, in order, across pets and restarts.
    std::array<std::string, kWordSlots> words{};
    int32_t wordCount = 0;

    long steps = 0;        // 50 ms steps, all lives together
    long lifeSteps = 0;    // since the program last started: its timers' phase
    int boxDepth = 0;
    double bytesOwed = 0;  // what the listener has heard in time but the device not yet played

    struct Counts {
        long starts = 0, restarts = 0, naturalDeaths = 0, kills = 0, killsRefused = 0, searches = 0, feeds = 0,
             pettings = 0, lines = 0, linesPastFull = 0, badgeBoxes = 0, aboutBoxes = 0, nameRefusals = 0,
             boxTicks = 0, silences = 0, saves = 0, agingTicks = 0, soundingChecks = 0;
        size_t mostLiveWaves = 0, mostEntriesInUse = 0;
    } n;

    // ---- the program

    void build() {
        FormServices s = testServices(boxes_, random, dir.path());
        const uint32_t seed = uint32_t(rng_());
        s.clockSeed = [seed] { return seed; };
        form = std::make_unique<TForm1>(std::move(s));
        // We are the clock: the handlers are called below in their proportions.
        for (QTimer* t : timers(*form)) t->stop();
        form2 = std::make_unique<TForm2>(form.get(), boxes_);
        form->setNamingDialog(form2.get());
        lifeSteps = 0;
        ++n.starts;
    }

    // The user closes the window (unless a death closed it already): the
    // farewell box, the save, and the program gone with everything it held.
    void closeProgram(PetState* saved = nullptr) {
        if (!form->closed()) {
            QCloseEvent e;
            QCoreApplication::sendEvent(form.get(), &e);
            ASSERT_TRUE(e.isAccepted());
            ASSERT_TRUE(form->closed());
        }
        checkSaved();
        if (::testing::Test::HasFatalFailure()) return;
        // What the timers behind the farewell box changed is in it too.
        if (saved) *saved = form->pet();
        form2.reset();
        form.reset();
        ASSERT_EQ(mixer::view::liveWaveCount(), 0u) << "waves outlived the window";
        ASSERT_EQ(mixer::view::sessionHandle(), 0u);
        ASSERT_FALSE(wave.isOpen());
        ASSERT_EQ(mixer::view::poolFreeCount(), 100);
        DispatchPostedMessages();  // notices for windows that are gone: dropped
        QCoreApplication::processEvents();
    }

    // ... and starts again on what it saved.
    void restart() {
        PetState saved;
        closeProgram(&saved);
        if (::testing::Test::HasFatalFailure()) return;
        build();
        ASSERT_EQ(form->pet(), saved) << "the restarted program is not the pet that was saved";
        ASSERT_EQ(control<QPushButton>(*form, "sagasu_b")->isEnabled(), saved.condition == sinu);
        checkWords();
        ++n.restarts;
    }

    // A close happened (the user's, or the one after a natural death): my.dat
    // reloads to exactly the pet the window holds, words included.
    void checkSaved() {
        ++n.saves;
        PetState back;
        ASSERT_NO_THROW(loadPetFile(dir.path() + "my.dat", back));
        ASSERT_EQ(back, form->pet()) << "my.dat does not reload to the saved pet";
        checkWords();
    }

    void checkWords() {
        ASSERT_GE(form->pet().word_count, 0);
        ASSERT_LE(form->pet().word_count, kWordSlots);
        ASSERT_EQ(form->pet().word_count, wordCount);
        ASSERT_EQ(form->pet().words, words);
    }

    // ---- time

    void tick() {
        TForm1& f = *form;
        ++lifeSteps;
        ++steps;
        gClockMs += kStepMs;
        f.Timer1Timer();
        const long s = lifeSteps;
        if (!f.closed() && s % 200 == 0) f.Timer2Timer();
        if (!f.closed() && s % 2200 == 0) {
            f.Timer3Timer();
            ++n.agingTicks;
        }
        if (!f.closed() && s % 120 == 0) f.Timer4Timer();
        if (!f.closed() && s % 20 == 0) f.Timer5Timer();
        if (!f.closed() && s % 300 == 0) f.Timer6Timer();
        if (!f.closed() && s % 60 == 0) f.Timer7Timer();
        ASSERT_GE(f.pet().word_count, 0);
        ASSERT_LE(f.pet().word_count, kWordSlots);
        listen();
    }

    // The device plays what a listener hears in 50 ms; every few steps the
    // block-done messages are handled, as the event loop would.
    void listen() {
        if (!form->soundMix()) return;
        const std::optional<mixer::view::Settings> s = mixer::view::settings(form->soundMix()->session());
        ASSERT_TRUE(s);
        bytesOwed += double(s->format.avgBytesPerSec) * kStepMs / 1000.0;
        if (steps % 3 != 0) return;
        const uint64_t due = uint64_t(bytesOwed);
        bytesOwed -= double(due);
        if (wave.queued() == 0) bytesOwed = 0;  // an idle device does not catch up later
        else wave.play(due);
        while (DispatchPostedMessages() > 0) {
        }
        checkMixer(form->soundMix()->session());
    }

    void checkMixer(hMixSession s) {
        const int inUse = mixer::view::kPoolSize - mixer::view::poolFreeCount();
        n.mostEntriesInUse = std::max(n.mostEntriesInUse, size_t(inUse));
        n.mostLiveWaves = std::max(n.mostLiveWaves, mixer::view::liveWaveCount());
        if (inUse > 0) ++n.soundingChecks;  // a sound still playing or queued
        // The four waves of the window, and one for each play still to be heard.
        ASSERT_LE(mixer::view::liveWaveCount(), size_t(4 + inUse));
        bool idle = mixer::view::deviceQueueLength() == 0 && mixer::view::pendingPlays(s).empty();
        for (int c = 0; c < mixer::view::kChannelCount; ++c)
            if (!mixer::view::channelPlays(s, c).empty()) idle = false;
        if (!idle) return;
        ++n.silences;
        ASSERT_EQ(mixer::view::poolFreeCount(), 100) << "the mixer fell silent with entries out of the pool";
        std::vector<hMixWave> own;
        const TForm1::Preloaded p = form->preloaded();
        for (hMixWave w : {p.wave_7, p.wave_6, p.wave_last, p.wave_5})
            if (w && std::find(own.begin(), own.end(), w) == own.end()) own.push_back(w);
        ASSERT_EQ(mixer::view::liveWaveCount(), own.size()) << "heard waves not freed";
    }

    // Timer ticks while a box waits for its answer (not behind a box of a box).
    void ticksBehindBox() {
        if (boxDepth > 1 || rng_() % 3 != 0) return;
        const int k = int(rng_() % 40);
        for (int i = 0; i < k && !form->closed(); ++i) {
            tick();
            ++n.boxTicks;
            if (::testing::Test::HasFatalFailure()) return;
        }
    }

    // ---- the user

    QString line() {
        static const QString alphabet = QString::fromUtf8(
            "abcdefghijklmnopqrstuvwxyz0123456789     あいうえおかきくけこぴこギムー・？！日記犬猫～ＡＢ");
        const int length = 1 + int(rng_() % 30);
        QString s;
        for (int i = 0; i < length; ++i) s += alphabet[int(rng_() % alphabet.size())];
        return s;
    }

    void talk() {
        const int lines = 1 + int(rng_() % 6);
        for (int i = 0; i < lines; ++i) {
            const QString typed = line();
            control<PetLineEdit>(*form, "edit_l")->setText(typed);
            const std::string bytes = cp932Text(control<PetLineEdit>(*form, "edit_l")->text());
            const int32_t before = form->pet().word_count;
            if (rng_() % 2 && control<QPushButton>(*form, "edit_b")->isEnabled()) form->edit_bClick();
            else form->edit_lKeyDown(Qt::Key_Return);  // Enter works with no pet too
            ++n.lines;
            if (wordCount < kWordSlots) words[size_t(wordCount++)] = bytes;
            else ++n.linesPastFull;
            ASSERT_EQ(form->pet().word_count, std::min(before + 1, kWordSlots));
            ASSERT_TRUE(control<PetLineEdit>(*form, "edit_l")->text().isEmpty());
            checkWords();
        }
    }

    void act() {
        TForm1& f = *form;
        const unsigned pick = rng_() % 100;
        if (pick < 35) {
            if (control<QPushButton>(f, "sagasu_b")->isEnabled()) {
                ++n.searches;
                f.sagasu_bClick();
                if (!f.closed()) {
                    ASSERT_FALSE(control<QPushButton>(f, "sagasu_b")->isEnabled());
                }
            } else {
                talk();
            }
        } else if (pick < 45) {
            talk();  // with no pet too: Enter still reaches it
        } else if (pick < 60) {
            if (control<QPushButton>(f, "gohan_b")->isEnabled()) f.gohan_bClick(), ++n.feeds;
        } else if (pick < 72) {
            f.cgClick();
            ++n.pettings;
        } else if (pick < 78) {
            if (control<QPushButton>(f, "korosu_b")->isEnabled()) kill();
        } else if (pick < 83) {
            if (!control<QPushButton>(f, "clear_b")->isHidden()) f.clear_bClick(), ++n.badgeBoxes;
            if (!control<QPushButton>(f, "clear_b2")->isHidden()) f.clear_b2Click(), ++n.badgeBoxes;
        } else if (pick < 85) {
            f.moji_lClick();
            ++n.aboutBoxes;
        } else if (pick < 88) {
            restart();
        }
        // Otherwise the user only watches.
    }

    bool killAnswer = true;
    void kill() {
        killAnswer = rng_() % 4 != 0;
        const PetState before = form->pet();
        form->korosu_bClick();
        if (form->closed()) return;  // it died of itself while the box was open
        if (killAnswer) {
            ++n.kills;
            ASSERT_TRUE(control<QPushButton>(*form, "sagasu_b")->isEnabled());
            ASSERT_FALSE(control<QPushButton>(*form, "korosu_b")->isEnabled());
            ASSERT_EQ(form->pet().condition, sinu);
            ASSERT_EQ(form->pet().age, 1);
            ASSERT_EQ(form->pet().pet_name, before.pet_name);
        } else {
            ++n.killsRefused;
        }
    }

    // ---- the run

    struct Sample {
        long step;
        size_t heap;
        size_t rssKiB;
    };
    std::vector<Sample> samples;

    void run(long totalSteps) {
        samples.reserve(size_t(totalSteps / 2000 + 2));  // our own record must not look like growth
        SetProfileDirectory(dir.path());  // no SOUNDMIX.INI: the defaults
        SetMilliClockSource(&simulatedClock);
        dir.copyCg();
        wave.keepWritten(false);
        VirtualWaveOut::Use use(wave);
        // An earlier life left a pet and 200 lines it learned: the 256th comes soon.
        PetState first;
        first.pet_name = cp932Text(line().left(16));
        first.age = 1;
        first.morals = first.vigor = 8;
        first.fullness = 6;
        first.condition = futu;
        for (wordCount = 0; wordCount < 200; ++wordCount) words[size_t(wordCount)] = cp932Text(line());
        first.word_count = wordCount;
        first.words = words;
        dir.write("my.dat", serializePet(first));
        build();
        if (::testing::Test::HasFatalFailure()) return;
        const long actionEvery = 300;  // on average every 15 s
        while (steps < totalSteps) {
            tick();
            if (::testing::Test::HasFatalFailure()) return;
            if (form->closed()) {
                ++n.naturalDeaths;  // only a death closes the window of itself
                restart();
            } else if (steps % 100 == 0 && form->pet().fullness <= 5 && control<QPushButton>(*form, "gohan_b")->isEnabled() &&
                       rng_() % 3 != 0) {
                // A caretaker who mostly remembers to feed a hungry pet.
                form->gohan_bClick();
                ++n.feeds;
            } else if (long(rng_() % actionEvery) == 0) {
                act();
                // A death behind one of the action's boxes closes the window too.
                if (!::testing::Test::HasFatalFailure() && form->closed()) restart();
            }
            if (::testing::Test::HasFatalFailure()) return;
            if (steps % 2000 == 0) {
                QCoreApplication::processEvents();
                samples.push_back({steps, heapInUse(), residentKiB()});
            }
        }
        closeProgram();
        if (::testing::Test::HasFatalFailure()) return;
        SetMilliClockSource(nullptr);
    }
};

void SoakBoxes::message(QWidget*, const std::string&) {
    ++soak_.boxDepth;
    soak_.ticksBehindBox();
    --soak_.boxDepth;
}

void SoakBoxes::error(QWidget*, const std::string& text) {
    ADD_FAILURE() << "error box: " << qtText(text).toStdString();
}

bool SoakBoxes::confirm(QWidget*, const std::string&) {
    ++soak_.boxDepth;
    soak_.ticksBehindBox();
    --soak_.boxDepth;
    return soak_.killAnswer;
}

void SoakBoxes::fatal(const std::string& text) { ADD_FAILURE() << "fatal box: " << text; }

void SoakBoxes::showModal(QDialog&) {
    ++soak_.boxDepth;
    soak_.ticksBehindBox();
    TForm2& d = *soak_.form2;
    if (soak_.rng_() % 5 == 0) {
        // おっけ on an empty box: refused, the dialog stays.
        control<PetLineEdit>(d, "edit_l")->clear();
        const std::string name = soak_.form->pet().pet_name;
        d.edit_bClick();
        EXPECT_EQ(soak_.form->pet().pet_name, name);
        ++soak_.n.nameRefusals;
    }
    control<PetLineEdit>(d, "edit_l")->setText(soak_.line().left(16));
    const std::string expected = cp932Text(control<PetLineEdit>(d, "edit_l")->text());
    d.edit_bClick();
    EXPECT_EQ(soak_.form->pet().pet_name, expected);
    --soak_.boxDepth;
}

TEST(Soak, YearsOfLifeKeepWordsSavesMixerAndMemoryFlat) {
    // Under the sanitizers every step costs many times more: a shorter life.
    const long steps = envNumber("PIKO_SOAK_STEPS", PIKO_SOAK_ASAN ? 150000 : 300000);
    const uint32_t seed = uint32_t(envNumber("PIKO_SOAK_SEED", 20261206));
    std::printf("soak: seed %u (PIKO_SOAK_SEED=%u repeats this life), %ld steps of 50 ms\n", seed, seed, steps);
    std::fflush(stdout);

    Soak soak(seed);
    const auto start = std::chrono::steady_clock::now();
    soak.run(steps);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_FALSE(HasFatalFailure());

    const auto& c = soak.n;
    const double petHours = double(soak.steps) * kStepMs / 3600000.0;
    std::printf("soak: %ld steps (%.1f h of pet time, %.1f pet years) in %.1f s: %.0f steps/s, %.1f pet-hours per second\n",
                soak.steps, petHours, double(c.agingTicks), wall, double(soak.steps) / wall, petHours / wall);
    std::printf("soak: %ld starts, %ld natural deaths, %ld kills (%ld refused), %ld searches, %ld feeds, %ld pettings, "
                "%ld lines (%ld past 256), %ld name refusals, %ld badge and %ld about boxes, %ld ticks behind boxes, "
                "%ld saves, %ld checks found sound, %ld silences; at most %zu pool entries in use and %zu live waves\n",
                c.starts, c.naturalDeaths, c.kills, c.killsRefused, c.searches, c.feeds, c.pettings, c.lines,
                c.linesPastFull, c.nameRefusals, c.badgeBoxes, c.aboutBoxes, c.boxTicks, c.saves, c.soundingChecks,
                c.silences, c.mostEntriesInUse, c.mostLiveWaves);

    // The life must have been a real one for the checks to mean anything.
    EXPECT_GT(c.searches, 0);
    EXPECT_GT(c.restarts, 1);
    EXPECT_GT(c.silences, 10);
    EXPECT_GT(c.soundingChecks, 100);
    EXPECT_GT(c.linesPastFull, 0) << "the life never went past 256 learned lines";
    EXPECT_EQ(soak.wordCount, kWordSlots);

    // Memory: once warm (the first quarter of the life), the heap may not
    // grow beyond a small slack however long the pet lives.
    ASSERT_GE(soak.samples.size(), 8u);
    const size_t warm = soak.samples.size() / 4;
    size_t baseline = 0, latest = 0;
    for (size_t i = 0; i < soak.samples.size(); ++i) {
        const auto& s = soak.samples[i];
        if (i < warm * 2) baseline = std::max(baseline, s.heap);
        if (i >= soak.samples.size() - warm) latest = std::max(latest, s.heap);
        if (i % std::max<size_t>(1, soak.samples.size() / 8) == 0 || i + 1 == soak.samples.size())
            std::printf("soak: step %8ld  heap %8zu B  rss %6zu KiB\n", s.step, s.heap, s.rssKiB);
    }
    const size_t slack = 256 * 1024 + baseline / 50;
    EXPECT_LE(latest, baseline + slack) << "the heap grew from " << baseline << " to " << latest << " bytes";
    RecordProperty("steps_per_second", int(double(soak.steps) / wall));
    RecordProperty("heap_baseline", int(baseline));
    RecordProperty("heap_latest", int(latest));
}

}  // namespace
