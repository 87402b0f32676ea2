#include "wave_load.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <unordered_map>

#include "convert.h"
#include "mixer_internal.h"
#include "platform/riff_reader.h"
#include "platform/wave_resources.h"

namespace mixer {
namespace {

// The code a memory open reports when the image has no buffer at all
// (the platform's "cannot open" code).
constexpr uint32_t kMemoryOpenError = 259;

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};
using SampleBuffer = std::unique_ptr<uint8_t, FreeDeleter>;

// A loaded "WAVE" resource, given back however the load ends.
struct LoadedResource {
    WaveResourceData data = 0;
    ~LoadedResource() {
        if (data) FreeWaveResource(data);
    }
};

bool isResourceNumber(const void* source) { return (uintptr_t(source) >> 16) == 0; }

void setName(MixWave& wave, const std::string& name) { std::strncpy(wave.name, name.c_str(), sizeof wave.name - 1); }

std::unique_ptr<RiffReader> openResource(const void* source, hMixModule instance, LoadedResource& resource,
                                         std::string& name) {
    WaveResourceInfo info;
    if (isResourceNumber(source)) {
        const auto number = uint16_t(uintptr_t(source));
        info = FindWaveResource(instance, number);
        name = "res#" + std::to_string(number);
        if (info) resource.data = LoadWaveResource(info);
        if (!resource.data) fail("Failed to open \"WAVE\" resource " + std::to_string(number));
    } else {
        name = static_cast<const char*>(source);
        info = FindWaveResource(instance, name.c_str());
        if (info) resource.data = LoadWaveResource(info);
        if (!resource.data) fail("Failed to open \"WAVE\" resource " + name);
    }
    const uint8_t* bytes = LockWaveResource(resource.data);
    if (!bytes) fail("Failed to lock \"WAVE\" resource");
    MixMemoryFile image{bytes, SizeofWaveResource(info), 0};
    if (!image.buffer) {
        image.errorCode = kMemoryOpenError;
        fail("Failed to open resource, mmioOpen error= " + std::to_string(image.errorCode) +
              ".\rMay need to make sure resource is marked read-write");
    }
    return RiffReader::openMemory(image.buffer, image.size);
}

std::unique_ptr<RiffReader> openMemory(const void* source) {
    // Our own copy: the caller's descriptor is never written to.
    MixMemoryFile image;
    if (source) image = *static_cast<const MixMemoryFile*>(source);
    if (!image.buffer) {
        image.errorCode = kMemoryOpenError;
        fail("Failed to open memory file, mmioOpen error=" + std::to_string(image.errorCode) +
              ".\rMay need to make sure memory is read-write");
    }
    return RiffReader::openMemory(image.buffer, image.size);
}

}  // namespace

hMixWave loadWave(const WaveTarget& target, const void* source, hMixModule instance, uint32_t flags) {
    std::unique_ptr<MixWave> wave(new (std::nothrow) MixWave());
    if (!wave) fail(kOutOfMemory);

    LoadedResource resource;
    std::unique_ptr<RiffReader> reader;
    std::string name;
    if (flags & MIX_WAVE_RESOURCE) {
        reader = openResource(source, instance, resource, name);
    } else if (flags & MIX_WAVE_MEMORY) {
        reader = openMemory(source);  // nothing reads the name of an image; it stays empty
    } else {
        name = source ? static_cast<const char*>(source) : "";
        reader = source ? RiffReader::openFile(name) : nullptr;
        if (!reader) fail("Failed to open wave file " + name);
    }

    RiffChunk riff, fmt, data;
    if (!reader->descendRiff(RiffFourCC('W', 'A', 'V', 'E'), riff)) fail("This is not a WAVE file");
    if (!reader->descend(RiffFourCC('f', 'm', 't', ' '), riff, fmt)) fail("WAVE file is corrupted");
    // Sixteen bytes whatever the chunk declares: a short "fmt " lends what follows it.
    if (reader->read(&wave->format, sizeof wave->format) != sizeof wave->format) fail("Failed to read format chunk");
    if (wave->format.formatTag != 1) fail("The file is not a PCM file");
    reader->ascend(fmt);
    if (!reader->descend(RiffFourCC('d', 'a', 't', 'a'), riff, data)) fail("WAVE file has no data chunk");
    if (data.size == 0) fail("The data chunk has no data");
    // A header may claim more than the source holds; never allocate for a claim.
    if (data.size > reader->remaining()) fail("Failed to read data chunk");
    if (data.size > uint32_t(std::numeric_limits<int32_t>::max())) fail(kOutOfMemory);

    SampleBuffer samples(static_cast<uint8_t*>(std::malloc(data.size)));
    if (!samples) fail(kOutOfMemory);
    if (reader->read(samples.get(), data.size) != data.size) fail("Failed to read data chunk");

    int32_t length = int32_t(data.size);
    const SampleFormat from{wave->format.channels, wave->format.samplesPerSec, wave->format.bitsPerSample};
    const SampleFormat to{uint32_t(target.channels), uint32_t(target.rate), 8};
    uint8_t* converted = convertSamples(to, from, samples.release(), length);
    if (!converted) fail("Failed to convert wave format");

    reader.reset();
    wave->header.data = converted;
    wave->header.bufferLength = uint32_t(length);
    setName(*wave, name);
    return theMixer().waveTable().add(std::move(wave));
}

MixWave* lookupWave(hMixWave wave) { return theMixer().waveTable().find(wave); }

void releaseWave(hMixWave wave) { theMixer().waveTable().release(wave); }

// ---- the table

hMixWave WaveTable::add(std::unique_ptr<MixWave> wave) {
    try {
        while (next_ == 0 || waves_.count(next_)) ++next_;
        const hMixWave h = next_++;
        waves_.emplace(h, std::move(wave));
        return h;
    } catch (const std::bad_alloc&) {
        std::free(wave->header.data);
        fail(kOutOfMemory);
    }
}

MixWave* WaveTable::find(hMixWave wave) const {
    auto it = waves_.find(wave);
    return it == waves_.end() ? nullptr : it->second.get();
}

void WaveTable::release(hMixWave wave) {
    auto it = waves_.find(wave);
    if (it == waves_.end()) return;
    std::free(it->second->header.data);
    waves_.erase(it);
}

}  // namespace mixer
