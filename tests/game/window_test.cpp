// window_test.cpp -- the window's GL state read back from a real context, the
// GLFW 2 layer's key codes and scripted input, and the start-up failure path.
#include "platform/glfw2/glfw2.h"
#include "platform/glfw2/glfw2_icon.h"
#include "tests/render/gl_helpers.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitWindow(&settings, 0); }
    static inline WindowSettings settings;
};

TEST_F(WindowTest, SettingsHoldTheRequestedWindowAndGlStateIsWhatEveryPassStartsFrom)
{
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    EXPECT_EQ(settings.redBits, 8);
    EXPECT_EQ(settings.greenBits, 8);
    EXPECT_EQ(settings.blueBits, 8);
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f) << "modelview element " << i;

    // 45 degrees vertically at an aspect of 640/480 as a fraction, not 1.
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    double f = 1.0 / std::tan(45.0 * M_PI / 360.0);
    EXPECT_NEAR(m[0], f / (640.0 / 480.0), 1e-5);
    EXPECT_NEAR(m[5], f, 1e-5);
    EXPECT_NEAR(m[10], (250.0 + 0.1) / (0.1 - 250.0), 1e-5);
    EXPECT_NEAR(m[14], 2.0 * 250.0 * 0.1 / (0.1 - 250.0), 1e-5);

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
    EXPECT_EQ(GlInteger(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ(GlInteger(GL_SHADE_MODEL), GL_SMOOTH);
    EXPECT_EQ(GlInteger(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(GlInteger(GL_FRONT_FACE), GL_CCW);
    EXPECT_EQ(GlInteger(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_EQ(GlInteger(GL_PERSPECTIVE_CORRECTION_HINT), GL_NICEST);
    EXPECT_GE(GlInteger(GL_DEPTH_BITS), 24);
    for (GLenum cap : {GL_DEPTH_TEST, GL_CULL_FACE, GL_COLOR_MATERIAL})
        EXPECT_TRUE(glIsEnabled(cap)) << cap;
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0] + clear[1] + clear[2] + clear[3], 0.0f);
}

TEST_F(WindowTest, HiddenExtensionsReadAsMissingAndHiddenEntryPointsStayNull)
{
    ASSERT_TRUE(glfwExtensionSupported("GL_ARB_depth_texture"));
    Glfw2GetScript()->hiddenExtensions[0] = "GL_ARB_depth_texture";
    EXPECT_FALSE(glfwExtensionSupported("GL_ARB_depth_texture"));
    EXPECT_TRUE(glfwExtensionSupported("GL_ARB_shadow"));
    Glfw2GetScript()->hiddenExtensions[0] = nullptr;

    LoadFramebufferProcs();
    EXPECT_TRUE(FramebufferProcsLoaded());
    Glfw2GetScript()->hiddenProcs[0] = "glBindFramebufferEXT";
    LoadFramebufferProcs();
    Glfw2GetScript()->hiddenProcs[0] = nullptr;
    EXPECT_EQ(glBindFramebufferEXTProc, nullptr);
    EXPECT_NE(glGenFramebuffersEXTProc, nullptr);
    EXPECT_FALSE(FramebufferProcsLoaded());
    LoadFramebufferProcs();
    EXPECT_TRUE(FramebufferProcsLoaded());
}

TEST_F(WindowTest, ScriptStandsInForClockKeysButtonsAndCursor)
{
    Glfw2Script* script = Glfw2GetScript();
    script->active = 1;
    script->time = 12.5;
    script->keys[GLFW_KEY_ESC] = 1;
    script->keys['W'] = 1;
    script->buttons[GLFW_MOUSE_BUTTON_RIGHT] = 1;
    glfwSetMousePos(320, 240);
    script->mouseX += 7;
    EXPECT_EQ(glfwGetTime(), 12.5);
    EXPECT_EQ(glfwGetKey(GLFW_KEY_ESC), 1);
    EXPECT_EQ(glfwGetKey('W'), 1);
    EXPECT_EQ(glfwGetKey('S'), 0);
    EXPECT_EQ(glfwGetMouseButton(GLFW_MOUSE_BUTTON_RIGHT), 1);
    EXPECT_EQ(glfwGetMouseButton(GLFW_MOUSE_BUTTON_LEFT), 0);
    int x = 0, y = 0;
    glfwGetMousePos(&x, &y);
    EXPECT_EQ(x, 327);
    EXPECT_EQ(y, 240);
    EXPECT_EQ(glfwGetKey(-5), 0);
    EXPECT_EQ(glfwGetKey(100000), 0);
    *script = Glfw2Script{};
    script->time = -1.0;

    // Inactive, the script is not read: the real clock answers and moves on,
    // and no key is down in an unfocused window.
    double t0 = glfwGetTime(), t1 = t0;
    for (int i = 0; i < 1000000 && t1 == t0; ++i)
        t1 = glfwGetTime();
    EXPECT_GE(t0, 0.0);
    EXPECT_GT(t1, t0);
    EXPECT_EQ(glfwGetKey(GLFW_KEY_ESC), 0);
}

// Presses arrive between polls; each counts for the one pass after its poll.
TEST_F(WindowTest, APressCountsForExactlyThePassAfterItsPoll)
{
    Glfw2Script* script = Glfw2GetScript();
    script->active = 1;
    glfwPollEvents();
    Glfw2KeyEvent('N', GLFW_PRESS);   // a tap shorter than a pass
    Glfw2KeyEvent('N', 0);
    EXPECT_EQ(glfwGetKey('N'), 0) << "not before the poll that brings it";
    glfwPollEvents();
    EXPECT_EQ(glfwGetKey('N'), 1);
    EXPECT_EQ(glfwGetKey('N'), 1) << "reading does not use it up within the pass";
    EXPECT_EQ(glfwGetKey('Y'), 0);
    glfwPollEvents();
    EXPECT_EQ(glfwGetKey('N'), 0) << "counted once";

    // A click nobody reads in its pass is forgotten, not kept for a later read.
    Glfw2ButtonEvent(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS);
    Glfw2ButtonEvent(GLFW_MOUSE_BUTTON_LEFT, 0);
    Glfw2KeyEvent(GLFW_KEY_ESC, GLFW_PRESS);
    glfwPollEvents();
    EXPECT_EQ(glfwGetKey(GLFW_KEY_ESC), 1);
    glfwPollEvents();
    EXPECT_EQ(glfwGetMouseButton(GLFW_MOUSE_BUTTON_LEFT), 0);
    EXPECT_EQ(glfwGetKey(GLFW_KEY_ESC), 0);

    // Held across passes, a key reads down every pass; a repeat is no press.
    script->keys['W'] = 1;
    Glfw2KeyEvent('W', GLFW_PRESS);
    for (int pass = 0; pass < 3; ++pass) {
        glfwPollEvents();
        EXPECT_EQ(glfwGetKey('W'), 1) << "pass " << pass;
    }
    script->keys['W'] = 0;
    Glfw2KeyEvent('W', 2);
    glfwPollEvents();
    EXPECT_EQ(glfwGetKey('W'), 0);
    *script = Glfw2Script{};
}

// Polls until the window's framebuffer is the size asked for (the window
// system answers a resize in its own time).
static bool SizedTo(int width, int height)
{
    glfwSetWindowSize(width, height);
    int w = 0, h = 0;
    for (int i = 0; i < 500 && (w != width || h != height); ++i) {
        glfwPollEvents();
        glfwGetFramebufferSize(&w, &h);
        usleep(2000);
    }
    // The driver takes the new size for its buffers at a swap.
    glfwSwapBuffers();
    return w == width && h == height;
}

// A 640x480 picture: red, its top 48 rows blue, as the game would draw it.
static void DrawTestPicture()
{
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 432, 640, 48);
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
}

// A window of another size than the picture: the picture goes to the
// off-screen target and is scaled into the largest centred 4:3 box, black
// beside it; at its own size, or without framebuffer objects, it is drawn
// straight into the window as it always was.
TEST(WindowSizes, ThePictureIsScaledIntoACentredBoxBetweenBlackBars)
{
    struct { int width, height; PictureBox box; } fits[] = {
        {1920, 1080, {240, 0, 1440, 1080}}, {1280, 1024, {0, 32, 1280, 960}},
        {638, 455, {15, 0, 607, 455}},      {640, 480, {0, 0, 640, 480}},
        {1280, 960, {0, 0, 1280, 960}},     {320, 200, {26, 0, 267, 200}}};
    WindowSettings settings = {};
    InitWindow(&settings, 1);
    LoadFramebufferProcs();
    for (const auto& fit : fits) {
        PictureBox box = FitPicture(&settings, fit.width, fit.height);
        EXPECT_EQ(box.x, fit.box.x) << fit.width << "x" << fit.height;
        EXPECT_EQ(box.y, fit.box.y) << fit.width << "x" << fit.height;
        EXPECT_EQ(box.width, fit.box.width) << fit.width << "x" << fit.height;
        EXPECT_EQ(box.height, fit.box.height) << fit.width << "x" << fit.height;
    }

    BeginGameFrame(&settings);
    EXPECT_EQ(pictureFramebuffer, 0u) << "640x480: straight to the window";
    ASSERT_TRUE(SizedTo(960, 600));
    EXPECT_TRUE(GameFrameOutdated());
    BeginGameFrame(&settings);
    EXPECT_FALSE(GameFrameOutdated());
    ASSERT_NE(pictureFramebuffer, 0u);
    EXPECT_EQ(GlInteger(GL_FRAMEBUFFER_BINDING_EXT), (GLint)pictureFramebuffer);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);
    DrawTestPicture();
    PresentGameFrame(&settings);
    EXPECT_EQ(GlInteger(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "the pass leaves the state it found";
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(GlInteger(GL_MATRIX_MODE), GL_MODELVIEW);

    // 960x600 holds an 800x600 box from column 80: the blue band is 60 rows.
    WindowSettings shown = {960, 600, 8, 8, 8};
    Picture picture = ReadPicture(GL_BACK, &shown);
    for (int y : {0, 300, 599}) {
        EXPECT_TRUE(IsBlack(picture.At(0, y)) && IsBlack(picture.At(79, y))) << y;
        EXPECT_TRUE(IsBlack(picture.At(880, y)) && IsBlack(picture.At(959, y))) << y;
    }
    Rgb red = picture.At(81, 300), redRight = picture.At(878, 10);
    Rgb blue = picture.At(480, 580), red2 = picture.At(480, 530);
    EXPECT_TRUE(red.r > 240 && red.b < 15 && redRight.r > 240 && redRight.b < 15);
    EXPECT_TRUE(blue.b > 240 && blue.r < 15) << "the top band, scaled";
    EXPECT_TRUE(red2.r > 240 && red2.b < 15) << "below the band";
    // Linear filtering: the row on the band's edge mixes both colours
    // (nearest filtering would give one of them).
    Rgb edge = picture.At(480, 540);
    EXPECT_TRUE(edge.r > 10 && edge.b > 10) << (int)edge.r << " " << (int)edge.b;

    // Without framebuffer objects the picture is drawn as it always was.
    Glfw2GetScript()->hiddenProcs[0] = "glBindFramebufferEXT";
    LoadFramebufferProcs();
    Glfw2GetScript()->hiddenProcs[0] = nullptr;
    BeginGameFrame(&settings);
    EXPECT_EQ(pictureFramebuffer, 0u);
    LoadFramebufferProcs();
    ASSERT_TRUE(SizedTo(640, 480));
    BeginGameFrame(&settings);
    EXPECT_EQ(pictureFramebuffer, 0u) << "640x480 again: straight to the window";
    EXPECT_EQ(GlInteger(GL_FRAMEBUFFER_BINDING_EXT), 0);
}

// The window is titled and has the game's icon where the data folder has it;
// a missing or damaged icon file is no error.
TEST_F(WindowTest, TheGamesIconLoadsAndAMissingOrDamagedOneIsRefused)
{
    EXPECT_EQ(glfwLoadWindowIcon("desktop/balltoss.png"), 1);
    EXPECT_EQ(glfwLoadWindowIcon("desktop/no_such_icon.png"), 0);
    EXPECT_EQ(glfwLoadWindowIcon("Textures/Text.tga"), 0);
    int width = 0, height = 0;
    unsigned char* pixels = nullptr;
    ASSERT_EQ(LoadIconImage("desktop/balltoss.png", &width, &height, &pixels), 1);
    EXPECT_EQ(width, 128);
    EXPECT_EQ(height, 128);
    FreeIconImage(pixels);
}

// Without a display GLFW cannot start: the line, then an exit with status 1.
TEST(WindowFailure, NoDisplayEndsTheProgramWithItsLineAndStatusOne)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            dup2(STDERR_FILENO, STDOUT_FILENO);   // the console line, where the test sees it
            WindowSettings settings;
            InitWindow(&settings, 0);
        },
        ::testing::ExitedWithCode(1), "Failed to initialize GLFW!");
}

// Reads the terminal's output until the wait has put it into raw mode (echo
// off), interrupts the program there and reports, on standard error, how the
// program ended and whether the terminal got its echo and line editing back.
static void InterruptTheWait(int master, int terminal, pid_t program)
{
    const char* line = "Failed to initialize GLFW!";
    std::string console;
    termios now = {};
    for (int i = 0; i < 500 && ((now.c_lflag & ECHO) || console.find(line) == std::string::npos);
         ++i) {
        pollfd fd = {master, POLLIN, 0};
        char text[256];
        ssize_t got = poll(&fd, 1, 10) > 0 ? read(master, text, sizeof text) : 0;
        if (got > 0)
            console.append(text, (size_t)got);
        tcgetattr(terminal, &now);
    }
    kill(program, SIGINT);
    int status = 0;
    waitpid(program, &status, 0);
    tcgetattr(terminal, &now);
    std::fprintf(stderr, "line %s, ended by SIGINT %s, echo %s, line editing %s\n",
                 console.find(line) != std::string::npos ? "yes" : "no",
                 WIFSIGNALED(status) && WTERMSIG(status) == SIGINT ? "yes" : "no",
                 now.c_lflag & ECHO ? "on" : "off", now.c_lflag & ICANON ? "on" : "off");
    std::exit(0);
}

// Ctrl+C during the wait that follows the line, started from a terminal: the
// terminal gets its echo and line editing back, and the program ends by the
// signal as it would have without the wait. (Run in a fresh copy of the test
// program, where GLFW has not been started.)
TEST(WindowFailure, InterruptDuringTheWaitLeavesTheTerminalAsFound)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            int master = posix_openpt(O_RDWR | O_NOCTTY);
            if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
                std::exit(2);
            int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
            pid_t program = terminal < 0 ? -1 : fork();
            if (program == 0) {
                dup2(terminal, STDIN_FILENO);
                dup2(terminal, STDOUT_FILENO);
                unsetenv("DISPLAY");
                unsetenv("WAYLAND_DISPLAY");
                WindowSettings settings = {};
                InitWindow(&settings, 0);
                _exit(7);
            }
            if (program < 0)
                std::exit(2);
            InterruptTheWait(master, terminal, program);
        },
        ::testing::ExitedWithCode(0),
        "line yes, ended by SIGINT yes, echo on, line editing on");
}
