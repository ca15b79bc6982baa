// scene_play.h -- the whole game in-process on the real assets with a scripted
// clock and input, for the scene tests: one game at a time and its passes.
#pragma once

#include "platform/glfw2/glfw2.h"
#include "platform/newton/newton.h"
#include "tools/scriptedplay/scriptedplay.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

inline Game* game = nullptr;

// Fifty passes a second: each covers six physics steps.
const int kPassesPerSecond = 50;
const double kPassTime = 1.0 / kPassesPerSecond;

inline Glfw2Script* Script() { return Glfw2GetScript(); }

inline void StartGame() { game = StartScriptedGame(); }

inline void EndGame()
{
    EndScriptedGame(game);
    game = nullptr;
}

inline void LookAt(Vec3 target) { LookAt(game, target); }

inline SceneObject* PassWithoutDrawing() { return PassWithoutDrawing(game, kPassTime); }
