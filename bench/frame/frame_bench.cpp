// frame_bench.cpp -- how many whole passes of the game (physics steps, the
// three passes, the HUD and the swap) run per second at 640 x 480, with shadows
// and without; also the drawing alone.
#include "game/game.h"
#include "platform/glfw2/glfw2.h"

#include <benchmark/benchmark.h>
#include <cstdlib>

static const double kFrameTime = 1.0 / 60.0;   // scripted time per pass: six physics steps

// One game for the whole program, started on a scripted clock. The texture
// filtering a player may choose with --anisotropy comes from the environment
// here: BENCH_ANISOTROPY=1 measures the frame of a player without a GPU.
static Game* StartedGame(int* shadowsFound)
{
    static Game* game = nullptr;
    static int found = 0;
    if (!game) {
        Settings settings;
        DefaultSettings(&settings);
        if (const char* anisotropy = std::getenv("BENCH_ANISOTROPY"))
            settings.anisotropy = std::atoi(anisotropy);
        Glfw2Script* script = Glfw2GetScript();
        script->active = 1;
        script->time = 10.0;
        script->mouseX = 320;
        script->mouseY = 240;
        game = (Game*)std::calloc(1, sizeof(Game));
        GameStartUp(game, &settings);
        found = shadowsEnabled;
        StartRound(game);
    }
    *shadowsFound = found;
    return game;
}

// Keeps the round from ending while the benchmark runs.
static void KeepRoundGoing(benchmark::State& state, Game* game)
{
    if (Glfw2GetScript()->time - game->roundStartTime < 250.0)
        return;
    state.PauseTiming();
    StartRound(game);
    state.ResumeTiming();
}

static bool ChooseShadows(benchmark::State& state, int found)
{
    if (state.range(0) && !found) {
        state.SkipWithError("this driver gives no shadows");
        return false;
    }
    shadowsEnabled = state.range(0) ? found : 0;
    return true;
}

static void BM_WholeFrame(benchmark::State& state)
{
    int found = 0;
    Game* game = StartedGame(&found);
    if (!ChooseShadows(state, found))
        return;
    for (auto _ : state) {
        Glfw2GetScript()->time += kFrameTime;
        RunFrame(game);
        glFinish();
        KeepRoundGoing(state, game);
    }
    state.counters["fps"] = benchmark::Counter((double)state.iterations(),
                                               benchmark::Counter::kIsRate);
    shadowsEnabled = found;
}
BENCHMARK(BM_WholeFrame)->ArgName("shadows")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MinTime(3.0);

// The scene passes and the HUD alone, without physics or the swap.
static void BM_DrawOnly(benchmark::State& state)
{
    int found = 0;
    Game* game = StartedGame(&found);
    if (!ChooseShadows(state, found))
        return;
    SceneView view = GameSceneView(game);
    for (auto _ : state) {
        RenderScene(&view);
        DrawHud(game);
        glFinish();
    }
    state.counters["fps"] = benchmark::Counter((double)state.iterations(),
                                               benchmark::Counter::kIsRate);
    shadowsEnabled = found;
}
BENCHMARK(BM_DrawOnly)->ArgName("shadows")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->MinTime(3.0);

// The scene drawn from against the back wall, where the eye is in the plane of
// the hood's sloping front, seen nearly edge-on: the frame that llvmpipe's
// anisotropic filtering takes seconds over (BENCH_ANISOTROPY=16 shows it there).
static void BM_EdgeOnView(benchmark::State& state)
{
    int found = 0;
    Game* game = StartedGame(&found);
    SceneView view = GameSceneView(game);
    Player* player = &game->player;
    const Vec3 standing = player->frame.position;
    player->frame.position = Vec3{0.0f, 2.0f, 6.49f};
    for (auto _ : state) {
        player->pitch = player->yaw = player->roll = 0.0f;
        RenderScene(&view);
        glFinish();
    }
    player->frame.position = standing;
}
BENCHMARK(BM_EdgeOnView)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
