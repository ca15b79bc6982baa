// scriptedplay.cpp -- the game played by a script: throws file, passes without
// drawing, aims and the tray.
#include "tools/scriptedplay/scriptedplay.h"

#include "platform/glfw2/glfw2.h"
#include "platform/newton/newton.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int ReadScriptedThrows(const char* path, ScriptedThrow* throws, int capacity)
{
    FILE* file = std::fopen(path, "r");
    if (!file)
        return 0;
    int count = 0;
    char line[256];
    while (count < capacity && std::fgets(line, sizeof line, file)) {
        ScriptedThrow t;
        float x, z;
        if (line[0] != '#' && std::sscanf(line, "%d %f %f %f %f %f", &t.points, &x, &z, &t.yaw,
                                          &t.pitch, &t.power) == 6)
            throws[count++] = t;
    }
    std::fclose(file);
    return count;
}

Vec3 ThrowDirection(float yaw, float pitch)
{
    return Vec3{-std::sin(yaw) * std::cos(pitch), std::sin(pitch),
                -std::cos(yaw) * std::cos(pitch)};
}

bool InTray(Vec3 at)
{
    return at.x > -2.0f && at.x < 2.0f && at.z > 2.95f && at.z < 3.9f && at.y < 0.9f;
}

int ScoreKind(int points)
{
    return points == 100 ? 0 : points == 25 ? 1 : points == 10 ? 2 : -1;
}

Vec3 BodyPosition(const NewtonBody* body)
{
    float m[16];
    NewtonBodyGetMatrix(body, m);
    return Vec3{m[12], m[13], m[14]};
}

Game* StartScriptedGame()
{
    Glfw2Script* script = Glfw2GetScript();
    std::memset(script, 0, sizeof(Glfw2Script));
    script->active = 1;
    script->time = 1.0;
    Game* game = (Game*)std::calloc(1, sizeof(Game));
    GameStartUp(game, nullptr);   // the default settings
    return game;
}

void EndScriptedGame(Game* game)
{
    GameShutDown(game);
    std::free(game);
    std::memset(Glfw2GetScript(), 0, sizeof(Glfw2Script));
}

SceneObject* PassWithoutDrawing(Game* game, double seconds)
{
    Glfw2GetScript()->time += seconds;
    Player* p = &game->player;
    ReadMouseLook(p, &game->settings);
    UpdateListener(p);
    int steps = RunPhysicsSteps(game);
    SceneObject* scorer = nullptr;
    for (int k = 1; k < kObjectCount; ++k)
        scorer = game->objects[k].points != 0 ? &game->objects[k] : scorer;
    CollectBallState(game, steps);
    PitchView(&p->forward, &p->right, &p->up, p->pitch);
    YawView(&p->forward, &p->right, &p->up, p->yaw);
    RollView(&p->forward, &p->right, &p->up, p->roll);
    game->lookAt = LookAtAndHold(game->world, p);
    return scorer;
}

void LookAt(Game* game, Vec3 target)
{
    Player* p = &game->player;
    Vec3 f = Vec3Sub(target, BodyPosition(p->body));
    Vec3Normalize(&f);
    p->forward = f;
    p->right = Vec3Cross(f, Vec3{0, 1, 0});
    Vec3Normalize(&p->right);
    p->up = Vec3Cross(p->right, f);
}
