// model_bench.cpp -- how fast the OBJ loader reads the table and ball meshes,
// and a generated mesh of several materials whose size is known.
#include "model/model.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>

static void LoadModelFile(benchmark::State& state, const std::string& path, unsigned int base)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        state.SkipWithError((path + " is absent (run the asset generator)").c_str());
        return;
    }
    for (auto _ : state) {
        Model* model = nullptr;
        LoadObjModel(&model, path.c_str(), base);
        if (!model) {
            state.SkipWithError((path + " did not load").c_str());
            return;
        }
        benchmark::DoNotOptimize(model->faces);
        FreeModel(&model);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * info.st_size);
}

static void GameModel(benchmark::State& state, const char* relative, unsigned int base)
{
    LoadModelFile(state, std::string(BALLTOSS_SOURCE_DIR "/") + relative, base);
}
BENCHMARK_CAPTURE(GameModel, Table, "Models/Table_Small2.obj", 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GameModel, Ball, "Models/Ball_small.obj", 5)->Unit(benchmark::kMillisecond);

// A strip of range(0) triangles spread over four materials, in the exporter's layout.
static std::string WriteStrip(int faces)
{
    std::string path = "/tmp/balltoss-bench-strip-" + std::to_string(faces) + ".obj";
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return path;
    int vertices = faces + 2;
    std::fprintf(out, "# Vertices: %d\r\n# Faces: %d\r\n# Materials: 4\r\n", vertices, faces);
    for (int v = 0; v < vertices; ++v)
        std::fprintf(out, "v %.6f %.6f %.6f\r\n", v * 0.01, (v % 2) * 1.0, v * 0.001);
    std::fprintf(out, "#\t               Face list\r\n");
    for (int f = 0; f < faces; ++f) {
        if (f % 64 == 0)
            std::fprintf(out, "usemtl %d\r\n", (f / 64) % 4);
        std::fprintf(out, "vt %.6f 0.0\r\nvt %.6f 1.0\r\nvt %.6f 0.5\r\nf %d/1/1 %d/2/1 %d/3/1\r\n",
                     f * 0.1, f * 0.1, f * 0.1, f + 1, f + 2, f + 3);
    }
    std::fclose(out);
    return path;
}

static void GeneratedStrip(benchmark::State& state)
{
    LoadModelFile(state, WriteStrip((int)state.range(0)), 1);
    std::remove(("/tmp/balltoss-bench-strip-" + std::to_string(state.range(0)) + ".obj").c_str());
}
BENCHMARK(GeneratedStrip)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
