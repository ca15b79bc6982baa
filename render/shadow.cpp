// shadow.cpp -- the light's depth map and the switches that project it onto the
// scene, so the balls and the table cast shadows when the driver allows it.
#include "render/render.h"

#include "platform/console/console.h"
#include "platform/glfw2/glfw2.h"

#include <GL/glext.h>

int shadowsEnabled = 0;
GLuint shadowFramebuffer = 0;

static const int kShadowMapSize = 2048;

// The game goes on without shadows: say why, beep, give time to read it.
static void ShadowsUnavailable(const char* reason)
{
    ConsolePrint(reason);
    ConsolePrint("Shadowing will not work.");
    ConsoleBeep();
    ConsoleWait(2000);
    shadowsEnabled = 0;
}

// The depth comparison, the shadow-map texture and its framebuffer all need
// driver support; the first thing missing is the one reported.
static int ShadowSupportFound()
{
    if (!glfwExtensionSupported("GL_ARB_depth_texture")) {
        ShadowsUnavailable("Error: ARB depthtexture extension not supported!");
        return 0;
    }
    if (!glfwExtensionSupported("GL_ARB_shadow")) {
        ShadowsUnavailable("Error: ARB Shadow extension not supported!");
        return 0;
    }
    if (!glfwExtensionSupported("GL_EXT_framebuffer_object")) {
        ShadowsUnavailable("Error: EXT framebuffer object extension not supported!");
        return 0;
    }
    if (!FramebufferProcsLoaded()) {
        ShadowsUnavailable("Error: framebuffer object entry points not found!");
        return 0;
    }
    return 1;
}

static void CreateDepthTexture(GLuint* texture)
{
    glGenTextures(1, texture);
    glBindTexture(GL_TEXTURE_2D, *texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, kShadowMapSize, kShadowMapSize, 0,
                 GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE_ARB, GL_INTENSITY);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE_ARB, GL_COMPARE_R_TO_TEXTURE_ARB);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC_ARB, GL_LEQUAL);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FAIL_VALUE_ARB, 0.5f);
    // Drivers without shadow ambient reject the fail value (shadowed lookups then
    // read 0, which darkens just as well); drop the error so nothing later
    // mistakes it for one of its own.
    while (glGetError() != GL_NO_ERROR) {
    }
}

static void CreateShadowFramebuffer(GLuint texture)
{
    glGenFramebuffersEXTProc(1, &shadowFramebuffer);
    glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, shadowFramebuffer);
    glFramebufferTexture2DEXTProc(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D,
                                  texture, 0);
    // Depth only: no colour is drawn or read while this framebuffer is bound.
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    glBindFramebufferEXTProc(GL_FRAMEBUFFER_EXT, pictureFramebuffer);
}

void InitShadowMap(GLuint* texture)
{
    if (!ShadowSupportFound())
        return;
    shadowsEnabled = -1;
    CreateDepthTexture(texture);
    CreateShadowFramebuffer(*texture);
}

// Eye-linear generation with identity planes, set while the model-view matrix
// holds only the camera's view: every vertex gets its world coordinates.
static void GenerateWorldCoordinates()
{
    static const GLenum coords[4] = {GL_S, GL_T, GL_R, GL_Q};
    static const GLenum enables[4] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,
                                      GL_TEXTURE_GEN_Q};
    for (int i = 0; i < 4; ++i) {
        GLfloat plane[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        plane[i] = 1.0f;
        glTexGeni(coords[i], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        glTexGenfv(coords[i], GL_EYE_PLANE, plane);
        glEnable(enables[i]);
    }
}

void BeginShadowProjection(GLuint texture, const Mat4* projection, const Mat4* view)
{
    // Maps the light's clip space from -1..1 to 0..1 texture space.
    static const GLfloat bias[16] = {0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 0.0f, 0.0f,
                                     0.0f, 0.0f, 0.5f, 0.0f, 0.5f, 0.5f, 0.5f, 1.0f};
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    GenerateWorldCoordinates();

    // Only shadowed lookups survive the alpha test; the blend darkens the lit
    // picture underneath with them.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_DST_COLOR);
    glAlphaFunc(GL_LEQUAL, 0.99f);
    glEnable(GL_ALPHA_TEST);

    glMatrixMode(GL_TEXTURE);
    glLoadMatrixf(bias);
    glMultMatrixf(projection->m);
    glMultMatrixf(view->m);
    glMatrixMode(GL_MODELVIEW);
}

void EndShadowProjection()
{
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_BLEND);
}
