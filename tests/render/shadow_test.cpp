// shadow_test.cpp -- the shadow map's set-up on the real driver, the messages
// and the shadowless fallback when the driver lacks what shadows need, and the
// state the shadow-receiving pass leaves behind. What the shadow looks like is
// proved by the pixels (scene_test.cpp).
#include "tests/render/gl_helpers.h"

#include "platform/glfw2/glfw2.h"

#include <GL/glext.h>
#include <chrono>
#include <gtest/gtest.h>
#include <string>

class ShadowMapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestWindow();
        *Glfw2GetScript() = Glfw2Script{};
        LoadFramebufferProcs();
        while (glGetError() != GL_NO_ERROR) {
        }
    }
    void TearDown() override
    {
        *Glfw2GetScript() = Glfw2Script{};
        LoadFramebufferProcs();
    }
    // Runs the set-up, returning what it printed and how long it took.
    static std::string InitCapturing(GLuint* texture, double* seconds)
    {
        auto start = std::chrono::steady_clock::now();
        ::testing::internal::CaptureStdout();
        InitShadowMap(texture);
        std::string out = ::testing::internal::GetCapturedStdout();
        *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return out;
    }
};

TEST_F(ShadowMapTest, DepthTextureAndFramebufferAreReady)
{
    GLuint texture = 0;
    double seconds = 0.0;
    EXPECT_EQ(InitCapturing(&texture, &seconds), "");
    EXPECT_EQ(shadowsEnabled, -1);
    ASSERT_NE(texture, 0u);
    ASSERT_NE(shadowFramebuffer, 0u);
    // A driver without shadow ambient rejects the fail value; nothing is left pending.
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);

    // A 2048 by 2048 depth map, rendered through a complete framebuffer.
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, 2048);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &value);
    EXPECT_EQ(value, 2048);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_DEPTH_SIZE, &value);
    EXPECT_GT(value, 0);
    auto checkStatus = (GLenum(*)(GLenum))glfwGetProcAddress("glCheckFramebufferStatusEXT");
    ASSERT_NE(checkStatus, nullptr);
    glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, shadowFramebuffer);
    EXPECT_EQ(checkStatus(GL_FRAMEBUFFER_EXT), (GLenum)GL_FRAMEBUFFER_COMPLETE_EXT);
    glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, 0);
}

struct MissingCase {
    const char* hiddenExtensions[2];
    const char* hiddenProc;
    const char* line;   // the first line; "Shadowing will not work." follows
};

TEST_F(ShadowMapTest, MissingSupportIsReportedAndShadowsStayOff)
{
    const MissingCase cases[] = {
        // Depth textures are asked about first: only their line when both are missing.
        {{"GL_ARB_depth_texture", "GL_ARB_shadow"}, nullptr, "ARB depthtexture extension"},
        {{"GL_ARB_depth_texture", nullptr}, nullptr, "ARB depthtexture extension"},
        {{"GL_ARB_shadow", nullptr}, nullptr, "ARB Shadow extension"},
        {{"GL_EXT_framebuffer_object", nullptr}, nullptr, "EXT framebuffer object extension"},
        {{nullptr, nullptr}, "glBindFramebufferEXT", "framebuffer object entry points"},
    };
    for (const MissingCase& c : cases) {
        std::string expected = std::string("Error: ") + c.line +
                               (c.hiddenProc ? " not found!" : " not supported!") +
                               "\nShadowing will not work.\n";
        SCOPED_TRACE(expected);
        Glfw2Script* script = Glfw2GetScript();
        *script = Glfw2Script{};
        script->hiddenExtensions[0] = c.hiddenExtensions[0];
        script->hiddenExtensions[1] = c.hiddenExtensions[1];
        script->hiddenProcs[0] = c.hiddenProc;
        LoadFramebufferProcs();
        shadowsEnabled = -1;
        GLuint texture = 0;
        double seconds = 0.0;
        EXPECT_EQ(InitCapturing(&texture, &seconds), expected);
        EXPECT_EQ(shadowsEnabled, 0);
        EXPECT_EQ(texture, 0u);
        // Two seconds to read it (no console key pressed here).
        EXPECT_GE(seconds, 1.9);
    }
}

TEST_F(ShadowMapTest, TheShadowPassLeavesNoTexgenBlendOrAlphaTestBehind)
{
    // What follows it (the HUD, the next frame's first pass) draws unblended
    // and untested: the pass must switch off all that it switched on.
    GLuint texture = 0;
    double seconds = 0.0;
    InitCapturing(&texture, &seconds);
    ASSERT_EQ(shadowsEnabled, -1);
    Mat4 identity;
    Mat4Identity(&identity);
    glMatrixMode(GL_MODELVIEW);
    BeginShadowProjection(texture, &identity, &identity);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EndShadowProjection();
    for (GLenum cap : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q,
                       GL_ALPHA_TEST, GL_BLEND})
        EXPECT_FALSE(glIsEnabled(cap)) << cap;
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}
