// glfw2_icon.cpp -- the window icon's PNG file decoded by stb_image, a private
// copy of the decoder that reads PNG only (the textures' copy reads Targa only).
#include "platform/glfw2/glfw2_icon.h"
#include "platform/files/files.h"

#include <cstdlib>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_MAX_DIMENSIONS 1024
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

int LoadIconImage(const char* fileName, int* width, int* height, unsigned char** pixels)
{
    *width = *height = 0;
    *pixels = nullptr;
    // Through the files layer, so that a pipe at the path never blocks start-up.
    // Not an asset: a replay does not depend on the icon.
    unsigned char* bytes = nullptr;
    size_t size = 0;
    int reason = 0;
    if (FilesReadWhole(fileName, 1 << 20, nullptr, &bytes, &size, &reason) != FILES_READ)
        return 0;
    int channels = 0;
    *pixels = stbi_load_from_memory(bytes, (int)size, width, height, &channels, 4);
    std::free(bytes);
    return *pixels != nullptr;
}

void FreeIconImage(unsigned char* pixels)
{
    stbi_image_free(pixels);
}
