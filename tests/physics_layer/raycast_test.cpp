// raycast_test.cpp -- the rigid-body layer's ray casts as the look-at ray uses them:
// nearest hit reported last, face attributes, exact normals, excluded bodies.
#include "tests/physics_layer/layer_scene.h"

#include <gtest/gtest.h>

#include <vector>

using namespace layer_scene;

namespace {

struct Hit {
    const NewtonBody* body;
    float normal[3];
    int id;
    float param;
};

struct RayLog {
    std::vector<Hit> hits;
    const NewtonBody* excluded = nullptr;
};

float Record(const NewtonBody* body, const float* normal, int id, void* userData, float param)
{
    RayLog* log = static_cast<RayLog*>(userData);
    log->hits.push_back({body, {normal[0], normal[1], normal[2]}, id, param});
    return param;
}

float KeepGoing(const NewtonBody* body, const float* normal, int id, void* userData, float param)
{
    Record(body, normal, id, userData, param);
    return 1.0f;
}

unsigned Exclude(const NewtonBody* body, const NewtonCollision*, void* userData)
{
    return static_cast<RayLog*>(userData)->excluded == body ? 0u : 1u;
}

class LayerRays : public LayerWorld {
protected:
    void SetUp() override
    {
        LayerWorld::SetUp();
        floor = MakeFloor(world, 5.0f, 10, [](int i, int) { return i < 5 ? 5 : 6; });
        upper = MakeBall(world, 0.5f, 1.0f, 0.25f, 3.0f, 0.25f);
        lower = MakeBall(world, 0.5f, 1.0f, 0.25f, 1.5f, 0.25f);
    }
    // The ray p0-p1 through filter; the prefilter is set only to leave a body out.
    RayLog Cast(const float* p0, const float* p1, NewtonWorldRayFilterCallback filter = Record,
                const NewtonBody* excluded = nullptr)
    {
        RayLog log;
        log.excluded = excluded;
        NewtonWorldRayCast(world, p0, p1, filter, &log, excluded ? Exclude : nullptr);
        return log;
    }
    NewtonBody* floor = nullptr;
    NewtonBody* upper = nullptr;
    NewtonBody* lower = nullptr;
};

TEST_F(LayerRays, FilterReturningTheParameterSeesTheNearestHitLast)
{
    // Straight down onto the upper ball; again with the prefilter leaving it out, onto
    // the lower one; onto the floor's left half, where the faces carry attribute 5.
    const struct {
        float x, z;
        const NewtonBody* excluded;
        const NewtonBody* nearest;
        float param;
        int id;
    } rays[3] = {{0.25f, 0.25f, nullptr, upper, (5.0f - 3.5f) / 10.0f, 0},
                 {0.25f, 0.25f, upper, lower, (5.0f - 2.0f) / 10.0f, 0},
                 {-3.3f, 1.1f, nullptr, floor, 0.5f, 5}};
    for (const auto& ray : rays) {
        const float p0[3] = {ray.x, 5.0f, ray.z}, p1[3] = {ray.x, -5.0f, ray.z};
        const RayLog log = Cast(p0, p1, Record, ray.excluded);
        ASSERT_FALSE(log.hits.empty());
        for (size_t i = 0; i < log.hits.size(); ++i) {
            EXPECT_NE(log.hits[i].body, ray.excluded);
            EXPECT_TRUE(i == 0 || log.hits[i].param < log.hits[i - 1].param) << i;
        }
        const Hit& last = log.hits.back();
        EXPECT_EQ(last.body, ray.nearest);
        EXPECT_NEAR(last.param, ray.param, 1e-5f);
        EXPECT_NEAR(last.normal[1], 1.0f, 1e-5f);
        EXPECT_EQ(last.id, ray.id);
    }
}

TEST_F(LayerRays, FilterReturningOneSeesEveryBodyOnTheRay)
{
    const float top[3] = {0.25f, 5.0f, 0.25f}, bottom[3] = {0.25f, -5.0f, 0.25f};
    const RayLog log = Cast(top, bottom, KeepGoing);
    bool sawUpper = false, sawLower = false, sawFloor = false;
    for (const Hit& hit : log.hits) {
        sawUpper = sawUpper || hit.body == upper;
        sawLower = sawLower || hit.body == lower;
        if (hit.body == floor) {
            sawFloor = true;
            EXPECT_NEAR(hit.param, 0.5f, 1e-5f);
            EXPECT_EQ(hit.id, 6);  // x = 0.25 lies in the right half
            EXPECT_NEAR(hit.normal[1], 1.0f, 1e-5f);
        }
    }
    EXPECT_TRUE(sawUpper && sawLower && sawFloor);
}

TEST_F(LayerRays, EllipsoidHitIsExactAndARayFromInsideMissesIt)
{
    NewtonBody* player = MakeBall(world, 1.0f, 150.0f, 0.0f, 0.0f, -4.0f, 2.0f);
    // Along -x at height 1 above the centre: enters at x = sqrt(1 - 1/4).
    const float p0[3] = {5.0f, 1.0f, -4.0f}, p1[3] = {-5.0f, 1.0f, -4.0f};
    const RayLog log = Cast(p0, p1);
    ASSERT_FALSE(log.hits.empty());
    const Hit& hit = log.hits.back();
    EXPECT_EQ(hit.body, player);
    const float x = std::sqrt(0.75f);
    EXPECT_NEAR(hit.param, (5.0f - x) / 10.0f, 1e-5f);
    const float gx = x, gy = 1.0f / 4.0f;
    const float g = std::sqrt(gx * gx + gy * gy);
    EXPECT_NEAR(hit.normal[0], gx / g, 1e-4f);
    EXPECT_NEAR(hit.normal[1], gy / g, 1e-4f);
    // The look ray starts at the player's eye, its centre: the player is not hit.
    const float eye[3] = {0.0f, 0.0f, -4.0f}, ahead[3] = {0.0f, 0.0f, -24.0f};
    const RayLog inside = Cast(eye, ahead);
    for (const Hit& h : inside.hits) {
        EXPECT_NE(h.body, player);
    }
}

}  // namespace
