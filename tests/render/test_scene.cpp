// test_scene.cpp -- the stand-in scene's display lists and records.
#include "tests/render/test_scene.h"

#include <GL/glu.h>
#include <cmath>
#include <cstring>

static const float kSlabHalf = 0.6f, kSlabBottom = 1.0f, kSlabTop = 1.2f;

static GLuint SolidTexture(unsigned char r, unsigned char g, unsigned char b)
{
    const unsigned char texel[4] = {r, g, b, 255};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return texture;
}

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
    GLuint tableTexture = SolidTexture(170, 200, 170);
    GLuint ballTexture = SolidTexture(230, 60, 60);
    base = glGenLists(4);
    glNewList(base, GL_COMPILE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, tableTexture);
    TableGeometry();
    glEndList();
    glNewList(base + 1, GL_COMPILE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, ballTexture);
    BallGeometry();
    glEndList();
    glNewList(base + 2, GL_COMPILE);
    TableGeometry();
    glEndList();
    glNewList(base + 3, GL_COMPILE);
    BallGeometry();
    glEndList();
    return base;
}

static Vec3 Normalised(Vec3 v)
{
    Vec3Normalize(&v);
    return v;
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
    p->frame.position = eye;
    p->forward = Normalised(Vec3Sub(target, eye));
    p->right = Normalised(Vec3Cross(p->forward, Vec3{0.0f, 1.0f, 0.0f}));
    p->up = Vec3Cross(p->right, p->forward);

    scene->window = WindowSettings{640, 480, 8, 8, 8, 0};
    InitLights(&scene->light);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluPerspective(45.0, 640.0 / 480.0, 0.1, 250.0);
    glGetFloatv(GL_MODELVIEW_MATRIX, scene->cameraProjection.m);
    glLoadIdentity();
    gluPerspective(100.0, 1.0, 3.0, 30.0);
    glGetFloatv(GL_MODELVIEW_MATRIX, scene->lightProjection.m);
    glLoadIdentity();

    SceneView* v = &scene->view;
    v->window = &scene->window;
    v->light = &scene->light;
    v->objects = scene->objects;
    v->player = p;
    v->world = nullptr;
    v->cameraProjection = &scene->cameraProjection;
    v->lightProjection = &scene->lightProjection;
    v->lightView = &scene->lightView;
    v->shadowTexture = shadowTexture;
    v->texturedLists = lists;
    static GLuint marker = 0;
    if (!marker)
        marker = BuildMarkerList();
    v->markerList = marker;
    v->lookAt = &scene->lookAt;
}

void ProjectToWindow(const TestScene* scene, Vec3 point, int* x, int* y)
{
    GLdouble model[16], projection[16];
    GLint viewport[4] = {0, 0, scene->window.width, scene->window.height};
    GLfloat mv[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, mv);
    for (int i = 0; i < 16; ++i) {
        model[i] = mv[i];
        projection[i] = scene->cameraProjection.m[i];
    }
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(point.x, point.y, point.z, model, projection, viewport, &wx, &wy, &wz);
    *x = (int)std::lround(wx);
    *y = (int)std::lround(wy);
}
