// game.h -- the game's entry, start-up and shutdown, the frame loop, the player's
// controls and camera, and the round with its HUD and closing screen.
#pragma once

#include "math/vecmath.h"
#include "physics/physics.h"
#include "render/render.h"

#include <cstddef>
#include <cstdint>

struct NewtonWorld;
struct Model;

enum { kModelSlotCount = 14, kTextureCount = 13 };  // textures used at 1..12

// Every long-lived object of the game, owned by the entry procedure from
// start-up to shutdown. A new round re-creates nothing.
struct Game {
    WindowSettings window;
    GLuint textures[kTextureCount];
    GLuint fontBase;
    GLuint shadowTexture;
    NewtonWorld* world;
    Model** modelSlots;        // 0 the table, 1 the ball
    SceneObject* objects;      // 0 the table, 1 to 6 the balls
    Player player;
    GLuint texturedLists;      // two lists: table, ball
    GLuint plainLists;
    GLuint markerList;         // the ring on the surface the player looks at
    unsigned int* soundBuffers;
    unsigned int* soundSources;
    LightSettings light;
    Mat4* cameraProjection;
    Mat4* lightProjection;
    Mat4* lightView;
    LookAtReport lookAt;       // the latest look-at report
    float physicsStep;         // 1/300 s
    float stepBudget;
    float lastStepTime;
    float roundStartTime;
    int quitRequested;
    int roundPlace;            // the ended round's place in the best scores, 0 none, -1 not kept
    int bestScore;             // the table's best after it
};

// ---- Command line and data ----

// What the command line asked for; zero-filled, the game plays as it always has.
struct GameOptions {
    int windowed;       // --window: a 640x480 window instead of full screen
    float anisotropy;   // --anisotropy N: texture filtering; 0 = the driver's largest
    char recordPath[4096];   // --record FILE, absolute; empty when not recording
    char replayPath[4096];   // --replay FILE, absolute; empty when not replaying
    int fast;                // --fast: a replay that does not wait for the clock
};

enum { kOptionsPlay = -1 };

// Reads the arguments into options. Returns kOptionsPlay when the game is to
// start, or the exit status when the program ends at once: 0 after --help or
// --version (printed on standard output), 2 after an unknown option or a bad
// argument (one line and the usage on standard error).
int ParseOptions(int argc, char** argv, GameOptions* options);

// ---- Best scores ----

enum { kScoresKept = 10 };

struct ScoreEntry {
    int score;
    char when[20];   // local date and time, "YYYY-MM-DD HH:MM:SS"
};

// Best first; a tie keeps the earlier round above.
struct ScoreTable {
    ScoreEntry entries[kScoresKept];
    int count;
};

// Reads the text of "scores.txt"; 0 when it is not a table this game wrote.
int ScoresParse(const char* text, size_t size, ScoreTable* table);
// The file's text for table; its length.
size_t ScoresFormat(const ScoreTable* table, char* text, size_t size);
// Puts a round in the table: its place from 1, or 0 when it is not among the ten best.
int ScoresInsert(ScoreTable* table, int score, const char* when);
// Adds a finished round to the table in folder, under a lock, written at once;
// the table after it in table. Its place, 0 when not kept, -1 when the table
// cannot be written (after one line).
int KeepScore(const char* folder, int score, ScoreTable* table);
// --scores: prints the table (or that it is empty); the exit status.
int PrintScores();

// ---- Keeping and replaying a round ----

// Starts the recording or the replay the options ask for, once the working
// directory holds the game's data; 0 after one line when it cannot.
int OpenRecordOrReplay(const GameOptions* options);

// Start-up has read the assets: a recording keeps the digest of the files read,
// a replay checks it. 0 after one line when a replay was made with other files.
int RecordAssetsLoaded();

// A digest of every body's matrix: the table, the balls and the player.
uint64_t BodyMatrixDigest(const Game* game);

// A round ran to its end: kept in the recording, or checked in a replay. 1 when
// a replay ends here, with this round.
int KeepRoundEnd(Game* game);

// Ends the recording or checks the replay; the exit status (0 when neither).
int FinishRecordOrReplay(const Game* game);

// The program: start-up, the frame loop until quitRequested, shutdown. Returns
// the exit status: 0, or 1 when a replay does not match its recording or its
// asset files.
int GameMain(const GameOptions* options);

void GameStartUp(Game* game);
void GameShutDown(Game* game);

// Places the player and the balls for a new round and restarts the clocks.
void StartRound(Game* game);

// One pass of the frame loop.
void RunFrame(Game* game);

// What the scene passes draw from: the game's window, light, objects, player,
// matrices, shadow map and display lists.
SceneView GameSceneView(Game* game);

// The physics sub-steps of one pass; returns how many steps ran.
int RunPhysicsSteps(Game* game);

// After the steps: collect points, settle gravity and rolling sounds.
void CollectBallState(Game* game);

// ---- Controls and camera ----

// Reads the virtual cursor into this pass's pitch, yaw and roll and re-centres it.
void ReadMouseLook(Player* player);

// Applies W, A, S, D to moveForce (after every physics step).
void ApplyMovementKeys(Player* player);

// The audio listener follows the player's eye.
void UpdateListener(const Player* player);

// ---- Round rules and HUD ----

enum { kRoundLength = 300 };

// The time line's text for the remaining seconds ("5:00", "0:09").
void FormatTimeLeft(float remainingSeconds, char* text, int size);

// Score, time, crosshair and power meter over the scene.
void DrawHud(Game* game);

// Past the round's end: the closing screen and the Y/N answer. Returns 1 when a
// new round was started (the rest of the pass is skipped).
int CheckEndOfRound(Game* game);
