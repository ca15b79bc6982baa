// recording_test.cpp -- the sound bank on OpenAL Soft's wave device, which records
// the mix to a file: a played source is heard, and a looping rolling sound that is
// paused and resumed goes on from where it stopped.
#include "sound/sound.h"

#include "scratchdir.h"
#include "wavfile.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

const int FILE_RATE = 22050;          // rate of the generated bank files
const int ROLLING_FRAMES = 3 * 22050; // long enough not to loop during the test

using Clock = std::chrono::steady_clock;

// Longest run of silent frames between the first and the last loud frame, and
// whether any frame was loud at all.
struct Loudness {
    bool heard = false;
    size_t longestGap = 0;
};

Loudness MeasureRecording(const WavInfo& recording)
{
    Loudness result;
    size_t channels = static_cast<size_t>(recording.channels);
    size_t frames = WavSampleCount(recording) / channels;
    size_t gap = 0;
    for (size_t f = 0; f < frames; ++f) {
        float peak = 0.0f;
        for (size_t c = 0; c < channels; ++c)
            peak = std::fmax(peak, std::fabs(WavSample(recording, f * channels + c)));
        if (peak > 0.05f) {
            if (result.heard && gap > result.longestGap)
                result.longestGap = gap;
            result.heard = true;
            gap = 0;
        } else if (peak < 0.001f) {
            ++gap;
        }
    }
    return result;
}

TEST(SoundRecordingTest, PlayedSoundIsHeardAndAResumedLoopGoesOnWhereItPaused)
{
    ScratchDir dir;
    ASSERT_TRUE(MakeScratchDir(&dir));
    ASSERT_TRUE(WriteBankFiles(dir, ROLLING_FRAMES));
    std::string recordingPath = ScratchPath(dir, "recording.wav");
    std::string confPath = ScratchPath(dir, "alsoft.conf");
    std::ofstream(confPath) << "[general]\ndrivers=wave\nfrequency=44100\nchannels=stereo\n"
                               "sample-type=int16\n[wave]\nfile=" << recordingPath << "\n";
    // The device is chosen when the bank opens it, from these settings.
    unsetenv("ALSOFT_DRIVERS");
    setenv("ALSOFT_CONF", confPath.c_str(), 1);
    ASSERT_TRUE(EnterScratchDir(&dir));

    unsigned int* buffers = nullptr;
    unsigned int* sources = nullptr;
    testing::internal::CaptureStdout();
    InitSoundBank(&buffers, &sources);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    unsigned int rolling = sources[SOUND_ROLLING_FIRST];

    SoundSetLooping(rolling, true);
    SoundPlay(rolling);
    usleep(300000);
    int playedTo = SoundGetSampleOffset(rolling);
    SoundPause(rolling);
    int pausedAt = SoundGetSampleOffset(rolling);
    usleep(300000);
    int stillAt = SoundGetSampleOffset(rolling);
    bool pausedWhileWaiting = SoundIsPaused(rolling);

    SoundPlay(rolling);
    Clock::time_point resumed = Clock::now();
    int resumedAt = SoundGetSampleOffset(rolling);
    usleep(300000);
    int laterAt = SoundGetSampleOffset(rolling);
    double playedSinceResume = std::chrono::duration<double>(Clock::now() - resumed).count();
    SoundPause(rolling);

    DeleteSoundBank(&buffers, &sources); // closing the device completes the recording
    WavInfo recording;
    bool recorded = ReadWav(recordingPath, &recording);
    LeaveScratchDir(&dir);

    EXPECT_GT(playedTo, FILE_RATE / 10);
    EXPECT_GE(pausedAt, playedTo);
    EXPECT_TRUE(pausedWhileWaiting);
    EXPECT_EQ(stillAt, pausedAt);
    EXPECT_EQ(resumedAt, pausedAt);
    // Resumed, not restarted: the offset is the paused one plus the time since.
    double expected = pausedAt + playedSinceResume * FILE_RATE;
    EXPECT_NEAR(laterAt, expected, 0.1 * FILE_RATE)
        << "paused at " << pausedAt << ", " << playedSinceResume << " s since resuming";

    // The recording holds the tone, then the pause as silence, then the tone again.
    ASSERT_TRUE(recorded);
    ASSERT_GT(recording.channels, 0);
    Loudness loudness = MeasureRecording(recording);
    EXPECT_TRUE(loudness.heard);
    EXPECT_GE(loudness.longestGap, static_cast<size_t>(recording.frequency / 5));
    EXPECT_LE(loudness.longestGap, static_cast<size_t>(recording.frequency / 2));
}

} // namespace
