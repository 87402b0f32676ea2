#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "mixer/convert.h"
#include "mixer/views.h"
#include "mixer/wave_load.h"
#include "platform/wave_resources.h"
#include "wave_image.h"

namespace fs = std::filesystem;

namespace {

const mixer::WaveTarget kMono11{1, 11025};

class WaveLoad : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("piko-waves-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        // Every load a test makes is released by it; failures keep nothing.
        EXPECT_EQ(mixer::view::liveWaveCount(), 0u);
        EXPECT_EQ(LoadedWaveResourceCount(), 0u);
        fs::remove_all(dir_);
    }

    std::string write(const std::string& name, const Bytes& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p.string();
    }

    static hMixWave loadMemory(const Bytes& image, mixer::WaveTarget target = kMono11) {
        MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
        return mixer::loadWave(target, &file, 0, MIX_WAVE_MEMORY);
    }

    static std::string memoryError(const Bytes& image, mixer::WaveTarget target = kMono11) {
        try {
            mixer::releaseWave(loadMemory(image, target));
        } catch (const ESoundMixError& e) {
            return e.message();
        }
        return "loaded";
    }

    static Bytes samplesOf(hMixWave h) {
        const MixWave* w = mixer::lookupWave(h);
        return w ? Bytes(w->header.data, w->header.data + w->header.bufferLength) : Bytes{};
    }

    fs::path dir_;
};

const Bytes kFmtMono8 = chunk("fmt ", fmtBody(1, 11025, 8));

}  // namespace

TEST_F(WaveLoad, AWaveInTheSessionsFormatIsKeptByteForByte) {
    const Bytes data{0, 1, 127, 128, 255, 3, 9};
    const hMixWave h = loadMemory(pcmWave(2, 22050, 8, data), {2, 22050});
    const MixWave* w = mixer::lookupWave(h);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(samplesOf(h), data);
    EXPECT_EQ(w->header.bufferLength, data.size());
    EXPECT_EQ(w->format.channels, 2);
    EXPECT_EQ(w->format.samplesPerSec, 22050u);
    EXPECT_EQ(w->format.avgBytesPerSec, 44100u);
    EXPECT_EQ(w->format.blockAlign, 2);
    EXPECT_EQ(w->header.user, 0u);
    EXPECT_EQ(w->header.flags, 0u);
    EXPECT_EQ(w->header.loops, 0u);
    EXPECT_EQ(SoundMixWaveInfo(h), w);
    mixer::releaseWave(h);
}

TEST_F(WaveLoad, SamplesAreConvertedToTheTargetAndTheSourceFormatIsKept) {
    const hMixWave h = loadMemory(pcmWave(2, 11025, 16, samples16({32767, -32768, 0, 0})), {1, 22050});
    EXPECT_EQ(samplesOf(h), (Bytes{127, 127, 128, 128}));
    EXPECT_EQ(mixer::lookupWave(h)->format.bitsPerSample, 16);
    mixer::releaseWave(h);
}

TEST_F(WaveLoad, TwoLoadsOfOneFileAreIndependent) {
    const std::string path = write("twice.wav", pcmWave(1, 11025, 8, {5, 6, 7}));
    const hMixWave a = mixer::loadWave(kMono11, path.c_str(), 0, MIX_WAVE_FILE);
    const hMixWave b = mixer::loadWave(kMono11, path.c_str(), 0, MIX_WAVE_FILE);
    ASSERT_NE(a, b);
    EXPECT_NE(mixer::lookupWave(a)->header.data, mixer::lookupWave(b)->header.data);
    mixer::releaseWave(a);
    EXPECT_EQ(mixer::lookupWave(a), nullptr);  // stale from now on
    EXPECT_EQ(samplesOf(b), (Bytes{5, 6, 7}));
    mixer::releaseWave(b);
    EXPECT_EQ(mixer::lookupWave(b), nullptr);
    EXPECT_EQ(mixer::lookupWave(0), nullptr);
    EXPECT_EQ(mixer::lookupWave(0xDEADBEEF), nullptr);
    mixer::releaseWave(b);  // a stale handle is ignored here; callers refuse it through LookupMixWave
}

TEST_F(WaveLoad, TheNameFieldHoldsTheStartOfThePathOrTheResourceName) {
    const std::string longPath = write("a-rather-long-name.wav", pcmWave(1, 11025, 8, {1}));
    hMixWave h = mixer::loadWave(kMono11, longPath.c_str(), 0, MIX_WAVE_FILE);
    EXPECT_EQ(std::string(mixer::lookupWave(h)->name), longPath.substr(0, 15));
    EXPECT_EQ(mixer::lookupWave(h)->name[15], 0);
    mixer::releaseWave(h);

    // A relative path of exactly 15 characters is kept whole.
    write("abcdefghijk.wav", pcmWave(1, 11025, 8, {1}));
    const fs::path cwd = fs::current_path();
    fs::current_path(dir_);
    h = mixer::loadWave(kMono11, "abcdefghijk.wav", 0, MIX_WAVE_FILE);
    fs::current_path(cwd);
    EXPECT_STREQ(mixer::lookupWave(h)->name, "abcdefghijk.wav");
    mixer::releaseWave(h);

    const WaveModule module = CreateWaveModule();
    AddWaveResource(module, 7, pcmWave(1, 11025, 8, {1}));
    AddWaveResource(module, "A_VERY_LONG_RESOURCE_NAME", pcmWave(1, 11025, 8, {2}));
    h = mixer::loadWave(kMono11, MixResourceId(7), module, MIX_WAVE_RESOURCE);
    EXPECT_STREQ(mixer::lookupWave(h)->name, "res#7");
    mixer::releaseWave(h);
    h = mixer::loadWave(kMono11, "a_very_long_resource_name", module, MIX_WAVE_RESOURCE);
    EXPECT_STREQ(mixer::lookupWave(h)->name, "a_very_long_res");
    EXPECT_EQ(samplesOf(h), (Bytes{2}));
    mixer::releaseWave(h);
    RemoveWaveModule(module);
}

TEST_F(WaveLoad, EachSourceKindLoadsAndReportsItsOwnOpenFailure) {
    const Bytes image = pcmWave(1, 22050, 8, {10, 30, 50, 70});
    const Bytes expected{20, 50};  // (10-128 + 30-128) / 2 + 128, then the last frame copied

    const std::string path = write("kind.wav", image);
    hMixWave h = mixer::loadWave(kMono11, path.c_str(), 0, MIX_WAVE_FILE);
    EXPECT_EQ(samplesOf(h), expected);
    mixer::releaseWave(h);
    h = mixer::loadWave(kMono11, path.c_str(), 0, 0);  // no flag at all is a file too
    EXPECT_EQ(samplesOf(h), expected);
    mixer::releaseWave(h);

    h = loadMemory(image);
    EXPECT_EQ(samplesOf(h), expected);
    EXPECT_STREQ(mixer::lookupWave(h)->name, "");
    mixer::releaseWave(h);

    const WaveModule module = CreateWaveModule();
    AddWaveResource(module, "PIKO", image);
    h = mixer::loadWave(kMono11, "PIKO", module, MIX_WAVE_RESOURCE | MIX_WAVE_MEMORY);  // resource wins
    EXPECT_EQ(samplesOf(h), expected);
    mixer::releaseWave(h);

    auto error = [](auto&& load) -> std::string {
        try {
            mixer::releaseWave(load());
        } catch (const ESoundMixError& e) {
            return e.message();
        }
        return "loaded";
    };
    const std::string missing = (dir_ / "missing.wav").string();
    EXPECT_EQ(error([&] { return mixer::loadWave(kMono11, missing.c_str(), 0, MIX_WAVE_FILE); }),
              "Failed to open wave file " + missing);
    EXPECT_EQ(error([&] { return mixer::loadWave(kMono11, dir_.c_str(), 0, MIX_WAVE_FILE); }),
              "Failed to open wave file " + dir_.string());
    EXPECT_EQ(error([&] { return mixer::loadWave(kMono11, "NOPE", module, MIX_WAVE_RESOURCE); }),
              "Failed to open \"WAVE\" resource NOPE");
    EXPECT_EQ(error([&] { return mixer::loadWave(kMono11, MixResourceId(7), module, MIX_WAVE_RESOURCE); }),
              "Failed to open \"WAVE\" resource 7");
    EXPECT_EQ(error([&] { return mixer::loadWave(kMono11, "PIKO", module + 1000, MIX_WAVE_RESOURCE); }),
              "Failed to open \"WAVE\" resource PIKO");
    AddWaveResource(module, 8, Bytes{});
    EXPECT_EQ(error([&] { return mixer::loadWave(kMono11, MixResourceId(8), module, MIX_WAVE_RESOURCE); }),
              "Failed to lock \"WAVE\" resource");

    // The caller's descriptor is read, never written, even when the open fails.
    const MixMemoryFile nothing{nullptr, 100, 0};
    EXPECT_EQ(error([&] { return mixer::loadWave(kMono11, &nothing, 0, MIX_WAVE_MEMORY); }),
              "Failed to open memory file, mmioOpen error=259.\rMay need to make sure memory is read-write");
    EXPECT_EQ(nothing.errorCode, 0u);
    const MixMemoryFile empty{image.data(), 0, 0};
    EXPECT_EQ(error([&] { return mixer::loadWave(kMono11, &empty, 0, MIX_WAVE_MEMORY); }), "This is not a WAVE file");
    RemoveWaveModule(module);
}

TEST_F(WaveLoad, BrokenImagesFailWithTheMessageOfTheirStep) {
    const Bytes data = chunk("data", {1, 2});
    EXPECT_EQ(memoryError({'h', 'e', 'l', 'l', 'o', ' ', 'p', 'i', 'k', 'o', '\n'}), "This is not a WAVE file");
    EXPECT_EQ(memoryError(chunk("RIFF", Bytes{'A', 'V', 'I', ' '} + kFmtMono8 + data)), "This is not a WAVE file");
    EXPECT_EQ(memoryError(riffWave(data)), "WAVE file is corrupted");
    EXPECT_EQ(memoryError(riffWave(chunk("fmt ", fmtBody(1, 11025, 8, 2)) + data)), "The file is not a PCM file");
    EXPECT_EQ(memoryError(riffWave(kFmtMono8)), "WAVE file has no data chunk");
    // "data" before "fmt " is not searched for again.
    EXPECT_EQ(memoryError(riffWave(data + kFmtMono8)), "WAVE file has no data chunk");
    EXPECT_EQ(memoryError(riffWave(kFmtMono8 + chunk("data", {}))), "The data chunk has no data");
    // A "data" chunk after the end the RIFF chunk declares is outside the wave.
    EXPECT_EQ(memoryError(chunk("RIFF", Bytes{'W', 'A', 'V', 'E'} + kFmtMono8) + data), "WAVE file has no data chunk");
    // A chunk header cut off by the RIFF chunk's end is not read across it.
    Bytes cut = riffWave(kFmtMono8 + chunk("data", {1, 2}));
    cut[4] = uint8_t(4 + kFmtMono8.size() + 4);
    EXPECT_EQ(memoryError(cut), "WAVE file has no data chunk");
    // A format cut short at the end of the source.
    Bytes shortFmt = riffWave(chunk("fmt ", Bytes(8, 1)));
    EXPECT_EQ(memoryError(shortFmt), "Failed to read format chunk");
}

TEST_F(WaveLoad, RiffFormsBeforeTheWaveAndChunksAroundTheFormatAreWalkedOver) {
    const Bytes other = chunk("RIFF", Bytes{'A', 'V', 'I', ' ', 1, 2, 3});  // odd size, padded
    const Bytes list = chunk("LIST", Bytes{'I', 'N', 'F', 'O', 'x'});
    const hMixWave h = loadMemory(other + riffWave(list + kFmtMono8 + list + chunk("data", {4, 5, 6})));
    EXPECT_EQ(samplesOf(h), (Bytes{4, 5, 6}));
    mixer::releaseWave(h);
}

TEST_F(WaveLoad, AShortFormatChunkLendsTheBytesThatFollowIt) {
    // A 14-byte "fmt " has no bits field: the next two bytes of the source, here
    // the start of a following chunk's id, are read as bits per sample.
    Bytes fmt14 = fmtBody(1, 11025, 8);
    fmt14.resize(14);
    const Bytes lender = chunk(std::string("\x08\x00" "ab", 4), {});
    const hMixWave h = loadMemory(riffWave(chunk("fmt ", fmt14) + lender + chunk("data", {9, 8})));
    EXPECT_EQ(mixer::lookupWave(h)->format.bitsPerSample, 8);
    EXPECT_EQ(samplesOf(h), (Bytes{9, 8}));
    mixer::releaseWave(h);
    // Lent from "data" itself the width is 0x6164, which nothing converts.
    EXPECT_EQ(memoryError(riffWave(chunk("fmt ", fmt14) + chunk("data", {9, 8}))), "File format not supported");
}

TEST_F(WaveLoad, ALongerFormatChunkIsAccepted) {
    Bytes fmt18 = fmtBody(1, 22050, 16);
    fmt18.insert(fmt18.end(), {0, 0, 0xAA});  // cbSize and a stray odd byte (padded)
    const hMixWave h = loadMemory(riffWave(chunk("fmt ", fmt18) + chunk("data", samples16({-1, 256}))), {1, 22050});
    EXPECT_EQ(samplesOf(h), (Bytes{127, 129}));
    mixer::releaseWave(h);
}

TEST_F(WaveLoad, DataDeclaredLongerThanTheSourceIsRefusedBeforeAllocating) {
    const Bytes truncated = riffWave(kFmtMono8 + chunk("data", {1, 2}, 4));
    EXPECT_EQ(memoryError(truncated), "Failed to read data chunk");
    const std::string path = write("truncated.wav", truncated);
    EXPECT_THROW(mixer::loadWave(kMono11, path.c_str(), 0, MIX_WAVE_FILE), ESoundMixError);
    // 4 GiB declared: refused from the header, never allocated (the sanitizer
    // build would report an allocation of that size).
    EXPECT_EQ(memoryError(riffWave(kFmtMono8 + chunk("data", {1}, 0xFFFFFFFF))), "Failed to read data chunk");
    // A RIFF size larger than the source bounds nothing the walk trusts.
    Bytes lying = pcmWave(1, 11025, 8, {1, 2});
    lying[4] = lying[5] = lying[6] = lying[7] = 0xFF;
    const hMixWave h = loadMemory(lying);
    EXPECT_EQ(samplesOf(h), (Bytes{1, 2}));
    mixer::releaseWave(h);
}

TEST_F(WaveLoad, HostileHeadersFailAsOrdinaryErrors) {
    const std::string divide = mixer::divisionByZeroMessage();
    EXPECT_EQ(memoryError(pcmWave(0, 11025, 8, {1, 2})), divide);
    EXPECT_EQ(memoryError(pcmWave(1, 0, 8, {1, 2})), divide);
    EXPECT_EQ(memoryError(pcmWave(2, 1, 8, Bytes(50000, 1)), {2, 44100}), mixer::kOutOfMemory);
    EXPECT_EQ(memoryError(pcmWave(1, 0xFFFFFFFF, 8, {1, 2})), mixer::kOutOfMemory);  // k beyond the frames
    EXPECT_EQ(memoryError(pcmWave(6, 11025, 16, Bytes(24, 0)), {2, 11025}), "loaded");
}

TEST_F(WaveLoad, AFailedLoadClosesItsSourceAndGivesBackItsResource) {
    auto openFiles = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()); };
    const std::string notWave = write("not-a-wave.wav", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '});
    const std::string truncated = write("cut.wav", riffWave(kFmtMono8 + chunk("data", {1, 2}, 9)));
    const std::string noChannels = write("none.wav", pcmWave(0, 11025, 8, {1, 2}));
    const auto before = openFiles();
    for (const std::string& path : {notWave, truncated, noChannels})
        EXPECT_THROW(mixer::loadWave(kMono11, path.c_str(), 0, MIX_WAVE_FILE), ESoundMixError) << path;
    EXPECT_EQ(openFiles(), before);

    const WaveModule module = CreateWaveModule();
    AddWaveResource(module, "TEXT", Bytes{'p', 'i', 'k', 'o'});
    AddWaveResource(module, 3, pcmWave(0, 11025, 8, {1, 2}));
    EXPECT_THROW(mixer::loadWave(kMono11, "TEXT", module, MIX_WAVE_RESOURCE), ESoundMixError);
    EXPECT_THROW(mixer::loadWave(kMono11, MixResourceId(3), module, MIX_WAVE_RESOURCE), ESoundMixError);
    EXPECT_EQ(LoadedWaveResourceCount(), 0u);
    RemoveWaveModule(module);
}
