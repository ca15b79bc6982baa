// scriptedplay.h -- the game played by a script, for the throw tools and the
// tests: the scripted throws, a pass of the frame loop without drawing, the
// aim of a throw and the tray the balls wait in.
#pragma once

#include "game/game.h"

struct NewtonBody;

// One scripted throw: the points it scores, its aim and the power it is thrown at.
struct ScriptedThrow {
    int points;
    float yaw, pitch, power;
};

// Up to capacity throws from a file of lines "points x z yaw pitch power ..."
// (tests/scene/throws.txt); 0 when it cannot be read. Comment lines and lines
// that do not start with six numbers are skipped.
int ReadScriptedThrows(const char* path, ScriptedThrow* throws, int capacity);

// The view direction of a throw's aim: yaw 0 looks along -Z and positive yaw
// turns left; positive pitch looks up.
Vec3 ThrowDirection(float yaw, float pitch);

// In the tray across the near end of the table where the balls wait, or on the
// lane's foot leaning on the row of balls in it.
bool InTray(Vec3 at);

// The kinds of scoring hole in order 100, 25, 10: 0, 1 or 2; -1 for other points.
int ScoreKind(int points);

Vec3 BodyPosition(const NewtonBody* body);

// The whole game started in-process on the real assets with the scripted clock
// at one second, and taken down again.
Game* StartScriptedGame();
void EndScriptedGame(Game* game);

// One pass of the frame loop without the drawing, `seconds` of clock after the
// last: look, step, collect, turn the view and run the look-at step as the
// camera pass would. Returns the ball that scored in this pass, if any.
SceneObject* PassWithoutDrawing(Game* game, double seconds);

// Turns the player's view straight at a point, horizon level.
void LookAt(Game* game, Vec3 target);
