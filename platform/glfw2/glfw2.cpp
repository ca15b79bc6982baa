// glfw2.cpp -- the GLFW 2 interface on GLFW 3: one window, polled input, a
// virtual cursor and the scripted stand-ins for tests.
#define GLFW2_NO_USING
#include "platform/glfw2/glfw2.h"
#include "platform/glfw2/glfw2_icon.h"
#include "platform/replay/replay.h"

// GLFW 3 gives GLFW_ICONIFIED another value, as a window attribute.
static const int kParamIconified = GLFW_ICONIFIED;
#undef GLFW_ICONIFIED
#include <GLFW/glfw3.h>
#include <cstring>

static GLFWwindow* theWindow = nullptr;
static bool autoPoll = true;
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

// ---- presses latched per poll ----
// Keys by GLFW 3 code, then the mouse buttons. Presses arriving between two
// polls are pending; each poll hands them to the pass that follows it and
// starts afresh, so a press is seen by exactly one pass whether read or not.
enum { kLatchButtons = GLFW_KEY_LAST + 1, kLatchSlots = kLatchButtons + GLFW_MOUSE_BUTTON_LAST + 1 };
static unsigned char pendingPresses[kLatchSlots];
static unsigned char passPresses[kLatchSlots];

static void LatchEvent(int slot, int action)
{
    if (action == GLFW_PRESS && slot >= 0 && slot < kLatchSlots)
        pendingPresses[slot] = 1;
}

static void LatchPoll()
{
    std::memcpy(passPresses, pendingPresses, sizeof passPresses);
    std::memset(pendingPresses, 0, sizeof pendingPresses);
}

static bool Latched(int slot)
{
    return slot >= 0 && slot < kLatchSlots && passPresses[slot];
}

static void OnKey(GLFWwindow*, int key, int, int action, int)
{
    LatchEvent(key, action);
}

static void OnButton(GLFWwindow*, int button, int action, int)
{
    LatchEvent(kLatchButtons + button, action);
}

// ---- the virtual cursor ----
// GLFW's disabled cursor moves by the pointer's motion, but on entering the
// window it jumps to wherever the pointer is; summing only motion from a
// reference retaken whenever the pointer comes back keeps such jumps out of the look.
static double cursorX, cursorY;   // what the game reads
static double lastX, lastY;       // GLFW's cursor at the latest motion
static bool retakeReference = true;
// Set when the pointer came back during the current poll. GLFW may report the
// pointer's jump before or after the focus or enter event, so every motion of
// that poll is dropped, not only what follows the event.
static bool regainedThisPoll = false;
static double pollStartX, pollStartY;

static void Regained()
{
    retakeReference = true;
    regainedThisPoll = true;
}

static void BeginCursorPoll()
{
    pollStartX = cursorX;
    pollStartY = cursorY;
    regainedThisPoll = false;
}

static void EndCursorPoll()
{
    if (!regainedThisPoll)
        return;
    cursorX = pollStartX;
    cursorY = pollStartY;
    retakeReference = true;
}

static void OnCursorPos(GLFWwindow*, double x, double y)
{
    if (!retakeReference) {
        cursorX += x - lastX;
        cursorY += y - lastY;
    }
    lastX = x;
    lastY = y;
    retakeReference = false;
}

static void OnCursorEnter(GLFWwindow*, int entered)
{
    if (entered)
        Regained();
}

static void OnFocus(GLFWwindow*, int focused)
{
    if (focused)
        Regained();
}

static void OnIconify(GLFWwindow*, int iconified)
{
    if (!iconified)
        Regained();
}

// A new size moves the window's centre, where GLFW keeps a disabled pointer:
// the jump there is no look.
static void OnWindowSize(GLFWwindow*, int, int)
{
    Regained();
}

// ---- the framebuffer's size ----
// Kept from the events, so that reading it every pass asks the window system nothing.
static int framebufferWidth, framebufferHeight;

static void OnFramebufferSize(GLFWwindow*, int width, int height)
{
    framebufferWidth = width;
    framebufferHeight = height;
}

static void SetInputCallbacks(GLFWwindow* window)
{
    ::glfwSetKeyCallback(window, OnKey);
    ::glfwSetMouseButtonCallback(window, OnButton);
    ::glfwSetCursorPosCallback(window, OnCursorPos);
    ::glfwSetCursorEnterCallback(window, OnCursorEnter);
    ::glfwSetWindowFocusCallback(window, OnFocus);
    ::glfwSetWindowIconifyCallback(window, OnIconify);
    ::glfwSetWindowSizeCallback(window, OnWindowSize);
    ::glfwSetFramebufferSizeCallback(window, OnFramebufferSize);
}

static bool CursorDisabled()
{
    return theWindow && ::glfwGetInputMode(theWindow, GLFW_CURSOR) == GLFW_CURSOR_DISABLED;
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
    // GLFW 3 would name the class after the title; the menu entry and the task
    // bar match the window by this one.
    ::glfwWindowHintString(GLFW_X11_CLASS_NAME, "balltoss");
    ::glfwWindowHintString(GLFW_X11_INSTANCE_NAME, "balltoss");
    GLFWmonitor* monitor = nullptr;
    if (mode == GLFW_FULLSCREEN)
        monitor = ::glfwGetPrimaryMonitor();
    // Full screen at the monitor's own mode: switching it would rearrange the
    // desktop's windows and blank the other monitors.
    const GLFWvidmode* current = monitor ? ::glfwGetVideoMode(monitor) : nullptr;
    if (current) {
        width = current->width;
        height = current->height;
        ::glfwWindowHint(GLFW_REFRESH_RATE, current->refreshRate);
    }
    ::glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    theWindow = ::glfwCreateWindow(width, height, "", monitor, nullptr);
    if (!theWindow)
        return 0;
    ::glfwMakeContextCurrent(theWindow);
    SetInputCallbacks(theWindow);
    ::glfwGetFramebufferSize(theWindow, &framebufferWidth, &framebufferHeight);
    return 1;
}

void glfwSetWindowTitle(const char* title)
{
    if (theWindow)
        ::glfwSetWindowTitle(theWindow, title);
}

void glfwSetWindowSize(int width, int height)
{
    if (theWindow)
        ::glfwSetWindowSize(theWindow, width, height);
}

void glfwGetFramebufferSize(int* width, int* height)
{
    *width = theWindow ? framebufferWidth : 0;
    *height = theWindow ? framebufferHeight : 0;
}

int glfwLoadWindowIcon(const char* fileName)
{
    GLFWimage icon = {0, 0, nullptr};
    if (!theWindow || !LoadIconImage(fileName, &icon.width, &icon.height, &icon.pixels))
        return 0;
    ::glfwSetWindowIcon(theWindow, 1, &icon);
    FreeIconImage(icon.pixels);
    return 1;
}

void glfwSwapInterval(int interval) { ::glfwSwapInterval(interval); }

static int LiveKey(int key);

// What every poll does once the window's events are in. A replay reads Esc and
// the window's close from the recording; the player's own, read here live,
// stop it.
static void EndPoll()
{
    if (theScript.onPoll)
        theScript.onPoll(theScript.user);
    LatchPoll();
    if (ReplayMode() == 2 &&
        (LiveKey(GLFW_KEY_ESC) || (theWindow && ::glfwWindowShouldClose(theWindow))))
        ReplayRequestStop();
}

void glfwPollEvents()
{
    BeginCursorPoll();
    if (theWindow)
        ::glfwPollEvents();
    EndCursorPoll();
    EndPoll();
}

void glfwWaitEventsTimeout(double seconds)
{
    // A scripted test and a replay set their own pace.
    BeginCursorPoll();
    if (theWindow && !theScript.active && ReplayMode() != 2)
        ::glfwWaitEventsTimeout(seconds);
    else if (theWindow)
        ::glfwPollEvents();
    EndCursorPoll();
    EndPoll();
}

static int LiveWindowParam(int param)
{
    if (!theWindow)
        return 0;
    if (param == GLFW_OPENED)
        return ::glfwWindowShouldClose(theWindow) ? 0 : 1;
    if (param == kParamIconified)
        return ::glfwGetWindowAttrib(theWindow, GLFW_ICONIFIED) ? 1 : 0;
    if (param == GLFW_ACTIVE)
        return ::glfwGetWindowAttrib(theWindow, GLFW_FOCUSED) ? 1 : 0;
    return 0;
}

void glfwSwapBuffers()
{
    if (theWindow)
        ::glfwSwapBuffers(theWindow);
    if (autoPoll)
        glfwPollEvents();
}

static bool KeyHeld(int key, int glfw3Key)
{
    if (theScript.active)
        return key >= 0 && key < 512 && theScript.keys[key];
    return theWindow && ::glfwGetKey(theWindow, glfw3Key) == GLFW_PRESS;
}

static int LiveKey(int key)
{
    int glfw3Key = ToGlfw3Key(key);
    if (glfw3Key == GLFW_KEY_UNKNOWN)
        return 0;
    return KeyHeld(key, glfw3Key) || Latched(glfw3Key) ? 1 : 0;
}

static bool ButtonHeld(int button)
{
    if (theScript.active)
        return theScript.buttons[button] != 0;
    return theWindow && ::glfwGetMouseButton(theWindow, button) == GLFW_PRESS;
}

static int LiveMouseButton(int button)
{
    if (button < 0 || button > GLFW_MOUSE_BUTTON_LAST)
        return 0;
    return ButtonHeld(button) || Latched(kLatchButtons + button) ? 1 : 0;
}

static void LiveMousePos(int* x, int* y)
{
    if (theScript.active || !theWindow) {
        *x = theScript.mouseX;
        *y = theScript.mouseY;
        return;
    }
    *x = (int)cursorX;
    *y = (int)cursorY;
}

// Every reading from outside passes through the recording or the replay.
int glfwGetKey(int key) { return ReplayFlag(REPLAY_KEY, key, LiveKey(key)); }
int glfwGetMouseButton(int b) { return ReplayFlag(REPLAY_BUTTON, b, LiveMouseButton(b)); }
void glfwGetMousePos(int* x, int* y) { LiveMousePos(x, y); ReplayCursor(x, y); }
int glfwGetWindowParam(int p) { return ReplayFlag(REPLAY_WINDOW, p, LiveWindowParam(p)); }

void glfwSetMousePos(int x, int y)
{
    theScript.mouseX = x;
    theScript.mouseY = y;
    cursorX = x;
    cursorY = y;
    if (!theScript.active && theWindow && !CursorDisabled()) {
        ::glfwSetCursorPos(theWindow, x, y);
        retakeReference = true;
    }
}

void glfwDisable(int token)
{
    if (token == GLFW_AUTO_POLL_EVENTS)
        autoPoll = false;
    if (token == GLFW_MOUSE_CURSOR && theWindow) {
        ::glfwSetInputMode(theWindow, GLFW_CURSOR, GLFW_CURSOR_DISABLED);
        retakeReference = true;
    }
}

void glfwEnable(int token)
{
    if (token == GLFW_MOUSE_CURSOR && theWindow)
        ::glfwSetInputMode(theWindow, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
    if (token == GLFW_AUTO_POLL_EVENTS)
        autoPoll = true;
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
    framebufferWidth = framebufferHeight = 0;
}

} // namespace glfw2

const char* Glfw2ErrorText()
{
    const char* description = nullptr;
    ::glfwGetError(&description);
    return description ? description : "GLFW gave no reason";
}

void Glfw2KeyEvent(int key, int action)
{
    LatchEvent(ToGlfw3Key(key), action);
}

void Glfw2ButtonEvent(int button, int action)
{
    if (button >= 0 && button <= GLFW_MOUSE_BUTTON_LAST)
        LatchEvent(kLatchButtons + button, action);
}
