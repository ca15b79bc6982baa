// replay.h -- keeps every reading the game takes from outside (clock, keys,
// buttons, cursor, window state) in a recording, or hands them back from one,
// so that a round can be played again exactly.
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

enum { REPLAY_FORMAT_VERSION = 2, REPLAY_MAX_CHANNELS = 64 };

// What a recording was made with; checked before a replay starts.
struct ReplayHeader {
    char gameVersion[32];
    uint64_t assetDigest;
    // The player's settings that change play, replayed as recorded.
    float sensitivity;     // the look's factor, 0.1 to 10
    uint8_t invertMouse;   // 1: the look's pitch turned over
};

// How a recording ended: the round's final score and a digest of every body's matrix.
struct ReplayEnd {
    int32_t score;
    uint64_t bodyDigest;
};

// A whole recording held in memory and checked through.
struct ReplayFile {
    unsigned char* bytes;
    size_t size;
    ReplayHeader header;
    size_t readingsAt;   // first byte of the readings
    size_t readingsEnd;  // the end record's tag
    ReplayEnd end;
    long readingCount;
};

// Checks bytes as a recording: header, every reading, the end record and the
// file's digest. On failure returns 0 and writes one line (no line end) into
// why. checkDigest 0 skips the file digest (for fuzzing the parts behind it).
int ReplayParse(const unsigned char* bytes, size_t size, int checkDigest, ReplayFile* file,
                char* why, size_t whySize);

// Starts writing a recording; 0 with one console line when the file cannot be made.
int ReplayStartRecording(const char* path, const ReplayHeader* header);

// Loads and checks a recording and starts handing its readings back. fast: do
// not wait for the recorded time to come. 0 with one console line on failure.
int ReplayStartPlayback(const char* path, const ReplayHeader* expected, int fast);

// While replaying: the recording's header, with the settings it was made with.
const ReplayHeader* ReplayRecordedHeader();

// 1 while recording, 2 while replaying, 0 otherwise.
int ReplayMode();

// The game opens a new pass; a divergence names the pass it happened in.
void ReplayBeginPass();
long ReplayPassCount();

// One helper per kind of value: given what was read live, returns what the
// game gets (the live value, kept when recording; the recorded one when
// replaying). A replay asked for another reading than the next recorded one
// prints one line naming the pass and ends the program with status 1.
double ReplayTime(double live);
int ReplayFlag(int kind, int code, int live);
void ReplayCursor(int* x, int* y);

// At the program's end. Recording: writes the end record and closes the file.
// Replaying: compares with the recorded end and prints "replay verified" or the
// mismatch. Returns the exit status (0, or 1 on a mismatch or a write failure);
// 0 when neither.
int ReplayFinish(const ReplayEnd* end);

// FNV-1a, 64 bits: the digest of assets, body matrices and whole files.
uint64_t ReplayDigest(uint64_t digest, const void* bytes, size_t size);
enum : uint64_t { REPLAY_DIGEST_START = 14695981039346656037ull };
