#include "tests/support/support.h"

#include <stdlib.h>

#include <QTimer>
#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/save_file.h"
#include "mixer/sound_mix_component.h"
#include "mixer/views.h"
#include "platform/callback_window.h"
#include "platform/virtual_wave_out.h"

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "piko-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path_ + name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string TempDir::read(const std::string& name) const {
    std::ifstream in(path_ + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool TempDir::exists(const std::string& name) const { return std::filesystem::exists(path_ + name); }

void TempDir::copyCg() const {
    std::filesystem::copy(PIKO_CG_DIR, path_ + "cg", std::filesystem::copy_options::recursive);
}

std::vector<QTimer*> timers(const QObject& window) {
    std::vector<QTimer*> t;
    for (int i = 1; i <= 7; ++i) t.push_back(control<QTimer>(window, ("Timer" + std::to_string(i)).c_str()));
    return t;
}

namespace {
VirtualWaveOut& installedDevice() {
    auto* device = dynamic_cast<VirtualWaveOut*>(&CurrentWaveOutDriver());
    if (!device) throw std::logic_error("the test runs on no virtual device");
    return *device;
}
}  // namespace

Ear::Ear(const TForm1& window, const std::string& cgDir) : device_(installedDevice()) {
    TSoundMix* mix = window.soundMix();
    if (!mix) throw std::logic_error("the window has no mixer");
    for (int n = 1; n <= 7; ++n) {
        const std::string name = std::to_string(n) + ".wav";
        const hMixWave w = mix->OpenWave((cgDir + name).c_str());
        const MixWave* info = SoundMixWaveInfo(w);
        sounds_.emplace_back(name, std::vector<uint8_t>(info->header.data, info->header.data + info->header.bufferLength));
        mix->FreeWave(w);
    }
    // The longest first, so a sound that starts like a shorter one is still itself.
    std::sort(sounds_.begin(), sounds_.end(), [](const auto& a, const auto& b) { return a.second.size() > b.second.size(); });
}

std::vector<std::string> Ear::heard() {
    std::vector<uint8_t> stream;
    // Until the device has nothing left: the mixer stops writing once idle.
    while (device_.queued() > 0) {
        const WaveHeader* h = device_.queuedHeader(0);
        stream.insert(stream.end(), h->data, h->data + h->bufferLength);
        device_.complete(1);
        DispatchPostedMessages();
    }
    std::vector<std::string> names;
    for (size_t at = 0; at < stream.size();) {
        const auto sound = std::find_if(sounds_.begin(), sounds_.end(), [&](const auto& s) {
            const auto& b = s.second;
            return stream.size() - at >= b.size() && std::equal(b.begin(), b.end(), stream.begin() + long(at));
        });
        if (sound != sounds_.end()) {
            names.push_back(sound->first);
            at += sound->second.size();
        } else if (stream[at] == 128) {
            ++at;
        } else {  // past the rest of what is not silence
            names.push_back("?");
            while (at < stream.size() && stream[at] != 128) ++at;
        }
    }
    return names;
}

void WindowTest::open(uint32_t clockSeed, const std::optional<PetState>& pet) {
    ear.reset();
    naming.reset();
    form.reset();
    ASSERT_EQ(mixer::view::liveWaveCount(), 0u) << "waves outlived the window";
    if (pet) dir.write("my.dat", serializePet(*pet));
    boxes.shown.clear();
    FormServices s = testServices(boxes, random, dir.path());
    s.clockSeed = [clockSeed] { return clockSeed; };
    form = std::make_unique<TForm1>(std::move(s));
    naming = std::make_unique<TForm2>(form.get(), boxes);
    form->setNamingDialog(naming.get());
    ear = std::make_unique<Ear>(*form, PIKO_CG_DIR "/");
}

PetState WindowTest::saved() const {
    PetState p;
    loadPetFile(dir.path() + "my.dat", p);
    return p;
}
