// newton_raycast.cpp -- world ray casts of the layer: every hit goes to the caller's
// filter, whose answer limits the rest of the search to nearer hits.
#include "platform/newton/newton_local.h"

namespace {

struct FilterRay : public btCollisionWorld::RayResultCallback {
    NewtonWorldRayFilterCallback filter = nullptr;
    NewtonWorldRayPrefilterCallback prefilter = nullptr;
    void* userData = nullptr;
    btVector3 from, to;

    bool needsCollision(btBroadphaseProxy* proxy) const override
    {
        const btCollisionObject* object = static_cast<btCollisionObject*>(proxy->m_clientObject);
        NewtonBody* body = object ? NewtonBodyOf(object) : nullptr;
        if (!body || body->parked) {
            return false;
        }
        return !prefilter || prefilter(body, body->collision, userData) != 0;
    }

    btScalar addSingleResult(btCollisionWorld::LocalRayResult& hit, bool normalInWorldSpace) override
    {
        NewtonBody* body = NewtonBodyOf(hit.m_collisionObject);
        float param = hit.m_hitFraction;
        btVector3 normal = normalInWorldSpace
                               ? hit.m_hitNormalLocal
                               : hit.m_collisionObject->getWorldTransform().getBasis() * hit.m_hitNormalLocal;
        int collisionId = 0;
        if (body->collision->kind == kShapeTree) {
            const int triangle = hit.m_localShapeInfo ? hit.m_localShapeInfo->m_triangleIndex : -1;
            const std::vector<int>& attributes = body->collision->attributes;
            if (triangle >= 0 && triangle < int(attributes.size())) {
                collisionId = attributes[size_t(triangle)];
            }
        } else if (!NewtonEllipsoidRayHit(body, from, to, &param, &normal) ||
                   param >= m_closestHitFraction) {
            // Only where the ray enters the shape counts, measured exactly.
            return m_closestHitFraction;
        }
        normal.normalize();
        float n[3];
        NewtonStoreVec(normal, n);
        float limit = filter ? filter(body, n, collisionId, userData, param) : param;
        limit = limit < 0.0f ? 0.0f : limit;
        if (limit < m_closestHitFraction) {
            m_closestHitFraction = limit;
        }
        m_collisionObject = hit.m_collisionObject;
        return m_closestHitFraction;
    }
};

}  // namespace

void NewtonWorldRayCast(const NewtonWorld* constWorld, const float* p0, const float* p1,
                        NewtonWorldRayFilterCallback filter, void* userData,
                        NewtonWorldRayPrefilterCallback prefilter)
{
    NewtonWorld* world = NewtonW(constWorld);
    FilterRay ray;
    ray.filter = filter;
    ray.prefilter = prefilter;
    ray.userData = userData;
    ray.from = NewtonVec(p0);
    ray.to = NewtonVec(p1);
    if ((ray.to - ray.from).length2() <= 0.0f) {
        return;
    }
    world->dynamics->rayTest(ray.from, ray.to, ray);
}
