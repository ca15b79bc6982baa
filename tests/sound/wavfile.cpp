// wavfile.cpp -- writing and reading small PCM WAV files for the sound tests.
#include "wavfile.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

void PutU32(std::vector<unsigned char>* out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out->push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void PutU16(std::vector<unsigned char>* out, uint16_t v)
{
    out->push_back(static_cast<unsigned char>(v));
    out->push_back(static_cast<unsigned char>(v >> 8));
}

void PutTag(std::vector<unsigned char>* out, const char* tag)
{
    out->insert(out->end(), tag, tag + 4);
}

uint32_t GetU32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t GetU16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

bool WriteWav(const std::string& path, int channels, int bitsPerSample, int frequency,
              const std::vector<unsigned char>& data)
{
    std::vector<unsigned char> file;
    int blockAlign = channels * bitsPerSample / 8;
    PutTag(&file, "RIFF");
    PutU32(&file, static_cast<uint32_t>(36 + data.size()));
    PutTag(&file, "WAVE");
    PutTag(&file, "fmt ");
    PutU32(&file, 16);
    PutU16(&file, 1);
    PutU16(&file, static_cast<uint16_t>(channels));
    PutU32(&file, static_cast<uint32_t>(frequency));
    PutU32(&file, static_cast<uint32_t>(frequency * blockAlign));
    PutU16(&file, static_cast<uint16_t>(blockAlign));
    PutU16(&file, static_cast<uint16_t>(bitsPerSample));
    PutTag(&file, "data");
    PutU32(&file, static_cast<uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

bool WriteToneWav(const std::string& path, int frequency, int frames, float toneHz,
                  float amplitude)
{
    std::vector<unsigned char> data;
    for (int k = 0; k < frames; ++k) {
        double s = amplitude * std::sin(2.0 * M_PI * toneHz * k / frequency);
        PutU16(&data, static_cast<uint16_t>(static_cast<int16_t>(std::lround(s * 32767.0))));
    }
    return WriteWav(path, 1, 16, frequency, data);
}

bool ReadWav(const std::string& path, WavInfo* info)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0)
        return false;
    bool haveFormat = false;
    size_t at = 12;
    while (at + 8 <= file.size()) {
        const unsigned char* chunk = file.data() + at;
        size_t size = GetU32(chunk + 4);
        size_t body = at + 8;
        size_t available = file.size() - body;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16 && available >= 16) {
            info->formatTag = GetU16(chunk + 8);
            info->channels = GetU16(chunk + 10);
            info->frequency = static_cast<int>(GetU32(chunk + 12));
            info->bitsPerSample = GetU16(chunk + 22);
            if (info->formatTag == 0xFFFE && size >= 40 && available >= 26)
                info->formatTag = GetU16(chunk + 32); // sub-format GUID starts with the tag
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            // A recording cut short may claim more than it holds.
            size_t take = size < available ? size : available;
            info->data.assign(file.begin() + static_cast<long>(body),
                              file.begin() + static_cast<long>(body + take));
            return haveFormat;
        }
        at = body + size + (size & 1);
    }
    return false;
}

size_t WavSampleCount(const WavInfo& info)
{
    int bytes = info.bitsPerSample / 8;
    return bytes > 0 ? info.data.size() / static_cast<size_t>(bytes) : 0;
}

float WavSample(const WavInfo& info, size_t k)
{
    const unsigned char* p = info.data.data() + k * static_cast<size_t>(info.bitsPerSample / 8);
    if (info.formatTag == 3 && info.bitsPerSample == 32) {
        float f;
        std::memcpy(&f, p, 4);
        return f;
    }
    if (info.bitsPerSample == 16)
        return static_cast<int16_t>(GetU16(p)) / 32768.0f;
    if (info.bitsPerSample == 8)
        return (p[0] - 128) / 128.0f;
    return 0.0f;
}
