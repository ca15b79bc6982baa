// scene_test.cpp -- whole frames of the stand-in scene: what the passes leave
// behind, the shadow under the slab, lit balls, the look-at marker, and frames
// without shadows.
#include "tests/render/gl_helpers.h"
#include "tests/render/test_scene.h"

#include "platform/glfw2/glfw2.h"

#include <GL/glext.h>
#include <cmath>
#include <gtest/gtest.h>

// The picking step belongs to the physics; here it reports what the test says
// the player looks at and places the marker there, as the real one does.
static LookAtReport scriptedLookAt;
static Mat4 scriptedMarker;
static int lookAtCalls;
__attribute__((weak)) LookAtReport LookAtAndHold(NewtonWorld*, Player* player)
{
    ++lookAtCalls;
    if (scriptedLookAt.body)
        *player->markerMatrix = scriptedMarker;
    return scriptedLookAt;
}

static const Vec3 kEye = {5.0f, 5.0f, 2.0f};
static const Vec3 kTarget = {0.0f, 0.0f, -1.0f};
static const Vec3 kShadowedFloor = {0.0f, 0.0f, -1.0f};   // under the slab, from the light
static const Vec3 kOpenFloor = {3.0f, 0.0f, -1.5f};       // in the light

class SceneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TestWindow();
        InitShadowMap(&shadowTexture);
    }
    void SetUp() override
    {
        ASSERT_NE(shadowTexture, 0u) << "this driver offers no shadow map";
        shadowsEnabled = -1;
        scriptedLookAt = LookAtReport{};
        lookAtCalls = 0;
    }
    void TearDown() override { shadowsEnabled = -1; }
    // A frame from a fresh scene: each frame's view rotation renormalises the
    // view frame, which may move an edge pixel in the next.
    Picture Frame()
    {
        MakeTestScene(&scene, kEye, kTarget, shadowTexture);
        RenderScene(&scene.view);
        glFinish();
        return ReadPicture(GL_BACK);
    }
    static inline GLuint shadowTexture;
    TestScene scene;
};

TEST_F(SceneTest, FrameLeavesTheStateTheHudExpects)
{
    Frame();
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    EXPECT_EQ(lookAtCalls, 1);
    for (GLenum cap : {GL_LIGHTING, GL_TEXTURE_2D, GL_CULL_FACE})
        EXPECT_TRUE(glIsEnabled(cap)) << cap;
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    EXPECT_EQ(GlInteger(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_EQ(GlInteger(GL_SHADE_MODEL), GL_SMOOTH);
    EXPECT_EQ(GlInteger(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_EQ(GlInteger(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ((GLuint)GlInteger(GL_TEXTURE_BINDING_2D), shadowTexture);
    GLboolean mask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    EXPECT_TRUE(mask[0] && mask[1] && mask[2] && mask[3]);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);

    // The model-view matrix holds the camera's view, the texture matrix none;
    // the light's view looks from (0, 7, 6) at the origin.
    Mat4 view, texture;
    glGetFloatv(GL_MODELVIEW_MATRIX, view.m);
    glGetFloatv(GL_TEXTURE_MATRIX, texture.m);
    Mat4 camera = LookAtMatrix(kEye, Vec3Add(kEye, scene.player.forward), scene.player.up);
    Mat4 lightView = LookAtMatrix(Vec3{0, 7, 6}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(view.m[i], camera.m[i], 1e-4) << "view element " << i;
        EXPECT_EQ(texture.m[i], (i % 5 == 0) ? 1.0f : 0.0f) << "texture element " << i;
        EXPECT_NEAR(scene.lightView.m[i], lightView.m[i], 1e-5) << "light view element " << i;
    }
    // The light sits at (0, 7, 6) in the world under the camera's view,
    // dimmed for the receiving pass.
    GLfloat light[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);
    const float world[4] = {0.0f, 7.0f, 6.0f, 1.0f};
    for (int r = 0; r < 4; ++r) {
        float e = 0.0f;
        for (int k = 0; k < 4; ++k)
            e += view.m[4 * k + r] * world[k];
        EXPECT_NEAR(light[r], e, 1e-3) << "light position row " << r;
        EXPECT_EQ(scene.light.position[r], world[r]);
    }
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, light);
    EXPECT_FLOAT_EQ(light[0], 0.1f);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, light);
    EXPECT_FLOAT_EQ(light[0], 0.2f);
}

TEST_F(SceneTest, SlabShadowDarkensOnlyTheFloorUnderItAndBallsAreLitFromAbove)
{
    Picture shadowed = Frame();
    for (int i = 1; i < kObjectCount; ++i) {
        Vec3 top = Vec3Add(Mat4Position(&scene.matrices[i]), Vec3{0.0f, 0.12f, 0.0f});
        int x, y;
        ProjectToWindow(&scene, top, &x, &y);
        // Red ball texture under white light: well above what ambient light
        // alone gives it (0.45 of 230).
        EXPECT_GT(shadowed.At(x, y).r, 130) << "ball " << i;
        EXPECT_GT(shadowed.At(x, y).r, 2 * shadowed.At(x, y).g) << "ball " << i;
    }
    int sx, sy, ox, oy;
    ProjectToWindow(&scene, kShadowedFloor, &sx, &sy);
    ProjectToWindow(&scene, kOpenFloor, &ox, &oy);
    ASSERT_TRUE(sx > 10 && sx < 630 && sy > 10 && sy < 470) << sx << "," << sy;
    ASSERT_TRUE(ox > 10 && ox < 630 && oy > 10 && oy < 470) << ox << "," << oy;

    shadowsEnabled = 0;
    Picture plain = Frame();
    float inShadowOn = MeanLuminance(shadowed, sx, sy, 3);
    float inShadowOff = MeanLuminance(plain, sx, sy, 3);
    float openOn = MeanLuminance(shadowed, ox, oy, 3);
    float openOff = MeanLuminance(plain, ox, oy, 3);
    EXPECT_GT(inShadowOff, 60.0f);
    EXPECT_LT(inShadowOn, 0.8f * inShadowOff) << inShadowOn << " vs " << inShadowOff;
    EXPECT_NEAR(openOn, openOff, 0.03f * openOff);
}

TEST_F(SceneTest, MarkerRingShowsWhereTheLookRayTouchesAndLeavesNothingBehind)
{
    Vec3 hit = {2.0f, 0.0f, -0.5f}, normal = {0.0f, 1.0f, 0.0f};
    Mat4Identity(&scriptedMarker);
    Mat4SetAxes(&scriptedMarker, Vec3{1, 0, 0}, Vec3{0, 0, -1}, normal,
                Vec3Add(hit, Vec3Scale(normal, 0.3f)));
    Picture without = Frame();
    static int anything;
    scriptedLookAt.body = (NewtonBody*)&anything;
    Picture with = Frame();
    int hx, hy;
    ProjectToWindow(&scene, hit, &hx, &hy);

    int changed = 0, farAway = 0, maxRise = 0;
    for (int y = 0; y < with.height; ++y)
        for (int x = 0; x < with.width; ++x) {
            int rise = (int)Luminance(with.At(x, y)) - (int)Luminance(without.At(x, y));
            if (std::abs(rise) <= 4)
                continue;
            ++changed;
            maxRise = std::max(maxRise, rise);
            farAway += std::abs(x - hx) > 40 || std::abs(y - hy) > 40;
        }
    // A small faint ring around the point, its middle left clear.
    EXPECT_GT(changed, 30) << "around (" << hx << ", " << hy << ")";
    EXPECT_LT(changed, 1500);
    EXPECT_EQ(farAway, 0);
    EXPECT_LT(maxRise, 90);
    EXPECT_NEAR(Luminance(with.At(hx, hy)), Luminance(without.At(hx, hy)), 4.0f);

    // The next frame without the marker is the first one again.
    scriptedLookAt.body = nullptr;
    EXPECT_TRUE(Frame().pixels == without.pixels);
    GLfloat diffuse[4];
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    EXPECT_EQ(diffuse[3], 1.0f);
}

TEST_F(SceneTest, MissingFramebufferEntryPointLeavesTheGameUnshadowed)
{
    Glfw2Script* script = Glfw2GetScript();
    *script = Glfw2Script{};
    script->hiddenProcs[0] = "glGenFramebuffersEXT";
    LoadFramebufferProcs();
    GLuint texture = 0;
    ::testing::internal::CaptureStdout();
    InitShadowMap(&texture);
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Error: framebuffer object entry points not found!\nShadowing will not work.\n");
    EXPECT_EQ(shadowsEnabled, 0);

    // Frames go on, drawn in one pass each (light 0 keeps its whole ambient
    // part), touching neither the missing entry points nor the light's view.
    for (int i = 0; i < 3; ++i) {
        Picture p = Frame();
        int x, y;
        ProjectToWindow(&scene, Mat4Position(&scene.matrices[2 + i]), &x, &y);
        EXPECT_GT(p.At(x, y).r, 130);
    }
    GLfloat light[4];
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, light);
    EXPECT_FLOAT_EQ(light[0], 0.45f);
    for (float v : scene.lightView.m)
        EXPECT_EQ(v, 0.0f);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    *script = Glfw2Script{};
    LoadFramebufferProcs();
}
