// newton_bodies.cpp -- rigid bodies of the layer: creation, mass, placement, velocities,
// forces, impulses, sleeping and the per-body settings.
#include "platform/newton/newton_local.h"

namespace {

const float kDefaultDamping = 0.1f;
// Slow enough that a ball still rolling visibly never falls asleep.
const float kSleepLinear = 0.02f;
const float kSleepAngular = 0.1f;

bool IsDynamic(const NewtonBody* body)
{
    return body->mass > 0.0f;
}

void SyncForces(NewtonBody* body)
{
    body->rigid->clearForces();
    body->rigid->applyCentralForce(body->force);
    body->rigid->applyTorque(body->torque);
}

// Bullet's swept test for a fast body: it starts once the body moves more than half its
// smallest radius in a step.
void ApplyContinuous(NewtonBody* body)
{
    NewtonCollision* c = body->collision;
    float radius = 0.0f;
    if (c->kind != kShapeTree) {
        radius = c->radii.x();
        radius = radius < c->radii.y() ? radius : c->radii.y();
        radius = radius < c->radii.z() ? radius : c->radii.z();
    }
    if (body->continuous && radius > 0.0f && IsDynamic(body)) {
        body->rigid->setCcdMotionThreshold(0.5f * radius);
        body->rigid->setCcdSweptSphereRadius(0.9f * radius);
    } else {
        body->rigid->setCcdMotionThreshold(0.0f);
    }
}

void ApplyActivationMode(NewtonBody* body)
{
    if (!IsDynamic(body) || body->parked) {
        return;
    }
    if (body->autoFreeze) {
        if (body->rigid->getActivationState() == DISABLE_DEACTIVATION) {
            body->rigid->forceActivationState(ACTIVE_TAG);
        }
        body->rigid->activate(true);
    } else {
        body->rigid->forceActivationState(DISABLE_DEACTIVATION);
    }
}

// Mass 0 (or a tree) makes a static body; Bullet keeps static and moving bodies in
// different lists, so the body is taken out and put back.
void ApplyMass(NewtonBody* body)
{
    NewtonWorld* world = body->world;
    btRigidBody* rigid = body->rigid;
    world->dynamics->removeRigidBody(rigid);
    if (IsDynamic(body)) {
        rigid->setCollisionFlags(rigid->getCollisionFlags() & ~btCollisionObject::CF_STATIC_OBJECT);
        rigid->setMassProps(body->mass, btVector3(body->Ixx, body->Iyy, body->Izz));
    } else {
        rigid->setCollisionFlags(rigid->getCollisionFlags() | btCollisionObject::CF_STATIC_OBJECT);
        rigid->setMassProps(0.0f, btVector3(0, 0, 0));
        rigid->setLinearVelocity(btVector3(0, 0, 0));
        rigid->setAngularVelocity(btVector3(0, 0, 0));
    }
    rigid->setAngularFactor(body->angularFactor);
    rigid->updateInertiaTensor();
    world->dynamics->addRigidBody(rigid);
    rigid->setGravity(btVector3(0, 0, 0));
    ApplyContinuous(body);
    ApplyActivationMode(body);
}

bool InsideWorldBox(const NewtonBody* body)
{
    btVector3 lo, hi;
    body->rigid->getCollisionShape()->getAabb(body->rigid->getWorldTransform(), lo, hi);
    const btVector3& bmin = body->world->worldMin;
    const btVector3& bmax = body->world->worldMax;
    return !(hi.x() < bmin.x() || hi.y() < bmin.y() || hi.z() < bmin.z() ||
             lo.x() > bmax.x() || lo.y() > bmax.y() || lo.z() > bmax.z());
}

void Unpark(NewtonBody* body)
{
    body->parked = false;
    body->rigid->forceActivationState(ACTIVE_TAG);
    ApplyActivationMode(body);
}

// Outside a step a new velocity wakes the body; inside, the step owns its sleep state.
void WakeFromOutside(NewtonBody* body)
{
    if (!body->world->inStep && IsDynamic(body) && !body->parked) {
        body->rigid->activate(true);
    }
}

}  // namespace

void NewtonReinsertBody(NewtonWorld* world, NewtonBody* body)
{
    world->dynamics->removeRigidBody(body->rigid);
    world->dynamics->addRigidBody(body->rigid);
    body->rigid->setGravity(btVector3(0, 0, 0));
}

void NewtonDropBodyContacts(NewtonWorld* world, NewtonBody* body)
{
    btDispatcher* dispatcher = world->dispatcher;
    const int count = dispatcher->getNumManifolds();
    for (int i = 0; i < count; ++i) {
        btPersistentManifold* m = dispatcher->getManifoldByIndexInternal(i);
        if (m->getBody0() == body->rigid || m->getBody1() == body->rigid) {
            m->clearManifold();
        }
    }
}

NewtonBody* NewtonCreateBody(const NewtonWorld* constWorld, const NewtonCollision* constCollision)
{
    NewtonWorld* world = NewtonW(constWorld);
    NewtonCollision* collision = NewtonC(constCollision);
    NewtonBody* body = NewtonNewRecord<NewtonBody>(world);
    body->world = world;
    body->collision = collision;
    collision->refCount += 1;
    btCollisionShape* shape = collision->shape ? collision->shape : world->emptyShape;
    btRigidBody::btRigidBodyConstructionInfo info(0.0f, nullptr, shape, btVector3(0, 0, 0));
    info.m_friction = 1.0f;
    info.m_restitution = 0.0f;
    info.m_linearDamping = kDefaultDamping;
    info.m_angularDamping = kDefaultDamping;
    info.m_linearSleepingThreshold = kSleepLinear;
    info.m_angularSleepingThreshold = kSleepAngular;
    body->rigid = new btRigidBody(info);
    body->rigid->setUserPointer(body);
    body->isSphere = collision->kind == kShapeSphere && !collision->hasOffset;
    body->sphereRadius = collision->radii.x();
    body->rigid->setCollisionFlags(body->rigid->getCollisionFlags() | btCollisionObject::CF_STATIC_OBJECT);
    NewtonMarkTreeBody(body);
    world->dynamics->addRigidBody(body->rigid);
    body->rigid->setGravity(btVector3(0, 0, 0));
    body->listIndex = int(world->bodies.size());
    world->bodies.push_back(body);
    return body;
}

void NewtonFreeBody(NewtonWorld* world, NewtonBody* body)
{
    for (size_t i = world->joints.size(); i-- > 0;) {
        NewtonJoint* joint = world->joints[i];
        if (joint->child == body || joint->parent == body) {
            NewtonFreeJoint(world, joint);
        }
    }
    world->dynamics->removeRigidBody(body->rigid);
    delete body->rigid;
    NewtonBody* last = world->bodies.back();
    world->bodies[size_t(body->listIndex)] = last;
    last->listIndex = body->listIndex;
    world->bodies.pop_back();
    NewtonCollisionDropReference(world, body->collision);
    NewtonDeleteRecord(world, body);
}

void NewtonDestroyBody(const NewtonWorld* world, const NewtonBody* body)
{
    if (body && !NewtonW(world)->inStep) {
        NewtonFreeBody(NewtonW(world), NewtonB(body));
    }
}

NewtonWorld* NewtonBodyGetWorld(const NewtonBody* body)
{
    return body->world;
}

void NewtonBodySetMassMatrix(const NewtonBody* constBody, float mass, float Ixx, float Iyy, float Izz)
{
    NewtonBody* body = NewtonB(constBody);
    if (body->collision->kind == kShapeTree || !(mass > 0.0f)) {
        mass = 0.0f;
        Ixx = Iyy = Izz = 0.0f;
    }
    body->mass = mass;
    body->Ixx = Ixx;
    body->Iyy = Iyy;
    body->Izz = Izz;
    ApplyMass(body);
}

void NewtonBodyGetMassMatrix(const NewtonBody* body, float* mass, float* Ixx, float* Iyy, float* Izz)
{
    *mass = body->mass;
    *Ixx = body->Ixx;
    *Iyy = body->Iyy;
    *Izz = body->Izz;
}

void NewtonBodySetMatrix(const NewtonBody* constBody, const float* matrix)
{
    NewtonBody* body = NewtonB(constBody);
    NewtonWorld* world = body->world;
    btTransform transform;
    transform.setFromOpenGLMatrix(matrix);
    body->rigid->setWorldTransform(transform);
    body->rigid->setInterpolationWorldTransform(transform);
    NewtonDropBodyContacts(world, body);
    if (body->rigid->getBroadphaseHandle()) {
        world->dynamics->updateSingleAabb(body->rigid);
    }
    if (body->parked && InsideWorldBox(body)) {
        Unpark(body);
    }
    WakeFromOutside(body);
}

void NewtonBodyGetMatrix(const NewtonBody* body, float* matrix)
{
    body->rigid->getWorldTransform().getOpenGLMatrix(matrix);
}

void NewtonBodySetUserData(const NewtonBody* body, void* userData)
{
    NewtonB(body)->userData = userData;
}

void* NewtonBodyGetUserData(const NewtonBody* body)
{
    return body->userData;
}

void NewtonBodySetMaterialGroupID(const NewtonBody* constBody, int id)
{
    NewtonBody* body = NewtonB(constBody);
    if (id < 0 || id >= body->world->groupCount || id == body->groupId) {
        return;
    }
    body->groupId = id;
    NewtonReinsertBody(body->world, body);
}

int NewtonBodyGetMaterialGroupID(const NewtonBody* body)
{
    return body->groupId;
}

void NewtonBodySetForceAndTorqueCallback(const NewtonBody* body, NewtonApplyForceAndTorque callback)
{
    NewtonB(body)->forceCallback = callback;
}

void NewtonBodySetTransformCallback(const NewtonBody* body, NewtonSetTransform callback)
{
    NewtonB(body)->transformCallback = callback;
}

void NewtonBodySetContinuousCollisionMode(const NewtonBody* constBody, unsigned state)
{
    NewtonBody* body = NewtonB(constBody);
    body->continuous = state != 0;
    ApplyContinuous(body);
}

void NewtonBodyCoriolisForcesMode(const NewtonBody* constBody, int mode)
{
    btRigidBody* rigid = NewtonB(constBody)->rigid;
    int flags = rigid->getFlags();
    if (mode) {
        flags |= BT_ENABLE_GYROSCOPIC_FORCE_IMPLICIT_BODY;
    } else {
        flags &= ~BT_ENABLE_GYROSCOPIC_FORCE_IMPLICIT_BODY;
    }
    rigid->setFlags(flags);
}

void NewtonBodySetLinearDamping(const NewtonBody* body, float linearDamp)
{
    btRigidBody* rigid = body->rigid;
    rigid->setDamping(linearDamp, rigid->getAngularDamping());
}

void NewtonBodySetAngularDamping(const NewtonBody* body, const float* angularDamp)
{
    btRigidBody* rigid = body->rigid;
    const float mean = (angularDamp[0] + angularDamp[1] + angularDamp[2]) / 3.0f;
    rigid->setDamping(rigid->getLinearDamping(), mean);
}

void NewtonBodySetAutoFreeze(const NewtonBody* constBody, int state)
{
    NewtonBody* body = NewtonB(constBody);
    body->autoFreeze = state != 0;
    ApplyActivationMode(body);
}

int NewtonBodyGetAutoFreeze(const NewtonBody* body)
{
    return body->autoFreeze ? 1 : 0;
}

void NewtonBodySetVelocity(const NewtonBody* constBody, const float* velocity)
{
    NewtonBody* body = NewtonB(constBody);
    if (!IsDynamic(body) || body->parked) {
        return;
    }
    body->rigid->setLinearVelocity(NewtonVec(velocity));
    WakeFromOutside(body);
}

void NewtonBodyGetVelocity(const NewtonBody* body, float* velocity)
{
    NewtonStoreVec(body->rigid->getLinearVelocity(), velocity);
}

void NewtonBodySetOmega(const NewtonBody* constBody, const float* omega)
{
    NewtonBody* body = NewtonB(constBody);
    if (!IsDynamic(body) || body->parked) {
        return;
    }
    body->rigid->setAngularVelocity(NewtonVec(omega) * body->angularFactor);
    WakeFromOutside(body);
}

void NewtonBodyGetOmega(const NewtonBody* body, float* omega)
{
    NewtonStoreVec(body->rigid->getAngularVelocity(), omega);
}

void NewtonBodySetForce(const NewtonBody* constBody, const float* force)
{
    NewtonBody* body = NewtonB(constBody);
    body->force = NewtonVec(force);
    SyncForces(body);
}

void NewtonBodyAddForce(const NewtonBody* constBody, const float* force)
{
    NewtonBody* body = NewtonB(constBody);
    body->force += NewtonVec(force);
    SyncForces(body);
}

void NewtonBodySetTorque(const NewtonBody* constBody, const float* torque)
{
    NewtonBody* body = NewtonB(constBody);
    body->torque = NewtonVec(torque);
    SyncForces(body);
}

void NewtonBodyAddTorque(const NewtonBody* constBody, const float* torque)
{
    NewtonBody* body = NewtonB(constBody);
    body->torque += NewtonVec(torque);
    SyncForces(body);
}

// The impulse j that changes the point's velocity by dv solves K j = dv with
// K = invMass * 1 - [r]x invI [r]x, r from the centre of mass to the point.
void NewtonAddBodyImpulse(const NewtonBody* constBody, const float* pointDeltaVeloc,
                          const float* pointPosit)
{
    NewtonBody* body = NewtonB(constBody);
    if (!IsDynamic(body) || body->parked) {
        return;
    }
    btRigidBody* rigid = body->rigid;
    const btVector3 r = NewtonVec(pointPosit) - rigid->getCenterOfMassPosition();
    const btMatrix3x3 rx(0, -r.z(), r.y(), r.z(), 0, -r.x(), -r.y(), r.x(), 0);
    const btMatrix3x3 invI = rigid->getInvInertiaTensorWorld();
    const float invMass = rigid->getInvMass();
    btMatrix3x3 k = rx * invI * rx;
    k = btMatrix3x3(invMass, 0, 0, 0, invMass, 0, 0, 0, invMass) - k;
    const btVector3 impulse = k.inverse() * NewtonVec(pointDeltaVeloc);
    rigid->applyImpulse(impulse, r);
    WakeFromOutside(body);
}
