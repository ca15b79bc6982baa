// startup_bench.cpp -- where the time to the first frame goes: the game's
// start-up steps in the game's own order, each timed, then the first two
// frames (the first one carries the driver's shader compilation).
//   run from the repository root under Xvfb: bench_startup [runs]
// Each run is a fresh process of its own (the window can be opened once per
// process), so the tool starts itself again for every run and prints the
// median of each step.
#include "game/game.h"
#include "model/model.h"
#include "platform/glfw2/glfw2.h"
#include "platform/newton/newton.h"
#include "sound/sound.h"

#include <GL/glu.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

enum { kStepCount = 9 };
static const char* const kSteps[kStepCount] = {
    "window and GL context",         "textures and mipmaps",    "font lists and shadow map",
    "models (OBJ loading)",          "model display lists",     "sound bank",
    "physics scene and table tree",  "first frame (shaders)",   "second frame",
};

static double NowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

static void CompileLists(Game* game)
{
    game->texturedLists = glGenLists(2);
    for (int k = 0; k < 2; ++k) {
        glNewList(game->texturedLists + k, GL_COMPILE);
        DrawModelTextured(game->modelSlots[k], game->textures);
        glEndList();
    }
    game->plainLists = glGenLists(2);
    for (int k = 0; k < 2; ++k) {
        glNewList(game->plainLists + k, GL_COMPILE);
        DrawModelPlain(game->modelSlots[k]);
        glEndList();
    }
}

// The steps of GameStartUp, in its order, with a time after each; the first
// frames are drawn and finished as the player would see them.
static void TimedStartUp(double ms[kStepCount])
{
    Game* game = (Game*)std::calloc(1, sizeof(Game));
    double t = NowMs();
    auto mark = [&](int step) {
        glFinish();
        double now = NowMs();
        ms[step] = now - t;
        t = now;
    };
    InitWindow(&game->window, 0);
    LoadFramebufferProcs();
    mark(0);
    LoadTextures(game->textures, 0.0f);
    mark(1);
    BuildFont(&game->font, game->textures[1], 16.0f, 16.0f, 8);
    InitShadowMap(&game->shadowTexture);
    mark(2);
    game->world = NewtonCreate(nullptr, nullptr);
    NewtonSetPlatformArchitecture(game->world, 2);
    game->modelSlots = (Model**)std::calloc(kModelSlotCount, sizeof(Model*));
    game->objects = (SceneObject*)std::calloc(kObjectCount, sizeof(SceneObject));
    LoadObjModel(&game->modelSlots[0], "Models/Table_Small2.obj", 1);
    LoadObjModel(&game->modelSlots[1], "Models/Ball_small.obj", 5);
    mark(3);
    CompileLists(game);
    mark(4);
    InitSoundBank(&game->soundBuffers, &game->soundSources);
    mark(5);
    SetupPhysicsScene(game->world, game->objects, &game->player, game->modelSlots,
                      game->texturedLists, game->plainLists, game->soundSources);
    InitLights(&game->light);
    game->markerList = BuildMarkerList();
    game->physicsStep = 1.0f / 300.0f;
    game->cameraProjection = (Mat4*)std::calloc(1, sizeof(Mat4));
    game->lightProjection = (Mat4*)std::calloc(1, sizeof(Mat4));
    game->lightView = (Mat4*)std::calloc(1, sizeof(Mat4));
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluPerspective(45.0, 640.0 / 480.0, 0.1, 250.0);
    glGetFloatv(GL_MODELVIEW_MATRIX, game->cameraProjection->m);
    glLoadIdentity();
    gluPerspective(100.0, 1.0, 3.0, 30.0);
    glGetFloatv(GL_MODELVIEW_MATRIX, game->lightProjection->m);
    glLoadIdentity();
    StartRound(game);
    mark(6);
    RunFrame(game);
    mark(7);
    Glfw2GetScript()->time += 1.0 / 60.0;
    RunFrame(game);
    mark(8);
    GameShutDown(game);
    std::free(game);
}

// One run in this process: the step times on one line.
static int RunOnce()
{
    Glfw2Script* script = Glfw2GetScript();
    script->active = 1;
    script->time = 10.0;
    script->mouseX = 320;
    script->mouseY = 240;
    double ms[kStepCount];
    TimedStartUp(ms);
    for (int i = 0; i < kStepCount; ++i)
        std::printf("%.3f ", ms[i]);
    std::printf("\n");
    return 0;
}

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--once") == 0)
        return RunOnce();
    int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<std::vector<double>> times(kStepCount);
    std::vector<double> totals;
    for (int r = 0; r < runs; ++r) {
        std::string command = std::string(argv[0]) + " --once";
        FILE* child = popen(command.c_str(), "r");
        if (!child)
            return 1;
        char line[1024] = {};
        std::string last;
        while (std::fgets(line, sizeof line, child))
            last = line;   // the game's console lines come first
        pclose(child);
        double total = 0.0;
        const char* p = last.c_str();
        for (int i = 0; i < kStepCount; ++i) {
            char* end = nullptr;
            double v = std::strtod(p, &end);
            if (end == p) {
                std::printf("run %d gave no times\n", r);
                return 1;
            }
            times[(size_t)i].push_back(v);
            if (i < kStepCount - 1)
                total += v;
            p = end;
        }
        totals.push_back(total);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::printf("start-up steps, median of %d runs (ms):\n", runs);
    for (int i = 0; i < kStepCount; ++i)
        std::printf("  %-30s %8.1f\n", kSteps[i], median(times[(size_t)i]));
    std::printf("  %-30s %8.1f\n", "to the first frame (sum)", median(totals));
    return 0;
}
