// throwsearch.cpp -- searches the throws that score in each kind of hole from a
// standing position, and how far each one's aim may move and still score.
// Runs the game's own physics scene without a window:
//   ALSOFT_DRIVERS=null ./build/tools/throwsearch/throwsearch [x z]
// Prints one line per kind: points x z yaw pitch power, the yaw and pitch
// margins that still score, and how many of its 26 grid neighbours score too.
//   ... throwsearch survey [throwsPerAim]
// throws as an unsteady player would, each aim many times, and prints how often
// each scores, how often it ends on the floor and whether every ball comes home.
//   ... throwsearch probe|trace yaw pitch power
// the scores of one aim's close neighbours, or where one throw's ball goes.
#include "model/model.h"
#include "physics/physics.h"
#include "platform/newton/newton.h"
#include "sound/sound.h"
#include "tools/scriptedplay/scriptedplay.h"

#include <cmath>
#include <cstdint>
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

static Scene* TheScene(Vec3 stand)
{
    static Scene scene;
    static bool built = false;
    if (!built) {
        InitSoundBank(&scene.buffers, &scene.sources);
        LoadObjModel(&scene.slots[0], "Models/Table_Small2.obj", 1);
        Build(&scene, stand);
        built = true;
    }
    return &scene;
}

// Throws ball 1 as the game does: held 3 units ahead of the eye, then given
// the view direction times the power.
static SceneObject* Launch(Scene* scene, float yaw, float pitch, float power)
{
    float m[16];
    NewtonBodyGetMatrix(scene->player.body, m);
    Vec3 eye = {m[12], m[13], m[14]};
    Vec3 forward = ThrowDirection(yaw, pitch);
    SceneObject* ball = &scene->objects[1];
    Place(ball->body, Vec3Add(eye, Vec3Scale(forward, 3.0f)));
    Vec3 v = Vec3Scale(forward, power);
    const float velocity[3] = {v.x, v.y, v.z};
    NewtonBodySetVelocity(ball->body, velocity);
    ball->points = 0;
    return ball;
}

// The points a throw scored within 8 s (0: none).
static int Throw(Vec3 stand, float yaw, float pitch, float power)
{
    Scene* scene = TheScene(stand);
    SceneObject* ball = Launch(scene, yaw, pitch, power);
    int points = 0;
    for (int i = 0; i < 8 * 300 && !points; ++i) {
        Step(scene, 1);
        points = ball->points;
    }
    ball->points = 0;
    return points;
}

enum { kPowers = 22, kPitches = 13, kYaws = 21 };

static float PowerAt(int i) { return 4.0f + (float)i; }
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

// ---- The grid search ----

struct Aim {
    float yaw, pitch, power;
    int neighbours;   // grid neighbours that score the same kind
};

static int scored[kPowers][kPitches][kYaws];

// The whole grid: aim and the powers the meter shows.
static void SearchGrid(Vec3 stand)
{
    for (int a = 0; a < kPowers; ++a)
        for (int b = 0; b < kPitches; ++b)
            for (int c = 0; c < kYaws; ++c)
                scored[a][b][c] = Throw(stand, YawAt(c), PitchAt(b), PowerAt(a));
}

static int Neighbours(int a, int b, int c, int kind)
{
    int count = 0;
    for (int da = -1; da <= 1; ++da)
        for (int db = -1; db <= 1; ++db)
            for (int dc = -1; dc <= 1; ++dc) {
                int na = a + da, nb = b + db, nc = c + dc;
                if (na >= 0 && na < kPowers && nb >= 0 && nb < kPitches && nc >= 0 && nc < kYaws &&
                    scored[na][nb][nc] == kind)
                    ++count;
            }
    return count;
}

// The throws of a kind whose grid neighbours score the same most often (a
// landing zone rather than a lucky bounce), best first. Returns how many.
static int BestAims(int kind, Aim* aims, int wanted)
{
    static int taken[kPowers][kPitches][kYaws];
    std::memset(taken, 0, sizeof(taken));
    int found = 0;
    for (; found < wanted; ++found) {
        Aim best = {0.0f, 0.0f, 0.0f, -1};
        int bestA = 0, bestB = 0, bestC = 0;
        for (int a = 0; a < kPowers; ++a)
            for (int b = 0; b < kPitches; ++b)
                for (int c = 0; c < kYaws; ++c) {
                    if (scored[a][b][c] != kind || taken[a][b][c])
                        continue;
                    int n = Neighbours(a, b, c, kind);
                    if (n > best.neighbours) {
                        best = Aim{YawAt(c), PitchAt(b), PowerAt(a), n};
                        bestA = a;
                        bestB = b;
                        bestC = c;
                    }
                }
        if (best.neighbours < 0)
            break;
        taken[bestA][bestB][bestC] = 1;
        aims[found] = best;
    }
    return found;
}

// ---- The survey: throws as an unsteady player makes them ----

static uint64_t noiseState = 0x2545F4914F6CDD1Dull;   // fixed: every run throws the same

static uint32_t NextNoise()
{
    noiseState ^= noiseState << 13;
    noiseState ^= noiseState >> 7;
    noiseState ^= noiseState << 17;
    return (uint32_t)(noiseState >> 32);
}

// Uniform in [-1, 1).
static float NoiseUnit()
{
    return (float)NextNoise() / 2147483648.0f - 1.0f;
}

struct Outcome {
    Vec3 end;     // where the ball was when the throw ended
    int points;
    bool floor;   // ended on the room's floor
    bool home;    // at the tray within 15 s of the throw, or of reaching the return point
};

// A throw followed until its ball is back in the tray, on the floor, or 15 s
// have gone by. A scored ball is followed home from the return point only when
// followScored is set, else the throw ends when it scores.
static Outcome Follow(Vec3 stand, float yaw, float pitch, float power, bool followScored)
{
    Scene* scene = TheScene(stand);
    SceneObject* ball = Launch(scene, yaw, pitch, power);
    Outcome o = {Vec3{0, 0, 0}, 0, false, false};
    for (int i = 0; i < 15 * 300; ++i) {
        Step(scene, 1);
        if (ball->points != 0) {
            o.points = o.points != 0 ? o.points : ball->points;
            ball->points = 0;
            if (!followScored) {
                o.home = true;
                return o;
            }
            i = 0;
        }
        Vec3 at = Mat4Position(ball->matrix);
        o.end = at;
        if (at.y < 0.185f) {
            o.floor = true;
            return o;
        }
        if (InTray(at)) {
            o.home = true;
            return o;
        }
    }
    return o;
}

struct Tally {
    int throws, scored, at25, at100, floor, notHome, followed;
};

// Throws at one aim with the unsteadiness of a player's hand: yaw and pitch
// uniform within 0.005 rad (five mouse pixels), the power one meter step of 0.5
// either way or none. Every followEvery-th scoring throw is followed home.
static Tally Survey(Vec3 stand, Aim aim, int throws, int followEvery)
{
    Tally t = {};
    for (int i = 0; i < throws; ++i) {
        float yaw = aim.yaw + 0.005f * NoiseUnit(), pitch = aim.pitch + 0.005f * NoiseUnit();
        float power = aim.power + 0.5f * (float)((int)(NextNoise() % 3) - 1);
        power = std::fmin(std::fmax(power, 0.5f), 25.0f);
        bool follow = i % followEvery == 0;
        Outcome o = Follow(stand, yaw, pitch, power, follow);
        ++t.throws;
        t.scored += o.points != 0;
        t.at25 += o.points == 25;
        t.at100 += o.points == 100;
        t.floor += o.floor;
        t.notHome += !o.home;
        if (!o.home)
            std::fprintf(stderr, "not home: yaw %.4f pitch %.4f power %.1f, points %d, at %.2f %.2f %.2f\n", yaw,
                         pitch, power, o.points, o.end.x, o.end.y, o.end.z);
        t.followed += follow || o.points == 0;
    }
    return t;
}

static int Percent(int part, int whole)
{
    return whole > 0 ? (int)std::lround(100.0 * part / whole) : 0;
}

static void PrintRow(const char* label, Aim aim, const Tally& t)
{
    std::printf("| %s | %.3f | %.2f | %.1f | %d | %d | %d | %d | %d | %d of %d |\n", label, aim.yaw, aim.pitch,
                aim.power, t.throws, Percent(t.scored, t.throws), Percent(t.at25, t.throws),
                Percent(t.at100, t.throws), Percent(t.floor, t.throws), t.notHome, t.followed);
    std::fflush(stdout);
}

static void RunSurvey(Vec3 stand, int throws)
{
    std::printf("| aim | yaw | pitch | power | throws | scored %% | 25 %% | 100 %% | floor %% | not home in 15 s |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    // Straight up the middle: every pitch 0 to 0.3 and power 4 to 25.
    enum { kStraightPitches = 7, kStraightPowers = 22 };
    static Tally straight[kStraightPitches][kStraightPowers];
    Tally hard = {}, all = {};
    int bestP = 0, bestW = 0;
    for (int p = 0; p < kStraightPitches; ++p)
        for (int w = 0; w < kStraightPowers; ++w) {
            Aim aim = {0.0f, 0.05f * (float)p, 4.0f + (float)w, 0};
            Tally& t = straight[p][w];
            t = Survey(stand, aim, throws, 10);
            if (t.scored > straight[bestP][bestW].scored)
                bestP = p, bestW = w;
            if (aim.power >= 20.0f) {
                hard.throws += t.throws;
                hard.floor += t.floor;
            }
            all.notHome += t.notHome;
            all.followed += t.followed;
        }
    Aim best = {0.0f, 0.05f * (float)bestP, 4.0f + (float)bestW, 0};
    PrintRow("straight, best", best, straight[bestP][bestW]);
    // The powers at that pitch that score in at least 30 % of throws.
    int low = -1, high = -1;
    for (int w = 0; w < kStraightPowers; ++w)
        if (Percent(straight[bestP][w].scored, throws) >= 30) {
            low = low < 0 ? w : low;
            high = w;
        }
    // Each kind at the best of the grid search's five candidates.
    SearchGrid(stand);
    const int kinds[3] = {10, 25, 100};
    for (int kind : kinds) {
        Aim aims[5];
        int count = BestAims(kind, aims, 5);
        Tally bestTally = {};
        Aim bestAim = {};
        for (int i = 0; i < count; ++i) {
            // the candidate as a line of tests/scene/throws.txt, on the error stream
            std::fprintf(stderr, "%d %.3f %.3f %.3f %.3f %.1f 0.000 0.000 %d\n", kind, stand.x, stand.z,
                         aims[i].yaw, aims[i].pitch, aims[i].power, aims[i].neighbours);
            Tally t = Survey(stand, aims[i], throws, 1);
            all.notHome += t.notHome;
            all.followed += t.followed;
            int hits = kind == 10 ? t.scored : kind == 25 ? t.at25 : t.at100;
            int bestHits = kind == 10 ? bestTally.scored : kind == 25 ? bestTally.at25 : bestTally.at100;
            if (i == 0 || hits > bestHits)
                bestTally = t, bestAim = aims[i];
        }
        char label[32];
        std::snprintf(label, sizeof label, "best for %d", kind);
        if (count > 0)
            PrintRow(label, bestAim, bestTally);
    }
    std::printf("\nstraight at pitch %.2f: powers scoring in 30 %% or more: %.0f to %.0f\n", 0.05f * (float)bestP,
                low < 0 ? 0.0f : 4.0f + (float)low, high < 0 ? 0.0f : 4.0f + (float)high);
    std::printf("straight, powers 20 to 25, pitches 0 to 0.3: %d of %d on the floor (%d %%)\n", hard.floor,
                hard.throws, Percent(hard.floor, hard.throws));
    std::printf("not home within 15 s: %d of %d throws followed home\n", all.notHome, all.followed);
    std::printf("\nstraight, scored %% by pitch (rows) and power 4 to 25 (columns):\n");
    for (int p = 0; p < kStraightPitches; ++p) {
        std::printf("%.2f:", 0.05f * (float)p);
        for (int w = 0; w < kStraightPowers; ++w)
            std::printf(" %3d", Percent(straight[p][w].scored, straight[p][w].throws));
        std::printf("\n");
    }
}

int main(int argc, char** argv)
{
    Vec3 stand = {0.0f, 2.0f, 5.0f};
    if (argc >= 2 && std::strcmp(argv[1], "survey") == 0) {
        RunSurvey(stand, argc == 3 ? std::atoi(argv[2]) : 100);
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "trace") == 0) {
        // Where one throw's ball goes: its position every tenth of a second.
        Scene* scene = TheScene(stand);
        SceneObject* ball = Launch(scene, (float)std::atof(argv[2]), (float)std::atof(argv[3]),
                                   (float)std::atof(argv[4]));
        for (int i = 1; i <= 15 * 300; ++i) {
            Step(scene, 1);
            Vec3 at = Mat4Position(ball->matrix);
            if (i % 30 == 0 || ball->points != 0)
                std::printf("%.2f s: %.2f %.2f %.2f points %d\n", (float)i / 300.0f, at.x, at.y, at.z, ball->points);
            ball->points = 0;
        }
        return 0;
    }
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
    SearchGrid(stand);
    const int kinds[3] = {100, 25, 10};
    for (int kind : kinds) {
        Aim aims[5];
        int count = BestAims(kind, aims, 5);
        for (int pick = 0; pick < count; ++pick) {
            const Aim& a = aims[pick];
            // the margins of the best measured finely
            float yawMargin = pick == 0 ? Margin(stand, a.yaw, a.pitch, a.power, kind, 1) : 0.0f;
            float pitchMargin = pick == 0 ? Margin(stand, a.yaw, a.pitch, a.power, kind, 0) : 0.0f;
            std::printf("%d %.3f %.3f %.3f %.3f %.1f %.3f %.3f %d\n", kind, stand.x, stand.z, a.yaw, a.pitch,
                        a.power, yawMargin, pitchMargin, a.neighbours);
            std::fflush(stdout);
        }
    }
    return 0;
}
