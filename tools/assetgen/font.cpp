// font.cpp -- glyphs drawn with FreeType: the HUD font sheet and the labels on
// other images.
#include "tools/assetgen/assetgen.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cstdio>

// One loaded face at one pixel size; null face when the font could not be opened.
struct FontFace {
    FT_Library library;
    FT_Face face;
};

static bool OpenFont(const std::string& fontPath, int pixelWidth, int pixelHeight,
                     FontFace* font)
{
    font->library = nullptr;
    font->face = nullptr;
    if (FT_Init_FreeType(&font->library) != 0) {
        std::printf("assetgen: FreeType did not start\n");
        return false;
    }
    if (FT_New_Face(font->library, fontPath.c_str(), 0, &font->face) != 0) {
        std::printf("assetgen: cannot open font %s\n", fontPath.c_str());
        FT_Done_FreeType(font->library);
        return false;
    }
    FT_Set_Pixel_Sizes(font->face, (FT_UInt)pixelWidth, (FT_UInt)pixelHeight);
    return true;
}

static void CloseFont(FontFace* font)
{
    FT_Done_Face(font->face);
    FT_Done_FreeType(font->library);
}

bool RenderText(const std::string& fontPath, const std::string& text, int pixelWidth,
                int pixelHeight, GlyphBitmap* out)
{
    FontFace font;
    if (!OpenFont(fontPath, pixelWidth, pixelHeight, &font)) {
        return false;
    }
    // A generous canvas with the baseline in its middle; trimmed to the ink below.
    int canvasW = pixelWidth * ((int)text.size() + 2);
    int canvasH = pixelHeight * 3;
    int baseline = pixelHeight * 2;
    std::vector<uint8_t> canvas((size_t)canvasW * canvasH, 0);
    int pen = pixelWidth;
    for (unsigned char c : text) {
        if (FT_Load_Char(font.face, c, FT_LOAD_RENDER) != 0) {
            continue;
        }
        FT_GlyphSlot g = font.face->glyph;
        for (unsigned j = 0; j < g->bitmap.rows; ++j) {
            for (unsigned i = 0; i < g->bitmap.width; ++i) {
                int x = pen + g->bitmap_left + (int)i;
                int y = baseline - g->bitmap_top + (int)j;
                if (x < 0 || y < 0 || x >= canvasW || y >= canvasH) {
                    continue;
                }
                uint8_t v = g->bitmap.buffer[j * g->bitmap.pitch + i];
                uint8_t& dst = canvas[(size_t)y * canvasW + x];
                dst = std::max(dst, v);
            }
        }
        pen += (int)(g->advance.x >> 6);
    }
    CloseFont(&font);
    int x0 = canvasW, y0 = canvasH, x1 = -1, y1 = -1;
    for (int y = 0; y < canvasH; ++y) {
        for (int x = 0; x < canvasW; ++x) {
            if (canvas[(size_t)y * canvasW + x] != 0) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
        }
    }
    if (x1 < 0) {
        std::printf("assetgen: no ink for text \"%s\"\n", text.c_str());
        return false;
    }
    out->width = x1 - x0 + 3;
    out->height = y1 - y0 + 3;
    out->coverage.assign((size_t)out->width * out->height, 0);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            out->coverage[(size_t)(y - y0 + 1) * out->width + (x - x0 + 1)] =
                canvas[(size_t)y * canvasW + x];
        }
    }
    return true;
}

// The HUD prints 8-pixel glyphs from 16-pixel cells: the GPU reads them from the
// half-size mipmap, 8 texels a cell. Each cell keeps its ink in a 14-pixel box
// at its lower left and leaves a transparent band of 2 pixels along its top and
// right edges: one whole texel of the half-size image, so no glyph's ink shares
// a texel or a filter footprint with a neighbour there (a space would otherwise
// print as a line from the glyph under it). The glyph is drawn wide and tall
// enough to fill its box and stay readable at half size.
enum { kCell = 16, kGap = 2, kInk = kCell - kGap };
enum { kGlyphEmWidth = 18, kGlyphEmHeight = 13, kBaseline = kGap + 11 };

static bool HasGlyph(unsigned code)
{
    return (code >= 32 && code < 127) || code >= 160;
}

// Strokes thickened by this much (26.6 pixels), so that at half size a stroke
// still covers whole texels and the text stays a solid colour.
static const FT_Pos kEmbolden = 32;

static void DrawGlyphInCell(FT_Face face, unsigned code, Image* out)
{
    if (!HasGlyph(code) || FT_Load_Char(face, code, FT_LOAD_NO_BITMAP) != 0) {
        return;
    }
    FT_GlyphSlot g = face->glyph;
    if (g->format != FT_GLYPH_FORMAT_OUTLINE ||
        FT_Outline_Embolden(&g->outline, kEmbolden) != 0 ||
        FT_Render_Glyph(g, FT_RENDER_MODE_NORMAL) != 0) {
        return;
    }
    int cellX = (int)(code % 16) * kCell;
    int cellY = (int)(code / 16) * kCell;
    int advance = (int)(g->advance.x >> 6);
    int pen = (kInk - advance) / 2;
    for (unsigned j = 0; j < g->bitmap.rows; ++j) {
        for (unsigned i = 0; i < g->bitmap.width; ++i) {
            int x = pen + g->bitmap_left + (int)i;
            int y = kBaseline - g->bitmap_top + (int)j;
            if (x < 0 || y < kGap || x >= kInk || y >= kCell) {
                continue; // the gap stays clear
            }
            double a = g->bitmap.buffer[j * g->bitmap.pitch + i] / 255.0;
            ImageSet(out, cellX + x, cellY + y, 1.0, 1.0, 1.0, a);
        }
    }
}

bool MakeFontImage(const std::string& fontPath, Image* out)
{
    ImageInit(out, 256, 256);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            ImageSet(out, x, y, 1.0, 1.0, 1.0, 0.0); // white, transparent
        }
    }
    FontFace font;
    if (!OpenFont(fontPath, kGlyphEmWidth, kGlyphEmHeight, &font)) {
        return false;
    }
    for (unsigned code = 0; code < 256; ++code) {
        DrawGlyphInCell(font.face, code, out);
    }
    CloseFont(&font);
    return true;
}
