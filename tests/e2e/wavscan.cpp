// wavscan.cpp -- reads a recording of the game's sound and prints where it is
// loud, for the end-to-end tests:
//   e2e_wavscan recording.wav threshold [reference.wav]
// First line "seconds S peak P"; then one line "start end peak" (seconds) per
// loud stretch (10 ms windows whose peak passes the threshold, gaps under
// 100 ms joined). With a reference sound, a last line "match M at T": the best
// normalised correlation (0 to 1) of the reference's shape with the recording,
// both reduced to 2756 samples a second, and where it lies. A fourth argument
// (Hz) high-passes both first, so that a quiet tune shows over a low rumble:
//   e2e_wavscan recording.wav threshold [reference.wav [cut]]
#include "tests/sound/wavfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

static const int kReducedRate = 2756;

// One channel: each frame's channels averaged.
static std::vector<float> Mono(const WavInfo& wav)
{
    size_t channels = (size_t)wav.channels;
    size_t frames = WavSampleCount(wav) / channels;
    std::vector<float> out(frames);
    for (size_t f = 0; f < frames; ++f) {
        float sum = 0.0f;
        for (size_t c = 0; c < channels; ++c)
            sum += WavSample(wav, f * channels + c);
        out[f] = sum / (float)channels;
    }
    return out;
}

// Averages of consecutive blocks, so both sounds come to the same low rate.
static std::vector<float> Reduce(const std::vector<float>& in, int rate)
{
    double step = (double)rate / kReducedRate;
    std::vector<float> out;
    for (double at = 0.0; at + step <= (double)in.size(); at += step) {
        size_t from = (size_t)at, to = (size_t)(at + step);
        float sum = 0.0f;
        for (size_t k = from; k < to; ++k)
            sum += in[k];
        out.push_back(sum / (float)std::max<size_t>(1, to - from));
    }
    return out;
}

static void PrintLoudSpans(const std::vector<float>& mono, int rate, float threshold)
{
    size_t window = (size_t)rate / 100;
    double start = -1.0, end = -1.0;
    float spanPeak = 0.0f;
    for (size_t w = 0; w + window <= mono.size(); w += window) {
        float peak = 0.0f;
        for (size_t k = w; k < w + window; ++k)
            peak = std::max(peak, std::fabs(mono[k]));
        if (peak < threshold)
            continue;
        double t = (double)w / rate;
        if (start >= 0.0 && t - end > 0.1) {
            std::printf("%.2f %.2f %.3f\n", start, end, spanPeak);
            start = -1.0;
        }
        if (start < 0.0) {
            start = t;
            spanPeak = 0.0f;
        }
        end = t + 0.01;
        spanPeak = std::max(spanPeak, peak);
    }
    if (start >= 0.0)
        std::printf("%.2f %.2f %.3f\n", start, end, spanPeak);
}

// Two one-pole high-pass passes: takes away what lies well below the cut,
// such as the rolling rumble under a jingle.
static std::vector<float> HighPass(const std::vector<float>& in, int rate, double cut)
{
    std::vector<float> out(in);
    if (cut <= 0.0)
        return out;
    double rc = 1.0 / (2.0 * 3.14159265358979 * cut);
    double a = rc / (rc + 1.0 / rate);
    for (int pass = 0; pass < 2; ++pass) {
        double lastIn = 0.0, lastOut = 0.0;
        for (float& v : out) {
            double y = a * (lastOut + v - lastIn);
            lastIn = v;
            lastOut = y;
            v = (float)y;
        }
    }
    return out;
}

static void PrintBestMatch(const std::vector<float>& recording, int rate, const WavInfo& refWav,
                           double cut)
{
    std::vector<float> a = Reduce(HighPass(recording, rate, cut), rate);
    std::vector<float> b = Reduce(HighPass(Mono(refWav), refWav.frequency, cut), refWav.frequency);
    if (b.empty() || a.size() < b.size()) {
        std::printf("match 0 at 0\n");
        return;
    }
    double bb = 0.0;
    for (float v : b)
        bb += (double)v * v;
    double best = 0.0;
    size_t bestAt = 0;
    for (size_t at = 0; at + b.size() <= a.size(); ++at) {
        double ab = 0.0, aa = 0.0;
        for (size_t k = 0; k < b.size(); ++k) {
            ab += (double)a[at + k] * b[k];
            aa += (double)a[at + k] * a[at + k];
        }
        double c = aa > 0.0 && bb > 0.0 ? std::fabs(ab) / std::sqrt(aa * bb) : 0.0;
        if (c > best) {
            best = c;
            bestAt = at;
        }
    }
    std::printf("match %.3f at %.2f\n", best, (double)bestAt / kReducedRate);
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: e2e_wavscan recording.wav threshold [reference.wav [cut]]\n");
        return 2;
    }
    WavInfo wav;
    if (!ReadWav(argv[1], &wav) || wav.channels <= 0 || wav.frequency <= 0) {
        std::fprintf(stderr, "e2e_wavscan: %s is not a WAV recording\n", argv[1]);
        return 1;
    }
    std::vector<float> mono = Mono(wav);
    float peak = 0.0f;
    for (float v : mono)
        peak = std::max(peak, std::fabs(v));
    std::printf("seconds %.2f peak %.3f\n", (double)mono.size() / wav.frequency, peak);
    PrintLoudSpans(mono, wav.frequency, (float)std::atof(argv[2]));
    if (argc > 3) {
        WavInfo ref;
        if (!ReadWav(argv[3], &ref) || ref.channels <= 0 || ref.frequency <= 0) {
            std::fprintf(stderr, "e2e_wavscan: %s is not a WAV file\n", argv[3]);
            return 1;
        }
        PrintBestMatch(mono, wav.frequency, ref, argc > 4 ? std::atof(argv[4]) : 0.0);
    }
    return 0;
}
