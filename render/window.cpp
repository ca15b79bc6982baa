// window.cpp -- opens the game's one window (full screen, or a window on request) and sets the GL state
// that every later pass starts from.
#include "render/render.h"

#include "platform/console/console.h"
#include "platform/glfw2/glfw2.h"

#include <GL/glu.h>
#include <cstdlib>

GenFramebuffersProc glGenFramebuffersEXTProc = nullptr;
BindFramebufferProc glBindFramebufferEXTProc = nullptr;
FramebufferTexture2DProc glFramebufferTexture2DEXTProc = nullptr;

// A start-up failure of the window: the line, the beep, three seconds to read
// it (a key ends the wait), then status 1, so that a launcher or a script can
// tell a game that never started from one the player ended.
static void WindowFailure(const char* line, const char* cause = nullptr)
{
    ConsolePrint(line);
    if (cause)
        ConsolePrint(cause);
    ConsoleBeep();
    ConsoleWait(3000);
    std::exit(1);
}

// The icon the asset generator makes, from the data folder: in the source tree
// (or the build tree's link to it), else where an installation keeps it beside
// its data folder. Without one the desktop shows its default.
static void SetWindowIcon()
{
    static const char* const places[] = {"desktop/balltoss.png",
                                         "../icons/hicolor/128x128/apps/balltoss.png"};
    for (const char* place : places)
        if (glfwLoadWindowIcon(place))
            return;
}

void InitWindow(WindowSettings* settings, int windowed)
{
    settings->width = 640;
    settings->height = 480;
    settings->redBits = 8;
    settings->blueBits = 8;
    settings->greenBits = 8;

    // The cause (no DISPLAY, a server that does not answer) in GLFW's own words.
    if (!glfwInit())
        WindowFailure("Failed to initialize GLFW!", Glfw2ErrorText());
    // The same 640 by 480 picture either way, so the HUD and the projection do
    // not change; BeginGameFrame and PresentGameFrame fit it to the window.
    int mode = windowed ? GLFW_WINDOW : GLFW_FULLSCREEN;
    if (!glfwOpenWindow(settings->width, settings->height, settings->redBits,
                        settings->greenBits, settings->blueBits, 8, 32, 0, mode)) {
        glfwTerminate();
        WindowFailure("Failed to create OpenGL context... ending");
    }
    glfwSetWindowTitle("Ball Toss");
    SetWindowIcon();
    glfwSwapInterval(1);

    glViewport(0, 0, settings->width, settings->height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, (double)settings->width / (double)settings->height, 0.1, 250.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_COLOR_MATERIAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glPolygonMode(GL_FRONT, GL_FILL);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
}

void LoadFramebufferProcs()
{
    glGenFramebuffersEXTProc = (GenFramebuffersProc)glfwGetProcAddress("glGenFramebuffersEXT");
    glBindFramebufferEXTProc = (BindFramebufferProc)glfwGetProcAddress("glBindFramebufferEXT");
    glFramebufferTexture2DEXTProc =
        (FramebufferTexture2DProc)glfwGetProcAddress("glFramebufferTexture2DEXT");
}

int FramebufferProcsLoaded()
{
    return glGenFramebuffersEXTProc && glBindFramebufferEXTProc && glFramebufferTexture2DEXTProc;
}
