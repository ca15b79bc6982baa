// game_frame_test.cpp -- the real game's first frame, started as the player
// starts it: the table and balls in view and lit, the table's shadows, and the
// HUD over them.
#include "tests/render/gl_helpers.h"

#include "game/game.h"
#include "platform/glfw2/glfw2.h"
#include "sound/sound.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

class GameFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("ALSOFT_DRIVERS", "null", 0);   // no sound card needed
        Glfw2Script* script = Glfw2GetScript();
        script->active = 1;
        script->time = 10.0;
        script->mouseX = 320;
        script->mouseY = 240;
        game = (Game*)std::calloc(1, sizeof(Game));
        // A player who turned the sound down and wants the hint every round.
        Settings settings;
        DefaultSettings(&settings);
        settings.volume = 40;
        settings.hints = 1;
        GameStartUp(game, &settings);
        shadowsFound = shadowsEnabled;
        StartRound(game);
        script->time += 1.0 / 60.0;
        RunFrame(game);
        glFinish();
        // llvmpipe keeps the back buffer through the swap: this is the frame shown.
        firstFrame = new Picture(ReadPicture(GL_BACK, &game->window));
    }
    // The scene again from the same state (no physics, no HUD), read back; the
    // player's view frame, which every frame turns, is put back.
    static Picture Redraw()
    {
        const Player player = game->player;
        SceneView view = GameSceneView(game);
        RenderScene(&view);
        glFinish();
        game->player = player;
        return ReadPicture(GL_BACK, &game->window);
    }
    static void Project(Vec3 p, int* x, int* y)
    {
        Vec3 eye = game->player.frame.position;
        Mat4 view = LookAtMatrix(eye, Vec3Add(eye, game->player.forward), game->player.up);
        ProjectPoint(view, *game->cameraProjection, game->window, p, x, y);
    }
    static inline Game* game;
    static inline int shadowsFound;
    static inline Picture* firstFrame;
};

TEST_F(GameFrameTest, TableAndBallsAreInViewAndLit)
{
    // The lit pass alone (shadows are another test's), and the same view with
    // light 0 giving only its ambient part.
    shadowsEnabled = 0;
    const LightSettings light = game->light;
    for (float& part : game->light.diffuse)
        part = 0.0f;
    Picture ambientOnly = Redraw();
    game->light = light;
    Picture lit = Redraw();

    int ballsInView = 0;
    for (int k = 1; k < kObjectCount; ++k) {
        int x, y;
        Vec3 centre = Mat4Position(game->objects[k].matrix);
        Project(centre, &x, &y);
        if (x < 70 || x >= 630 || y < 5 || y >= 460)
            continue;   // below the view, under the power meter or past the HUD text
        ++ballsInView;
        // Seen: the pixels change when the ball is taken out of the scene.
        game->objects[k].matrix->m[13] = -100.0f;
        Picture without = Redraw();
        game->objects[k].matrix->m[13] = centre.y;
        float here = MeanLuminance(lit, x, y, 4), gone = MeanLuminance(without, x, y, 4);
        EXPECT_GT(std::fabs(here - gone), 10.0f) << "ball " << k;
    }
    EXPECT_GE(ballsInView, 2);

    // Lit, shown on the lane beyond the tray, to the side of the ball column
    // (the balls are black eight balls: light barely shows on them). The
    // light's diffuse part, which faces the lane from above, adds over a third
    // to the ambient part; a light that misses the lane adds nothing.
    int x, y;
    Project(Vec3{0.8f, 0.67f, 0.0f}, &x, &y);
    ASSERT_TRUE(x > 5 && x < 635 && y > 5 && y < 475) << x << "," << y;
    EXPECT_GT(MeanLuminance(*firstFrame, x, y, 3), 40.0f);
    float lane = MeanLuminance(lit, x, y, 3), laneAmbient = MeanLuminance(ambientOnly, x, y, 3);
    EXPECT_GT(lane, 1.3f * laneAmbient) << lane << " lit, " << laneAmbient << " by ambient light";
    shadowsEnabled = shadowsFound;
}

TEST_F(GameFrameTest, ShadowsDarkenOnlyWhatTheLightCannotSee)
{
    ASSERT_EQ(shadowsFound, -1) << "this driver gives no shadows";
    const Player saved = game->player;
    // From the back left corner of the room, over the floor behind the table,
    // which the tall backboard block hides from the light; no mouse turn.
    AimPlayer(&game->player, Vec3{-3.0f, 6.0f, -12.0f}, Vec3{0.3f, 0.0f, -11.0f});
    game->player.pitch = game->player.yaw = game->player.roll = 0.0f;
    shadowsEnabled = -1;
    Picture shadowed = Redraw();
    shadowsEnabled = 0;
    Picture plain = Redraw();
    shadowsEnabled = shadowsFound;
    int x, y;
    Project(Vec3{0.3f, 0.0f, -11.0f}, &x, &y);
    game->player = saved;

    int darker = 0, brighter = 0;
    for (int py = 0; py < plain.height; ++py)
        for (int px = 0; px < plain.width; ++px) {
            float on = Luminance(shadowed.At(px, py)), off = Luminance(plain.At(px, py));
            if (on < 0.8f * off && off > 20.0f)
                ++darker;
            if (on > off + 4.0f)
                ++brighter;
        }
    EXPECT_GT(darker, 5000);
    EXPECT_EQ(brighter, 0);
    ASSERT_TRUE(x > 5 && x < 635 && y > 5 && y < 475) << x << "," << y;
    float on = MeanLuminance(shadowed, x, y, 3), off = MeanLuminance(plain, x, y, 3);
    EXPECT_GT(off, 20.0f);
    EXPECT_LT(on, 0.8f * off) << on << " with shadows, " << off << " without";
}

TEST_F(GameFrameTest, HudTextSitsInTheTopLeftAndTheHintLowOverTheScene)
{
    HudInk ink = ReadHudInk(*firstFrame, IsYellow);
    EXPECT_EQ(ink.stray, 0);
    EXPECT_GT(ink.score + ink.time, 50);
    // The hint's row, centred, and nothing yellow just above or below it.
    const int width = 8 * (int)std::strlen(kHintText), left = 320 - width / 2;
    int hint = 0, around = 0;
    for (int y = 30; y < 58; ++y)
        for (int x = left; x < left + width; ++x)
            (y >= 40 && y < 48 ? hint : around) += IsYellow(firstFrame->At(x, y));
    EXPECT_GT(hint, 150);
    EXPECT_EQ(around, 0);
}

TEST_F(GameFrameTest, TheVolumeIsTheListenersGain)
{
    EXPECT_FLOAT_EQ(GetListenerGain(), 0.4f);
}
