// hud_test.cpp -- the HUD over a rendered frame, the time text, and the end of
// the round with its closing screen and the Y/N answer, on a scripted clock.
#include "tests/render/gl_helpers.h"
#include "tests/render/test_scene.h"

#include "game/game.h"
#include "platform/glfw2/glfw2.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

// Stand-ins for the parts of the game these tests do not run: the look-at step
// sees nothing, and a new round is only counted.
__attribute__((weak)) LookAtReport LookAtAndHold(NewtonWorld*, Player*)
{
    return LookAtReport{};
}
static int startRoundCalls;
__attribute__((weak)) void StartRound(Game*)
{
    ++startRoundCalls;
}

TEST(TimeTextTest, MinutesAndTwoDigitSecondsRoundedHalfToEven)
{
    const struct { float seconds; const char* text; } cases[] = {
        {300.0f, "5:00"}, {65.0f, "1:05"}, {0.0f, "0:00"},  {9.4f, "0:09"},
        {9.6f, "0:10"},   {59.4f, "0:59"}, {59.5f, "1:00"}, {60.5f, "1:00"},
        {0.5f, "0:00"},   {1.5f, "0:02"},  {2.5f, "0:02"},  {299.5f, "5:00"},
        {-0.4f, "0:00"},  {-3.0f, "0:00"},
    };
    for (const auto& c : cases) {
        char text[16];
        FormatTimeLeft(c.seconds, text, (int)sizeof text);
        EXPECT_STREQ(text, c.text) << c.seconds << " s";
    }
}

// The game's font is smoothed: its edges fade from yellow to the black behind.
static bool IsYellowOnBlack(Rgb c)
{
    return c.r > 60 && c.g > 60 && c.b < 30 && std::abs(c.r - c.g) < 30;
}
static bool IsWhite(Rgb c) { return c.r > 230 && c.g > 230 && c.b > 230; }
static bool IsBlue(Rgb c) { return c.b > 150 && c.r < 70 && c.g < 70; }

class HudTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        TestWindow();
        InitShadowMap(&shadowTexture);
        fontTexture = MakeCodeFontTexture();
        crosshairTexture = MakeFrameTexture(32, 32, 0, true);
        powerTexture = MakeFrameTexture(64, 256, 2, false);
        BuildFont(&font, fontTexture, 16.0f, 16.0f, 8);
    }
    void SetUp() override
    {
        game = (Game*)std::calloc(1, sizeof(Game));
        game->window = *TestWindow();
        game->textures[1] = fontTexture;
        game->textures[9] = crosshairTexture;
        game->textures[10] = powerTexture;
        game->font = font;
        game->roundStartTime = 1000.0f;
        Glfw2Script* script = Glfw2GetScript();
        *script = Glfw2Script{};
        script->active = 1;
        script->time = 1000.0;
        startRoundCalls = 0;
    }
    void TearDown() override
    {
        *Glfw2GetScript() = Glfw2Script{};
        std::free(game);
    }
    // The game's own font sheet from Textures/ in place of the stand-in.
    void UseGameFont()
    {
        GLuint textures[kTextureCount] = {};
        LoadTextures(textures, 0.0f);
        game->textures[1] = textures[1];
        BuildFont(&game->font, textures[1], 16.0f, 16.0f, 8);
    }
    // The stand-in scene drawn with shadows, then the HUD over it.
    Picture FrameWithHud()
    {
        MakeTestScene(&scene, Vec3{5.0f, 5.0f, 2.0f}, Vec3{0.0f, 0.0f, -1.0f}, shadowTexture);
        RenderScene(&scene.view);
        DrawHud(game);
        glFinish();
        return ReadPicture(GL_BACK);
    }
    static inline GLuint shadowTexture, fontTexture, crosshairTexture, powerTexture;
    static inline Font font;
    Game* game = nullptr;
    TestScene scene;
};

// Highest row of the bar in the power meter's middle column, -1 when none.
static int BarTop(const Picture& p)
{
    int top = -1;
    for (int y = 2; y < 254; ++y)
        if (IsBlue(p.At(32, y)))
            top = y;
    return top;
}

TEST_F(HudTest, RoundStartShowsScoreTimeCrosshairAndEmptyMeter)
{
    Picture p = FrameWithHud();
    EXPECT_EQ(ReadGlyphCodes(p, 0, 472, 14, IsYellow), Codes("YER SCORE!!! 0"));
    EXPECT_EQ(ReadGlyphCodes(p, 0, 464, 22, IsYellow), Codes("Time remaining... 5:00"));
    // Yellow in the two top lines only within each text's width.
    HudInk ink = ReadHudInk(p, IsYellow);
    EXPECT_EQ(ink.stray, 0);
    EXPECT_GT(ink.score + ink.time, 36);

    // The crosshair, 20 pixels square on the centre of the window, and the
    // power frame, 64 by 256 in the bottom-left corner, with no bar inside.
    const struct { int x, y; bool white; } marks[] = {
        {320, 240, true},  {310, 230, true},  {329, 249, true},  {309, 240, false},
        {330, 240, false}, {320, 229, false}, {320, 250, false}, {0, 128, true},
        {63, 128, true},   {32, 255, true},   {32, 0, true},     {64, 128, false},
        {32, 256, false},
    };
    for (const auto& m : marks)
        EXPECT_EQ(IsWhite(p.At(m.x, m.y)), m.white) << m.x << "," << m.y;
    EXPECT_EQ(BarTop(p), -1);
    EXPECT_EQ(GlInteger(GL_MATRIX_MODE), GL_MODELVIEW);
}

TEST_F(HudTest, ScoreAndTimeFollowThePlay)
{
    game->player.score = 125;
    Glfw2GetScript()->time = 1000.0 + 290.6;   // 9.4 s left
    Picture p = FrameWithHud();
    EXPECT_EQ(ReadGlyphCodes(p, 0, 472, 16, IsYellow), Codes("YER SCORE!!! 125"));
    EXPECT_EQ(ReadGlyphCodes(p, 0, 464, 22, IsYellow), Codes("Time remaining... 0:09"));
    Glfw2GetScript()->time = 1000.0 + 290.4;   // 9.6 s left
    EXPECT_EQ(ReadGlyphCodes(FrameWithHud(), 0, 464, 22, IsYellow),
              Codes("Time remaining... 0:10"));
}

TEST_F(HudTest, PowerBarRisesWithPowerWhileABallIsHeld)
{
    static int ball;
    game->player.heldBody = (NewtonBody*)&ball;
    // Bar heights 122, 244 and 4.88 pixels (2 percent of 244): the top row covered.
    const struct { float power; int topRow; } cases[] = {{12.5f, 121}, {25.0f, 243}, {0.5f, 4}};
    for (const auto& c : cases) {
        game->player.power = c.power;
        Picture p = FrameWithHud();
        EXPECT_EQ(BarTop(p), c.topRow) << "power " << c.power;
        EXPECT_TRUE(IsBlue(p.At(2, 2)));
        EXPECT_TRUE(IsWhite(p.At(32, 255)));   // the frame is drawn over the bar
    }
    game->player.heldBody = nullptr;
    EXPECT_EQ(BarTop(FrameWithHud()), -1);
}

// Reads the closing screen once it is shown, then answers after a while.
struct Answerer {
    int answerAfter;
    int keys[2];
    int polls = 0;
    Picture shown;
    static void OnPoll(void* user)
    {
        Answerer* a = (Answerer*)user;
        // The first poll comes from the swap that shows the screen. Xvfb's
        // front buffer reads back black; llvmpipe keeps the swapped back buffer.
        if (a->polls == 0)
            a->shown = ReadPicture(GL_BACK);
        if (++a->polls == a->answerAfter)
            for (int key : a->keys)
                if (key)
                    Glfw2GetScript()->keys[key] = 1;
    }
};

static void ExpectClosingScreen(const Picture& p, const std::string& scoreLine)
{
    const std::initializer_list<TextLine> lines = {
        {"TIME'S UP!!!", 320 - 48, 256},
        {scoreLine.c_str(), 320 - 4 * (int)scoreLine.size(), 240},
        {"Thanks for playing!", 320 - 76, 224},
        {"You wanna play again? Y/N", 320 - 100, 208},
    };
    for (const TextLine& line : lines) {
        int count = (int)std::strlen(line.text);
        EXPECT_EQ(ReadGlyphCodes(p, line.x, line.y, count, IsYellow), Codes(line.text))
            << line.text;
    }
    // Nothing else: black wherever no line is written.
    EXPECT_EQ(InkOutside(p, lines), 0);
}

// At exactly 300 seconds the round plays on, at once and without a poll (its N
// would answer a screen shown too early). Past them the closing screen waits
// for a key: Yes (given once the screen has stayed up a while) starts a new
// round; No ends the game, and wins over Yes.
TEST_F(HudTest, RoundEndsPastThreeHundredSecondsOnTheClosingScreenWithYesOrNo)
{
    const struct { double time; int keys[2], answerAfter, score, again, quit; } cases[] = {
        {1300.0, {'N', 0}, 1, 0, 0, 0},  {1300.01, {'Y', 0}, 40, 1234, 1, 0},
        {1300.01, {'N', 0}, 1, 0, 0, 1}, {1300.01, {'Y', 'N'}, 1, 0, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "keys " << c.keys[0] << " " << c.keys[1]);
        game->player.score = c.score;
        Glfw2GetScript()->time = c.time;
        FrameWithHud();
        Answerer answer{c.answerAfter, {c.keys[0], c.keys[1]}, 0, Picture{}};
        Glfw2GetScript()->onPoll = Answerer::OnPoll;
        Glfw2GetScript()->user = &answer;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(CheckEndOfRound(game), c.again);
        std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(startRoundCalls, c.again);
        EXPECT_EQ(game->quitRequested, c.quit);
        if (c.time > 1300.0) {
            EXPECT_GE(seconds.count(), 0.95);   // a second's pause before the screen
            EXPECT_GE(answer.polls, c.answerAfter);
            ExpectClosingScreen(answer.shown, "Your final score was " + std::to_string(c.score));
        } else {
            EXPECT_LT(seconds.count(), 0.5);
            EXPECT_EQ(answer.polls, 0);
        }
        TearDown();
        SetUp();
    }
}

// With the game's own font.
TEST_F(HudTest, GameFontTextStaysInsideItsLines)
{
    UseGameFont();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawHud(game);
    HudInk ink = ReadHudInk(ReadPicture(GL_BACK), IsYellowOnBlack);
    EXPECT_EQ(ink.stray, 0);
    EXPECT_GT(ink.score, 40);
    EXPECT_GT(ink.time, 60);
}

// The first round's hint, centred low over the scene, until the first throw or
// for 20 s; the HUD's own lines stay as they were.
TEST_F(HudTest, HintShowsUntilTheFirstThrowOrForTwentySeconds)
{
    const int length = (int)std::strlen(kHintText);
    const int x = 320 - 4 * length, y = 40;
    const struct { int hint, throws; double after; bool shown; } cases[] = {
        {1, 0, 0.0, true}, {1, 0, 19.9, true}, {1, 0, 20.0, false},
        {1, 1, 1.0, false}, {0, 0, 0.0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "hint " << c.hint << " throws " << c.throws << " after "
                                        << c.after << " s");
        game->hintThisRound = c.hint;
        game->player.throws = c.throws;
        Glfw2GetScript()->time = 1000.0 + c.after;
        Picture p = FrameWithHud();
        int yellow = 0;
        for (int row = y; row < y + 8; ++row)
            for (int column = x; column < x + 8 * length; ++column)
                yellow += IsYellow(p.At(column, row));
        if (c.shown)
            EXPECT_EQ(ReadGlyphCodes(p, x, y, length, IsYellow), Codes(kHintText));
        else
            EXPECT_EQ(yellow, 0);
        EXPECT_EQ(ReadGlyphCodes(p, 0, 472, 14, IsYellow), Codes("YER SCORE!!! 0"));
        EXPECT_EQ(ReadHudInk(p, IsYellow).stray, 0);
    }
}

// Over a white scene (the tray's light wood, at its lightest) each line of the
// HUD keeps its yellow and gains a dark rim that text without one lacks.
TEST_F(HudTest, ScoreTimeAndHintReadOverALightSceneByTheirDarkRim)
{
    UseGameFont();
    game->hintThisRound = 1;
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    DrawHud(game);
    Picture p = ReadPicture(GL_BACK);
    const struct { const char* text; int x, y; } lines[] = {
        {"YER SCORE!!! 0", 0, 472},
        {"Time remaining... 5:00", 0, 464},
        {kHintText, 320 - 4 * (int)std::strlen(kHintText), 40},
    };
    for (const auto& line : lines) {
        int yellow = 0, dark = 0, width = 8 * (int)std::strlen(line.text);
        for (int row = line.y - 1; row < line.y + 9; ++row)
            for (int column = line.x - 1; column <= line.x + width; ++column) {
                Rgb c = p.At(column < 0 ? 0 : column, row > 479 ? 479 : row);
                yellow += c.r > 200 && c.g > 200 && c.b < 80;
                dark += c.r < 80 && c.g < 80 && c.b < 80;
            }
        EXPECT_GT(yellow, 3 * (int)std::strlen(line.text)) << line.text;
        EXPECT_GT(dark, yellow / 2) << line.text;
    }
}