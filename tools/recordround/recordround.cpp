// recordround.cpp -- plays one whole round of the real game, window and all,
// through the recorder: a scripted clock and a scripted mouse grab balls and
// throw them with the aims of tests/scene/throws.txt until a throw has scored
// in each kind of hole, then the round runs out and N is answered. Run from the
// repository root on a display:
//   recordround tests/e2e/round.btr
#include "game/game.h"
#include "platform/glfw2/glfw2.h"
#include "platform/replay/replay.h"
#include "platform/newton/newton.h"
#include "tools/scriptedplay/scriptedplay.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Passes at a display's 60 Hz while the player aims and throws, so the power
// meter shows every step, and as a slow machine would while nothing but the
// balls move: the round stays short to replay. A second-long pass simulates
// only the most a pass may, so the idle end of the round barely moves the balls.
static const double kPassTime = 1.0 / 60.0;
static const double kWaitPassTime = 0.1;
static const double kIdlePassTime = 1.0;
static const int kPassesPerSecond = 60;
static const int kWaitPassesPerSecond = 10;
static const int kClosingPolls = 4000;         // about four seconds of closing screen
static const int kJinglePasses = 150;          // 2.5 s: the longest win jingle is 2.2 s

static Game* game = nullptr;
static long passIndex = 0;
static long long clockNs = 1000000000ll;
static int closingPolls = -1;   // counting once the round is over

static Glfw2Script* Script() { return Glfw2GetScript(); }

// The clock as GLFW's would read: whole nanoseconds.
static void AdvanceClock(double seconds)
{
    ++passIndex;
    clockNs += std::llround(seconds * 1e9);
    Script()->time = (double)clockNs / 1e9;
}

static void AnswerNoAfterAWhile(void*)
{
    if (closingPolls >= 0 && ++closingPolls >= kClosingPolls)
        Script()->keys['N'] = 1;
}

static bool RoundOver()
{
    return game->quitRequested != 0;
}

static void Pass(double seconds = kPassTime)
{
    AdvanceClock(seconds);
    if (Script()->time - game->roundStartTime > kRoundLength && closingPolls < 0)
        closingPolls = 0;
    ReplayBeginPass();
    RunFrame(game);
    Script()->mouseX = 320;
    Script()->mouseY = 240;
}

static float Heading(Vec3 d) { return std::atan2(-d.x, -d.z); }
static float Elevation(Vec3 d) { return std::asin(d.y / Vec3Length(d)); }

static int Clamp(int value, int limit)
{
    return value > limit ? limit : value < -limit ? -limit : value;
}

// Moves the mouse for the next pass towards a view direction, as a hand would:
// 0.001 radian a pixel. True when the view is there already.
static bool SteerTowards(Vec3 direction)
{
    Vec3 f = game->player.forward;
    float turn = Heading(direction) - Heading(f);
    if (turn > (float)M_PI)
        turn -= 2.0f * (float)M_PI;
    if (turn < -(float)M_PI)
        turn += 2.0f * (float)M_PI;
    float tilt = Elevation(direction) - Elevation(f);
    int dx = Clamp((int)std::lround(turn * 1000.0f), 150);
    int dy = Clamp((int)std::lround(tilt * 1000.0f), 150);
    Script()->mouseX = 320 - dx;
    Script()->mouseY = 240 - dy;
    return dx == 0 && dy == 0 && std::fabs(game->player.right.y) < 0.001f;
}

// The balls in the tray, nearest first; how many.
static int BallsInTray(int* order)
{
    Vec3 eye = BodyPosition(game->player.body);
    int count = 0;
    for (int k = 1; k < kObjectCount; ++k) {
        if (!InTray(BodyPosition(game->objects[k].body)))
            continue;
        int at = count++;
        float distance = PointDistance(BodyPosition(game->objects[k].body), eye);
        while (at > 0 &&
               PointDistance(BodyPosition(game->objects[order[at - 1]].body), eye) > distance) {
            order[at] = order[at - 1];
            --at;
        }
        order[at] = k;
    }
    return count;
}

// Looks at a ball and grabs the ball the crosshair then finds (it may be
// another one in front); the index of the ball held, or 0.
static int GrabBall(int k)
{
    Vec3 eye = BodyPosition(game->player.body);
    for (int i = 0; i < kPassesPerSecond / 2 && !RoundOver(); ++i) {
        // The top of the ball shows over the tray's rim.
        Vec3 top = Vec3Add(BodyPosition(game->objects[k].body), Vec3{0.0f, 0.1f, 0.0f});
        bool there = SteerTowards(Vec3Sub(top, eye));
        const NewtonBody* seen = game->lookAt.body;
        const SceneObject* object = seen ? (const SceneObject*)NewtonBodyGetUserData(seen) : nullptr;
        if (there && object && object != &game->objects[0] && object->kind == 1) {
            Script()->buttons[GLFW_MOUSE_BUTTON_RIGHT] = 1;
            Pass();
            Script()->buttons[GLFW_MOUSE_BUTTON_RIGHT] = 0;
            return game->player.heldBody == seen ? (int)(object - game->objects) : 0;
        }
        Pass();
    }
    Vec3 f = game->player.forward;
    Vec3 at = BodyPosition(game->objects[k].body);
    std::printf("  ball %d at (%.2f %.2f %.2f), eye (%.2f %.2f %.2f), looking (%.3f %.3f %.3f) "
                "right.y %.4f at %s\n",
                k, at.x, at.y, at.z, eye.x, eye.y, eye.z, f.x, f.y, f.z, game->player.right.y,
                game->lookAt.name);
    return 0;
}

// Aims the held ball and throws it when the power meter shows the throw's power.
static bool AimAndThrow(const ScriptedThrow& t)
{
    Vec3 aim = ThrowDirection(t.yaw, t.pitch);
    for (int i = 0; i < 4 * kPassesPerSecond && !RoundOver(); ++i) {
        bool there = SteerTowards(aim);
        // One turn of the power meter first lets the ball settle in front of the eye.
        if (there && i > 60 && game->player.power == t.power) {
            Script()->buttons[GLFW_MOUSE_BUTTON_LEFT] = 1;
            Pass();
            Script()->buttons[GLFW_MOUSE_BUTTON_LEFT] = 0;
            return game->player.heldBody == nullptr;
        }
        Pass();
    }
    return false;
}

// Waits for the throw to score and the ball to come back; the points scored.
// The longest win jingle plays out over passes at a player's frame rate, so a
// fast replay, which runs as fast as it draws, keeps about real time while the
// jingle sounds and the returning ball's rumble is not crammed in under it.
static int AwaitOutcome(int k)
{
    int before = game->player.score;
    for (int i = 0; i < 8 * kWaitPassesPerSecond && game->player.score == before && !RoundOver();
         ++i)
        Pass(kWaitPassTime);
    int points = game->player.score - before;
    for (int i = 0; points != 0 && i < kJinglePasses && !RoundOver(); ++i)
        Pass();
    for (int i = 0; i < 15 * kWaitPassesPerSecond && !RoundOver(); ++i) {
        if (InTray(BodyPosition(game->objects[k].body)))
            break;
        Pass(kWaitPassTime);
    }
    for (int i = 0; i < kWaitPassesPerSecond && !RoundOver(); ++i)
        Pass(kWaitPassTime);   // the tray settles
    return points;
}

static bool Scored(const int* scored, int points)
{
    return scored[ScoreKind(points)] != 0;
}

// Tries the candidate throws for each kind not scored yet, round after round
// of candidates with a growing nudge to the aim, while the round lasts.
static void ThrowForEveryKind(const ScriptedThrow* throws, int count, int* scored)
{
    for (int lap = 0; !RoundOver() && !(scored[0] && scored[1] && scored[2]); ++lap) {
        for (int i = 0; i < count && !RoundOver(); ++i) {
            if (Scored(scored, throws[i].points))
                continue;
            ScriptedThrow t = throws[i];
            t.yaw += 0.002f * (float)(lap % 2 ? lap : -lap);
            int order[kObjectCount];
            int inTray = BallsInTray(order);
            int k = 0;
            for (int b = 0; b < inTray && k == 0 && !RoundOver(); ++b)
                k = GrabBall(order[b]);
            if (k == 0 || !AimAndThrow(t)) {
                std::printf("throw for %d: no ball %s at %.1f s\n", t.points,
                            k ? "thrown" : "grabbed", Script()->time - game->roundStartTime);
                Pass(kWaitPassTime);
                continue;
            }
            int points = AwaitOutcome(k);
            std::printf("throw for %d (yaw %.3f pitch %.3f power %.1f): %d points at %.1f s\n",
                        t.points, t.yaw, t.pitch, t.power, points,
                        Script()->time - game->roundStartTime);
            if (ScoreKind(points) >= 0)
                scored[ScoreKind(points)] = 1;
        }
    }
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::printf("usage: recordround OUTPUT (run from the repository root on a display)\n");
        return 2;
    }
    ScriptedThrow throws[64];
    int count = ReadScriptedThrows("tests/scene/throws.txt", throws, 64);
    if (count == 0) {
        std::printf("recordround: no throws in tests/scene/throws.txt\n");
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::memset(Script(), 0, sizeof(Glfw2Script));
    Script()->active = 1;
    Script()->time = 1.0;
    Script()->mouseX = 320;
    Script()->mouseY = 240;
    Script()->onPoll = AnswerNoAfterAWhile;
    // The recorder's round is no player's: its scores and last round go to a scratch folder.
    char scratch[] = "/tmp/recordround.XXXXXX";
    if (mkdtemp(scratch))
        setenv("XDG_DATA_HOME", scratch, 1);
    static GameOptions options;
    std::snprintf(options.recordPath, sizeof options.recordPath, "%s", argv[1]);
    Settings settings;
    DefaultSettings(&settings);
    if (!OpenRecordOrReplay(&options, &settings))
        return 1;

    game = (Game*)std::calloc(1, sizeof(Game));
    GameStartUp(game, &settings);
    if (!RecordAssetsLoaded())
        return 1;
    StartRound(game);
    for (int i = 0; i < 3 * kWaitPassesPerSecond; ++i)
        Pass(kWaitPassTime);   // the balls settle in the tray
    int scored[3] = {0, 0, 0};
    ThrowForEveryKind(throws, count, scored);
    while (!RoundOver())
        Pass(kIdlePassTime);
    int score = game->player.score;
    int status = FinishRecordOrReplay(game);
    GameShutDown(game);
    std::free(game);
    std::printf("recorded %ld passes, final score %d\n", passIndex, score);
    if (!(scored[0] && scored[1] && scored[2])) {
        std::printf("recordround: the round did not score in every kind of hole\n");
        return 1;
    }
    return status;
}
