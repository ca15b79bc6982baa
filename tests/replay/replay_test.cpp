// replay_test.cpp -- the recording reader and the replay session without a
// window: cut and damaged files, files that are not recordings, a replay
// stopped by the player, the checks at a round's and the recording's end, and
// a recording that outlives a kill, and the asset digest taken and checked
// once start-up has read the assets.
#include "platform/replay/replay.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The game knows its version at once and its assets' digest after start-up.
const ReplayHeader kHeader = {"test", 0, 1.0f, 0};
const uint64_t kAssets = 42;
const int kPasses = 30;

std::string Scratch(const char* name)
{
    char folder[] = "/tmp/replay_test.XXXXXX";
    std::string made = mkdtemp(folder);
    return made + "/" + name;
}

std::vector<unsigned char> Slurp(const std::string& path)
{
    std::vector<unsigned char> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    int c;
    while (f && (c = std::fgetc(f)) != EOF)
        bytes.push_back((unsigned char)c);
    if (f)
        std::fclose(f);
    return bytes;
}

void Spit(const std::string& path, const std::vector<unsigned char>& bytes, size_t size)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, size, f);
    std::fclose(f);
}

// What one pass of a game reads: the clock, a key, the cursor.
void PlayPass(int pass)
{
    ReplayTime(1.0 + pass / 60.0);
    ReplayFlag(REPLAY_KEY, 'W', pass % 3 == 0);
    int x = 320 + pass, y = 240 - pass;
    ReplayCursor(&x, &y);
}

// kPasses passes with a round's end after the 20th, then the end.
void Record(const std::string& path, ReplayEnd roundEnd, ReplayEnd end)
{
    ASSERT_TRUE(ReplayStartRecording(path.c_str(), &kHeader));
    ASSERT_TRUE(ReplayAssetsLoaded(kAssets));
    ReplayTime(0.5);
    for (int pass = 1; pass <= kPasses; ++pass) {
        ReplayBeginPass();
        PlayPass(pass);
        if (pass == 20)
            ReplayRoundEnd(&roundEnd, nullptr);
    }
    ASSERT_EQ(ReplayFinish(&end), 0);
}

// Replays path as the game would: the status and the console's last line.
int Replay(const std::string& path, ReplayEnd roundEnd, ReplayEnd end, int stopAfter,
           std::string* line, uint64_t assets = kAssets)
{
    testing::internal::CaptureStdout();
    int status = -1;
    if (ReplayStartPlayback(path.c_str(), &kHeader, 1) && ReplayAssetsLoaded(assets)) {
        ReplayTime(0.0);
        for (int pass = 1; pass <= kPasses && ReplayBeginPass(); ++pass) {
            PlayPass(pass);
            if (pass == 20)
                ReplayRoundEnd(&roundEnd, nullptr);
            if (pass == stopAfter)
                ReplayRequestStop();
        }
        status = ReplayFinish(&end);
    }
    *line = testing::internal::GetCapturedStdout();
    return status;
}

const ReplayEnd kRoundEnd = {125, 0x1111};
const ReplayEnd kEnd = {135, 0x2222};

} // namespace

TEST(ReplayTest, EndsAreCheckedAndAStopOrACutEndsWithStatusZero)
{
    std::string path = Scratch("round.btr"), line;
    Record(path, kRoundEnd, kEnd);
    EXPECT_EQ(Replay(path, kRoundEnd, kEnd, 0, &line), 0);
    EXPECT_EQ(line, "replay verified: 30 passes, final score 135, body matrices digest 0000000000002222\n");
    EXPECT_EQ(Replay(path, kRoundEnd, ReplayEnd{140, 0x2222}, 0, &line), 1);
    EXPECT_EQ(line, "Replay mismatch: final score 140, recorded 135\n");
    EXPECT_EQ(Replay(path, kRoundEnd, ReplayEnd{135, 0x2223}, 0, &line), 1);
    EXPECT_EQ(line, "Replay mismatch: body matrices digest 0000000000002223, recorded 0000000000002222\n");
    EXPECT_EXIT(Replay(path, ReplayEnd{125, 0x1112}, kEnd, 0, &line), testing::ExitedWithCode(1), "");
    EXPECT_EQ(Replay(path, kRoundEnd, kEnd, 7, &line), 0);
    EXPECT_EQ(line, "replay stopped at pass 7 of 30\n");

    // The digest went into the header after the recording began, and the
    // file's own digest still holds (it was verified above).
    std::vector<unsigned char> whole = Slurp(path);
    ReplayHeader recorded;
    size_t headerSize = 0;
    char why[200] = "";
    ASSERT_TRUE(ReplayParseHeader(whole.data(), whole.size(), &recorded, &headerSize, why, sizeof why));
    EXPECT_EQ(recorded.assetDigest, kAssets);
    EXPECT_EQ(Replay(path, kRoundEnd, kEnd, 0, &line, kAssets + 1), -1);
    EXPECT_EQ(line, "The recording " + path + " cannot be replayed: made with other asset files\n");
    EXPECT_EQ(ReplayMode(), 0);

    // Cut anywhere: refused before its first whole pass, else replayed to its cut.
    std::string cutPath = path + ".cut";
    long lastPasses = 0;
    for (size_t size = 0; size < whole.size(); ++size) {
        Spit(cutPath, whole, size);
        ReplayFile file;
        char why[200] = "";
        if (!ReplayParse(whole.data(), size, 1, &file, why, sizeof why)) {
            EXPECT_EQ(lastPasses, 0) << "cut at " << size << ": " << why;
            continue;
        }
        ASSERT_TRUE(file.cut) << size;
        EXPECT_GE(file.passCount, lastPasses);
        lastPasses = file.passCount;
        if (size % 97 == 0 || size + 1 == whole.size()) {
            EXPECT_EQ(Replay(cutPath, kRoundEnd, kEnd, 0, &line), 0) << size;
            EXPECT_EQ(line, "replay ended: the recording was cut short at pass " +
                                std::to_string(file.passCount) + "\n");
        }
    }
    EXPECT_GE(lastPasses, 1);

    // Damage before the cut is still damage.
    std::vector<unsigned char> damaged = whole;
    damaged[30] ^= 0x01;
    Spit(cutPath, damaged, whole.size() - 3);
    EXPECT_EQ(Replay(cutPath, kRoundEnd, kEnd, 0, &line), -1);
    EXPECT_NE(line.find("cannot be replayed: damaged"), std::string::npos) << line;
}

TEST(ReplayTest, OnlyARegularRecordingOfAtMost64MiBIsRead)
{
    std::string folder = Scratch("");
    std::string fifo = folder + "fifo", big = folder + "big", text = folder + "text", line;
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int fd = open(big.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_EQ(ftruncate(fd, (off_t)REPLAY_MAX_FILE_SIZE + 1), 0);
    close(fd);
    Spit(text, std::vector<unsigned char>(100, 'x'), 100);
    const struct {
        std::string path, reason;
    } cases[] = {
        {folder, "it is a folder"},
        {fifo, "it is a named pipe"},
        {"/dev/zero", "it is a device"},
        {big, "too large for a recording (more than 64 MiB)"},
        {text, "not a recording"},
        {folder + "none", "No such file or directory"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Replay(c.path, kRoundEnd, kEnd, 0, &line), -1);
        EXPECT_EQ(line, "The recording " + c.path + " cannot be replayed: " + c.reason + "\n");
    }
}

// A game killed by SIGTERM mid-round leaves a recording that replays to its cut;
// one killed before its first passes leaves the file that was there.
TEST(ReplayTest, ARecordingKilledBySignalReplaysToItsCut)
{
    std::string path = Scratch("killed.btr"), line;
    Spit(path, std::vector<unsigned char>{'o', 'l', 'd'}, 3);
    EXPECT_EXIT(
        {
            ReplayStartRecording(path.c_str(), &kHeader);
            ReplayTime(0.5);
            ReplayBeginPass();
            raise(SIGTERM);
        },
        testing::KilledBySignal(SIGTERM), "");
    EXPECT_EQ(Slurp(path), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_EXIT(
        {
            ReplayStartRecording(path.c_str(), &kHeader);
            ReplayAssetsLoaded(kAssets);
            ReplayTime(0.5);
            for (int pass = 1; pass <= 12; ++pass) {
                ReplayBeginPass();
                PlayPass(pass);
            }
            raise(SIGTERM);
        },
        testing::KilledBySignal(SIGTERM), "");
    // Pass 12 was killed before the next began: it may not be whole.
    EXPECT_EQ(Replay(path, kRoundEnd, kEnd, 0, &line), 0);
    EXPECT_EQ(line, "replay ended: the recording was cut short at pass 11\n");
}
