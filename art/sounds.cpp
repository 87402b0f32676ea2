// The seven sound effects, synthesised from little notes: soft square/sine
// voices with short attacks and decays, glides and vibrato. Each comes in its
// own PCM format on purpose so that loading them exercises every conversion.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "art/art.h"

namespace art {
namespace {

enum class Wave { Sine, Soft, Square, Triangle };

struct Note {
    double start;         // seconds
    double length;        // seconds
    double from, to;      // pitch in Hz, gliding from one to the other
    Wave wave = Wave::Soft;
    double volume = 1.0;
    double vibrato = 0;   // depth as a fraction of the pitch
    double pan = 0;       // -1 left .. 1 right
    double decay = 6.0;   // exponential decay per second
};

double voice(Wave w, double phase) {
    const double s = std::sin(2 * std::numbers::pi * phase);
    switch (w) {
        case Wave::Sine: return s;
        case Wave::Soft: return 0.75 * s + 0.25 * std::sin(6 * std::numbers::pi * phase);  // a rounder square
        case Wave::Square: return s >= 0 ? 0.6 : -0.6;
        case Wave::Triangle: {
            const double f = phase - std::floor(phase);
            return f < 0.5 ? 4 * f - 1 : 3 - 4 * f;
        }
    }
    return 0;
}

// Renders the notes into float frames (stereo pairs).
std::vector<double> render(const std::vector<Note>& notes, int rate, double seconds) {
    const size_t frames = size_t(seconds * rate);
    std::vector<double> out(frames * 2, 0.0);
    for (const Note& n : notes) {
        double phase = 0;
        const size_t first = size_t(n.start * rate), count = size_t(n.length * rate);
        const double attack = 0.006, release = 0.04;
        for (size_t i = 0; i < count && first + i < frames; ++i) {
            const double t = double(i) / rate;
            const double k = t / n.length;
            double f = n.from + (n.to - n.from) * k;
            f *= 1 + n.vibrato * std::sin(2 * std::numbers::pi * 6.0 * t);
            phase += f / rate;
            double env = std::exp(-n.decay * t);
            env *= std::min(1.0, t / attack);
            env *= std::min(1.0, (n.length - t) / release);
            const double v = voice(n.wave, phase) * env * n.volume;
            out[(first + i) * 2] += v * (1 - n.pan) * 0.5;
            out[(first + i) * 2 + 1] += v * (1 + n.pan) * 0.5;
        }
    }
    return out;
}

// Mixes down to the channels wanted, scales the loudest sample to 70 % of full
// scale (no clipping) and fades both ends over 4 ms (no clicks).
Sound encode(const std::vector<double>& frames, int rate, int bits, int channels) {
    std::vector<double> v;
    for (size_t i = 0; i + 1 < frames.size(); i += 2) {
        if (channels == 1) {
            v.push_back(frames[i] + frames[i + 1]);
        } else {
            v.push_back(frames[i]);
            v.push_back(frames[i + 1]);
        }
    }
    double peak = 1e-9;
    for (double x : v) peak = std::max(peak, std::abs(x));
    const size_t count = v.size() / size_t(channels), fade = size_t(0.004 * rate);
    for (size_t i = 0; i < count; ++i) {
        double g = 0.7 / peak;
        if (i < fade) g *= double(i) / double(fade);
        if (count - 1 - i < fade) g *= double(count - 1 - i) / double(fade);
        for (int c = 0; c < channels; ++c) v[i * size_t(channels) + size_t(c)] *= g;
    }
    Sound s;
    s.rate = rate;
    s.bits = bits;
    s.channels = channels;
    const auto sample = [&](double v) {
        v = std::clamp(v, -1.0, 1.0);
        if (bits == 8) {
            s.data.push_back(uint8_t(std::lround(128 + v * 127)));
        } else {
            const auto x = int16_t(std::lround(v * 32767));
            s.data.push_back(uint8_t(uint16_t(x)));
            s.data.push_back(uint8_t(uint16_t(x) >> 8));
        }
    };
    for (double x : v) sample(x);
    return s;
}

// Equal-tempered pitch, A4 = 440 Hz, n semitones from A4.
double pitch(int n) { return 440.0 * std::pow(2.0, n / 12.0); }

}  // namespace

Sound effect(int n) {
    switch (n) {
        case 1: {  // found / petted: a bright rising "pi-ko!"
            const std::vector<Note> notes = {{0.00, 0.12, pitch(7), pitch(12), Wave::Soft, 0.9, 0, 0, 8},
                                             {0.11, 0.22, pitch(16), pitch(19), Wave::Soft, 1.0, 0.01, 0, 7}};
            return encode(render(notes, 11025, 0.36), 11025, 8, 1);
        }
        case 2: {  // name accepted / fed / talked to: a friendly "po-pon"
            const std::vector<Note> notes = {{0.00, 0.10, pitch(3), pitch(3), Wave::Triangle, 1.0, 0, 0, 14},
                                             {0.10, 0.20, pitch(10), pitch(10), Wave::Triangle, 1.0, 0, 0, 10}};
            return encode(render(notes, 22050, 0.32), 22050, 16, 1);
        }
        case 3: {  // killed: a slow falling minor line that sinks away
            const std::vector<Note> notes = {
                {0.00, 0.30, pitch(3), pitch(3), Wave::Sine, 1.0, 0.01, -0.4, 2},
                {0.28, 0.30, pitch(0), pitch(0), Wave::Sine, 0.9, 0.01, 0.0, 2},
                {0.56, 0.62, pitch(-4), pitch(-9), Wave::Sine, 0.9, 0.02, 0.4, 2.5},
                {0.56, 0.62, pitch(-16), pitch(-21), Wave::Triangle, 0.4, 0, -0.2, 2.5}};
            return encode(render(notes, 44100, 1.2), 44100, 16, 2);
        }
        case 4: {  // points: the coin "ding-ding"
            const std::vector<Note> notes = {{0.00, 0.08, pitch(14), pitch(14), Wave::Square, 0.7, 0, -0.3, 4},
                                             {0.07, 0.30, pitch(19), pitch(19), Wave::Square, 0.7, 0, 0.3, 9}};
            return encode(render(notes, 22050, 0.38), 22050, 8, 2);
        }
        case 5: {  // asleep: a soft breathing lullaby, two low sighs
            const std::vector<Note> notes = {{0.00, 0.55, pitch(-12), pitch(-14), Wave::Sine, 0.8, 0.01, 0, 1.5},
                                             {0.60, 0.60, pitch(-17), pitch(-19), Wave::Sine, 0.7, 0.01, 0, 1.5}};
            return encode(render(notes, 22050, 1.22), 22050, 8, 1);
        }
        case 6: {  // crying: a wobbling "ueeen" that falls
            const std::vector<Note> notes = {{0.00, 0.35, pitch(8), pitch(6), Wave::Soft, 0.9, 0.04, 0, 1},
                                             {0.38, 0.60, pitch(10), pitch(1), Wave::Soft, 1.0, 0.05, 0, 1.2}};
            return encode(render(notes, 11025, 1.0), 11025, 16, 1);
        }
        default: {  // happy: a quick major arpeggio up
            std::vector<Note> notes;
            const int steps[] = {3, 7, 10, 15};
            for (int i = 0; i < 4; ++i)
                notes.push_back({0.09 * i, i == 3 ? 0.32 : 0.12, pitch(steps[i]), pitch(steps[i]), Wave::Soft, 0.9,
                                 i == 3 ? 0.012 : 0, -0.45 + 0.3 * i, 6});
            return encode(render(notes, 22050, 0.62), 22050, 16, 2);
        }
    }
}

}  // namespace art
