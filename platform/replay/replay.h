// replay.h -- keeps every reading the game takes from outside (clock, keys,
// buttons, cursor, window state) in a recording, or hands them back from one,
// so that a round can be played again exactly. Knows nothing of the window
// library: the GLFW 2 layer passes every reading through here.
#pragma once

#include <cstddef>
#include <cstdint>

// Kinds of reading; each GLFW 2 reading call goes through the helper for its kind.
enum ReplayKind {
    REPLAY_TIME = 0,     // glfwGetTime
    REPLAY_KEY = 1,      // glfwGetKey, by key code
    REPLAY_BUTTON = 2,   // glfwGetMouseButton, by button
    REPLAY_CURSOR = 3,   // glfwGetMousePos (two values)
    REPLAY_WINDOW = 4,   // glfwGetWindowParam (open, iconified), by token
    REPLAY_KIND_COUNT = 5
};

enum { REPLAY_FORMAT_VERSION = 3, REPLAY_MAX_CHANNELS = 64 };
// A recording is read whole into memory; nothing larger is taken for one.
enum : size_t { REPLAY_MAX_FILE_SIZE = (size_t)64 << 20 };

// What a recording was made with. The version is checked before a replay
// starts; the asset digest once start-up has read the assets (ReplayAssetsLoaded).
// A new field goes here, into WriteHeader and ReadHeaderFields (replay_codec.cpp)
// and into ReplayHeaderMismatch.
struct ReplayHeader {
    char gameVersion[32];
    uint64_t assetDigest;
    // The player's settings that change play, replayed as recorded.
    float sensitivity;     // the look's factor, 0.1 to 10
    uint8_t invertMouse;   // 1: the look's pitch turned over
};

// How a round or a recording ended: the score and a digest of every body's matrix.
struct ReplayEnd {
    int32_t score;
    uint64_t bodyDigest;
};

// A recording held in memory and checked through.
struct ReplayFile {
    const unsigned char* bytes;
    size_t size;
    ReplayHeader header;
    size_t readingsAt;   // first byte of the readings
    size_t readingsEnd;  // the end record's tag, or where a cut recording's last whole pass ends
    int cut;             // 1: the recording has no end; it stops at readingsEnd
    ReplayEnd end;       // the end record (not for a cut one)
    long readingCount;
    long passCount;      // whole passes up to readingsEnd
};

// Checks the first bytes of a file as a recording's header (magic, format
// version, fields). 1 with the header's size in headerSize; 0 with one line in
// why. Needs no more than REPLAY_HEADER_MAX bytes.
enum { REPLAY_HEADER_MAX = 8 + 2 + 1 + 31 + 8 + 5 };
int ReplayParseHeader(const unsigned char* bytes, size_t size, ReplayHeader* header,
                      size_t* headerSize, char* why, size_t whySize);

// Checks bytes as a recording: header, every reading, the checkpoints and the
// end record with the file's digest. A recording without its end (the game was
// killed, the machine lost power) is accepted as cut: it stops at its last
// whole pass before its last good checkpoint. On failure returns 0 and writes
// one line (no line end) into why. checkDigest 0 skips the digests (for
// fuzzing the parts behind them).
int ReplayParse(const unsigned char* bytes, size_t size, int checkDigest, ReplayFile* file,
                char* why, size_t whySize);

// Names the first field in which a recording's header differs from the
// game's, as a line's end ("made by version 1.0, this is 1.1"); 0 when none.
int ReplayHeaderMismatch(const ReplayHeader* recorded, const ReplayHeader* game, char* why,
                         size_t whySize);

// ---- recording --------------------------------------------------------------

// Starts writing a recording to path: into a new file beside it, which takes
// the path's place once the header and the first passes are written, so a
// start that fails leaves what was there. Up to two paths at once (the
// player's own file and the game's last round). Written as the game plays,
// at least once a second, and on SIGINT, SIGTERM, SIGHUP and exit().
// 0 with one console line naming the path and the reason when it cannot start.
int ReplayStartRecording(const char* path, const ReplayHeader* header);

// The same for the game's own copy of every round (a second path): its failure
// is reported but does not change the exit status.
int ReplayRecordAlso(const char* path, const ReplayHeader* header);

// ---- replaying --------------------------------------------------------------

// Loads and checks a recording and starts handing its readings back. Only a
// regular file of at most REPLAY_MAX_FILE_SIZE bytes whose header matches
// (all but the asset digest, checked by ReplayAssetsLoaded) is read whole. fast: do not wait for the recorded time to come. 0 with one
// console line on failure.
int ReplayStartPlayback(const char* path, const ReplayHeader* expected, int fast);

// While replaying: the recording's header, with the settings it was made with.
const ReplayHeader* ReplayRecordedHeader();

// Asks a replay to stop at the next pass (the player pressed Esc or closed the window).
void ReplayRequestStop();

// ---- both -------------------------------------------------------------------

// Start-up has read every asset file, before the first reading: a recording
// takes assetDigest into its header; a replay compares it with the recorded
// one and, when they differ, prints one line and ends the replay (0 returned:
// the game ends with status 1). 1 otherwise, and when neither.
int ReplayAssetsLoaded(uint64_t assetDigest);

// 1 while recording, 2 while replaying, 0 otherwise.
int ReplayMode();

// The game opens a new pass; a divergence names the pass it happened in.
// Returns 0 when a replay has no more passes to give (stopped, or a cut
// recording at its cut): the game then ends as if asked to quit.
int ReplayBeginPass();
long ReplayPassCount();

// One helper per kind of value: given what was read live, returns what the
// game gets (the live value, kept when recording; the recorded one when
// replaying). A replay asked for another reading than the next recorded one
// prints one line naming the pass and ends the program with status 1.
double ReplayTime(double live);
int ReplayFlag(int kind, int code, int live);
void ReplayCursor(int* x, int* y);

// A round ran to its end. Recording: keeps its end (score, bodies) in the
// recording; with bestPath, also writes the recording so far, ended at this
// round, to bestPath. Replaying: checks it against the recorded one (a
// mismatch: one line, status 1); returns 1 when the recording ends with this
// round (its line printed), so the game ends here. 0 otherwise.
int ReplayRoundEnd(const ReplayEnd* end, const char* bestPath);

// At the program's end. Recording: writes the end record and closes the file.
// Replaying: compares with the recorded end and prints "replay verified" or the
// mismatch, or the line of a stopped or cut replay. Returns the exit status
// (0, or 1 on a mismatch); 0 when neither.
int ReplayFinish(const ReplayEnd* end);

// FNV-1a, 64 bits (the files layer's): the digest of body matrices and whole files.
uint64_t ReplayDigest(uint64_t digest, const void* bytes, size_t size);
enum : uint64_t { REPLAY_DIGEST_START = 14695981039346656037ull };
