// startup.cpp -- creates every long-lived object in order, starts rounds, and
// takes everything down again after the last pass.
#include "game/game.h"

#include "model/model.h"
#include "platform/glfw2/glfw2.h"
#include "platform/replay/replay.h"
#include "platform/newton/newton.h"
#include "sound/sound.h"

#include <GL/glu.h>
#include <cstdlib>
#include <cstring>

static Mat4* NewZeroMatrix()
{
    return (Mat4*)std::calloc(1, sizeof(Mat4));
}

// Reads a projection built on the model-view stack.
static void ComputeProjection(Mat4* out, double fovY, double aspect, double zNear, double zFar)
{
    glLoadIdentity();
    gluPerspective(fovY, aspect, zNear, zFar);
    glGetFloatv(GL_MODELVIEW_MATRIX, out->m);
}

static void CompileModelLists(Game* game)
{
    game->texturedLists = glGenLists(2);
    for (int k = 0; k < 2; ++k) {
        glNewList(game->texturedLists + k, GL_COMPILE);
        if (game->modelSlots[k])
            DrawModelTextured(game->modelSlots[k], game->textures);
        glEndList();
    }
    game->plainLists = glGenLists(2);
    for (int k = 0; k < 2; ++k) {
        glNewList(game->plainLists + k, GL_COMPILE);
        if (game->modelSlots[k])
            DrawModelPlain(game->modelSlots[k]);
        glEndList();
    }
}

void GameStartUp(Game* game, const Settings* settings)
{
    if (settings)
        game->settings = *settings;
    else
        DefaultSettings(&game->settings);
    InitWindow(&game->window, game->settings.windowed);
    LoadFramebufferProcs();
    LoadTextures(game->textures, (float)game->settings.anisotropy);
    BuildFont(&game->font, game->textures[1], 16.0f, 16.0f, 8);
    InitShadowMap(&game->shadowTexture);

    game->world = NewtonCreate(nullptr, nullptr);
    NewtonSetPlatformArchitecture(game->world, 2);

    game->modelSlots = (Model**)std::calloc(kModelSlotCount, sizeof(Model*));
    game->objects = (SceneObject*)std::calloc(kObjectCount, sizeof(SceneObject));
    std::memset(&game->player, 0, sizeof(game->player));

    LoadObjModel(&game->modelSlots[0], "Models/Table_Small2.obj", 1);
    LoadObjModel(&game->modelSlots[1], "Models/Ball_small.obj", 5);
    CompileModelLists(game);

    InitSoundBank(&game->soundBuffers, &game->soundSources);
    SetListenerGain((float)game->settings.volume / 100.0f);
    SetupPhysicsScene(game->world, game->objects, &game->player, game->modelSlots,
                      game->texturedLists, game->plainLists, game->soundSources);
    InitLights(&game->light);
    game->markerList = BuildMarkerList();

    game->physicsStep = 1.0f / 300.0f;
    glfwDisable(GLFW_MOUSE_CURSOR);

    game->cameraProjection = NewZeroMatrix();
    game->lightProjection = NewZeroMatrix();
    game->lightView = NewZeroMatrix();
    glMatrixMode(GL_MODELVIEW);
    ComputeProjection(game->cameraProjection, 45.0,
                      (double)game->window.width / (double)game->window.height, 0.1, 250.0);
    ComputeProjection(game->lightProjection, 100.0, 1.0, 3.0, 30.0);
    glLoadIdentity();
}

static void StartHint(Game* game)
{
    game->hintThisRound = HintWanted(&game->settings, game->roundsStarted);
    ++game->roundsStarted;
}

void StartRound(Game* game)
{
    Player* player = &game->player;
    glfwSetMousePos(320, 240);
    player->score = 0;
    player->throws = 0;
    player->heldBody = nullptr;

    PlaceBodyUpright(player->body, Vec3{0.0f, 2.1f, 5.0f});

    player->up = Vec3{0.0f, 1.0f, 0.0f};
    player->right = Vec3{1.0f, 0.0f, 0.0f};
    player->forward = Vec3{0.0f, 0.0f, -1.0f};

    const float still[3] = {0.0f, 0.0f, 0.0f};
    for (int k = 1; k < kObjectCount; ++k) {
        SceneObject* ball = &game->objects[k];
        SoundPause(ball->sources[1]);
        PlaceBodyUpright(ball->body, Vec3{0.0f, 0.5f + 0.25f * (float)k, 3.4f});
        NewtonBodySetOmega(ball->body, still);
        NewtonBodySetVelocity(ball->body, still);
    }

    double now = glfwGetTime();
    game->lastStepTime = now;
    game->roundStartTime = now;
    game->stepBudget = 0.0;
    StartHint(game);
}

static void FreeMatrix(Mat4** matrix)
{
    std::free(*matrix);
    *matrix = nullptr;
}

void GameShutDown(Game* game)
{
    NewtonDestroy(game->world);
    game->world = nullptr;
    FreeModel(&game->modelSlots[0]);
    FreeModel(&game->modelSlots[1]);
    std::free(game->modelSlots);
    game->modelSlots = nullptr;
    ReleaseSceneObjects(&game->objects);
    FreeMatrix(&game->player.matrix);
    FreeMatrix(&game->player.markerMatrix);
    FreeMatrix(&game->cameraProjection);
    FreeMatrix(&game->lightProjection);
    FreeMatrix(&game->lightView);
    glfwTerminate();
    DeleteSoundBank(&game->soundBuffers, &game->soundSources);
}

int GameMain(const Settings* settings)
{
    // The game record is large and lives for the whole program.
    Game* game = (Game*)std::calloc(1, sizeof(Game));
    GameStartUp(game, settings);
    int status = 1;
    if (RecordAssetsLoaded()) {
        StartRound(game);
        while (!game->quitRequested && ReplayBeginPass())
            RunFrame(game);
        status = FinishRecordOrReplay(game);
    }
    GameShutDown(game);
    std::free(game);
    return status;
}
