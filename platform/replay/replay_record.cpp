// replay_record.cpp -- writing a recording as the game plays: into a new file
// beside each chosen path, put in its place once the first passes are written,
// flushed with a checkpoint at least once a second, and flushed once more when
// the game is ended by a signal or exit(), so a cut recording still replays.
#include "platform/replay/replay_local.h"

#include "platform/files/files.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum { kMaxOutputs = 2, kBufferSize = 1 << 20, kRecordRoom = 1024 };
const double kFlushSeconds = 0.5;
const long kPlacedAtPass = 2;   // the header and the first whole pass are written

struct Output {
    int fd;                     // -1 once it failed
    int lockFd;
    char path[PATH_MAX];
    char tempPath[PATH_MAX + 16];
    char lockPath[PATH_MAX + 8];
    int placed;                 // renamed over path
    int quiet;                  // the game's own copy: a failure does not change the exit status
};

Output outputs[kMaxOutputs];
int outputCount = 0;
unsigned char buffer[kBufferSize];
size_t used = 0;                // bytes in buffer
uint64_t written = 0;           // bytes flushed to the files
uint64_t digest = REPLAY_DIGEST_START;   // of every byte put so far
// What a signal handler may write: the buffer up to the last whole record,
// and the digest of every byte before that point.
volatile size_t safeUsed = 0;
volatile uint64_t safeDigest = REPLAY_DIGEST_START;
ReplayChannel channels[REPLAY_MAX_CHANNELS];
int channelCount = 0;
int64_t lastNs = 0;
std::chrono::steady_clock::time_point lastFlush;

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[3];
bool handlersSet = false;

void Put(const void* bytes, size_t count)
{
    std::memcpy(buffer + used, bytes, count);
    used += count;
    digest = ReplayDigest(digest, bytes, count);
}

void PutByte(unsigned char b) { Put(&b, 1); }

void PutVarint(uint64_t value)
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

void PutSigned(int64_t value)
{
    PutVarint(((uint64_t)value << 1) ^ (uint64_t)(value >> 63));
}

void PutUint64(uint64_t value)
{
    unsigned char bytes[8];
    ReplayPutUint64(value, bytes);
    Put(bytes, 8);
}

void PutCheckpoint()
{
    uint64_t before = digest;
    PutByte(TAG_CHECK);
    PutUint64(before);
}

void Report(const Output* out, int reason)
{
    char line[PATH_MAX + 128];
    std::snprintf(line, sizeof line, "Cannot write the recording %s: %s", out->path,
                  std::strerror(reason));
    ReplayLine(line);
}

// The lock file goes with the recording's end; a game killed leaves it empty.
void ReleaseLock(Output* out)
{
    if (out->lockFd < 0)
        return;
    unlink(out->lockPath);
    close(out->lockFd);
    out->lockFd = -1;
}

// A file that cannot be written is reported once, with the system's reason,
// and dropped; the round plays on.
void Drop(Output* out, int reason)
{
    Report(out, reason);
    close(out->fd);
    out->fd = -1;
    if (!out->placed)
        unlink(out->tempPath);
    ReleaseLock(out);
}

bool WriteAll(int fd, const unsigned char* bytes, size_t count, int* reason)
{
    if (FilesWriteAll(fd, bytes, count))
        return true;
    *reason = errno;
    return false;
}

// The ending signals wait while the buffer goes out, so that their handler
// never writes a part of it twice.
void BlockEndingSignals(bool block)
{
    sigset_t set;
    sigemptyset(&set);
    for (int s : kEndingSignals)
        sigaddset(&set, s);
    sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

void Flush()
{
    BlockEndingSignals(true);
    for (int i = 0; i < outputCount; ++i) {
        int reason = 0;
        if (outputs[i].fd >= 0 && !WriteAll(outputs[i].fd, buffer, used, &reason))
            Drop(&outputs[i], reason);
    }
    written += used;
    used = 0;
    safeUsed = 0;
    safeDigest = digest;
    lastFlush = std::chrono::steady_clock::now();
    BlockEndingSignals(false);
}

void Place(Output* out)
{
    if (out->fd < 0 || out->placed)
        return;
    if (fsync(out->fd) != 0 || rename(out->tempPath, out->path) != 0) {
        Drop(out, errno);
        return;
    }
    out->placed = 1;
}

// A record is whole: a handler may now write up to here; the buffer goes out
// when a flush is due or it is nearly full.
void EndRecord()
{
    std::atomic_signal_fence(std::memory_order_seq_cst);
    safeDigest = digest;
    safeUsed = used;
    double since = std::chrono::duration<double>(std::chrono::steady_clock::now() - lastFlush).count();
    if (since >= kFlushSeconds || used > kBufferSize - kRecordRoom) {
        PutCheckpoint();
        Flush();
    }
}

// Async-signal-safe: what is whole goes out with its checkpoint; a file not yet
// put in place goes, so a chosen file keeps what it held.
void WriteWhatThereIs()
{
    unsigned char check[9];
    check[0] = TAG_CHECK;
    ReplayPutUint64(safeDigest, check + 1);
    for (int i = 0; i < outputCount; ++i) {
        Output* out = &outputs[i];
        if (out->fd < 0)
            continue;
        if (!out->placed) {
            unlink(out->tempPath);
            continue;
        }
        int reason;
        if (WriteAll(out->fd, buffer, safeUsed, &reason))
            WriteAll(out->fd, check, sizeof check, &reason);
    }
}

void OnEndingSignal(int signalNumber)
{
    if (replayMode == 1)
        WriteWhatThereIs();
    replayMode = 0;
    // Then whatever was there before (the default: the program ends by this signal).
    for (int i = 0; i < 3; ++i)
        if (kEndingSignals[i] == signalNumber)
            sigaction(signalNumber, &previousActions[i], nullptr);
    raise(signalNumber);
}

void OnExit()
{
    if (replayMode == 1)
        WriteWhatThereIs();
}

void CatchEndingSignals()
{
    if (handlersSet)
        return;
    handlersSet = true;
    struct sigaction action = {};
    action.sa_handler = OnEndingSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) {
        sigaction(kEndingSignals[i], nullptr, &previousActions[i]);
        if (previousActions[i].sa_handler != SIG_IGN)
            sigaction(kEndingSignals[i], &action, nullptr);
    }
    std::atexit(OnExit);   // exit() from deep inside: the X connection lost, a fatal start-up failure
}

// One game at a time writes a path: a second one would put its file in the
// first one's place.
bool Lock(Output* out, int* reason)
{
    std::snprintf(out->lockPath, sizeof out->lockPath, "%s.lock", out->path);
    out->lockFd = open(out->lockPath, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (out->lockFd < 0) {
        *reason = errno;
        return false;
    }
    if (flock(out->lockFd, LOCK_EX | LOCK_NB) != 0) {
        *reason = errno == EWOULDBLOCK ? EBUSY : errno;
        close(out->lockFd);
        out->lockFd = -1;
        return false;
    }
    return true;
}

bool OpenOutput(Output* out, const char* path)
{
    std::memset(out, 0, sizeof *out);
    out->fd = -1;
    out->lockFd = -1;
    std::snprintf(out->path, sizeof out->path, "%s", path);
    std::snprintf(out->tempPath, sizeof out->tempPath, "%s.XXXXXX", path);
    int reason = 0;
    if (std::strlen(path) >= sizeof out->path - 8)
        reason = ENAMETOOLONG;
    else if (Lock(out, &reason)) {
        out->fd = mkstemp(out->tempPath);
        if (out->fd < 0)
            reason = errno;
        else
            fchmod(out->fd, 0644);
    }
    if (out->fd >= 0)
        return true;
    char line[PATH_MAX + 128];
    std::snprintf(line, sizeof line, "Cannot write the recording %s: %s", path,
                  reason == EBUSY ? "another game is recording to it" : std::strerror(reason));
    ReplayLine(line);
    ReleaseLock(out);
    return false;
}

ReplayHeader sessionHeader;   // what the header says, the asset digest once known

void StartSession(const ReplayHeader* header)
{
    sessionHeader = *header;
    replayMode = 1;
    replayPass = 0;
    channelCount = 0;
    lastNs = 0;
    used = 0;
    written = 0;
    digest = REPLAY_DIGEST_START;
    unsigned char bytes[REPLAY_HEADER_MAX];
    Put(bytes, ReplayEncodeHeader(header, bytes));
    lastFlush = std::chrono::steady_clock::now();
    safeUsed = used;
    safeDigest = digest;
    CatchEndingSignals();
}

int RecordChannel(int kind, int code)
{
    for (int i = 0; i < channelCount; ++i)
        if (channels[i].kind == kind && channels[i].code == code)
            return i;
    if (channelCount >= REPLAY_MAX_CHANNELS) {
        ReplayLine("The recording cannot hold so many kinds of reading; stopped");
        WriteWhatThereIs();
        std::_Exit(1);   // at once: nothing of the game runs on
    }
    ReplayChannel* c = &channels[channelCount];
    c->kind = kind;
    c->code = code;
    c->value[0] = c->value[1] = 0;
    PutByte(TAG_CHANNEL);
    PutByte((unsigned char)kind);
    PutSigned(code);
    return channelCount++;
}

// Copies what is written so far to a new file at path, ended with end: a
// recording of the rounds up to this one, complete.
void WriteEndedCopy(const char* path, const ReplayEnd* end)
{
    int source = -1;
    for (int i = 0; i < outputCount && source < 0; ++i)
        source = outputs[i].fd;
    if (source < 0)
        return;
    Output copy;
    if (!OpenOutput(&copy, path))
        return;
    unsigned char chunk[65536];
    int reason = 0;
    bool ok = true;
    for (uint64_t at = 0; ok && at < written;) {
        size_t want = written - at < sizeof chunk ? (size_t)(written - at) : sizeof chunk;
        ssize_t got = pread(source, chunk, want, (off_t)at);
        if (got <= 0) {
            reason = got < 0 ? errno : EIO;
            ok = false;
        } else {
            ok = WriteAll(copy.fd, chunk, (size_t)got, &reason);
            at += (uint64_t)got;
        }
    }
    unsigned char tail[1 + 10 + 8 + 8];
    size_t n = 0;
    tail[n++] = TAG_END;
    uint64_t z = ((uint64_t)(int64_t)end->score << 1) ^ (uint64_t)((int64_t)end->score >> 63);
    do {
        unsigned char b = z & 0x7F;
        z >>= 7;
        tail[n++] = (unsigned char)(z ? b | 0x80 : b);
    } while (z);
    ReplayPutUint64(end->bodyDigest, tail + n);
    n += 8;
    ReplayPutUint64(ReplayDigest(digest, tail, n), tail + n);
    n += 8;
    ok = ok && WriteAll(copy.fd, tail, n, &reason);
    if (ok)
        Place(&copy);
    else
        Drop(&copy, reason);
    if (copy.fd >= 0)
        close(copy.fd);
    ReleaseLock(&copy);
}

} // namespace

static int AddOutput(const char* path, const ReplayHeader* header, int quiet)
{
    if (outputCount >= kMaxOutputs || (replayMode == 1 && written > 0) || replayMode == 2)
        return 0;
    if (!OpenOutput(&outputs[outputCount], path))
        return 0;
    outputs[outputCount++].quiet = quiet;
    if (replayMode != 1)
        StartSession(header);
    return 1;
}

int ReplayStartRecording(const char* path, const ReplayHeader* header)
{
    return AddOutput(path, header, 0);
}

int ReplayRecordAlso(const char* path, const ReplayHeader* header)
{
    return AddOutput(path, header, 1);
}

// The header is put first and the game's readings come after start-up, so it is
// still whole in the buffer: it is encoded again with the digest (the same
// length) and the digest of the bytes so far taken again.
int RecordAssets(uint64_t assetDigest)
{
    unsigned char bytes[REPLAY_HEADER_MAX];
    sessionHeader.assetDigest = assetDigest;
    size_t n = ReplayEncodeHeader(&sessionHeader, bytes);
    if (written > 0 || replayPass > 0 || used < n) {
        ReplayLine("The recording cannot take the asset files once the round has begun");
        return 0;
    }
    std::memcpy(buffer, bytes, n);
    digest = ReplayDigest(REPLAY_DIGEST_START, buffer, used);
    safeDigest = digest;
    return 1;
}

int RecordBeginPass()
{
    PutByte(TAG_PASS);
    if (replayPass == kPlacedAtPass) {
        PutCheckpoint();
        Flush();
        for (int i = 0; i < outputCount; ++i)
            Place(&outputs[i]);
    }
    EndRecord();
    return 1;
}

void RecordValues(int kind, int code, const int32_t* values)
{
    int index = RecordChannel(kind, code);
    ReplayChannel* c = &channels[index];
    bool same = true;
    for (int i = 0; i < ReplayValueCount(kind); ++i)
        same = same && c->value[i] == values[i];
    if (same) {
        PutByte((unsigned char)(TAG_SAME | index));
    } else {
        PutByte((unsigned char)(TAG_CHANGED | index));
        for (int i = 0; i < ReplayValueCount(kind); ++i) {
            PutSigned((int64_t)values[i] - c->value[i]);
            c->value[i] = values[i];
        }
    }
    EndRecord();
}

void RecordTime(double time)
{
    // GLFW's clock counts nanoseconds; such a reading is kept as a small
    // difference, anything else exactly as its bits.
    double scaled = time * 1e9;
    if (std::fabs(scaled) < 9e18) {
        int64_t ns = (int64_t)std::llround(scaled);
        for (int64_t guess = ns - 1; guess <= ns + 1; ++guess) {
            if ((double)guess / 1e9 == time) {
                PutByte(TAG_TIME_NS);
                PutSigned(guess - lastNs);
                lastNs = guess;
                EndRecord();
                return;
            }
        }
    }
    uint64_t bits;
    std::memcpy(&bits, &time, 8);
    PutByte(TAG_TIME_RAW);
    PutUint64(bits);
    EndRecord();
}

int RecordRoundEnd(const ReplayEnd* end, const char* bestPath)
{
    if (bestPath) {
        Flush();
        WriteEndedCopy(bestPath, end);
    }
    PutByte(TAG_ROUND_END);
    PutSigned(end->score);
    PutUint64(end->bodyDigest);
    EndRecord();
    return 0;
}

int RecordFinish(const ReplayEnd* end)
{
    PutCheckpoint();
    PutByte(TAG_END);
    PutSigned(end->score);
    PutUint64(end->bodyDigest);
    PutUint64(digest);
    Flush();
    int status = 0;
    for (int i = 0; i < outputCount; ++i) {
        Output* out = &outputs[i];
        Place(out);
        if (out->fd < 0) {
            status |= !out->quiet;
            continue;
        }
        if (close(out->fd) != 0) {
            Report(out, errno);
            status |= !out->quiet;
        }
        out->fd = -1;
        ReleaseLock(out);
    }
    outputCount = 0;
    replayMode = 0;
    return status;
}
