// Loading RIFF/WAVE images from files, memory and resources, and converting
// their samples to the session's 8-bit format.
#include <cstdlib>
#include <cstring>

#include "convert.h"
#include "mixer_test.h"
#include "platform/wave_resources.h"
#include "wave_load.h"

namespace {

using mixer::SampleFormat;
const SampleFormat kMono11{1, 11025, 8};
Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// One conversion of a malloc'd copy: the bytes it gives, or its error's message.
Bytes convert(SampleFormat to, SampleFormat from, const Bytes& in) {
    int32_t length = int32_t(in.size());
    auto* buffer = static_cast<uint8_t*>(std::memcpy(std::malloc(in.size()), in.data(), in.size()));
    try {
        uint8_t* out = mixer::convertSamples(to, from, buffer, length);
        const Bytes result(out, out + length);
        std::free(out);
        return result;
    } catch (const ESoundMixError& e) { return text(e.message()); }
}

TEST(Convert, WidthThenChannelsThenRate) {
    const Bytes divide = text(mixer::divisionByZeroMessage()), oom = text(mixer::kOutOfMemory);
    struct Case { SampleFormat to, from; Bytes in, out; } cases[] = {
        // 16 bits: the high byte with its top bit flipped.
        {kMono11, {1, 11025, 16}, samples16({0, -1, -32768, 32767, 256, -257}), {128, 127, 0, 255, 129, 126}},
        // Channels: averaged down, doubled up, beyond the first two ignored; a broken frame dropped.
        {kMono11, {2, 11025, 8}, {255, 0, 10, 13, 200, 201, 9}, {127, 11, 200}},
        {{2, 11025, 8}, kMono11, {7, 250}, {7, 7, 250, 250}},
        {kMono11, {4, 11025, 8}, {10, 20, 250, 250, 30, 40, 0, 0, 99}, {15, 35}},
        {{2, 11025, 8}, {3, 11025, 8}, {1, 2, 3, 4, 5, 6, 7}, {1, 2, 4, 5}},
        // Up: linear steps truncated toward zero, the last frame repeated.
        {{1, 22050, 8}, kMono11, {0, 100}, {0, 50, 100, 100}},
        {{1, 44100, 8}, kMono11, {101, 0}, {101, 76, 51, 26, 0, 0, 0, 0}},
        {{2, 22050, 8}, {2, 11025, 8}, {0, 200, 100, 100}, {0, 200, 50, 150, 100, 100, 100, 100}},
        // Down by the rounded factor, averaged around silence; the last frame copied.
        {kMono11, {1, 22050, 8}, {0, 1, 255, 254, 40, 90}, {1, 254, 40}},
        {kMono11, {1, 48000, 8}, {128, 132, 136, 140, 7, 8, 9, 10}, {134, 7}},
        {kMono11, {1, 32000, 8}, {100, 110, 120, 5, 6, 7, 8}, {110, 5}},
        {kMono11, {1, 8000, 8}, {1, 2, 3}, {1, 2, 3}},
        {kMono11, {2, 44100, 16}, Bytes(151, 0), Bytes(9, 128)},  // every step truncates
        {kMono11, {1, 11025, 24}, {1, 2, 3}, text("File format not supported")},
        {kMono11, {0, 11025, 8}, {1, 2}, divide},
        {{2, 44100, 8}, {2, 0, 16}, {1, 2, 3, 4}, divide},
        {kMono11, {1, 11025, 16}, {1}, oom},                 // no whole sample
        {{2, 11025, 8}, {3, 11025, 8}, {1, 2}, oom},         // no whole frame
        {kMono11, {1, 44100, 8}, {1, 2, 3}, oom},            // fewer frames than the factor
        {{2, 44100, 8}, {2, 1, 8}, Bytes(50000, 128), oom},  // past 2^31 bytes
        // The bound of a wave: reached, and one frame past it; a sound of 1 Hz stretched to 11025.
        {{1, 44100, 8}, kMono11, Bytes(mixer::kMaxWaveBytes / 4, 9), Bytes(mixer::kMaxWaveBytes, 9)},
        {{1, 44100, 8}, kMono11, Bytes(mixer::kMaxWaveBytes / 4 + 1, 9), oom},
        {kMono11, {1, 1, 8}, Bytes(190000, 128), oom},
        {{2, 11025, 8}, {1, 11025, 16}, Bytes(mixer::kMaxWaveBytes + 2, 0), oom},  // too wide once doubled
    };
    for (const Case& c : cases) EXPECT_EQ(convert(c.to, c.from, c.in), c.out);
}

class WaveLoad : public MixerTest {
protected:
    WaveModule module = CreateWaveModule();
    void TearDown() override {
        RemoveWaveModule(module);
        EXPECT_EQ(view::liveWaveCount(), 0u);  // every load is released, failures keep nothing
        EXPECT_EQ(LoadedWaveResourceCount(), 0u);
        MixerTest::TearDown();
    }
    // The samples loaded, or the error's message as bytes.
    Bytes samplesOf(const void* source, uint32_t flags) {
        try {
            const hMixWave w = mixer::loadWave({1, 11025}, source, module, flags);
            const MixWaveHeader& header = SoundMixWaveInfo(w)->header;
            const Bytes out(header.data, header.data + header.bufferLength);
            mixer::releaseWave(w);
            return out;
        } catch (const ESoundMixError& e) { return text(e.message()); }
    }
    Bytes fromMemory(const Bytes& image) {
        const MixMemoryFile file{image.data(), uint32_t(image.size()), 0};
        return samplesOf(&file, MIX_WAVE_MEMORY);
    }
};

// Each source kind: the record keeps the source's format and a name, the samples are
// converted; or the source does not open, and says why.
TEST_F(WaveLoad, FromFilesMemoryAndResources) {
    const Bytes image = pcmWave(2, 11025, 16, samples16({32767, -32768, 0, 0}));
    dir.write("a-rather-long-name.wav", std::string(image.begin(), image.end()));
    const std::string path = dir.path() + "a-rather-long-name.wav", missing = dir.path() + "missing.wav";
    AddWaveResource(module, 7, image);
    AddWaveResource(module, "LONG_RESOURCE_NAME", image);
    AddWaveResource(module, 8, Bytes{});
    AddWaveResource(module, "TEXT", text("piko"));
    const MixMemoryFile file{image.data(), uint32_t(image.size()), 0}, none{nullptr, 100, 0};
    for (auto [source, flags, result] : {
             std::tuple{(const void*)path.c_str(), MIX_WAVE_FILE, path.substr(0, 15)},
             {path.c_str(), 0, path.substr(0, 15)},  // no flag: a file
             {MixResourceId(7), MIX_WAVE_RESOURCE, "res#7"},
             {"long_resource_name", MIX_WAVE_RESOURCE | MIX_WAVE_MEMORY, "long_resource_n"},
             {&file, MIX_WAVE_MEMORY, ""},
             {missing.c_str(), MIX_WAVE_FILE, "Failed to open wave file " + missing},
             {MixResourceId(9), MIX_WAVE_RESOURCE, "Failed to open \"WAVE\" resource 9"},
             {MixResourceId(8), MIX_WAVE_RESOURCE, "Failed to lock \"WAVE\" resource"},
             {"TEXT", MIX_WAVE_RESOURCE, "This is not a WAVE file"},  // and the resource is given back
             {&none, MIX_WAVE_MEMORY,
              "Failed to open memory file, mmioOpen error=259.\rMay need to make sure memory is read-write"}}) {
        SCOPED_TRACE(result);
        try {
            const hMixWave w = mixer::loadWave({1, 22050}, source, module, flags);
            const MixWave& record = *SoundMixWaveInfo(w);
            EXPECT_EQ(record.name, result);
            const PcmWaveFormat& f = record.format;
            EXPECT_EQ((std::tuple<int, int, int, int>(f.channels, f.samplesPerSec, f.bitsPerSample, f.blockAlign)),
                      std::tuple(2, 11025, 16, 4));
            EXPECT_EQ(Bytes(record.header.data, record.header.data + record.header.bufferLength),
                      (Bytes{127, 127, 128, 128}));
            mixer::releaseWave(w);
        } catch (const ESoundMixError& e) { EXPECT_EQ(e.message(), result); }
    }
    EXPECT_EQ(none.errorCode, 0u);  // the caller's record is never written
}

TEST_F(WaveLoad, ImagesGoodAndBad) {
    const Bytes fmt = chunk("fmt ", fmtBody(1, 11025, 8)), data = chunk("data", {1, 2});
    Bytes fmt14 = fmtBody(1, 11025, 8);
    fmt14.resize(14);
    const std::pair<Bytes, std::string> cases[] = {
        {text("hello piko\n"), "This is not a WAVE file"},
        {chunk("RIFF", text("AVI ") + fmt + data), "This is not a WAVE file"},
        {riffWave(data), "WAVE file is corrupted"},
        {riffWave(chunk("fmt ", fmtBody(1, 11025, 8, 2)) + data), "The file is not a PCM file"},
        {riffWave(fmt), "WAVE file has no data chunk"},
        {riffWave(data + fmt), "WAVE file has no data chunk"},  // not searched for again
        {riffWave(fmt) + data, "WAVE file has no data chunk"},  // outside the RIFF
        {chunk("RIFF", text("WAVE") + fmt + data, 99), "\x01\x02"},  // the file ends before its RIFF says
        {riffWave(chunk("fmt ", Bytes(8, 1))), "Failed to read format chunk"},
        {riffWave(fmt + chunk("data", {})), "The data chunk has no data"},
        {riffWave(fmt + chunk("data", {1, 2}, 4)), "Failed to read data chunk"},
        {riffWave(fmt + chunk("data", {1}, 0xFFFFFFFF)), "Failed to read data chunk"},  // never allocated
        {riffWave(chunk("fmt ", fmt14) + data), "File format not supported"},         // bits lent by "da"
        {pcmWave(0, 11025, 8, {1, 2}), mixer::divisionByZeroMessage()},
        {pcmWave(1, 0xFFFFFFFF, 8, {1, 2}), mixer::kOutOfMemory},
        // Walked over: other forms and chunks, a short "fmt " lent the next bytes.
        {chunk("RIFF", text("AVI \x01")) + riffWave(chunk("LIST", text("INFOx")) + fmt + data), "\x01\x02"},
        {riffWave(chunk("fmt ", fmt14) + chunk(std::string("\x08\0ab", 4), {}) + data), "\x01\x02"},
        {riffWave(chunk("fmt ", fmtBody(1, 11025, 8) + Bytes{0, 0, 0xAA}) + data), "\x01\x02"},
    };
    for (const auto& [image, result] : cases) EXPECT_EQ(fromMemory(image), text(result));
}

}  // namespace
