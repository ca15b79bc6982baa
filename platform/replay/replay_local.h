// replay_local.h -- the recording format's records and the decoder, shared by
// the file check, the recorder and the replay; not for the rest of the game.
#pragma once

#include "platform/replay/replay.h"

// The file: "BTREPLAY", the format version (2 bytes), the game's version (a
// length byte and text), the asset digest (8 bytes), the readings, the end
// record (tag 0xFF, the score, the body digest) and the digest of every byte
// before it (8 bytes). Numbers are little-endian; varints are LEB128, signed
// ones zigzagged. A reading is one tag byte, mostly alone:
//   0x00-0x3F  channel c read again, same value(s) as its last reading
//   0x40-0x7F  channel c read, value(s) changed: one varint delta each
//   0x80       a new channel: kind byte, code (signed varint)
//   0x81       clock in whole nanoseconds: signed varint delta from the last
//   0x82       clock as the 8 bytes of the double, when not whole nanoseconds
//   0x83       a pass begins
//   0x84       checkpoint: the digest of every byte before this tag (8 bytes);
//              written with every flush, so a cut file is checked up to there
//   0x85       a round ran to its end: the score, the body digest (8 bytes)
// A channel is one (kind, code) pair, numbered in order of first reading.
enum {
    TAG_SAME = 0x00,
    TAG_CHANGED = 0x40,
    TAG_CHANNEL = 0x80,
    TAG_TIME_NS = 0x81,
    TAG_TIME_RAW = 0x82,
    TAG_PASS = 0x83,
    TAG_CHECK = 0x84,
    TAG_ROUND_END = 0x85,
    TAG_END = 0xFF,
};

struct ReplayChannel {
    int kind, code;
    int32_t value[2];
};

// One decoded record: a reading (kind, code, values or time) or a round's end.
struct ReplayReading {
    int kind, code;
    int32_t value[2];
    double time;
    ReplayEnd roundEnd;
};

// What DecodeNext found.
enum DecodeStep {
    DECODE_DAMAGED = -1,
    DECODE_END = 0,        // the end record or the cut (not consumed)
    DECODE_READING = 1,
    DECODE_PASS = 2,
    DECODE_ROUND_END = 3,
};

struct ReplayDecoder {
    const unsigned char* bytes;
    size_t size, pos;
    size_t stopAt;         // the readings end here (the end record's tag or the cut)
    ReplayChannel channels[REPLAY_MAX_CHANNELS];
    int channelCount;
    int64_t lastNs;
    const char* error;     // why the last step failed
    int ranOut;            // the step failed because the bytes ended
};

void ReplayStartDecoder(ReplayDecoder* d, const unsigned char* bytes, size_t size, size_t at,
                        size_t stopAt);
// The next record; checkpoints are stepped over.
DecodeStep ReplayDecodeNext(ReplayDecoder* d, ReplayReading* out);

// The header's bytes; returns how many (at most REPLAY_HEADER_MAX).
size_t ReplayEncodeHeader(const ReplayHeader* header, unsigned char* out);

// 8 bytes, little-endian.
uint64_t ReplayUint64At(const unsigned char* p);
void ReplayPutUint64(uint64_t value, unsigned char* out);

int ReplayValueCount(int kind);

// The console line (standard output, flushed).
void ReplayLine(const char* text);

// ---- the session, between replay_record.cpp, replay_play.cpp and replay_session.cpp
int RecordBeginPass();
void RecordTime(double time);
void RecordValues(int kind, int code, const int32_t* values);
int RecordRoundEnd(const ReplayEnd* end, const char* bestPath);
int RecordFinish(const ReplayEnd* end);
int RecordAssets(uint64_t assetDigest);
int PlayBeginPass();
double PlayTime();
void PlayValues(int kind, int code, int32_t* values);
int PlayRoundEnd(const ReplayEnd* end);
int PlayFinish(const ReplayEnd* end);
int PlayAssets(uint64_t assetDigest);

extern int replayMode;    // 1 recording, 2 replaying
extern long replayPass;
