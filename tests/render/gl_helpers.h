// gl_helpers.h -- a real window for the rendering tests, pixel read-back, and a
// font texture whose glyphs spell out their own character codes, so text on
// screen can be read back exactly.
#pragma once

#include "render/render.h"

#include <initializer_list>
#include <vector>

// Opens the game's window once per test program (640 x 480 under Xvfb) and
// looks up the framebuffer entry points, as start-up does.
const WindowSettings* TestWindow();

inline GLint GlInteger(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

struct Rgb {
    unsigned char r, g, b;
};

// The whole window, bottom row first, from the given buffer (GL_BACK, GL_FRONT).
// The window is the test window unless the game opened its own (then pass the
// game's settings: asking for the test window would open a second one).
struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels;
    Rgb At(int x, int y) const;
};
Picture ReadPicture(GLenum buffer, const WindowSettings* window = nullptr);

bool IsYellow(Rgb c);
bool IsBlack(Rgb c);
float Luminance(Rgb c);
// Mean luminance of the square of side 2 * half + 1 centred on (x, y).
float MeanLuminance(const Picture& picture, int x, int y, int half);

// The camera's view from eye towards centre, and where a world point lands in
// a window seen through that view and a projection.
Mat4 LookAtMatrix(Vec3 eye, Vec3 centre, Vec3 up);
void ProjectPoint(const Mat4& view, const Mat4& projection, const WindowSettings& window,
                  Vec3 point, int* x, int* y);
// The player at eye, looking at target with the horizon level.
void AimPlayer(Player* player, Vec3 eye, Vec3 target);

// A 128 x 128 font texture, 16 x 16 cells of 8 x 8 texels, nearest filtering.
// In every glyph the bottom row is solid and row 2 carries the character's
// code, bit i at column i; all else is transparent.
GLuint MakeCodeFontTexture();

// Reads count glyphs of the code font printed at (x, y): 0 where the glyph's
// solid row is missing. Ink is what isInk says (by default: not black).
std::vector<int> ReadGlyphCodes(const Picture& picture, int x, int y, int count,
                                bool (*isInk)(Rgb) = nullptr);
std::vector<int> Codes(const char* text);

// Pixels that are not black outside every given line of 8-pixel glyphs.
struct TextLine {
    const char* text;
    int x, y;
};
int InkOutside(const Picture& picture, std::initializer_list<TextLine> lines);

// The HUD's two top lines: ink in the score line (the top 8 rows) and in the
// time line under it, and stray ink right of 14 and 22 characters, the widths
// of the two texts at a round start.
struct HudInk {
    int score, time, stray;
};
HudInk ReadHudInk(const Picture& picture, bool (*isInk)(Rgb));

// An RGBA texture from the given texels, nearest filtering.
GLuint MakeRgbaTexture(int width, int height, const std::vector<unsigned char>& texels);
// A solid RGBA texture of the given size; border texels (border wide) opaque
// white, the inside opaque white too when fillInside, else transparent.
GLuint MakeFrameTexture(int width, int height, int border, bool fillInside);
