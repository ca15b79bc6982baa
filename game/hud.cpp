// hud.cpp -- the score, the time left, the first round's hint, the crosshair and
// the power meter over the scene, and the closing screen when the round's time is up.
#include "game/game.h"

#include "platform/console/console.h"
#include "platform/glfw2/glfw2.h"

#include <cmath>
#include <cstdio>
#include <cstring>

enum { kKeyN = 78, kKeyY = 89 };
static const float kPowerMax = 25.0f;
static const float kPowerBarFull = 244.0f;   // pixels, inside the 256-pixel frame
static const int kMaxShownSeconds = 99 * 60 + 59;

void FormatTimeLeft(float remainingSeconds, char* text, int size)
{
    // Whole seconds, halves to even. The last pass of a round may run a moment
    // past the end; the clock then reads 0:00 rather than a negative time.
    long rounded = std::lrint(remainingSeconds);
    int remaining = rounded < 0 ? 0 : rounded > kMaxShownSeconds ? kMaxShownSeconds : (int)rounded;
    int minutes = remaining / 60;
    int seconds = remaining - 60 * minutes;
    std::snprintf(text, (size_t)size, "%d:%s%d", minutes, seconds < 10 ? "0" : "", seconds);
}

double RoundElapsed(const Game* game)
{
    return glfwGetTime() - game->roundStartTime;
}

// All game text is yellow, in the font built on texture-table entry 1.
static void PrintYellow(Game* game, const char* text, float x, float y)
{
    PrintText(text, &game->font, x, y, 1, 1, 0, &game->window);
}

// Text over the scene: a black copy a pixel to each side under the yellow, so
// that it reads over the light wood of the tray as well as over the bricks.
static void PrintOutlined(Game* game, const char* text, float x, float y)
{
    const float offsets[4][2] = {{-1.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, -1.0f}, {0.0f, 1.0f}};
    for (const auto& offset : offsets)
        PrintText(text, &game->font, x + offset[0], y + offset[1], 0, 0, 0, &game->window);
    PrintYellow(game, text, x, y);
}

const char* const kHintText = "Look down for the balls: right button grabs, left throws";

// The hint of a player's first round, centred low over the scene, clear of
// the crosshair, the power meter and a held ball, until the first throw or
// for the round's first seconds.
static void DrawHint(Game* game, double elapsed)
{
    if (!game->hintThisRound || game->player.throws > 0 || !(elapsed < (double)kHintSeconds))
        return;
    int length = (int)std::strlen(kHintText);
    PrintOutlined(game, kHintText, (float)(game->window.width / 2 - 4 * length), 40.0f);
}

static void DrawHudText(Game* game)
{
    char time[32];
    char line[64];
    float height = (float)game->window.height;
    double elapsed = RoundElapsed(game);
    std::snprintf(line, sizeof line, "YER SCORE!!! %d", game->player.score);
    PrintOutlined(game, line, 0.0f, height - 8.0f);
    FormatTimeLeft((float)(kRoundLength - elapsed), time, (int)sizeof time);
    std::snprintf(line, sizeof line, "Time remaining... %s", time);
    PrintOutlined(game, line, 0.0f, height - 16.0f);
    DrawHint(game, elapsed);
}

static void TexturedQuad(float left, float bottom, float right, float top)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(left, top, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(left, bottom, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(right, bottom, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(right, top, 0.0f);
    glEnd();
}

static void DrawCrosshair(Game* game)
{
    glPushMatrix();
    glTranslatef((float)(game->window.width / 2), (float)(game->window.height / 2), 0.0f);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, game->textures[9]);
    TexturedQuad(-10.0f, -10.0f, 10.0f, 10.0f);
    glPopMatrix();
}

// The bar only while a ball is held; its frame always, over the bar.
static void DrawPowerMeter(Game* game)
{
    if (game->player.heldBody) {
        float percent = std::nearbyint(game->player.power / kPowerMax * 100.0f);
        float barHeight = percent * kPowerBarFull / 100.0f;
        glColor4f(0.0f, 0.0f, 1.0f, 0.75f);
        glDisable(GL_TEXTURE_2D);
        glBegin(GL_QUADS);
        glVertex3f(1.0f, barHeight, 0.0f);
        glVertex3f(1.0f, 0.0f, 0.0f);
        glVertex3f(63.0f, 0.0f, 0.0f);
        glVertex3f(63.0f, barHeight, 0.0f);
        glEnd();
    }
    glEnable(GL_TEXTURE_2D);
    glColor3f(1.0f, 1.0f, 1.0f);
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, game->textures[10]);
    TexturedQuad(0.0f, 0.0f, 64.0f, 256.0f);
    glPopMatrix();
}

void DrawHud(Game* game)
{
    DrawHudText(game);

    BeginWindowPixels(&game->window);
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    DrawCrosshair(game);
    DrawPowerMeter(game);

    EndWindowPixels();
}

static void PrintCentred(Game* game, const char* text, int halfWidth, int y)
{
    PrintYellow(game, text, (float)(halfWidth - 4 * (int)std::strlen(text)), (float)y);
}

// Above the crosshair, centred as the closing screen's lines are, on a dark
// band that keeps it legible over the bright backboard.
void DrawPausedLine(Game* game)
{
    static const char kPaused[] = "Paused - press P to play on";
    int length = (int)sizeof kPaused - 1;
    float x = (float)(game->window.width / 2 - 4 * length);
    float y = (float)(game->window.height / 2 + 48);
    BeginWindowPixels(&game->window);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.0f, 0.0f, 0.0f, 0.85f);
    glBegin(GL_QUADS);
    glVertex3f(x - 6.0f, y + 14.0f, 0.0f);
    glVertex3f(x - 6.0f, y - 6.0f, 0.0f);
    glVertex3f(x + 8.0f * (float)length + 6.0f, y - 6.0f, 0.0f);
    glVertex3f(x + 8.0f * (float)length + 6.0f, y + 14.0f, 0.0f);
    glEnd();
    EndWindowPixels();
    PrintYellow(game, kPaused, x, y);
}

// Below the question, apart from it: the best score and this round's place.
static void DrawPlaceLines(Game* game, int halfWidth, int y)
{
    char line[64];
    if (game->roundPlace < 0)
        return;   // the scores are not kept
    if (game->roundPlace == 1) {
        PrintCentred(game, "New best score!", halfWidth, y);
        return;
    }
    std::snprintf(line, sizeof line, "Best score: %d", game->bestScore);
    PrintCentred(game, line, halfWidth, y);
    if (game->roundPlace > 0)
        std::snprintf(line, sizeof line, "This round is number %d of the best %d",
                      game->roundPlace, (int)kScoresKept);
    else
        std::snprintf(line, sizeof line, "This round is not among the best %d", (int)kScoresKept);
    PrintCentred(game, line, halfWidth, y - 16);
}

// Each line is centred for the font's 8-pixel advance: 4 pixels per character.
static void DrawClosingScreen(Game* game)
{
    int halfWidth = game->window.width / 2;
    int halfHeight = game->window.height / 2;
    char finalScore[64];
    int length = std::snprintf(finalScore, sizeof finalScore, "Your final score was %d",
                               game->player.score);

    BeginGameFrame(&game->window);
    glClear(GL_COLOR_BUFFER_BIT);
    PrintYellow(game, "TIME'S UP!!!", (float)(halfWidth - 48), (float)(halfHeight + 16));
    PrintYellow(game, finalScore, (float)(halfWidth - 4 * length), (float)halfHeight);
    PrintYellow(game, "Thanks for playing!", (float)(halfWidth - 76), (float)(halfHeight - 16));
    PrintYellow(game, "You wanna play again? Y/N", (float)(halfWidth - 100),
                (float)(halfHeight - 32));
    DrawPlaceLines(game, halfWidth, halfHeight - 56);
    PresentGameFrame(&game->window);
    glfwSwapBuffers();
}

// Blocks until Y or N; N wins when both are down. 1 for yes. Closing the
// window answers no: the game ends as it does from play. A window resized
// meanwhile gets the screen drawn again at its new size.
static int WaitForAnswer(Game* game)
{
    for (;;) {
        if (!glfwGetWindowParam(GLFW_OPENED))
            return 0;
        int yes = glfwGetKey(kKeyY);
        int no = glfwGetKey(kKeyN);
        if (no)
            return 0;
        if (yes)
            return 1;
        glfwPollEvents();
        if (GameFrameOutdated())
            DrawClosingScreen(game);
        ConsoleSleep(1);
    }
}

int CheckEndOfRound(Game* game)
{
    // Exactly 300 seconds still plays on.
    if (!(RoundElapsed(game) > (double)kRoundLength))
        return 0;
    if (KeepRoundEnd(game)) {
        game->quitRequested = 1;   // a replay that ends with this round
        return 0;
    }
    ConsoleWait(1000);
    DrawClosingScreen(game);
    if (WaitForAnswer(game)) {
        StartRound(game);
        return 1;
    }
    game->quitRequested = 1;
    return 0;
}
