// The files the program reads beside itself, gone bad, through the real
// window: every picture of cg/ (the door at start-up, each face strip at the
// face tick, the dead face at a death and at a kill), every sound of cg/
// (the four preloads and every play) and SOUNDMIX.INI. Each damage has one
// clear outcome and the program goes on.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>

#include "app/form1.h"
#include "app/form2.h"
#include "app/qt_text.h"
#include "app/save_file.h"
#include "app/text_box.h"
#include "art/art.h"
#include "mixer/views.h"
#include "platform/cp932.h"
#include "platform/profile_ini.h"
#include "platform/virtual_wave_out.h"
#include "tests/support/support.h"
#include "tests/rules/draws.h"

namespace {

using Bytes = std::string;

template <size_t N>
Bytes raw(const char (&literal)[N]) {
    return Bytes(literal, N - 1);
}

// One way a file can be bad: what to put in its place (nullopt: remove it).
struct Damage {
    std::string name;
    std::function<std::optional<Bytes>(const Bytes& good)> make;
};

Bytes randomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes b(n, '\0');
    for (auto& c : b) c = char(rng());
    return b;
}

void putLE32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = char(v >> (8 * i));
}

size_t findChunk(const Bytes& b, const char* id) {
    const size_t at = b.find(id, 12);
    return at == Bytes::npos ? 0 : at;
}

// The damages every file of cg/ gets: gone, empty, cut at several points, noise.
std::vector<Damage> commonDamages() {
    std::vector<Damage> d = {
        {"missing", [](const Bytes&) -> std::optional<Bytes> { return std::nullopt; }},
        {"zero bytes", [](const Bytes&) -> std::optional<Bytes> { return Bytes(); }},
        {"random bytes", [](const Bytes& g) -> std::optional<Bytes> { return randomBytes(g.size(), 77); }},
        {"text", [](const Bytes&) -> std::optional<Bytes> { return Bytes("this is not what you think\r\n"); }},
    };
    for (const double at : {0.0001, 0.002, 0.02, 0.5, 0.999}) {
        d.push_back({"cut at " + std::to_string(at), [at](const Bytes& g) -> std::optional<Bytes> {
                         return g.substr(0, std::max<size_t>(1, size_t(double(g.size()) * at)));
                     }});
    }
    return d;
}

class BadFiles : public ::testing::Test {
protected:
    TempDir dir;
    ScriptedBoxes boxes;
    Random random{3};
    VirtualWaveOut wave;
    VirtualWaveOut::Use use{wave};
    std::unique_ptr<TForm1> form;
    std::unique_ptr<TForm2> form2;

    void SetUp() override {
        SetProfileDirectory(dir.path());
        dir.copyCg();
    }
    void TearDown() override {
        drop();
        DispatchPostedMessages();
    }

    TForm1& build() {
        FormServices s = testServices(boxes, random, dir.path());
        s.clockSeed = [] { return 5u; };
        form = std::make_unique<TForm1>(std::move(s));
        for (QTimer* t : timers(*form)) t->stop();
        form2 = std::make_unique<TForm2>(form.get(), boxes);
        form->setNamingDialog(form2.get());
        return *form;
    }
    void drop() {
        form2.reset();
        form.reset();
    }

    // Fed from 17: dead, carried out at the next status tick.
    void burst(TForm1& f) {
        random.seed(seedFor({is(2, 1)}));
        f.gohan_bClick();
        ASSERT_EQ(f.pet().condition, sinu);
    }

    void savePet(int32_t condition, int32_t fullness = 10) {
        PetState p;
        p.pet_name = cp932("ぴこ");
        p.age = 3;
        p.intellect = 5;
        p.morals = 10;
        p.vigor = 10;
        p.fullness = fullness;
        p.condition = condition;
        p.word_count = 1;
        p.words[0] = cp932("こんにちは");
        dir.write("my.dat", serializePet(p));
    }

    // Puts the damaged file in place of the good one; returns the good bytes.
    Bytes damage(const std::string& file, const Damage& d) {
        const Bytes good = dir.read("cg/" + file);
        std::filesystem::remove(dir.path() + "cg/" + file);
        if (const auto bad = d.make(good)) dir.write("cg/" + file, *bad);
        return good;
    }

    std::string openError(const std::string& file) const {
        return errorBoxText(cp932("ﾌｧｲﾙ ") + dir.path() + "cg/" + file + cp932(" は開けません"));
    }

    // Hears everything queued, handling the device's messages as the event loop would.
    size_t hearAll() {
        size_t loud = 0;
        while (wave.queued() > 0) {
            const WaveHeader* h = wave.queuedHeader(0);
            for (uint32_t i = 0; i < h->bufferLength; ++i) loud += h->data[i] != 128;
            wave.complete(1);
            DispatchPostedMessages();
        }
        return loud;
    }

    // The program goes on: a pet can be found, fed, petted and talked to, and
    // the faces keep being drawn; no box but the ones the actions bring.
    void expectItGoesOn(TForm1& f) {
        if (control<QPushButton>(f, "sagasu_b")->isEnabled()) {
            boxes.perBox.push_back([this] {
                control<PetLineEdit>(*form2, "edit_l")->setText(QStringLiteral("pi"));
                form2->edit_bClick();
            });
            f.sagasu_bClick();
        }
        ASSERT_FALSE(control<QPushButton>(f, "sagasu_b")->isEnabled());
        f.gohan_bClick();
        f.cgClick();
        control<PetLineEdit>(f, "edit_l")->setText(QStringLiteral("hello"));
        f.edit_bClick();
        for (int i = 0; i < 200; ++i) f.Timer1Timer();
        EXPECT_FALSE(f.closed());
        EXPECT_EQ(f.pet().words[size_t(f.pet().word_count - 1)], "hello");
    }
};

// ---- pictures

struct PictureCase {
    std::string file;
    enum When { AtStart, AtFaceTick, AtDeath, AtKill } when;
    int32_t condition;  // the pet's condition that needs the file
};

std::vector<PictureCase> pictureCases() {
    std::vector<PictureCase> c = {{"door.bmp", PictureCase::AtStart, sinu},
                                  {"sinu.bmp", PictureCase::AtDeath, sinu},
                                  {"sinu.bmp", PictureCase::AtKill, futu},
                                  {"sinu.bmp", PictureCase::AtFaceTick, sinu}};
    // The living faces, named as cggen writes them (sinu is above).
    for (int32_t i = 0; i < sinu; ++i)
        c.push_back({std::string(art::kFaceNames[size_t(i)]) + ".bmp", PictureCase::AtFaceTick, i});
    return c;
}

std::vector<Damage> pictureDamages() {
    std::vector<Damage> d = commonDamages();
    d.push_back({"one byte short", [](const Bytes& g) -> std::optional<Bytes> { return g.substr(0, g.size() - 1); }});
    // A PNG that only bears the bitmap's name.
    d.push_back({"PNG renamed", [](const Bytes& g) -> std::optional<Bytes> {
                     QImage image = QImage::fromData(QByteArray(g.data(), qsizetype(g.size())), "BMP");
                     QByteArray png;
                     QBuffer buffer(&png);
                     buffer.open(QIODevice::WriteOnly);
                     image.save(&buffer, "PNG");
                     return Bytes(png.constData(), size_t(png.size()));
                 }});
    // Headers that promise more than any file holds.
    d.push_back({"huge width", [](const Bytes& g) -> std::optional<Bytes> {
                     Bytes b = g;
                     putLE32(b, 18, 0x7FFFFFFF);
                     return b;
                 }});
    d.push_back({"pixels past the end", [](const Bytes& g) -> std::optional<Bytes> {
                     Bytes b = g;
                     putLE32(b, 10, 0xFFFFFFF0u);
                     return b;
                 }});
    return d;
}

TEST_F(BadFiles, EveryPictureBrokenGivesItsOpenErrorAndTheProgramGoesOn) {
    for (const PictureCase& pc : pictureCases()) {
        for (const Damage& d : pictureDamages()) {
            SCOPED_TRACE(pc.file + " " + d.name + " when " + std::to_string(int(pc.when)));
            // Whatever the last case broke is whole again.
            std::filesystem::copy(PIKO_CG_DIR, dir.path() + "cg",
                                  std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
            // A pet at 17 bursts when fed (sinu): the death not yet carried out.
            const bool diesFed = pc.condition == sinu && pc.when != PictureCase::AtStart;
            savePet(diesFed ? futu : pc.condition, diesFed ? 17 : 10);
            damage(pc.file, d);
            boxes.shown.clear();
            TForm1& f = build();
            switch (pc.when) {
                case PictureCase::AtStart:
                    break;
                case PictureCase::AtFaceTick:
                    // sinu's strip shows while the death is not yet carried out.
                    if (diesFed) burst(f);
                    f.Timer5Timer();
                    f.Timer5Timer();  // tried again at every tick; one report at a time, each shown
                    break;
                case PictureCase::AtDeath:
                    burst(f);
                    f.Timer1Timer();
                    break;
                case PictureCase::AtKill:
                    boxes.answer = true;
                    f.korosu_bClick();
                    break;
            }
            std::vector<std::string> errors;
            for (const auto& s : boxes.shown)
                if (s.kind == "error") errors.push_back(s.text);
            if (errors.empty()) {
                ADD_FAILURE() << "no error box: the damaged picture was taken";
                drop();
                continue;
            }
            for (const auto& e : errors) EXPECT_EQ(e, openError(pc.file));
            EXPECT_FALSE(f.closed());
            // No pet lives after a death or kill whose face could not be shown,
            // nor in an empty room without its door.
            if (pc.when != PictureCase::AtFaceTick) EXPECT_TRUE(control<QPushButton>(f, "sagasu_b")->isEnabled());
            else EXPECT_FALSE(control<QPushButton>(f, "sagasu_b")->isEnabled());
            if (pc.when == PictureCase::AtFaceTick && pc.condition == sinu) {
                // A dead pet has no other strip; carried out, its death cannot show its face either.
                boxes.shown.clear();
                f.Timer1Timer();
                ASSERT_EQ(boxes.shown.size(), 1u);
                EXPECT_EQ(boxes.shown[0].kind, "error");
                EXPECT_EQ(boxes.shown[0].text, openError(pc.file));
            } else if (pc.when == PictureCase::AtFaceTick) {
                // Another, good strip: futu falls asleep, neru wakes, any other mood turns futu.
                if (pc.condition == futu || pc.condition == neru) {
                    random.seed(seedFor({is(2, 1)}));
                    f.Timer6Timer();
                } else {
                    random.seed(seedFor({not_(3, 0), is(2, 0)}));
                    f.Timer2Timer();
                }
                ASSERT_NE(f.pet().condition, pc.condition);
                boxes.shown.clear();
                f.Timer5Timer();
                EXPECT_TRUE(boxes.shown.empty());
                EXPECT_FALSE(f.faceBitmap().isNull());
            }
            boxes.shown.clear();
            expectItGoesOn(f);
            drop();
        }
    }
}

// ---- sounds

std::vector<Damage> soundDamages() {
    std::vector<Damage> d = commonDamages();
    // The data chunk's last sample is missing (what follows it may be padding only).
    d.push_back({"last sample missing", [](const Bytes& g) -> std::optional<Bytes> {
                     const size_t data = findChunk(g, "data");
                     uint32_t size = 0;
                     for (int i = 3; i >= 0; --i) size = size << 8 | uint8_t(g[data + 4 + size_t(i)]);
                     return g.substr(0, data + 8 + size - 1);
                 }});
    d.push_back({"data claims 4 GiB", [](const Bytes& g) -> std::optional<Bytes> {
                     Bytes b = g;
                     putLE32(b, findChunk(b, "data") + 4, 0xFFFFFFFFu);
                     return b;
                 }});
    d.push_back({"RIFF claims 4 GiB", [](const Bytes& g) -> std::optional<Bytes> {
                     Bytes b = g;
                     putLE32(b, 4, 0xFFFFFFFFu);
                     putLE32(b, findChunk(b, "data") + 4, 0xFFFFFFF0u);
                     return b;
                 }});
    d.push_back({"fmt with 0 channels", [](const Bytes& g) -> std::optional<Bytes> {
                     Bytes b = g;
                     const size_t fmt = findChunk(b, "fmt ");
                     b[fmt + 10] = 0;
                     b[fmt + 11] = 0;
                     return b;
                 }});
    d.push_back({"fmt with rate 0", [](const Bytes& g) -> std::optional<Bytes> {
                     Bytes b = g;
                     putLE32(b, findChunk(b, "fmt ") + 12, 0);
                     return b;
                 }});
    d.push_back({"fmt with 0 bits", [](const Bytes& g) -> std::optional<Bytes> {
                     Bytes b = g;
                     const size_t fmt = findChunk(b, "fmt ");
                     b[fmt + 22] = 0;
                     b[fmt + 23] = 0;
                     return b;
                 }});
    d.push_back({"not PCM", [](const Bytes& g) -> std::optional<Bytes> {
                     Bytes b = g;
                     b[findChunk(b, "fmt ") + 8] = 2;
                     return b;
                 }});
    d.push_back({"no data chunk", [](const Bytes& g) -> std::optional<Bytes> {
                     Bytes b = g;
                     b.replace(findChunk(b, "data"), 4, "date");
                     return b;
                 }});
    return d;
}

TEST_F(BadFiles, EverySoundBrokenIsSilentAndThePetLivesOn) {
    const char* const files[] = {"1.wav", "2.wav", "3.wav", "4.wav", "5.wav", "6.wav", "7.wav"};
    for (const char* file : files) {
        for (const Damage& d : soundDamages()) {
            SCOPED_TRACE(std::string(file) + " " + d.name);
            std::filesystem::copy(PIKO_CG_DIR, dir.path() + "cg",
                                  std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
            savePet(futu);
            damage(file, d);
            boxes.shown.clear();
            TForm1& f = build();
            // The file itself cannot be loaded, with the mixer's own error.
            try {
                f.soundMix()->FreeWave(f.soundMix()->OpenWave((dir.path() + "cg/" + file).c_str()));
                ADD_FAILURE() << "the damaged file loaded";
            } catch (const ESoundMixError& e) {
                EXPECT_FALSE(e.message().empty());
            }
            // A broken preload leaves it and those after it (7, 6, 1, 5) empty.
            const std::string order = "7615";
            const size_t broken = order.find(file[0]);
            const TForm1::Preloaded loaded = f.preloaded();
            const hMixWave pre[] = {loaded.wave_7, loaded.wave_6, loaded.wave_last, loaded.wave_5};
            for (size_t i = 0; i < 4; ++i) EXPECT_EQ(pre[i] == 0, broken != std::string::npos && i >= broken) << i;

            // Every sound the pet makes: its moods (5, 6, 7), each pet started in
            // its mood, then found (1), named (2), fed (2), petted (1), talked to
            // (2 and 4), killed (3).
            for (const int32_t mood : {neru, naku, uresi}) {
                drop();
                savePet(mood);
                TForm1& moody = build();
                for (int i = 0; i < 12; ++i) moody.Timer7Timer();
                hearAll();
            }
            drop();
            savePet(futu);
            TForm1& g = build();
            g.gohan_bClick();
            g.cgClick();
            control<PetLineEdit>(g, "edit_l")->setText(QStringLiteral("hello"));
            g.edit_bClick();
            const size_t heardBeforeKill = hearAll();
            boxes.answer = true;
            g.korosu_bClick();
            hearAll();
            EXPECT_GT(heardBeforeKill, 0u) << "the good sounds must still be heard";
            EXPECT_EQ(mixer::view::poolFreeCount(), 100);
            for (const auto& s : boxes.shown) EXPECT_EQ(s.kind, "confirm") << qtText(s.text).toStdString();
            EXPECT_TRUE(control<QPushButton>(g, "sagasu_b")->isEnabled());
            boxes.shown.clear();
            expectItGoesOn(g);
            hearAll();
            EXPECT_FALSE(g.closed());
            drop();
            EXPECT_EQ(mixer::view::liveWaveCount(), 0u);
        }
    }
}

// ---- SOUNDMIX.INI

std::vector<std::pair<std::string, Bytes>> iniCases() {
    std::vector<std::pair<std::string, Bytes>> c = {
        {"empty", ""},
        {"binary", raw("\0\0\0[default]\0WaveBlocks=\0\xff\xfe")},
        {"huge values",
         "[default]\nRemix=99999999999999999999\nGoodWavePos=4294967296\nWaveBlocks=2147483648\n"
         "WaveBlockLen=4294967295\nSamplesPerSec=18446744073709551616\n[general]\nWaveOutDevice=99999999999\n"},
        {"negative numbers",
         "[default]\nRemix=-2\nGoodWavePos=-1\nWaveBlocks=-6\nWaveBlockLen=-4096\nSamplesPerSec=-44\n"
         "[general]\nWaveOutDevice=-7\n"},
        {"missing =", "[default]\nWaveBlocks 6\nWaveBlockLen\n=\n==3\nSamplesPerSec:44\n"},
        {"broken sections", "[default\nWaveBlocks=1\n[]\n[[general]]]\nWaveOutDevice=5\n]default[\nWaveBlockLen=7\n"},
        {"words for numbers", "[default]\nWaveBlocks=six\nWaveBlockLen=0x1000\nSamplesPerSec=4 4\nRemix= 2 \n"},
        {"a very long line", "[default]\nWaveBlockLen=" + Bytes(1 << 20, '9') + "\n"},
        {"UTF-16 with a BOM", raw("\xff\xfe[\0d\0e\0f\0a\0u\0l\0t\0]\0\n\0W\0a\0v\0e\0B\0l\0o\0c\0k\0s\0=\0\x39\0")},
        {"every key twice",
         "[default]\nWaveBlocks=9\nWaveBlocks=1\nWaveBlockLen=100\nWaveBlockLen=5000\n[Virtual Wave Out]\nWaveBlocks=0\n"},
    };
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        // Noise, with the keys and brackets sown into it now and then.
        Bytes b = randomBytes(64 + seed * 97, seed);
        const char* sown[] = {"[default]\n", "WaveBlocks=", "WaveBlockLen=", "SamplesPerSec=", "Remix=", "\n", "="};
        for (size_t i = 0; i < b.size(); i += 23) b.insert(i, sown[(i / 23 + seed) % 7]);
        c.push_back({"noise " + std::to_string(seed), b});
    }
    return c;
}

TEST_F(BadFiles, GarbageSoundMixIniStartsWithDefaultsOrClampedValuesAndPlays) {
    for (const auto& [name, content] : iniCases()) {
        SCOPED_TRACE(name);
        dir.write("SOUNDMIX.INI", content);
        savePet(futu);
        boxes.shown.clear();
        TForm1& f = build();
        EXPECT_TRUE(boxes.shown.empty());
        ASSERT_TRUE(f.soundMix());
        const std::optional<mixer::view::Settings> s = mixer::view::settings(f.soundMix()->session());
        ASSERT_TRUE(s);
        EXPECT_GE(s->blocksInUse, 2);
        EXPECT_LE(s->blocksInUse, 6);
        EXPECT_GE(s->blockLength, 512);
        EXPECT_LE(s->blockLength, 4096);
        EXPECT_EQ(s->blockLength % 4, 0);
        EXPECT_TRUE(s->format.samplesPerSec == 11025 || s->format.samplesPerSec == 22050 ||
                    s->format.samplesPerSec == 44100);
        EXPECT_EQ(s->format.channels, 1);
        EXPECT_TRUE(wave.isOpen());
        f.PlaySound("2.wav");
        EXPECT_GT(hearAll(), 0u) << "no sound heard";
        EXPECT_EQ(mixer::view::poolFreeCount(), 100);
        expectItGoesOn(f);
        drop();
    }
}

}  // namespace
