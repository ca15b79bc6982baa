// noise.cpp -- the generator's own random numbers and tiling value noise.
#include "tools/assetgen/assetgen.h"

#include <cmath>

void RngSeed(Rng* rng, uint64_t seed)
{
    rng->state = seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull;
    if (rng->state == 0) {
        rng->state = 1;
    }
}

uint32_t RngNext(Rng* rng)
{
    uint64_t x = rng->state;
    x ^= x >> 12;
    x ^= x << 25;
    x ^= x >> 27;
    rng->state = x;
    return (uint32_t)((x * 0x2545F4914F6CDD1Dull) >> 32);
}

double RngUnit(Rng* rng)
{
    return RngNext(rng) / 4294967296.0;
}

double RngRange(Rng* rng, double lo, double hi)
{
    return lo + (hi - lo) * RngUnit(rng);
}

void NoiseInit(Noise* noise, int period, uint64_t seed)
{
    Rng rng;
    RngSeed(&rng, seed);
    noise->period = period;
    noise->values.resize((size_t)period * period);
    for (float& v : noise->values) {
        v = (float)RngUnit(&rng);
    }
}

static double Fade(double t)
{
    return t * t * (3.0 - 2.0 * t);
}

static double Lattice(const Noise* noise, int x, int y)
{
    int p = noise->period;
    x = ((x % p) + p) % p;
    y = ((y % p) + p) % p;
    return noise->values[(size_t)y * p + x];
}

double NoiseAt(const Noise* noise, double x, double y)
{
    double fx = std::floor(x);
    double fy = std::floor(y);
    int ix = (int)fx;
    int iy = (int)fy;
    double tx = Fade(x - fx);
    double ty = Fade(y - fy);
    double a = Mix(Lattice(noise, ix, iy), Lattice(noise, ix + 1, iy), tx);
    double b = Mix(Lattice(noise, ix, iy + 1), Lattice(noise, ix + 1, iy + 1), tx);
    return Mix(a, b, ty);
}

std::vector<Noise> FractalInit(int basePeriod, int octaves, uint64_t seed)
{
    std::vector<Noise> noises((size_t)octaves);
    for (int k = 0; k < octaves; ++k) {
        NoiseInit(&noises[(size_t)k], basePeriod << k, seed + 7919u * (uint64_t)k);
    }
    return noises;
}

// x and y are in cells of the first octave; octave k samples at 2^k times that.
double FractalAt(const std::vector<Noise>& noises, double x, double y)
{
    double sum = 0.0;
    double weight = 0.5;
    double total = 0.0;
    double scale = 1.0;
    for (const Noise& n : noises) {
        sum += weight * NoiseAt(&n, x * scale, y * scale);
        total += weight;
        weight *= 0.5;
        scale *= 2.0;
    }
    return sum / total;
}

double Clamp01(double v)
{
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

double SmoothStep(double e0, double e1, double x)
{
    double t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}

double Mix(double a, double b, double t)
{
    return a + (b - a) * t;
}
