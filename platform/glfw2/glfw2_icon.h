// glfw2_icon.h -- the PNG decoding behind glfwLoadWindowIcon.
#pragma once

// Reads a PNG file (at most 1024 by 1024) into RGBA pixels, top row first, as
// window icons take them; 0 when it is missing or not such an image. Free the
// pixels with FreeIconImage.
int LoadIconImage(const char* fileName, int* width, int* height, unsigned char** pixels);
void FreeIconImage(unsigned char* pixels);
