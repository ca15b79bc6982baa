// playability_test.cpp -- the committed table on the game's own physics scene:
// the player stands eye high, the balls settle in the tray within reach, a
// scored ball rolls home, and throws stay in the room and can reach every hole.
#include "game/game.h"
#include "model/model.h"
#include "platform/newton/newton.h"
#include "sound/sound.h"
#include "tools/scriptedplay/scriptedplay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

static const float kStep = 1.0f / 300.0f;
static const int kStepsPerSecond = 300;
static const float kBallRadius = 0.17f;
static const Vec3 kEye = {0.0f, 2.0f, 5.0f};
static const Vec3 kReturnPoint = {0.0f, 2.332f, -8.936f};
// The best straight aim of the throw search's survey.
static const float kStraightPitch = 0.1f, kStraightPower = 8.0f;

struct Scene {
    Game game;                  // only its physics scene and sound bank are made
    Model* slots[kModelSlotCount];
    Vec3 roomMin, roomMax;      // bounding box of the table model: the room
};

static Scene scene;


static float Speed(const NewtonBody* body)
{
    float v[3];
    NewtonBodyGetVelocity(body, v);
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

static void Place(const NewtonBody* body, Vec3 at, Vec3 velocity)
{
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, at.x, at.y, at.z, 1};
    const float v[3] = {velocity.x, velocity.y, velocity.z};
    const float zero[3] = {0, 0, 0};
    NewtonBodySetMatrix(body, m);
    NewtonWorldUnfreezeBody(scene.game.world, body);
    NewtonBodySetVelocity(body, v);
    NewtonBodySetOmega(body, zero);
}

// One physics step as the frame loop runs it with no key down (the player's
// sliding damped), and the balls' points collected into the score.
static void Step()
{
    NewtonUpdate(scene.game.world, kStep);
    ApplyMovementKeys(&scene.game.player);
    CollectBallState(&scene.game, 1);
}

static void StepSeconds(float seconds)
{
    for (int i = 0; i < (int)(seconds * kStepsPerSecond); ++i) {
        Step();
    }
}


static bool OnFloor(Vec3 p)
{
    return p.y < kBallRadius + 0.015f;
}

static void DropBallsInTheirColumn()
{
    for (int k = 1; k <= 6; ++k) {
        Place(scene.game.objects[k].body, Vec3{0.0f, 0.5f + 0.25f * k, 3.4f}, Vec3{0, 0, 0});
    }
}

// Each hit's answer shortens the ray, so the last body reported is the nearest.
static const NewtonBody* FirstBodyAlong(Vec3 from, Vec3 to)
{
    const NewtonBody* nearest = nullptr;
    const float p0[3] = {from.x, from.y, from.z};
    const float p1[3] = {to.x, to.y, to.z};
    auto keep = [](const NewtonBody* body, const float*, int, void* user, float param) {
        *(const NewtonBody**)user = body;
        return param;
    };
    NewtonWorldRayCast(scene.game.world, p0, p1, keep, &nearest, nullptr);
    return nearest;
}

class Playability : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::memset(&scene, 0, sizeof(scene));
        InitSoundBank(&scene.game.soundBuffers, &scene.game.soundSources);
        LoadObjModel(&scene.slots[0], "Models/Table_Small2.obj", 1);
        LoadObjModel(&scene.slots[1], "Models/Ball_small.obj", 5);
        ASSERT_NE(scene.slots[0], nullptr);
        ASSERT_NE(scene.slots[1], nullptr);
        const Model* table = scene.slots[0];
        scene.roomMin = scene.roomMax = table->vertices[0];
        for (unsigned i = 0; i < table->vertexCount; ++i) {
            Vec3 v = table->vertices[i];
            scene.roomMin = Vec3{std::fmin(scene.roomMin.x, v.x), std::fmin(scene.roomMin.y, v.y),
                                 std::fmin(scene.roomMin.z, v.z)};
            scene.roomMax = Vec3{std::fmax(scene.roomMax.x, v.x), std::fmax(scene.roomMax.y, v.y),
                                 std::fmax(scene.roomMax.z, v.z)};
        }
        scene.game.world = NewtonCreate(nullptr, nullptr);
        NewtonSetPlatformArchitecture(scene.game.world, 2);
        scene.game.objects = (SceneObject*)std::calloc(kObjectCount, sizeof(SceneObject));
        SetupPhysicsScene(scene.game.world, scene.game.objects, &scene.game.player, scene.slots, 0, 0,
                          scene.game.soundSources);
    }

    static void TearDownTestSuite()
    {
        NewtonDestroy(scene.game.world);
        FreeModel(&scene.slots[0]);
        FreeModel(&scene.slots[1]);
        ReleaseSceneObjects(&scene.game.objects);
        std::free(scene.game.player.matrix);
        std::free(scene.game.player.markerMatrix);
        DeleteSoundBank(&scene.game.soundBuffers, &scene.game.soundSources);
    }

    void SetUp() override
    {
        scene.game.player.score = 0;
        Place(scene.game.player.body, Vec3{0.0f, 2.1f, 5.0f}, Vec3{0, 0, 0});
    }
};

TEST_F(Playability, PlayerStandsOnTheFloorEyeHighFacingTheTable)
{
    // From the creation point, then from the round start.
    for (float startHeight : {3.0f, 2.1f}) {
        Place(scene.game.player.body, Vec3{0.0f, startHeight, 5.0f}, Vec3{0, 0, 0});
        StepSeconds(2.0f);
        Vec3 at = BodyPosition(scene.game.player.body);
        std::printf("player centre at rest: %.3f %.3f %.3f\n", at.x, at.y, at.z);
        EXPECT_NEAR(at.y, 2.0f, 0.1f) << "from height " << startHeight;
        EXPECT_NEAR(at.x, 0.0f, 0.05f);
        EXPECT_NEAR(at.z, 5.0f, 0.05f);
    }
}

static float FastestBall()
{
    float fastest = 0.0f;
    for (int k = 1; k <= 6; ++k) {
        fastest = std::fmax(fastest, Speed(scene.game.objects[k].body));
    }
    return fastest;
}

TEST_F(Playability, DroppedBallsSettleInTheTrayInViewAndReachAndAScoredBallRollsBack)
{
    DropBallsInTheirColumn();
    StepSeconds(3.0f);
    Vec3 eye = BodyPosition(scene.game.player.body);
    int inSight = 0;
    for (int k = 1; k <= 6; ++k) {
        const NewtonBody* ball = scene.game.objects[k].body;
        Vec3 at = BodyPosition(ball);
        std::printf("ball %d after 3 s at %.3f %.3f %.3f, speed %.4f, %.2f from the eye\n", k, at.x,
                    at.y, at.z, Speed(ball), PointDistance(at, eye));
        EXPECT_TRUE(InTray(at)) << "ball " << k;
        EXPECT_LT(PointDistance(at, eye), 20.0f) << "ball " << k;
        EXPECT_LT(at.y, eye.y) << "ball " << k;
        // The look ray from the standing eye finds the ball itself.
        if (FirstBodyAlong(eye, Vec3Add(eye, Vec3Scale(Vec3Sub(at, eye), 1.2f))) == ball)
            ++inSight;
    }
    // A ball that spills into a second row lies under the tray's near rim, out
    // of sight from the standing spot; the rest must be in plain view.
    EXPECT_GE(inSight, 4);
    // The row rocks a little before it comes to rest.
    int steps = 3 * kStepsPerSecond;
    while (FastestBall() >= 0.05f && steps < 5 * kStepsPerSecond) {
        Step();
        ++steps;
    }
    std::printf("all six at rest (below 0.05 units/s) after %.2f s\n", (float)steps / kStepsPerSecond);
    EXPECT_LT(FastestBall(), 0.05f);
    for (int k = 1; k <= 6; ++k) {
        EXPECT_TRUE(InTray(BodyPosition(scene.game.objects[k].body))) << "ball " << k;
    }
    // A scored ball, put at the return point, rolls back into the tray.
    const NewtonBody* ball = scene.game.objects[1].body;
    Place(ball, kReturnPoint, Vec3{0, 0, 0});
    steps = 0;
    while (!InTray(BodyPosition(ball)) && steps < 15 * kStepsPerSecond) {
        Step();
        ++steps;
    }
    std::printf("from the return point into the tray in %.2f s\n", (float)steps / kStepsPerSecond);
    EXPECT_TRUE(InTray(BodyPosition(ball))) << "within 15 s";
    StepSeconds(4.0f);
    Vec3 at = BodyPosition(ball);
    EXPECT_TRUE(InTray(at)) << at.x << " " << at.y << " " << at.z;
    EXPECT_LT(Speed(ball), 0.05f);
    EXPECT_EQ(scene.game.player.score, 0);
}

// A throw as the game makes it: the held ball floats three units ahead of the
// eye, and the throw adds view direction times power to its velocity.
struct ThrowResult {
    int points;          // 0 when it scored nothing
    bool settled;        // came to rest (or scored)
    bool left;           // was ever outside the room
    Vec3 end;
};

static ThrowResult Throw(Vec3 eye, Vec3 forward, float power)
{
    const NewtonBody* ball = scene.game.objects[1].body;
    scene.game.player.score = 0;
    Place(ball, Vec3Add(eye, Vec3Scale(forward, 3.0f)), Vec3Scale(forward, power));
    ThrowResult r = {0, false, false, Vec3{0, 0, 0}};
    int still = 0;
    for (int i = 0; i < 12 * kStepsPerSecond; ++i) {
        Step();
        Vec3 at = BodyPosition(ball);
        if (at.x < scene.roomMin.x || at.y < scene.roomMin.y || at.z < scene.roomMin.z ||
            at.x > scene.roomMax.x || at.y > scene.roomMax.y || at.z > scene.roomMax.z) {
            r.left = true;
        }
        r.points = scene.game.player.score;
        still = Speed(ball) < 0.02f ? still + 1 : 0;
        // once on the floor a ball stays there: the player walks to it
        if (r.points != 0 || OnFloor(at) || still > kStepsPerSecond / 2) {
            r.settled = true;
            break;
        }
    }
    r.end = BodyPosition(ball);
    return r;
}

struct ThrowTally {
    std::map<int, int> hits;   // throws by the points they scored
    int throws = 0, inTray = 0, onFloor = 0, unsettled = 0, stranded = 0, left = 0, hard = 0;
    int hardOnFloor = 0;
};

// Yaw within 0.1 rad either way, pitch -0.2 to 0.9 rad, power 4 to 25.
static void ThrowGrid(Vec3 eye, ThrowTally* t)
{
    for (float yaw = -0.1f; yaw <= 0.1f + 1e-3f; yaw += 0.05f) {
        for (float pitch = -0.2f; pitch <= 0.9f + 1e-3f; pitch += 0.1f) {
            for (float power = 4.0f; power <= 25.0f + 1e-3f; power += 1.5f) {
                ThrowResult r = Throw(eye, ThrowDirection(yaw, pitch), power);
                ++t->throws;
                t->left += r.left ? 1 : 0;
                // hard, not too high: the machine keeps the ball
                bool hard = power >= 20.0f && pitch >= -1e-3f && pitch <= 0.3f + 1e-3f;
                t->hard += hard;
                t->hardOnFloor += hard && r.points == 0 && OnFloor(r.end);
                if (r.points != 0) {
                    ++t->hits[r.points];
                } else if (r.settled && InTray(r.end)) {
                    ++t->inTray;
                } else if (r.settled && OnFloor(r.end)) {
                    ++t->onFloor;
                } else {
                    ++(r.settled ? t->stranded : t->unsettled);
                    std::printf("%s: yaw %.2f pitch %.2f power %.1f at %.2f %.2f %.2f\n",
                                r.settled ? "stranded" : "unsettled", yaw, pitch, power, r.end.x,
                                r.end.y, r.end.z);
                }
            }
        }
    }
}

TEST_F(Playability, ThrowsFromTheStartReachEveryHoleAndStayInTheMachine)
{
    // Out of the world box the other balls are parked and cost nothing.
    for (int k = 2; k <= 6; ++k) {
        Place(scene.game.objects[k].body, Vec3{0.0f, 1000.0f, 0.0f}, Vec3{0, 0, 0});
    }
    StepSeconds(0.5f);
    Vec3 eye = BodyPosition(scene.game.player.body);
    ThrowTally t;
    ThrowGrid(eye, &t);
    std::printf("%d throws: 100 x%d, 25 x%d, 10 x%d, tray %d, floor %d (of %d hard ones %d), unsettled %d, "
                "stranded %d, left the room %d\n",
                t.throws, t.hits[100], t.hits[25], t.hits[10], t.inTray, t.onFloor, t.hard,
                t.hardOnFloor, t.unsettled, t.stranded, t.left);
    EXPECT_EQ(t.hits.size(), 3u) << "only the three holes score";
    EXPECT_GT(t.hits[100], 0);
    EXPECT_GT(t.hits[25], 0);
    EXPECT_GT(t.hits[10], 0);
    EXPECT_EQ(t.left, 0);
    EXPECT_EQ(t.stranded, 0);
    EXPECT_EQ(t.unsettled, 0);
    EXPECT_LE(t.hardOnFloor * 10, t.hard) << "hard throws stay in the machine";
    // A newcomer throwing straight up the middle at a middling power, with an
    // unsteady hand (aim within 0.005 rad, power a meter step either way), scores.
    unsigned int seed = 2024u;
    auto unit = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (float)((seed >> 8) % 2001u) / 1000.0f - 1.0f;
    };
    int scored = 0;
    for (int i = 0; i < 30; ++i) {
        float yaw = 0.005f * unit(), pitch = kStraightPitch + 0.005f * unit();
        float power = kStraightPower + 0.5f * std::round(unit());
        scored += Throw(eye, ThrowDirection(yaw, pitch), power).points != 0;
    }
    std::printf("straight at power %.1f: %d of 30 scored\n", kStraightPower, scored);
    EXPECT_GE(3 * scored, 30);
}
