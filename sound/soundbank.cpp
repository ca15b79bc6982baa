// soundbank.cpp -- builds the ten-slot sound bank from the Sound/ files at start-up
// and takes it down at shutdown.
#include "sound/sound.h"

#include "platform/console/console.h"
#include "platform/files/files.h"

#include <AL/alut.h>
#include <cstdlib>
#include <type_traits>

static_assert(std::is_same<ALuint, unsigned int>::value, "bank names are OpenAL names");

namespace {

const char* const SLOT_FILES[SOUND_BANK_SIZE] = {
    "Sound/Ball2Ball1.wav",
    "Sound/Rolling.wav", "Sound/Rolling.wav", "Sound/Rolling.wav",
    "Sound/Rolling.wav", "Sound/Rolling.wav", "Sound/Rolling.wav",
    "Sound/Win1.wav", "Sound/Win2.wav", "Sound/Win3.wav",
};

// One file's samples as the loader hands them over; data is null when nothing
// could be read.
struct WavData {
    ALenum format;
    void* data;
    ALsizei size;
    ALsizei frequency;
};

bool AudioErrorPending()
{
    return alGetError() != AL_NO_ERROR;
}

// Without buffers or sources the game cannot make a sound at all: give the names
// back, close the device and end the program (no beep, no wait) with status 1,
// a failure a launcher can see.
[[noreturn]] void AbandonSoundBank(const char* line, ALuint* buffers, ALuint* sources)
{
    ConsolePrint(line);
    alDeleteBuffers(SOUND_BANK_SIZE, buffers);
    if (sources)
        alDeleteSources(SOUND_BANK_SIZE, sources);
    alGetError();   // alutExit will not close the device over a pending error
    alutExit();
    std::exit(1);
}

// A slot went wrong: the bank gives up its buffers (and on a failed load its
// sources too) and the loading goes on. Errors raised by the deletion itself,
// such as a buffer still attached to a source, are not the next slot's fault.
void DropBankAfterError(const char* line, ALuint* buffers, ALuint* sources)
{
    alDeleteBuffers(SOUND_BANK_SIZE, buffers);
    if (sources)
        alDeleteSources(SOUND_BANK_SIZE, sources);
    ConsolePrint(line);
    alGetError();
}

// Largest sound file read; the game's sounds are a few hundred KiB.
const size_t kMaxWavFileBytes = 64u << 20;

// The file is read whole through the files layer (never waiting on a named
// pipe, and counted in the asset digest), then ALUT decodes it from memory.
// A missing, unreadable or broken file leaves no data.
bool LoadWav(const char* fileName, WavData* wav)
{
    *wav = WavData{0, nullptr, 0, 0};
    unsigned char* bytes = nullptr;
    size_t size = 0;
    int reason = 0;
    if (FilesReadAsset(fileName, kMaxWavFileBytes, &bytes, &size, &reason) != FILES_READ)
        return false;
    ALfloat frequency = 0.0f;
    alutGetError();
    wav->data = alutLoadMemoryFromFileImage(bytes, (ALsizei)size, &wav->format, &wav->size,
                                            &frequency);
    std::free(bytes);
    wav->frequency = (ALsizei)frequency;
    bool alFailed = AudioErrorPending();
    bool alutFailed = alutGetError() != ALUT_ERROR_NO_ERROR;
    if (alFailed || alutFailed || wav->data == nullptr) {
        std::free(wav->data);
        *wav = WavData{0, nullptr, 0, 0};
        return false;
    }
    return true;
}

// Copies the samples into the slot's buffer (if the buffer still exists) and
// releases the loaded data.
void FillBuffer(ALuint buffer, const WavData& wav)
{
    if (wav.data == nullptr)
        return;
    if (alIsBuffer(buffer))
        alBufferData(buffer, wav.format, wav.data, wav.size, wav.frequency);
    std::free(wav.data);   // ALUT hands its samples over in a malloc'd block
}

// Source i plays buffer i: full pitch and gain, one-shot, and a gentle fall-off
// with distance so that sounds across the table stay audible.
void SetupSource(ALuint source, ALuint buffer)
{
    if (!alIsSource(source))
        return;
    alSourcei(source, AL_BUFFER, alIsBuffer(buffer) ? static_cast<ALint>(buffer) : 0);
    alSourcef(source, AL_PITCH, 1.0f);
    alSourcef(source, AL_GAIN, 1.0f);
    alSourcei(source, AL_LOOPING, AL_FALSE);
    alSourcef(source, AL_ROLLOFF_FACTOR, 0.5f);
}

void LoadSlot(int slot, ALuint* buffers, ALuint* sources)
{
    WavData wav;
    if (!LoadWav(SLOT_FILES[slot], &wav))
        DropBankAfterError("Error: Failed to load WAV data!", buffers, sources);
    FillBuffer(buffers[slot], wav);
    if (AudioErrorPending())
        DropBankAfterError("Error: Failed to bind audio buffer to source!", buffers, nullptr);
    SetupSource(sources[slot], buffers[slot]);
}

} // namespace

void InitSoundBank(unsigned int** buffers, unsigned int** sources)
{
    *buffers = static_cast<unsigned int*>(std::calloc(SOUND_BANK_SIZE, sizeof(unsigned int)));
    *sources = static_cast<unsigned int*>(std::calloc(SOUND_BANK_SIZE, sizeof(unsigned int)));
    alutInit(nullptr, nullptr);

    alGenBuffers(SOUND_BANK_SIZE, *buffers);
    if (AudioErrorPending())
        AbandonSoundBank("Failed to generate buffers!", *buffers, nullptr);
    alGenSources(SOUND_BANK_SIZE, *sources);
    if (AudioErrorPending())
        AbandonSoundBank("Failed to generate sources!", *buffers, *sources);

    for (int slot = 0; slot < SOUND_BANK_SIZE; ++slot)
        LoadSlot(slot, *buffers, *sources);
}

void DeleteSoundBank(unsigned int** buffers, unsigned int** sources)
{
    if (*sources)
        alDeleteSources(SOUND_BANK_SIZE, *sources);
    if (*buffers)
        alDeleteBuffers(SOUND_BANK_SIZE, *buffers);
    // alutExit refuses to close the device while an error is pending, and after
    // a failed load the deletions above raise one (those names were gone).
    alGetError();
    alutExit();
    std::free(*sources);
    std::free(*buffers);
    *sources = nullptr;
    *buffers = nullptr;
}
