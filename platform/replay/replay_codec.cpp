// replay_codec.cpp -- the recording format: the digest, the header, the
// decoder of readings and the check of a whole (or cut) file. No input or
// output here, so the fuzzer reads it alone (with the files layer's digest).
#include "platform/replay/replay_local.h"

#include "platform/files/files.h"

#include <cmath>
#include <cstdio>
#include <cstring>

static const char kMagic[8] = {'B', 'T', 'R', 'E', 'P', 'L', 'A', 'Y'};

uint64_t ReplayDigest(uint64_t digest, const void* bytes, size_t size)
{
    return FilesDigest(digest, bytes, size);
}

int ReplayValueCount(int kind)
{
    return kind == REPLAY_CURSOR ? 2 : 1;
}

uint64_t ReplayUint64At(const unsigned char* p)
{
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

void ReplayPutUint64(uint64_t value, unsigned char* out)
{
    for (int i = 0; i < 8; ++i)
        out[i] = (unsigned char)(value >> (8 * i));
}

void ReplayLine(const char* text)
{
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// ---- decoding: shared by the check of a whole file and by the replay --------

static bool RanOut(ReplayDecoder* d)
{
    d->error = "truncated";
    d->ranOut = 1;
    d->pos = d->size;
    return false;
}

static bool ReadByte(ReplayDecoder* d, unsigned char* out)
{
    if (d->pos >= d->size)
        return RanOut(d);
    *out = d->bytes[d->pos++];
    return true;
}

static bool ReadVarint(ReplayDecoder* d, uint64_t* out)
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

static bool ReadSigned(ReplayDecoder* d, int64_t* out)
{
    uint64_t z;
    if (!ReadVarint(d, &z))
        return false;
    *out = (int64_t)(z >> 1) ^ -(int64_t)(z & 1);
    return true;
}

static bool ReadFixed(ReplayDecoder* d, void* out, size_t count)
{
    if (d->pos > d->size || d->size - d->pos < count)
        return RanOut(d);
    std::memcpy(out, d->bytes + d->pos, count);
    d->pos += count;
    return true;
}

static bool ReadUint64(ReplayDecoder* d, uint64_t* out)
{
    unsigned char bytes[8];
    if (!ReadFixed(d, bytes, 8))
        return false;
    *out = ReplayUint64At(bytes);
    return true;
}

static bool AddChannel(ReplayDecoder* d)
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
    ReplayChannel* c = &d->channels[d->channelCount++];
    c->kind = kind;
    c->code = (int)code;
    c->value[0] = c->value[1] = 0;
    return true;
}

static bool ReadChannelReading(ReplayDecoder* d, unsigned char tag, ReplayReading* out)
{
    int index = tag & 0x3F;
    if (index >= d->channelCount) {
        d->error = "damaged (a reading on no channel)";
        return false;
    }
    ReplayChannel* c = &d->channels[index];
    if (tag & TAG_CHANGED) {
        for (int i = 0; i < ReplayValueCount(c->kind); ++i) {
            int64_t delta;
            if (!ReadSigned(d, &delta))
                return false;
            // The delta is bounded before it is added: two 32-bit values are
            // never further apart than that.
            if (delta < INT32_MIN * 2ll || delta > INT32_MAX * 2ll) {
                d->error = "damaged (a value out of range)";
                return false;
            }
            int64_t value = (int64_t)c->value[i] + delta;
            if (value < INT32_MIN || value > INT32_MAX) {
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

static bool ReadTime(ReplayDecoder* d, unsigned char tag, ReplayReading* out)
{
    out->kind = REPLAY_TIME;
    out->code = 0;
    if (tag == TAG_TIME_RAW) {
        uint64_t bits;
        if (!ReadUint64(d, &bits))
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

static bool ReadRoundEnd(ReplayDecoder* d, ReplayReading* out)
{
    int64_t score;
    uint64_t body;
    if (!ReadSigned(d, &score) || !ReadUint64(d, &body))
        return false;
    if (score < INT32_MIN || score > INT32_MAX) {
        d->error = "damaged (a round's end)";
        return false;
    }
    out->roundEnd.score = (int32_t)score;
    out->roundEnd.bodyDigest = body;
    return true;
}

void ReplayStartDecoder(ReplayDecoder* d, const unsigned char* bytes, size_t size, size_t at,
                        size_t stopAt)
{
    std::memset(d, 0, sizeof *d);
    d->bytes = bytes;
    d->size = size;
    d->pos = at;
    d->stopAt = stopAt;
}

DecodeStep ReplayDecodeNext(ReplayDecoder* d, ReplayReading* out)
{
    for (;;) {
        if (d->pos >= d->stopAt && d->stopAt < d->size)
            return DECODE_END;
        if (d->pos >= d->size)
            return RanOut(d), DECODE_DAMAGED;
        unsigned char tag = d->bytes[d->pos];
        if (tag == TAG_END)
            return DECODE_END;
        ++d->pos;
        if (tag < TAG_CHANNEL)
            return ReadChannelReading(d, tag, out) ? DECODE_READING : DECODE_DAMAGED;
        switch (tag) {
        case TAG_TIME_NS:
        case TAG_TIME_RAW:
            return ReadTime(d, tag, out) ? DECODE_READING : DECODE_DAMAGED;
        case TAG_PASS:
            return DECODE_PASS;
        case TAG_ROUND_END:
            return ReadRoundEnd(d, out) ? DECODE_ROUND_END : DECODE_DAMAGED;
        case TAG_CHECK: {
            uint64_t digest;
            if (!ReadUint64(d, &digest))
                return DECODE_DAMAGED;
            continue;
        }
        case TAG_CHANNEL:
            if (!AddChannel(d))
                return DECODE_DAMAGED;
            continue;
        default:
            d->error = "damaged (an unknown record)";
            return DECODE_DAMAGED;
        }
    }
}

// ---- the header ---------------------------------------------------------------

size_t ReplayEncodeHeader(const ReplayHeader* header, unsigned char* out)
{
    size_t n = 0;
    std::memcpy(out, kMagic, 8);
    n += 8;
    out[n++] = REPLAY_FORMAT_VERSION & 0xFF;
    out[n++] = REPLAY_FORMAT_VERSION >> 8;
    size_t length = strnlen(header->gameVersion, sizeof header->gameVersion - 1);
    out[n++] = (unsigned char)length;
    std::memcpy(out + n, header->gameVersion, length);
    n += length;
    ReplayPutUint64(header->assetDigest, out + n);
    n += 8;
    // The look's sensitivity as its float's bits, then the inverted look.
    uint32_t bits;
    std::memcpy(&bits, &header->sensitivity, 4);
    for (int i = 0; i < 4; ++i)
        out[n++] = (unsigned char)(bits >> (8 * i));
    out[n++] = header->invertMouse;
    return n;
}

static void Why(char* why, size_t whySize, const char* text)
{
    std::snprintf(why, whySize, "%s", text);
}

// The fields after the format version.
static bool ReadHeaderFields(ReplayDecoder* d, ReplayHeader* header)
{
    unsigned char length = 0;
    if (!ReadByte(d, &length))
        return false;
    if (length >= sizeof header->gameVersion) {
        d->error = "damaged (header)";
        return false;
    }
    unsigned char look[5];
    if (!ReadFixed(d, header->gameVersion, length) || !ReadUint64(d, &header->assetDigest) ||
        !ReadFixed(d, look, 5))
        return false;
    header->gameVersion[length] = '\0';
    uint32_t bits = (uint32_t)look[0] | (uint32_t)look[1] << 8 | (uint32_t)look[2] << 16 |
                    (uint32_t)look[3] << 24;
    std::memcpy(&header->sensitivity, &bits, 4);
    header->invertMouse = look[4];
    if (!(header->sensitivity >= 0.1f && header->sensitivity <= 10.0f) || look[4] > 1) {
        d->error = "damaged (header)";
        return false;
    }
    return true;
}

int ReplayParseHeader(const unsigned char* bytes, size_t size, ReplayHeader* header,
                      size_t* headerSize, char* why, size_t whySize)
{
    std::memset(header, 0, sizeof *header);
    if (size < 8 || std::memcmp(bytes, kMagic, 8) != 0) {
        Why(why, whySize, size == 0 ? "an empty file, not a recording" : "not a recording");
        return 0;
    }
    ReplayDecoder d;
    ReplayStartDecoder(&d, bytes, size, 8, size);
    unsigned char version[2];
    if (!ReadFixed(&d, version, 2)) {
        Why(why, whySize, "truncated in its header");
        return 0;
    }
    int format = version[0] | version[1] << 8;
    if (format != REPLAY_FORMAT_VERSION) {
        std::snprintf(why, whySize, "a recording of format version %d; this game reads version %d",
                      format, (int)REPLAY_FORMAT_VERSION);
        return 0;
    }
    if (!ReadHeaderFields(&d, header)) {
        Why(why, whySize, d.ranOut ? "truncated in its header" : d.error);
        return 0;
    }
    *headerSize = d.pos;
    return 1;
}

int ReplayHeaderMismatch(const ReplayHeader* recorded, const ReplayHeader* game, char* why,
                         size_t whySize)
{
    if (std::strcmp(recorded->gameVersion, game->gameVersion) != 0) {
        std::snprintf(why, whySize, "made by version %s, this is %s", recorded->gameVersion,
                      game->gameVersion);
        return 1;
    }
    if (recorded->assetDigest != game->assetDigest) {
        Why(why, whySize, "made with other asset files");
        return 1;
    }
    return 0;
}

// ---- the whole file -------------------------------------------------------------

// Walking a file through, with the digest of every byte before pos.
struct FileWalk {
    ReplayDecoder d;
    uint64_t digest;
    size_t hashedTo;
    int checkDigest;
    size_t lastMarkAt;       // the latest pass mark
    long marksBeforeLast;    // pass marks before it
    size_t lastWholeAt;      // the last pass mark before the last good checkpoint
    long passesBefore;       // pass marks before lastWholeAt: the whole passes
    long passMarks;
};

static uint64_t DigestUpTo(FileWalk* w, size_t pos)
{
    w->digest = ReplayDigest(w->digest, w->d.bytes + w->hashedTo, pos - w->hashedTo);
    w->hashedTo = pos;
    return w->digest;
}

// A checkpoint at the decoder's position: its digest must be that of every
// byte before its tag.
static bool Checkpoint(FileWalk* w)
{
    size_t at = w->d.pos;
    ++w->d.pos;
    uint64_t recorded;
    if (!ReadUint64(&w->d, &recorded))
        return false;
    if (w->checkDigest && DigestUpTo(w, at) != recorded) {
        w->d.error = "damaged (a checkpoint's digest does not match)";
        return false;
    }
    // Every byte before it is good: the passes before the latest mark are whole.
    w->lastWholeAt = w->lastMarkAt;
    w->passesBefore = w->marksBeforeLast;
    return true;
}

// Steps through the readings to the end record; DECODE_END there, else why not.
static DecodeStep WalkReadings(FileWalk* w, ReplayFile* file)
{
    for (;;) {
        ReplayDecoder* d = &w->d;
        if (d->pos < d->size && d->bytes[d->pos] == TAG_CHECK) {
            if (!Checkpoint(w))
                return DECODE_DAMAGED;
            continue;
        }
        size_t at = d->pos;
        ReplayReading r;
        DecodeStep step = ReplayDecodeNext(d, &r);
        if (step == DECODE_PASS) {
            w->lastMarkAt = at;
            w->marksBeforeLast = w->passMarks++;
        } else if (step == DECODE_READING) {
            ++file->readingCount;
        } else if (step != DECODE_ROUND_END) {
            return step;
        }
    }
}

// The bytes ran out before the end record: the recording stops at its last
// whole pass that a checkpoint vouches for.
static bool TakeCut(FileWalk* w, ReplayFile* file, char* why, size_t whySize)
{
    if (w->lastWholeAt == 0 || w->passesBefore == 0) {
        Why(why, whySize, "cut short before its first whole pass");
        return false;
    }
    file->cut = 1;
    file->readingsEnd = w->lastWholeAt;
    file->passCount = w->passesBefore;
    return true;
}

static bool ParseEnd(FileWalk* w, ReplayFile* file, char* why, size_t whySize)
{
    ReplayDecoder* d = &w->d;
    file->readingsEnd = d->pos;
    ++d->pos;   // the end tag
    int64_t score;
    uint64_t body, digest;
    if (!ReadSigned(d, &score) || !ReadUint64(d, &body) || !ReadUint64(d, &digest)) {
        if (d->ranOut)
            return TakeCut(w, file, why, whySize);
        Why(why, whySize, "damaged (end record)");
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
    if (w->checkDigest && DigestUpTo(w, d->size - 8) != digest) {
        Why(why, whySize, "damaged (the file's digest does not match)");
        return false;
    }
    file->end.score = (int32_t)score;
    file->end.bodyDigest = body;
    file->passCount = w->passMarks;
    return true;
}

int ReplayParse(const unsigned char* bytes, size_t size, int checkDigest, ReplayFile* file,
                char* why, size_t whySize)
{
    std::memset(file, 0, sizeof *file);
    file->bytes = bytes;
    file->size = size;
    size_t headerSize = 0;
    if (!ReplayParseHeader(bytes, size, &file->header, &headerSize, why, whySize))
        return 0;
    FileWalk w;
    std::memset(&w, 0, sizeof w);
    ReplayStartDecoder(&w.d, bytes, size, headerSize, size);
    w.digest = REPLAY_DIGEST_START;
    w.checkDigest = checkDigest;
    file->readingsAt = headerSize;
    DecodeStep step = WalkReadings(&w, file);
    if (step == DECODE_END)
        return ParseEnd(&w, file, why, whySize) ? 1 : 0;
    if (w.d.ranOut)
        return TakeCut(&w, file, why, whySize) ? 1 : 0;
    std::snprintf(why, whySize, "%s after %ld readings", w.d.error, file->readingCount);
    return 0;
}
