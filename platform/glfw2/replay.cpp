// replay.cpp -- the recording file and the record and replay of readings.
//
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
// A channel is one (kind, code) pair, numbered in order of first reading.
#include "platform/glfw2/replay.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

static const char kMagic[8] = {'B', 'T', 'R', 'E', 'P', 'L', 'A', 'Y'};
enum {
    TAG_SAME = 0x00,
    TAG_CHANGED = 0x40,
    TAG_CHANNEL = 0x80,
    TAG_TIME_NS = 0x81,
    TAG_TIME_RAW = 0x82,
    TAG_END = 0xFF,
};

uint64_t ReplayDigest(uint64_t digest, const void* bytes, size_t size)
{
    const unsigned char* p = (const unsigned char*)bytes;
    for (size_t i = 0; i < size; ++i) {
        digest ^= p[i];
        digest *= 1099511628211ull;
    }
    return digest;
}

static int ValueCount(int kind)
{
    return kind == REPLAY_CURSOR ? 2 : 1;
}

// ---- decoding: shared by the check of a whole file and by the replay --------

struct Channel {
    int kind, code;
    int32_t value[2];
};

struct Reading {
    int kind, code;
    int32_t value[2];
    double time;
};

struct Decoder {
    const unsigned char* bytes;
    size_t size, pos;
    Channel channels[REPLAY_MAX_CHANNELS];
    int channelCount;
    int64_t lastNs;
    const char* error;   // why the last step failed
};

static bool ReadByte(Decoder* d, unsigned char* out)
{
    if (d->pos >= d->size) {
        d->error = "truncated";
        return false;
    }
    *out = d->bytes[d->pos++];
    return true;
}

static bool ReadVarint(Decoder* d, uint64_t* out)
{
    uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        unsigned char b;
        if (!ReadByte(d, &b))
            return false;
        value |= (uint64_t)(b & 0x7F) << shift;
        if (!(b & 0x80)) {
            *out = value;
            return true;
        }
    }
    d->error = "damaged (a number runs on)";
    return false;
}

static bool ReadSigned(Decoder* d, int64_t* out)
{
    uint64_t z;
    if (!ReadVarint(d, &z))
        return false;
    *out = (int64_t)(z >> 1) ^ -(int64_t)(z & 1);
    return true;
}

static bool ReadFixed(Decoder* d, void* out, size_t count)
{
    if (d->pos > d->size || d->size - d->pos < count) {
        d->pos = d->size;
        d->error = "truncated";
        return false;
    }
    std::memcpy(out, d->bytes + d->pos, count);
    d->pos += count;
    return true;
}

static bool AddChannel(Decoder* d)
{
    unsigned char kind;
    int64_t code;
    if (!ReadByte(d, &kind) || !ReadSigned(d, &code))
        return false;
    if (kind == REPLAY_TIME || kind >= REPLAY_KIND_COUNT || code < INT32_MIN || code > INT32_MAX ||
        d->channelCount >= REPLAY_MAX_CHANNELS) {
        d->error = "damaged (a bad channel)";
        return false;
    }
    Channel* c = &d->channels[d->channelCount++];
    c->kind = kind;
    c->code = (int)code;
    c->value[0] = c->value[1] = 0;
    return true;
}

static bool ReadChannelReading(Decoder* d, unsigned char tag, Reading* out)
{
    int index = tag & 0x3F;
    if (index >= d->channelCount) {
        d->error = "damaged (a reading on no channel)";
        return false;
    }
    Channel* c = &d->channels[index];
    if (tag & TAG_CHANGED) {
        for (int i = 0; i < ValueCount(c->kind); ++i) {
            int64_t delta;
            if (!ReadSigned(d, &delta))
                return false;
            int64_t value = (int64_t)c->value[i] + delta;
            if (delta < INT32_MIN * 2ll || delta > INT32_MAX * 2ll || value < INT32_MIN ||
                value > INT32_MAX) {
                d->error = "damaged (a value out of range)";
                return false;
            }
            c->value[i] = (int32_t)value;
        }
    }
    out->kind = c->kind;
    out->code = c->code;
    out->value[0] = c->value[0];
    out->value[1] = c->value[1];
    return true;
}

static bool ReadTime(Decoder* d, unsigned char tag, Reading* out)
{
    out->kind = REPLAY_TIME;
    out->code = 0;
    if (tag == TAG_TIME_RAW) {
        uint64_t bits;
        if (!ReadFixed(d, &bits, 8))
            return false;
        std::memcpy(&out->time, &bits, 8);
    } else {
        int64_t delta;
        if (!ReadSigned(d, &delta))
            return false;
        // Kept to a century either way so the sum cannot overflow.
        const int64_t limit = 3155760000000000000ll;
        if (delta > limit || delta < -limit || d->lastNs + delta > limit ||
            d->lastNs + delta < -limit) {
            d->error = "damaged (a clock reading out of range)";
            return false;
        }
        d->lastNs += delta;
        out->time = (double)d->lastNs / 1e9;
    }
    if (!std::isfinite(out->time)) {
        d->error = "damaged (a clock reading out of range)";
        return false;
    }
    return true;
}

// The next reading: 1, 0 at the end record (not consumed), -1 on damage.
static int DecodeNext(Decoder* d, Reading* out)
{
    for (;;) {
        if (d->pos >= d->size) {
            d->error = "truncated";
            return -1;
        }
        unsigned char tag = d->bytes[d->pos];
        if (tag == TAG_END)
            return 0;
        ++d->pos;
        if (tag < TAG_CHANNEL)
            return ReadChannelReading(d, tag, out) ? 1 : -1;
        if (tag == TAG_TIME_NS || tag == TAG_TIME_RAW)
            return ReadTime(d, tag, out) ? 1 : -1;
        if (tag != TAG_CHANNEL) {
            d->error = "damaged (an unknown record)";
            return -1;
        }
        if (!AddChannel(d))
            return -1;
    }
}

static void StartDecoder(Decoder* d, const unsigned char* bytes, size_t size, size_t at)
{
    std::memset(d, 0, sizeof *d);
    d->bytes = bytes;
    d->size = size;
    d->pos = at;
}

static void Why(char* why, size_t whySize, const char* text)
{
    std::snprintf(why, whySize, "%s", text);
}

static bool ParseHeader(Decoder* d, ReplayFile* file, char* why, size_t whySize)
{
    char magic[8];
    if (d->size < 8 || std::memcmp(d->bytes, kMagic, 8) != 0) {
        Why(why, whySize, "not a recording");
        return false;
    }
    ReadFixed(d, magic, 8);
    unsigned char version[2], length = 0;
    if (!ReadFixed(d, version, 2)) {
        Why(why, whySize, "truncated");
        return false;
    }
    int format = version[0] | version[1] << 8;
    if (format != REPLAY_FORMAT_VERSION) {
        std::snprintf(why, whySize, "a recording of format version %d; this game reads version %d",
                      format, (int)REPLAY_FORMAT_VERSION);
        return false;
    }
    unsigned char digest[8], look[5];
    if (!ReadByte(d, &length) || length >= sizeof file->header.gameVersion ||
        !ReadFixed(d, file->header.gameVersion, length) || !ReadFixed(d, digest, 8) ||
        !ReadFixed(d, look, 5)) {
        Why(why, whySize, length >= sizeof file->header.gameVersion ? "damaged (header)" : "truncated");
        return false;
    }
    file->header.gameVersion[length] = '\0';
    file->header.assetDigest = 0;
    for (int i = 7; i >= 0; --i)
        file->header.assetDigest = file->header.assetDigest << 8 | digest[i];
    // The look's sensitivity as its float's bits, then the inverted look.
    uint32_t bits = (uint32_t)look[0] | (uint32_t)look[1] << 8 | (uint32_t)look[2] << 16 |
                    (uint32_t)look[3] << 24;
    std::memcpy(&file->header.sensitivity, &bits, 4);
    file->header.invertMouse = look[4];
    if (!(file->header.sensitivity >= 0.1f && file->header.sensitivity <= 10.0f) || look[4] > 1) {
        Why(why, whySize, "damaged (header)");
        return false;
    }
    return true;
}

static uint64_t Uint64At(const unsigned char* p)
{
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

static bool ParseEnd(Decoder* d, ReplayFile* file, int checkDigest, char* why, size_t whySize)
{
    file->readingsEnd = d->pos;
    ++d->pos;   // the end tag
    int64_t score;
    unsigned char body[8], digest[8];
    if (!ReadSigned(d, &score) || !ReadFixed(d, body, 8) || !ReadFixed(d, digest, 8)) {
        Why(why, whySize, d->error);
        return false;
    }
    if (score < INT32_MIN || score > INT32_MAX) {
        Why(why, whySize, "damaged (end record)");
        return false;
    }
    if (d->pos != d->size) {
        Why(why, whySize, "damaged (bytes after the end record)");
        return false;
    }
    if (checkDigest && ReplayDigest(REPLAY_DIGEST_START, d->bytes, d->size - 8) != Uint64At(digest)) {
        Why(why, whySize, "damaged (the file's digest does not match)");
        return false;
    }
    file->end.score = (int32_t)score;
    file->end.bodyDigest = Uint64At(body);
    return true;
}

int ReplayParse(const unsigned char* bytes, size_t size, int checkDigest, ReplayFile* file,
                char* why, size_t whySize)
{
    std::memset(file, 0, sizeof *file);
    Decoder* d = (Decoder*)std::calloc(1, sizeof(Decoder));
    StartDecoder(d, bytes, size, 0);
    bool ok = ParseHeader(d, file, why, whySize);
    if (ok) {
        file->readingsAt = d->pos;
        Reading r;
        int step;
        while ((step = DecodeNext(d, &r)) == 1)
            ++file->readingCount;
        if (step < 0) {
            std::snprintf(why, whySize, "%s after %ld readings", d->error, file->readingCount);
            ok = false;
        }
    }
    ok = ok && ParseEnd(d, file, checkDigest, why, whySize);
    std::free(d);
    file->bytes = (unsigned char*)bytes;
    file->size = size;
    return ok ? 1 : 0;
}

// ---- the session: one recording being written or one being replayed ------

struct Session {
    int mode;               // 1 recording, 2 replaying
    long pass;
    // Recording.
    FILE* out;
    std::vector<unsigned char> buffer;
    uint64_t digest;
    Channel channels[REPLAY_MAX_CHANNELS];
    int channelCount;
    int64_t lastNs;
    bool writeFailed;
    // Replaying.
    ReplayFile file;
    Decoder decoder;
    int fast;
    bool clockStarted;
    double firstRecorded, firstLive;
};

static Session session;

int ReplayMode() { return session.mode; }
void ReplayBeginPass() { ++session.pass; }
long ReplayPassCount() { return session.pass; }

static void Line(const char* text)
{
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// ---- writing ----------------------------------------------------------------

static void Flush()
{
    if (session.buffer.empty())
        return;
    if (std::fwrite(session.buffer.data(), 1, session.buffer.size(), session.out) !=
        session.buffer.size())
        session.writeFailed = true;
    session.buffer.clear();
}

static void Put(const void* bytes, size_t count)
{
    const unsigned char* p = (const unsigned char*)bytes;
    session.digest = ReplayDigest(session.digest, p, count);
    session.buffer.insert(session.buffer.end(), p, p + count);
    if (session.buffer.size() >= 65536)
        Flush();
}

static void PutByte(unsigned char b) { Put(&b, 1); }

static void PutVarint(uint64_t value)
{
    unsigned char bytes[10];
    int n = 0;
    do {
        unsigned char b = value & 0x7F;
        value >>= 7;
        bytes[n++] = (unsigned char)(value ? b | 0x80 : b);
    } while (value);
    Put(bytes, (size_t)n);
}

static void PutSigned(int64_t value)
{
    PutVarint(((uint64_t)value << 1) ^ (uint64_t)(value >> 63));
}

static void PutUint64(uint64_t value)
{
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = (unsigned char)(value >> (8 * i));
    Put(bytes, 8);
}

int ReplayStartRecording(const char* path, const ReplayHeader* header)
{
    session.out = std::fopen(path, "wb");
    if (!session.out) {
        std::fprintf(stdout, "Cannot write the recording %s\n", path);
        std::fflush(stdout);
        return 0;
    }
    session.mode = 1;
    session.pass = 0;
    session.channelCount = 0;
    session.lastNs = 0;
    session.writeFailed = false;
    session.digest = REPLAY_DIGEST_START;
    Put(kMagic, 8);
    PutByte(REPLAY_FORMAT_VERSION & 0xFF);
    PutByte(REPLAY_FORMAT_VERSION >> 8);
    size_t length = strnlen(header->gameVersion, sizeof header->gameVersion - 1);
    PutByte((unsigned char)length);
    Put(header->gameVersion, length);
    PutUint64(header->assetDigest);
    uint32_t bits;
    std::memcpy(&bits, &header->sensitivity, 4);
    for (int i = 0; i < 4; ++i)
        PutByte((unsigned char)(bits >> (8 * i)));
    PutByte(header->invertMouse);
    return 1;
}

static int RecordChannel(int kind, int code)
{
    for (int i = 0; i < session.channelCount; ++i)
        if (session.channels[i].kind == kind && session.channels[i].code == code)
            return i;
    if (session.channelCount >= REPLAY_MAX_CHANNELS) {
        Line("The recording cannot hold so many kinds of reading; stopped");
        std::_Exit(1);   // at once: nothing of the game runs on
    }
    Channel* c = &session.channels[session.channelCount];
    c->kind = kind;
    c->code = code;
    c->value[0] = c->value[1] = 0;
    PutByte(TAG_CHANNEL);
    PutByte((unsigned char)kind);
    PutSigned(code);
    return session.channelCount++;
}

static void RecordValues(int kind, int code, const int32_t* values)
{
    int index = RecordChannel(kind, code);
    Channel* c = &session.channels[index];
    bool same = true;
    for (int i = 0; i < ValueCount(kind); ++i)
        same = same && c->value[i] == values[i];
    if (same) {
        PutByte((unsigned char)(TAG_SAME | index));
        return;
    }
    PutByte((unsigned char)(TAG_CHANGED | index));
    for (int i = 0; i < ValueCount(kind); ++i) {
        PutSigned((int64_t)values[i] - c->value[i]);
        c->value[i] = values[i];
    }
}

static void RecordTime(double time)
{
    // GLFW's clock counts nanoseconds; such a reading is kept as a small
    // difference, anything else exactly as its bits.
    double scaled = time * 1e9;
    if (std::fabs(scaled) < 9e18) {
        int64_t ns = (int64_t)std::llround(scaled);
        for (int64_t guess = ns - 1; guess <= ns + 1; ++guess) {
            if ((double)guess / 1e9 == time) {
                PutByte(TAG_TIME_NS);
                PutSigned(guess - session.lastNs);
                session.lastNs = guess;
                return;
            }
        }
    }
    uint64_t bits;
    std::memcpy(&bits, &time, 8);
    PutByte(TAG_TIME_RAW);
    PutUint64(bits);
}

static int FinishRecording(const ReplayEnd* end)
{
    PutByte(TAG_END);
    PutSigned(end->score);
    PutUint64(end->bodyDigest);
    PutUint64(session.digest);
    Flush();
    bool failed = session.writeFailed || std::fclose(session.out) != 0;
    session.out = nullptr;
    session.mode = 0;
    if (failed) {
        Line("The recording could not be written in full");
        return 1;
    }
    return 0;
}

// ---- replaying --------------------------------------------------------------

int ReplayStartPlayback(const char* path, const ReplayHeader* expected, int fast)
{
    char line[512];
    FILE* in = std::fopen(path, "rb");
    if (!in) {
        std::snprintf(line, sizeof line, "Cannot read the recording %s", path);
        Line(line);
        return 0;
    }
    std::vector<unsigned char> bytes;
    unsigned char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(in);
    unsigned char* kept = (unsigned char*)std::malloc(bytes.size() + 1);
    if (!bytes.empty())
        std::memcpy(kept, bytes.data(), bytes.size());
    char why[200];
    ReplayFile* file = &session.file;
    if (!ReplayParse(kept, bytes.size(), 1, file, why, sizeof why)) {
        std::snprintf(line, sizeof line, "The recording %s cannot be replayed: %s", path, why);
    } else if (std::strcmp(file->header.gameVersion, expected->gameVersion) != 0) {
        std::snprintf(line, sizeof line,
                      "The recording %s cannot be replayed: made by version %s, this is %s", path,
                      file->header.gameVersion, expected->gameVersion);
    } else if (file->header.assetDigest != expected->assetDigest) {
        std::snprintf(line, sizeof line,
                      "The recording %s cannot be replayed: made with other asset files", path);
    } else {
        StartDecoder(&session.decoder, kept, file->size, file->readingsAt);
        session.mode = 2;
        session.pass = 0;
        session.fast = fast;
        session.clockStarted = false;
        return 1;
    }
    std::free(kept);
    Line(line);
    return 0;
}

const ReplayHeader* ReplayRecordedHeader()
{
    return &session.file.header;
}

static void KindName(int kind, int code, char* text, size_t size)
{
    static const char* names[REPLAY_KIND_COUNT] = {"the clock", "key", "button", "the cursor",
                                                   "window state"};
    if (kind == REPLAY_TIME || kind == REPLAY_CURSOR)
        std::snprintf(text, size, "%s", names[kind]);
    else
        std::snprintf(text, size, "%s %d", names[kind], code);
}

// The next recorded reading, which must be of this kind and code.
static Reading NextReading(int kind, int code)
{
    Reading r;
    int step = DecodeNext(&session.decoder, &r);
    char asked[48], held[48], line[200];
    KindName(kind, code, asked, sizeof asked);
    if (step == 1 && r.kind == kind && r.code == code)
        return r;
    if (step == 1) {
        KindName(r.kind, r.code, held, sizeof held);
        std::snprintf(line, sizeof line,
                      "Replay diverged at pass %ld: the game read %s where the recording holds %s",
                      session.pass, asked, held);
    } else {
        std::snprintf(line, sizeof line,
                      "Replay diverged at pass %ld: the game read %s after the recording's last reading",
                      session.pass, asked);
    }
    Line(line);
    std::_Exit(1);   // at once: nothing of the game runs on
}

// Real time: wait until as much time has passed since the first clock reading
// as had passed when this one was recorded.
static void WaitForRecordedTime(double recorded)
{
    if (!session.clockStarted) {
        session.clockStarted = true;
        session.firstRecorded = recorded;
        session.firstLive = ::glfwGetTime();
        return;
    }
    for (;;) {
        double ahead = (recorded - session.firstRecorded) - (::glfwGetTime() - session.firstLive);
        if (ahead <= 0.0)
            return;
        std::this_thread::sleep_for(std::chrono::duration<double>(ahead < 0.005 ? ahead : 0.005));
    }
}

double ReplayTime(double live)
{
    if (session.mode == 1)
        RecordTime(live);
    if (session.mode != 2)
        return live;
    Reading r = NextReading(REPLAY_TIME, 0);
    if (!session.fast)
        WaitForRecordedTime(r.time);
    return r.time;
}

int ReplayFlag(int kind, int code, int live)
{
    if (session.mode == 1) {
        int32_t values[2] = {live, 0};
        RecordValues(kind, code, values);
    }
    if (session.mode != 2)
        return live;
    return NextReading(kind, code).value[0];
}

void ReplayCursor(int* x, int* y)
{
    if (session.mode == 1) {
        int32_t values[2] = {*x, *y};
        RecordValues(REPLAY_CURSOR, 0, values);
    }
    if (session.mode != 2)
        return;
    Reading r = NextReading(REPLAY_CURSOR, 0);
    *x = r.value[0];
    *y = r.value[1];
}

static int FinishReplay(const ReplayEnd* end)
{
    char line[200];
    Reading r;
    int step = DecodeNext(&session.decoder, &r);
    session.mode = 0;
    const ReplayEnd* recorded = &session.file.end;
    int status = 1;
    if (step != 0)
        std::snprintf(line, sizeof line,
                      "Replay diverged at pass %ld: the game ended where the recording goes on",
                      session.pass);
    else if (end->score != recorded->score)
        std::snprintf(line, sizeof line, "Replay mismatch: final score %d, recorded %d",
                      (int)end->score, (int)recorded->score);
    else if (end->bodyDigest != recorded->bodyDigest)
        std::snprintf(line, sizeof line,
                      "Replay mismatch: body matrices digest %016llx, recorded %016llx",
                      (unsigned long long)end->bodyDigest,
                      (unsigned long long)recorded->bodyDigest);
    else {
        std::snprintf(line, sizeof line,
                      "replay verified: %ld passes, final score %d, body matrices digest %016llx",
                      session.pass, (int)end->score, (unsigned long long)end->bodyDigest);
        status = 0;
    }
    Line(line);
    std::free(session.file.bytes);
    session.file.bytes = nullptr;
    return status;
}

int ReplayFinish(const ReplayEnd* end)
{
    if (session.mode == 1)
        return FinishRecording(end);
    if (session.mode == 2)
        return FinishReplay(end);
    return 0;
}
