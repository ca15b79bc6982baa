// scene_play.h -- the whole game in-process on the real assets with a scripted
// clock and input: start-up, passes of the frame loop and aiming the view.
#pragma once

#include "game/game.h"
#include "platform/glfw2/glfw2.h"
#include "platform/newton/newton.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

inline Game* game = nullptr;

// Each pass covers 5.5 steps of time: 6 steps run, 0.02 s of play.
const double kPassTime = 5.5 / 300.0;
const int kPassesPerSecond = 50;

inline Glfw2Script* Script() { return Glfw2GetScript(); }

inline void StartGame()
{
    std::memset(Script(), 0, sizeof(Glfw2Script));
    Script()->active = 1;
    Script()->time = 1.0;
    game = (Game*)std::calloc(1, sizeof(Game));
    GameStartUp(game, nullptr);
}

inline void EndGame()
{
    GameShutDown(game);
    std::free(game);
    game = nullptr;
    std::memset(Script(), 0, sizeof(Glfw2Script));
}

inline Vec3 BodyPosition(const NewtonBody* body)
{
    float m[16];
    NewtonBodyGetMatrix(body, m);
    return Vec3{m[12], m[13], m[14]};
}

inline void LookAt(Vec3 target)
{
    Player* p = &game->player;
    Vec3 f = Vec3Sub(target, BodyPosition(p->body));
    Vec3Normalize(&f);
    p->forward = f;
    p->right = Vec3Cross(f, Vec3{0, 1, 0});
    Vec3Normalize(&p->right);
    p->up = Vec3Cross(p->right, f);
}

// A pass of the frame loop without the drawing: look, step, collect, turn the
// view and run the look-at step, as RenderScene would. Returns the ball that
// scored in this pass's steps, if any.
inline SceneObject* PassWithoutDrawing()
{
    Script()->time += kPassTime;
    Player* p = &game->player;
    ReadMouseLook(p, &game->settings);
    UpdateListener(p);
    RunPhysicsSteps(game);
    SceneObject* scorer = nullptr;
    for (int k = 1; k < kObjectCount; ++k)
        scorer = game->objects[k].points != 0 ? &game->objects[k] : scorer;
    CollectBallState(game);
    PitchView(&p->forward, &p->right, &p->up, p->pitch);
    YawView(&p->forward, &p->right, &p->up, p->yaw);
    RollView(&p->forward, &p->right, &p->up, p->roll);
    game->lookAt = LookAtAndHold(game->world, p);
    return scorer;
}
