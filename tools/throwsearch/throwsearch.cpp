// throwsearch.cpp -- searches the throws that score in each kind of hole from a
// standing position, and how far each one's aim may move and still score.
// Runs the game's own physics scene without a window:
//   ALSOFT_DRIVERS=null ./build/tools/throwsearch/throwsearch [x z]
// Prints one line per kind: points x z yaw pitch power, the yaw and pitch
// margins that still score, and how many of its 26 grid neighbours score too.
#include "model/model.h"
#include "physics/physics.h"
#include "platform/newton/newton.h"
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

enum { kPowers = 18, kPitches = 13, kYaws = 21 };

static float PowerAt(int i) { return 8.0f + (float)i; }
static float PitchAt(int i) { return 0.05f * (float)i; }
static float YawAt(int i) { return -0.2f + 0.02f * (float)i; }

// How far the aim may move either way, in steps of 0.002, and still score.
static float Margin(Vec3 stand, float yaw, float pitch, float power, int kind, int alongYaw)
{
    float margin = 0.0f;
    for (float d = 0.002f; d < 0.05f; d += 0.002f) {
        float dy = alongYaw ? d : 0.0f, dp = alongYaw ? 0.0f : d;
        if (Throw(stand, yaw + dy, pitch + dp, power) != kind ||
            Throw(stand, yaw - dy, pitch - dp, power) != kind)
            break;
        margin = d;
    }
    return margin;
}

int main(int argc, char** argv)
{
    Vec3 stand = {0.0f, 2.0f, 5.0f};
    if (argc == 5 && std::strcmp(argv[1], "probe") == 0) {
        // Probes one throw and its neighbourhood: yaw steps of 0.001.
        float yaw = (float)std::atof(argv[2]), pitch = (float)std::atof(argv[3]);
        float power = (float)std::atof(argv[4]);
        for (int i = -10; i <= 10; ++i)
            std::printf("%+.3f:%d%s", 0.001f * (float)i, Throw(stand, yaw + 0.001f * (float)i, pitch, power),
                        i == 10 ? "\n" : " ");
        for (int i = -10; i <= 10; ++i)
            std::printf("%+.3f:%d%s", 0.001f * (float)i, Throw(stand, yaw, pitch + 0.001f * (float)i, power),
                        i == 10 ? "\n" : " ");
        return 0;
    }
    if (argc == 3) {
        stand.x = (float)std::atof(argv[1]);
        stand.z = (float)std::atof(argv[2]);
    }
    // The whole grid first: aim and the powers the meter shows.
    static int scored[kPowers][kPitches][kYaws];
    for (int a = 0; a < kPowers; ++a)
        for (int b = 0; b < kPitches; ++b)
            for (int c = 0; c < kYaws; ++c)
                scored[a][b][c] = Throw(stand, YawAt(c), PitchAt(b), PowerAt(a));

    // For each kind the five throws whose grid neighbours score the same most
    // often (a landing zone rather than a lucky bounce), best first, with the
    // margins of the best measured finely.
    const int kinds[3] = {100, 25, 10};
    for (int kind : kinds) {
        int taken[kPowers][kPitches][kYaws] = {};
        for (int pick = 0; pick < 5; ++pick) {
            int best = -1, bestA = 0, bestB = 0, bestC = 0;
            for (int a = 0; a < kPowers; ++a)
                for (int b = 0; b < kPitches; ++b)
                    for (int c = 0; c < kYaws; ++c) {
                        if (scored[a][b][c] != kind || taken[a][b][c])
                            continue;
                        int neighbours = 0;
                        for (int da = -1; da <= 1; ++da)
                            for (int db = -1; db <= 1; ++db)
                                for (int dc = -1; dc <= 1; ++dc) {
                                    int na = a + da, nb = b + db, nc = c + dc;
                                    if (na >= 0 && na < kPowers && nb >= 0 && nb < kPitches &&
                                        nc >= 0 && nc < kYaws && scored[na][nb][nc] == kind)
                                        ++neighbours;
                                }
                        if (neighbours > best) {
                            best = neighbours;
                            bestA = a;
                            bestB = b;
                            bestC = c;
                        }
                    }
            if (best < 0)
                break;
            taken[bestA][bestB][bestC] = 1;
            float yaw = YawAt(bestC), pitch = PitchAt(bestB), power = PowerAt(bestA);
            float yawMargin = pick == 0 ? Margin(stand, yaw, pitch, power, kind, 1) : 0.0f;
            float pitchMargin = pick == 0 ? Margin(stand, yaw, pitch, power, kind, 0) : 0.0f;
            std::printf("%d %.3f %.3f %.3f %.3f %.1f %.3f %.3f %d\n", kind, stand.x, stand.z, yaw,
                        pitch, power, yawMargin, pitchMargin, best);
            std::fflush(stdout);
        }
    }
    return 0;
}
