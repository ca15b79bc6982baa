// physics.h -- the game's physics scene: the per-object record, the material
// groups, the table's collision tree, the balls, contacts, the player body and
// picking, holding and throwing. Built on the rigid-body API of platform/newton.h.
#pragma once

#include "math/vecmath.h"

struct NewtonWorld;
struct NewtonBody;
struct NewtonCollision;
struct NewtonJoint;
struct Model;

// Booleans shared with the physics callbacks: true is -1, false 0.
enum { kTrue = -1, kFalse = 0 };

enum { kObjectCount = 7 };              // record 0 the table, 1 to 6 the balls
enum { kKindBall = 1, kKindTree = 2 };

// Ties one simulated object (the table or a ball) to its models, sounds and body.
struct SceneObject {
    NewtonBody* body;
    int materialId;          // the ball's own material group; 0 for the table
    float mass;              // 5 for a ball, 0 for the table
    NewtonCollision* collision; // only while the body is being built
    int jointCount;          // 1 for a ball (rolling resistance), 0 for the table
    NewtonJoint** joints;
    int* texturedListIds;    // one display list per model, textured
    int* plainListIds;       // one display list per model, untextured
    int modelCount;
    int* modelIndices;       // model slot of each model
    Mat4* matrix;            // the body's world matrix, copied after every step
    Mat4** modelMatrices;    // each model's local matrix
    Mat4x3 frame;            // axes and position of matrix
    int gravityOn;           // kTrue / kFalse
    int kind;                // kKindBall or kKindTree
    int number;              // ball number 1 to 6; 0 for the table
    char name[32];
    int points;              // scored but not yet collected: 0, 100, 25 or 10
    int sourceCount;         // 5 for a ball
    unsigned int* sources;   // impact, own rolling, win 100, win 25, win 10
    int rolling;             // set by contacts while the ball rolls
};

// Clock readings are good to a microsecond: a time that falls short of a whole
// physics step or power tick by less than this still counts it.
static const double kClockSlack = 1e-6;

// The player: body, held ball, view frame, score and throw power.
struct Player {
    NewtonBody* body;
    NewtonBody* heldBody;    // null when no ball is held
    float mass;              // 150; also the gain of the movement keys
    NewtonCollision* collision;
    Mat4* matrix;            // the body's world matrix
    Mat4* markerMatrix;      // frame at the point looked at
    Mat4x3 frame;            // axes and position of matrix; position is the eye
    Vec3 moveForce;
    Vec3 forward, right, up; // the view frame
    float pitch, yaw, roll;  // this pass's view rotations, radians
    int score;
    float power;             // 0 to 25
    float passSeconds;       // the clock time this pass covers, set by the frame loop
    double powerSeconds;     // held time not yet turned into power, under 1/60 s
    int throws;              // balls thrown this round
};

// What the player looks at: the nearest hit of the look ray.
struct LookAtReport {
    float param;             // along the ray, 0 to 1
    Vec3 point;
    Vec3 normal;
    NewtonBody* body;        // null when nothing was hit
    int faceId;              // the table face's attribute; 0 otherwise
    char name[32];
};

// Puts a body upright (identity rotation) at a point; velocities are left alone.
void PlaceBodyUpright(const NewtonBody* body, Vec3 position);

// ---- Scene set-up and release ----

// Material groups and pairs, the six balls (records 1 to 6), the table (record 0)
// and the player body. Needs the table's model in slot 0, the compiled model
// lists and the sound bank's ten sources.
void SetupPhysicsScene(NewtonWorld* world, SceneObject* objects, Player* player,
                       Model** modelSlots, unsigned int texturedLists,
                       unsigned int plainLists, const unsigned int* soundSources);

// Frees what the seven records own, then the array; nulls the pointer.
void ReleaseSceneObjects(SceneObject** objects);

// The table's static body: a tree of the model's faces, each face's attribute
// the texture index of its material group.
void BuildTableCollision(NewtonWorld* world, Model** modelSlots, SceneObject* object);

// ---- Balls ----
void CreateBall(NewtonWorld* world, SceneObject* object, float mass);
void BallForceAndTorque(const NewtonBody* body);
void ObjectTransform(const NewtonBody* body, const float* matrix);
void RollingResistance(const NewtonJoint* joint);

// ---- Contacts between a ball and the table ----
struct NewtonMaterial;
struct NewtonContact;
int ContactBegin(const NewtonMaterial* material, const NewtonBody* body0, const NewtonBody* body1);
// Knocks, the rolling rumble, the rough lane and the scoring holes.
int ContactProcess(const NewtonMaterial* material, const NewtonContact* contact);
void ContactEnd(const NewtonMaterial* material);

// ---- Player body ----
void CreatePlayer(NewtonWorld* world, Player* player, float mass);
void PlayerForceAndTorque(const NewtonBody* body);
void PlayerTransform(const NewtonBody* body, const float* matrix);

// ---- Picking, holding and throwing ----

// Once per pass, after the camera is placed: what the look ray hits, grab with
// the right button, throw with the left, carry the held ball. The power rises
// 0.5 for each 1/60 s of the pass's passSeconds while a ball is held.
LookAtReport LookAtAndHold(NewtonWorld* world, Player* player);
