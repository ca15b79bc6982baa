// textures.cpp -- the game's images, painted procedurally from fixed seeds.
#include "tools/assetgen/assetgen.h"

#include <algorithm>
#include <cmath>

static const double kPi = 3.14159265358979323846;

static double Fract(double v)
{
    return v - std::floor(v);
}

// ---------------------------------------------------------------- sizes
// An image is drawn at 256 and kept at the size it is seen at: the renderer of
// a computer without a graphics card pays for every texel a filter footprint
// spans, most of all on walls seen at a slant. Halving by 2 x 2 means keeps the
// detail of the large drawing.
static void HalveImage(Image* image)
{
    Image half;
    ImageInit(&half, image->width / 2, image->height / 2);
    for (int y = 0; y < half.height; ++y) {
        for (int x = 0; x < half.width; ++x) {
            double sum[4] = {0.0, 0.0, 0.0, 0.0};
            for (int k = 0; k < 4; ++k) {
                double p[4];
                ImageGet(image, 2 * x + k % 2, 2 * y + k / 2, p);
                for (int c = 0; c < 4; ++c)
                    sum[c] += p[c] / 4.0;
            }
            ImageSet(&half, x, y, sum[0], sum[1], sum[2], sum[3]);
        }
    }
    *image = half;
}

// ---------------------------------------------------------------- wall

// Red brick with pale mortar; 4 bricks by 8 courses per tile, so it repeats.
void MakeWallImage(Image* out)
{
    const int size = 256;
    const int brickW = 64, brickH = 32, mortar = 3;
    ImageInit(out, size, size);
    std::vector<Noise> grain = FractalInit(8, 4, 101);
    std::vector<Noise> blotch = FractalInit(4, 3, 202);
    Rng rng;
    RngSeed(&rng, 303);
    double tint[8][4][3];
    for (auto& course : tint) {
        for (auto& brick : course) {
            double shade = RngRange(&rng, 0.78, 1.08);
            brick[0] = 0.62 * shade;
            brick[1] = RngRange(&rng, 0.26, 0.33) * shade;
            brick[2] = RngRange(&rng, 0.20, 0.25) * shade;
        }
    }
    for (int y = 0; y < size; ++y) {
        int course = y / brickH;
        int offset = (course % 2) * (brickW / 2);
        for (int x = 0; x < size; ++x) {
            int bx = (x + offset) % size;
            int brick = bx / brickW;
            int inX = bx % brickW;
            int inY = y % brickH;
            double fine = FractalAt(grain, x / 32.0, y / 32.0);
            double big = FractalAt(blotch, x / 64.0, y / 64.0);
            bool isMortar = inX < mortar || inY < mortar;
            double r, g, b;
            if (isMortar) {
                double m = 0.66 + 0.18 * fine;
                r = m;
                g = m * 0.97;
                b = m * 0.90;
            } else {
                const double* t = tint[course][brick];
                double k = 0.80 + 0.35 * fine + 0.15 * (big - 0.5);
                // a soft bevel: edges next to the mortar a little darker
                double edge = std::min(std::min(inX - mortar, brickW - 1 - inX),
                                       std::min(inY - mortar, brickH - 1 - inY));
                k *= 0.86 + 0.14 * SmoothStep(0.0, 3.0, edge);
                r = t[0] * k;
                g = t[1] * k;
                b = t[2] * k;
            }
            ImageSet(out, x, y, r, g, b, 1.0);
        }
    }
    // One tile spans 4 units: on the back wall, faced square-on from the
    // standing spot, about 130 pixels.
    HalveImage(out);
}

// ---------------------------------------------------------------- wood

// Planks running along the image's height with warped grain, staggered end joints
// and dark seams; everything periodic so the planks continue across tiles.
void MakeWoodImage(Image* out, uint64_t seed, double r, double g, double b, int planks)
{
    const int size = 256;
    ImageInit(out, size, size);
    std::vector<Noise> warp = FractalInit(4, 4, seed + 11);
    std::vector<Noise> fibre = FractalInit(16, 2, seed + 23);
    Rng rng;
    RngSeed(&rng, seed);
    int plankW = size / planks;
    std::vector<double> shade((size_t)planks), joint((size_t)planks), phase((size_t)planks);
    for (int k = 0; k < planks; ++k) {
        shade[(size_t)k] = RngRange(&rng, 0.82, 1.12);
        joint[(size_t)k] = std::floor(RngRange(&rng, 0.0, size));
        phase[(size_t)k] = RngRange(&rng, 0.0, 10.0);
    }
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int k = x / plankW;
            int inX = x % plankW;
            double w = FractalAt(warp, x / 64.0, y / 64.0);
            // rings: stripes along the plank, bent by the warp noise
            double ring = Fract(inX * 0.09 + phase[(size_t)k] + 3.5 * w);
            double late = SmoothStep(0.55, 0.95, ring) * (1.0 - SmoothStep(0.95, 1.0, ring));
            // fibres: noise stretched along the plank
            double f = NoiseAt(&fibre[1], x / 2.0, y / 32.0);
            double kx = shade[(size_t)k] * (0.92 + 0.10 * f - 0.28 * late);
            int dy = (y - (int)joint[(size_t)k] + size) % size;
            bool seam = inX == 0 || inX == plankW - 1 || dy == 0;
            bool nearSeam = inX == 1 || dy == 1;
            if (seam) {
                kx *= 0.45;
            } else if (nearSeam) {
                kx *= 0.8;
            }
            ImageSet(out, x, y, r * kx, g * kx, b * kx, 1.0);
        }
    }
}

// ---------------------------------------------------------------- backboard

// Inside of a regular five-pointed star of outer radius 1 centred at the origin.
static bool InStar(double x, double y)
{
    double angle = std::atan2(x, y);            // 0 straight up
    double sector = 2.0 * kPi / 5.0;
    double a = std::fabs(std::fmod(angle + 10.0 * kPi + sector / 2.0, sector) - sector / 2.0);
    double radius = std::sqrt(x * x + y * y);
    // straight edge between an outer point (angle 0, radius 1) and an inner
    // corner (angle sector / 2, radius 0.382)
    double inner = 0.382;
    double px = std::sin(a) * radius, py = std::cos(a) * radius;
    double ix = std::sin(sector / 2.0) * inner, iy = std::cos(sector / 2.0) * inner;
    double cross = (ix - 0.0) * (py - 1.0) - (iy - 1.0) * (px - 0.0);
    return cross <= 0.0;
}

// Arcade panel: deep blue with a gold star and a gold frame, tiling.
void MakeBackboardImage(Image* out)
{
    const int size = 256;
    ImageInit(out, size, size);
    std::vector<Noise> mottle = FractalInit(8, 3, 404);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double u = (x + 0.5) / size * 2.0 - 1.0;
            double v = 1.0 - (y + 0.5) / size * 2.0;
            double n = FractalAt(mottle, x / 32.0, y / 32.0);
            double radial = std::sqrt(u * u + v * v);
            double r = 0.06 + 0.05 * n, g = 0.10 + 0.06 * n, b = 0.42 + 0.22 * (1.0 - radial) + 0.08 * n;
            double border = std::max(std::fabs(u), std::fabs(v));
            if (border > 0.90) {
                double glow = SmoothStep(0.90, 0.96, border) * (1.0 - SmoothStep(0.96, 1.0, border));
                r = Mix(r, 0.95, glow);
                g = Mix(g, 0.74, glow);
                b = Mix(b, 0.18, glow);
            }
            // star with 4x4 supersampling for a clean edge
            int hits = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    double su = ((x + (sx + 0.5) / 4.0) / size * 2.0 - 1.0) / 0.62;
                    double sv = (1.0 - (y + (sy + 0.5) / 4.0) / size * 2.0 + 0.05) / 0.62;
                    hits += InStar(su, sv) && su * su + sv * sv <= 1.0 ? 1 : 0;
                }
            }
            double s = hits / 16.0;
            double shine = 0.85 + 0.15 * v;
            r = Mix(r, 1.00 * shine, s);
            g = Mix(g, 0.80 * shine, s);
            b = Mix(b, 0.20 * shine, s);
            ImageSet(out, x, y, r, g, b, 1.0);
        }
    }
    // Nine units from the standing spot a tile covers about 70 pixels.
    HalveImage(out);
}

// ---------------------------------------------------------------- eight ball

// Latitude-longitude map of a black ball with the white "8" spot facing -z:
// longitude follows the image's width, the north pole is its top row.
bool MakeEightBallImage(const std::string& fontPath, Image* out)
{
    const int width = 512, height = 256;
    GlyphBitmap eight;
    if (!RenderText(fontPath, "8", 96, 96, &eight)) {
        return false;
    }
    ImageInit(out, width, height);
    std::vector<Noise> speck = FractalInit(8, 3, 505);
    const double spot = 24.0 * kPi / 180.0;     // angular radius of the white spot
    const double glyphHalf = std::tan(spot) * 0.62; // half height of the "8"
    double glyphScale = eight.height / (2.0 * glyphHalf);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sum[3] = {0.0, 0.0, 0.0};
            for (int s = 0; s < 4; ++s) {
                double u = (x + 0.25 + 0.5 * (s % 2)) / width;
                double v = 1.0 - (y + 0.25 + 0.5 * (s / 2)) / height;
                double phi = 2.0 * kPi * u;
                double theta = kPi * v - kPi / 2.0;
                double dx = std::cos(theta) * std::sin(phi);
                double dy = std::sin(theta);
                double dz = std::cos(theta) * std::cos(phi);
                // spot centre (0, 0, -1); east (-1, 0, 0); north (0, 1, 0)
                double cosAngle = -dz;
                double col[3] = {0.03, 0.03, 0.035};
                if (cosAngle > std::cos(spot)) {
                    col[0] = col[1] = col[2] = 0.96;
                    double east = -dx / cosAngle, north = dy / cosAngle;
                    int gx = (int)std::floor(eight.width / 2.0 + east * glyphScale);
                    int gy = (int)std::floor(eight.height / 2.0 - north * glyphScale);
                    if (gx >= 0 && gy >= 0 && gx < eight.width && gy < eight.height) {
                        double ink = eight.coverage[(size_t)gy * eight.width + gx] / 255.0;
                        for (double& c : col) {
                            c = Mix(c, 0.02, ink);
                        }
                    }
                }
                for (int k = 0; k < 3; ++k) {
                    sum[k] += col[k] / 4.0;
                }
            }
            double n = 0.9 + 0.2 * FractalAt(speck, x / 64.0, y / 32.0);
            ImageSet(out, x, y, sum[0] * n, sum[1] * n, sum[2] * n, 1.0);
        }
    }
    // A ball in the tray is about 90 pixels across: 256 texels round it.
    HalveImage(out);
    return true;
}

// ---------------------------------------------------------------- HUD

// Coverage of a stroke: 1 inside distance `half` of the shape, fading over a pixel.
static double Stroke(double distance, double half)
{
    return Clamp01(half + 0.5 - distance);
}

// White ring and cross with a dark outline, transparent elsewhere.
void MakeCrosshairImage(Image* out)
{
    const int size = 64;
    ImageInit(out, size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double px = x + 0.5 - size / 2.0, py = y + 0.5 - size / 2.0;
            double ring = std::fabs(std::sqrt(px * px + py * py) - 18.0);
            double armH = (std::fabs(px) >= 8.0 && std::fabs(px) <= 30.0) ? std::fabs(py) : 99.0;
            double armV = (std::fabs(py) >= 8.0 && std::fabs(py) <= 30.0) ? std::fabs(px) : 99.0;
            double d = std::min(ring, std::min(armH, armV));
            double dot = std::sqrt(px * px + py * py);
            double white = std::max(Stroke(d, 1.5), Stroke(dot, 1.5));
            double dark = std::max(Stroke(d, 3.0), Stroke(dot, 3.0));
            double a = std::max(white, dark * 0.6);
            double c = a > 0.0 ? white / a : 0.0;
            ImageSet(out, x, y, c, c, c, a);
        }
    }
}

// The power meter's frame: 64 x 256, drawn over the blue bar (bar x 1..63, up to
// y 244 from the bottom). Transparent inside, tick marks every tenth, label on top.
bool MakePowerImage(const std::string& fontPath, Image* out)
{
    const int width = 64, height = 256;
    ImageInit(out, width, height);
    GlyphBitmap label;
    if (!RenderText(fontPath, "POWER", 9, 9, &label)) {
        return false;
    }
    for (int row = 0; row < height; ++row) {
        int y = height - 1 - row;                  // pixels from the bottom
        for (int x = 0; x < width; ++x) {
            bool frame = x < 2 || x >= width - 2 || y < 2 || y >= height - 2;
            bool cap = y >= 246;                   // label band above the bar's reach
            bool tick = false;
            for (int k = 1; k < 10; ++k) {
                int ty = (int)std::lround(244.0 * k / 10.0);
                int len = k == 5 ? 14 : 8;
                if ((y == ty || y == ty + 1) && (x < len || x >= width - len)) {
                    tick = true;
                }
            }
            double shade = 0.75 + 0.25 * (double)y / height;
            if (frame) {
                ImageSet(out, x, row, 0.85 * shade, 0.88 * shade, 0.95 * shade, 1.0);
            } else if (cap) {
                ImageSet(out, x, row, 0.10, 0.10, 0.16, 0.9);
            } else if (tick) {
                ImageSet(out, x, row, 1.0, 1.0, 1.0, 0.85);
            } else {
                ImageSet(out, x, row, 1.0, 1.0, 1.0, 0.0);
            }
        }
    }
    // label centred in the band at the top (rows 2..9 from the top)
    int ox = (width - label.width) / 2;
    int oy = 2 + (8 - label.height) / 2;
    for (int j = 0; j < label.height; ++j) {
        for (int i = 0; i < label.width; ++i) {
            double ink = label.coverage[(size_t)j * label.width + i] / 255.0;
            if (ink <= 0.0 || oy + j < 2 || oy + j >= 10) {
                continue;
            }
            double px[4];
            ImageGet(out, ox + i, oy + j, px);
            ImageSet(out, ox + i, oy + j, Mix(px[0], 1.0, ink), Mix(px[1], 0.85, ink),
                     Mix(px[2], 0.2, ink), 1.0);
        }
    }
    return true;
}
