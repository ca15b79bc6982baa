// math_bench.cpp -- cost of the math the physics callbacks and the camera use
// every step and every pass.
#include "math/vecmath.h"

#include <benchmark/benchmark.h>

static void BM_Vec3Normalize(benchmark::State& state)
{
    Vec3 v = {0.3f, -1.2f, 2.5f};
    for (auto _ : state) {
        Vec3 n = v;
        Vec3Normalize(&n);
        benchmark::DoNotOptimize(n);
        v.x += 1e-7f;
    }
}
BENCHMARK(BM_Vec3Normalize);

static void BM_TriangleNormal(benchmark::State& state)
{
    Vec3 corners[3] = {{0, 0, 0}, {1, 0.1f, 0}, {0, 1, 0.2f}};
    for (auto _ : state) {
        benchmark::DoNotOptimize(TriangleNormal(corners));
        corners[0].x += 1e-7f;
    }
}
BENCHMARK(BM_TriangleNormal);

static void BM_Mat4Multiply(benchmark::State& state)
{
    Mat4 a, b;
    for (int i = 0; i < 16; ++i) {
        a.m[i] = 0.01f * (float)i;
        b.m[i] = 0.02f * (float)(16 - i);
    }
    for (auto _ : state) {
        Mat4 r = a;
        Mat4Multiply(&r, &b);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_Mat4Multiply);

static void BM_ViewRotations(benchmark::State& state)
{
    Vec3 forward = {0, 0, -1}, right = {1, 0, 0}, up = {0, 1, 0};
    for (auto _ : state) {
        PitchView(&forward, &right, &up, 0.001f);
        YawView(&forward, &right, &up, 0.002f);
        RollView(&forward, &right, &up, -right.y);
        benchmark::DoNotOptimize(forward);
    }
}
BENCHMARK(BM_ViewRotations);
