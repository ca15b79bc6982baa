// test_scene.cpp -- the stand-in scene's display lists and records.
#include "tests/render/test_scene.h"

#include "tests/render/gl_helpers.h"

#include <GL/glu.h>
#include <cstring>

static const float kSlabHalf = 0.6f, kSlabBottom = 1.0f, kSlabTop = 1.2f;

static void Quad(Vec3 n, Vec3 a, Vec3 b, Vec3 c, Vec3 d)
{
    glNormal3f(n.x, n.y, n.z);
    glVertex3f(a.x, a.y, a.z);
    glVertex3f(b.x, b.y, b.z);
    glVertex3f(c.x, c.y, c.z);
    glVertex3f(d.x, d.y, d.z);
}

// Counter-clockwise seen from outside, like the game's models.
static void TableGeometry()
{
    const float f = 8.0f, s = kSlabHalf, lo = kSlabBottom, hi = kSlabTop;
    glBegin(GL_QUADS);
    Quad({0, 1, 0}, {-f, 0, -f}, {-f, 0, f}, {f, 0, f}, {f, 0, -f});
    Quad({0, 1, 0}, {-s, hi, -s}, {-s, hi, s}, {s, hi, s}, {s, hi, -s});
    Quad({0, -1, 0}, {-s, lo, -s}, {s, lo, -s}, {s, lo, s}, {-s, lo, s});
    Quad({0, 0, 1}, {-s, lo, s}, {s, lo, s}, {s, hi, s}, {-s, hi, s});
    Quad({0, 0, -1}, {s, lo, -s}, {-s, lo, -s}, {-s, hi, -s}, {s, hi, -s});
    Quad({1, 0, 0}, {s, lo, s}, {s, lo, -s}, {s, hi, -s}, {s, hi, s});
    Quad({-1, 0, 0}, {-s, lo, -s}, {-s, lo, s}, {-s, hi, s}, {-s, hi, -s});
    glEnd();
}

static void BallGeometry()
{
    GLUquadric* q = gluNewQuadric();
    gluQuadricNormals(q, GLU_SMOOTH);
    gluSphere(q, 0.25, 24, 16);
    gluDeleteQuadric(q);
}

// List 0 table textured, 1 ball textured, 2 table plain, 3 ball plain.
static GLuint SceneLists()
{
    static GLuint base = 0;
    if (base)
        return base;
    const GLuint textures[2] = {MakeRgbaTexture(1, 1, {170, 200, 170, 255}),
                                MakeRgbaTexture(1, 1, {230, 60, 60, 255})};
    base = glGenLists(4);
    for (int i = 0; i < 4; ++i) {
        glNewList(base + i, GL_COMPILE);
        if (i < 2) {
            glEnable(GL_TEXTURE_2D);
            glBindTexture(GL_TEXTURE_2D, textures[i]);
        }
        (i % 2 ? BallGeometry : TableGeometry)();
        glEndList();
    }
    return base;
}

void MakeTestScene(TestScene* scene, Vec3 eye, Vec3 target, GLuint shadowTexture)
{
    std::memset(scene, 0, sizeof *scene);
    GLuint lists = SceneLists();
    Mat4Identity(&scene->identity);
    for (int i = 0; i < kObjectCount; ++i) {
        SceneObject* o = &scene->objects[i];
        o->modelCount = 1;
        scene->texturedIds[i] = (int)(lists + (i ? 1 : 0));
        scene->plainIds[i] = (int)(lists + (i ? 3 : 2));
        o->texturedListIds = &scene->texturedIds[i];
        o->plainListIds = &scene->plainIds[i];
        scene->modelMatrix[i] = &scene->identity;
        o->modelMatrices = &scene->modelMatrix[i];
        Mat4Identity(&scene->matrices[i]);
        o->matrix = &scene->matrices[i];
        o->kind = i ? kKindBall : kKindTree;
        o->number = i;
    }
    // Balls resting on the floor in a row in front of the slab.
    for (int i = 1; i < kObjectCount; ++i) {
        scene->matrices[i].m[12] = -2.5f + 0.8f * (float)(i - 1);
        scene->matrices[i].m[13] = 0.25f;
        scene->matrices[i].m[14] = 2.0f;
    }

    Player* p = &scene->player;
    Mat4Identity(&scene->playerMatrix);
    Mat4Identity(&scene->markerMatrix);
    p->matrix = &scene->playerMatrix;
    p->markerMatrix = &scene->markerMatrix;
    AimPlayer(p, eye, target);

    scene->window = WindowSettings{640, 480, 8, 8, 8};
    InitLights(&scene->light);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluPerspective(45.0, 640.0 / 480.0, 0.1, 250.0);
    glGetFloatv(GL_MODELVIEW_MATRIX, scene->cameraProjection.m);
    glLoadIdentity();
    gluPerspective(100.0, 1.0, 3.0, 30.0);
    glGetFloatv(GL_MODELVIEW_MATRIX, scene->lightProjection.m);
    glLoadIdentity();

    static const GLuint marker = BuildMarkerList();
    scene->view = SceneView{&scene->window,         &scene->light,      scene->objects,
                            p,                      nullptr,            &scene->cameraProjection,
                            &scene->lightProjection, &scene->lightView, shadowTexture,
                            lists,                  marker,             &scene->lookAt,
                            0};
}

void ProjectToWindow(const TestScene* scene, Vec3 point, int* x, int* y)
{
    Mat4 view;
    glGetFloatv(GL_MODELVIEW_MATRIX, view.m);
    ProjectPoint(view, scene->cameraProjection, scene->window, point, x, y);
}
