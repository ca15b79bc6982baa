// wavfile.h -- writing and reading small PCM WAV files for the sound tests.
#pragma once

#include <string>
#include <vector>

struct WavInfo {
    int formatTag = 0;   // 1 = integer PCM, 3 = float (an extensible header gives its sub-format)
    int channels = 0;
    int bitsPerSample = 0;
    int frequency = 0;
    std::vector<unsigned char> data; // the "data" chunk as stored
};

// Writes a RIFF/WAVE file with the given header fields and data bytes as they are
// (the data size may be anything, even one that does not fill a whole frame).
bool WriteWav(const std::string& path, int channels, int bitsPerSample, int frequency,
              const std::vector<unsigned char>& data);

// A mono 16-bit sine tone of the given length in frames.
bool WriteToneWav(const std::string& path, int frequency, int frames, float toneHz,
                  float amplitude);

// Reads the format and the data chunk; false when the file is not a WAV file.
bool ReadWav(const std::string& path, WavInfo* info);

// Sample k of an integer 16-bit or float 32-bit recording, scaled to -1..1.
float WavSample(const WavInfo& info, size_t k);
size_t WavSampleCount(const WavInfo& info);
