// render.h -- the window and GL context, the texture table, the bitmap font, the
// light, the shadow map and the frame passes.
#pragma once

#include <GL/gl.h>

// ---- Window and GL context ----

// The requested window: 640 by 480, 8 bits per colour channel.
struct WindowSettings {
    int width, height;
    int redBits, blueBits, greenBits;   // stored red, blue, green
};

// Opens the full-screen window and sets the GL state every pass starts from.
// On failure prints its line, beeps, waits 3 s (a console key ends it early) and
// ends the program with exit status 0.
void InitWindow(WindowSettings* settings);

// The framebuffer-object entry points, looked up once after InitWindow. Null
// where the driver does not know the name.
typedef void (*GenFramebuffersProc)(GLsizei n, GLuint* framebuffers);
typedef void (*BindFramebufferProc)(GLenum target, GLuint framebuffer);
typedef void (*FramebufferTexture2DProc)(GLenum target, GLenum attachment, GLenum textarget,
                                         GLuint texture, GLint level);
extern GenFramebuffersProc glGenFramebuffersEXTProc;
extern BindFramebufferProc glBindFramebufferEXTProc;
extern FramebufferTexture2DProc glFramebufferTexture2DEXTProc;

void LoadFramebufferProcs();
// 1 when all three framebuffer entry points were found.
int FramebufferProcsLoaded();

// ---- Lighting ----

// Light 0's colours and position, four floats each.
struct LightSettings {
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float position[4];
};
