// The window's own work: the 50 ms status tick of a living pet that nothing
// happens to (it runs twenty times a second for the whole life, so it must
// cost next to nothing), the face tick, and how long a checkpoint holds up
// the window while the writer's thread waits on the disk.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "app/form1.h"
#include "app/qt_text.h"
#include "app/life_clock.h"
#include "app/save_file.h"
#include "platform/cp932.h"

namespace {

struct SilentBoxes : MessageBoxes {
    void message(QWidget*, const std::string&) override {}
    void error(QWidget*, const std::string&) override {}
    bool confirm(QWidget*, const std::string&) override { return false; }
    void fatal(const std::string&) override {}
    void showModal(QDialog&) override {}
};

struct Room {
    std::string dir;
    SilentBoxes boxes;
    Random random{1};
    std::unique_ptr<TForm1> form;

    // `words` lines learned (all the same line: a full pet's size is what counts).
    explicit Room(int words = 25) {
        std::string t = (std::filesystem::temp_directory_path() / "piko-bench-XXXXXX").string();
        dir = std::string(mkdtemp(t.data())) + "/";
        std::filesystem::copy(PIKO_CG_DIR, dir + "cg", std::filesystem::copy_options::recursive);
        PetState p;
        p.pet_name = cp932("ぴこ");
        std::tie(p.age, p.intellect, p.morals, p.vigor, p.fullness, p.ark_points) = std::tuple(7, 9, 12, 11, 9, 6400);
        p.word_count = words;
        std::fill_n(p.words.begin(), words, cp932("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほ"));
        std::ofstream(dir + "my.dat", std::ios::binary) << serializePet(p);
        FormServices s;
        s.boxes = &boxes;
        s.random = &random;
        s.petDir = dir;
        s.cgDir = dir + "cg/";
        form = std::make_unique<TForm1>(std::move(s));
        for (QTimer* timer : form->findChildren<QTimer*>()) timer->stop();
        form->show();
    }
    ~Room() {
        form.reset();
        std::filesystem::remove_all(dir);
    }
};

void IdleStatusTick(benchmark::State& state) {
    Room room;
    for (auto _ : state) room.form->Timer1Timer();
}
BENCHMARK(IdleStatusTick);

// What the same tick would cost if it handed every text to its widget anew.
void StatusTickSettingEveryText(benchmark::State& state) {
    Room room;
    TForm1& f = *room.form;
    auto* sagasu_b = f.findChild<QPushButton*>("sagasu_b");
    auto* clear_b = f.findChild<QPushButton*>("clear_b");
    auto* clear_b2 = f.findChild<QPushButton*>("clear_b2");
    auto* state_n = f.findChild<QLabel*>("state_n");
    auto* state_l = f.findChild<QLabel*>("state_l");
    auto* state_l2 = f.findChild<QLabel*>("state_l2");
    PetState pet = f.pet();  // the tick's copy: the window's own pet is private
    for (auto _ : state) {
        const StatusTick t = statusTick(pet, !sagasu_b->isEnabled());
        clear_b->setText(qtText(t.intellectCaption));
        clear_b2->setText(qtText(t.arkCaption));
        state_n->setText(qtText(t.name));
        state_l->setText(qtText(t.status));
        state_l2->setText(qtText(t.points));
    }
}
BENCHMARK(StatusTickSettingEveryText);

void FaceTick(benchmark::State& state) {
    Room room;
    for (auto _ : state) room.form->Timer5Timer();
}
BENCHMARK(FaceTick);

// Each iteration is one checkpoint of a changed pet, usually while the write
// before is still going; `longest_us` is the longest the window waited.
void CheckpointOfAFullPet(benchmark::State& state) {
    Room room(kWordSlots);
    TForm1& form = *room.form;
    double longest = 0;
    for (auto _ : state) {
        form.cgClick();  // petting: the gauges change, so there is something to write
        const auto start = std::chrono::steady_clock::now();
        form.checkpoint();
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(took);
        longest = std::max(longest, took);
    }
    form.waitForCheckpoints();
    state.counters["longest_us"] = longest * 1e6;
}
BENCHMARK(CheckpointOfAFullPet)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(2000);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
