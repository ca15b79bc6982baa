// gl_helpers.cpp -- the rendering tests' window, read-back and code font.
#include "tests/render/gl_helpers.h"

#include <GL/glu.h>
#include <cmath>
#include <cstring>

const WindowSettings* TestWindow()
{
    static WindowSettings settings;   // width 0 until the window is open
    if (!settings.width) {
        InitWindow(&settings, 0);
        LoadFramebufferProcs();
    }
    return &settings;
}

Rgb Picture::At(int x, int y) const
{
    const unsigned char* p = &pixels[3 * ((size_t)y * width + x)];
    return Rgb{p[0], p[1], p[2]};
}

Picture ReadPicture(GLenum buffer, const WindowSettings* window)
{
    if (!window)
        window = TestWindow();
    Picture picture{window->width, window->height, {}};
    picture.pixels.resize((size_t)picture.width * picture.height * 3);
    glReadBuffer(buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, picture.width, picture.height, GL_RGB, GL_UNSIGNED_BYTE,
                 picture.pixels.data());
    glReadBuffer(GL_BACK);
    return picture;
}

bool IsYellow(Rgb c) { return c.r > 200 && c.g > 200 && c.b < 60; }
bool IsBlack(Rgb c) { return c.r < 8 && c.g < 8 && c.b < 8; }
float Luminance(Rgb c) { return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b; }

float MeanLuminance(const Picture& picture, int x, int y, int half)
{
    float sum = 0.0f;
    for (int dy = -half; dy <= half; ++dy)
        for (int dx = -half; dx <= half; ++dx)
            sum += Luminance(picture.At(x + dx, y + dy));
    return sum / (float)((2 * half + 1) * (2 * half + 1));
}

Mat4 LookAtMatrix(Vec3 eye, Vec3 centre, Vec3 up)
{
    Mat4 view;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, up.x, up.y, up.z);
    glGetFloatv(GL_MODELVIEW_MATRIX, view.m);
    glPopMatrix();
    return view;
}

void ProjectPoint(const Mat4& view, const Mat4& projection, const WindowSettings& window,
                  Vec3 point, int* x, int* y)
{
    GLdouble model[16], project[16], wx = 0, wy = 0, wz = 0;
    GLint viewport[4] = {0, 0, window.width, window.height};
    for (int i = 0; i < 16; ++i) {
        model[i] = view.m[i];
        project[i] = projection.m[i];
    }
    gluProject(point.x, point.y, point.z, model, project, viewport, &wx, &wy, &wz);
    *x = (int)std::lround(wx);
    *y = (int)std::lround(wy);
}

void AimPlayer(Player* p, Vec3 eye, Vec3 target)
{
    p->frame.position = eye;
    p->forward = Vec3Sub(target, eye);
    Vec3Normalize(&p->forward);
    p->right = Vec3Cross(p->forward, Vec3{0.0f, 1.0f, 0.0f});
    Vec3Normalize(&p->right);
    p->up = Vec3Cross(p->right, p->forward);
}

GLuint MakeRgbaTexture(int width, int height, const std::vector<unsigned char>& texels)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return texture;
}

GLuint MakeCodeFontTexture()
{
    const int size = 128;
    std::vector<unsigned char> data((size_t)size * size * 4, 0);
    auto set = [&](int x, int y) { std::memset(&data[4 * ((size_t)y * size + x)], 255, 4); };
    for (int code = 0; code < 256; ++code) {
        int rowFromTop = code / 16, column = code % 16;
        // Uploaded rows run from the bottom of the image.
        int bottom = (15 - rowFromTop) * 8, left = column * 8;
        for (int i = 0; i < 8; ++i) {
            set(left + i, bottom);
            if (code & (1 << i))
                set(left + i, bottom + 2);
        }
    }
    return MakeRgbaTexture(size, size, data);
}

static bool NotBlack(Rgb c) { return !IsBlack(c); }

std::vector<int> ReadGlyphCodes(const Picture& picture, int x, int y, int count,
                                bool (*isInk)(Rgb))
{
    if (!isInk)
        isInk = NotBlack;
    std::vector<int> codes;
    for (int k = 0; k < count; ++k) {
        int left = x + 8 * k, code = 0;
        bool solid = true;
        for (int i = 0; i < 8; ++i) {
            solid = solid && isInk(picture.At(left + i, y));
            if (isInk(picture.At(left + i, y + 2)))
                code |= 1 << i;
        }
        codes.push_back(solid ? code : 0);
    }
    return codes;
}

std::vector<int> Codes(const char* text)
{
    const unsigned char* codes = (const unsigned char*)text;
    return std::vector<int>(codes, codes + std::strlen(text));
}

int InkOutside(const Picture& picture, std::initializer_list<TextLine> lines)
{
    int ink = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            bool inLine = false;
            for (const TextLine& l : lines)
                inLine = inLine || (x >= l.x && x < l.x + 8 * (int)std::strlen(l.text) &&
                                    y >= l.y && y < l.y + 8);
            ink += !inLine && !IsBlack(picture.At(x, y));
        }
    return ink;
}

HudInk ReadHudInk(const Picture& picture, bool (*isInk)(Rgb))
{
    HudInk ink = {0, 0, 0};
    for (int y = 464; y < 480; ++y)
        for (int x = 0; x < picture.width; ++x) {
            if (!isInk(picture.At(x, y)))
                continue;
            ++(y >= 472 ? ink.score : ink.time);
            ink.stray += x >= (y >= 472 ? 8 * 14 : 8 * 22);
        }
    return ink;
}

GLuint MakeFrameTexture(int width, int height, int border, bool fillInside)
{
    std::vector<unsigned char> data((size_t)width * height * 4, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool edge = x < border || y < border || x >= width - border || y >= height - border;
            if (edge || fillInside)
                std::memset(&data[4 * ((size_t)y * width + x)], 255, 4);
        }
    return MakeRgbaTexture(width, height, data);
}
