// frameloop.cpp -- one pass of the game: look, step the physics, collect what the
// balls did, draw, check the round and show the frame.
#include "game/game.h"

#include "platform/glfw2/glfw2.h"
#include "platform/newton/newton.h"
#include "sound/sound.h"

int RunPhysicsSteps(Game* game)
{
    // Every second of the clock is simulated once: whole steps now, the rest
    // carried to the next pass. A long gap is cut to kMaxPassTime, so a stall
    // never turns into seconds of steps under the keys held at this moment.
    double now = glfwGetTime();
    double dt = now - game->lastStepTime;
    dt = dt < 0.0 ? 0.0 : dt > kMaxPassTime ? kMaxPassTime : dt;
    game->lastStepTime = now;
    game->player.passSeconds = (float)dt;
    game->stepBudget += dt;
    int steps = 0;
    while (game->stepBudget >= game->physicsStep - kClockSlack) {
        NewtonUpdate(game->world, game->physicsStep);
        game->stepBudget -= game->physicsStep;
        ApplyMovementKeys(&game->player);
        ++steps;
    }
    return steps;
}

void CollectBallState(Game* game, int steps)
{
    for (int i = 1; i < kObjectCount; ++i) {
        SceneObject* ball = &game->objects[i];
        game->player.score += ball->points;
        ball->points = 0;
        ball->gravityOn = ball->body == game->player.heldBody ? kFalse : kTrue;
        // A rolling sound whose ball made no rolling contact in this pass's
        // steps falls silent; a pass without steps heard nothing either way.
        if (steps == 0)
            continue;
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
                     game->texturedLists,   game->markerList,    &game->lookAt,
                     0};
}

static void DrawScene(Game* game)
{
    SceneView view = GameSceneView(game);
    BeginGameFrame(&game->window);
    RenderScene(&view);
}

// Paused: the round's clock stands still (its start moves on with the clock),
// the scene is drawn as it stands with the paused line, and the loop sleeps
// until the window system has news instead of drawing flat out. Minimised,
// nothing is drawn.
static void ShowPausedFrame(Game* game)
{
    double now = glfwGetTime();
    game->roundStartTime += now - game->lastStepTime;
    game->lastStepTime = now;
    if (!game->iconified) {
        BeginGameFrame(&game->window);
        SceneView view = GameSceneView(game);
        view.frozen = 1;
        RenderScene(&view);
        DrawHud(game);
        DrawPausedLine(game);
        PresentGameFrame(&game->window);
        glfwSwapBuffers();
    }
    glfwWaitEventsTimeout(0.1);
}

// Esc, or the window manager's close (Alt+F4, the title bar's button).
static int QuitAsked()
{
    return glfwGetKey(GLFW_KEY_ESC) || !glfwGetWindowParam(GLFW_OPENED);
}

void RunFrame(Game* game)
{
    if (UpdatePause(game)) {
        ShowPausedFrame(game);
        if (QuitAsked())
            game->quitRequested = 1;
        return;
    }
    ReadMouseLook(&game->player, &game->settings);
    UpdateListener(&game->player);
    int steps = RunPhysicsSteps(game);
    CollectBallState(game, steps);
    DrawScene(game);
    DrawHud(game);
    if (CheckEndOfRound(game))
        return;   // a new round began: its first pass starts at once
    if (QuitAsked())
        game->quitRequested = 1;
    PresentGameFrame(&game->window);
    glfwSwapBuffers();
}
