// glfw2_texture.h -- the Targa decoding behind glfwLoadTexture2D, apart from GL so
// that tests and fuzzing can reach it.
#pragma once

#include <cstddef>

// Decodes a Targa image (uncompressed or RLE; 8, 16, 24 or 32 bits; either origin)
// held in memory. Returns malloc'd pixels, rows bottom-up as OpenGL takes them
// (texture coordinate t = 0 is the image's bottom row), channels bytes a pixel
// (1 grey, 2 grey+alpha, 3 RGB, 4 RGBA); null when the data is not a usable image.
// Free with FreeTargaPixels.
unsigned char* DecodeTarga(const unsigned char* data, size_t size, int* width, int* height,
                           int* channels);
void FreeTargaPixels(unsigned char* pixels);
