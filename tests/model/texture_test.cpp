// texture_test.cpp -- Targa loading into GL textures (orientation, compression,
// depth, mipmaps, bad files) and the game's texture table.
#include "gl_context.h"
#include "model_test_util.h"
#define GLFW2_NO_USING
#include "platform/glfw2/glfw2.h"
#include "platform/glfw2/glfw2_texture.h"
#include "render/render.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <sys/stat.h>
#include <vector>

namespace {

struct Rgba {
    unsigned char r, g, b, a;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

// A test image, rows top first: every pixel different, with runs for RLE.
std::vector<Rgba> TestImage(int width, int height)
{
    std::vector<Rgba> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(x == 0 ? Rgba{200, 0, (unsigned char)y, 255}
                                    : Rgba{(unsigned char)(10 * x), (unsigned char)(50 + y),
                                           (unsigned char)(x + y), (unsigned char)(100 + x)});
    return pixels;
}

// Writes a Targa file: 24 or 32 bits, raw or run-length, origin top or bottom.
std::string EncodeTga(const std::vector<Rgba>& topFirst, int width, int height, int bits,
                      bool rle, bool originTop)
{
    std::string out(18, '\0');
    out[2] = rle ? 10 : 2;
    out[12] = (char)(width & 255);
    out[13] = (char)(width >> 8);
    out[14] = (char)(height & 255);
    out[15] = (char)(height >> 8);
    out[16] = (char)bits;
    out[17] = (char)((bits == 32 ? 8 : 0) | (originTop ? 0x20 : 0));
    std::vector<Rgba> order;
    for (int row = 0; row < height; ++row) {
        int y = originTop ? row : height - 1 - row;
        order.insert(order.end(), topFirst.begin() + y * width, topFirst.begin() + (y + 1) * width);
    }
    auto put = [&](const Rgba& p) {
        out += (char)p.b;
        out += (char)p.g;
        out += (char)p.r;
        if (bits == 32)
            out += (char)p.a;
    };
    for (size_t i = 0; i < order.size();) {
        if (!rle) {
            put(order[i++]);
            continue;
        }
        size_t run = 1;
        while (i + run < order.size() && run < 128 && order[i + run] == order[i])
            ++run;
        // A run packet repeats its pixel; a single pixel goes in a raw packet.
        out += (char)(run > 1 ? 0x80 | (run - 1) : 0);
        put(order[i]);
        i += run;
    }
    return out;
}

std::vector<Rgba> ReadLevel(int level, int width, int height)
{
    std::vector<Rgba> pixels((size_t)width * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

GLint LevelWidth(int level)
{
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    return width;
}

TEST(TargaTexture, EveryKindLandsWithTheBottomRowAtTZero)
{
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    const int width = 3, height = 4;   // odd row length: 9 or 12 bytes
    std::vector<Rgba> image = TestImage(width, height);
    for (int bits : {24, 32})
        for (bool rle : {false, true})
            for (bool top : {false, true}) {
                SCOPED_TRACE(testing::Message() << bits << " bits, rle " << rle << ", top " << top);
                std::string file = dir.Write("t.tga", EncodeTga(image, width, height, bits, rle, top));
                GLuint texture = 0;
                glGenTextures(1, &texture);
                glBindTexture(GL_TEXTURE_2D, texture);
                ASSERT_EQ(glfw2::glfwLoadTexture2D(file.c_str(), GLFW_BUILD_MIPMAPS_BIT), 1);
                ASSERT_EQ(LevelWidth(0), width);
                EXPECT_EQ(LevelWidth(1), 1);   // mipmaps were built
                std::vector<Rgba> got = ReadLevel(0, width, height);
                for (int t = 0; t < height; ++t)
                    for (int x = 0; x < width; ++x) {
                        Rgba want = image[(size_t)(height - 1 - t) * width + x];
                        if (bits == 24)
                            want.a = 255;
                        EXPECT_TRUE(got[(size_t)t * width + x] == want) << "row " << t << " x " << x;
                    }
                glDeleteTextures(1, &texture);
            }
}

TEST(TargaTexture, WithoutTheMipmapFlagOnlyLevelZero)
{
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    std::string file = dir.Write("t.tga", EncodeTga(TestImage(4, 4), 4, 4, 32, false, false));
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    ASSERT_EQ(glfw2::glfwLoadTexture2D(file.c_str(), 0), 1);
    EXPECT_EQ(LevelWidth(0), 4);
    EXPECT_EQ(LevelWidth(1), 0);

    // With it, every level down to 1 x 1, whose texel is the image's mean.
    ASSERT_EQ(glfw2::glfwLoadTexture2D(file.c_str(), GLFW_BUILD_MIPMAPS_BIT), 1);
    EXPECT_EQ(LevelWidth(1), 2);
    EXPECT_EQ(LevelWidth(2), 1);
    std::vector<Rgba> image = TestImage(4, 4), mean = ReadLevel(2, 1, 1);
    const unsigned char* bytes = (const unsigned char*)image.data();
    for (int c = 0; c < 4; ++c) {
        int sum = 0;
        for (int i = c; i < 64; i += 4)
            sum += bytes[i];
        EXPECT_NEAR(((const unsigned char*)mean.data())[c], sum / 16.0, 2.0) << "channel " << c;
    }
    glDeleteTextures(1, &texture);
}

TEST(TargaTexture, BadFilesFailAndLeaveTheTextureEmpty)
{
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    std::string good = EncodeTga(TestImage(4, 4), 4, 4, 24, true, false);
    std::string raw = EncodeTga(TestImage(4, 4), 4, 4, 32, false, true);
    std::string huge = good;
    huge[12] = huge[13] = huge[14] = huge[15] = (char)0xff;   // 65535 x 65535 claimed
    const std::string files[] = {
        dir.path + "/missing.tga",
        dir.Write("empty.tga", ""),
        dir.Write("text.tga", "this is not an image at all, just some text"),
        dir.Write("cut.tga", good.substr(0, good.size() - 5)),
        dir.Write("cutraw.tga", raw.substr(0, raw.size() - 1)),
        dir.Write("huge.tga", huge),
        dir.path,
        dir.path + "/pipe.tga",
    };
    ASSERT_EQ(mkfifo(files[7].c_str(), 0600), 0);
    alarm(20);   // a loader that waits for a writer on the pipe fails here instead of hanging
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        GLuint texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        EXPECT_EQ(glfw2::glfwLoadTexture2D(file.c_str(), GLFW_BUILD_MIPMAPS_BIT), 0);
        EXPECT_EQ(LevelWidth(0), 0);
        glDeleteTextures(1, &texture);
    }
    alarm(0);
}

TEST(TargaDecode, RowsComeBottomUpWithoutGl)
{
    std::vector<Rgba> image = TestImage(2, 3);
    std::string tga = EncodeTga(image, 2, 3, 32, true, true);
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = DecodeTarga((const unsigned char*)tga.data(), tga.size(), &width,
                                        &height, &channels);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(channels, 4);
    Rgba bottomLeft = {pixels[0], pixels[1], pixels[2], pixels[3]};
    EXPECT_TRUE(bottomLeft == image[2 * 2]);
    FreeTargaPixels(pixels);
    EXPECT_EQ(DecodeTarga((const unsigned char*)tga.data(), 17, &width, &height, &channels), nullptr);
    EXPECT_EQ(width, 0);
}

// ---- The texture table ----

const char* const kTableFiles[] = {"Text", "Wall", "eightball", "Wood2", "Wood1", "backboard",
                                   "Targ", "Power"};

// Runs LoadTextures in directory `where`; returns what the console got.
std::string LoadTable(const std::string& where, GLuint textures[13], float anisotropy = 0.0f)
{
    char here[4096];
    EXPECT_NE(getcwd(here, sizeof here), nullptr);
    EXPECT_EQ(chdir(where.c_str()), 0);
    testing::internal::CaptureStdout();
    LoadTextures(textures, anisotropy);
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(chdir(here), 0);
    return console;
}

GLfloat Parameter(GLuint texture, GLenum name)
{
    glBindTexture(GL_TEXTURE_2D, texture);
    GLfloat value = 0.0f;
    glGetTexParameterfv(GL_TEXTURE_2D, name, &value);
    return value;
}

TEST(TextureTable, MissingImageGivesOneLineAndAnEmptyEntry)
{
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    ASSERT_EQ(mkdir((dir.path + "/Textures").c_str(), 0755), 0);
    for (const char* name : kTableFiles)
        if (std::string(name) != "Wall")
            dir.Write(std::string("Textures/") + name + ".tga",
                      EncodeTga(TestImage(4, 4), 4, 4, 32, true, false));
    GLuint textures[13] = {};
    std::string console = LoadTable(dir.path, textures);
    EXPECT_EQ(console, "Failed to load image, Textures/Wall.tga!!!\n");
    for (int i = 1; i <= 10; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(textures[i], 0u);
        EXPECT_TRUE(glIsTexture(textures[i]));
        EXPECT_EQ(Parameter(textures[i], GL_TEXTURE_WRAP_S), GL_REPEAT);
        EXPECT_EQ(Parameter(textures[i], GL_TEXTURE_WRAP_T), GL_REPEAT);
        EXPECT_EQ(Parameter(textures[i], GL_TEXTURE_MAG_FILTER), GL_LINEAR);
        EXPECT_EQ(Parameter(textures[i], GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
        EXPECT_EQ(LevelWidth(0), i == 2 ? 0 : 4);
    }
    EXPECT_NE(textures[3], textures[6]);
    EXPECT_NE(textures[5], textures[7]);
    EXPECT_EQ(textures[11], 0u);
    EXPECT_EQ(textures[12], 0u);
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE);
    glDeleteTextures(10, textures + 1);
}

TEST(TextureTable, AnisotropyOnlyWhereTheExtensionIsReported)
{
    REQUIRE_GL_CONTEXT();
    if (!glfw2::glfwExtensionSupported("GL_EXT_texture_filter_anisotropic"))
        GTEST_SKIP() << "this driver has no anisotropic filtering";
    TempDir dir;
    GLfloat largest = 0.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &largest);
    GLuint with[13] = {}, without[13] = {};
    LoadTable(dir.path, with);
    Glfw2GetScript()->hiddenExtensions[0] = "GL_EXT_texture_filter_anisotropic";
    LoadTable(dir.path, without);
    Glfw2GetScript()->hiddenExtensions[0] = nullptr;
    // Mesa's llvmpipe stalls for seconds on a face seen nearly edge-on when it
    // filters anisotropically: there the game filters plainly unless asked.
    const char* renderer = (const char*)glGetString(GL_RENDERER);
    EXPECT_EQ(Parameter(with[4], GL_TEXTURE_MAX_ANISOTROPY_EXT),
              AnisotropyStalls(renderer) ? 1.0f : largest) << renderer;
    EXPECT_TRUE(AnisotropyStalls("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_FALSE(AnisotropyStalls("NVIDIA GeForce RTX 3060/PCIe/SSE2"));
    EXPECT_EQ(Parameter(without[4], GL_TEXTURE_MAX_ANISOTROPY_EXT), 1.0f);
    EXPECT_EQ(Parameter(without[4], GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    glDeleteTextures(10, with + 1);
    glDeleteTextures(10, without + 1);

    // A player's choice: taken as asked, and capped at the driver's largest.
    for (float asked : {1.0f, largest + 1.0f}) {
        GLuint chosen[13] = {};
        std::string console = LoadTable(dir.path, chosen, asked);
        EXPECT_EQ(console.find("above the driver's largest") != std::string::npos, asked > largest)
            << console;
        EXPECT_EQ(Parameter(chosen[7], GL_TEXTURE_MAX_ANISOTROPY_EXT),
                  asked > largest ? largest : asked);
        glDeleteTextures(10, chosen + 1);
    }
}

TEST(TextureTable, TheGamesOwnImagesAllLoad)
{
    REQUIRE_GL_CONTEXT();
    for (const char* name : kTableFiles)
        if (access((std::string("Textures/") + name + ".tga").c_str(), R_OK) != 0)
            GTEST_SKIP() << "Textures/" << name << ".tga has not been generated";
    GLuint textures[13] = {};
    EXPECT_EQ(LoadTable(".", textures), "");
    for (int i = 1; i <= 10; ++i) {
        glBindTexture(GL_TEXTURE_2D, textures[i]);
        EXPECT_GT(LevelWidth(0), 0) << "entry " << i;
    }
    glDeleteTextures(10, textures + 1);
}

} // namespace
