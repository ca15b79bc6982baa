// glfw2.cpp -- the GLFW 2 interface on GLFW 3: one window, polled input, a
// virtual cursor and the scripted stand-ins for tests.
#define GLFW2_NO_USING
#include "platform/glfw2/glfw2.h"
#include "platform/glfw2/replay.h"

#include <GLFW/glfw3.h>
#include <cstring>

static GLFWwindow* theWindow = nullptr;
static Glfw2Script theScript;

Glfw2Script* Glfw2GetScript() { return &theScript; }

// GLFW 2 special key codes (256 and up) as GLFW 3 keys; printable keys have
// the same codes in both.
static int ToGlfw3Key(int key)
{
    static const struct { int glfw2, glfw3; } specials[] = {
        {257, GLFW_KEY_ESCAPE}, {283, GLFW_KEY_UP}, {284, GLFW_KEY_DOWN},
        {285, GLFW_KEY_LEFT}, {286, GLFW_KEY_RIGHT}, {287, GLFW_KEY_LEFT_SHIFT},
        {288, GLFW_KEY_RIGHT_SHIFT}, {289, GLFW_KEY_LEFT_CONTROL},
        {290, GLFW_KEY_RIGHT_CONTROL}, {291, GLFW_KEY_LEFT_ALT}, {292, GLFW_KEY_RIGHT_ALT},
        {293, GLFW_KEY_TAB}, {294, GLFW_KEY_ENTER}, {295, GLFW_KEY_BACKSPACE},
        {296, GLFW_KEY_INSERT}, {297, GLFW_KEY_DELETE}, {298, GLFW_KEY_PAGE_UP},
        {299, GLFW_KEY_PAGE_DOWN}, {300, GLFW_KEY_HOME}, {301, GLFW_KEY_END},
    };
    if (key >= 258 && key <= 282)
        return GLFW_KEY_F1 + (key - 258);
    for (const auto& s : specials)
        if (s.glfw2 == key)
            return s.glfw3;
    if (key >= 32 && key < 256)
        return key;
    return GLFW_KEY_UNKNOWN;
}

static bool Listed(const char* const* list, int count, const char* name)
{
    for (int i = 0; i < count && list[i]; ++i)
        if (std::strcmp(list[i], name) == 0)
            return true;
    return false;
}

namespace glfw2 {

int glfwInit()
{
    return ::glfwInit() == GLFW_TRUE ? 1 : 0;
}

int glfwOpenWindow(int width, int height, int redBits, int greenBits, int blueBits,
                   int alphaBits, int depthBits, int stencilBits, int mode)
{
    ::glfwDefaultWindowHints();
    ::glfwWindowHint(GLFW_RED_BITS, redBits);
    ::glfwWindowHint(GLFW_GREEN_BITS, greenBits);
    ::glfwWindowHint(GLFW_BLUE_BITS, blueBits);
    ::glfwWindowHint(GLFW_ALPHA_BITS, alphaBits);
    ::glfwWindowHint(GLFW_DEPTH_BITS, depthBits);
    ::glfwWindowHint(GLFW_STENCIL_BITS, stencilBits);
    GLFWmonitor* monitor = mode == GLFW_FULLSCREEN ? ::glfwGetPrimaryMonitor() : nullptr;
    theWindow = ::glfwCreateWindow(width, height, "", monitor, nullptr);
    if (!theWindow)
        return 0;
    ::glfwMakeContextCurrent(theWindow);
    // The game polls once a pass; a tap shorter than a pass must still count.
    ::glfwSetInputMode(theWindow, GLFW_STICKY_KEYS, GLFW_TRUE);
    ::glfwSetInputMode(theWindow, GLFW_STICKY_MOUSE_BUTTONS, GLFW_TRUE);
    return 1;
}

void glfwSwapInterval(int interval) { ::glfwSwapInterval(interval); }

void glfwPollEvents()
{
    if (theWindow)
        ::glfwPollEvents();
    if (theScript.onPoll)
        theScript.onPoll(theScript.user);
}

void glfwSwapBuffers()
{
    if (theWindow)
        ::glfwSwapBuffers(theWindow);
    glfwPollEvents();
}

static int LiveKey(int key)
{
    if (theScript.active)
        return key >= 0 && key < 512 && theScript.keys[key] ? 1 : 0;
    int glfw3Key = ToGlfw3Key(key);
    if (!theWindow || glfw3Key == GLFW_KEY_UNKNOWN)
        return 0;
    return ::glfwGetKey(theWindow, glfw3Key) == GLFW_PRESS ? 1 : 0;
}

static int LiveMouseButton(int button)
{
    if (theScript.active)
        return button >= 0 && button < 8 && theScript.buttons[button] ? 1 : 0;
    if (!theWindow)
        return 0;
    return ::glfwGetMouseButton(theWindow, button) == GLFW_PRESS ? 1 : 0;
}

static void LiveMousePos(int* x, int* y)
{
    if (theScript.active || !theWindow) {
        *x = theScript.mouseX;
        *y = theScript.mouseY;
        return;
    }
    double dx = 0.0, dy = 0.0;
    ::glfwGetCursorPos(theWindow, &dx, &dy);
    *x = (int)dx;
    *y = (int)dy;
}

// Every reading from outside passes through the recording or the replay.
int glfwGetKey(int key) { return ReplayFlag(REPLAY_KEY, key, LiveKey(key)); }
int glfwGetMouseButton(int b) { return ReplayFlag(REPLAY_BUTTON, b, LiveMouseButton(b)); }
void glfwGetMousePos(int* x, int* y) { LiveMousePos(x, y); ReplayCursor(x, y); }

void glfwSetMousePos(int x, int y)
{
    theScript.mouseX = x;
    theScript.mouseY = y;
    if (!theScript.active && theWindow)
        ::glfwSetCursorPos(theWindow, x, y);
}

void glfwDisable(int token)
{
    if (token == GLFW_MOUSE_CURSOR && theWindow)
        ::glfwSetInputMode(theWindow, GLFW_CURSOR, GLFW_CURSOR_DISABLED);
}

double glfwGetTime()
{
    return ReplayTime(theScript.active ? theScript.time : ::glfwGetTime());
}

int glfwExtensionSupported(const char* extension)
{
    if (Listed(theScript.hiddenExtensions, 8, extension))
        return 0;
    return ::glfwExtensionSupported(extension) == GLFW_TRUE ? 1 : 0;
}

void* glfwGetProcAddress(const char* procName)
{
    if (Listed(theScript.hiddenProcs, 8, procName))
        return nullptr;
    return (void*)::glfwGetProcAddress(procName);
}

void glfwTerminate()
{
    ::glfwTerminate();
    theWindow = nullptr;
}

} // namespace glfw2
