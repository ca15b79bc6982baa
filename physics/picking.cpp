// picking.cpp -- what the player looks at, grabbing a ball with the right button,
// carrying it in front of the eye and throwing it with the left.
#include "physics/physics.h"

#include "platform/glfw2/glfw2.h"
#include "platform/newton/newton.h"

#include <cstdio>
#include <cstring>

static const float kRayLength = 20.0f;
static const float kCarryDistance = 3.0f;
static const float kCarryGain = 12.566371f;   // 4 pi per second
// The meter rises 0.5 every 1/60 s a ball is held, whatever the frame rate: a
// turn of 51 rises lasts 0.85 s.
static const double kPowerTick = 1.0 / 60.0;
static const float kMarkerLift = 0.3f;

// The look ray's search: the report it fills and the body it must never see
// (the player's own, which the ray starts inside).
struct LookSearch {
    LookAtReport* report;
    const NewtonBody* exclude;
};

static unsigned RayPrefilter(const NewtonBody* body, const NewtonCollision*, void* userData)
{
    const LookSearch* search = (const LookSearch*)userData;
    return body != search->exclude;
}

float RayFilter(const NewtonBody* body, const float* normal, int collisionId, void* userData,
                float param)
{
    LookAtReport* report = ((LookSearch*)userData)->report;
    float mass, ixx, iyy, izz;
    NewtonBodyGetMassMatrix(body, &mass, &ixx, &iyy, &izz);
    report->param = param;
    report->normal = Vec3{normal[0], normal[1], normal[2]};
    report->body = (NewtonBody*)body;
    if (mass == 0.0f)
        report->faceId = collisionId;
    // Only nearer hits from now on: the last one reported is the nearest.
    return param;
}

static void PlaceMarker(Player* player, const LookAtReport* report, Vec3 fromObject)
{
    Vec3 z = report->normal;
    Vec3 y = Vec3Cross(report->normal, fromObject);
    Vec3Normalize(&y);
    Vec3 x = Vec3Cross(y, report->normal);
    Vec3 lifted = Vec3Add(report->point, Vec3Scale(report->normal, kMarkerLift));
    Mat4SetAxes(player->markerMatrix, x, y, z, lifted);
}

static void HandleBall(NewtonWorld* world, Player* player, SceneObject* ball,
                       const LookAtReport* report)
{
    NewtonWorldUnfreezeBody(world, report->body);
    if (player->heldBody && glfwGetMouseButton(GLFW_MOUSE_BUTTON_LEFT)) {
        ball->gravityOn = kTrue;
        Vec3 kick = Vec3Scale(player->forward, player->power);
        float deltaVelocity[3] = {kick.x, kick.y, kick.z};
        float point[3] = {report->point.x, report->point.y, report->point.z};
        NewtonAddBodyImpulse(report->body, deltaVelocity, point);
        player->heldBody = nullptr;
        ++player->throws;
    }
    if (glfwGetMouseButton(GLFW_MOUSE_BUTTON_RIGHT))
        player->heldBody = report->body;
}

static void RaisePower(Player* player)
{
    player->powerSeconds += player->passSeconds;
    while (player->powerSeconds >= kPowerTick - kClockSlack) {
        player->powerSeconds -= kPowerTick;
        player->power += 0.5f;
        if (player->power > 25.0f)
            player->power = 0.0f;
    }
}

static void CarryHeldBall(Player* player, const LookAtReport* report)
{
    Vec3 eye = Mat4Position(player->matrix);
    float distance = Vec3Length(Vec3Sub(eye, report->point));
    int near = 0;
    if (report->body && distance < kCarryDistance) {
        const SceneObject* hit = (const SceneObject*)NewtonBodyGetUserData(report->body);
        near = hit->kind == kKindTree;
    }
    SceneObject* held = (SceneObject*)NewtonBodyGetUserData(player->heldBody);
    held->gravityOn = kFalse;

    float m[16];
    NewtonBodyGetMatrix(player->heldBody, m);
    Vec3 q = {m[12], m[13], m[14]};
    // No farther than the table surface in view, so the ball never sinks into it.
    Vec3 target = Vec3Add(eye, Vec3Scale(player->forward, near ? distance : kCarryDistance));
    Vec3 pull = Vec3Scale(Vec3Sub(target, q), kCarryGain);
    float velocity[3] = {pull.x, pull.y, pull.z};
    const float still[3] = {0.0f, 0.0f, 0.0f};
    NewtonBodySetVelocity(player->heldBody, velocity);
    NewtonBodySetOmega(player->heldBody, still);

    RaisePower(player);
}

LookAtReport LookAtAndHold(NewtonWorld* world, Player* player)
{
    LookAtReport report;
    std::memset(&report, 0, sizeof(report));
    std::strcpy(report.name, "No objects in range.");

    Vec3 p0 = player->frame.position;
    Vec3 p1 = Vec3Add(p0, Vec3Scale(player->forward, kRayLength));
    float from[3] = {p0.x, p0.y, p0.z};
    float to[3] = {p1.x, p1.y, p1.z};
    LookSearch search = {&report, player->body};
    NewtonWorldRayCast(world, from, to, RayFilter, &search, RayPrefilter);
    report.point = Vec3Add(p0, Vec3Scale(Vec3Sub(p1, p0), report.param));

    if (report.body) {
        SceneObject* hit = (SceneObject*)NewtonBodyGetUserData(report.body);
        std::memcpy(report.name, hit->name, sizeof(report.name));
        report.name[sizeof(report.name) - 1] = '\0';
        PlaceMarker(player, &report, Vec3Sub(report.point, Mat4Position(hit->matrix)));
        if (hit->kind == kKindBall) {
            HandleBall(world, player, hit, &report);
        } else if (hit->kind == kKindTree) {
            std::snprintf(report.name, sizeof(report.name), "%.20s Face #%d", hit->name,
                          report.faceId);
        }
    }
    if (player->heldBody)
        CarryHeldBall(player, &report);
    return report;
}
