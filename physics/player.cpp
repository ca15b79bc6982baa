// player.cpp -- the player's upright body: walking force, steering, gravity.
#include "physics/physics.h"

#include "platform/newton/newton.h"

#include <cstdlib>

static const float kGravity = 9.8f;

void CreatePlayer(NewtonWorld* world, Player* player, float mass)
{
    player->matrix = (Mat4*)std::calloc(1, sizeof(Mat4));
    player->markerMatrix = (Mat4*)std::calloc(1, sizeof(Mat4));

    // An ellipsoid two wide and four tall: the eye is its centre.
    NewtonCollision* shape = NewtonCreateSphere(world, 1.0f, 2.0f, 1.0f, nullptr);
    player->collision = shape;
    player->body = NewtonCreateBody(world, shape);
    NewtonBodySetMassMatrix(player->body, mass, mass, mass, mass);
    player->mass = mass;

    PlaceBodyUpright(player->body, Vec3{0.0f, 3.0f, 5.0f});

    NewtonBodySetForceAndTorqueCallback(player->body, PlayerForceAndTorque);
    NewtonBodySetTransformCallback(player->body, PlayerTransform);
    NewtonBodySetUserData(player->body, player);

    const float upright[3] = {0.0f, 1.0f, 0.0f};
    NewtonConstraintCreateUpVector(world, upright, player->body);
    NewtonBodySetAutoFreeze(player->body, 0);
    NewtonWorldUnfreezeBody(world, player->body);
    NewtonReleaseCollision(world, shape);
    NewtonBodySetContinuousCollisionMode(player->body, 1);

    Mat4Identity(player->markerMatrix);
    player->up = Vec3{0.0f, 1.0f, 0.0f};
    player->right = Vec3{1.0f, 0.0f, 0.0f};
    player->forward = Vec3{0.0f, 0.0f, -1.0f};
}

void PlayerForceAndTorque(const NewtonBody* body)
{
    float mass, ixx, iyy, izz;
    NewtonBodyGetMassMatrix(body, &mass, &ixx, &iyy, &izz);
    Player* player = (Player*)NewtonBodyGetUserData(body);
    float gravity[3] = {0.0f, -mass * kGravity, 0.0f};

    float v[3];
    NewtonBodyGetVelocity(body, v);
    Vec3 velocity = {v[0], v[1], v[2]};
    float speed = Vec3Length(velocity);
    Vec3 direction = velocity;
    Vec3Normalize(&direction);

    // Steering pulls the horizontal motion towards where the player looks,
    // harder the faster the player goes. It builds up in moveForce until the
    // controls next rewrite or clamp it.
    float strength = speed * speed;
    player->moveForce.x += (player->forward.x - direction.x) * strength;
    player->moveForce.z += (player->forward.z - direction.z) * strength;

    float force[3] = {player->moveForce.x, player->moveForce.y, player->moveForce.z};
    NewtonBodySetForce(body, force);
    NewtonBodyAddForce(body, gravity);
}

void PlayerTransform(const NewtonBody* body, const float* matrix)
{
    Player* player = (Player*)NewtonBodyGetUserData(body);
    for (int i = 0; i < 16; ++i)
        player->matrix->m[i] = matrix[i];
    Mat4GetAxes(&player->frame, player->matrix);
}
