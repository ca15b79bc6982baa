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

// ---- Settings a player keeps ----

enum { kHintsFirstRound = -1 };

// What a player can set, in one record: the defaults, then the settings file,
// then the command line, handed to start-up (and, for the look, kept in a
// recording so that its replay plays the same).
struct Settings {
    int windowed;        // 1: a 640x480 window; 0: full screen
    int anisotropy;      // texture filtering, 1 up; 0: the driver's largest (1 on llvmpipe)
    float sensitivity;   // 0.1 to 10, a factor on the look's 0.001 radian per pixel
    int invertMouse;     // 1: moving the mouse up looks down
    int volume;          // 0 to 100, the listener's gain in percent
    int hints;           // 1 every round, 0 never, kHintsFirstRound: while no score is kept
};

// Which settings the command line named (GameOptions' given).
enum {
    kGivenWindow = 1, kGivenAnisotropy = 2, kGivenSensitivity = 4,
    kGivenInvertMouse = 8, kGivenVolume = 16, kGivenHints = 32
};

// Every long-lived object of the game, owned by the entry procedure from
// start-up to shutdown. A new round re-creates nothing.
struct Game {
    Settings settings;         // what the player chose, for the whole program
    WindowSettings window;
    GLuint textures[kTextureCount];
    Font font;
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
    // Clock readings are kept in double precision: the clock counts from the
    // program's start, and a float of a few days' uptime is coarser than a step.
    double stepBudget;         // time not yet simulated, carried from pass to pass
    double lastStepTime;       // the clock at the previous pass
    double roundStartTime;     // the clock at the round's start, moved on by pauses
    int quitRequested;
    int paused;                // P, a minimised window or a lost focus stop the round
    int pauseKeyDown;          // P as read last pass: a press toggles, holding does not
    int focused;               // the window's focus as read last pass
    int iconified;             // minimised, as read this pass
    unsigned int pausedSounds; // the sources playing when the pause began, one bit each
    int roundPlace;            // the ended round's place in the best scores, 0 none, -1 not kept
    int bestScore;             // the table's best after it
    int roundsStarted;
    int hintThisRound;         // the round opened with the hint line
};

// ---- Command line and data ----

// What the command line asked for; zero-filled, the game plays as it always has.
struct GameOptions {
    Settings settings;       // the settings named on the command line (see given)
    unsigned given;          // kGiven* bits: which of settings' fields the command line set
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

// The defaults: full screen, the driver's filtering, sensitivity 1, the look
// not inverted, volume 100, the hint while no score is kept.
void DefaultSettings(Settings* settings);

// The settings file's path: $XDG_CONFIG_HOME/balltoss/balltoss.conf, else
// ~/.config/balltoss/balltoss.conf. 0 when neither variable gives a folder.
int SettingsFilePath(char* path, size_t size);

// Reads an INI settings file over settings. A missing file is normal and
// silent. A bad line, an unknown key or a bad value prints one line naming the
// file, the line and the key; that key keeps its default. An unreadable file
// prints one line. Returns the number of lines printed.
int ReadSettingsFile(const char* path, Settings* settings);

// Writes a commented settings file holding the defaults at path, making its
// folder; never replaces an existing file. Prints one line either way; returns
// 0 when written, 1 otherwise.
int WriteSettingsFile(const char* path);

// The one record start-up gets: the defaults, the settings file over them, then
// what the command line named.
void ChooseSettings(const GameOptions* options, Settings* settings);

// Parses one setting's value (a key of the settings file: "volume", ...) into
// settings. 1 when taken; 0 when it is no value of that key (why then holds a
// short reason, such as "out of range (0 to 100)"), settings unchanged.
int TakeSettingValue(const char* key, const char* value, Settings* settings, char* why,
                     size_t whySize);

// 1 when the player has a score kept: scores.txt with at least one line in
// $XDG_DATA_HOME/balltoss (else ~/.local/share/balltoss). Creates nothing.
int ScoresKept();

// Whether a round opens with the hint line, after roundsBefore rounds of this
// program: a player's first round (the program's first while no score is
// kept), or every round or none as the settings say.
int HintWanted(const Settings* settings, int roundsBefore);

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
// directory holds the game's data; 0 after one line when it cannot. A
// recording keeps the settings that change play (the look's sensitivity and
// inversion); a replay puts the recorded ones into settings.
int OpenRecordOrReplay(const GameOptions* options, Settings* settings);

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
int GameMain(const Settings* settings);

// Creates every long-lived object; settings null plays with the defaults.
void GameStartUp(Game* game, const Settings* settings);
void GameShutDown(Game* game);

// Places the player and the balls for a new round and restarts the clocks.
void StartRound(Game* game);

// One pass of the frame loop.
void RunFrame(Game* game);

// What the scene passes draw from: the game's window, light, objects, player,
// matrices, shadow map and display lists.
SceneView GameSceneView(Game* game);

// The most one pass simulates: after a stall, a debugger stop or a restore,
// the time beyond it is dropped rather than stepped under the keys held now.
static const double kMaxPassTime = 0.25;

// The physics sub-steps of one pass: the clock's time since the previous pass,
// at most kMaxPassTime, plus what the last pass left over, in whole steps; the
// rest carries to the next pass. Returns how many steps ran (possibly none).
int RunPhysicsSteps(Game* game);

// After the steps: collect points and settle gravity; with steps run, the
// rolling sounds of balls that made no rolling contact fall silent.
void CollectBallState(Game* game, int steps);

// Seconds of the round played so far: the clock stands still while paused.
double RoundElapsed(const Game* game);

// The pause: P, a minimised window or a window that lost the focus it had.
// Returns 1 while the game is paused (nothing steps, the round's clock stands
// still); the pass then only shows the frozen scene.
int UpdatePause(Game* game);

// The paused line over the frozen scene.
void DrawPausedLine(Game* game);

// ---- Controls and camera ----

// Reads the virtual cursor into this pass's pitch, yaw and roll and re-centres
// it: 0.001 radian per pixel times the sensitivity, pitch turned over when the
// look is inverted.
void ReadMouseLook(Player* player, const Settings* settings);

// Applies W, A, S, D to moveForce (after every physics step).
void ApplyMovementKeys(Player* player);

// The audio listener follows the player's eye.
void UpdateListener(const Player* player);

// ---- Round rules and HUD ----

enum { kRoundLength = 300 };

// The time line's text for the remaining seconds ("5:00", "0:09").
void FormatTimeLeft(float remainingSeconds, char* text, int size);

// The first minute's line: where the balls are and which button does what.
extern const char* const kHintText;
enum { kHintSeconds = 20 };   // the hint goes at the first throw or after this

// Score, time, the hint, crosshair and power meter over the scene.
void DrawHud(Game* game);

// Past the round's end: the closing screen and the Y/N answer. Returns 1 when a
// new round was started (the rest of the pass is skipped).
int CheckEndOfRound(Game* game);
