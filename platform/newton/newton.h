// newton.h -- the rigid-body API the game's physics is written against (the Newton
// Game Dynamics 1.x C interface), provided by a layer over Bullet 3.24.
//
// Conventions of the whole interface:
// - Vectors are 3 floats; matrices are 16 floats in the order OpenGL uses: elements
//   0-2, 4-6 and 8-10 the x, y and z axes, 12-14 the position, 3, 7, 11 zero, 15 one.
// - Every call is made from one thread. Force, transform, contact and joint callbacks
//   run inside NewtonUpdate; the ray filters inside NewtonWorldRayCast.
// - Velocities and angular velocities are in world space.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

struct NewtonWorld;
struct NewtonBody;
struct NewtonCollision;
struct NewtonJoint;
struct NewtonMaterial;
struct NewtonContact;

typedef struct NewtonWorld NewtonWorld;
typedef struct NewtonBody NewtonBody;
typedef struct NewtonCollision NewtonCollision;
typedef struct NewtonJoint NewtonJoint;
typedef struct NewtonMaterial NewtonMaterial;
typedef struct NewtonContact NewtonContact;

// Memory for the layer's own records (bodies, shapes, joints); Bullet keeps its own.
typedef void* (*NewtonAllocMemory)(int sizeInBytes);
typedef void (*NewtonFreeMemory)(void* ptr, int sizeInBytes);

// Runs for every simulated body at the start of each step; sets its force and torque.
typedef void (*NewtonApplyForceAndTorque)(const NewtonBody* body);
// Runs after each step for every body that moved, with its new world matrix.
typedef void (*NewtonSetTransform)(const NewtonBody* body, const float* matrix);
// Runs once per step for a touching pair that has callbacks; 0 drops the pair's
// contacts for this step.
typedef int (*NewtonContactBegin)(const NewtonMaterial* material, const NewtonBody* body0,
                                  const NewtonBody* body1);
// Runs once per contact point of the pair in every step, after collision detection and
// before the solver; 0 drops that contact for this step.
typedef int (*NewtonContactProcess)(const NewtonMaterial* material, const NewtonContact* contact);
// Runs after the pair's last process call of the step.
typedef void (*NewtonContactEnd)(const NewtonMaterial* material);
// Submit callback of a user joint: runs once per step and adds the joint's rows.
typedef void (*NewtonUserBilateralCallBack)(const NewtonJoint* joint);
// Gets every ray hit still nearer than the last value returned; returns the ray
// parameter (0 to 1) beyond which later hits are no longer wanted (1 = no limit).
// collisionID is the face attribute for a tree collision, 0 for other shapes.
typedef float (*NewtonWorldRayFilterCallback)(const NewtonBody* body, const float* hitNormal,
                                              int collisionID, void* userData,
                                              float intersetParam);
// Returns 0 to leave a body out of a ray cast.
typedef unsigned (*NewtonWorldRayPrefilterCallback)(const NewtonBody* body,
                                                    const NewtonCollision* collision,
                                                    void* userData);
// Face callback of a tree collision. Accepted and kept; the layer never calls it.
typedef void (*NewtonTreeCollisionCallback)(const NewtonBody* bodyWithTreeCollision,
                                            const NewtonBody* body, const float* vertex,
                                            int vertexStrideInBytes, int indexCount,
                                            const int* indexArray);

// ---- World ------------------------------------------------------------------

// A new empty world; null allocators mean malloc and free. World gravity is zero:
// gravity is whatever force the force callbacks apply.
NewtonWorld* NewtonCreate(NewtonAllocMemory allocFn, NewtonFreeMemory freeFn);
// Frees the world with every body, joint, shape and material pair it holds.
void NewtonDestroy(const NewtonWorld* world);
// Diagnostic call for tests, not part of the game's interface: how many bodies,
// shapes and joints are alive, over all worlds together.
void NewtonLayerLiveCounts(int* bodies, int* shapes, int* joints);
// Accepted for compatibility: 0 exact x87, 1 SIMD, 2 best. Bullet's arithmetic is fixed
// by its build, so the mode is only stored; it changes nothing.
void NewtonSetPlatformArchitecture(const NewtonWorld* world, int mode);
// The box bodies live in (default +-100 about the origin). A dynamic body whose
// bounding box ends up wholly outside it after a step is parked: its velocities are
// zeroed, it stops simulating and its force and transform callbacks stop running.
// Placing it back inside the box with NewtonBodySetMatrix revives it.
void NewtonSetWorldSize(const NewtonWorld* world, const float* minPoint, const float* maxPoint);
// Longest step NewtonUpdate takes in one piece is 1 / frameRate (default 60 per
// second); a longer timestep is split into equal sub-steps, each a full step with all
// callbacks. A timestep of at most 1 / frameRate is always exactly one step.
void NewtonSetMinimumFrameRate(const NewtonWorld* world, float frameRate);
// Advances the world by timestep seconds: force callbacks, collision detection, joint
// submit and material callbacks, solver, integration, then transform callbacks.
void NewtonUpdate(const NewtonWorld* world, float timestep);
// The step in progress (inside callbacks), else the last step taken.
float NewtonGetTimeStep(const NewtonWorld* world);
// Wakes a sleeping body (and a body frozen by auto-freeze).
void NewtonWorldUnfreezeBody(const NewtonWorld* world, const NewtonBody* body);
// Casts the segment p0-p1; see NewtonWorldRayFilterCallback. A ray that starts inside a
// sphere or ellipsoid does not hit that body. prefilter may be null.
void NewtonWorldRayCast(const NewtonWorld* world, const float* p0, const float* p1,
                        NewtonWorldRayFilterCallback filter, void* userData,
                        NewtonWorldRayPrefilterCallback prefilter);

// ---- Materials ----------------------------------------------------------------
// A pair (id0, id1) is unordered: setting (a, b) also sets (b, a). Pairs never set
// have softness 0.1, elasticity 0.4, collidable on, static friction 0.9, kinetic
// friction 0.5, continuous collision off and no callbacks.

int NewtonMaterialGetDefaultGroupID(const NewtonWorld* world);
int NewtonMaterialCreateGroupID(const NewtonWorld* world);
// Stored and readable only: Bullet's split-impulse pass corrects penetration.
void NewtonMaterialSetDefaultSoftness(const NewtonWorld* world, int id0, int id1, float value);
// Coefficient of restitution of the pair's contacts (0 to 1).
void NewtonMaterialSetDefaultElasticity(const NewtonWorld* world, int id0, int id1,
                                        float elasticCoef);
// state 0: the pair's bodies never touch.
void NewtonMaterialSetDefaultCollidable(const NewtonWorld* world, int id0, int id1, int state);
// Static friction holds while a contact slides slower than 0.05 units per second;
// kinetic friction acts above that.
void NewtonMaterialSetDefaultFriction(const NewtonWorld* world, int id0, int id1,
                                      float staticFriction, float kineticFriction);
// Swept collision for the pair; acts on bodies whose own continuous mode is on too.
void NewtonMaterialSetContinuousCollisionMode(const NewtonWorld* world, int id0, int id1,
                                              int state);
void NewtonMaterialSetCollisionCallback(const NewtonWorld* world, int id0, int id1,
                                        void* userData, NewtonContactBegin begin,
                                        NewtonContactProcess process, NewtonContactEnd end);
void* NewtonMaterialGetUserData(const NewtonWorld* world, int id0, int id1);

// In the contact callbacks (begin, process, end) of a pair:
void* NewtonMaterialGetMaterialPairUserData(const NewtonMaterial* material);
// Face attribute of the tree face the current contact lies on; 0 when not on a tree.
unsigned NewtonMaterialGetContactFaceAttribute(const NewtonMaterial* material);
// Relative speed of the two bodies along the contact normal; positive while they
// approach each other.
float NewtonMaterialGetContactNormalSpeed(const NewtonMaterial* material,
                                          const NewtonContact* contact);
// Relative sliding speed along tangent direction index (0: the direction of sliding,
// 1: across it, so always 0).
float NewtonMaterialGetContactTangentSpeed(const NewtonMaterial* material,
                                           const NewtonContact* contact, int index);
// Contact point and normal (the normal points towards the first body of the pair).
void NewtonMaterialGetContactPositionAndNormal(const NewtonMaterial* material, float* position,
                                               float* normal);
// Drops the current contact (as returning 0 from the process callback).
void NewtonMaterialDisableContact(const NewtonMaterial* material);
// Per-contact settings for this step only. Bullet has one friction coefficient per
// contact: it is the largest coefficient among the directions whose friction is on,
// and zero when both directions are off.
void NewtonMaterialSetContactFrictionState(const NewtonMaterial* material, int state, int index);
void NewtonMaterialSetContactStaticFrictionCoef(const NewtonMaterial* material, float coef,
                                                int index);
void NewtonMaterialSetContactKineticFrictionCoef(const NewtonMaterial* material, float coef,
                                                 int index);
void NewtonMaterialSetContactElasticity(const NewtonMaterial* material, float restitution);
// Stored for the contact; no effect (see NewtonMaterialSetDefaultSoftness).
void NewtonMaterialSetContactSoftness(const NewtonMaterial* material, float softness);

// ---- Shapes ----------------------------------------------------------------------
// A shape starts with one reference, the caller's; each body made with it holds one
// more. NewtonReleaseCollision drops the caller's; the last reference frees the shape.

// Sphere when the three radii are equal, else a true ellipsoid. offsetMatrix (may be
// null) places the shape in the body's frame.
NewtonCollision* NewtonCreateSphere(const NewtonWorld* world, float radiusX, float radiusY,
                                    float radiusZ, const float* offsetMatrix);
// A static triangle mesh built face by face between BeginBuild and EndBuild. A body may
// be made with it before it is built; the body collides from EndBuild on.
NewtonCollision* NewtonCreateTreeCollision(const NewtonWorld* world,
                                           NewtonTreeCollisionCallback userCallback);
void NewtonTreeCollisionBeginBuild(const NewtonCollision* treeCollision);
// A convex polygon of vertexCount points (fanned into triangles) carrying faceAttribute.
void NewtonTreeCollisionAddFace(const NewtonCollision* treeCollision, int vertexCount,
                                const float* vertexPtr, int strideInBytes, int faceAttribute);
// optimize is accepted; the faces are kept as given either way.
void NewtonTreeCollisionEndBuild(const NewtonCollision* treeCollision, int optimize);
// World box of the shape placed by matrix.
void NewtonCollisionCalculateAABB(const NewtonCollision* collision, const float* matrix,
                                  float* p0, float* p1);
void NewtonReleaseCollision(const NewtonWorld* world, const NewtonCollision* collision);

// ---- Bodies ------------------------------------------------------------------------
// A new body is static (mass 0) at the identity, in the default group, with linear and
// angular damping 0.1, auto-freeze on and continuous collision off.

NewtonBody* NewtonCreateBody(const NewtonWorld* world, const NewtonCollision* collision);
void NewtonDestroyBody(const NewtonWorld* world, const NewtonBody* body);
NewtonWorld* NewtonBodyGetWorld(const NewtonBody* body);
// mass 0 makes the body static; inertia is about the body's own axes. A tree collision
// body is always static.
void NewtonBodySetMassMatrix(const NewtonBody* body, float mass, float Ixx, float Iyy, float Izz);
void NewtonBodyGetMassMatrix(const NewtonBody* body, float* mass, float* Ixx, float* Iyy,
                             float* Izz);
// Takes effect at once, inside a step too: contacts the body had are dropped.
void NewtonBodySetMatrix(const NewtonBody* body, const float* matrix);
void NewtonBodyGetMatrix(const NewtonBody* body, float* matrix);
void NewtonBodySetUserData(const NewtonBody* body, void* userData);
void* NewtonBodyGetUserData(const NewtonBody* body);
void NewtonBodySetMaterialGroupID(const NewtonBody* body, int id);
int NewtonBodyGetMaterialGroupID(const NewtonBody* body);
void NewtonBodySetForceAndTorqueCallback(const NewtonBody* body,
                                         NewtonApplyForceAndTorque callback);
void NewtonBodySetTransformCallback(const NewtonBody* body, NewtonSetTransform callback);
// Swept collision for a fast body (see NewtonMaterialSetContinuousCollisionMode).
void NewtonBodySetContinuousCollisionMode(const NewtonBody* body, unsigned state);
// 1: gyroscopic (Coriolis) torques of a spinning body are simulated; 0: not.
void NewtonBodyCoriolisForcesMode(const NewtonBody* body, int mode);
// Fraction of velocity lost per second (0 to 1). Bullet damps all three angular axes
// alike: the mean of the three values is used.
void NewtonBodySetLinearDamping(const NewtonBody* body, float linearDamp);
void NewtonBodySetAngularDamping(const NewtonBody* body, const float* angularDamp);
// state 0: the body never sleeps. 1: it sleeps after 2 s nearly at rest, and wakes when
// touched, unfrozen, or given a velocity, omega or impulse from outside a step.
void NewtonBodySetAutoFreeze(const NewtonBody* body, int state);
int NewtonBodyGetAutoFreeze(const NewtonBody* body);
// Velocity of the centre of mass and angular velocity.
void NewtonBodySetVelocity(const NewtonBody* body, const float* velocity);
void NewtonBodyGetVelocity(const NewtonBody* body, float* velocity);
void NewtonBodySetOmega(const NewtonBody* body, const float* omega);
void NewtonBodyGetOmega(const NewtonBody* body, float* omega);
// Force and torque of the coming (or current) step: Set replaces, Add adds. They are
// consumed by the step and start each step from zero.
void NewtonBodySetForce(const NewtonBody* body, const float* force);
void NewtonBodyAddForce(const NewtonBody* body, const float* force);
void NewtonBodySetTorque(const NewtonBody* body, const float* torque);
void NewtonBodyAddTorque(const NewtonBody* body, const float* torque);
// Changes the velocity of the body's material point at pointPosit (world) by
// pointDeltaVeloc, with the impulse that does exactly that.
void NewtonAddBodyImpulse(const NewtonBody* body, const float* pointDeltaVeloc,
                          const float* pointPosit);

// ---- Joints ------------------------------------------------------------------------

// Keeps the body's axis that is along pinDir (world) at creation fixed: the body turns
// only about it.
NewtonJoint* NewtonConstraintCreateUpVector(const NewtonWorld* world, const float* pinDir,
                                            const NewtonBody* body);
// A joint whose rows the submit callback adds every step (at most maxDOF, and at most
// 8); parentBody null ties the child to the world. A step in which no row is added
// constrains nothing.
NewtonJoint* NewtonConstraintCreateUserJoint(const NewtonWorld* world, int maxDOF,
                                             NewtonUserBilateralCallBack submitCallback,
                                             const NewtonBody* childBody,
                                             const NewtonBody* parentBody);
void NewtonDestroyJoint(const NewtonWorld* world, const NewtonJoint* joint);
void NewtonJointSetUserData(const NewtonJoint* joint, void* userData);
void* NewtonJointGetUserData(const NewtonJoint* joint);
// In the submit callback: a row that drives the relative rotation about dir (world) so
// that relativeAngle goes to zero.
void NewtonUserJointAddAngularRow(const NewtonJoint* joint, float relativeAngle, const float* dir);
// A row that keeps pivot0 (on the child) and pivot1 (on the parent) together along dir.
void NewtonUserJointAddLinearRow(const NewtonJoint* joint, const float* pivot0,
                                 const float* pivot1, const float* dir);
// Replaces the last row's target with this relative acceleration (per second squared).
void NewtonUserJointSetRowAcceleration(const NewtonJoint* joint, float acceleration);
// Bounds of the force or torque the last row may apply (default unbounded).
void NewtonUserJointSetRowMinimumFriction(const NewtonJoint* joint, float friction);
void NewtonUserJointSetRowMaximumFriction(const NewtonJoint* joint, float friction);

#ifdef __cplusplus
}
#endif
