// frameloop.cpp -- one pass of the game: look, step the physics, collect what the
// balls did, draw, check the round and show the frame.
#include "game/game.h"

#include "platform/glfw2/glfw2.h"
#include "platform/newton/newton.h"
#include "sound/sound.h"

int RunPhysicsSteps(Game* game)
{
    // The budget is set afresh every pass: one step always runs, plus one per
    // whole step of time since the last pass's steps ended. Nothing carries over.
    float now = (float)glfwGetTime();
    float dt = now - game->lastStepTime;
    game->stepBudget = game->physicsStep + dt;
    int steps = 0;
    while (game->stepBudget >= game->physicsStep) {
        NewtonUpdate(game->world, game->physicsStep);
        game->stepBudget -= game->physicsStep;
        ApplyMovementKeys(&game->player);
        ++steps;
    }
    game->lastStepTime = (float)glfwGetTime();
    return steps;
}

void CollectBallState(Game* game)
{
    for (int i = 1; i < kObjectCount; ++i) {
        SceneObject* ball = &game->objects[i];
        game->player.score += ball->points;
        ball->points = 0;
        ball->gravityOn = ball->body == game->player.heldBody ? kFalse : kTrue;
        // A rolling sound whose ball made no rolling contact this pass falls silent.
        if (!ball->rolling)
            SoundPause(ball->sources[1]);
        ball->rolling = kFalse;
    }
}

SceneView GameSceneView(Game* game)
{
    return SceneView{&game->window,         &game->light,        game->objects,
                     &game->player,         game->world,         game->cameraProjection,
                     game->lightProjection, game->lightView,     game->shadowTexture,
                     game->texturedLists,   game->markerList,    &game->lookAt};
}

static void DrawScene(Game* game)
{
    SceneView view = GameSceneView(game);
    RenderScene(&view);
}

// Esc, or the window manager's close (Alt+F4, the title bar's button).
static int QuitAsked()
{
    return glfwGetKey(GLFW_KEY_ESC) || !glfwGetWindowParam(GLFW_OPENED);
}

// A minimised window shows nothing: sleep until the window system has news
// instead of drawing. The round's clock goes on, and the first pass after the
// restore steps the physics through the time away.
static void IdleWhileIconified(Game* game)
{
    glfwWaitEventsTimeout(0.1);
    if (QuitAsked())
        game->quitRequested = 1;
}

void RunFrame(Game* game)
{
    if (glfwGetWindowParam(GLFW_ICONIFIED)) {
        IdleWhileIconified(game);
        return;
    }
    ReadMouseLook(&game->player, &game->settings);
    UpdateListener(&game->player);
    RunPhysicsSteps(game);
    CollectBallState(game);
    DrawScene(game);
    DrawHud(game);
    if (CheckEndOfRound(game))
        return;   // a new round began: its first pass starts at once
    if (QuitAsked())
        game->quitRequested = 1;
    glfwSwapBuffers();
}
