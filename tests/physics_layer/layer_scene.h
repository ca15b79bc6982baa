// layer_scene.h -- small scenes for the rigid-body layer's tests, built only through
// the layer's own API: tree floors, balls, gravity and stepping.
#pragma once

#include "platform/newton/newton.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace layer_scene {

// A fresh empty world for each test.
class LayerWorld : public ::testing::Test {
protected:
    void SetUp() override { world = NewtonCreate(nullptr, nullptr); }
    void TearDown() override { NewtonDestroy(world); }
    NewtonWorld* world = nullptr;
};

const float kGravity = 9.8f;
const float kStep = 1.0f / 300.0f;

inline void Translation(float* m, float x, float y, float z)
{
    for (int i = 0; i < 16; ++i) {
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    }
    m[12] = x;
    m[13] = y;
    m[14] = z;
}

inline void Position(const NewtonBody* body, float* p)
{
    float m[16];
    NewtonBodyGetMatrix(body, m);
    p[0] = m[12];
    p[1] = m[13];
    p[2] = m[14];
}

inline float Height(const NewtonBody* body)
{
    float p[3];
    Position(body, p);
    return p[1];
}

inline float Length(const float* v)
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// Gravity along -Y scaled by the body's mass.
inline void Gravity(const NewtonBody* body)
{
    float mass, ixx, iyy, izz;
    NewtonBodyGetMassMatrix(body, &mass, &ixx, &iyy, &izz);
    const float force[3] = {0.0f, -mass * kGravity, 0.0f};
    NewtonBodySetForce(body, force);
}

// Attribute of the floor cell (i, j); the floor is cells x cells squares.
typedef std::function<int(int i, int j)> CellAttribute;

// A square floor of two triangles per cell, centred on (0, y, 0), facing +Y, tilted
// about the z axis by tilt radians. The body is static.
inline NewtonBody* MakeFloor(NewtonWorld* world, float halfSize, int cells, CellAttribute attribute,
                             float y = 0.0f, float tilt = 0.0f)
{
    NewtonCollision* tree = NewtonCreateTreeCollision(world, nullptr);
    NewtonBody* body = NewtonCreateBody(world, tree);
    NewtonTreeCollisionBeginBuild(tree);
    const float size = 2.0f * halfSize / float(cells);
    const float c = std::cos(tilt), s = std::sin(tilt);
    auto corner = [&](int i, int j, float* out) {
        const float x = -halfSize + size * float(i);
        const float z = -halfSize + size * float(j);
        out[0] = c * x;
        out[1] = y + s * x;
        out[2] = z;
    };
    // The cell's corners (0, 0), (0, 1), (1, 1) and (0, 0), (1, 1), (1, 0).
    const int triangles[2][3][2] = {{{0, 0}, {0, 1}, {1, 1}}, {{0, 0}, {1, 1}, {1, 0}}};
    for (int i = 0; i < cells; ++i) {
        for (int j = 0; j < cells; ++j) {
            for (const auto& triangle : triangles) {
                float v[9];
                for (int k = 0; k < 3; ++k) {
                    corner(i + triangle[k][0], j + triangle[k][1], v + 3 * k);
                }
                NewtonTreeCollisionAddFace(tree, 3, v, 12, attribute(i, j));
            }
        }
    }
    NewtonTreeCollisionEndBuild(tree, 0);
    NewtonReleaseCollision(world, tree);
    return body;
}

// The body, put in the material group.
inline NewtonBody* InGroup(NewtonBody* body, int group)
{
    NewtonBodySetMaterialGroupID(body, group);
    return body;
}

inline NewtonBody* MakeFlatFloor(NewtonWorld* world, int attribute = 1)
{
    return MakeFloor(world, 10.0f, 20, [attribute](int, int) { return attribute; });
}

// A solid dynamic sphere (or ellipsoid) under gravity that never falls asleep.
inline NewtonBody* MakeBall(NewtonWorld* world, float radius, float mass, float x, float y, float z,
                            float ry = -1.0f)
{
    NewtonCollision* shape = NewtonCreateSphere(world, radius, ry > 0.0f ? ry : radius, radius, nullptr);
    NewtonBody* body = NewtonCreateBody(world, shape);
    NewtonReleaseCollision(world, shape);
    const float inertia = 0.4f * mass * radius * radius;
    NewtonBodySetMassMatrix(body, mass, inertia, inertia, inertia);
    float m[16];
    Translation(m, x, y, z);
    NewtonBodySetMatrix(body, m);
    NewtonBodySetForceAndTorqueCallback(body, Gravity);
    NewtonBodySetAutoFreeze(body, 0);
    const float none[3] = {0.0f, 0.0f, 0.0f};
    NewtonBodySetLinearDamping(body, 0.0f);
    NewtonBodySetAngularDamping(body, none);
    return body;
}

inline void RunFor(NewtonWorld* world, float seconds)
{
    const int steps = int(std::lround(seconds / kStep));
    for (int i = 0; i < steps; ++i) {
        NewtonUpdate(world, kStep);
    }
}

}  // namespace layer_scene
