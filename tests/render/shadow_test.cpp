// shadow_test.cpp -- the shadow map's set-up on the real driver, the messages
// and the shadowless fallback when the driver lacks what shadows need, and the
// state switches around the shadow-receiving pass.
#include "tests/render/gl_helpers.h"

#include "platform/glfw2/glfw2.h"

#include <GL/glext.h>
#include <GL/glu.h>
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

    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ((GLuint)value, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, 2048);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &value);
    EXPECT_EQ(value, 2048);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_DEPTH_SIZE, &value);
    EXPECT_GT(value, 0);
    const struct { GLenum name; GLint expected; } params[] = {
        {GL_TEXTURE_MIN_FILTER, GL_NEAREST},
        {GL_TEXTURE_MAG_FILTER, GL_NEAREST},
        {GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE},
        {GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE},
        {GL_DEPTH_TEXTURE_MODE_ARB, GL_INTENSITY},
        {GL_TEXTURE_COMPARE_MODE_ARB, GL_COMPARE_R_TO_TEXTURE_ARB},
        {GL_TEXTURE_COMPARE_FUNC_ARB, GL_LEQUAL},
    };
    for (const auto& p : params) {
        glGetTexParameteriv(GL_TEXTURE_2D, p.name, &value);
        EXPECT_EQ(value, p.expected) << std::hex << p.name;
    }

    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &value);
    EXPECT_EQ(value, 0);
    auto checkStatus =
        (GLenum(*)(GLenum))glfwGetProcAddress("glCheckFramebufferStatusEXT");
    ASSERT_NE(checkStatus, nullptr);
    glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, shadowFramebuffer);
    EXPECT_EQ(checkStatus(GL_FRAMEBUFFER_EXT), (GLenum)GL_FRAMEBUFFER_COMPLETE_EXT);
    glGetIntegerv(GL_DRAW_BUFFER, &value);
    EXPECT_EQ(value, GL_NONE);
    glGetIntegerv(GL_READ_BUFFER, &value);
    EXPECT_EQ(value, GL_NONE);
    glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, 0);
    glGetIntegerv(GL_DRAW_BUFFER, &value);
    EXPECT_EQ(value, GL_BACK);
}

struct MissingCase {
    const char* hiddenExtensions[2];
    const char* hiddenProc;
    const char* expected;
};

TEST_F(ShadowMapTest, MissingSupportIsReportedAndShadowsStayOff)
{
    const MissingCase cases[] = {
        // Depth textures are asked about first: only their line when both are missing.
        {{"GL_ARB_depth_texture", "GL_ARB_shadow"}, nullptr,
         "Error: ARB depthtexture extension not supported!\nShadowing will not work.\n"},
        {{"GL_ARB_depth_texture", nullptr}, nullptr,
         "Error: ARB depthtexture extension not supported!\nShadowing will not work.\n"},
        {{"GL_ARB_shadow", nullptr}, nullptr,
         "Error: ARB Shadow extension not supported!\nShadowing will not work.\n"},
        {{"GL_EXT_framebuffer_object", nullptr}, nullptr,
         "Error: EXT framebuffer object extension not supported!\nShadowing will not work.\n"},
        {{nullptr, nullptr}, "glBindFramebufferEXT",
         "Error: framebuffer object entry points not found!\nShadowing will not work.\n"},
    };
    for (const MissingCase& c : cases) {
        SCOPED_TRACE(c.expected);
        Glfw2Script* script = Glfw2GetScript();
        *script = Glfw2Script{};
        script->hiddenExtensions[0] = c.hiddenExtensions[0];
        script->hiddenExtensions[1] = c.hiddenExtensions[1];
        script->hiddenProcs[0] = c.hiddenProc;
        LoadFramebufferProcs();
        shadowsEnabled = -1;
        GLuint texture = 0;
        double seconds = 0.0;
        EXPECT_EQ(InitCapturing(&texture, &seconds), c.expected);
        EXPECT_EQ(shadowsEnabled, 0);
        EXPECT_EQ(texture, 0u);
        // Two seconds to read it (no console key pressed here).
        EXPECT_GE(seconds, 1.9);
    }
}

static void Multiply(const float* a, const float* b, float* out)
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += (double)a[4 * k + r] * b[4 * c + k];
            out[4 * c + r] = (float)sum;
        }
}

TEST_F(ShadowMapTest, ProjectionSwitchesOnAndOff)
{
    GLuint texture = 0;
    double seconds = 0.0;
    InitCapturing(&texture, &seconds);
    ASSERT_EQ(shadowsEnabled, -1);

    Mat4 projection, view;
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluPerspective(100.0, 1.0, 3.0, 30.0);
    glGetFloatv(GL_MODELVIEW_MATRIX, projection.m);
    glLoadIdentity();
    gluLookAt(0.0, 7.0, 6.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glGetFloatv(GL_MODELVIEW_MATRIX, view.m);
    glLoadIdentity();

    glDisable(GL_TEXTURE_2D);
    BeginShadowProjection(texture, &projection, &view);

    const float bias[16] = {0.5f, 0, 0, 0, 0, 0.5f, 0, 0, 0, 0, 0.5f, 0, 0.5f, 0.5f, 0.5f, 1};
    float biasProjection[16], expected[16], actual[16];
    Multiply(bias, projection.m, biasProjection);
    Multiply(biasProjection, view.m, expected);
    glGetFloatv(GL_TEXTURE_MATRIX, actual);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-5) << "element " << i;

    GLint value = 0;
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ((GLuint)value, texture);
    const GLenum gens[4] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,
                            GL_TEXTURE_GEN_Q};
    const GLenum coords[4] = {GL_S, GL_T, GL_R, GL_Q};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(glIsEnabled(gens[i]));
        glGetTexGeniv(coords[i], GL_TEXTURE_GEN_MODE, &value);
        EXPECT_EQ(value, GL_EYE_LINEAR);
        GLfloat plane[4];
        glGetTexGenfv(coords[i], GL_EYE_PLANE, plane);
        for (int k = 0; k < 4; ++k)
            EXPECT_FLOAT_EQ(plane[k], k == i ? 1.0f : 0.0f);
    }
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_SRC_COLOR);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_DST_COLOR);
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    GLfloat ref = 0.0f;
    glGetFloatv(GL_ALPHA_TEST_REF, &ref);
    EXPECT_NEAR(ref, 0.99f, 1e-3);

    EndShadowProjection();
    for (GLenum gen : gens)
        EXPECT_FALSE(glIsEnabled(gen));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    glGetFloatv(GL_TEXTURE_MATRIX, actual);
    EXPECT_NEAR(actual[0], expected[0], 1e-5);   // left for the frame to reset
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}
