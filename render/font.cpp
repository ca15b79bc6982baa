// font.cpp -- text from a 16 x 16 grid of glyphs in one texture, a textured
// square per character.
#include "render/render.h"

void BuildFont(Font* font, GLuint texture, float columns, float rows, int glyphSize)
{
    font->texture = texture;
    font->columns = columns;
    font->rows = rows;
    font->glyphSize = glyphSize;
}

// One glyph cell as a square of glyphSize pixels with its left edge at x.
// Cells are numbered from the top-left of the image, whose t axis rises from
// the bottom: the top row of glyphs has the highest t.
static void GlyphQuad(const Font* font, unsigned char code, int x)
{
    int columns = (int)font->columns;
    float cw = 1.0f / font->columns;
    float ch = 1.0f / font->rows;
    float column = (float)(code % columns);
    float row = font->rows - 1.0f - (float)(code / columns);
    int size = font->glyphSize;
    glTexCoord2f(column * cw, (row + 1.0f) * ch);
    glVertex2i(x, size);
    glTexCoord2f(column * cw, row * ch);
    glVertex2i(x, 0);
    glTexCoord2f((column + 1.0f) * cw, row * ch);
    glVertex2i(x + size, 0);
    glTexCoord2f((column + 1.0f) * cw, (row + 1.0f) * ch);
    glVertex2i(x + size, size);
}

void PrintText(const char* text, const Font* font, float x, float y, int red, int green,
               int blue, const WindowSettings* windowSize)
{
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, font->texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPolygonMode(GL_FRONT, GL_FILL);

    BeginWindowPixels(windowSize);

    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glTranslated(x, y, 0.0);
    glColor3f((float)red, (float)green, (float)blue);

    // One batch of quads for the whole line. (A display list a glyph, called
    // with glCallLists, cost llvmpipe a copy of megabytes per line drawn
    // straight into the window after the shadowed scene: 50 ms a frame.)
    int cells = (int)(font->columns * font->rows);
    glBegin(GL_QUADS);
    int pen = 0;
    for (const char* c = text; *c; ++c) {
        unsigned char code = (unsigned char)*c;
        if (code >= cells)
            continue;
        GlyphQuad(font, code, pen);
        pen += font->glyphSize;
    }
    glEnd();

    EndWindowPixels();
    glEnable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
}

void BeginWindowPixels(const WindowSettings* windowSize)
{
    // Window pixels from the bottom-left corner; the projection stays identity.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, windowSize->width, 0.0, windowSize->height, -1.0, 1.0);
}

void EndWindowPixels()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
