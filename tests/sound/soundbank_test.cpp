// soundbank_test.cpp -- the sound bank on OpenAL Soft's null device: what every slot
// holds after start-up, the playback calls, and how bad files and a missing device
// are handled.
#include "sound/sound.h"

#include "scratchdir.h"
#include "wavfile.h"

#include <AL/al.h>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const SLOT_FILES[SOUND_BANK_SIZE] = {
    "Sound/Ball2Ball1.wav",
    "Sound/Rolling.wav", "Sound/Rolling.wav", "Sound/Rolling.wav",
    "Sound/Rolling.wav", "Sound/Rolling.wav", "Sound/Rolling.wav",
    "Sound/Win1.wav", "Sound/Win2.wav", "Sound/Win3.wav",
};

const char* const LOAD_LINE = "Error: Failed to load WAV data!\n";
const char* const BIND_LINE = "Error: Failed to bind audio buffer to source!\n";

ALint BufferSize(ALuint buffer)
{
    ALint size = -1;
    alGetBufferi(buffer, AL_SIZE, &size);
    return size;
}

ALint SourceBuffer(ALuint source)
{
    ALint buffer = -1;
    alGetSourcei(source, AL_BUFFER, &buffer);
    return buffer;
}

size_t FileDataBytes(const std::string& path)
{
    WavInfo info;
    return ReadWav(path, &info) ? info.data.size() : 0;
}

// In a death test's child: makes the bank on the given drivers, which must end the
// program itself with its line.
void InitBankOn(const char* drivers)
{
    dup2(STDERR_FILENO, STDOUT_FILENO);
    setenv("ALSOFT_DRIVERS", drivers, 1);
    unsigned int* buffers = nullptr;
    unsigned int* sources = nullptr;
    InitSoundBank(&buffers, &sources);
    std::fputs("bank returned\n", stderr);
    std::exit(3);
}

class SoundBankTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("ALSOFT_DRIVERS", "null", 0);
        ASSERT_TRUE(MakeScratchDir(&dir));
        ASSERT_TRUE(WriteBankFiles(dir, 4410));
        ASSERT_TRUE(EnterScratchDir(&dir));
    }

    void TearDown() override
    {
        DeleteSoundBank(&buffers, &sources);
        LeaveScratchDir(&dir);
    }

    // Builds the bank in the current working directory; returns its console output.
    std::string InitBank()
    {
        testing::internal::CaptureStdout();
        InitSoundBank(&buffers, &sources);
        return testing::internal::GetCapturedStdout();
    }

    ScratchDir dir;
    unsigned int* buffers = nullptr;
    unsigned int* sources = nullptr;
};

TEST_F(SoundBankTest, EverySlotHoldsItsOwnFileWithTheStartingProperties)
{
    // The game's own files when they are there, otherwise the generated ones.
    std::string workDir = dir.root;
    if (RealSoundFilesPresent(BALLTOSS_SOURCE_DIR))
        workDir = BALLTOSS_SOURCE_DIR;
    ASSERT_EQ(chdir(workDir.c_str()), 0);
    RecordProperty("sound_files", workDir);

    EXPECT_EQ(InitBank(), "");
    ASSERT_NE(buffers, nullptr);
    ASSERT_NE(sources, nullptr);

    std::set<ALuint> bufferNames(buffers, buffers + SOUND_BANK_SIZE);
    std::set<ALuint> sourceNames(sources, sources + SOUND_BANK_SIZE);
    EXPECT_EQ(bufferNames.size(), 10u);
    EXPECT_EQ(sourceNames.size(), 10u);
    for (int i = 0; i < SOUND_BANK_SIZE; ++i) {
        SCOPED_TRACE(i);
        ALuint source = sources[i];
        EXPECT_EQ(SourceBuffer(source), static_cast<ALint>(buffers[i]));
        size_t expected = FileDataBytes(workDir + "/" + SLOT_FILES[i]);
        EXPECT_GT(expected, 0u);
        EXPECT_EQ(BufferSize(buffers[i]), static_cast<ALint>(expected));
        ALfloat pitch = 0.0f, gain = 0.0f, rolloff = 0.0f;
        ALint looping = -1;
        alGetSourcef(source, AL_PITCH, &pitch);
        alGetSourcef(source, AL_GAIN, &gain);
        alGetSourcei(source, AL_LOOPING, &looping);
        alGetSourcef(source, AL_ROLLOFF_FACTOR, &rolloff);
        EXPECT_EQ(pitch, 1.0f);
        EXPECT_EQ(gain, 1.0f);
        EXPECT_EQ(looping, AL_FALSE);
        EXPECT_EQ(rolloff, 0.5f);
        EXPECT_EQ(SoundGetState(source), SOUND_INITIAL);
    }
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
}

TEST_F(SoundBankTest, TheSixRollingSlotsPlayPauseAndChangePitchApart)
{
    ASSERT_EQ(InitBank(), "");
    for (int n = SOUND_ROLLING_FIRST; n <= SOUND_ROLLING_LAST; ++n) {
        SoundSetLooping(sources[n], true);
        SoundPlay(sources[n]);
        SoundPause(sources[n]);
    }

    // Ball 2 starts rolling faster; the other balls' sounds stay as they were.
    SoundSetPitch(sources[2], 0.5f);
    SoundPlay(sources[2]);
    for (int n = SOUND_ROLLING_FIRST; n <= SOUND_ROLLING_LAST; ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(SoundIsLooping(sources[n]));
        EXPECT_EQ(SoundGetState(sources[n]), n == 2 ? SOUND_PLAYING : SOUND_PAUSED);
        EXPECT_EQ(SoundIsPaused(sources[n]), n != 2);
        EXPECT_EQ(SoundGetPitch(sources[n]), n == 2 ? 0.5f : 1.0f);
    }
    EXPECT_FALSE(SoundIsLooping(sources[SOUND_IMPACT]));
}

TEST_F(SoundBankTest, ImpactTakesGainAndPositionAndRestartsWhenPlayedAgain)
{
    ASSERT_EQ(InitBank(), "");
    ALuint impact = sources[SOUND_IMPACT];
    Vec3 ball = {1.5f, 0.75f, -2.0f};
    SoundSetPosition(impact, ball);
    SoundSetGain(impact, 0.2f);
    Vec3 at = SoundGetPosition(impact);
    EXPECT_EQ(at.x, 1.5f);
    EXPECT_EQ(at.y, 0.75f);
    EXPECT_EQ(at.z, -2.0f);
    EXPECT_EQ(SoundGetGain(impact), 0.2f);

    // The generated impact lasts 0.1 s: play it, let it run a while, then play
    // again; a restart goes back near the start instead of ending.
    SoundPlay(impact);
    usleep(50000);
    int before = SoundGetSampleOffset(impact);
    SoundPlay(impact);
    int after = SoundGetSampleOffset(impact);
    EXPECT_EQ(SoundGetState(impact), SOUND_PLAYING);
    EXPECT_GT(before, 0);
    EXPECT_LT(after, before);
}

TEST_F(SoundBankTest, ListenerTakesPositionOrientationAndStandsStill)
{
    ASSERT_EQ(InitBank(), "");
    alListener3f(AL_VELOCITY, 3.0f, 2.0f, 1.0f);
    SetListener({0.0f, 2.1f, 5.0f}, {0.0f, 0.0f, -1.0f}, {0.0f, 1.0f, 0.0f});
    // Position, orientation (at, then up) and velocity, read back in one row.
    ALfloat got[12];
    alGetListenerfv(AL_POSITION, got);
    alGetListenerfv(AL_ORIENTATION, got + 3);
    alGetListenerfv(AL_VELOCITY, got + 9);
    const ALfloat expected[12] = {0, 2.1f, 5, 0, 0, -1, 0, 1, 0, 0, 0, 0};
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(got[k], expected[k]) << k;
}

TEST_F(SoundBankTest, DeleteSoundBankLeavesBothArraysNull)
{
    ASSERT_EQ(InitBank(), "");
    // The second time the bank was never made: nothing to free, nothing to crash on.
    for (int round = 0; round < 2; ++round) {
        DeleteSoundBank(&buffers, &sources);
        EXPECT_EQ(buffers, nullptr);
        EXPECT_EQ(sources, nullptr);
    }
}

TEST_F(SoundBankTest, MissingFileIsOneLineAndLaterSlotsStillLoad)
{
    ASSERT_EQ(std::remove(ScratchPath(dir, "Sound/Win1.wav").c_str()), 0); // slot 7

    EXPECT_EQ(InitBank(), LOAD_LINE);
    // Slots 8 and 9 were read and copied after the failure.
    for (int i = SOUND_WIN_25; i <= SOUND_WIN_10; ++i)
        EXPECT_EQ(BufferSize(buffers[i]),
                  static_cast<ALint>(FileDataBytes(ScratchPath(dir, SLOT_FILES[i])))) << i;
    // A failed load gives up the bank's sources: the game plays on in silence.
    for (int i = 0; i < SOUND_BANK_SIZE; ++i)
        EXPECT_FALSE(alIsSource(sources[i])) << i;
}

TEST_F(SoundBankTest, EveryMissingFileHasItsOwnLine)
{
    // Slot 0 fails first, which drops every buffer; slot 8 is still checked. Its
    // file is a named pipe, refused like a missing file instead of waiting for a writer.
    ASSERT_EQ(std::remove(ScratchPath(dir, "Sound/Ball2Ball1.wav").c_str()), 0);
    ASSERT_EQ(std::remove(ScratchPath(dir, "Sound/Win2.wav").c_str()), 0);
    ASSERT_EQ(mkfifo(ScratchPath(dir, "Sound/Win2.wav").c_str(), 0600), 0);

    alarm(20);
    EXPECT_EQ(InitBank(), std::string(LOAD_LINE) + LOAD_LINE);
    alarm(0);
}

TEST_F(SoundBankTest, BrokenRollingFileIsReportedForEachOfItsSixSlots)
{
    const std::string junk("RIFF\x10\0\0\0WAVEjunkjunkjunk", 24);
    std::ofstream(ScratchPath(dir, "Sound/Rolling.wav"), std::ios::binary)
        .write(junk.data(), static_cast<std::streamsize>(junk.size()));

    std::string sixLines;
    for (int n = SOUND_ROLLING_FIRST; n <= SOUND_ROLLING_LAST; ++n)
        sixLines += LOAD_LINE;
    EXPECT_EQ(InitBank(), sixLines);
}

TEST_F(SoundBankTest, SamplesTheBufferRefusesAreOneLineAndLaterSlotsStillPlay)
{
    // Three bytes of 16-bit mono: the file reads, but no buffer takes half a sample.
    ASSERT_TRUE(WriteWav(ScratchPath(dir, "Sound/Win2.wav"), 1, 16, 22050, {1, 2, 3})); // slot 8

    EXPECT_EQ(InitBank(), BIND_LINE);
    for (int i = 0; i < SOUND_BANK_SIZE; ++i)
        EXPECT_TRUE(alIsSource(sources[i])) << i;
    EXPECT_EQ(SourceBuffer(sources[SOUND_WIN_10]), static_cast<ALint>(buffers[SOUND_WIN_10]));
    EXPECT_EQ(BufferSize(buffers[SOUND_WIN_10]),
              static_cast<ALint>(FileDataBytes(ScratchPath(dir, "Sound/Win3.wav"))));
    SoundPlay(sources[SOUND_WIN_10]);
    EXPECT_EQ(SoundGetState(sources[SOUND_WIN_10]), SOUND_PLAYING);
}

// The program's own end is checked in a fresh copy of the test program, so that
// the device settings below apply to it alone.
TEST(SoundBankDeathTest, NoAudioDeviceEndsTheProgramWithTheBufferLine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(InitBankOn("no-such-driver"), testing::ExitedWithCode(1),
                "Failed to generate buffers!\n");
}

TEST(SoundBankDeathTest, TooFewSourcesEndsTheProgramWithTheSourceLine)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // A device that mixes at most eight sources cannot give the bank ten.
            const std::string conf = "/tmp/balltoss-alsoft-" + std::to_string(getpid());
            std::ofstream(conf) << "[general]\nsources=8\n";
            setenv("ALSOFT_CONF", conf.c_str(), 1);
            InitBankOn("null");
        },
        testing::ExitedWithCode(1), "Failed to generate sources!\n");
}

} // namespace
