// window_test.cpp -- the window's GL state read back from a real context, the
// GLFW 2 layer's key codes and scripted input, and the start-up failure path.
#include "platform/glfw2/glfw2.h"
#include "render/render.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitWindow(&settings); }
    static WindowSettings settings;
};
WindowSettings WindowTest::settings;

TEST_F(WindowTest, SettingsHoldTheRequestedWindow)
{
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    EXPECT_EQ(settings.redBits, 8);
    EXPECT_EQ(settings.greenBits, 8);
    EXPECT_EQ(settings.blueBits, 8);
}

TEST_F(WindowTest, GlStateIsWhatEveryPassStartsFrom)
{
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
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

    GLint value = 0;
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_FRONT_FACE, &value);
    EXPECT_EQ(value, GL_CCW);
    glGetIntegerv(GL_CULL_FACE_MODE, &value);
    EXPECT_EQ(value, GL_BACK);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0] + clear[1] + clear[2] + clear[3], 0.0f);
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 24);
}

TEST_F(WindowTest, FramebufferEntryPointsAreLookedUpAndMissingOnesStayNull)
{
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

    // The real clock runs again, and no key is down in an unfocused window.
    double t0 = glfwGetTime();
    EXPECT_GE(t0, 0.0);
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

TEST_F(WindowTest, HiddenExtensionsReadAsMissing)
{
    ASSERT_TRUE(glfwExtensionSupported("GL_ARB_depth_texture"));
    Glfw2GetScript()->hiddenExtensions[0] = "GL_ARB_depth_texture";
    EXPECT_FALSE(glfwExtensionSupported("GL_ARB_depth_texture"));
    EXPECT_TRUE(glfwExtensionSupported("GL_ARB_shadow"));
    Glfw2GetScript()->hiddenExtensions[0] = nullptr;
}

// Without a display GLFW cannot start: the line, then a quiet exit with status 0.
TEST(WindowFailure, NoDisplayEndsTheProgramWithItsLineAndStatusZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            dup2(STDERR_FILENO, STDOUT_FILENO);   // the console line, where the test sees it
            WindowSettings settings;
            InitWindow(&settings);
        },
        ::testing::ExitedWithCode(0), "Failed to initialize GLFW!");
}
