// frameloop_test.cpp -- the fixed steps of the frame loop, driven by a scripted
// clock against a real physics world.
#include "game/game.h"
#include "platform/glfw2/glfw2.h"
#include "platform/replay/replay.h"
#include "platform/newton/newton.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>
#include <unistd.h>

static int forceCalls = 0;
static double stepCost = 0.0;   // clock time one step takes

static void CountSteps(const NewtonBody*)
{
    ++forceCalls;
    Glfw2GetScript()->time += stepCost;
}

class FrameLoopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(&game, 0, sizeof(game));
        std::memset(Glfw2GetScript(), 0, sizeof(Glfw2Script));
        Glfw2GetScript()->active = 1;
        game.world = NewtonCreate(nullptr, nullptr);
        NewtonCollision* sphere = NewtonCreateSphere(game.world, 0.5f, 0.5f, 0.5f, nullptr);
        NewtonBody* body = NewtonCreateBody(game.world, sphere);
        NewtonReleaseCollision(game.world, sphere);
        NewtonBodySetMassMatrix(body, 1.0f, 1.0f, 1.0f, 1.0f);
        NewtonBodySetForceAndTorqueCallback(body, CountSteps);
        // The movement keys run after every step; give them a body and a mass.
        game.player.body = body;
        game.player.mass = 150.0f;
        game.physicsStep = 1.0f / 300.0f;
        forceCalls = 0;
        stepCost = 0.0;
    }
    void TearDown() override
    {
        NewtonDestroy(game.world);
        std::memset(Glfw2GetScript(), 0, sizeof(Glfw2Script));
    }
    // Runs the steps of a pass that starts dt seconds after the last one ended.
    int PassAfter(double dt)
    {
        Glfw2GetScript()->time += dt;
        int before = forceCalls;
        int steps = RunPhysicsSteps(&game);
        EXPECT_EQ(forceCalls - before, steps) << "every step runs the world once";
        return steps;
    }
    Game game;
};

// An uneven frame rate, passes with no step among them, and steps that take
// clock time themselves: every second of the clock is simulated once.
TEST_F(FrameLoopTest, StepsFollowTheClockWithTheRemainderCarriedToTheNextPass)
{
    Glfw2GetScript()->time = 100.0;
    game.lastStepTime = 100.0;
    // W pushes once after every step, not once a pass.
    game.player.forward = Vec3{0.0f, 0.0f, -1.0f};
    Glfw2GetScript()->keys['W'] = 1;
    EXPECT_EQ(PassAfter(5.5 / 300.0), 5);
    EXPECT_FLOAT_EQ(game.player.moveForce.z, -5.0f * 150.0f);
    EXPECT_EQ(PassAfter(0.3 / 300.0), 0) << "a pass right after the last runs no step";
    EXPECT_EQ(PassAfter(0.25 / 300.0), 1) << "half a step carried, and 0.3 and 0.25 of one";
    // Steps that take clock time themselves: that time is the next pass's.
    stepCost = 0.4 / 300.0;
    const double gaps[] = {1.9, 0.4, 7.3, 0.05, 1.0 / 1.2, 3.0};
    int steps = 6;
    for (int i = 0; i < 600; ++i)
        steps += PassAfter(gaps[i % 6] / 300.0);
    double simulated = steps / 300.0 + game.stepBudget;
    EXPECT_NEAR(simulated, game.lastStepTime - 100.0, 1e-6) << "what is not yet stepped is carried";
    EXPECT_LT(game.stepBudget, 1.0 / 300.0);
    EXPECT_GT(game.lastStepTime - 100.0, 600 * 2.0 / 300.0) << "the steps' own time counts too";
}

// After a stall or a long absence one pass simulates at most a quarter of a
// second; the rest is dropped, the next pass is an ordinary one.
TEST_F(FrameLoopTest, AStallOrAGapSimulatesAQuarterOfASecondAtMost)
{
    Glfw2GetScript()->time = 50.0;
    game.lastStepTime = 50.0;
    EXPECT_EQ(PassAfter(3.0), 75);
    EXPECT_EQ(PassAfter(1.0 / 60.0), 5);
    EXPECT_EQ(PassAfter(600.0), 75);
    EXPECT_EQ(game.player.passSeconds, 0.25f);
    EXPECT_EQ(PassAfter(2.0 / 300.0), 2);
    EXPECT_EQ(game.lastStepTime, Glfw2GetScript()->time);
}

// The same passes with the clock started at 1 s, at 2^20 s (twelve days) and
// at 24 days' uptime run the same steps: times are held in double precision.
TEST_F(FrameLoopTest, AClockOfDaysRunsTheSameStepsAsANewOne)
{
    const double starts[] = {1.0, 1048576.0, 24.0 * 86400.0};
    std::vector<int> first;
    for (double start : starts) {
        Glfw2GetScript()->time = start;
        game.lastStepTime = start;
        game.stepBudget = 0.0;
        std::vector<int> steps;
        for (int i = 0; i < 300; ++i)
            steps.push_back(PassAfter(i % 3 == 0 ? 1.0 / 150.0 : 1.0 / 1200.0 + 1e-5 * (i % 7)));
        if (first.empty())
            first = steps;
        EXPECT_EQ(steps, first) << "clock started at " << start << " s";
    }
}

TEST_F(FrameLoopTest, NoKeyDownSlowsThePlayerButNotItsFall)
{
    float velocity[3] = {4.0f, -3.0f, -8.0f};
    NewtonBodySetVelocity(game.player.body, velocity);
    game.player.moveForce = Vec3{100.0f, 0.0f, 100.0f};
    ApplyMovementKeys(&game.player);
    NewtonBodyGetVelocity(game.player.body, velocity);
    EXPECT_FLOAT_EQ(velocity[0], 3.0f);
    EXPECT_FLOAT_EQ(velocity[1], -3.0f);
    EXPECT_FLOAT_EQ(velocity[2], -6.0f);
    EXPECT_EQ(game.player.moveForce.x, 0.0f);
    EXPECT_EQ(game.player.moveForce.z, 0.0f);
}

TEST_F(FrameLoopTest, MovementKeysPushAlongTheViewAndClampEachComponent)
{
    Player* player = &game.player;
    player->forward = Vec3{0.0f, 0.6f, -0.8f};
    player->right = Vec3{1.0f, 0.0f, 0.0f};
    unsigned char* keys = Glfw2GetScript()->keys;
    keys['W'] = keys['D'] = 1;
    ApplyMovementKeys(player);
    EXPECT_FLOAT_EQ(player->moveForce.x, 150.0f);
    EXPECT_FLOAT_EQ(player->moveForce.z, -120.0f);
    EXPECT_EQ(player->moveForce.y, 0.0f);
    // Held long enough, each of x and z stops at 150 squared on its own.
    for (int i = 0; i < 400; ++i)
        ApplyMovementKeys(player);
    EXPECT_FLOAT_EQ(player->moveForce.x, 22500.0f);
    EXPECT_FLOAT_EQ(player->moveForce.z, -22500.0f);
    keys['W'] = keys['D'] = 0;
    keys['S'] = keys['A'] = 1;
    ApplyMovementKeys(player);
    EXPECT_FLOAT_EQ(player->moveForce.x, 22350.0f);
    EXPECT_FLOAT_EQ(player->moveForce.z, -22380.0f);
}

TEST_F(FrameLoopTest, MouseLookTakesTheOffsetFromTheCentreAndRecentres)
{
    Player* player = &game.player;
    Settings settings;
    DefaultSettings(&settings);
    player->right = Vec3{0.96f, 0.28f, 0.0f};
    Glfw2GetScript()->mouseX = 320 + 25;
    Glfw2GetScript()->mouseY = 240 - 40;
    ReadMouseLook(player, &settings);
    EXPECT_FLOAT_EQ(player->pitch, 0.04f);   // mouse up: look up
    EXPECT_FLOAT_EQ(player->yaw, -0.025f);   // mouse right: turn right
    EXPECT_FLOAT_EQ(player->roll, -0.28f);   // level the tilted horizon
    EXPECT_EQ(Glfw2GetScript()->mouseX, 320);
    EXPECT_EQ(Glfw2GetScript()->mouseY, 240);
}

// The same mouse travel, 30 pixels up and 50 right, read with the player's
// settings and turned into the view as the frame does: at sensitivity 2 the
// view turns twice as far; inverted, the same mouse looks down, not up.
TEST_F(FrameLoopTest, MouseLookTurnsBySensitivityAndInvertedTurnsThePitchOver)
{
    const struct { float sensitivity; int invert; float up, right; } cases[] = {
        {1.0f, 0, 0.03f, 0.05f},
        {2.0f, 0, 0.06f, 0.10f},
        {1.0f, 1, -0.03f, 0.05f},
        {0.5f, 1, -0.015f, 0.025f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "sensitivity " << c.sensitivity << " invert " << c.invert);
        Settings settings;
        DefaultSettings(&settings);
        settings.sensitivity = c.sensitivity;
        settings.invertMouse = c.invert;
        Player* player = &game.player;
        player->forward = Vec3{0.0f, 0.0f, -1.0f};
        player->right = Vec3{1.0f, 0.0f, 0.0f};
        player->up = Vec3{0.0f, 1.0f, 0.0f};
        Glfw2GetScript()->mouseX = 320 + 50;
        Glfw2GetScript()->mouseY = 240 - 30;
        ReadMouseLook(player, &settings);
        PitchView(&player->forward, &player->right, &player->up, player->pitch);
        YawView(&player->forward, &player->right, &player->up, player->yaw);
        // Elevation, and the turn to the right about the vertical.
        Vec3 f = player->forward;
        EXPECT_NEAR(std::asin(f.y), c.up, 1e-3);
        EXPECT_NEAR(std::atan2(f.x, -f.z), c.right, 1e-3);
        EXPECT_EQ(Glfw2GetScript()->mouseX, 320);
        EXPECT_EQ(Glfw2GetScript()->mouseY, 240);
    }
}

// Passes on an uneven clock with W pressed now and then, recorded; then the
// same passes replayed while the live clock and keys say something else.
TEST_F(FrameLoopTest, ReplayedPassesRunTheRecordedStepsAndAnotherReadingStopsNamingThePass)
{
    const char* path = "frameloop_test.btr";
    ReplayHeader header = {"test", 42, 2.5f, 1};
    ASSERT_TRUE(ReplayStartRecording(path, &header));
    Glfw2Script* script = Glfw2GetScript();
    script->time = 100.0;
    game.lastStepTime = 100.0;
    int recorded[40];
    for (int pass = 0; pass < 40; ++pass) {
        ReplayBeginPass();
        script->keys['W'] = pass % 7 < 3;
        recorded[pass] = PassAfter(1.0 / (3.0 + pass % 5));   // not whole nanoseconds
    }
    Vec3 force = game.player.moveForce;
    ReplayEnd end = {7, 1234};
    ASSERT_EQ(ReplayFinish(&end), 0);

    // The replay's own settings say nothing: the recording's are the ones played.
    ReplayHeader here = {"test", 42, 1.0f, 0};
    ASSERT_TRUE(ReplayStartPlayback(path, &here, 1));
    EXPECT_EQ(ReplayRecordedHeader()->sensitivity, 2.5f);
    EXPECT_EQ(ReplayRecordedHeader()->invertMouse, 1);
    script->time = 100.0;
    game.lastStepTime = 100.0;
    game.stepBudget = 0.0;
    game.player.moveForce = Vec3{0.0f, 0.0f, 0.0f};
    for (int pass = 0; pass < 40; ++pass) {
        ReplayBeginPass();
        script->keys['W'] = 0;
        script->time = 0.0;
        ASSERT_EQ(RunPhysicsSteps(&game), recorded[pass]) << "pass " << pass;
    }
    EXPECT_EQ(game.player.moveForce.x, force.x);
    EXPECT_EQ(game.player.moveForce.z, force.z);
    EXPECT_EQ(ReplayFinish(&end), 0);

    // The first pass reads the clock first; a key read there is another build.
    EXPECT_EXIT(
        {
            std::fflush(stdout);
            dup2(2, 1);   // the console line, where the death test looks
            ReplayStartPlayback(path, &header, 1);
            ReplayBeginPass();
            glfwGetKey('W');
        },
        ::testing::ExitedWithCode(1),
        "Replay diverged at pass 1: the game read key 87 where the recording holds the clock");
    std::remove(path);
}
