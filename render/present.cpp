// present.cpp -- the game's 640x480 picture on a window or screen of any size:
// drawn off screen, then scaled into the largest centred box of its shape.
#include "render/render.h"

#include "platform/glfw2/glfw2.h"

#include <GL/glext.h>

GLuint pictureFramebuffer = 0;

// The off-screen target, made the first time the window is not the picture's
// size: a colour texture that the scaling pass reads and a depth texture with
// the window's own depth precision, so every pass draws as it does on screen.
static GLuint targetFramebuffer, targetColour, targetDepth;
static int targetState;   // 0 not tried yet, 1 made, -1 the driver cannot
static int frameWidth, frameHeight;   // the window's framebuffer at BeginGameFrame

PictureBox FitPicture(const WindowSettings* settings, int width, int height)
{
    PictureBox box = {0, 0, width, height};
    // Compared in whole numbers: which side the picture fills, the other gets bars.
    long wide = (long)width * settings->height, tall = (long)height * settings->width;
    if (wide > tall)
        box.width = (int)((2L * height * settings->width + settings->height) /
                          (2L * settings->height));
    else if (wide < tall)
        box.height = (int)((2L * width * settings->height + settings->width) /
                           (2L * settings->width));
    box.x = (width - box.width) / 2;
    box.y = (height - box.height) / 2;
    return box;
}

static GLuint NewTargetTexture(const WindowSettings* settings, GLint format, GLenum layout,
                               GLenum type, GLint filter)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, format, settings->width, settings->height, 0, layout, type,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return texture;
}

// One try at a complete target with this depth format; 0 leaves nothing behind
// but the framebuffer's name.
static int TryTarget(const WindowSettings* settings, GLint depthFormat,
                     PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC checkStatus)
{
    glPushAttrib(GL_TEXTURE_BIT);
    targetColour = NewTargetTexture(settings, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, GL_LINEAR);
    targetDepth = NewTargetTexture(settings, depthFormat, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT,
                                   GL_NEAREST);
    glPopAttrib();
    glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, targetFramebuffer);
    glFramebufferTexture2DEXTProc(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                  targetColour, 0);
    glFramebufferTexture2DEXTProc(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D,
                                  targetDepth, 0);
    int complete = checkStatus(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, 0);
    if (complete)
        return 1;
    glDeleteTextures(1, &targetColour);
    glDeleteTextures(1, &targetDepth);
    targetColour = targetDepth = 0;
    return 0;
}

// Called while the window's framebuffer is bound. A driver without it keeps
// drawing as the game always has, and says nothing: the picture still shows,
// only at its own size.
static int MakeTarget(const WindowSettings* settings)
{
    PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC checkStatus =
        (PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC)glfwGetProcAddress("glCheckFramebufferStatusEXT");
    if (!checkStatus || !glfwExtensionSupported("GL_EXT_framebuffer_object"))
        return -1;
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGenFramebuffersEXTProc(1, &targetFramebuffer);
    if (depthBits >= 32 && TryTarget(settings, GL_DEPTH_COMPONENT32, checkStatus))
        return 1;
    return TryTarget(settings, GL_DEPTH_COMPONENT24, checkStatus) ? 1 : -1;
}

void BeginGameFrame(const WindowSettings* settings)
{
    glfwGetFramebufferSize(&frameWidth, &frameHeight);
    pictureFramebuffer = 0;
    int ownSize = frameWidth == settings->width && frameHeight == settings->height;
    if (FramebufferProcsLoaded()) {
        if (!ownSize && frameWidth > 0 && frameHeight > 0 && targetState == 0)
            targetState = MakeTarget(settings);
        if (!ownSize && frameWidth > 0 && frameHeight > 0 && targetState > 0)
            pictureFramebuffer = targetFramebuffer;
        glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, pictureFramebuffer);
    }
    glViewport(0, 0, settings->width, settings->height);
}

// The picture's texture over the whole viewport, untouched by light or blending.
static void DrawPictureQuad()
{
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, targetColour);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    static const GLenum modes[3] = {GL_PROJECTION, GL_MODELVIEW, GL_TEXTURE};
    for (GLenum mode : modes) {
        glMatrixMode(mode);
        glPushMatrix();
        glLoadIdentity();
    }
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-1.0f, -1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(1.0f, -1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
    for (GLenum mode : modes) {
        glMatrixMode(mode);
        glPopMatrix();
    }
}

// Black beside the box only: the box itself is drawn over in full.
static void ClearBars(const PictureBox& box)
{
    glEnable(GL_SCISSOR_TEST);
    if (box.x > 0) {
        glScissor(0, 0, box.x, frameHeight);
        glClear(GL_COLOR_BUFFER_BIT);
        glScissor(box.x + box.width, 0, frameWidth - box.x - box.width, frameHeight);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    if (box.y > 0) {
        glScissor(0, 0, frameWidth, box.y);
        glClear(GL_COLOR_BUFFER_BIT);
        glScissor(0, box.y + box.height, frameWidth, frameHeight - box.y - box.height);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);
}

void PresentGameFrame(const WindowSettings* settings)
{
    if (!pictureFramebuffer)
        return;
    GLint matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, 0);
    glPushAttrib(GL_ENABLE_BIT | GL_VIEWPORT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT |
                 GL_SCISSOR_BIT | GL_CURRENT_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    PictureBox box = FitPicture(settings, frameWidth, frameHeight);
    ClearBars(box);
    glViewport(box.x, box.y, box.width, box.height);
    DrawPictureQuad();
    glPopAttrib();
    glMatrixMode((GLenum)matrixMode);
}

int GameFrameOutdated()
{
    int width = 0, height = 0;
    glfwGetFramebufferSize(&width, &height);
    return width != frameWidth || height != frameHeight;
}
