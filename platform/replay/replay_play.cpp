// replay_play.cpp -- handing a recording's readings back to the game: the file
// read and checked, the readings given in order, the recorded clock kept in
// real time unless fast, and the end checked against the game's.
#include "platform/replay/replay_local.h"

#include "platform/files/files.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

struct Playback {
    char path[PATH_MAX];
    ReplayFile file;
    ReplayDecoder decoder;
    int fast;
    bool clockStarted;
    std::chrono::steady_clock::time_point firstLive;
    double firstRecorded;
    bool stopAsked;      // the player pressed Esc or closed the window
    bool cutReached;     // the game asked for a pass behind the cut
};

Playback playback;

struct HeadCheck {
    const ReplayHeader* expected;
    char why[200];
};

// The header is checked before the rest of the file is read.
int AcceptHead(const unsigned char* head, size_t size, void* user)
{
    HeadCheck* check = (HeadCheck*)user;
    ReplayHeader header;
    size_t headerSize;
    if (!ReplayParseHeader(head, size, &header, &headerSize, check->why, sizeof check->why))
        return 0;
    // The assets are not read yet: their digest is compared once they are.
    ReplayHeader game = *check->expected;
    game.assetDigest = header.assetDigest;
    return !ReplayHeaderMismatch(&header, &game, check->why, sizeof check->why);
}

void Refuse(const char* path, const char* why)
{
    char line[PATH_MAX + 256];
    std::snprintf(line, sizeof line, "The recording %s cannot be replayed: %s", path, why);
    ReplayLine(line);
}

// The recording's bytes, or null after its line.
unsigned char* Load(const char* path, const ReplayHeader* expected, size_t* size)
{
    HeadCheck check = {expected, ""};
    FilesHeadCheck head = {REPLAY_HEADER_MAX, AcceptHead, &check};
    unsigned char* bytes;
    int reason;
    char why[200];
    switch (FilesReadWhole(path, REPLAY_MAX_FILE_SIZE, &head, &bytes, size, &reason)) {
    case FILES_READ:
        return bytes;
    case FILES_HEAD_REFUSED:
        Refuse(path, check.why);
        return nullptr;
    case FILES_TOO_LARGE:
        std::snprintf(why, sizeof why, "too large for a recording (more than %d MiB)",
                      (int)(REPLAY_MAX_FILE_SIZE >> 20));
        Refuse(path, why);
        return nullptr;
    default:
        Refuse(path, FilesReason(reason));
        return nullptr;
    }
}

void KindName(int kind, int code, char* text, size_t size)
{
    static const char* names[REPLAY_KIND_COUNT] = {"the clock", "key", "button", "the cursor",
                                                   "window state"};
    if (kind == REPLAY_TIME || kind == REPLAY_CURSOR)
        std::snprintf(text, size, "%s", names[kind]);
    else
        std::snprintf(text, size, "%s %d", names[kind], code);
}

void RecordedName(DecodeStep step, const ReplayReading* r, char* text, size_t size)
{
    if (step == DECODE_READING)
        KindName(r->kind, r->code, text, size);
    else if (step == DECODE_PASS)
        std::snprintf(text, size, "the next pass");
    else if (step == DECODE_ROUND_END)
        std::snprintf(text, size, "the round's end");
    else
        std::snprintf(text, size, "its end");
}

[[noreturn]] void Diverged(const char* asked, DecodeStep step, const ReplayReading* r)
{
    char held[48], line[256];
    RecordedName(step, r, held, sizeof held);
    std::snprintf(line, sizeof line, "Replay diverged at pass %ld: the game %s where the recording holds %s",
                  replayPass, asked, held);
    ReplayLine(line);
    std::_Exit(1);   // at once: nothing of the game runs on
}

// The next recorded reading, which must be of this kind and code.
ReplayReading NextReading(int kind, int code)
{
    ReplayReading r;
    DecodeStep step = ReplayDecodeNext(&playback.decoder, &r);
    if (step == DECODE_READING && r.kind == kind && r.code == code)
        return r;
    char asked[64], name[48];
    KindName(kind, code, name, sizeof name);
    if (step == DECODE_END) {
        char line[200];
        std::snprintf(line, sizeof line,
                      "Replay diverged at pass %ld: the game read %s after the recording's last reading",
                      replayPass, name);
        ReplayLine(line);
        std::_Exit(1);
    }
    std::snprintf(asked, sizeof asked, "read %s", name);
    Diverged(asked, step, &r);
}

// Real time: wait until as much time has passed since the first clock reading
// as had passed when this one was recorded.
void WaitForRecordedTime(double recorded)
{
    auto now = std::chrono::steady_clock::now();
    if (!playback.clockStarted) {
        playback.clockStarted = true;
        playback.firstRecorded = recorded;
        playback.firstLive = now;
        return;
    }
    for (;;) {
        double live = std::chrono::duration<double>(std::chrono::steady_clock::now() -
                                                    playback.firstLive).count();
        double ahead = (recorded - playback.firstRecorded) - live;
        if (ahead <= 0.0)
            return;
        std::this_thread::sleep_for(std::chrono::duration<double>(ahead < 0.005 ? ahead : 0.005));
    }
}

int EndLine(const char* line, int status)
{
    ReplayLine(line);
    std::free((void*)playback.file.bytes);
    playback.file.bytes = nullptr;
    replayMode = 0;
    return status;
}

// The game's end against the recorded one: 0 verified, 1 a mismatch.
int Compare(const ReplayEnd* end, const ReplayEnd* recorded, const char* what)
{
    char line[200];
    if (end->score != recorded->score) {
        std::snprintf(line, sizeof line, "Replay mismatch%s: final score %d, recorded %d", what,
                      (int)end->score, (int)recorded->score);
        return EndLine(line, 1);
    }
    if (end->bodyDigest != recorded->bodyDigest) {
        std::snprintf(line, sizeof line,
                      "Replay mismatch%s: body matrices digest %016llx, recorded %016llx", what,
                      (unsigned long long)end->bodyDigest,
                      (unsigned long long)recorded->bodyDigest);
        return EndLine(line, 1);
    }
    return -1;
}

int Verified(const ReplayEnd* end)
{
    char line[200];
    std::snprintf(line, sizeof line,
                  "replay verified: %ld passes, final score %d, body matrices digest %016llx",
                  replayPass, (int)end->score, (unsigned long long)end->bodyDigest);
    return EndLine(line, 0);
}

} // namespace

const ReplayHeader* ReplayRecordedHeader()
{
    return &playback.file.header;
}

int ReplayStartPlayback(const char* path, const ReplayHeader* expected, int fast)
{
    size_t size = 0;
    unsigned char* bytes = Load(path, expected, &size);
    if (!bytes)
        return 0;
    char why[200];
    ReplayFile* file = &playback.file;
    if (!ReplayParse(bytes, size, 1, file, why, sizeof why)) {
        std::free(bytes);
        Refuse(path, why);
        return 0;
    }
    ReplayStartDecoder(&playback.decoder, bytes, size, file->readingsAt,
                       file->cut ? file->readingsEnd : size);
    std::snprintf(playback.path, sizeof playback.path, "%s", path);
    replayMode = 2;
    replayPass = 0;
    playback.fast = fast;
    playback.clockStarted = false;
    playback.stopAsked = false;
    playback.cutReached = false;
    return 1;
}

void ReplayRequestStop()
{
    if (replayMode == 2)
        playback.stopAsked = true;
}

int PlayBeginPass()
{
    if (playback.stopAsked)
        return 0;
    ReplayReading r;
    DecodeStep step = ReplayDecodeNext(&playback.decoder, &r);
    if (step == DECODE_PASS)
        return 1;
    if (step == DECODE_END && playback.file.cut) {
        playback.cutReached = true;
        return 0;
    }
    Diverged("began a new pass", step, &r);
}

double PlayTime()
{
    ReplayReading r = NextReading(REPLAY_TIME, 0);
    if (!playback.fast)
        WaitForRecordedTime(r.time);
    return r.time;
}

void PlayValues(int kind, int code, int32_t* values)
{
    ReplayReading r = NextReading(kind, code);
    values[0] = r.value[0];
    values[1] = r.value[1];
}

int PlayRoundEnd(const ReplayEnd* end)
{
    ReplayReading r;
    DecodeStep step = ReplayDecodeNext(&playback.decoder, &r);
    if (step == DECODE_ROUND_END) {
        if (Compare(end, &r.roundEnd, " at a round's end") == 1)
            std::_Exit(1);   // its line is out; nothing of the game runs on
        return 0;
    }
    if (step == DECODE_END && !playback.file.cut) {
        // The recording ends with this round (the best round, kept alone).
        int status = Compare(end, &playback.file.end, "");
        return status == 1 ? 2 : Verified(end) == 0 ? 1 : 2;
    }
    Diverged("ended a round", step, &r);
}

int PlayAssets(uint64_t assetDigest)
{
    ReplayHeader recorded = playback.file.header, game = recorded;
    game.assetDigest = assetDigest;
    char why[200];
    if (!ReplayHeaderMismatch(&recorded, &game, why, sizeof why))
        return 1;
    Refuse(playback.path, why);
    std::free((void*)playback.file.bytes);
    playback.file.bytes = nullptr;
    replayMode = 0;
    return 0;
}

int PlayFinish(const ReplayEnd* end)
{
    char line[200];
    if (playback.stopAsked) {
        std::snprintf(line, sizeof line, "replay stopped at pass %ld of %ld", replayPass,
                      playback.file.passCount);
        return EndLine(line, 0);
    }
    ReplayReading r;
    DecodeStep step = playback.cutReached ? DECODE_END : ReplayDecodeNext(&playback.decoder, &r);
    if (step == DECODE_END && playback.file.cut) {
        std::snprintf(line, sizeof line,
                      "replay ended: the recording was cut short at pass %ld", replayPass);
        return EndLine(line, 0);
    }
    if (step != DECODE_END) {
        std::snprintf(line, sizeof line,
                      "Replay diverged at pass %ld: the game ended where the recording goes on",
                      replayPass);
        return EndLine(line, 1);
    }
    int status = Compare(end, &playback.file.end, "");
    return status == 1 ? 1 : Verified(end);
}
