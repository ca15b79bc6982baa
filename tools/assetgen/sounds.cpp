// sounds.cpp -- the game's sound effects, synthesised from fixed seeds.
#include "tools/assetgen/assetgen.h"

#include <algorithm>
#include <cmath>

static const double kTwoPi = 6.28318530717958647692;

// Scales the samples so the loudest one sits at `peak`.
static void Normalise(std::vector<float>* samples, double peak)
{
    double top = 0.0;
    for (float s : *samples) {
        top = std::max(top, (double)std::fabs(s));
    }
    if (top <= 0.0) {
        return;
    }
    for (float& s : *samples) {
        s = (float)(s * peak / top);
    }
}

// A hard ball knocking on wood: a click of noise and a few quickly dying modes.
std::vector<float> MakeKnockSound()
{
    const int count = kSampleRate * 18 / 100;
    std::vector<float> out((size_t)count);
    const double modes[4][3] = {
        // frequency, amplitude, decay time (s)
        {310.0, 1.0, 0.045}, {742.0, 0.55, 0.030}, {1390.0, 0.35, 0.018}, {2630.0, 0.2, 0.010}};
    Rng rng;
    RngSeed(&rng, 601);
    double lowpass = 0.0;
    for (int i = 0; i < count; ++i) {
        double t = (double)i / kSampleRate;
        double v = 0.0;
        for (const auto& m : modes) {
            v += m[1] * std::sin(kTwoPi * m[0] * t) * std::exp(-t / m[2]);
        }
        double noise = RngRange(&rng, -1.0, 1.0);
        lowpass += 0.35 * (noise - lowpass);
        v += 0.9 * lowpass * std::exp(-t / 0.004);
        double attack = std::min(1.0, t / 0.0008);
        out[(size_t)i] = (float)(v * attack);
    }
    Normalise(&out, 0.85);
    return out;
}

// A low rumble that loops without a seam: every partial completes a whole number
// of cycles over the loop, and so does the slow wobble of a rolling ball.
std::vector<float> MakeRollingSound()
{
    const int count = kSampleRate;            // one second
    std::vector<float> out((size_t)count, 0.0f);
    Rng rng;
    RngSeed(&rng, 702);
    for (int k = 40; k <= 900; k += 3) {
        double amp = 1.0 / (1.0 + std::pow(k / 180.0, 2.0));
        amp *= RngRange(&rng, 0.4, 1.0);
        double phase = RngRange(&rng, 0.0, kTwoPi);
        double step = kTwoPi * k / count;
        for (int i = 0; i < count; ++i) {
            out[(size_t)i] += (float)(amp * std::sin(step * i + phase));
        }
    }
    for (int i = 0; i < count; ++i) {
        double wobble = 0.75 + 0.25 * std::sin(kTwoPi * 6.0 * i / count);
        out[(size_t)i] = (float)(out[(size_t)i] * wobble);
    }
    Normalise(&out, 0.7);
    return out;
}

// One bell-like note: a few harmonics with a soft attack and an exponential tail.
static void AddNote(std::vector<float>* out, double start, double length, double freq,
                    double gain, double brightness)
{
    int first = (int)(start * kSampleRate);
    int count = (int)(length * kSampleRate);
    for (int i = 0; i < count && first + i < (int)out->size(); ++i) {
        double t = (double)i / kSampleRate;
        double env = std::min(1.0, t / 0.01) * std::exp(-3.0 * t / length);
        double vibrato = 1.0 + 0.004 * std::sin(kTwoPi * 5.5 * t) * std::min(1.0, t / 0.2);
        double v = 0.0;
        double amp = 1.0;
        for (int h = 1; h <= 6; ++h) {
            v += amp * std::sin(kTwoPi * freq * h * vibrato * t);
            amp *= brightness;
        }
        (*out)[(size_t)(first + i)] += (float)(gain * env * v);
    }
}

static double Semitone(double base, int steps)
{
    return base * std::pow(2.0, steps / 12.0);
}

// Rank 1: rising fanfare and a held major chord; rank 2: a three-note arpeggio;
// rank 3: a short two-note chime.
std::vector<float> MakeWinSound(int rank)
{
    const double c5 = 523.2511;
    std::vector<float> out;
    if (rank == 1) {
        out.assign((size_t)(kSampleRate * 2.2), 0.0f);
        const int run[6] = {0, 4, 7, 12, 16, 19};
        for (int k = 0; k < 6; ++k) {
            AddNote(&out, 0.09 * k, 0.35, Semitone(c5, run[k]), 0.8, 0.55);
        }
        const int chord[4] = {0, 4, 7, 12};
        for (int k = 0; k < 4; ++k) {
            AddNote(&out, 0.6, 1.55, Semitone(c5, chord[k]), 0.6, 0.6);
        }
        AddNote(&out, 0.6, 1.55, Semitone(c5, -12), 0.5, 0.7);
    } else if (rank == 2) {
        out.assign((size_t)(kSampleRate * 1.0), 0.0f);
        const int run[3] = {7, 12, 16};
        for (int k = 0; k < 3; ++k) {
            AddNote(&out, 0.11 * k, 0.7 - 0.11 * k, Semitone(c5, run[k] - 5), 0.8, 0.45);
        }
    } else {
        out.assign((size_t)(kSampleRate * 0.5), 0.0f);
        AddNote(&out, 0.0, 0.25, Semitone(c5, 2), 0.8, 0.3);
        AddNote(&out, 0.1, 0.38, Semitone(c5, 9), 0.8, 0.3);
    }
    Normalise(&out, 0.8);
    return out;
}
