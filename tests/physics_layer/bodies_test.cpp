// bodies_test.cpp -- the rigid-body layer's stepping, bodies, shapes and joints: what
// the game relies on for its balls and the player's upright ellipsoid.
#include "tests/physics_layer/layer_scene.h"

#include <gtest/gtest.h>

#include <vector>

using namespace layer_scene;

namespace {

class LayerBodies : public LayerWorld {};

struct StepLog {
    std::vector<float> forceSteps;
    int transforms = 0;
    float lastX = 0.0f;  // position the last transform report gave
};
StepLog* gSteps = nullptr;

void LogForce(const NewtonBody* body)
{
    gSteps->forceSteps.push_back(NewtonGetTimeStep(NewtonBodyGetWorld(body)));
}

void LogTransform(const NewtonBody*, const float* matrix)
{
    gSteps->transforms += 1;
    gSteps->lastX = matrix[12];
}

TEST_F(LayerBodies, UpdateRunsOneStepWithCallbacksAndSplitsLongSteps)
{
    StepLog log;
    gSteps = &log;
    NewtonBody* ball = MakeBall(world, 0.17f, 5.0f, 0.0f, 5.0f, 0.0f);
    NewtonBodySetForceAndTorqueCallback(ball, LogForce);
    NewtonBodySetTransformCallback(ball, LogTransform);
    const float v[3] = {1.0f, 0.0f, 0.0f};
    NewtonBodySetVelocity(ball, v);
    NewtonUpdate(world, kStep);
    ASSERT_EQ(log.forceSteps.size(), 1u);
    EXPECT_FLOAT_EQ(log.forceSteps[0], kStep);
    EXPECT_EQ(log.transforms, 1);
    float m[16];
    NewtonBodyGetMatrix(ball, m);
    EXPECT_FLOAT_EQ(log.lastX, m[12]);
    EXPECT_NEAR(m[12], kStep, 1e-6f);
    // A twentieth of a second with a minimum rate of 60 is three steps of 1/60.
    NewtonSetMinimumFrameRate(world, 60.0f);
    NewtonUpdate(world, 1.0f / 20.0f);
    ASSERT_EQ(log.forceSteps.size(), 4u);
    EXPECT_FLOAT_EQ(log.forceSteps[3], 1.0f / 60.0f);
    EXPECT_EQ(log.transforms, 4);
    gSteps = nullptr;
}

void PushUp(const NewtonBody* body)
{
    const float up[3] = {0.0f, 10.0f, 0.0f};
    NewtonBodyAddForce(body, up);
}

TEST_F(LayerBodies, ForcesAreSetOrAddedForTheComingStepOnly)
{
    // A 1 kg body: two forces added before the step act in that step only.
    NewtonBody* ball = MakeBall(world, 0.5f, 1.0f, 0.0f, 0.0f, 0.0f);
    NewtonBodySetForceAndTorqueCallback(ball, nullptr);
    const float lift[3] = {0.0f, 3.0f, 0.0f};
    NewtonBodyAddForce(ball, lift);  // outside the step: acts in the next step
    NewtonBodyAddForce(ball, lift);
    NewtonUpdate(world, kStep);
    float v[3];
    NewtonBodyGetVelocity(ball, v);
    EXPECT_NEAR(v[1], 6.0f * kStep, 1e-6f);
    NewtonUpdate(world, kStep);  // spent: no force now
    NewtonBodyGetVelocity(ball, v);
    EXPECT_NEAR(v[1], 6.0f * kStep, 1e-6f);
    NewtonBodySetForceAndTorqueCallback(ball, PushUp);
    NewtonBodySetForce(ball, lift);  // set before the step; the callback adds 10 more
    NewtonUpdate(world, kStep);
    NewtonBodyGetVelocity(ball, v);
    EXPECT_NEAR(v[1], 6.0f * kStep + 13.0f * kStep, 1e-5f);
}

TEST_F(LayerBodies, StaticBodyStaysPutUnderForcesAndMassAndMatrixRoundTrip)
{
    NewtonCollision* shape = NewtonCreateSphere(world, 0.17f, 0.17f, 0.17f, nullptr);
    NewtonBody* body = NewtonCreateBody(world, shape);
    NewtonReleaseCollision(world, shape);
    // A new body is static: a quarter turn about y at (1, 2, 3) holds under a push.
    const float m[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 2, 3, 1};
    NewtonBodySetMatrix(body, m);
    NewtonBodySetForceAndTorqueCallback(body, PushUp);
    RunFor(world, 0.5f);
    float back[16];
    NewtonBodyGetMatrix(body, back);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(back[i], m[i], 1e-6f) << i;
    }
    float mass, ixx, iyy, izz;
    NewtonBodyGetMassMatrix(body, &mass, &ixx, &iyy, &izz);
    EXPECT_EQ(mass, 0.0f);
    NewtonBodySetMassMatrix(body, 5.0f, 0.0578f, 0.0578f, 0.0578f);
    NewtonBodyGetMassMatrix(body, &mass, &ixx, &iyy, &izz);
    EXPECT_EQ(mass, 5.0f);
    EXPECT_EQ(izz, 0.0578f);
    EXPECT_EQ(NewtonBodyGetWorld(body), world);
    int data = 0;
    NewtonBodySetUserData(body, &data);
    EXPECT_EQ(NewtonBodyGetUserData(body), &data);
}

TEST_F(LayerBodies, EllipsoidBoundsAreExactAndTreeBoundsCoverItsFaces)
{
    NewtonCollision* shape = NewtonCreateSphere(world, 1.0f, 2.0f, 0.5f, nullptr);
    float m[16];
    Translation(m, 1.0f, 2.0f, 3.0f);
    float lo[3], hi[3];
    NewtonCollisionCalculateAABB(shape, m, lo, hi);
    EXPECT_NEAR(lo[0], 0.0f, 1e-5f);
    EXPECT_NEAR(hi[1], 4.0f, 1e-5f);
    EXPECT_NEAR(hi[2], 3.5f, 1e-5f);
    // A quarter turn about z swaps the x and y extents.
    const float turned[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    NewtonCollisionCalculateAABB(shape, turned, lo, hi);
    EXPECT_NEAR(hi[0], 2.0f, 1e-5f);
    EXPECT_NEAR(hi[1], 1.0f, 1e-5f);
    NewtonReleaseCollision(world, shape);
    // A tree's box covers its faces.
    NewtonCollision* tree = NewtonCreateTreeCollision(world, nullptr);
    NewtonTreeCollisionBeginBuild(tree);
    const float face[9] = {-1, 0, -2, 3, 0, -2, 3, 1.5f, 4};
    NewtonTreeCollisionAddFace(tree, 3, face, 12, 2);
    NewtonTreeCollisionEndBuild(tree, 0);
    Translation(m, 0.0f, 0.0f, 0.0f);
    NewtonCollisionCalculateAABB(tree, m, lo, hi);
    EXPECT_NEAR(lo[0], -1.0f, 0.01f);
    EXPECT_NEAR(lo[2], -2.0f, 0.01f);
    EXPECT_NEAR(hi[0], 3.0f, 0.01f);
    EXPECT_NEAR(hi[1], 1.5f, 0.01f);
    EXPECT_NEAR(hi[2], 4.0f, 0.01f);
    NewtonReleaseCollision(world, tree);
}

TEST_F(LayerBodies, BodyMadeBeforeItsTreeIsBuiltCollidesAfterwards)
{
    NewtonCollision* tree = NewtonCreateTreeCollision(world, nullptr);
    NewtonTreeCollisionBeginBuild(tree);
    NewtonCreateBody(world, tree);
    const float quad[12] = {-5, 0, -5, -5, 0, 5, 5, 0, 5, 5, 0, -5};
    NewtonTreeCollisionAddFace(tree, 4, quad, 12, 1);
    NewtonTreeCollisionEndBuild(tree, 0);
    NewtonReleaseCollision(world, tree);
    NewtonBody* ball = MakeBall(world, 0.17f, 5.0f, 0.0f, 0.5f, 0.0f);
    RunFor(world, 1.0f);
    EXPECT_NEAR(Height(ball), 0.17f, 0.0017f);
}

struct FaceCount {
    int contacts = 0;
    int onFloorFace = 0;
};

int CountFloorFaces(const NewtonMaterial* material, const NewtonContact*)
{
    FaceCount* count = static_cast<FaceCount*>(NewtonMaterialGetMaterialPairUserData(material));
    count->contacts += 1;
    count->onFloorFace += NewtonMaterialGetContactFaceAttribute(material) == 1 ? 1 : 0;
    return 1;
}

TEST_F(LayerBodies, FastBallsNeverPassThroughATreeFloor)
{
    const int floorGroup = NewtonMaterialCreateGroupID(world);
    const int ballGroup = NewtonMaterialCreateGroupID(world);
    NewtonMaterialSetContinuousCollisionMode(world, ballGroup, floorGroup, 1);
    FaceCount faces;
    NewtonMaterialSetCollisionCallback(world, ballGroup, floorGroup, &faces, nullptr, CountFloorFaces, nullptr);
    InGroup(MakeFlatFloor(world), floorGroup);
    const float speeds[2] = {25.0f, 60.0f};
    int passed = 0;
    for (float speed : speeds) {
        for (int k = 0; k < 12; ++k) {
            const float x = -4.0f + 0.61f * float(k), z = -3.0f + 0.37f * float(k);
            const float y = 1.0f + 0.013f * float(k);
            NewtonBody* ball = InGroup(MakeBall(world, 0.17f, 5.0f, x, y, z), ballGroup);
            NewtonBodySetContinuousCollisionMode(ball, 1);
            const float angle = 0.15f * float(k);
            const float v[3] = {speed * 0.3f * std::cos(angle), -speed, speed * 0.3f * std::sin(angle)};
            NewtonBodySetVelocity(ball, v);
            float lowest = 10.0f;
            for (int i = 0; i < 120; ++i) {
                NewtonUpdate(world, kStep);
                lowest = std::fmin(lowest, Height(ball));
            }
            passed += lowest < 0.0f ? 1 : 0;
            NewtonDestroyBody(world, ball);
        }
    }
    EXPECT_EQ(passed, 0);
    // Swept contacts of the fastest throws still name the face they hit.
    EXPECT_GT(faces.contacts, 0);
    EXPECT_EQ(faces.onFloorFace, faces.contacts);
}

struct Brake {
    NewtonBody* body = nullptr;
    float limit = 0.5f;
    int submits = 0;
};

// The game's rolling resistance: stop the spin within a step, within a torque bound.
void RollingResistance(const NewtonJoint* joint)
{
    Brake* brake = static_cast<Brake*>(NewtonJointGetUserData(joint));
    brake->submits += 1;
    float w[3];
    NewtonBodyGetOmega(brake->body, w);
    const float s = Length(w);
    if (s > 0.1f) {
        const float pin[3] = {w[0] / s, w[1] / s, w[2] / s};
        NewtonUserJointAddAngularRow(joint, 0.0f, pin);
        NewtonUserJointSetRowAcceleration(joint, -s / NewtonGetTimeStep(NewtonBodyGetWorld(brake->body)));
        NewtonUserJointSetRowMinimumFriction(joint, -brake->limit);
        NewtonUserJointSetRowMaximumFriction(joint, brake->limit);
    } else {
        const float slow[3] = {w[0] * 0.2f, w[1] * 0.2f, w[2] * 0.2f};
        NewtonBodySetOmega(brake->body, slow);
    }
}

void NoRows(const NewtonJoint* joint)
{
    Brake* brake = static_cast<Brake*>(NewtonJointGetUserData(joint));
    brake->submits += 1;
}

TEST_F(LayerBodies, UserJointRowBrakesASpinningSphereAtTheTorqueBound)
{
    Brake braked;
    // A floating sphere with I = 0.2 spinning at 10 rad/s, braked by at most 0.5 N m.
    braked.body = MakeBall(world, 0.5f, 2.0f, 0.0f, 3.0f, 0.0f);
    NewtonBodySetForceAndTorqueCallback(braked.body, nullptr);
    NewtonJoint* joint = NewtonConstraintCreateUserJoint(world, 1, RollingResistance, braked.body, nullptr);
    NewtonJointSetUserData(joint, &braked);
    const float spin[3] = {0.0f, 6.0f, 8.0f};
    NewtonBodySetOmega(braked.body, spin);

    NewtonBody* free = MakeBall(world, 0.5f, 2.0f, 3.0f, 3.0f, 0.0f);
    NewtonBodySetForceAndTorqueCallback(free, nullptr);
    Brake idle;
    NewtonJoint* idleJoint = NewtonConstraintCreateUserJoint(world, 1, NoRows, free, nullptr);
    NewtonJointSetUserData(idleJoint, &idle);
    NewtonBodySetOmega(free, spin);

    RunFor(world, 1.0f);
    EXPECT_EQ(braked.submits, 300);
    EXPECT_EQ(idle.submits, 300);
    float w[3];
    NewtonBodyGetOmega(braked.body, w);
    EXPECT_NEAR(Length(w), 10.0f - 0.5f / 0.2f, 0.05f);
    EXPECT_NEAR(w[1] / w[2], 0.75f, 1e-3f);  // braked about its own axis
    NewtonBodyGetOmega(free, w);
    EXPECT_NEAR(Length(w), 10.0f, 1e-4f);
    RunFor(world, 3.1f);
    NewtonBodyGetOmega(braked.body, w);
    EXPECT_LT(Length(w), 0.01f);
}

void OffCentreKick(const NewtonBody* body)
{
    Gravity(body);
    const float torque[3] = {400.0f, 50.0f, -300.0f};
    NewtonBodyAddTorque(body, torque);
}

TEST_F(LayerBodies, UpVectorKeepsThePlayerUprightThroughImpactsAtItsHalfHeight)
{
    MakeFlatFloor(world);
    NewtonBody* player = MakeBall(world, 1.0f, 150.0f, 0.3f, 2.5f, 0.2f, 2.0f);
    NewtonBodySetMassMatrix(player, 150.0f, 150.0f, 150.0f, 150.0f);
    NewtonBodySetForceAndTorqueCallback(player, OffCentreKick);
    const float up[3] = {0.0f, 1.0f, 0.0f};
    NewtonConstraintCreateUpVector(world, up, player);
    // Balls thrown at the player's head and shoulders.
    for (int k = 0; k < 6; ++k) {
        NewtonBody* ball = MakeBall(world, 0.17f, 5.0f, -3.0f, 2.5f + 0.25f * float(k), 0.3f * float(k) - 0.6f);
        const float v[3] = {20.0f, 1.0f, 0.0f};
        NewtonBodySetVelocity(ball, v);
    }
    float worstTilt = 0.0f;
    for (int i = 0; i < 900; ++i) {
        NewtonUpdate(world, kStep);
        float m[16];
        NewtonBodyGetMatrix(player, m);
        worstTilt = std::fmax(worstTilt, 1.0f - m[5]);
    }
    float w[3];
    NewtonBodyGetOmega(player, w);
    EXPECT_LT(worstTilt, 1e-6f);
    EXPECT_GT(std::fabs(w[1]), 0.1f);  // free to turn about its pin
    EXPECT_NEAR(Height(player), 2.0f, 0.02f);  // the upright ellipsoid rests on its tip
}

TEST_F(LayerBodies, UpVectorAlongASlantedPinHoldsThatAxis)
{
    NewtonBody* body = MakeBall(world, 0.5f, 2.0f, 0.0f, 3.0f, 0.0f);
    NewtonBodySetForceAndTorqueCallback(body, OffCentreKick);
    const float pin[3] = {0.6f, 0.8f, 0.0f};
    NewtonConstraintCreateUpVector(world, pin, body);
    RunFor(world, 1.0f);
    float m[16];
    NewtonBodyGetMatrix(body, m);
    // The body axis that was along the pin at creation is still along it.
    const float axis[3] = {m[0] * 0.6f + m[4] * 0.8f, m[1] * 0.6f + m[5] * 0.8f, m[2] * 0.6f + m[6] * 0.8f};
    const float dot = axis[0] * 0.6f + axis[1] * 0.8f;
    EXPECT_GT(dot, std::cos(0.02f));
    float w[3];
    NewtonBodyGetOmega(body, w);
    EXPECT_GT(Length(w), 1.0f);
}

TEST_F(LayerBodies, ImpulseChangesThePointVelocityByExactlyTheGivenAmount)
{
    NewtonBody* body = MakeBall(world, 1.0f, 150.0f, 0.0f, 3.0f, 0.0f, 2.0f);
    NewtonBodySetMassMatrix(body, 150.0f, 100.0f, 40.0f, 120.0f);
    NewtonBodySetForceAndTorqueCallback(body, nullptr);
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    const float m[16] = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 3, 0, 1};
    NewtonBodySetMatrix(body, m);
    const float point[3] = {0.4f, 4.2f, 0.3f};
    const float dv[3] = {1.0f, -2.0f, 3.0f};
    NewtonAddBodyImpulse(body, dv, point);
    float v[3], w[3];
    NewtonBodyGetVelocity(body, v);
    NewtonBodyGetOmega(body, w);
    const float r[3] = {point[0], point[1] - 3.0f, point[2]};
    const float pv[3] = {v[0] + w[1] * r[2] - w[2] * r[1], v[1] + w[2] * r[0] - w[0] * r[2],
                         v[2] + w[0] * r[1] - w[1] * r[0]};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(pv[k], dv[k], 1e-4f) << k;
    }
    EXPECT_GT(Length(w), 0.01f);
}

TEST_F(LayerBodies, AutoFrozenBodyWakesWhenTouchedOrPushed)
{
    StepLog log;
    gSteps = &log;
    MakeFlatFloor(world);
    NewtonBody* sleeper = MakeBall(world, 0.17f, 5.0f, 0.3f, 0.17f, 0.3f);
    NewtonBodySetAutoFreeze(sleeper, 1);
    NewtonBodySetTransformCallback(sleeper, LogTransform);
    RunFor(world, 3.0f);
    const int before = log.transforms;
    RunFor(world, 1.0f);
    EXPECT_EQ(log.transforms, before);  // asleep: no transform reports
    // A push from outside wakes it.
    const float v[3] = {1.0f, 0.0f, 0.0f};
    NewtonBodySetVelocity(sleeper, v);
    RunFor(world, 0.1f);
    EXPECT_GT(log.transforms, before);
    EXPECT_GT(Height(sleeper), 0.16f);
    float p[3];
    Position(sleeper, p);
    EXPECT_GT(p[0], 0.35f);
    // Asleep again, then hit by another ball.
    RunFor(world, 6.0f);
    Position(sleeper, p);
    NewtonBody* hitter = MakeBall(world, 0.17f, 5.0f, p[0] - 2.0f, 0.17f, p[2]);
    const float roll[3] = {4.0f, 0.0f, 0.0f};
    NewtonBodySetVelocity(hitter, roll);
    RunFor(world, 1.0f);
    float q[3];
    Position(sleeper, q);
    EXPECT_GT(q[0], p[0] + 0.5f);
    // Auto-freeze off: reports keep coming while at rest.
    NewtonBody* awake = MakeBall(world, 0.17f, 5.0f, -3.0f, 0.17f, -3.0f);
    StepLog awakeLog;
    gSteps = &awakeLog;
    NewtonBodySetTransformCallback(sleeper, nullptr);
    NewtonBodySetTransformCallback(hitter, nullptr);
    NewtonBodySetTransformCallback(awake, LogTransform);
    RunFor(world, 5.0f);
    EXPECT_EQ(awakeLog.transforms, 1500);
    gSteps = nullptr;
}

TEST_F(LayerBodies, BodyLeavingTheWorldBoxIsParkedUntilPlacedBack)
{
    StepLog log;
    gSteps = &log;
    const float lo[3] = {-10, -10, -10}, hi[3] = {10, 10, 10};
    NewtonSetWorldSize(world, lo, hi);
    NewtonBody* ball = MakeBall(world, 0.17f, 5.0f, 0.0f, 0.0f, 0.0f);
    NewtonBodySetTransformCallback(ball, LogTransform);
    RunFor(world, 3.0f);  // falls 44 m: out of the box after about 1.45 s
    const float parkedAt = Height(ball);
    EXPECT_LT(parkedAt, -10.0f);
    EXPECT_GT(parkedAt, -11.0f);
    const int reports = log.transforms;
    RunFor(world, 1.0f);
    EXPECT_EQ(log.transforms, reports);
    EXPECT_FLOAT_EQ(Height(ball), parkedAt);
    float m[16];
    Translation(m, 0.0f, 5.0f, 0.0f);
    NewtonBodySetMatrix(ball, m);
    RunFor(world, 0.1f);
    EXPECT_GT(log.transforms, reports);
    EXPECT_LT(Height(ball), 5.0f);
    gSteps = nullptr;
}

}  // namespace
