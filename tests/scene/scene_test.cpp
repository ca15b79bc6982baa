// scene_test.cpp -- the whole game running in-process on the real assets, with
// a scripted clock and scripted input: what a player would notice.
#include "model/model.h"
#include "sound/sound.h"
#include "tests/scene/scene_play.h"

#include <algorithm>
#include <gtest/gtest.h>

static void RunPasses(int passes)
{
    for (int i = 0; i < passes; ++i) {
        Script()->time += kPassTime;
        RunFrame(game);
    }
}

// The fastest ball's speed.
static float FastestBall()
{
    float speed = 0.0f, v[3];
    for (int k = 1; k <= 6; ++k) {
        NewtonBodyGetVelocity(game->objects[k].body, v);
        speed = std::fmax(speed, std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
    }
    return speed;
}

// Plays on until every ball has stayed slower than 0.05 for a whole second (a
// ball rocking in the tray is that slow only at its turns), for at most the
// given seconds. Returns whether they rest.
static bool WaitForRest(int seconds)
{
    int still = 0;
    for (int i = 0; i < seconds * kPassesPerSecond && still < kPassesPerSecond; ++i) {
        RunPasses(1);
        still = FastestBall() < 0.05f ? still + 1 : 0;
    }
    return still == kPassesPerSecond;
}

class SceneTest : public ::testing::Test {
protected:
    // A game of its own for each test: what one test played (balls thrown,
    // the world's contact history) never shapes the next one's round.
    void SetUp() override
    {
        StartGame();
        StartRound(game);
        RunPasses(3 * kPassesPerSecond);   // three seconds for the balls to settle
    }
    void TearDown() override { EndGame(); }
};

TEST_F(SceneTest, BallsLandWithinReachOfTheEyeHighPlayerAndRestQuietlyEvenAfterASpin)
{
    Vec3 eye = BodyPosition(game->player.body);
    EXPECT_NEAR(eye.y, 2.0f, 0.1f);
    EXPECT_NEAR(eye.x, 0.0f, 0.05f);
    EXPECT_NEAR(eye.z, 5.0f, 0.05f);
    int inSight = 0;
    for (int k = 1; k <= 6; ++k) {
        const NewtonBody* ball = game->objects[k].body;
        Vec3 at = BodyPosition(ball);
        EXPECT_LT(at.y, eye.y) << "ball " << k;
        EXPECT_LT(PointDistance(at, eye), 20.0f) << "ball " << k;
        // Looking at the ball, the look ray finds it, unless another ball in
        // the tray stands in front of it.
        LookAt(at);
        LookAtReport report = LookAtAndHold(game->world, &game->player);
        ASSERT_NE(report.body, nullptr) << "ball " << k;
        if (report.body == ball) {
            ++inSight;
            EXPECT_STREQ(report.name, game->objects[k].name);
        }
        else
            std::printf("ball %d hidden by %s\n", k, report.name);
    }
    // A ball that spills into a second row lies under the tray's near rim, out
    // of sight from the standing spot; the rest must be in plain view.
    EXPECT_GE(inSight, 4);
    // They rock along the tray a little longer before they stop; how long
    // depends on how they spilled. At rest the rumble of each stays paused.
    ASSERT_TRUE(WaitForRest(12)) << "a ball still moves at " << FastestBall()
                                 << " fifteen seconds after the round start";
    for (int k = 1; k <= 6; ++k)
        EXPECT_TRUE(SoundIsPaused(game->objects[k].sources[1])) << "ball " << k;
    // A ball set spinning on the spot comes to rest instead of spinning forever.
    const NewtonBody* ball = game->objects[1].body;
    const float spin[3] = {0.0f, 3.0f, 0.0f};
    NewtonBodySetOmega(ball, spin);
    for (int i = 0; i < 10 * kPassesPerSecond; ++i)
        PassWithoutDrawing();
    float w[3];
    NewtonBodyGetOmega(ball, w);
    EXPECT_LT(std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]), 0.1f);
}

TEST_F(SceneTest, WalkingForwardMovesTowardsTheTableAndStopsWhenReleased)
{
    Vec3 start = BodyPosition(game->player.body);
    Script()->keys['W'] = 1;
    RunPasses(kPassesPerSecond);
    Vec3 walked = BodyPosition(game->player.body);
    // The player starts close to the tray; a step or so takes it to the table.
    EXPECT_LT(walked.z, start.z - 0.2f);
    EXPECT_NEAR(walked.x, start.x, 0.1f);
    Script()->keys['W'] = 0;
    RunPasses(kPassesPerSecond / 2);
    float v[3];
    NewtonBodyGetVelocity(game->player.body, v);
    EXPECT_LT(std::hypot(v[0], v[2]), 0.05f);
    // Backing away from the table there is room to walk.
    Script()->keys['S'] = 1;
    RunPasses(kPassesPerSecond / 2);
    Script()->keys['S'] = 0;
    EXPECT_GT(BodyPosition(game->player.body).z, walked.z + 1.0f);
    RunPasses(kPassesPerSecond / 2);
    // The body never tilts: its up axis stays vertical.
    EXPECT_NEAR(game->player.frame.yAxis.y, 1.0f, 1e-4f);
}

TEST_F(SceneTest, AGrabbedBallFloatsThreeUnitsAheadAndPowerRisesAndWraps)
{
    const NewtonBody* ball = game->objects[3].body;
    LookAt(BodyPosition(ball));
    Script()->buttons[GLFW_MOUSE_BUTTON_RIGHT] = 1;
    RunPasses(1);
    Script()->buttons[GLFW_MOUSE_BUTTON_RIGHT] = 0;
    ASSERT_EQ(game->player.heldBody, ball);
    // Look level again and let the ball come to the eye.
    LookAt(Vec3Add(BodyPosition(game->player.body), Vec3{0, 0, -1}));
    game->player.power = 0.0f;
    float seen[60];
    for (int i = 0; i < 60; ++i) {
        Script()->time += 1.0 / 60.0;
        RunFrame(game);
        seen[i] = game->player.power;
    }
    Vec3 eye = BodyPosition(game->player.body);
    Vec3 at = BodyPosition(ball);
    EXPECT_NEAR(PointDistance(at, eye), 3.0f, 0.15f);
    EXPECT_NEAR(at.z, eye.z - 3.0f, 0.15f);
    EXPECT_EQ(game->objects[3].gravityOn, kFalse);
    // 0.5 every 1/60 s up to 25, then back to 0.
    EXPECT_EQ(seen[0], 0.5f);
    EXPECT_EQ(seen[49], 25.0f);
    EXPECT_EQ(seen[50], 0.0f);
    EXPECT_EQ(seen[51], 0.5f);
    // Released by a round start: the ball falls again.
    StartRound(game);
    RunPasses(2);
    EXPECT_EQ(game->objects[3].gravityOn, kTrue);
}

TEST_F(SceneTest, TenMinutesOfRandomPlayLoseNoBallAndKeepEveryMatrixFinite)
{
    // The room is the table model's bounding box: floor, walls and ceiling.
    const Model* room = game->modelSlots[0];
    ASSERT_NE(room, nullptr);
    Vec3 low = room->vertices[0], high = room->vertices[0];
    for (unsigned int i = 0; i < room->vertexCount; ++i) {
        Vec3 v = room->vertices[i];
        low = Vec3{std::fmin(low.x, v.x), std::fmin(low.y, v.y), std::fmin(low.z, v.z)};
        high = Vec3{std::fmax(high.x, v.x), std::fmax(high.y, v.y), std::fmax(high.z, v.z)};
    }
    unsigned int seed = 12345u;
    auto next = [&seed](int range) {
        seed = seed * 1103515245u + 12345u;
        return (int)((seed >> 16) % (unsigned)range);
    };
    int escapes = 0, nonFinite = 0, throws = 0, throwAt = 0, letGo = 0;
    for (int pass = 0; pass < 10 * 60 * kPassesPerSecond; ++pass) {
        Player* p = &game->player;
        int phase = pass % 250;   // one throw every five seconds or so
        std::memset(Script()->buttons, 0, sizeof(Script()->buttons));
        if (phase == 0) {
            // Pick a ball and grab it.
            std::memset(Script()->keys, 0, sizeof(Script()->keys));
            LookAt(BodyPosition(game->objects[1 + next(6)].body));
            Script()->buttons[GLFW_MOUSE_BUTTON_RIGHT] = 1;
            throwAt = 20 + next(50);
        } else if (phase == 10) {
            // Aim somewhere up the lane, or anywhere at all.
            float yaw = 0.002f * (float)(next(1001) - 500);
            float pitch = 0.001f * (float)(next(1201) - 200);
            Vec3 eye = BodyPosition(p->body);
            LookAt(Vec3Add(eye, Vec3{-std::sin(yaw), std::sin(pitch), -std::cos(yaw)}));
        } else if (phase == throwAt) {
            throws += p->heldBody != nullptr;
            Script()->buttons[GLFW_MOUSE_BUTTON_LEFT] = 1;
        } else if (phase > throwAt && phase % 25 == 0) {
            // Wander: a key now and then, and a glance around.
            std::memset(Script()->keys, 0, sizeof(Script()->keys));
            const char keys[4] = {'W', 'A', 'S', 'D'};
            if (next(3) == 0)
                Script()->keys[(unsigned char)keys[next(4)]] = 1;
        }
        if (phase > throwAt) {
            Script()->mouseX += next(21) - 10;
            Script()->mouseY += next(11) - 5;
        }
        const NewtonBody* held = p->heldBody;
        PassWithoutDrawing();
        letGo += held && !p->heldBody;   // only a throw lets go of a held ball
        // The balls and the player's body.
        for (int k = 0; k <= 6; ++k) {
            float m[16];
            NewtonBodyGetMatrix(k ? game->objects[k].body : p->body, m);
            nonFinite += !std::all_of(m, m + 16, [](float v) { return std::isfinite(v); });
            bool inside = m[12] > low.x && m[12] < high.x && m[13] > low.y - 0.2f &&
                          m[13] < high.y && m[14] > low.z && m[14] < high.z;
            escapes += !inside;
        }
    }
    EXPECT_EQ(escapes, 0);
    EXPECT_EQ(nonFinite, 0);
    EXPECT_GT(throws, 50) << "the random play should have thrown balls";
    EXPECT_GT(letGo, 20);
    EXPECT_EQ(game->player.throws, letGo) << "the round's throws, as the first round's hint counts them";
    std::printf("random play: %d throws, score %d\n", throws, game->player.score);
}

// What a player does in 0.2 s of clock with D held, a ball dropped at the same
// moment, and the power meter after holding a ball 0.5 s and 1 s: the same at
// any frame rate, and with a clock that started twelve days ago.
struct PlayAtRate {
    float walked, fell, powerHalf, powerWhole;
};

static PlayAtRate PlayAt(double rate, double clockStart)
{
    const double pass = 1.0 / rate;
    Script()->time = clockStart;
    StartRound(game);
    for (int i = 0; i < (int)rate; ++i)
        PassWithoutDrawing(game, pass);   // a second for the player to land
    Player* p = &game->player;
    LookAt(Vec3Add(BodyPosition(p->body), Vec3{0, 0, -1}));
    SceneObject* dropped = &game->objects[6];
    PlaceBodyUpright(dropped->body, Vec3{0.0f, 3.0f, 3.4f});
    const float still[3] = {0.0f, 0.0f, 0.0f};
    NewtonBodySetVelocity(dropped->body, still);
    Vec3 start = BodyPosition(p->body);
    Script()->keys['D'] = 1;
    for (int i = 0; i < (int)std::lround(0.2 * rate); ++i)
        PassWithoutDrawing(game, pass);
    Script()->keys['D'] = 0;
    PlayAtRate r;
    r.walked = PointDistance(BodyPosition(p->body), start);
    r.fell = 3.0f - BodyPosition(dropped->body).y;
    // Grab the nearest ball in the tray and hold it.
    LookAt(BodyPosition(game->objects[3].body));
    p->power = 0.0f;
    p->powerSeconds = 0.0;
    Script()->buttons[GLFW_MOUSE_BUTTON_RIGHT] = 1;
    PassWithoutDrawing(game, pass);
    Script()->buttons[GLFW_MOUSE_BUTTON_RIGHT] = 0;
    EXPECT_NE(p->heldBody, nullptr) << rate << " passes a second";
    for (int i = 1; i < (int)std::lround(0.5 * rate); ++i)
        PassWithoutDrawing(game, pass);
    r.powerHalf = p->power;
    for (int i = 0; i < (int)std::lround(0.5 * rate); ++i)
        PassWithoutDrawing(game, pass);
    r.powerWhole = p->power;
    return r;
}

TEST_F(SceneTest, WalkingFallingAndThePowerMeterKeepTimeAtAnyFrameRateAndUptime)
{
    const struct { double rate, clockStart; } runs[] = {
        {60, 10}, {30, 10}, {150, 10}, {240, 10}, {1200, 10}, {60, 1048576}, {1200, 1048576}};
    PlayAtRate first = {};
    for (const auto& run : runs) {
        SCOPED_TRACE(testing::Message() << run.rate << " passes a second, clock from "
                                        << run.clockStart << " s");
        PlayAtRate r = PlayAt(run.rate, run.clockStart);
        std::printf("%6.0f passes/s, clock %8.0f s: walked %.3f, fell %.3f, power %.1f %.1f\n",
                    run.rate, run.clockStart, r.walked, r.fell, r.powerHalf, r.powerWhole);
        if (&run == runs)
            first = r;
        EXPECT_GT(r.walked, 0.1f);
        EXPECT_NEAR(r.walked, first.walked, 0.02f * first.walked);
        // Free fall for 0.2 s: 0.196.
        EXPECT_NEAR(r.fell, 0.196f, 0.01f);
        EXPECT_NEAR(r.fell, first.fell, 0.02f * first.fell);
        // 30 rises of 0.5 in 0.5 s; in a second, 60 rises: a wrap after 51.
        EXPECT_EQ(r.powerHalf, 15.0f);
        EXPECT_EQ(r.powerWhole, 4.5f);
    }
}

// P stops the round where it stands: 3 s later, with the walking key and the
// mouse moved meanwhile, nothing has moved and the round's clock has not run.
// P again plays on from there, and the view does not jump.
TEST_F(SceneTest, PPausesTheRoundAndPlaysOnWhereItStood)
{
    Script()->keys['W'] = 1;
    RunPasses(10);
    Vec3 bodies[kObjectCount + 1];
    auto positions = [&bodies]() {
        for (int k = 1; k < kObjectCount; ++k)
            bodies[k] = BodyPosition(game->objects[k].body);
        bodies[0] = BodyPosition(game->player.body);
    };
    Script()->keys['P'] = 1;
    RunPasses(1);
    Script()->keys['P'] = 0;
    ASSERT_TRUE(game->paused);
    positions();
    Vec3 before[kObjectCount + 1];
    std::memcpy(before, bodies, sizeof before);
    double elapsed = RoundElapsed(game);
    Vec3 forward = game->player.forward;
    for (int i = 0; i < 30; ++i) {
        Script()->time += 0.1;
        Script()->mouseX += 7;
        RunFrame(game);
    }
    positions();
    for (int k = 0; k < kObjectCount; ++k)
        EXPECT_EQ(std::memcmp(&bodies[k], &before[k], sizeof(Vec3)), 0) << "body " << k;
    EXPECT_NEAR(RoundElapsed(game), elapsed, 1e-9);
    Script()->keys['W'] = 0;
    Script()->keys['P'] = 1;
    RunPasses(1);
    Script()->keys['P'] = 0;
    EXPECT_FALSE(game->paused);
    EXPECT_NEAR(RoundElapsed(game), elapsed + kPassTime, 1e-9);
    EXPECT_LT(PointDistance(game->player.forward, forward), 1e-6f) << "the view did not turn";
}
