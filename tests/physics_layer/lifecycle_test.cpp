// lifecycle_test.cpp -- a whole game-like world created, populated, stepped and
// destroyed repeatedly: the layer's own counts of live bodies, shapes and joints
// come back to where they started, and so do the records taken from the world's
// allocator (AddressSanitizer builds also check the memory).
#include "tests/physics_layer/layer_scene.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace layer_scene;

namespace {

int gLiveRecords = 0;

void* CountingAlloc(int size)
{
    gLiveRecords += 1;
    return std::malloc(size_t(size));
}

void CountingFree(void* ptr, int)
{
    gLiveRecords -= 1;
    std::free(ptr);
}

int KeepContact(const NewtonMaterial* material, const NewtonContact*)
{
    if (NewtonMaterialGetContactFaceAttribute(material) == 9) {
        float m[16];
        Translation(m, 0.0f, 2.0f, 0.0f);
        NewtonBodySetMatrix(static_cast<NewtonBody*>(NewtonMaterialGetMaterialPairUserData(material)), m);
    }
    return 1;
}

int Begin(const NewtonMaterial*, const NewtonBody*, const NewtonBody*)
{
    return 1;
}

void End(const NewtonMaterial*) {}

void Spin(const NewtonJoint* joint)
{
    const float pin[3] = {0.0f, 1.0f, 0.0f};
    NewtonUserJointAddAngularRow(joint, 0.0f, pin);
    NewtonUserJointSetRowMaximumFriction(joint, 0.1f);
    NewtonUserJointSetRowMinimumFriction(joint, -0.1f);
}

float Nearest(const NewtonBody*, const float*, int, void*, float param)
{
    return param;
}

// Bodies, shapes and joints alive now, less those alive at base, and the records
// the world's allocator has out.
void ExpectLive(const int* base, int bodies, int shapes, int joints, int records)
{
    int now[3];
    NewtonLayerLiveCounts(&now[0], &now[1], &now[2]);
    EXPECT_EQ(now[0] - base[0], bodies) << "bodies";
    EXPECT_EQ(now[1] - base[1], shapes) << "shapes";
    EXPECT_EQ(now[2] - base[2], joints) << "joints";
    EXPECT_EQ(gLiveRecords, records) << "records";
}

void BuildAndRun()
{
    int base[3];
    NewtonLayerLiveCounts(&base[0], &base[1], &base[2]);
    gLiveRecords = 0;
    NewtonWorld* world = NewtonCreate(CountingAlloc, CountingFree);
    NewtonSetPlatformArchitecture(world, 2);
    const int tableGroup = NewtonMaterialCreateGroupID(world);
    const int playerGroup = NewtonMaterialCreateGroupID(world);
    NewtonMaterialSetDefaultSoftness(world, tableGroup, playerGroup, 0.75f);
    NewtonMaterialSetContinuousCollisionMode(world, tableGroup, playerGroup, 1);
    InGroup(MakeFloor(world, 4.0f, 16, [](int i, int j) { return (i + j) % 10; }), tableGroup);
    NewtonBody* ball = nullptr;
    for (int n = 0; n < 6; ++n) {
        const int group = NewtonMaterialCreateGroupID(world);
        const float y = 0.75f + 0.25f * float(n);
        ball = InGroup(MakeBall(world, 0.17f, 5.0f, 0.0f, y, 3.4f - float(n)), group);
        NewtonMaterialSetCollisionCallback(world, group, tableGroup, ball, Begin, KeepContact, End);
        NewtonMaterialSetContinuousCollisionMode(world, group, tableGroup, 1);
        NewtonBodySetContinuousCollisionMode(ball, 1);
        NewtonBodyCoriolisForcesMode(ball, 1);
        NewtonConstraintCreateUserJoint(world, 1, Spin, ball, nullptr);
    }
    NewtonBody* player = InGroup(MakeBall(world, 1.0f, 150.0f, 0.0f, 3.0f, 5.0f, 2.0f), playerGroup);
    const float up[3] = {0.0f, 1.0f, 0.0f};
    NewtonConstraintCreateUpVector(world, up, player);
    NewtonCreateSphere(world, 1.0f, 2.0f, 1.0f, nullptr);  // never released: the world frees it
    float lo[3] = {-104, -104, -104}, hi[3] = {104, 104, 104};
    NewtonSetWorldSize(world, lo, hi);
    NewtonSetMinimumFrameRate(world, 300.0f);
    for (int i = 0; i < 300; ++i) {
        NewtonUpdate(world, kStep);
    }
    const float p0[3] = {0.0f, 3.0f, 5.0f}, p1[3] = {0.0f, -3.0f, 0.0f};
    NewtonWorldRayCast(world, p0, p1, Nearest, nullptr, nullptr);
    // The table, six balls and the player; each ball's and the player's sphere, the
    // table's tree and the loose sphere; a joint on each ball and the player's up
    // vector; one record for each of them and one for the world.
    ExpectLive(base, 8, 9, 7, 25);
    // A body goes with its joint and the last reference to its shape.
    NewtonDestroyBody(world, ball);
    ExpectLive(base, 7, 8, 6, 22);
    NewtonDestroy(world);
    ExpectLive(base, 0, 0, 0, 0);
}

TEST(LayerLifecycle, WorldsAreBuiltSteppedAndDestroyedCleanly)
{
    for (int round = 0; round < 3; ++round) {
        BuildAndRun();
    }
}

}  // namespace
