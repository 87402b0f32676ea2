// The window's sounds heard through SDL: the disk driver writes what the
// device plays to a file, at the pace of a real sound card.
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "app/form1.h"
#include "app/program.h"
#include "mixer/views.h"
#include "platform/callback_window.h"
#include "platform/profile_ini.h"
#include "tests/support/support.h"

namespace {

const std::filesystem::path kStream =
    std::filesystem::temp_directory_path() / ("piko-sound-disk-" + std::to_string(getpid()) + ".u8");

std::vector<uint8_t> readStream() {
    std::ifstream in(kStream, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Where `second` starts after `first` in the stream, with only silence between
// them and less than a block of it: a sound queued behind one already mixed
// in full waits for the blocks the device holds. -1 when not heard so.
long followsAfterSilence(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& first,
                         const std::vector<uint8_t>& second, size_t block) {
    const auto end = stream.end();
    for (auto at = stream.begin(); (at = std::search(at, end, first.begin(), first.end())) != end; ++at) {
        auto next = at + long(first.size());
        for (size_t gap = 0; gap < block && next != end; ++gap, ++next) {
            if (size_t(end - next) >= second.size() && std::equal(second.begin(), second.end(), next))
                return long(next - stream.begin());
            if (*next != 128) break;
        }
    }
    return -1;
}

// Six blocks of 4096 bytes: two seconds in flight, so a busy test machine
// cannot starve the device between two block-done messages.
void roomyBlocks(const TempDir& exe) {
    exe.write("SOUNDMIX.INI", "[default]\nWaveBlocks=6\nWaveBlockLen=4096\n");
    SetProfileDirectory(exe.path());
}

std::vector<uint8_t> converted(const std::string& path) {
    const hMixSession h = mixer::view::currentSession();
    const hMixWave w = SoundMixOpenWave(h, path.c_str(), 0, MIX_WAVE_FILE);
    const MixWave* mw = SoundMixWaveInfo(w);
    std::vector<uint8_t> bytes(mw->header.data, mw->header.data + mw->header.bufferLength);
    SoundMixFreeWave(h, w);
    return bytes;
}

// Handles the device's messages as the event loop would, until `done`.
template <class Done>
bool pumpUntil(Done done, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        DispatchPostedMessages();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

TEST(SoundDisk, NameAcceptedThenPointsSoundFollowWithinABlock) {
    TempDir exe;
    exe.copyCg();
    roomyBlocks(exe);
    ScriptedBoxes boxes;
    Random random(3);
    FormServices services = testServices(boxes, random, exe.path());
    std::vector<uint8_t> two, four;
    {
        TForm1 f(services);
        two = converted(exe.path() + "cg/2.wav");
        four = converted(exe.path() + "cg/4.wav");
        const size_t loaded = mixer::view::liveWaveCount();
        f.PlaySound("2.wav");  // the name accepted
        f.PlaySound("4.wav");  // and the points it brings, right behind
        // Heard to its end: the first wave is freed by its notice, the last stays.
        EXPECT_TRUE(pumpUntil([&] { return mixer::view::liveWaveCount() == loaded && (mixer::view::deviceQueueLength() == 0); },
                              std::chrono::seconds(20)));
        EXPECT_EQ(mixer::view::poolFreeCount(), 100);
    }
    const std::vector<uint8_t> stream = readStream();
    ASSERT_GT(two.size(), 1000u);
    EXPECT_GE(followsAfterSilence(stream, two, four, 4096), 0)
        << "2.wav, then 4.wav at the next block, not found in " << stream.size() << " bytes";
    std::filesystem::remove(kStream);
}

// The program's own loop: the device's messages come from SDL's thread and
// reach the mixer through the event loop, with nobody pumping by hand.
TEST(SoundDisk, TheEventLoopKeepsTheDeviceFed) {
    TempDir exe;
    exe.copyCg();
    roomyBlocks(exe);
    ScriptedBoxes boxes;
    Random random(3);
    FormServices services = testServices(boxes, random, exe.path());
    std::vector<uint8_t> two, four;
    bool heard = false;
    QTimer::singleShot(0, [&] {
        TForm1* f = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<TForm1*>(w)) f = form;
        ASSERT_NE(f, nullptr);
        two = converted(exe.path() + "cg/2.wav");
        four = converted(exe.path() + "cg/4.wav");
        f->PlaySound("2.wav");
        f->PlaySound("4.wav");
        auto* poll = new QTimer(f);
        QObject::connect(poll, &QTimer::timeout, f, [&heard, f, poll] {
            if (mixer::view::deviceQueueLength() != 0 || !mixer::view::channelPlays(mixer::view::currentSession(), 1).empty()) return;
            heard = true;
            poll->stop();
            f->close();
        });
        poll->start(20);
    });
    // Should the device stall, say where the mixer stood when the wait ran out.
    std::string stalled;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&stalled] {
        namespace view = mixer::view;
        if (const hMixSession s = view::currentSession())
            stalled = "device queue " + std::string(view::deviceQueueLength() == 0 ? "empty" : "busy") +
                      ", channel 1 " + (view::channelPlays(s, 1).empty() ? "idle" : "holds a play") +
                      ", mix position " + std::to_string(view::mixPosition(s)) + ", heard " +
                      std::to_string(view::heardPosition(s));
        QCoreApplication::exit(5);
    });
    guard.start(60000);
    EXPECT_EQ(runPiko(services), 0) << stalled;
    EXPECT_TRUE(heard);
    const std::vector<uint8_t> stream = readStream();
    ASSERT_FALSE(two.empty());
    EXPECT_GE(followsAfterSilence(stream, two, four, 4096), 0);
    std::filesystem::remove(kStream);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", kStream.c_str(), 1);
    // At the pace of a sound card: with no delay the driver would take blocks
    // faster than any event loop hands them back, and pad with silence.
    unsetenv("SDL_DISKAUDIODELAY");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
