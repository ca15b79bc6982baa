// throwsearch.cpp -- searches the throws that score in each kind of hole from a
// standing position, and how far each one's aim may move and still score.
// Runs the game's own physics scene without a window:
//   ALSOFT_DRIVERS=null ./build/tools/throwsearch/throwsearch [x z]
// Prints one line per kind: points x z yaw pitch power robustYaw robustPitch.
#include "model/model.h"
#include "physics/physics.h"
#include "platform/newton.h"
#include "sound/sound.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

struct Scene {
    NewtonWorld* world;
    Model* slots[14];
    SceneObject* objects;
    Player player;
    unsigned int* buffers;
    unsigned int* sources;
};

static void Step(Scene* s, int steps)
{
    for (int i = 0; i < steps; ++i)
        NewtonUpdate(s->world, 1.0f / 300.0f);
}

static void Place(const NewtonBody* body, Vec3 at)
{
    Mat4 m;
    Mat4Identity(&m);
    m.m[12] = at.x;
    m.m[13] = at.y;
    m.m[14] = at.z;
    NewtonBodySetMatrix(body, m.m);
    const float still[3] = {0, 0, 0};
    NewtonBodySetVelocity(body, still);
    NewtonBodySetOmega(body, still);
}

// One world for every try: the other balls rest in the tray meanwhile.
static void Build(Scene* s, Vec3 stand)
{
    s->world = NewtonCreate(nullptr, nullptr);
    s->objects = (SceneObject*)std::calloc(kObjectCount, sizeof(SceneObject));
    std::memset(&s->player, 0, sizeof(s->player));
    SetupPhysicsScene(s->world, s->objects, &s->player, s->slots, 1, 3, s->sources);
    Place(s->player.body, stand);
    for (int k = 1; k <= 6; ++k)
        Place(s->objects[k].body, Vec3{0.0f, 0.5f + 0.25f * (float)k, 3.4f});
    Step(s, 600);
}

static Vec3 Direction(float yaw, float pitch)
{
    // Yaw 0 looks along -Z, positive yaw turns left; positive pitch looks up.
    return Vec3{-std::sin(yaw) * std::cos(pitch), std::sin(pitch), -std::cos(yaw) * std::cos(pitch)};
}

// Throws ball 1 as the game does: held 3 units ahead of the eye, then given
// the view direction times the power. Returns the points it scored (0: none).
static int Throw(Vec3 stand, float yaw, float pitch, float power)
{
    static Scene scene;
    static bool built = false;
    if (!built) {
        InitSoundBank(&scene.buffers, &scene.sources);
        LoadObjModel(&scene.slots[0], "Models/Table_Small2.obj", 1);
        Build(&scene, stand);
        built = true;
    }
    float m[16];
    NewtonBodyGetMatrix(scene.player.body, m);
    Vec3 eye = {m[12], m[13], m[14]};
    Vec3 forward = Direction(yaw, pitch);
    SceneObject* ball = &scene.objects[1];
    Place(ball->body, Vec3Add(eye, Vec3Scale(forward, 3.0f)));
    Vec3 v = Vec3Scale(forward, power);
    const float velocity[3] = {v.x, v.y, v.z};
    NewtonBodySetVelocity(ball->body, velocity);
    int points = 0;
    for (int i = 0; i < 8 * 300 && !points; ++i) {
        Step(&scene, 1);
        points = ball->points;
    }
    ball->points = 0;
    return points;
}

int main(int argc, char** argv)
{
    Vec3 stand = {0.0f, 2.0f, 5.0f};
    if (argc == 3) {
        stand.x = (float)std::atof(argv[1]);
        stand.z = (float)std::atof(argv[2]);
    }
    const int kinds[3] = {100, 25, 10};
    for (int kind : kinds) {
        int found = 0;
        // Coarse grid over the aim and every power the meter shows.
        for (float power = 8.0f; power <= 25.0f && !found; power += 0.5f)
            for (float pitch = 0.0f; pitch <= 0.7f && !found; pitch += 0.05f)
                for (float yaw = -0.3f; yaw <= 0.3f && !found; yaw += 0.02f) {
                    if (Throw(stand, yaw, pitch, power) != kind)
                        continue;
                    // How far the aim may move either way and still score this kind.
                    float robustYaw = 0.0f, robustPitch = 0.0f;
                    for (float d = 0.002f; d < 0.05f; d += 0.002f) {
                        if (Throw(stand, yaw + d, pitch, power) != kind ||
                            Throw(stand, yaw - d, pitch, power) != kind)
                            break;
                        robustYaw = d;
                    }
                    for (float d = 0.002f; d < 0.05f; d += 0.002f) {
                        if (Throw(stand, yaw, pitch + d, power) != kind ||
                            Throw(stand, yaw, pitch - d, power) != kind)
                            break;
                        robustPitch = d;
                    }
                    std::printf("%d %.3f %.3f %.3f %.3f %.1f %.3f %.3f\n", kind, stand.x, stand.z,
                                yaw, pitch, power, robustYaw, robustPitch);
                    std::fflush(stdout);
                    found = 1;
                }
        if (!found)
            std::printf("%d none\n", kind);
    }
    return 0;
}
