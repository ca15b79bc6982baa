// files.cpp -- writing Targa images and WAV sounds byte for byte.
#include "tools/assetgen/assetgen.h"

#include <cmath>
#include <cstdio>

void ImageInit(Image* image, int width, int height)
{
    image->width = width;
    image->height = height;
    image->rgba.assign((size_t)width * height * 4, 0);
}

static uint8_t ToByte(double v)
{
    return (uint8_t)std::lround(Clamp01(v) * 255.0);
}

void ImageSet(Image* image, int x, int y, double r, double g, double b, double a)
{
    if (x < 0 || y < 0 || x >= image->width || y >= image->height) {
        return;
    }
    uint8_t* p = &image->rgba[((size_t)y * image->width + x) * 4];
    p[0] = ToByte(r);
    p[1] = ToByte(g);
    p[2] = ToByte(b);
    p[3] = ToByte(a);
}

void ImageGet(const Image* image, int x, int y, double rgba[4])
{
    const uint8_t* p = &image->rgba[((size_t)y * image->width + x) * 4];
    for (int k = 0; k < 4; ++k) {
        rgba[k] = p[k] / 255.0;
    }
}

static void PutLe16(std::vector<uint8_t>* out, uint32_t v)
{
    out->push_back((uint8_t)(v & 0xFF));
    out->push_back((uint8_t)((v >> 8) & 0xFF));
}

static void PutLe32(std::vector<uint8_t>* out, uint32_t v)
{
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}

static bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::printf("assetgen: cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::printf("assetgen: failed writing %s\n", path.c_str());
    }
    return ok;
}

bool WriteTga(const std::string& path, const Image& image, int bitsPerPixel)
{
    std::vector<uint8_t> out;
    out.push_back(0);               // no image id
    out.push_back(0);               // no colour map
    out.push_back(2);               // uncompressed true colour
    for (int k = 0; k < 5; ++k) {
        out.push_back(0);           // colour map: first entry, length, entry size
    }
    PutLe16(&out, 0);               // x origin
    PutLe16(&out, 0);               // y origin
    PutLe16(&out, (uint32_t)image.width);
    PutLe16(&out, (uint32_t)image.height);
    out.push_back((uint8_t)bitsPerPixel);
    out.push_back(bitsPerPixel == 32 ? 8 : 0); // alpha bits; origin bottom left
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = &image.rgba[((size_t)y * image.width + x) * 4];
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
            if (bitsPerPixel == 32) {
                out.push_back(p[3]);
            }
        }
    }
    return WriteBytes(path, out);
}

bool WriteWav(const std::string& path, const std::vector<float>& samples, int sampleRate)
{
    uint32_t dataBytes = (uint32_t)samples.size() * 2;
    std::vector<uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    PutLe32(&out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe32(&out, 16);
    PutLe16(&out, 1);                           // PCM
    PutLe16(&out, 1);                           // mono
    PutLe32(&out, (uint32_t)sampleRate);
    PutLe32(&out, (uint32_t)sampleRate * 2);    // bytes per second
    PutLe16(&out, 2);                           // block align
    PutLe16(&out, 16);                          // bits per sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLe32(&out, dataBytes);
    for (float s : samples) {
        double v = s < -1.0f ? -1.0 : (s > 1.0f ? 1.0 : s);
        long q = std::lround(v * 32767.0);
        PutLe16(&out, (uint32_t)(uint16_t)(int16_t)q);
    }
    return WriteBytes(path, out);
}
