// passes.cpp -- one frame of the scene: the light's depth pass into the shadow
// map, the lit camera pass, the shadow-receiving pass and the look-at marker.
#include "render/render.h"

#include <GL/glext.h>
#include <GL/glu.h>
#include <cmath>

static const float kLightX = 0.0f, kLightY = 7.0f, kLightZ = 6.0f;
static const int kShadowMapSize = 2048;

// The balls carry their own world matrix and a local one per model.
static void DrawBalls(SceneObject* objects, int textured)
{
    for (int i = 1; i < kObjectCount; ++i) {
        SceneObject* ball = &objects[i];
        const int* lists = textured ? ball->texturedListIds : ball->plainListIds;
        glPushMatrix();
        glMultMatrixf(ball->matrix->m);
        glColor3f(1.0f, 1.0f, 1.0f);
        for (int j = 0; j < ball->modelCount; ++j) {
            glPushMatrix();
            glMultMatrixf(ball->modelMatrices[j]->m);
            glCallList((GLuint)lists[j]);
            glPopMatrix();
        }
        glPopMatrix();
    }
}

void DrawSceneTextured(SceneObject* objects)
{
    DrawBalls(objects, 1);
    // The table's geometry is already in world coordinates.
    glColor3f(1.0f, 1.0f, 1.0f);
    glCallList((GLuint)objects[0].texturedListIds[0]);
}

void DrawScenePlain(SceneObject* objects)
{
    DrawBalls(objects, 0);
    glCallList((GLuint)objects[0].plainListIds[0]);
}

// The scene as the light sees it, depths only, into the shadow map.
void RenderDepthPass(const SceneView* view)
{
    glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, shadowFramebuffer);
    glViewport(0, 0, kShadowMapSize, kShadowMapSize);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();
    gluLookAt(kLightX, kLightY, kLightZ, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glGetFloatv(GL_MODELVIEW_MATRIX, view->lightView->m);
    glPopMatrix();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(view->lightProjection->m);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view->lightView->m);

    // Depth alone: no light, colour or texture; the texture off also keeps the
    // map from being read while it is written.
    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    // Back faces go into the map, so lit front faces never shadow themselves.
    glCullFace(GL_FRONT);
    glShadeModel(GL_FLAT);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1.0f, 8.0f);

    DrawScenePlain(view->objects);

    glDisable(GL_POLYGON_OFFSET_FILL);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glShadeModel(GL_SMOOTH);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, pictureFramebuffer);
}

// This pass's mouse look turns the view frame, then the camera sits at the eye.
// A frozen view (the pause) is drawn as it stands.
static void PlaceCamera(Player* player, int frozen)
{
    if (!frozen) {
        PitchView(&player->forward, &player->right, &player->up, player->pitch);
        YawView(&player->forward, &player->right, &player->up, player->yaw);
        RollView(&player->forward, &player->right, &player->up, player->roll);
    }
    Vec3 eye = player->frame.position;
    Vec3 centre = Vec3Add(eye, player->forward);
    gluLookAt(eye.x, eye.y, eye.z, centre.x, centre.y, centre.z, player->up.x, player->up.y,
              player->up.z);
}

void RenderCameraPass(const SceneView* view)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, view->window->width, view->window->height);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(view->cameraProjection->m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_LIGHTING);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);

    PlaceCamera(view->player, view->frozen);
    if (!view->frozen)
        *view->lookAt = LookAtAndHold(view->world, view->player);

    // Given under the camera's view, so the light stays put in the world.
    glLightfv(GL_LIGHT0, GL_AMBIENT, view->light->ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, view->light->diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, view->light->position);
    DrawSceneTextured(view->objects);
}

// The scene again, dimly lit, where only shadowed fragments survive to darken
// the lit picture.
void RenderShadowReceivingPass(const SceneView* view)
{
    static const GLfloat dimAmbient[4] = {0.1f, 0.1f, 0.1f, 1.0f};
    static const GLfloat dimDiffuse[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, dimAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, dimDiffuse);
    BeginShadowProjection(view->shadowTexture, view->lightProjection, view->lightView);
    DrawScenePlain(view->objects);
    EndShadowProjection();
}

// The ring shows where the look ray touches, only while it touches something.
static void DrawMarker(const SceneView* view)
{
    if (!view->lookAt->body || !view->markerList)
        return;
    glColor3f(1.0f, 1.0f, 1.0f);
    glPushMatrix();
    glMultMatrixf(view->player->markerMatrix->m);
    glCallList(view->markerList);
    glPopMatrix();
}

void RenderScene(const SceneView* view)
{
    LightSettings* light = view->light;
    light->position[0] = kLightX;
    light->position[1] = kLightY;
    light->position[2] = kLightZ;

    if (shadowsEnabled)
        RenderDepthPass(view);
    RenderCameraPass(view);
    if (shadowsEnabled)
        RenderShadowReceivingPass(view);

    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    DrawMarker(view);
}

// The marker matrix sits 0.3 above the surface along its normal (its z axis);
// the ring is drawn back down onto the surface, a hair above it.
static const float kMarkerLift = 0.3f;
static const float kRingOuter = 0.06f, kRingInner = 0.045f;
static const int kRingSegments = 32;

GLuint BuildMarkerList()
{
    GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT);
    glDisable(GL_LIGHTING);
    // Its faint colour must not become the material the next frame lights with.
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Pulled towards the eye so the surface under it never hides it.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(-1.0f, -4.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 0.35f);
    float z = -kMarkerLift + 0.01f;
    glBegin(GL_TRIANGLE_STRIP);
    for (int i = 0; i <= kRingSegments; ++i) {
        double a = 2.0 * M_PI * (double)i / (double)kRingSegments;
        float c = (float)std::cos(a), s = (float)std::sin(a);
        glNormal3f(0.0f, 0.0f, 1.0f);
        glVertex3f(kRingOuter * c, kRingOuter * s, z);
        glVertex3f(kRingInner * c, kRingInner * s, z);
    }
    glEnd();
    glPopAttrib();
    glEndList();
    return list;
}
