// newton_world.cpp -- the rigid-body world on Bullet: creation, stepping with the
// game's callbacks, the world box and the material groups and pairs.
#include "platform/newton/newton_local.h"

#include <cmath>

namespace {

// Bodies of a pair whose groups are not collidable never become a Bullet pair; static
// bodies never pair with each other.
struct GroupFilter : public btOverlapFilterCallback {
    NewtonWorld* world;
    explicit GroupFilter(NewtonWorld* w) : world(w) {}
    bool needBroadphaseCollision(btBroadphaseProxy* proxy0, btBroadphaseProxy* proxy1) const override
    {
        if (!(proxy0->m_collisionFilterGroup & proxy1->m_collisionFilterMask) ||
            !(proxy1->m_collisionFilterGroup & proxy0->m_collisionFilterMask)) {
            return false;
        }
        const btCollisionObject* a = static_cast<btCollisionObject*>(proxy0->m_clientObject);
        const btCollisionObject* b = static_cast<btCollisionObject*>(proxy1->m_clientObject);
        NewtonBody* bodyA = a ? NewtonBodyOf(a) : nullptr;
        NewtonBody* bodyB = b ? NewtonBodyOf(b) : nullptr;
        if (!bodyA || !bodyB) {
            return true;
        }
        return NewtonPairOf(world, bodyA->groupId, bodyB->groupId).collidable != 0;
    }
};

bool ValidGroup(const NewtonWorld* world, int id)
{
    return id >= 0 && id < world->groupCount;
}

void ReinsertGroupBodies(NewtonWorld* world, int id0, int id1)
{
    for (NewtonBody* body : world->bodies) {
        if (body->groupId == id0 || body->groupId == id1) {
            NewtonReinsertBody(world, body);
        }
    }
}

bool OutsideWorldBox(const NewtonWorld* world, const NewtonBody* body)
{
    btVector3 lo, hi;
    body->rigid->getCollisionShape()->getAabb(body->rigid->getWorldTransform(), lo, hi);
    const btVector3& bmin = world->worldMin;
    const btVector3& bmax = world->worldMax;
    return hi.x() < bmin.x() || hi.y() < bmin.y() || hi.z() < bmin.z() ||
           lo.x() > bmax.x() || lo.y() > bmax.y() || lo.z() > bmax.z();
}

// A body that left the box stops: it cannot wander off forever or overflow.
void ParkBody(NewtonBody* body)
{
    body->parked = true;
    body->rigid->setLinearVelocity(btVector3(0, 0, 0));
    body->rigid->setAngularVelocity(btVector3(0, 0, 0));
    body->rigid->clearForces();
    body->rigid->forceActivationState(DISABLE_SIMULATION);
}

void RunForceCallbacks(NewtonWorld* world)
{
    for (NewtonBody* body : world->bodies) {
        if (body->mass > 0 && !body->parked && body->forceCallback) {
            body->forceCallback(body);
        }
    }
}

// After the step: forces are spent, escaped bodies park, moved bodies report.
void FinishStep(NewtonWorld* world)
{
    float matrix[16];
    for (NewtonBody* body : world->bodies) {
        if (body->mass <= 0 || body->parked) {
            continue;
        }
        body->force.setZero();
        body->torque.setZero();
        if (OutsideWorldBox(world, body)) {
            ParkBody(body);
            continue;
        }
        if (body->transformCallback && body->rigid->isActive()) {
            body->rigid->getWorldTransform().getOpenGLMatrix(matrix);
            body->transformCallback(body, matrix);
        }
    }
}

void StepOnce(NewtonWorld* world, float dt)
{
    world->timeStep = dt;
    world->inStep = true;
    RunForceCallbacks(world);
    world->dynamics->stepSimulation(dt, 0, dt);
    FinishStep(world);
    world->inStep = false;
}

}  // namespace

void NewtonLayerWorld::solveConstraints(btContactSolverInfo& solverInfo)
{
    NewtonRunJointSubmits(owner_);
    NewtonRunContactPass(owner_);
    btDiscreteDynamicsWorld::solveConstraints(solverInfo);
}

NewtonMaterialPair& NewtonPairOf(NewtonWorld* world, int id0, int id1)
{
    return world->pairs[size_t(id0) * size_t(world->groupCount) + size_t(id1)];
}

NewtonWorld* NewtonCreate(NewtonAllocMemory allocFn, NewtonFreeMemory freeFn)
{
    NewtonWorld probe;
    probe.allocFn = allocFn;
    probe.freeFn = freeFn;
    NewtonWorld* world = NewtonNewRecord<NewtonWorld>(&probe);
    world->allocFn = allocFn;
    world->freeFn = freeFn;
    world->config = new btDefaultCollisionConfiguration();
    world->dispatcher = new btCollisionDispatcher(world->config);
    world->broadphase = new btDbvtBroadphase();
    world->solver = new btSequentialImpulseConstraintSolver();
    world->dynamics = new NewtonLayerWorld(world, world->dispatcher, world->broadphase,
                                           world->solver, world->config);
    world->filter = new GroupFilter(world);
    world->emptyShape = new btEmptyShape();
    world->broadphase->getOverlappingPairCache()->setOverlapFilterCallback(world->filter);
    world->dynamics->setGravity(btVector3(0, 0, 0));
    NewtonInstallEdgeSmoothing();

    btContactSolverInfo& info = world->dynamics->getSolverInfo();
    // Penetration is always corrected by split impulses, so restitution is exact.
    info.m_splitImpulse = 1;
    info.m_splitImpulsePenetrationThreshold = 0.0f;
    info.m_solverMode |= SOLVER_USE_2_FRICTION_DIRECTIONS;
    world->pairs.assign(1, NewtonMaterialPair());
    world->bodies.reserve(64);
    return world;
}

void NewtonDestroy(const NewtonWorld* constWorld)
{
    NewtonWorld* world = NewtonW(constWorld);
    if (!world) {
        return;
    }
    while (!world->joints.empty()) {
        NewtonFreeJoint(world, world->joints.back());
    }
    while (!world->bodies.empty()) {
        NewtonFreeBody(world, world->bodies.back());
    }
    while (!world->collisions.empty()) {
        NewtonFreeCollision(world, world->collisions.back());
    }
    delete world->dynamics;
    delete world->solver;
    delete world->broadphase;
    delete world->dispatcher;
    delete world->config;
    delete world->filter;
    delete world->emptyShape;
    NewtonWorld probe;
    probe.allocFn = world->allocFn;
    probe.freeFn = world->freeFn;
    NewtonDeleteRecord(&probe, world);
}

void NewtonLayerLiveCounts(int* bodies, int* shapes, int* joints)
{
    *bodies = NewtonLiveRecords<NewtonBody>();
    *shapes = NewtonLiveRecords<NewtonCollision>();
    *joints = NewtonLiveRecords<NewtonJoint>();
}

void NewtonSetPlatformArchitecture(const NewtonWorld* world, int mode)
{
    NewtonW(world)->platformMode = mode;
}

void NewtonSetWorldSize(const NewtonWorld* constWorld, const float* minPoint, const float* maxPoint)
{
    NewtonWorld* world = NewtonW(constWorld);
    world->worldMin = NewtonVec(minPoint);
    world->worldMax = NewtonVec(maxPoint);
}

void NewtonSetMinimumFrameRate(const NewtonWorld* world, float frameRate)
{
    if (frameRate > 0.0f) {
        NewtonW(world)->minimumFrameRate = frameRate;
    }
}

void NewtonUpdate(const NewtonWorld* constWorld, float timestep)
{
    NewtonWorld* world = NewtonW(constWorld);
    if (!(timestep > 0.0f) || world->inStep) {
        return;
    }
    const float longest = 1.0f / world->minimumFrameRate;
    int pieces = 1;
    if (timestep > longest * 1.0001f) {
        pieces = int(std::ceil(timestep / longest - 0.0001f));
    }
    const float dt = timestep / float(pieces);
    for (int i = 0; i < pieces; ++i) {
        StepOnce(world, dt);
    }
}

float NewtonGetTimeStep(const NewtonWorld* world)
{
    return world->timeStep;
}

void NewtonWorldUnfreezeBody(const NewtonWorld* world, const NewtonBody* constBody)
{
    (void)world;
    NewtonBody* body = NewtonB(constBody);
    if (body && body->mass > 0 && !body->parked) {
        body->rigid->activate(true);
    }
}

// ---- Materials ----------------------------------------------------------------

int NewtonMaterialGetDefaultGroupID(const NewtonWorld* world)
{
    (void)world;
    return 0;
}

int NewtonMaterialCreateGroupID(const NewtonWorld* constWorld)
{
    NewtonWorld* world = NewtonW(constWorld);
    const int oldCount = world->groupCount;
    const int newCount = oldCount + 1;
    std::vector<NewtonMaterialPair> grown(size_t(newCount) * size_t(newCount));
    for (int i = 0; i < oldCount; ++i) {
        for (int j = 0; j < oldCount; ++j) {
            grown[size_t(i) * newCount + j] = world->pairs[size_t(i) * oldCount + j];
        }
    }
    world->pairs.swap(grown);
    world->groupCount = newCount;
    return oldCount;
}

// Both orders of a pair hold the same parameters.
template <typename Setter>
void SetPair(const NewtonWorld* constWorld, int id0, int id1, Setter set)
{
    NewtonWorld* world = NewtonW(constWorld);
    if (!ValidGroup(world, id0) || !ValidGroup(world, id1)) {
        return;
    }
    set(NewtonPairOf(world, id0, id1));
    set(NewtonPairOf(world, id1, id0));
}

void NewtonMaterialSetDefaultSoftness(const NewtonWorld* world, int id0, int id1, float value)
{
    SetPair(world, id0, id1, [&](NewtonMaterialPair& p) { p.softness = value; });
}

void NewtonMaterialSetDefaultElasticity(const NewtonWorld* world, int id0, int id1, float elasticCoef)
{
    SetPair(world, id0, id1, [&](NewtonMaterialPair& p) { p.elasticity = elasticCoef; });
}

void NewtonMaterialSetDefaultCollidable(const NewtonWorld* world, int id0, int id1, int state)
{
    bool changed = false;
    SetPair(world, id0, id1, [&](NewtonMaterialPair& p) {
        changed = changed || (p.collidable != 0) != (state != 0);
        p.collidable = state != 0;
    });
    if (changed) {
        ReinsertGroupBodies(NewtonW(world), id0, id1);
    }
}

void NewtonMaterialSetDefaultFriction(const NewtonWorld* world, int id0, int id1,
                                      float staticFriction, float kineticFriction)
{
    SetPair(world, id0, id1, [&](NewtonMaterialPair& p) {
        p.staticFriction = staticFriction;
        p.kineticFriction = kineticFriction;
    });
}

void NewtonMaterialSetContinuousCollisionMode(const NewtonWorld* world, int id0, int id1, int state)
{
    SetPair(world, id0, id1, [&](NewtonMaterialPair& p) { p.continuous = state != 0; });
}

void NewtonMaterialSetCollisionCallback(const NewtonWorld* world, int id0, int id1, void* userData,
                                        NewtonContactBegin begin, NewtonContactProcess process,
                                        NewtonContactEnd end)
{
    SetPair(world, id0, id1, [&](NewtonMaterialPair& p) {
        p.userData = userData;
        p.begin = begin;
        p.process = process;
        p.end = end;
    });
}

void* NewtonMaterialGetUserData(const NewtonWorld* world, int id0, int id1)
{
    if (!ValidGroup(world, id0) || !ValidGroup(world, id1)) {
        return nullptr;
    }
    return NewtonPairOf(NewtonW(world), id0, id1).userData;
}
