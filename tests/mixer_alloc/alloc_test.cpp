// While sound plays the mixer allocates nothing: every malloc in this binary is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "mixer/mixer_internal.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);
}

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gAllocations{0};
inline void count() {
    if (gCounting.load(std::memory_order_relaxed)) gAllocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
    count();
    return __libc_malloc(n);
}
void* calloc(size_t n, size_t m) {
    count();
    return __libc_calloc(n, m);
}
void* realloc(void* p, size_t n) {
    count();
    return __libc_realloc(p, n);
}
void* aligned_alloc(size_t a, size_t n) {
    count();
    return __libc_memalign(a, n);
}
void* memalign(size_t a, size_t n) {
    count();
    return __libc_memalign(a, n);
}
int posix_memalign(void** out, size_t a, size_t n) {
    count();
    *out = __libc_memalign(a, n);
    return *out ? 0 : 12;
}
void free(void* p) { __libc_free(p); }
}

namespace {

long countedDuring(void (*work)()) {
    gAllocations = 0;
    gCounting = true;
    work();
    gCounting = false;
    return gAllocations.load();
}

TEST(Allocation, CounterSeesAllocations) {
    static volatile void* sink;
    EXPECT_GE(countedDuring([] { sink = new std::vector<int>(1000); }), 1);
    delete static_cast<std::vector<int>*>(const_cast<void*>(sink));
}

TEST(Allocation, NoneWhileEightPlaysSound) {
    VirtualWaveOut wave;
    VirtualWaveOut::Use use(wave);
    wave.keepWritten(false);
    auto dir = std::filesystem::temp_directory_path() / "mixer-alloc-test";
    std::filesystem::create_directories(dir);
    SetProfileDirectory(dir.string());  // no SOUNDMIX.INI there

    static std::vector<std::vector<uint8_t>> sounds;
    for (int c = 0; c < MIX_CHANNEL_COUNT; ++c) sounds.emplace_back(size_t(700 + 333 * c), uint8_t(100 + c));

    hMixSession h = SoundMixInit(nullptr);
    MixSession& s = *MixFindSession(h);
    for (int c = 0; c < MIX_CHANNEL_COUNT; ++c) {
        s.channelHeads[c] = nullptr;
        ++s.openChannels;
        MixPlayEntry* e = MixPoolTake();
        e->params.channel = c;
        // Channel 0's sound ends and is retired on the way; the rest repeat.
        e->params.loops = c == 0 ? 40 : MIX_LOOP_FOREVER;
        e->data = sounds[size_t(c)].data();
        e->length = int32_t(sounds[size_t(c)].size());
        e->start = 100 * c;
        e->end = MixPlayEnd(e->start, e->params.loops, e->length);
        s.channelHeads[c] = e;
    }
    SoundMixActivate(h, true);
    ASSERT_EQ(wave.queued(), 3u);

    static VirtualWaveOut* device;
    device = &wave;
    long during = countedDuring([] {
        for (int i = 0; i < 5000; ++i) {
            device->complete(1);
            DispatchPostedMessages();
        }
    });
    EXPECT_EQ(during, 0);
    EXPECT_EQ(wave.position(), 5000u * 2048u);
    EXPECT_EQ(wave.queued(), 3u);
    EXPECT_EQ(s.channelHeads[0], nullptr);  // retired inside the loop

    SoundMixActivate(h, false);
    SoundMixCloseSession(h);
    std::filesystem::remove_all(dir);
}

}  // namespace
