// font_light_test.cpp -- the bitmap font read back from the screen, and the
// light's record and GL state after set-up.
#include "tests/render/gl_helpers.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

class FontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        window = TestWindow();
        fontTexture = MakeCodeFontTexture();
        fontBase = glGenLists(256);
        BuildFont(&fontBase, fontTexture, 16.0f, 16.0f, 8);
    }
    void SetUp() override
    {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    static const WindowSettings* window;
    static GLuint fontTexture, fontBase;
};
const WindowSettings* FontTest::window;
GLuint FontTest::fontTexture, FontTest::fontBase;

TEST_F(FontTest, TextReadsBackAndCoversEightPixelsPerCharacter)
{
    const char* text = "Hello, world 5:09";
    PrintText(text, fontTexture, fontBase, 100.0f, 200.0f, 1, 1, 0, window);
    Picture p = ReadPicture(GL_BACK);
    int n = 17;
    EXPECT_EQ(ReadGlyphCodes(p, 100, 200, n), Codes(text));
    EXPECT_TRUE(IsYellow(p.At(100, 200)));
    EXPECT_TRUE(IsYellow(p.At(100 + 8 * n - 1, 200)));
    // Nothing outside the rectangle (100, 200) to (100 + 8n, 208).
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            bool inside = x >= 100 && x < 100 + 8 * n && y >= 200 && y < 208;
            if (!inside) {
                ASSERT_TRUE(IsBlack(p.At(x, y))) << x << "," << y;
            }
        }
}

TEST_F(FontTest, TopLineTouchesTheTopEdgeAndColourIsGiven)
{
    PrintText("AB", fontTexture, fontBase, 0.0f, (float)(window->height - 8), 1, 0, 0, window);
    Picture p = ReadPicture(GL_BACK);
    EXPECT_EQ(ReadGlyphCodes(p, 0, window->height - 8, 2), Codes("AB"));
    Rgb c = p.At(0, window->height - 8);
    EXPECT_GT(c.r, 200);
    EXPECT_LT(c.g, 60);
    EXPECT_LT(c.b, 60);
}

TEST_F(FontTest, CodesAbove127AndControlCodesDrawTheirCells)
{
    const char text[] = {(char)200, (char)255, (char)9, (char)128, 0};
    PrintText(text, fontTexture, fontBase, 8.0f, 8.0f, 1, 1, 1, window);
    Picture p = ReadPicture(GL_BACK);
    EXPECT_EQ(ReadGlyphCodes(p, 8, 8, 4), (std::vector<int>{200, 255, 9, 128}));
}

TEST_F(FontTest, EmptyTextDrawsNothingButSetsTheState)
{
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    GLfloat before[16], after[16];
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 3.0f);
    glGetFloatv(GL_MODELVIEW_MATRIX, before);

    PrintText("", fontTexture, fontBase, 10.0f, 10.0f, 1, 1, 0, window);

    Picture p = ReadPicture(GL_BACK);
    for (int y = 0; y < p.height; y += 3)
        for (int x = 0; x < p.width; x += 3)
            ASSERT_TRUE(IsBlack(p.At(x, y)));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint value = 0;
    glGetIntegerv(GL_BLEND_SRC, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    EXPECT_EQ((GLuint)value, fontTexture);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(before[i], after[i]);
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[1], 1.0f);
    EXPECT_EQ(colour[2], 0.0f);
    glLoadIdentity();
}

// The game's own font sheet, loaded as the texture table loads it (mipmaps,
// largest anisotropy): the cells around a space must not bleed into it, or a
// space prints as a line between words.
TEST_F(FontTest, GameFontSpaceStaysDarkBetweenWords)
{
    if (!std::ifstream("Textures/Text.tga"))
        GTEST_SKIP() << "Textures/Text.tga not made yet";
    GLuint textures[13] = {};
    LoadTextures(textures);
    GLuint base = glGenLists(256);
    BuildFont(&base, textures[1], 16.0f, 16.0f, 8);
    const float rows[3] = {200.0f, 472.0f, 464.0f};
    for (float y : rows)
        PrintText("0 0!/ /", textures[1], base, 96.0f, y, 1, 1, 0, window);
    Picture p = ReadPicture(GL_BACK);
    for (float y : rows) {
        int inkAround = 0;
        for (int dy = 0; dy < 8; ++dy) {
            for (int dx = 0; dx < 8; ++dx) {
                for (int space : {1, 5}) {
                    Rgb c = p.At(96 + 8 * space + dx, (int)y + dy);
                    ASSERT_LT(std::max(c.r, std::max(c.g, c.b)), 24)
                        << "space " << space << " pixel " << dx << "," << dy << " at " << y;
                }
                inkAround += Luminance(p.At(96 + dx, (int)y + dy)) > 60.0f;
            }
        }
        EXPECT_GT(inkAround, 8) << "the 0 beside the space printed nothing";
    }
    glDeleteLists(base, 256);
    glDeleteTextures(10, &textures[1]);
}

TEST(LightTest, InitLightsFillsTheRecordAndLightZero)
{
    TestWindow();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    LightSettings light = {};
    InitLights(&light);

    const float ambient[4] = {0.45f, 0.45f, 0.45f, 0.45f};
    const float diffuse[4] = {0.35f, 0.35f, 0.35f, 0.35f};
    const float specular[4] = {0.75f, 0.75f, 0.75f, 0.75f};
    const float position[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    GLfloat value[4];
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(light.ambient[i], ambient[i]);
        EXPECT_EQ(light.diffuse[i], diffuse[i]);
        EXPECT_EQ(light.specular[i], specular[i]);
        EXPECT_EQ(light.position[i], position[i]);
    }
    glGetLightfv(GL_LIGHT0, GL_AMBIENT, value);
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(value[i], ambient[i]);
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, value);
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(value[i], diffuse[i]);
    glGetLightfv(GL_LIGHT0, GL_SPECULAR, value);
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(value[i], specular[i]);
    glGetLightfv(GL_LIGHT0, GL_POSITION, value);
    for (int i = 0; i < 4; ++i)
        EXPECT_FLOAT_EQ(value[i], position[i]);
    GLint control = 0;
    glGetIntegerv(GL_LIGHT_MODEL_COLOR_CONTROL, &control);
    EXPECT_EQ(control, GL_SEPARATE_SPECULAR_COLOR);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
}
