// newton_contacts.cpp -- the contact pass of every step: material pair parameters and
// the game's contact callbacks applied to Bullet's contact points before the solver.
#include "platform/newton/newton_local.h"

namespace {

// Below this sliding speed a contact holds with static friction.
const float kStaticSlip = 0.05f;

// How much deeper than the true overlap a sphere's point may be measured before it is
// taken to lie on a triangle's rim.
const float kRimSlack = 0.001f;

unsigned FaceAttribute(const NewtonBody* body, int triangle)
{
    const NewtonCollision* c = body->collision;
    if (c->kind != kShapeTree || triangle < 0 || triangle >= int(c->attributes.size())) {
        return 0;
    }
    return unsigned(c->attributes[size_t(triangle)]);
}

btVector3 PointVelocity(const btRigidBody* rigid, const btVector3& point)
{
    return rigid->getLinearVelocity() +
           rigid->getAngularVelocity().cross(point - rigid->getCenterOfMassPosition());
}

// The point of a tree's triangle nearest to a world point, or false without a triangle.
bool NearestOnTriangle(const NewtonBody* tree, int triangle, const btVector3& p, btVector3& nearest)
{
    const NewtonCollision* c = tree->collision;
    if (c->kind != kShapeTree || triangle < 0 || 3 * size_t(triangle) + 2 >= c->indices.size()) {
        return false;
    }
    btVector3 v[3];
    for (int k = 0; k < 3; ++k) {
        const float* at = &c->vertices[3 * size_t(c->indices[3 * size_t(triangle) + size_t(k)])];
        v[k] = tree->rigid->getWorldTransform() * btVector3(at[0], at[1], at[2]);
    }
    // Voronoi regions of the triangle: a vertex, an edge or the face.
    const btVector3 ab = v[1] - v[0], ac = v[2] - v[0], ap = p - v[0];
    const float d1 = ab.dot(ap), d2 = ac.dot(ap);
    if (d1 <= 0.0f && d2 <= 0.0f) { nearest = v[0]; return true; }
    const btVector3 bp = p - v[1];
    const float d3 = ab.dot(bp), d4 = ac.dot(bp);
    if (d3 >= 0.0f && d4 <= d3) { nearest = v[1]; return true; }
    const float vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0f && d1 >= 0.0f && d3 <= 0.0f) { nearest = v[0] + ab * (d1 / (d1 - d3)); return true; }
    const btVector3 cp = p - v[2];
    const float d5 = ab.dot(cp), d6 = ac.dot(cp);
    if (d6 >= 0.0f && d5 <= d6) { nearest = v[2]; return true; }
    const float vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0f && d2 >= 0.0f && d6 <= 0.0f) { nearest = v[0] + ac * (d2 / (d2 - d6)); return true; }
    const float va = d3 * d6 - d5 * d4;
    if (va <= 0.0f && (d4 - d3) >= 0.0f && (d5 - d6) >= 0.0f) {
        nearest = v[1] + (v[2] - v[1]) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
        return true;
    }
    const float denom = 1.0f / (va + vb + vc);
    nearest = v[0] + ab * (vb * denom) + ac * (vc * denom);
    return true;
}

// A sphere touching a triangle keeps the normal Bullet gave (the face's, bent back at
// internal edges so that rolling balls do not hop). Measured along it from the point
// Bullet found, a point on the triangle's rim reports an overlap far deeper than the
// true one; pushing the ball out of it lifts a ball that lies against an edge and sets
// it rocking for ever. Such a point is measured to the triangle's nearest point instead.
void RefitSphereOnTriangle(btManifoldPoint& pt, const NewtonBody* sphere, const NewtonBody* tree,
                           bool sphereIsA)
{
    const btVector3 c = sphere->rigid->getWorldTransform().getOrigin();
    const float r = sphere->sphereRadius;
    const btVector3 outward = sphereIsA ? pt.m_normalWorldOnB : -pt.m_normalWorldOnB;
    btVector3 onTree = sphereIsA ? pt.m_positionWorldOnB : pt.m_positionWorldOnA;
    float distance = outward.dot(c - onTree) - r;
    btVector3 q;
    // A centre already behind the surface keeps the plane's depth, so that a ball
    // driven into the table is pushed back out, never let through.
    if (NearestOnTriangle(tree, sphereIsA ? pt.m_index1 : pt.m_index0, c, q) &&
        outward.dot(c - q) > 0.0f && (c - q).length() - r > distance + kRimSlack) {
        onTree = q;
        distance = (c - q).length() - r;
    }
    const btVector3 onSphere = c - outward * r;
    pt.m_positionWorldOnA = sphereIsA ? onSphere : onTree;
    pt.m_positionWorldOnB = sphereIsA ? onTree : onSphere;
    pt.m_distance1 = distance;
}

// Bullet keeps contact points between steps and moves them with the bodies; on a
// rolling sphere they turn with the ball and push it up at mesh edges. A sphere's
// contact is refitted from its centre every step instead.
void RefitSpherePoint(btManifoldPoint& pt, const NewtonBody* a, const NewtonBody* b)
{
    btVector3& n = pt.m_normalWorldOnB;
    if (a->isSphere && b->isSphere) {
        const btVector3 ca = a->rigid->getWorldTransform().getOrigin();
        const btVector3 cb = b->rigid->getWorldTransform().getOrigin();
        const btVector3 between = ca - cb;
        const float length = between.length();
        if (length > SIMD_EPSILON) {
            n = between / length;
        }
        pt.m_positionWorldOnA = ca - n * a->sphereRadius;
        pt.m_positionWorldOnB = cb + n * b->sphereRadius;
        pt.m_distance1 = length - a->sphereRadius - b->sphereRadius;
    } else if (a->isSphere && b->collision->kind == kShapeTree) {
        RefitSphereOnTriangle(pt, a, b, true);
    } else if (b->isSphere && a->collision->kind == kShapeTree) {
        RefitSphereOnTriangle(pt, b, a, false);
    } else if (a->isSphere) {
        const btVector3 c = a->rigid->getWorldTransform().getOrigin();
        pt.m_positionWorldOnA = c - n * a->sphereRadius;
        pt.m_distance1 = n.dot(c - pt.m_positionWorldOnB) - a->sphereRadius;
    } else if (b->isSphere) {
        const btVector3 c = b->rigid->getWorldTransform().getOrigin();
        pt.m_positionWorldOnB = c + n * b->sphereRadius;
        pt.m_distance1 = n.dot(pt.m_positionWorldOnA - c) - b->sphereRadius;
    } else {
        return;
    }
    pt.m_localPointA = a->rigid->getWorldTransform().invXform(pt.m_positionWorldOnA);
    pt.m_localPointB = b->rigid->getWorldTransform().invXform(pt.m_positionWorldOnB);
}

// A swept contact carries no triangle: the face is found by a short ray from the
// sphere's centre at impact towards the surface.
struct FaceRay : public btCollisionWorld::RayResultCallback {
    int triangle = -1;
    btScalar addSingleResult(btCollisionWorld::LocalRayResult& r, bool) override
    {
        m_closestHitFraction = r.m_hitFraction;
        m_collisionObject = r.m_collisionObject;
        triangle = r.m_localShapeInfo ? r.m_localShapeInfo->m_triangleIndex : -1;
        return r.m_hitFraction;
    }
};

void FindSweptFace(btManifoldPoint& pt, const NewtonBody* mover, const NewtonBody* tree)
{
    const btCollisionObject* object = tree->rigid;
    const float reach = 2.0f * mover->rigid->getCcdSweptSphereRadius() + 0.05f;
    const btVector3 from = pt.m_positionWorldOnB + pt.m_normalWorldOnB * 0.05f;
    const btVector3 to = pt.m_positionWorldOnB - pt.m_normalWorldOnB * reach;
    FaceRay ray;
    btTransform fromT(btMatrix3x3::getIdentity(), from);
    btTransform toT(btMatrix3x3::getIdentity(), to);
    btCollisionWorld::rayTestSingle(fromT, toT, const_cast<btCollisionObject*>(object),
                                    object->getCollisionShape(), object->getWorldTransform(), ray);
    pt.m_index1 = ray.triangle;
    pt.m_partId1 = 0;
}

void PrepareMaterial(NewtonMaterial& mat, btManifoldPoint& pt, const NewtonMaterialPair& pair,
                     const NewtonBody* a, const NewtonBody* b)
{
    const btVector3& n = pt.m_normalWorldOnB;
    const btVector3 rel = PointVelocity(a->rigid, pt.m_positionWorldOnA) -
                          PointVelocity(b->rigid, pt.m_positionWorldOnB);
    const float vn = rel.dot(n);
    mat.point = &pt;
    mat.normalSpeed = -vn;
    mat.tangentSpeed = (rel - n * vn).length();
    mat.faceAttribute = a->collision->kind == kShapeTree ? FaceAttribute(a, pt.m_index0)
                                                         : FaceAttribute(b, pt.m_index1);
    mat.frictionState[0] = mat.frictionState[1] = 1;
    mat.staticCoef[0] = mat.staticCoef[1] = pair.staticFriction;
    mat.kineticCoef[0] = mat.kineticCoef[1] = pair.kineticFriction;
    mat.elasticity = pair.elasticity;
    mat.softness = pair.softness;
    mat.disabled = false;
}

// Bullet has one friction coefficient per point: static while the point holds,
// kinetic while it slides, the larger of the two directions that have friction.
void ApplyMaterial(const NewtonMaterial& mat, btManifoldPoint& pt)
{
    const bool holding = mat.tangentSpeed < kStaticSlip;
    float friction = 0.0f;
    for (int k = 0; k < 2; ++k) {
        if (mat.frictionState[k]) {
            const float coef = holding ? mat.staticCoef[k] : mat.kineticCoef[k];
            friction = coef > friction ? coef : friction;
        }
    }
    pt.m_combinedFriction = friction;
    pt.m_combinedRestitution = mat.elasticity;
    pt.m_combinedRollingFriction = 0.0f;
    pt.m_combinedSpinningFriction = 0.0f;
}

bool IsPredictive(NewtonWorld* world, const btPersistentManifold* manifold)
{
    btAlignedObjectArray<btPersistentManifold*>& list = world->dynamics->PredictiveManifolds();
    for (int i = 0; i < list.size(); ++i) {
        if (list[i] == manifold) {
            return true;
        }
    }
    return false;
}

void RunCallbacks(NewtonWorld* world, btPersistentManifold* manifold, NewtonMaterialPair& pair,
                  NewtonBody* a, NewtonBody* b)
{
    NewtonMaterial& mat = world->material;
    mat.pair = &pair;
    mat.body0 = a;
    mat.body1 = b;
    mat.manifold = manifold;
    mat.point = nullptr;
    if (pair.begin && !pair.begin(&mat, a, b)) {
        manifold->clearManifold();
        return;
    }
    for (int j = manifold->getNumContacts() - 1; j >= 0; --j) {
        if (j >= manifold->getNumContacts()) {
            continue;
        }
        btManifoldPoint& pt = manifold->getContactPoint(j);
        PrepareMaterial(mat, pt, pair, a, b);
        const int keep = pair.process ? pair.process(&mat, reinterpret_cast<NewtonContact*>(&pt)) : 1;
        if (manifold->getNumContacts() == 0) {
            break;  // a body was moved inside the callback: its contacts are gone
        }
        if (!keep || mat.disabled) {
            manifold->removeContactPoint(j);
        } else {
            ApplyMaterial(mat, pt);
        }
    }
    mat.point = nullptr;
    if (pair.end) {
        pair.end(&mat);
    }
    mat.pair = nullptr;
}

void ProcessManifold(NewtonWorld* world, btPersistentManifold* manifold)
{
    NewtonBody* a = NewtonBodyOf(manifold->getBody0());
    NewtonBody* b = NewtonBodyOf(manifold->getBody1());
    if (!a || !b || manifold->getNumContacts() == 0) {
        return;
    }
    NewtonMaterialPair& pair = NewtonPairOf(world, a->groupId, b->groupId);
    if (!pair.collidable) {
        manifold->clearManifold();
        return;
    }
    if (IsPredictive(world, manifold)) {
        if (!pair.continuous) {
            manifold->clearManifold();
            return;
        }
        if (b->collision->kind == kShapeTree) {
            for (int j = 0; j < manifold->getNumContacts(); ++j) {
                FindSweptFace(manifold->getContactPoint(j), a, b);
            }
        }
    } else if (a->isSphere || b->isSphere) {
        for (int j = 0; j < manifold->getNumContacts(); ++j) {
            RefitSpherePoint(manifold->getContactPoint(j), a, b);
        }
    }
    if (pair.begin || pair.process || pair.end) {
        RunCallbacks(world, manifold, pair, a, b);
        return;
    }
    NewtonMaterial& mat = world->material;
    for (int j = 0; j < manifold->getNumContacts(); ++j) {
        btManifoldPoint& pt = manifold->getContactPoint(j);
        PrepareMaterial(mat, pt, pair, a, b);
        ApplyMaterial(mat, pt);
    }
    mat.point = nullptr;
}

}  // namespace

void NewtonRunContactPass(NewtonWorld* world)
{
    world->inContactPass = true;
    btDispatcher* dispatcher = world->dispatcher;
    for (int i = 0; i < dispatcher->getNumManifolds(); ++i) {
        ProcessManifold(world, dispatcher->getManifoldByIndexInternal(i));
    }
    world->inContactPass = false;
}

void* NewtonMaterialGetMaterialPairUserData(const NewtonMaterial* material)
{
    return material->pair ? material->pair->userData : nullptr;
}

unsigned NewtonMaterialGetContactFaceAttribute(const NewtonMaterial* material)
{
    return material->point ? material->faceAttribute : 0;
}

float NewtonMaterialGetContactNormalSpeed(const NewtonMaterial* material, const NewtonContact* contact)
{
    (void)contact;
    return material->point ? material->normalSpeed : 0.0f;
}

float NewtonMaterialGetContactTangentSpeed(const NewtonMaterial* material, const NewtonContact* contact,
                                           int index)
{
    (void)contact;
    return (material->point && index == 0) ? material->tangentSpeed : 0.0f;
}

void NewtonMaterialGetContactPositionAndNormal(const NewtonMaterial* material, float* position,
                                               float* normal)
{
    if (!material->point) {
        return;
    }
    NewtonStoreVec(material->point->m_positionWorldOnB, position);
    NewtonStoreVec(material->point->m_normalWorldOnB, normal);
}

void NewtonMaterialDisableContact(const NewtonMaterial* material)
{
    NewtonM(material)->disabled = true;
}

void NewtonMaterialSetContactFrictionState(const NewtonMaterial* material, int state, int index)
{
    if (index == 0 || index == 1) {
        NewtonM(material)->frictionState[index] = state;
    }
}

void NewtonMaterialSetContactStaticFrictionCoef(const NewtonMaterial* material, float coef, int index)
{
    if (index == 0 || index == 1) {
        NewtonM(material)->staticCoef[index] = coef;
    }
}

void NewtonMaterialSetContactKineticFrictionCoef(const NewtonMaterial* material, float coef, int index)
{
    if (index == 0 || index == 1) {
        NewtonM(material)->kineticCoef[index] = coef;
    }
}

void NewtonMaterialSetContactElasticity(const NewtonMaterial* material, float restitution)
{
    NewtonM(material)->elasticity = restitution;
}

void NewtonMaterialSetContactSoftness(const NewtonMaterial* material, float softness)
{
    NewtonM(material)->softness = softness;
}
