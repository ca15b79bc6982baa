// textures.cpp -- the texture table: every Targa image of the game, loaded once
// after the GL context exists; other modules name a texture by its entry.
#include "render/render.h"

#include "platform/console/console.h"
#include "platform/glfw2/glfw2.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <cstdio>
#include <cstring>
#include <string>

// The file of each entry; 11 and 12 have none. The eight-ball and light-wood
// images are loaded twice, once for the table's materials and once for the ball's.
static const char* const kTextureFiles[13] = {
    nullptr,
    "Textures/Text.tga",
    "Textures/Wall.tga",
    "Textures/eightball.tga",
    "Textures/Wood2.tga",
    "Textures/Wood1.tga",
    "Textures/eightball.tga",
    "Textures/Wood1.tga",
    "Textures/backboard.tga",
    "Textures/Targ.tga",
    "Textures/Power.tga",
    nullptr,
    nullptr,
};

int AnisotropyStalls(const char* renderer)
{
    return renderer && std::strstr(renderer, "llvmpipe") != nullptr;
}

// The anisotropy every texture gets: the driver's largest unless the player
// asked for less (software renderers filter anisotropically at a high cost),
// or 1 where the driver's filtering stalls. 0 where the driver has no
// anisotropic filtering.
static float ChosenAnisotropy(float asked)
{
    if (!glfwExtensionSupported("GL_EXT_texture_filter_anisotropic"))
        return 0.0f;
    GLfloat largest = 1.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &largest);
    if (asked < 1.0f)
        return AnisotropyStalls((const char*)glGetString(GL_RENDERER)) ? 1.0f : largest;
    if (asked > largest) {
        char line[96];
        std::snprintf(line, sizeof line, "Anisotropy %g is above the driver's largest: using %g",
                      (double)asked, (double)largest);
        ConsolePrint(line);
        return largest;
    }
    return asked;
}

static void LoadTextureEntry(GLuint* entry, const char* fileName, float anisotropy)
{
    glGenTextures(1, entry);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, *entry);
    // A missing image leaves an empty texture: drawing with it shows nothing but works.
    if (!glfwLoadTexture2D(fileName, GLFW_BUILD_MIPMAPS_BIT)) {
        ConsolePrint((std::string("Failed to load image, ") + fileName + "!!!").c_str());
        ConsoleBeep();
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    if (anisotropy > 0.0f)
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void LoadTextures(GLuint textures[13], float anisotropy)
{
    float chosen = ChosenAnisotropy(anisotropy);
    for (int i = 1; i <= 12; ++i)
        if (kTextureFiles[i])
            LoadTextureEntry(&textures[i], kTextureFiles[i], chosen);
}
