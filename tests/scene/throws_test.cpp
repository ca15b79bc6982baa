// throws_test.cpp -- the scripted throws of tests/scene/throws.txt played through
// the game from its start-up: each scores its kind of hole with the ball thrown.
// How six overlapping balls spill into the tray at a round start depends on the
// physics world's whole history, and a grab can knock a neighbour out of the
// tray onto the lane; so these throws run in a process of their own, from the
// same start every time.
#include "sound/sound.h"
#include "tests/scene/scene_play.h"

#include <cstdio>
#include <gtest/gtest.h>

// Grabs the nearest ball the look ray reaches, aims, holds it while the power
// rises and throws. Returns the ball thrown.
static SceneObject* ThrowNearestBall(const ScriptedThrow& t)
{
    Player* p = &game->player;
    Vec3 eye = BodyPosition(p->body);
    SceneObject* ball = nullptr;
    float nearest = 1e9f;
    for (int k = 1; k <= 6; ++k) {
        SceneObject* candidate = &game->objects[k];
        float distance = PointDistance(BodyPosition(candidate->body), eye);
        LookAt(BodyPosition(candidate->body));
        if (LookAtAndHold(game->world, p).body == candidate->body && distance < nearest) {
            nearest = distance;
            ball = candidate;
        }
    }
    EXPECT_NE(ball, nullptr) << "no ball in sight";
    if (!ball)
        return &game->objects[1];
    p->power = 0.0f;
    LookAt(BodyPosition(ball->body));
    Script()->buttons[GLFW_MOUSE_BUTTON_RIGHT] = 1;
    PassWithoutDrawing(game, 1.0 / 60.0);
    Script()->buttons[GLFW_MOUSE_BUTTON_RIGHT] = 0;
    EXPECT_EQ(p->heldBody, ball->body);
    LookAt(Vec3Add(eye, ThrowDirection(t.yaw, t.pitch)));
    // The power rises 0.5 every 1/60 s to 25 and wraps, 51 rises a turn; a hand
    // at 60 passes a second sees every step. One extra turn lets the ball come
    // to rest in front of the eye before the throw.
    for (int i = 0; i < (int)(2.0f * t.power) - 1 + 51; ++i)
        PassWithoutDrawing(game, 1.0 / 60.0);
    EXPECT_EQ(p->power, t.power);
    Script()->buttons[GLFW_MOUSE_BUTTON_LEFT] = 1;
    PassWithoutDrawing();
    Script()->buttons[GLFW_MOUSE_BUTTON_LEFT] = 0;
    EXPECT_EQ(p->heldBody, nullptr);
    return ball;
}

TEST(SceneThrows, EachScriptedThrowScoresItsKindWithTheBallThrownWhichComesBack)
{
    ScriptedThrow throws[32];
    int count = ReadScriptedThrows("tests/scene/throws.txt", throws, 32);
    ASSERT_GE(count, 3) << "tests/scene/throws.txt holds the scripted throws";
    StartGame();
    Player* p = &game->player;
    for (int i = 0; i < count; ++i) {
        const int kind = throws[i].points;
        SCOPED_TRACE(testing::Message() << "throw " << i + 1 << " for " << kind);
        // Every throw starts a new round, after a round that scored.
        StartRound(game);
        ASSERT_EQ(p->score, 0);
        for (int j = 0; j < 3 * kPassesPerSecond; ++j)
            PassWithoutDrawing();
        SceneObject* ball = ThrowNearestBall(throws[i]);
        // The points of the thrown ball: a neighbour that the held ball
        // knocked out of the tray may score too, and counts for nothing here.
        int points = 0;
        for (int j = 0; j < 8 * kPassesPerSecond && !points; ++j) {
            int before = p->score;
            points = PassWithoutDrawing() == ball ? p->score - before : 0;
        }
        ASSERT_EQ(points, kind);
        // Its own jingle plays, and it is sent to the return point.
        unsigned int jingle = ball->sources[2 + ScoreKind(kind)];
        EXPECT_EQ(SoundGetState(jingle), SOUND_PLAYING);
        EXPECT_LT(PointDistance(BodyPosition(ball->body), Vec3{0.0f, 2.332f, -8.936f}), 0.5f);
        // The return gutter brings it back to the tray, and it scores no more.
        for (int j = 0; j < 15 * kPassesPerSecond && !InTray(BodyPosition(ball->body)); ++j)
            ASSERT_NE(PassWithoutDrawing(), ball);
        EXPECT_TRUE(InTray(BodyPosition(ball->body)));
    }
    EndGame();
}
