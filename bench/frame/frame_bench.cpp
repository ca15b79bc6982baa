// frame_bench.cpp -- how many whole passes of the game (physics steps, the
// three passes, the HUD and the swap) run per second at 640 x 480, with shadows
// and without, and on a 1920 x 1080 full screen, where the picture is scaled
// into it; also the drawing alone. For the scaled frame to show whole, run it
// on a screen of at least 1920 x 1080 (xvfb-run -s "-screen 0 1920x1080x24").
#include "game/game.h"
#include "platform/glfw2/glfw2.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <unistd.h>

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
        // A window, so that each benchmark can give it the size it measures.
        settings.windowed = 1;
        if (std::getenv("BENCH_NO_HINT"))
            settings.hints = 0;
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

// Gives the window this height and the width of its screen shape: 480 the
// picture's own 640 x 480, 1080 a 1920 x 1080 full screen.
static bool SizeWindow(benchmark::State& state, int height)
{
    int width = height == 480 ? 640 : height * 16 / 9;
    glfwSetWindowSize(width, height);
    int w = 0, h = 0;
    for (int i = 0; i < 500 && (w != width || h != height); ++i) {
        glfwPollEvents();
        glfwGetFramebufferSize(&w, &h);
        usleep(2000);
    }
    glfwSwapBuffers();   // the driver takes the new size at a swap
    if (w == width && h == height)
        return true;
    state.SkipWithError("the window could not be given its size");
    return false;
}

static void BM_WholeFrame(benchmark::State& state)
{
    int found = 0;
    Game* game = StartedGame(&found);
    if (!ChooseShadows(state, found) || !SizeWindow(state, (int)state.range(1)))
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
// The plain and the scaled frame one after the other, so that a busy machine
// slows both alike: compare them as a ratio.
BENCHMARK(BM_WholeFrame)->ArgNames({"shadows", "height"})->Args({1, 480})->Args({1, 1080})
    ->Args({0, 480})->Args({0, 1080})->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// What scaling adds to a frame on a 1920 x 1080 full screen: the picture's
// target bound, the scaling pass and the swap of the larger window, with no
// scene drawn (height:480 is the swap alone at the picture's own size).
static void BM_ScalingOnly(benchmark::State& state)
{
    int found = 0;
    Game* game = StartedGame(&found);
    if (!SizeWindow(state, (int)state.range(0)))
        return;
    for (auto _ : state) {
        BeginGameFrame(&game->window);
        PresentGameFrame(&game->window);
        glfwSwapBuffers();
        glFinish();
    }
}
BENCHMARK(BM_ScalingOnly)->ArgName("height")->Arg(480)->Arg(1080)
    ->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The scene passes and the HUD alone, without physics or the swap.
static void BM_DrawOnly(benchmark::State& state)
{
    int found = 0;
    Game* game = StartedGame(&found);
    if (!ChooseShadows(state, found) || !SizeWindow(state, 480))
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

// The physics of the first pass after the game stood still for ten minutes (a
// machine woken from sleep, a debugger stop, a restored window).
static void BM_StepsAfterTenMinutes(benchmark::State& state)
{
    int found = 0;
    Game* game = StartedGame(&found);
    for (auto _ : state) {
        Glfw2GetScript()->time += 600.0;
        benchmark::DoNotOptimize(RunPhysicsSteps(game));
        state.PauseTiming();
        StartRound(game);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StepsAfterTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
