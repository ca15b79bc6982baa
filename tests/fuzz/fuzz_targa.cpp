// fuzz_targa.cpp -- any bytes given to the Targa decoding give either nothing or
// a whole image of the size it reports.
#include "platform/glfw2/glfw2_texture.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = DecodeTarga(data, size, &width, &height, &channels);
    if (!pixels)
        return 0;
    if (width <= 0 || height <= 0 || channels < 1 || channels > 4)
        __builtin_trap();
    // Touch the first and last byte so that a short buffer shows.
    size_t bytes = (size_t)width * height * channels;
    volatile unsigned char edge = pixels[0] ^ pixels[bytes - 1];
    (void)edge;
    FreeTargaPixels(pixels);
    return 0;
}
