// How long a checkpoint holds up the window: the UI thread only makes the
// bytes and hands them over, while the writer's thread waits on the disk
// (two fsyncs a write). Each iteration is one checkpoint of a changed pet,
// usually while the write before is still going; `longest_us` is the
// longest the window waited on any of them.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/form1.h"
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

void CheckpointOfAFullPet(benchmark::State& state) {
    std::string t = (std::filesystem::temp_directory_path() / "piko-bench-XXXXXX").string();
    const std::string dir = std::string(mkdtemp(t.data())) + "/";
    std::filesystem::copy(PIKO_CG_DIR, dir + "cg", std::filesystem::copy_options::recursive);
    PetState p;
    p.pet_name = cp932("ぴこ");
    std::tie(p.age, p.intellect, p.morals, p.vigor, p.fullness, p.ark_points) = std::tuple(7, 9, 12, 11, 9, 6400);
    p.word_count = kWordSlots;
    p.words.fill(cp932("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほ"));
    std::ofstream(dir + "my.dat", std::ios::binary) << serializePet(p);
    SilentBoxes boxes;
    Random random{1};
    FormServices s;
    s.boxes = &boxes;
    s.random = &random;
    s.petDir = dir;
    s.cgDir = dir + "cg/";
    {
        TForm1 form(std::move(s));
        for (QTimer* timer : form.findChildren<QTimer*>()) timer->stop();
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
    std::filesystem::remove_all(dir);
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
