// font.cpp -- text from a 16 x 16 grid of glyphs in one texture, one display
// list per character.
#include "render/render.h"

#include <cstring>

// One glyph cell as a square of glyphSize pixels, then a pen move to the right.
static void CompileGlyph(GLuint list, float x, float y, float cw, float ch, int glyphSize)
{
    glNewList(list, GL_COMPILE);
    glBegin(GL_QUADS);
    glTexCoord2d(x * cw, (y + 1.0f) * ch);
    glVertex2i(0, glyphSize);
    glTexCoord2d(x * cw, y * ch);
    glVertex2i(0, 0);
    glTexCoord2d((x + 1.0f) * cw, y * ch);
    glVertex2i(glyphSize, 0);
    glTexCoord2d((x + 1.0f) * cw, (y + 1.0f) * ch);
    glVertex2i(glyphSize, glyphSize);
    glEnd();
    glTranslated(glyphSize, 0, 0);
    glEndList();
}

void BuildFont(GLuint* listBase, GLuint texture, float columns, float rows, int glyphSize)
{
    (void)texture;   // bound when printing, not while building
    float cw = 1.0f / columns;
    float ch = 1.0f / rows;
    glPushMatrix();
    // Cells are numbered from the top-left of the image, whose t axis rises
    // from the bottom: the top row of glyphs has the highest t.
    GLuint n = 0;
    for (float y = rows - 1.0f; y >= 0.0f; y -= 1.0f) {
        for (float x = 0.0f; x <= columns - 1.0f; x += 1.0f) {
            CompileGlyph(*listBase + n, x, y, cw, ch, glyphSize);
            ++n;
        }
    }
    glPopMatrix();
}

void PrintText(const char* text, GLuint texture, GLuint listBase, float x, float y, int red,
               int green, int blue, const WindowSettings* windowSize)
{
    GLsizei length = (GLsizei)std::strlen(text);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPolygonMode(GL_FRONT, GL_FILL);

    BeginWindowPixels(windowSize);

    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glTranslated(x, y, 0.0);
    glColor3f((float)red, (float)green, (float)blue);

    glListBase(listBase);
    glCallLists(length, GL_UNSIGNED_BYTE, text);

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
