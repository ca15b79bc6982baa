// ball.cpp -- the six balls: their bodies, gravity, the copy of their matrices
// after each step and the rolling resistance that brakes their spin.
#include "physics/physics.h"

#include "platform/newton/newton.h"

#include <cmath>
#include <cstdlib>

static const float kBallRadius = 0.17f;
static const float kGravity = 9.8f;

void CreateBall(NewtonWorld* world, SceneObject* object, float mass)
{
    // Each new ball starts a quarter unit above the last, in one column.
    static float nextBallOffset = 0.0f;
    nextBallOffset += 0.25f;

    object->matrix = (Mat4*)std::calloc(1, sizeof(Mat4));
    object->modelMatrices = (Mat4**)std::calloc(object->modelCount, sizeof(Mat4*));
    for (int k = 0; k < object->modelCount; ++k)
        object->modelMatrices[k] = (Mat4*)std::calloc(1, sizeof(Mat4));
    if (object->modelCount > 0)
        Mat4Identity(object->modelMatrices[0]);

    NewtonCollision* shape = NewtonCreateSphere(world, kBallRadius, kBallRadius, kBallRadius, nullptr);
    object->collision = shape;
    object->body = NewtonCreateBody(world, shape);
    object->kind = kKindBall;

    float inertia = 0.4f * mass * kBallRadius * kBallRadius;
    NewtonBodySetMassMatrix(object->body, mass, inertia, inertia, inertia);
    object->mass = mass;

    PlaceBodyUpright(object->body, Vec3{0.0f, 0.5f + nextBallOffset, 3.4f});
    const float still[3] = {0.0f, 0.0f, 0.0f};
    NewtonBodySetOmega(object->body, still);

    NewtonBodySetForceAndTorqueCallback(object->body, BallForceAndTorque);
    NewtonBodySetTransformCallback(object->body, ObjectTransform);
    NewtonBodySetContinuousCollisionMode(object->body, 1);
    NewtonBodySetAngularDamping(object->body, still);
    NewtonBodySetLinearDamping(object->body, 0.0f);

    object->jointCount = 1;
    object->joints = (NewtonJoint**)std::calloc(1, sizeof(NewtonJoint*));
    object->joints[0] = NewtonConstraintCreateUserJoint(world, 1, RollingResistance, object->body, nullptr);
    NewtonJointSetUserData(object->joints[0], object);

    NewtonBodySetUserData(object->body, object);
    NewtonReleaseCollision(world, shape);
}

void BallForceAndTorque(const NewtonBody* body)
{
    float mass, ixx, iyy, izz;
    NewtonBodyGetMassMatrix(body, &mass, &ixx, &iyy, &izz);
    const SceneObject* object = (const SceneObject*)NewtonBodyGetUserData(body);
    // A held ball floats: no force at all.
    float force[3] = {0.0f, object->gravityOn ? -mass * kGravity : 0.0f, 0.0f};
    NewtonBodySetForce(body, force);
}

void ObjectTransform(const NewtonBody* body, const float* matrix)
{
    SceneObject* object = (SceneObject*)NewtonBodyGetUserData(body);
    for (int i = 0; i < 16; ++i)
        object->matrix->m[i] = matrix[i];
    Mat4GetAxes(&object->frame, object->matrix);
}

void RollingResistance(const NewtonJoint* joint)
{
    SceneObject* object = (SceneObject*)NewtonJointGetUserData(joint);
    const NewtonBody* body = object->body;
    float omega[3];
    NewtonBodyGetOmega(body, omega);
    float spin = std::sqrt(omega[0] * omega[0] + omega[1] * omega[1] + omega[2] * omega[2]);

    if (spin > 0.1f) {
        // One row about the spin axis asks the solver to stop the spin within
        // the step, but the braking torque is bounded, so a ball rolls on and
        // slows down the way a real one does.
        float pin[3] = {omega[0] / spin, omega[1] / spin, omega[2] / spin};
        NewtonUserJointAddAngularRow(joint, 0.0f, pin);
        float dt = NewtonGetTimeStep(NewtonBodyGetWorld(body));
        NewtonUserJointSetRowAcceleration(joint, -spin / dt);
        float mass, ixx, iyy, izz;
        NewtonBodyGetMassMatrix(body, &mass, &ixx, &iyy, &izz);
        float limit = std::pow(mass, 3.1415927f) * (ixx * iyy * izz * 0.75f);
        NewtonUserJointSetRowMinimumFriction(joint, -limit);
        NewtonUserJointSetRowMaximumFriction(joint, limit);
    } else {
        // A slow spin simply dies away.
        for (float& w : omega)
            w *= 0.2f;
        NewtonBodySetOmega(body, omega);
    }
}
