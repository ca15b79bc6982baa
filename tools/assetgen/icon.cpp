// icon.cpp -- the desktop icon: an eight ball on the maple lane against the
// blue backboard, written as a PNG that desktop menus read.
#include "tools/assetgen/assetgen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const int ICON_SIZE = 128;
const int SUBSAMPLES = 4;   // per axis, for smooth edges

struct Rgba {
    double r, g, b, a;
};

// Paints top over bottom (straight alpha).
Rgba Over(Rgba top, Rgba bottom)
{
    double a = top.a + bottom.a * (1.0 - top.a);
    if (a <= 0.0) {
        return Rgba{0.0, 0.0, 0.0, 0.0};
    }
    double keep = bottom.a * (1.0 - top.a);
    return Rgba{(top.r * top.a + bottom.r * keep) / a, (top.g * top.a + bottom.g * keep) / a,
                (top.b * top.a + bottom.b * keep) / a, a};
}

// Inside a square of rounded corners spanning 0.04 to 0.96.
bool InsideTile(double u, double v)
{
    const double lo = 0.04, hi = 0.96, radius = 0.16;
    double cu = std::fmin(std::fmax(u, lo + radius), hi - radius);
    double cv = std::fmin(std::fmax(v, lo + radius), hi - radius);
    bool inBox = u >= lo && u <= hi && v >= lo && v <= hi;
    return inBox && std::hypot(u - cu, v - cv) <= radius;
}

// The lane narrows towards the backboard; its planks run along it.
Rgba Lane(double u, double v)
{
    const double top = 0.30;
    if (v < top) {
        return Rgba{0.0, 0.0, 0.0, 0.0};
    }
    double t = (v - top) / (1.0 - top);               // 0 far, 1 near
    double half = 0.08 + 0.36 * t;
    double across = (u - 0.5) / half;                 // -1 to 1 on the lane
    if (std::fabs(across) > 1.0) {
        return Rgba{0.0, 0.0, 0.0, 0.0};
    }
    double plank = std::fabs(std::sin(across * 3.0 * M_PI));
    double seam = plank < 0.12 ? 0.75 : 1.0;
    double shade = (0.80 + 0.20 * t) * seam;
    return Rgba{0.93 * shade, 0.72 * shade, 0.45 * shade, 1.0};
}

// Two small rings, one over the other: the 8 on the ball's white spot.
bool EightStroke(double u, double v)
{
    double upper = std::fabs(std::hypot(u - 0.5, v - 0.565) - 0.022);
    double lower = std::fabs(std::hypot(u - 0.5, v - 0.615) - 0.027);
    return std::fmin(upper, lower) < 0.008;
}

Rgba Ball(double u, double v)
{
    const double cu = 0.5, cv = 0.60, radius = 0.25;
    double d = std::hypot(u - cu, v - cv);
    if (d > radius) {
        return Rgba{0.0, 0.0, 0.0, 0.0};
    }
    if (std::hypot(u - 0.5, v - 0.59) < 0.075) {
        double ink = EightStroke(u, v) ? 0.05 : 0.97;
        return Rgba{ink, ink, ink, 1.0};
    }
    // A light from the upper left: a soft shine on black.
    double shine = std::exp(-(std::pow(u - 0.40, 2.0) + std::pow(v - 0.47, 2.0)) / 0.004);
    double c = 0.04 + 0.10 * (1.0 - d / radius) + 0.75 * shine;
    return Rgba{c, c, c, 1.0};
}

Rgba IconAt(double u, double v)
{
    if (!InsideTile(u, v)) {
        return Rgba{0.0, 0.0, 0.0, 0.0};
    }
    Rgba board{0.10 + 0.08 * (1.0 - v), 0.18 + 0.10 * (1.0 - v), 0.55 + 0.15 * (1.0 - v), 1.0};
    return Over(Ball(u, v), Over(Lane(u, v), board));
}

void MakeIconImage(Image* out)
{
    ImageInit(out, ICON_SIZE, ICON_SIZE);
    for (int y = 0; y < ICON_SIZE; ++y) {
        for (int x = 0; x < ICON_SIZE; ++x) {
            double sum[4] = {0.0, 0.0, 0.0, 0.0};
            for (int sy = 0; sy < SUBSAMPLES; ++sy) {
                for (int sx = 0; sx < SUBSAMPLES; ++sx) {
                    double u = (x + (sx + 0.5) / SUBSAMPLES) / ICON_SIZE;
                    double v = (y + (sy + 0.5) / SUBSAMPLES) / ICON_SIZE;
                    Rgba c = IconAt(u, v);
                    sum[0] += c.r * c.a;
                    sum[1] += c.g * c.a;
                    sum[2] += c.b * c.a;
                    sum[3] += c.a;
                }
            }
            double a = sum[3] / (SUBSAMPLES * SUBSAMPLES);
            double k = sum[3] > 0.0 ? 1.0 / sum[3] : 0.0;
            ImageSet(out, x, y, sum[0] * k, sum[1] * k, sum[2] * k, a);
        }
    }
}

// ---------------------------------------------------------------- PNG

void PutBe32(std::vector<uint8_t>* out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->push_back((uint8_t)(v >> shift));
    }
}

uint32_t Crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void PutChunk(std::vector<uint8_t>* out, const char* type, const std::vector<uint8_t>& data)
{
    PutBe32(out, (uint32_t)data.size());
    size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data.begin(), data.end());
    PutBe32(out, Crc32(out->data() + start, out->size() - start));
}

// A zlib stream of stored (uncompressed) deflate blocks: no compressor needed,
// and the same pixels always give the same bytes.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw)
{
    std::vector<uint8_t> out = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t length = std::min(raw.size() - pos, (size_t)65535);
        bool last = pos + length == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back((uint8_t)(length & 0xFF));
        out.push_back((uint8_t)(length >> 8));
        out.push_back((uint8_t)(~length & 0xFF));
        out.push_back((uint8_t)((~length >> 8) & 0xFF));
        out.insert(out.end(), raw.begin() + (long)pos, raw.begin() + (long)(pos + length));
        pos += length;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521u;
        b = (b + a) % 65521u;
    }
    PutBe32(&out, (b << 16) | a);
    return out;
}

bool WritePng(const std::string& path, const Image& image)
{
    std::vector<uint8_t> header;
    PutBe32(&header, (uint32_t)image.width);
    PutBe32(&header, (uint32_t)image.height);
    header.insert(header.end(), {8, 6, 0, 0, 0});   // 8 bits, RGBA, no interlace
    std::vector<uint8_t> raw;
    size_t stride = (size_t)image.width * 4;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);                           // no row filter
        auto row = image.rgba.begin() + (long)(y * stride);
        raw.insert(raw.end(), row, row + (long)stride);
    }
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(&out, "IHDR", header);
    PutChunk(&out, "IDAT", StoredZlib(raw));
    PutChunk(&out, "IEND", {});
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f != nullptr && std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = f != nullptr && std::fclose(f) == 0 && ok;
    if (!ok) {
        std::printf("assetgen: cannot write %s\n", path.c_str());
    }
    return ok;
}

} // namespace

bool WriteDesktopIcon(const std::string& path)
{
    Image icon;
    MakeIconImage(&icon);
    return WritePng(path, icon);
}
