// glfw2_texture.cpp -- GLFW 2's glfwLoadTexture2D for Targa files: stb_image decodes,
// the pixels go into the bound GL_TEXTURE_2D with GLFW 2's orientation.
#define GLFW2_NO_USING
#include "platform/glfw2/glfw2.h"
#include "platform/glfw2/glfw2_texture.h"
#include "platform/files/files.h"

#include <GL/gl.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// Largest image file read; the game's textures are a few hundred KiB.
static const size_t kMaxTargaFileBytes = 256u << 20;
static const size_t kTargaHeaderBytes = 18;

// The decoder fills a short file's missing pixels with zeros and reports
// success; a damaged image must fail instead. Walks the file as the decoder
// will and tells whether every pixel is there. This also bounds what the decoder
// allocates by the file's size.
static bool TargaDataComplete(const unsigned char* data, size_t size)
{
    if (size < kTargaHeaderBytes)
        return false;
    size_t width = data[12] | (size_t)data[13] << 8;
    size_t height = data[14] | (size_t)data[15] << 8;
    size_t pixelBytes = (data[16] + 7u) / 8u;
    if (width == 0 || height == 0 || pixelBytes == 0)
        return false;
    size_t pos = kTargaHeaderBytes + data[0];
    if (data[1] == 1)
        pos += (data[5] | (size_t)data[6] << 8) * ((data[7] + 7u) / 8u);
    size_t pixels = width * height;
    if (data[2] < 9)
        return pos + pixels * pixelBytes <= size;
    while (pixels > 0) {
        if (pos >= size)
            return false;
        unsigned char packet = data[pos++];
        size_t count = (packet & 0x7fu) + 1u;
        size_t bytes = (packet & 0x80u) ? pixelBytes : count * pixelBytes;
        if (pos + bytes > size)
            return false;
        pos += bytes;
        pixels -= count < pixels ? count : pixels;
    }
    return true;
}

// GL wants the bottom row first; stb_image gives the top row first.
static void FlipRows(unsigned char* pixels, int width, int height, int channels)
{
    size_t stride = (size_t)width * channels;
    unsigned char* row = (unsigned char*)std::malloc(stride);
    if (!row)
        return;
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::memcpy(row, pixels + top * stride, stride);
        std::memcpy(pixels + top * stride, pixels + bottom * stride, stride);
        std::memcpy(pixels + bottom * stride, row, stride);
    }
    std::free(row);
}

unsigned char* DecodeTarga(const unsigned char* data, size_t size, int* width, int* height,
                           int* channels)
{
    *width = *height = *channels = 0;
    if (!TargaDataComplete(data, size) || size > (size_t)0x7fffffff)
        return nullptr;
    int w = 0, h = 0, n = 0;
    unsigned char* pixels = stbi_load_from_memory(data, (int)size, &w, &h, &n, 0);
    if (!pixels)
        return nullptr;
    if (w <= 0 || h <= 0 || n < 1 || n > 4) {
        stbi_image_free(pixels);
        return nullptr;
    }
    FlipRows(pixels, w, h, n);
    *width = w;
    *height = h;
    *channels = n;
    return pixels;
}

void FreeTargaPixels(unsigned char* pixels)
{
    stbi_image_free(pixels);
}

static GLenum PixelFormat(int channels)
{
    static const GLenum formats[5] = {0, GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA};
    return formats[channels];
}

// One mipmap level from the one above: each texel the mean of a 2 x 2 block
// (sizes halve rounding down, at least 1; an odd last row or column is
// averaged into the block beside it by clamping).
static std::vector<unsigned char> HalveImage(const std::vector<unsigned char>& src, int width,
                                             int height, int channels, int* outWidth,
                                             int* outHeight)
{
    int w = width > 1 ? width / 2 : 1;
    int h = height > 1 ? height / 2 : 1;
    std::vector<unsigned char> dst((size_t)w * h * channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
            int y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
            for (int c = 0; c < channels; ++c) {
                auto at = [&](int sx, int sy) { return (int)src[((size_t)sy * width + sx) * channels + c]; };
                int sum = at(x0, y0) + at(x1, y0) + at(x0, y1) + at(x1, y1);
                dst[((size_t)y * w + x) * channels + c] = (unsigned char)((sum + 2) / 4);
            }
        }
    *outWidth = w;
    *outHeight = h;
    return dst;
}

// The mipmaps built here rather than by the driver: a software driver compiles
// a shader for its own mipmap generation (a tenth of a second at start-up), and
// halving a few small images costs well under a millisecond.
static void UploadMipmaps(const unsigned char* pixels, int width, int height, int channels,
                          GLenum format)
{
    std::vector<unsigned char> level(pixels, pixels + (size_t)width * height * channels);
    for (int n = 1; width > 1 || height > 1; ++n) {
        level = HalveImage(level, width, height, channels, &width, &height);
        glTexImage2D(GL_TEXTURE_2D, n, (GLint)format, width, height, 0, format, GL_UNSIGNED_BYTE,
                     level.data());
    }
}

int glfw2::glfwLoadTexture2D(const char* fileName, int flags)
{
    size_t size = 0;
    unsigned char* data = nullptr;
    int reason = 0;
    if (FilesReadAsset(fileName, kMaxTargaFileBytes, &data, &size, &reason) != FILES_READ)
        return 0;
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = DecodeTarga(data, size, &width, &height, &channels);
    std::free(data);
    if (!pixels)
        return 0;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (width > maxSize || height > maxSize) {
        FreeTargaPixels(pixels);
        return 0;
    }
    GLint oldAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &oldAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLenum format = PixelFormat(channels);
    glTexImage2D(GL_TEXTURE_2D, 0, (GLint)format, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
    if (flags & GLFW_BUILD_MIPMAPS_BIT)
        UploadMipmaps(pixels, width, height, channels, format);
    glPixelStorei(GL_UNPACK_ALIGNMENT, oldAlignment);
    FreeTargaPixels(pixels);
    return 1;
}
