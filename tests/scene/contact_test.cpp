// contact_test.cpp -- a ball on a one-face-kind floor, with the game's own ball
// body, callbacks and sound bank: what each kind of table face does to a ball.
#include "physics/physics.h"
#include "platform/newton/newton.h"
#include "sound/sound.h"

#include <AL/al.h>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

class ContactTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitSoundBank(&buffers, &sources); }
    static void TearDownTestSuite() { DeleteSoundBank(&buffers, &sources); }

    // A 40 x 40 floor at y = 0 whose faces all carry one attribute.
    void Build(int faceAttribute)
    {
        table = ball = SceneObject{};
        world = NewtonCreate(nullptr, nullptr);
        NewtonCollision* tree = NewtonCreateTreeCollision(world, nullptr);
        NewtonTreeCollisionBeginBuild(tree);
        const float a[9] = {-20, 0, -20, -20, 0, 20, 20, 0, 20};
        const float b[9] = {-20, 0, -20, 20, 0, 20, 20, 0, -20};
        NewtonTreeCollisionAddFace(tree, 3, a, 12, faceAttribute);
        NewtonTreeCollisionAddFace(tree, 3, b, 12, faceAttribute);
        NewtonTreeCollisionEndBuild(tree, 0);
        table.body = NewtonCreateBody(world, tree);
        NewtonReleaseCollision(world, tree);
        table.kind = kKindTree;

        ball.modelCount = 1;
        CreateBall(world, &ball, 5.0f);
        ball.gravityOn = kTrue;
        ball.sourceCount = 5;
        const int slots[5] = {0, 1, 7, 8, 9};
        for (int i = 0; i < 5; ++i)
            ownSources[i] = sources[slots[i]];
        ball.sources = ownSources;
        // Every source back to its initial state between tests.
        for (int i = 0; i < 10; ++i) {
            alSourceRewind(sources[i]);
            SoundSetGain(sources[i], 1.0f);
            SoundSetPitch(sources[i], 1.0f);
        }
        SoundSetLooping(sources[1], true);
        SoundPlay(sources[1]);
        SoundPause(sources[1]);

        int tableGroup = NewtonMaterialCreateGroupID(world);
        int ballGroup = NewtonMaterialCreateGroupID(world);
        NewtonMaterialSetDefaultSoftness(world, ballGroup, tableGroup, 0.75f);
        NewtonMaterialSetDefaultElasticity(world, ballGroup, tableGroup, 0.25f);
        NewtonMaterialSetDefaultFriction(world, ballGroup, tableGroup, 1.0f, 0.9f);
        NewtonMaterialSetCollisionCallback(world, ballGroup, tableGroup, &ball, ContactBegin,
                                           ContactProcess, ContactEnd);
        NewtonBodySetMaterialGroupID(ball.body, ballGroup);
        NewtonBodySetMaterialGroupID(table.body, tableGroup);
        NewtonMaterialSetContinuousCollisionMode(world, tableGroup, ballGroup, 1);
    }

    void TearDown() override
    {
        if (world)
            NewtonDestroy(world);
        std::free(ball.matrix);
        for (int k = 0; k < ball.modelCount; ++k)
            std::free(ball.modelMatrices[k]);
        std::free(ball.modelMatrices);
        std::free(ball.joints);
    }

    void Place(float x, float y, float z, Vec3 velocity)
    {
        const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
        const float v[3] = {velocity.x, velocity.y, velocity.z};
        NewtonBodySetMatrix(ball.body, m);
        NewtonBodySetVelocity(ball.body, v);
    }
    float Height()
    {
        float m[16];
        NewtonBodyGetMatrix(ball.body, m);
        return m[13];
    }
    void Step(int steps)
    {
        for (int i = 0; i < steps; ++i)
            NewtonUpdate(world, 1.0f / 300.0f);
    }
    // Highest point of the ball's centre after its first touch of the floor.
    float ReboundHeight(float dropHeight)
    {
        Place(0, 0.17f + dropHeight, 0, Vec3{0, 0, 0});
        float lowest = 10.0f, rebound = 0.0f;
        for (int i = 0; i < 600; ++i) {
            Step(1);
            lowest = std::fmin(lowest, Height());
            if (lowest < 0.18f)
                rebound = std::fmax(rebound, Height());
        }
        return rebound - 0.17f;
    }

    static inline unsigned int* buffers;
    static inline unsigned int* sources;
    unsigned int ownSources[5];
    NewtonWorld* world = nullptr;
    SceneObject table = {}, ball = {};
};

TEST_F(ContactTest, TheRoughLaneSwallowsTheBounceOtherFacesKeepIt)
{
    Build(4);
    float rough = ReboundHeight(1.0f);
    TearDown();
    Build(5);
    float plain = ReboundHeight(1.0f);
    // Elasticity 0.25 returns about 1/16 of the drop; 0.01 next to nothing.
    EXPECT_LT(rough, 0.01f);
    EXPECT_GT(plain, 0.03f);
    EXPECT_LT(plain, 0.09f);
}

TEST_F(ContactTest, AnImpactSoundsWithItsEnergyAsGainAtTheBall)
{
    Build(5);
    // Dropped from 0.5 the ball meets the floor at about sqrt(2 g h) = 3.13.
    Place(1.5f, 0.67f, -2.0f, Vec3{0, 0, 0});
    Step(120);
    EXPECT_EQ(SoundGetState(sources[0]), SOUND_PLAYING);
    float energy = 2.0f * 9.8f * 0.5f;
    EXPECT_NEAR(SoundGetGain(sources[0]), energy / 5.0f, 0.1f * energy / 5.0f);
    Vec3 at = SoundGetPosition(sources[0]);
    EXPECT_NEAR(at.x, 1.5f, 0.01f);
    EXPECT_NEAR(at.z, -2.0f, 0.01f);
}

TEST_F(ContactTest, AHeldBallFloatsMakesNoKnockNeverResumesItsRumbleAndASpinDiesAway)
{
    Build(5);
    SoundSetGain(sources[0], 0.5f);
    ball.gravityOn = kFalse;
    Place(0, 0.4f, 0, Vec3{2.0f, -3.0f, 0});
    Step(60);
    EXPECT_EQ(SoundGetState(sources[0]), SOUND_INITIAL);
    EXPECT_EQ(SoundGetGain(sources[0]), 0.5f);
    EXPECT_TRUE(SoundIsPaused(sources[1]));
    // It still counts as rolling, and its pitch follows its speed.
    EXPECT_EQ(ball.rolling, kTrue);
    EXPECT_GT(SoundGetPitch(sources[1]), 0.0f);

    Place(0, 3.0f, 0, Vec3{0, 0, 0});
    Step(300);
    EXPECT_NEAR(Height(), 3.0f, 1e-4f);
    // A slow spin loses four fifths a step; a fast one is braked by the joint.
    const float slow[3] = {0.1f, 0.0f, 0.0f};
    NewtonBodySetOmega(ball.body, slow);
    Step(1);
    float w[3];
    NewtonBodyGetOmega(ball.body, w);
    EXPECT_NEAR(w[0], 0.02f, 0.002f);
    const float fast[3] = {0.0f, 10.0f, 0.0f};
    NewtonBodySetOmega(ball.body, fast);
    Step(300);
    NewtonBodyGetOmega(ball.body, w);
    // Braking torque 0.0227 on inertia 0.0578: about 0.39 per second.
    EXPECT_NEAR(w[1], 10.0f - 0.0227365f / 0.0578f, 0.05f);
}

TEST_F(ContactTest, ARollingBallResumesItsRumbleAtAPitchOfItsSpeed)
{
    Build(5);
    Place(0, 0.17f, 0, Vec3{3.0f, 0, 0});
    const float spin[3] = {0, 0, -3.0f / 0.17f};
    NewtonBodySetOmega(ball.body, spin);
    Step(30);
    EXPECT_EQ(SoundGetState(sources[1]), SOUND_PLAYING);
    float v[3];
    NewtonBodyGetVelocity(ball.body, v);
    float speed = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    EXPECT_NEAR(SoundGetPitch(sources[1]), speed / 6.2831855f, 0.02f);
    EXPECT_EQ(ball.rolling, kTrue);
}

class ScoringFace : public ContactTest, public ::testing::WithParamInterface<int> {};

TEST_P(ScoringFace, SendsTheBallBackWithItsPointsAndJingle)
{
    const int face = GetParam();
    const int points = face == 9 ? 100 : face == 10 ? 25 : 10;
    const unsigned int jingle = sources[7 + (face - 9)];
    Build(face);
    const float drift[3] = {1.0f, -2.0f, 0.5f};
    Place(0, 0.3f, 0, Vec3{drift[0], drift[1], drift[2]});
    for (int steps = 0; ball.points == 0 && steps < 300; ++steps)
        Step(1);
    ASSERT_EQ(ball.points, points);
    float m[16], v[3];
    NewtonBodyGetMatrix(ball.body, m);
    NewtonBodyGetVelocity(ball.body, v);
    EXPECT_NEAR(m[12], 0.0f, 0.05f);
    EXPECT_NEAR(m[13], 2.332f, 0.05f);
    EXPECT_NEAR(m[14], -8.936f, 0.05f);
    // The ball keeps its velocity through the jump.
    EXPECT_NEAR(v[0], drift[0], 0.3f);
    EXPECT_EQ(SoundGetState(jingle), SOUND_PLAYING);
    // Uncollected points hold: a second touch scores nothing more.
    Place(0, 0.3f, 0, Vec3{0, -2.0f, 0});
    Step(60);
    EXPECT_EQ(ball.points, points);
    EXPECT_LT(Height(), 1.0f) << "the second touch did not send the ball back";
}

INSTANTIATE_TEST_SUITE_P(Holes, ScoringFace, ::testing::Values(9, 10, 11));
