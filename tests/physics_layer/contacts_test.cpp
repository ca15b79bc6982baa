// contacts_test.cpp -- the rigid-body layer's contacts: resting on tree floors, material
// pairs, the per-contact callbacks and what they change.
#include "tests/physics_layer/layer_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace layer_scene;

namespace {

class LayerContacts : public LayerWorld {};

TEST_F(LayerContacts, SphereRestsOnTreeFloorAtItsRadiusUnlessItsPairIsNonCollidable)
{
    const int floorGroup = NewtonMaterialCreateGroupID(world);
    const int ghostGroup = NewtonMaterialCreateGroupID(world);
    NewtonMaterialSetDefaultCollidable(world, ghostGroup, floorGroup, 0);
    InGroup(MakeFlatFloor(world), floorGroup);
    NewtonBody* ghost = InGroup(MakeBall(world, 0.17f, 5.0f, 0.0f, 0.5f, 0.0f), ghostGroup);
    // One ball in a cell, one on a shared edge of two triangles, one on a cell corner.
    const float spots[3][2] = {{0.25f, 0.3f}, {2.25f, 2.25f}, {-3.0f, -3.0f}};
    NewtonBody* balls[3];
    for (int k = 0; k < 3; ++k) {
        balls[k] = MakeBall(world, 0.17f, 5.0f, spots[k][0], 0.6f, spots[k][1]);
    }
    RunFor(world, 2.0f);
    for (NewtonBody* ball : balls) {
        EXPECT_NEAR(Height(ball), 0.17f, 0.0017f);
    }
    EXPECT_LT(Height(ghost), -1.0f);
}

TEST_F(LayerContacts, RollingSphereKeepsSpeedAndHeightAcrossMeshEdges)
{
    MakeFloor(world, 10.0f, 40, [](int, int) { return 1; });
    NewtonBody* ball = MakeBall(world, 0.17f, 5.0f, -8.0f, 0.17f, 0.1f);
    const float v[3] = {8.0f, 0.0f, 0.0f};
    const float w[3] = {0.0f, 0.0f, -8.0f / 0.17f};
    NewtonBodySetVelocity(ball, v);
    NewtonBodySetOmega(ball, w);
    float highest = 0.0f;
    for (int i = 0; i < 450; ++i) {
        NewtonUpdate(world, kStep);
        highest = std::fmax(highest, Height(ball));
    }
    float after[3];
    NewtonBodyGetVelocity(ball, after);
    EXPECT_LT(highest, 0.17f + 0.002f);
    EXPECT_NEAR(after[0], 8.0f, 0.08f);
}

// What the process callback saw, step by step: the face attribute of the step's
// last contact, 0 for a step without one.
struct ContactLog {
    std::vector<unsigned> lastAttribute;
    void* pairUserData = nullptr;
    int begins = 0, ends = 0;
};

ContactLog* gLog = nullptr;

void CountStep(const NewtonBody* body)
{
    Gravity(body);
    gLog->lastAttribute.push_back(0);
}

int LogBegin(const NewtonMaterial*, const NewtonBody*, const NewtonBody*)
{
    gLog->begins += 1;
    return 1;
}

int LogProcess(const NewtonMaterial* material, const NewtonContact*)
{
    gLog->lastAttribute.back() = NewtonMaterialGetContactFaceAttribute(material);
    gLog->pairUserData = NewtonMaterialGetMaterialPairUserData(material);
    return 1;
}

void LogEnd(const NewtonMaterial*)
{
    gLog->ends += 1;
}

TEST_F(LayerContacts, ProcessCallbackSeesTheFaceUnderTheBallEveryStep)
{
    ContactLog log;
    gLog = &log;
    const int floorGroup = NewtonMaterialCreateGroupID(world);
    const int ballGroup = NewtonMaterialCreateGroupID(world);
    int marker = 0;
    NewtonMaterialSetCollisionCallback(world, ballGroup, floorGroup, &marker, LogBegin, LogProcess, LogEnd);
    // The floor's left half (x < 0) carries attribute 3, the right half 7.
    InGroup(MakeFloor(world, 5.0f, 10, [](int i, int) { return i < 5 ? 3 : 7; }), floorGroup);
    NewtonBody* ball = InGroup(MakeBall(world, 0.17f, 5.0f, -1.0f, 0.17f, 0.25f), ballGroup);
    NewtonBodySetForceAndTorqueCallback(ball, CountStep);
    const float v[3] = {1.0f, 0.0f, 0.0f};
    const float w[3] = {0.0f, 0.0f, -1.0f / 0.17f};
    NewtonBodySetVelocity(ball, v);
    NewtonBodySetOmega(ball, w);
    RunFor(world, 2.0f);  // rolls from x = -1 to x = +1

    ASSERT_EQ(log.lastAttribute.size(), 600u);
    EXPECT_EQ(std::count(log.lastAttribute.begin(), log.lastAttribute.end(), 0u), 0);
    EXPECT_EQ(log.lastAttribute[10], 3u);
    EXPECT_EQ(log.lastAttribute[590], 7u);
    EXPECT_EQ(log.pairUserData, &marker);
    EXPECT_EQ(log.begins, 600);
    EXPECT_EQ(log.ends, 600);
    gLog = nullptr;
}

// Rough faces (attribute 4) get the game's high friction and low bounce per contact.
struct RoughRule {
    float elasticity = 0.5f;
};

int RoughProcess(const NewtonMaterial* material, const NewtonContact*)
{
    const RoughRule* rule = static_cast<const RoughRule*>(NewtonMaterialGetMaterialPairUserData(material));
    if (NewtonMaterialGetContactFaceAttribute(material) == 4) {
        for (int k = 0; k < 2; ++k) {
            NewtonMaterialSetContactFrictionState(material, 1, k);
            NewtonMaterialSetContactStaticFrictionCoef(material, 1.4f, k);
            NewtonMaterialSetContactKineticFrictionCoef(material, 1.395f, k);
        }
    }
    NewtonMaterialSetContactElasticity(material, rule->elasticity);
    return 1;
}

// A sphere that cannot turn: three angular rows hold its spin at zero, so it slides.
void HoldSpin(const NewtonJoint* joint)
{
    const float axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const float* axis : axes) {
        NewtonUserJointAddAngularRow(joint, 0.0f, axis);
    }
}

float SlideDistance(NewtonWorld* world, int attribute)
{
    const int floorGroup = NewtonMaterialCreateGroupID(world);
    const int ballGroup = NewtonMaterialCreateGroupID(world);
    static RoughRule rule;
    NewtonMaterialSetDefaultFriction(world, ballGroup, floorGroup, 0.3f, 0.2f);
    NewtonMaterialSetCollisionCallback(world, ballGroup, floorGroup, &rule, nullptr, RoughProcess, nullptr);
    InGroup(MakeFlatFloor(world, attribute), floorGroup);
    NewtonBody* ball = InGroup(MakeBall(world, 0.17f, 5.0f, -8.0f, 0.17f, 0.3f), ballGroup);
    NewtonConstraintCreateUserJoint(world, 3, HoldSpin, ball, nullptr);
    const float v[3] = {4.0f, 0.0f, 0.0f};
    NewtonBodySetVelocity(ball, v);
    RunFor(world, 0.2f);  // settle in
    float start[3], v0[3];
    Position(ball, start);
    NewtonBodyGetVelocity(ball, v0);
    RunFor(world, 3.0f);
    float end[3], v1[3];
    Position(ball, end);
    NewtonBodyGetVelocity(ball, v1);
    EXPECT_LT(std::fabs(v1[0]), 0.01f);
    // Distance from the moment of measurement: v0^2 / (2 mu g).
    return (end[0] - start[0]) / (v0[0] * v0[0]);
}

TEST_F(LayerContacts, RoughFaceStopsASlidingBallSooner)
{
    const float smooth = SlideDistance(world, 1);
    NewtonDestroy(world);
    world = NewtonCreate(nullptr, nullptr);
    const float rough = SlideDistance(world, 4);
    EXPECT_NEAR(smooth, 1.0f / (2.0f * 0.2f * kGravity), 0.1f / (2.0f * 0.2f * kGravity));
    EXPECT_NEAR(rough, 1.0f / (2.0f * 1.395f * kGravity), 0.1f / (2.0f * 1.395f * kGravity));
    EXPECT_LT(rough, smooth);
}

TEST_F(LayerContacts, StaticFrictionHoldsAndKineticFrictionSlides)
{
    // A slope with tan = 0.5: static friction 1.0 holds a body on it, kinetic 0.2 cannot.
    const float tilt = std::atan(0.5f);
    const int floorGroup = NewtonMaterialCreateGroupID(world);
    const int ballGroup = NewtonMaterialCreateGroupID(world);
    NewtonMaterialSetDefaultFriction(world, ballGroup, floorGroup, 1.0f, 0.2f);
    InGroup(MakeFloor(world, 10.0f, 20, [](int, int) { return 1; }, 0.0f, tilt), floorGroup);
    const float nx = -std::sin(tilt), ny = std::cos(tilt);
    auto placeOnSlope = [&](float x, float z) {
        const float sx = std::cos(tilt) * x + nx * 0.17f, sy = std::sin(tilt) * x + ny * 0.17f;
        NewtonBody* ball = InGroup(MakeBall(world, 0.17f, 5.0f, sx, sy, z), ballGroup);
        NewtonConstraintCreateUserJoint(world, 3, HoldSpin, ball, nullptr);
        return ball;
    };
    NewtonBody* resting = placeOnSlope(2.0f, -2.0f);
    NewtonBody* sliding = placeOnSlope(6.0f, 2.0f);
    const float down[3] = {-2.0f * std::cos(tilt), -2.0f * std::sin(tilt), 0.0f};
    NewtonBodySetVelocity(sliding, down);
    float restStart[3], restEnd[3];
    Position(resting, restStart);
    RunFor(world, 1.0f);
    Position(resting, restEnd);
    EXPECT_LT(std::fabs(restEnd[0] - restStart[0]), 0.01f);
    float v[3];
    NewtonBodyGetVelocity(sliding, v);
    const float expected = 2.0f + kGravity * (std::sin(tilt) - 0.2f * std::cos(tilt)) * 1.0f;
    EXPECT_NEAR(Length(v), expected, 0.1f * expected);
}

// Highest point of the ball's bottom after its first bounce off the floor.
float ReboundHeight(NewtonWorld* world, float elasticity)
{
    static RoughRule rule;
    rule.elasticity = elasticity;
    const int floorGroup = NewtonMaterialCreateGroupID(world);
    const int ballGroup = NewtonMaterialCreateGroupID(world);
    NewtonMaterialSetCollisionCallback(world, ballGroup, floorGroup, &rule, nullptr, RoughProcess, nullptr);
    InGroup(MakeFlatFloor(world, 4), floorGroup);
    NewtonBody* ball = InGroup(MakeBall(world, 0.17f, 5.0f, 0.3f, 1.17f, 0.3f), ballGroup);
    float v[3] = {0, 0, 0};
    bool bounced = false;
    float highest = 0.0f;
    // Until the ball falls again after going up.
    for (int i = 0; i < 600 && !(bounced && v[1] < 0.0f); ++i) {
        NewtonUpdate(world, kStep);
        NewtonBodyGetVelocity(ball, v);
        bounced = bounced || v[1] > 0.0f;
        if (bounced) {
            highest = std::fmax(highest, Height(ball) - 0.17f);
        }
    }
    return highest;
}

TEST_F(LayerContacts, ElasticitySetPerContactDecidesTheBounce)
{
    const float lively = ReboundHeight(world, 0.5f);
    NewtonDestroy(world);
    world = NewtonCreate(nullptr, nullptr);
    const float dead = ReboundHeight(world, 0.01f);
    EXPECT_NEAR(lively, 0.25f, 0.025f);  // e^2 * drop height of 1
    EXPECT_LT(dead, 0.005f);
}

// The scoring rule: a ball touching attribute 9 goes to the return point at once.
struct ReturnRule {
    float point[3] = {5.0f, 3.0f, 1.0f};
    int moves = 0;
    float velocityAtMove[3] = {0, 0, 0};
    NewtonBody* ball = nullptr;
};

int ReturnProcess(const NewtonMaterial* material, const NewtonContact*)
{
    ReturnRule* rule = static_cast<ReturnRule*>(NewtonMaterialGetMaterialPairUserData(material));
    if (NewtonMaterialGetContactFaceAttribute(material) == 9 && rule->moves == 0) {
        float m[16];
        Translation(m, rule->point[0], rule->point[1], rule->point[2]);
        NewtonBodyGetVelocity(rule->ball, rule->velocityAtMove);
        NewtonBodySetMatrix(rule->ball, m);
        rule->moves += 1;
    }
    return 1;
}

TEST_F(LayerContacts, BallMovedInsideProcessCallbackIsThereAfterTheStepWithItsVelocity)
{
    ReturnRule rule;
    const int floorGroup = NewtonMaterialCreateGroupID(world);
    const int ballGroup = NewtonMaterialCreateGroupID(world);
    NewtonMaterialSetDefaultElasticity(world, ballGroup, floorGroup, 0.25f);
    NewtonMaterialSetCollisionCallback(world, ballGroup, floorGroup, &rule, nullptr, ReturnProcess, nullptr);
    InGroup(MakeFlatFloor(world, 9), floorGroup);
    rule.ball = InGroup(MakeBall(world, 0.17f, 5.0f, 0.3f, 1.0f, 0.3f), ballGroup);
    for (int step = 0; rule.moves == 0 && step < 600; ++step) {
        NewtonUpdate(world, kStep);
    }
    ASSERT_EQ(rule.moves, 1);
    float p[3], v[3];
    Position(rule.ball, p);
    NewtonBodyGetVelocity(rule.ball, v);
    // Moved, then one step of free flight from the return point: no contact pushed it.
    EXPECT_NEAR(p[0], rule.point[0], 1e-4f);
    EXPECT_NEAR(p[1], rule.point[1] + v[1] * kStep, 1e-3f);
    EXPECT_NEAR(p[2], rule.point[2], 1e-4f);
    EXPECT_LT(v[1], -3.5f);  // still falling as fast as when it touched
    EXPECT_NEAR(v[1], rule.velocityAtMove[1] - kGravity * kStep, 0.01f);
}

}  // namespace
