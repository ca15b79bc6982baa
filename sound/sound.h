// sound.h -- the sound bank (ten buffers and sources loaded from Sound/*.wav) and the
// playback calls the game makes on its sources and on the listener.
#pragma once

#include "math/vecmath.h"

// Slots of the bank. Source i always plays buffer i.
const int SOUND_BANK_SIZE = 10;
const int SOUND_IMPACT = 0;        // "Sound/Ball2Ball1.wav", shared by every ball
const int SOUND_ROLLING_FIRST = 1; // "Sound/Rolling.wav": slot n rolls for ball n (1 to 6)
const int SOUND_ROLLING_LAST = 6;
const int SOUND_WIN_100 = 7;       // "Sound/Win1.wav"
const int SOUND_WIN_25 = 8;        // "Sound/Win2.wav"
const int SOUND_WIN_10 = 9;        // "Sound/Win3.wav"

// What a source is doing (OpenAL's AL_INITIAL, AL_PLAYING, AL_PAUSED, AL_STOPPED).
const int SOUND_INITIAL = 0;
const int SOUND_PLAYING = 1;
const int SOUND_PAUSED = 2;
const int SOUND_STOPPED = 3;

// Allocates *buffers and *sources (ten zero names each), opens the default audio
// device and fills the bank from the Sound/ files (relative to the working
// directory). Every source then holds its own buffer with pitch 1, gain 1, no
// looping and rolloff 0.5. A file that cannot be read prints one console line and
// the bank gives up its buffers and sources; samples a buffer refuses print one
// line and the bank gives up its buffers (OpenAL keeps any still attached to a
// source). Loading goes on either way and the game runs with what the bank then
// holds. When the names themselves cannot be made the program prints its line
// and ends (status 0, no beep, no wait).
void InitSoundBank(unsigned int** buffers, unsigned int** sources);

// Deletes the ten sources, then the ten buffers, closes the device and frees both
// arrays (each only when not null), leaving both pointers null.
void DeleteSoundBank(unsigned int** buffers, unsigned int** sources);

// Starts a source from its beginning, or resumes it where it was paused.
void SoundPlay(unsigned int source);
// Pauses a playing source; a later SoundPlay goes on from the same sample.
void SoundPause(unsigned int source);
void SoundSetLooping(unsigned int source, bool looping);
void SoundSetPitch(unsigned int source, float pitch);  // 1 = as recorded
void SoundSetGain(unsigned int source, float gain);    // 1 = as recorded
void SoundSetPosition(unsigned int source, Vec3 position); // scene units

// What the source is doing now: one of SOUND_INITIAL to SOUND_STOPPED.
int SoundGetState(unsigned int source);
bool SoundIsPaused(unsigned int source);
bool SoundIsLooping(unsigned int source);
float SoundGetPitch(unsigned int source);
float SoundGetGain(unsigned int source);
Vec3 SoundGetPosition(unsigned int source);
// Playback position in sample frames of the source's buffer.
int SoundGetSampleOffset(unsigned int source);

// The ear: position, facing direction and up direction (scene units and unit
// vectors); the listener never moves with a velocity of its own.
void SetListener(Vec3 position, Vec3 forward, Vec3 up);

// The loudness of everything heard, set once at start-up: 0 silent, 1 as recorded.
void SetListenerGain(float gain);
float GetListenerGain();
