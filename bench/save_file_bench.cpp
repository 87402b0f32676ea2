// my.dat for a pet that has learned all 256 lines, each 30 double-byte
// characters: reading and writing the text, and the whole file operations
// (the save syncs the file and its directory before it counts as done).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/save_file.h"
#include "platform/cp932.h"

namespace {

PetState fullPet() {
    const std::string kana = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほ";  // 30, 3 bytes each in UTF-8
    PetState p;
    p.pet_name = cp932("ピコピコ");
    p.age = 17;
    p.intellect = 20;
    p.morals = 13;
    p.vigor = 8;
    p.fullness = -3;
    p.condition = 4;
    p.ark_points = 15001;
    p.word_count = kWordSlots;
    for (int i = 0; i < kWordSlots; ++i) {
        const size_t shift = size_t(i % 30) * 3;
        p.words[size_t(i)] = cp932(kana.substr(shift) + kana.substr(0, shift));
    }
    return p;
}

const PetState& pet() {
    static const PetState p = fullPet();
    return p;
}

struct TempDir {
    std::filesystem::path path;
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "piko-bench-XXXXXX").string();
        path = mkdtemp(tmpl.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
};

void BM_SerializePet(benchmark::State& state) {
    size_t bytes = 0;
    for (auto _ : state) {
        std::string text = serializePet(pet());
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * bytes));
    state.counters["file_bytes"] = double(bytes);
}
BENCHMARK(BM_SerializePet);

void BM_ParsePet(benchmark::State& state) {
    const std::string text = serializePet(pet());
    for (auto _ : state) {
        PetState p;
        if (parsePet(text, p) != 0 || p.word_count != kWordSlots) state.SkipWithError("the file did not read back");
        benchmark::DoNotOptimize(p.words.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
}
BENCHMARK(BM_ParsePet);

void BM_LoadPetFile(benchmark::State& state) {
    TempDir dir;
    const std::string path = (dir.path / "my.dat").string();
    savePetFile(path, pet(), false);
    for (auto _ : state) {
        PetState p;
        loadPetFile(path, p);
        benchmark::DoNotOptimize(p.words.data());
    }
}
BENCHMARK(BM_LoadPetFile)->Unit(benchmark::kMicrosecond)->UseRealTime();

// With keepBackup the save first copies the old file to my.dat.bak, as after a damaged load.
void BM_SavePetFile(benchmark::State& state) {
    TempDir dir;
    const std::string path = (dir.path / "my.dat").string();
    savePetFile(path, pet(), false);
    const bool backup = state.range(0) != 0;
    for (auto _ : state) savePetFile(path, pet(), backup);
    PetState back;
    loadPetFile(path, back);
    if (!(back == pet())) state.SkipWithError("the saved file did not read back");
}
BENCHMARK(BM_SavePetFile)->ArgName("backup")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
