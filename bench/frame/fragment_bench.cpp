// fragment_bench.cpp -- how much fragment work each pass of the frame asks for:
// occlusion-query counts per pass and per model group, against the 307,200
// pixels of the 640 x 480 window, from a few views of the standing spot.
//   run from the repository root under Xvfb: bench_fragments [other-root]
// With another build's folder (holding its Textures/ and Models/) it also times
// whole drawn frames with those assets against this one's, at the largest
// anisotropy and at 1.
// For each pass it prints the fragments rasterized (depth test forced to
// always pass: the depth complexity), the fragments that passed the depth test
// in the game's own state, and, where the driver counts them, the fragment
// shader invocations (equal to "rasterized" when early depth rejection is off).
#include "game/game.h"
#include "model/model.h"
#include "platform/glfw2/glfw2.h"

#include <GL/glext.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

static const double kScreenPixels = 640.0 * 480.0;

typedef void (*GenQueriesProc)(GLsizei, GLuint*);
typedef void (*BeginQueryProc)(GLenum, GLuint);
typedef void (*EndQueryProc)(GLenum);
typedef void (*GetQueryObjectui64Proc)(GLuint, GLenum, GLuint64*);
typedef void (*DeleteQueriesProc)(GLsizei, const GLuint*);

struct QueryProcs {
    GenQueriesProc gen;
    BeginQueryProc begin;
    EndQueryProc end;
    GetQueryObjectui64Proc result;
    DeleteQueriesProc remove;
    int shaderInvocations;   // the driver counts fragment shader invocations
};

static QueryProcs LoadQueryProcs()
{
    QueryProcs q;
    q.gen = (GenQueriesProc)glfwGetProcAddress("glGenQueries");
    q.begin = (BeginQueryProc)glfwGetProcAddress("glBeginQuery");
    q.end = (EndQueryProc)glfwGetProcAddress("glEndQuery");
    q.result = (GetQueryObjectui64Proc)glfwGetProcAddress("glGetQueryObjectui64v");
    q.remove = (DeleteQueriesProc)glfwGetProcAddress("glDeleteQueries");
    q.shaderInvocations = glfwExtensionSupported("GL_ARB_pipeline_statistics_query");
    return q;
}

// What one pass cost: fragments that passed the depth test, and the fragment
// shader invocations (0 when the driver does not count them).
struct PassCount {
    double passed;
    double shaded;
};

typedef void (*PassProc)(const SceneView*);

static PassCount CountPass(const QueryProcs& q, PassProc pass, const SceneView* view)
{
    GLuint ids[2];
    q.gen(2, ids);
    q.begin(GL_SAMPLES_PASSED, ids[0]);
    if (q.shaderInvocations)
        q.begin(GL_FRAGMENT_SHADER_INVOCATIONS_ARB, ids[1]);
    pass(view);
    if (q.shaderInvocations)
        q.end(GL_FRAGMENT_SHADER_INVOCATIONS_ARB);
    q.end(GL_SAMPLES_PASSED);
    GLuint64 passed = 0, shaded = 0;
    q.result(ids[0], GL_QUERY_RESULT, &passed);
    if (q.shaderInvocations)
        q.result(ids[1], GL_QUERY_RESULT, &shaded);
    q.remove(2, ids);
    return PassCount{(double)passed, (double)shaded};
}

enum { kPassCount = 3 };
static const char* const kPassNames[kPassCount] = {"shadow (depth, 2048x2048)", "lit",
                                                   "receiving"};

// The three passes of one frame, counted, with the depth test as the game
// sets it or forced to always pass.
static void CountFrame(const QueryProcs& q, const SceneView* view, bool depthAlways,
                       PassCount out[kPassCount])
{
    RenderScene(view);   // places the light and computes its view
    glDepthFunc(depthAlways ? GL_ALWAYS : GL_LEQUAL);
    PassCount none = {0.0, 0.0};
    out[0] = shadowsEnabled ? CountPass(q, RenderDepthPass, view) : none;
    out[1] = CountPass(q, RenderCameraPass, view);
    out[2] = shadowsEnabled ? CountPass(q, RenderShadowReceivingPass, view) : none;
    glDepthFunc(GL_LEQUAL);
}

// The table drawn with only its first `groups` material groups (0: balls only).
struct PrefixLists {
    GLuint textured, plain;
};

static PrefixLists CompilePrefix(Game* game, unsigned int groups)
{
    Model part = *game->modelSlots[0];
    part.materialCount = groups;
    PrefixLists lists = {glGenLists(1), glGenLists(1)};
    glNewList(lists.textured, GL_COMPILE);
    DrawModelTextured(&part, game->textures);
    glEndList();
    glNewList(lists.plain, GL_COMPILE);
    DrawModelPlain(&part);
    glEndList();
    return lists;
}

static double Faces(const MaterialGroup* g)
{
    return g->lastFace == 0xFFFFFFFFu || g->lastFace < g->firstFace
               ? 0.0 : (double)(g->lastFace - g->firstFace + 1);
}

static void PrintView(const QueryProcs& q, Game* game, SceneView* view, const char* name)
{
    Model* table = game->modelSlots[0];
    unsigned int groups = table->materialCount;
    // counts[k][mode][pass]: the scene with the table's first k groups.
    std::vector<PassCount> counts((size_t)(groups + 1) * 2 * kPassCount);
    int* textured = &game->objects[0].texturedListIds[0];
    int* plain = &game->objects[0].plainListIds[0];
    int keepTextured = *textured, keepPlain = *plain;
    for (unsigned int k = 0; k <= groups; ++k) {
        PrefixLists lists = CompilePrefix(game, k);
        *textured = (int)lists.textured;
        *plain = (int)lists.plain;
        for (int mode = 0; mode < 2; ++mode)
            CountFrame(q, view, mode == 1, &counts[((size_t)k * 2 + mode) * kPassCount]);
        glDeleteLists(lists.textured, 1);
        glDeleteLists(lists.plain, 1);
    }
    *textured = keepTextured;
    *plain = keepPlain;

    auto at = [&](unsigned int k, int mode, int pass) -> const PassCount& {
        return counts[((size_t)k * 2 + mode) * kPassCount + pass];
    };
    std::printf("\n== view: %s (eye %.2f %.2f %.2f, forward %.2f %.2f %.2f)\n", name,
                game->player.frame.position.x, game->player.frame.position.y,
                game->player.frame.position.z, game->player.forward.x,
                game->player.forward.y, game->player.forward.z);
    std::printf("%-27s %12s %9s %12s %9s %12s %9s\n", "pass", "rasterized", "/screen",
                "depth-passed", "/screen", "shaded", "/screen");
    for (int p = 0; p < kPassCount; ++p) {
        const PassCount& all = at(groups, 1, p);
        const PassCount& game_ = at(groups, 0, p);
        std::printf("%-27s %12.0f %9.2f %12.0f %9.2f %12.0f %9.2f\n", kPassNames[p], all.passed,
                    all.passed / kScreenPixels, game_.passed, game_.passed / kScreenPixels,
                    game_.shaded, game_.shaded / kScreenPixels);
    }
    std::printf("per group, in drawing order (rasterized / depth-passed / shaded, /screen):\n");
    std::printf("%-16s %6s", "group", "faces");
    for (int p = 0; p < kPassCount; ++p)
        std::printf("   %-24.24s", kPassNames[p]);
    std::printf("\n");
    for (unsigned int k = 0; k <= groups; ++k) {
        char label[32];
        double faces = 0.0;
        if (k == 0) {
            std::snprintf(label, sizeof label, "six balls");
            faces = 6.0 * (double)game->modelSlots[1]->faceCount;
        } else {
            const MaterialGroup* g = &table->materials[k - 1];
            std::snprintf(label, sizeof label, "table tex %u", g->texture);
            faces = Faces(g);
        }
        std::printf("%-16s %6.0f", label, faces);
        for (int p = 0; p < kPassCount; ++p) {
            double r = at(k, 1, p).passed - (k ? at(k - 1, 1, p).passed : 0.0);
            double d = at(k, 0, p).passed - (k ? at(k - 1, 0, p).passed : 0.0);
            double s = at(k, 0, p).shaded - (k ? at(k - 1, 0, p).shaded : 0.0);
            std::printf("   %7.3f %7.3f %7.3f ", r / kScreenPixels, d / kScreenPixels,
                        s / kScreenPixels);
        }
        std::printf("\n");
    }
}

// The table drawn in the opposite order: last group first, each group's faces
// last first (the room before what stands in it, far before near).
static PrefixLists CompileReversed(Game* game)
{
    const Model* table = game->modelSlots[0];
    Model reversed = *table;
    std::vector<Face> faces(table->faces, table->faces + table->faceCount);
    std::reverse(faces.begin(), faces.end());
    std::vector<MaterialGroup> groups(table->materials, table->materials + table->materialCount);
    std::reverse(groups.begin(), groups.end());
    for (MaterialGroup& g : groups) {
        if (Faces(&g) == 0.0)
            continue;
        unsigned int first = table->faceCount - 1 - g.lastFace;
        g.lastFace = table->faceCount - 1 - g.firstFace;
        g.firstFace = first;
    }
    reversed.faces = faces.data();
    reversed.materials = groups.data();
    PrefixLists lists = {glGenLists(1), glGenLists(1)};
    glNewList(lists.textured, GL_COMPILE);
    DrawModelTextured(&reversed, game->textures);
    glEndList();
    glNewList(lists.plain, GL_COMPILE);
    DrawModelPlain(&reversed);
    glEndList();
    return lists;
}

static double PassMilliseconds(PassProc pass, const SceneView* view)
{
    glFinish();
    auto start = std::chrono::steady_clock::now();
    pass(view);
    glFinish();
    std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - start;
    return spent.count();
}

static double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Each pass timed with the table in its file order and reversed, alternating
// frame by frame so that a busy machine slows both alike: where the file order
// is cheaper, hidden fragments are rejected before they are shaded.
static void TimeOrders(Game* game, SceneView* view, int frames)
{
    PrefixLists reversed = CompileReversed(game);
    int* textured = &game->objects[0].texturedListIds[0];
    int* plain = &game->objects[0].plainListIds[0];
    int keepTextured = *textured, keepPlain = *plain;
    PassProc passes[kPassCount] = {RenderDepthPass, RenderCameraPass, RenderShadowReceivingPass};
    std::vector<double> spent[2][kPassCount];
    for (int i = 0; i < 2 * frames; ++i) {
        int order = i % 2;
        *textured = order ? (int)reversed.textured : keepTextured;
        *plain = order ? (int)reversed.plain : keepPlain;
        RenderScene(view);
        for (int p = 0; p < kPassCount; ++p)
            if (p == 1 || shadowsEnabled)
                spent[order][p].push_back(PassMilliseconds(passes[p], view));
    }
    *textured = keepTextured;
    *plain = keepPlain;
    glDeleteLists(reversed.textured, 1);
    glDeleteLists(reversed.plain, 1);
    std::printf("median ms per pass over %d alternating frames (table in file order / reversed):\n",
                frames);
    for (int p = 0; p < kPassCount; ++p)
        if (!spent[0][p].empty())
            std::printf("  %-27s %7.3f / %7.3f  ratio %.2f\n", kPassNames[p], Median(spent[0][p]),
                        Median(spent[1][p]), Median(spent[1][p]) / Median(spent[0][p]));
}

// The lit pass timed with the table's first k groups, for every k, cycled in
// short blocks: the difference between neighbours is what a group costs where
// it stands in the drawing order.
static void TimeGroups(Game* game, SceneView* view, int frames)
{
    unsigned int groups = game->modelSlots[0]->materialCount;
    std::vector<PrefixLists> lists;
    for (unsigned int k = 0; k <= groups; ++k)
        lists.push_back(CompilePrefix(game, k));
    int* textured = &game->objects[0].texturedListIds[0];
    int* plain = &game->objects[0].plainListIds[0];
    int keepTextured = *textured, keepPlain = *plain;
    std::vector<std::vector<double>> spent(groups + 1);
    const int block = 4;
    for (int cycle = 0; cycle < frames / block; ++cycle)
        for (unsigned int k = 0; k <= groups; ++k) {
            *textured = (int)lists[k].textured;
            *plain = (int)lists[k].plain;
            RenderScene(view);
            for (int i = 0; i < block; ++i)
                spent[k].push_back(PassMilliseconds(RenderCameraPass, view));
        }
    *textured = keepTextured;
    *plain = keepPlain;
    std::printf("lit pass, median ms with the table's first groups (%d frames each):\n", frames);
    for (unsigned int k = 0; k <= groups; ++k) {
        double ms = Median(spent[k]);
        std::printf("  %-16s %7.3f  (+%.3f)\n",
                    k ? ("+ tex " + std::to_string(game->modelSlots[0]->materials[k - 1].texture)).c_str()
                      : "six balls",
                    ms, k ? ms - Median(spent[k - 1]) : ms);
        glDeleteLists(lists[k].textured, 1);
        glDeleteLists(lists[k].plain, 1);
    }
}

// Sets every texture of the table to the given anisotropy (0: the driver's largest).
static void SetAnisotropy(Game* game, float anisotropy)
{
    GLfloat largest = 1.0f;
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &largest);
    for (int i = 1; i < kTextureCount; ++i)
        if (game->textures[i]) {
            glBindTexture(GL_TEXTURE_2D, game->textures[i]);
            glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT,
                            anisotropy > 0.0f ? anisotropy : largest);
        }
}

// Another build's assets (its Textures/ and Models/ under otherRoot), loaded
// beside this one's: its textures, and its table and ball compiled with them.
struct OtherAssets {
    GLuint textures[kTextureCount];
    GLuint tableTextured, tablePlain, ballTextured, ballPlain;
};

static bool LoadOtherAssets(const char* otherRoot, OtherAssets* out)
{
    char here[4096];
    if (!getcwd(here, sizeof here) || chdir(otherRoot) != 0)
        return false;
    std::memset(out, 0, sizeof *out);
    LoadTextures(out->textures, 0.0f);
    Model* table = nullptr;
    Model* ball = nullptr;
    LoadObjModel(&table, "Models/Table_Small2.obj", 1);
    LoadObjModel(&ball, "Models/Ball_small.obj", 5);
    bool ok = chdir(here) == 0 && table && ball;
    if (ok) {
        GLuint first = glGenLists(4);
        out->tableTextured = first;
        out->tablePlain = first + 1;
        out->ballTextured = first + 2;
        out->ballPlain = first + 3;
        glNewList(out->tableTextured, GL_COMPILE);
        DrawModelTextured(table, out->textures);
        glEndList();
        glNewList(out->tablePlain, GL_COMPILE);
        DrawModelPlain(table);
        glEndList();
        glNewList(out->ballTextured, GL_COMPILE);
        DrawModelTextured(ball, out->textures);
        glEndList();
        glNewList(out->ballPlain, GL_COMPILE);
        DrawModelPlain(ball);
        glEndList();
    }
    FreeModel(&table);
    FreeModel(&ball);
    return ok;
}

// Points the scene (table, balls, HUD textures) at one set of assets.
static void UseAssets(Game* game, const GLuint textures[kTextureCount], GLuint tableTextured,
                      GLuint tablePlain, GLuint ballTextured, GLuint ballPlain)
{
    std::memcpy(game->textures, textures, sizeof game->textures);
    game->objects[0].texturedListIds[0] = (int)tableTextured;
    game->objects[0].plainListIds[0] = (int)tablePlain;
    for (int i = 1; i < kObjectCount; ++i) {
        game->objects[i].texturedListIds[0] = (int)ballTextured;
        game->objects[i].plainListIds[0] = (int)ballPlain;
    }
}

// The drawing of a whole frame (the three passes and the HUD) with another
// build's assets against this one's, at the default anisotropy and at 1, the
// four cycled in short blocks so that a busy machine slows all alike.
static void CompareAssets(Game* game, SceneView* view, const char* otherRoot, int frames)
{
    OtherAssets other;
    if (!LoadOtherAssets(otherRoot, &other)) {
        std::printf("cannot load the assets under %s\n", otherRoot);
        return;
    }
    GLuint mine[kTextureCount];
    std::memcpy(mine, game->textures, sizeof mine);
    GLuint mineLists[4] = {(GLuint)game->objects[0].texturedListIds[0],
                           (GLuint)game->objects[0].plainListIds[0],
                           (GLuint)game->objects[1].texturedListIds[0],
                           (GLuint)game->objects[1].plainListIds[0]};
    std::vector<double> spent[4];
    const int block = 8;   // frames per variant in a row, after one untimed frame
    for (int cycle = 0; cycle < frames / block; ++cycle) {
        for (int variant = 0; variant < 4; ++variant) {   // bit 0: the other assets, bit 1: anisotropy 1
            if (variant & 1)
                UseAssets(game, other.textures, other.tableTextured, other.tablePlain,
                          other.ballTextured, other.ballPlain);
            else
                UseAssets(game, mine, mineLists[0], mineLists[1], mineLists[2], mineLists[3]);
            SetAnisotropy(game, variant & 2 ? 1.0f : 0.0f);
            for (int i = 0; i <= block; ++i) {
                glFinish();
                auto start = std::chrono::steady_clock::now();
                RenderScene(view);
                DrawHud(game);
                glFinish();
                std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - start;
                if (i > 0)   // the first frame after a change of state may build new shaders
                    spent[variant].push_back(ms.count());
            }
        }
    }
    UseAssets(game, mine, mineLists[0], mineLists[1], mineLists[2], mineLists[3]);
    SetAnisotropy(game, 0.0f);
    const char* names[4] = {"these assets, largest anisotropy", "other assets, largest anisotropy",
                            "these assets, anisotropy 1", "other assets, anisotropy 1"};
    std::printf("\nmedian ms per drawn frame, %d frames each (other assets: %s):\n", frames,
                otherRoot);
    for (int v = 0; v < 4; ++v)
        std::printf("  %-34s %7.3f  (other assets at the largest / this: %.2f)\n", names[v],
                    Median(spent[v]), Median(spent[1]) / Median(spent[v]));
}

// Turns the view by a mouse move of (dx, dy) pixels in one pass of the game.
static void Look(Game* game, int dx, int dy)
{
    Glfw2Script* script = Glfw2GetScript();
    script->mouseX = 320 + dx;
    script->mouseY = 240 + dy;
    script->time += 1.0 / 60.0;
    RunFrame(game);
    // The passes below apply this pass's look again: hold the view still.
    game->player.pitch = 0.0f;
    game->player.yaw = 0.0f;
    game->player.roll = 0.0f;
}

int main(int argc, char** argv)
{
    Glfw2Script* script = Glfw2GetScript();
    script->active = 1;
    script->time = 10.0;
    script->mouseX = 320;
    script->mouseY = 240;
    Game* game = (Game*)std::calloc(1, sizeof(Game));
    GameStartUp(game, nullptr);
    StartRound(game);
    if (!shadowsEnabled)
        std::printf("this driver gives no shadows: only the lit pass counts\n");
    QueryProcs q = LoadQueryProcs();
    std::printf("fragment shader invocations counted: %s\n", q.shaderInvocations ? "yes" : "no");
    for (int i = 0; i < 60; ++i)   // one second: the balls settle on the lane
        Look(game, 0, 0);
    SceneView view = GameSceneView(game);
    PrintView(q, game, &view, "standing spot, ahead");
    TimeOrders(game, &view, 150);
    TimeGroups(game, &view, 48);
    if (argc > 1)
        CompareAssets(game, &view, argv[1], 160);
    Look(game, 0, 350);
    PrintView(q, game, &view, "standing spot, looking down at the lane");
    Look(game, 0, -350);
    Look(game, 1571, 0);
    PrintView(q, game, &view, "standing spot, turned right");
    Look(game, 1571, 0);
    PrintView(q, game, &view, "standing spot, turned round");
    GameShutDown(game);
    std::free(game);
    return 0;
}
