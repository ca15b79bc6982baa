// glfw2.h -- the GLFW 2 calls the game speaks, carried out on GLFW 3.
// Also the seam for tests: a script can stand in for the clock and the input
// (keys, buttons, cursor) while the real window and GL context stay.
#pragma once

#ifndef GLFW_MOUSE_BUTTON_LEFT
#define GLFW_MOUSE_BUTTON_LEFT 0
#endif
#ifndef GLFW_MOUSE_BUTTON_RIGHT
#define GLFW_MOUSE_BUTTON_RIGHT 1
#endif
#ifndef GLFW_PRESS
#define GLFW_PRESS 1
#endif
#define GLFW_WINDOW 0x00010001
#define GLFW_FULLSCREEN 0x00010002
#define GLFW_KEY_ESC 257
#define GLFW_MOUSE_CURSOR 0x00030001
#define GLFW_AUTO_POLL_EVENTS 0x00030006   // glfwDisable: buffer swaps no longer poll
#define GLFW_OPENED 0x00020001      // glfwGetWindowParam: 0 once the window was asked to close
#define GLFW_ACTIVE 0x00020002      // glfwGetWindowParam: 1 while the window has the keyboard focus
#ifdef GLFW_ICONIFIED   // GLFW 3's window attribute, where its header came first
#undef GLFW_ICONIFIED
#endif
#define GLFW_ICONIFIED 0x00020003   // glfwGetWindowParam: 1 while minimised
#define GLFW_BUILD_MIPMAPS_BIT 0x00000004

namespace glfw2 {

int glfwInit();   // 1 on success
// Opens the one window with the requested bit depths and makes its context
// current; 1 on success. GLFW_WINDOW: width by height, resizable, as GLFW 2's
// windows were. GLFW_FULLSCREEN: the whole primary monitor at the video mode it
// already has (width and height are not used), so nothing else on the desktop
// is moved. Its X class is "balltoss", whatever its title.
int glfwOpenWindow(int width, int height, int redBits, int greenBits, int blueBits,
                   int alphaBits, int depthBits, int stencilBits, int mode);
void glfwSetWindowTitle(const char* title);
// The window's icon from a PNG file; 1 on success, 0 when the file is missing or
// not a PNG (the window then keeps the desktop's default icon).
int glfwLoadWindowIcon(const char* fileName);
// Asks for a new size of the window's client area, in screen coordinates; the
// window system may give another (see glfwGetFramebufferSize after a poll).
void glfwSetWindowSize(int width, int height);
// The window's framebuffer in pixels, as of the latest event poll (larger than
// its size in screen coordinates on a HiDPI screen). 0 by 0 without a window.
void glfwGetFramebufferSize(int* width, int* height);
void glfwSwapInterval(int interval);
void glfwSwapBuffers();   // also processes window events, unless GLFW_AUTO_POLL_EVENTS is disabled
void glfwPollEvents();
// Sleeps until an event or the time is up, then polls; a replay or a script
// only polls, as it keeps its own pace.
void glfwWaitEventsTimeout(double seconds);
int glfwGetWindowParam(int param);          // GLFW_OPENED, GLFW_ACTIVE, GLFW_ICONIFIED
// Keys and buttons read down in a pass when held at the latest poll or pressed
// since the poll before it: a tap shorter than a pass counts once, and a press
// nobody reads is forgotten at the next poll.
int glfwGetKey(int key);  // GLFW 2 codes: printable keys upper case, Esc 257; 1 when down
int glfwGetMouseButton(int button); // 0 left, 1 right; 1 when down
// The virtual cursor (unbounded once disabled). Only motion moves it: when the
// window gains the pointer (start, focus, restore) or changes size, its
// reference is taken afresh.
void glfwGetMousePos(int* x, int* y);
void glfwSetMousePos(int x, int y);
// GLFW_MOUSE_CURSOR: hide it and report a virtual cursor; GLFW_AUTO_POLL_EVENTS:
// swaps leave the events to the caller's own poll or wait.
void glfwDisable(int token);
void glfwEnable(int token);  // undoes glfwDisable
double glfwGetTime();        // seconds since glfwInit
int glfwExtensionSupported(const char* extension);
void* glfwGetProcAddress(const char* procName);
void glfwTerminate();
// Loads a Targa file into the texture bound to GL_TEXTURE_2D;
// GLFW_BUILD_MIPMAPS_BIT builds the mipmaps. 1 on success, 0 on failure.
int glfwLoadTexture2D(const char* fileName, int flags);

} // namespace glfw2

#ifndef GLFW2_NO_USING
using namespace glfw2;
#endif

// GLFW's own description of its latest error ("X11: The DISPLAY environment
// variable is missing"), or a line saying it gave none.
const char* Glfw2ErrorText();

// A stand-in for the clock and the input, for tests.
struct Glfw2Script {
    int active;                 // nonzero: time, keys, buttons and cursor below are used
    double time;                // what glfwGetTime answers
    unsigned char keys[512];    // by GLFW 2 key code, nonzero = down
    unsigned char buttons[8];   // by button, nonzero = down
    int mouseX, mouseY;         // the virtual cursor
    void (*onPoll)(void* user); // called by every event poll (also inside swaps)
    void* user;
    // Always applied, scripted or not: extensions reported missing and entry
    // points looked up as null (up to 8 each, null-terminated lists).
    const char* hiddenExtensions[8];
    const char* hiddenProcs[8];
};

// The one script record; zero (inactive) until a test fills it.
Glfw2Script* Glfw2GetScript();

// Where the window's key and button events enter the layer (GLFW 2 codes,
// action GLFW_PRESS or 0 for a release); tests feed synthetic ones here. Held
// state comes from the window, or from the script's keys and buttons.
void Glfw2KeyEvent(int key, int action);
void Glfw2ButtonEvent(int button, int action);
