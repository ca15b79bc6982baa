// scene_test.cpp -- whole frames of the stand-in scene: what the passes leave
// behind, the shadow under the slab, lit balls, the look-at marker, and frames
// without shadows.
#include "tests/render/gl_helpers.h"
#include "tests/render/test_scene.h"

#include "platform/glfw2/glfw2.h"

#include <GL/glext.h>
#include <GL/glu.h>
#include <cmath>
#include <cstdio>
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
        MakeTestScene(&scene, kEye, kTarget, shadowTexture);
    }
    void TearDown() override { shadowsEnabled = -1; }
    Picture Frame()
    {
        RenderScene(&scene.view);
        glFinish();
        return ReadPicture(GL_BACK);
    }
    static GLuint shadowTexture;
    TestScene scene;
};
GLuint SceneTest::shadowTexture;

TEST_F(SceneTest, FrameLeavesTheStateTheHudExpects)
{
    Picture p = Frame();
    (void)p;
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    EXPECT_EQ(lookAtCalls, 1);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    GLint value = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &value);
    EXPECT_EQ(value, GL_BACK);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &value);
    EXPECT_EQ(value, 0);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ((GLuint)value, shadowTexture);
    GLboolean mask[4];
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    for (GLboolean m : mask)
        EXPECT_TRUE(m);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 480);

    GLfloat m[16];
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m[i], (i % 5 == 0) ? 1.0f : 0.0f);

    // The model-view matrix holds the camera's view; the light sits at
    // (0, 7, 6) in the world under it, dimmed for the receiving pass.
    GLfloat view[16], expected[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, view);
    glPushMatrix();
    glLoadIdentity();
    Vec3 c = Vec3Add(kEye, scene.player.forward);
    gluLookAt(kEye.x, kEye.y, kEye.z, c.x, c.y, c.z, scene.player.up.x, scene.player.up.y,
              scene.player.up.z);
    glGetFloatv(GL_MODELVIEW_MATRIX, expected);
    glPopMatrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(view[i], expected[i], 1e-4) << "view element " << i;
    GLfloat light[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);
    const float world[4] = {0.0f, 7.0f, 6.0f, 1.0f};
    for (int r = 0; r < 4; ++r) {
        float e = 0.0f;
        for (int k = 0; k < 4; ++k)
            e += view[4 * k + r] * world[k];
        EXPECT_NEAR(light[r], e, 1e-3) << "light position row " << r;
        EXPECT_EQ(scene.light.position[r], world[r]);
    }
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, light);
    EXPECT_FLOAT_EQ(light[0], 0.1f);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, light);
    EXPECT_FLOAT_EQ(light[0], 0.2f);

    // The light's view, from (0, 7, 6) at the origin.
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(0.0, 7.0, 6.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glGetFloatv(GL_MODELVIEW_MATRIX, expected);
    glPopMatrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(scene.lightView.m[i], expected[i], 1e-5);
}

TEST_F(SceneTest, SlabShadowDarkensOnlyTheFloorUnderIt)
{
    Picture shadowed = Frame();
    int sx, sy, ox, oy;
    ProjectToWindow(&scene, kShadowedFloor, &sx, &sy);
    ProjectToWindow(&scene, kOpenFloor, &ox, &oy);
    ASSERT_TRUE(sx > 10 && sx < 630 && sy > 10 && sy < 470) << sx << "," << sy;
    ASSERT_TRUE(ox > 10 && ox < 630 && oy > 10 && oy < 470) << ox << "," << oy;

    shadowsEnabled = 0;
    MakeTestScene(&scene, kEye, kTarget, shadowTexture);
    Picture plain = Frame();

    float inShadowOn = MeanLuminance(shadowed, sx, sy, 3);
    float inShadowOff = MeanLuminance(plain, sx, sy, 3);
    float openOn = MeanLuminance(shadowed, ox, oy, 3);
    float openOff = MeanLuminance(plain, ox, oy, 3);
    EXPECT_GT(inShadowOff, 60.0f);
    EXPECT_LT(inShadowOn, 0.8f * inShadowOff) << inShadowOn << " vs " << inShadowOff;
    EXPECT_NEAR(openOn, openOff, 0.03f * openOff);
}

TEST_F(SceneTest, BallsAreDrawnAndLitFromAbove)
{
    Picture p = Frame();
    for (int i = 1; i < kObjectCount; ++i) {
        Vec3 centre = Mat4Position(&scene.matrices[i]);
        int x, y;
        ProjectToWindow(&scene, Vec3Add(centre, Vec3{0.0f, 0.12f, 0.0f}), &x, &y);
        Rgb top = p.At(x, y);
        // Red ball texture under white light: well above what ambient light
        // alone gives it (0.45 of 230).
        EXPECT_GT(top.r, 130) << "ball " << i;
        EXPECT_GT(top.r, 2 * top.g) << "ball " << i;
    }
}

TEST_F(SceneTest, MarkerRingShowsWhereTheLookRayTouches)
{
    Vec3 hit = {2.0f, 0.0f, -0.5f}, normal = {0.0f, 1.0f, 0.0f};
    Mat4Identity(&scriptedMarker);
    Mat4SetAxes(&scriptedMarker, Vec3{1, 0, 0}, Vec3{0, 0, -1}, normal,
                Vec3Add(hit, Vec3Scale(normal, 0.3f)));
    Picture without = Frame();
    static int anything;
    scriptedLookAt.body = (NewtonBody*)&anything;
    // The same view frame as the first frame had (each frame's view rotation
    // renormalises it, which may move an edge pixel).
    MakeTestScene(&scene, kEye, kTarget, shadowTexture);
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
            if (std::abs(x - hx) > 40 || std::abs(y - hy) > 40) {
                ++farAway;
                ADD_FAILURE() << "changed at " << x << "," << y << " by " << rise;
            }
        }
    // A small faint ring around the point, its middle left clear.
    EXPECT_GT(changed, 30);
    EXPECT_LT(changed, 1500);
    std::printf("ring: %d pixels changed around (%d, %d), brightest rise %d\n", changed, hx, hy, maxRise);
    EXPECT_EQ(farAway, 0);
    EXPECT_LT(maxRise, 90);
    EXPECT_NEAR(Luminance(with.At(hx, hy)), Luminance(without.At(hx, hy)), 4.0f);
}

TEST_F(SceneTest, MarkerLeavesNothingBehindForTheNextFrame)
{
    Picture before = Frame();
    static int anything;
    Mat4Identity(&scriptedMarker);
    Mat4SetAxes(&scriptedMarker, Vec3{1, 0, 0}, Vec3{0, 0, -1}, Vec3{0, 1, 0},
                Vec3{2.0f, 0.3f, -0.5f});
    scriptedLookAt.body = (NewtonBody*)&anything;
    MakeTestScene(&scene, kEye, kTarget, shadowTexture);
    Frame();
    scriptedLookAt.body = nullptr;
    MakeTestScene(&scene, kEye, kTarget, shadowTexture);
    Picture after = Frame();
    int differ = 0;
    for (size_t i = 0; i < before.pixels.size(); ++i)
        differ += before.pixels[i] != after.pixels[i];
    EXPECT_EQ(differ, 0);
    GLfloat diffuse[4];
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    EXPECT_EQ(diffuse[3], 1.0f);
}

TEST_F(SceneTest, WithoutShadowsTheFrameIsOnePassAndLightViewStaysUntouched)
{
    shadowsEnabled = 0;
    Picture p = Frame();
    for (float v : scene.lightView.m)
        EXPECT_EQ(v, 0.0f);
    GLfloat light[4];
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, light);
    EXPECT_FLOAT_EQ(light[0], 0.45f);
    int x, y;
    ProjectToWindow(&scene, Mat4Position(&scene.matrices[3]), &x, &y);
    EXPECT_GT(p.At(x, y).r, 130);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
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

    // Frames go on, drawn once each, without touching the missing entry points.
    for (int i = 0; i < 3; ++i) {
        Picture p = Frame();
        int x, y;
        ProjectToWindow(&scene, Mat4Position(&scene.matrices[2]), &x, &y);
        EXPECT_GT(p.At(x, y).r, 130);
    }
    for (float v : scene.lightView.m)
        EXPECT_EQ(v, 0.0f);
    *script = Glfw2Script{};
    LoadFramebufferProcs();
}
