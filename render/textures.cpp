// textures.cpp -- the texture table: every Targa image of the game, loaded once
// after the GL context exists; other modules name a texture by its entry.
#include "render/render.h"

#include "platform/console/console.h"
#include "platform/glfw2/glfw2.h"

#include <GL/gl.h>
#include <GL/glext.h>
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

static void LoadTextureEntry(GLuint* entry, const char* fileName)
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
    if (glfwExtensionSupported("GL_EXT_texture_filter_anisotropic")) {
        GLfloat largest = 1.0f;
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &largest);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, largest);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void LoadTextures(GLuint textures[13])
{
    for (int i = 1; i <= 12; ++i)
        if (kTextureFiles[i])
            LoadTextureEntry(&textures[i], kTextureFiles[i]);
}
