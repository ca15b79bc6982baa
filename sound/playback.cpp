// playback.cpp -- the calls the game makes on the bank's sources and on the listener.
#include "sound/sound.h"

#include <AL/al.h>

void SoundPlay(unsigned int source)
{
    alSourcePlay(source);
}

void SoundPause(unsigned int source)
{
    alSourcePause(source);
}

void SoundSetLooping(unsigned int source, bool looping)
{
    alSourcei(source, AL_LOOPING, looping ? AL_TRUE : AL_FALSE);
}

void SoundSetPitch(unsigned int source, float pitch)
{
    alSourcef(source, AL_PITCH, pitch);
}

void SoundSetGain(unsigned int source, float gain)
{
    alSourcef(source, AL_GAIN, gain);
}

void SoundSetPosition(unsigned int source, Vec3 position)
{
    alSource3f(source, AL_POSITION, position.x, position.y, position.z);
}

int SoundGetState(unsigned int source)
{
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    switch (state) {
    case AL_PLAYING: return SOUND_PLAYING;
    case AL_PAUSED: return SOUND_PAUSED;
    case AL_STOPPED: return SOUND_STOPPED;
    default: return SOUND_INITIAL;
    }
}

bool SoundIsPaused(unsigned int source)
{
    return SoundGetState(source) == SOUND_PAUSED;
}

bool SoundIsLooping(unsigned int source)
{
    ALint looping = AL_FALSE;
    alGetSourcei(source, AL_LOOPING, &looping);
    return looping != AL_FALSE;
}

float SoundGetPitch(unsigned int source)
{
    ALfloat pitch = 0.0f;
    alGetSourcef(source, AL_PITCH, &pitch);
    return pitch;
}

float SoundGetGain(unsigned int source)
{
    ALfloat gain = 0.0f;
    alGetSourcef(source, AL_GAIN, &gain);
    return gain;
}

Vec3 SoundGetPosition(unsigned int source)
{
    Vec3 position = {0.0f, 0.0f, 0.0f};
    alGetSource3f(source, AL_POSITION, &position.x, &position.y, &position.z);
    return position;
}

int SoundGetSampleOffset(unsigned int source)
{
    ALint offset = 0;
    alGetSourcei(source, AL_SAMPLE_OFFSET, &offset);
    return offset;
}

void SetListener(Vec3 position, Vec3 forward, Vec3 up)
{
    const ALfloat orientation[6] = {forward.x, forward.y, forward.z, up.x, up.y, up.z};
    alListener3f(AL_POSITION, position.x, position.y, position.z);
    alListenerfv(AL_ORIENTATION, orientation);
    alListener3f(AL_VELOCITY, 0.0f, 0.0f, 0.0f);
}

void SetListenerGain(float gain)
{
    alListenerf(AL_GAIN, gain);
}

float GetListenerGain()
{
    float gain = 0.0f;
    alGetListenerf(AL_GAIN, &gain);
    return gain;
}
