// shot.cpp -- the X screen, or one window, as a PNG file, for the end-to-end
// scripts' screenshots: what ImageMagick's import does, in a tenth of its time
// (no start-up of a whole image library, and the lightest compression).
//   e2e_shot FILE.png [WINDOW]
// Reads $DISPLAY; WINDOW is an X window id (decimal or 0x hex), the root
// window without one.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <zlib.h>

static void PutBigEndian(std::vector<unsigned char>* out, unsigned long value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back((unsigned char)(value >> shift));
}

static void Chunk(std::vector<unsigned char>* out, const char* type,
                  const std::vector<unsigned char>& data)
{
    PutBigEndian(out, data.size());
    size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data.begin(), data.end());
    uLong crc = crc32(0L, out->data() + start, (uInt)(out->size() - start));
    PutBigEndian(out, crc);
}

static int Shift(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: e2e_shot FILE.png [WINDOW]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "e2e_shot: cannot open the display\n");
        return 1;
    }
    Window window = argc == 3 ? (Window)std::strtoul(argv[2], nullptr, 0)
                              : DefaultRootWindow(display);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes)) {
        std::fprintf(stderr, "e2e_shot: no window %s\n", argv[2]);
        return 1;
    }
    int width = attributes.width, height = attributes.height;
    XImage* image = XGetImage(display, window, 0, 0, (unsigned)width, (unsigned)height, AllPlanes,
                              ZPixmap);
    if (!image) {
        std::fprintf(stderr, "e2e_shot: the window could not be read\n");
        return 1;
    }
    int rs = Shift(image->red_mask), gs = Shift(image->green_mask), bs = Shift(image->blue_mask);
    unsigned long rm = image->red_mask >> rs, gm = image->green_mask >> gs,
                  bm = image->blue_mask >> bs;
    // Rows of RGB, each after its filter byte (0: none).
    std::vector<unsigned char> raw((size_t)height * (size_t)(1 + 3 * width));
    unsigned char* p = raw.data();
    for (int y = 0; y < height; ++y) {
        *p++ = 0;
        for (int x = 0; x < width; ++x) {
            unsigned long pixel = XGetPixel(image, x, y);
            *p++ = (unsigned char)(((pixel >> rs) & rm) * 255 / (rm ? rm : 1));
            *p++ = (unsigned char)(((pixel >> gs) & gm) * 255 / (gm ? gm : 1));
            *p++ = (unsigned char)(((pixel >> bs) & bm) * 255 / (bm ? bm : 1));
        }
    }
    XDestroyImage(image);
    XCloseDisplay(display);

    uLongf packedSize = compressBound((uLong)raw.size());
    std::vector<unsigned char> packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), (uLong)raw.size(), 1) != Z_OK) {
        std::fprintf(stderr, "e2e_shot: compression failed\n");
        return 1;
    }
    packed.resize(packedSize);

    std::vector<unsigned char> header;
    PutBigEndian(&header, (unsigned long)width);
    PutBigEndian(&header, (unsigned long)height);
    const unsigned char rest[5] = {8, 2, 0, 0, 0};   // 8 bits, RGB, deflate, no filter, no interlace
    header.insert(header.end(), rest, rest + 5);
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    std::vector<unsigned char> file(signature, signature + 8);
    Chunk(&file, "IHDR", header);
    Chunk(&file, "IDAT", packed);
    Chunk(&file, "IEND", {});

    FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "e2e_shot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
