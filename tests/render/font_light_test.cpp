// font_light_test.cpp -- the bitmap font read back from the screen, and the
// light's record and GL state after set-up.
#include "tests/render/gl_helpers.h"

#include <algorithm>
#include <gtest/gtest.h>

class FontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        window = TestWindow();
        fontTexture = MakeCodeFontTexture();
        BuildFont(&font, fontTexture, 16.0f, 16.0f, 8);
    }
    void SetUp() override
    {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    static inline const WindowSettings* window;
    static inline GLuint fontTexture;
    static inline Font font;
};

// Codes above 127 and control codes draw their own cells too, and a line may
// touch the window's top edge.
TEST_F(FontTest, TextReadsBackInItsColourAndCoversEightPixelsPerCharacter)
{
    const char text[] = "Hello, world 5:09\xc8\xff\t\x80";
    const int top = window->height - 8;
    PrintText(text, &font, 100.0f, 200.0f, 1, 1, 0, window);
    PrintText("AB", &font, 0.0f, (float)top, 1, 0, 0, window);
    Picture p = ReadPicture(GL_BACK);
    EXPECT_EQ(ReadGlyphCodes(p, 100, 200, 21), Codes(text));
    EXPECT_EQ(ReadGlyphCodes(p, 0, top, 2), Codes("AB"));
    EXPECT_TRUE(IsYellow(p.At(100, 200)));
    EXPECT_TRUE(IsYellow(p.At(100 + 8 * 21 - 1, 200)));
    Rgb red = p.At(0, top);
    EXPECT_TRUE(red.r > 200 && red.g < 60 && red.b < 60) << (int)red.g << "," << (int)red.b;
    EXPECT_EQ(InkOutside(p, {{text, 100, 200}, {"AB", 0, top}}), 0);
}

TEST_F(FontTest, EmptyTextDrawsNothingButSetsTheState)
{
    for (GLenum cap : {GL_TEXTURE_2D, GL_BLEND, GL_LIGHTING, GL_DEPTH_TEST})
        glDisable(cap);
    GLfloat before[16], after[16], colour[4];
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 3.0f);
    glGetFloatv(GL_MODELVIEW_MATRIX, before);

    PrintText("", &font, 10.0f, 10.0f, 1, 1, 0, window);

    EXPECT_EQ(InkOutside(ReadPicture(GL_BACK), {}), 0);
    for (GLenum cap : {GL_TEXTURE_2D, GL_BLEND, GL_LIGHTING, GL_DEPTH_TEST})
        EXPECT_TRUE(glIsEnabled(cap)) << cap;
    EXPECT_EQ(GlInteger(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(GlInteger(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ((GLuint)GlInteger(GL_TEXTURE_BINDING_2D), fontTexture);
    EXPECT_EQ(GlInteger(GL_MATRIX_MODE), GL_MODELVIEW);
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(before[i], after[i]);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_TRUE(colour[0] == 1.0f && colour[1] == 1.0f && colour[2] == 0.0f);
    glLoadIdentity();
}

// The game's own font sheet, loaded as the texture table loads it (mipmaps,
// largest anisotropy): the cells around a space must not bleed into it, or a
// space prints as a line between words.
TEST_F(FontTest, GameFontSpaceStaysDarkBetweenWords)
{
    GLuint textures[13] = {};
    LoadTextures(textures, 0.0f);
    Font gameFont;
    BuildFont(&gameFont, textures[1], 16.0f, 16.0f, 8);
    const float rows[3] = {200.0f, 472.0f, 464.0f};
    for (float y : rows)
        PrintText("0 0!/ /", &gameFont, 96.0f, y, 1, 1, 0, window);
    Picture p = ReadPicture(GL_BACK);
    for (float y : rows) {
        int inkAround = 0;
        for (int dy = 0; dy < 8; ++dy)
            for (int dx = 0; dx < 8; ++dx) {
                for (int space : {1, 5}) {
                    Rgb c = p.At(96 + 8 * space + dx, (int)y + dy);
                    ASSERT_LT(std::max(c.r, std::max(c.g, c.b)), 24)
                        << "space " << space << " pixel " << dx << "," << dy << " at " << y;
                }
                inkAround += Luminance(p.At(96 + dx, (int)y + dy)) > 60.0f;
            }
        EXPECT_GT(inkAround, 8) << "the 0 beside the space printed nothing";
    }
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

    const float expected[4][4] = {{0.45f, 0.45f, 0.45f, 0.45f},   // ambient
                                  {0.35f, 0.35f, 0.35f, 0.35f},   // diffuse
                                  {0.75f, 0.75f, 0.75f, 0.75f},   // specular
                                  {0.0f, 0.0f, 0.0f, 1.0f}};      // position
    const float* record[4] = {light.ambient, light.diffuse, light.specular, light.position};
    const GLenum parts[4] = {GL_AMBIENT, GL_DIFFUSE, GL_SPECULAR, GL_POSITION};
    for (int part = 0; part < 4; ++part) {
        GLfloat value[4];
        glGetLightfv(GL_LIGHT0, parts[part], value);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(record[part][i], expected[part][i]) << "part " << part;
            EXPECT_FLOAT_EQ(value[i], expected[part][i]) << "part " << part;
        }
    }
    EXPECT_EQ(GlInteger(GL_LIGHT_MODEL_COLOR_CONTROL), GL_SEPARATE_SPECULAR_COLOR);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
}
