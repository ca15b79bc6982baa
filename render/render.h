// render.h -- the window and GL context, the texture table, the bitmap font, the
// light, the shadow map and the frame passes.
#pragma once

#include <GL/gl.h>

#include "math/vecmath.h"
#include "physics/physics.h"

// ---- Window and GL context ----

// The requested window: 640 by 480, 8 bits per colour channel. Width and
// height are the game's picture, whatever the window's size.
struct WindowSettings {
    int width, height;
    int redBits, blueBits, greenBits;   // stored red, blue, green
};

// Opens the window (full screen at the monitor's own mode unless windowed is
// nonzero; a window can be resized), titled "Ball Toss" with the game's icon where
// the data folder or the installation has it, and sets the GL state every pass
// starts from. On failure prints its line, beeps, waits 3 s (a console key ends
// it early) and ends the program with exit status 1.
void InitWindow(WindowSettings* settings, int windowed);

// The framebuffer-object entry points, looked up once after InitWindow. Null
// where the driver does not know the name.
typedef void (*GenFramebuffersProc)(GLsizei n, GLuint* framebuffers);
typedef void (*BindFramebufferProc)(GLenum target, GLuint framebuffer);
typedef void (*FramebufferTexture2DProc)(GLenum target, GLenum attachment, GLenum textarget,
                                         GLuint texture, GLint level);
extern GenFramebuffersProc glGenFramebuffersEXTProc;
extern BindFramebufferProc glBindFramebufferEXTProc;
extern FramebufferTexture2DProc glFramebufferTexture2DEXTProc;

void LoadFramebufferProcs();
// 1 when all three framebuffer entry points were found.
int FramebufferProcsLoaded();

// ---- The picture on a window of any size ----

// The framebuffer this frame's picture is drawn into: 0 (the window itself) or
// the off-screen target of the picture's size. Passes that bind a framebuffer
// of their own bind this one again when they are done.
extern GLuint pictureFramebuffer;

// Where the picture shows in a window framebuffer of width by height pixels:
// the largest box of the picture's shape, centred, in pixels from the
// bottom-left corner.
struct PictureBox {
    int x, y, width, height;
};
PictureBox FitPicture(const WindowSettings* settings, int width, int height);

// Starts a frame of the picture (settings' width by height): straight into the
// window when its framebuffer is that size or framebuffer objects are missing,
// else into the off-screen target (made on first need). Sets the viewport.
void BeginGameFrame(const WindowSettings* settings);

// Just before the buffer swap: scales the off-screen picture into its box in
// the window with linear filtering, black beside it. Nothing when the frame
// went straight to the window. Leaves the window's framebuffer bound and every
// other GL state as it found it.
void PresentGameFrame(const WindowSettings* settings);

// 1 when the window's framebuffer changed size since the latest
// BeginGameFrame, so that a picture held on screen should be shown again.
int GameFrameOutdated();

// ---- Lighting ----

// Light 0's colours and position, four floats each.
struct LightSettings {
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float position[4];
};

// Fills the light record (white light 0 at the origin until the first frame
// places it), selects separate specular colour and turns lighting on.
void InitLights(LightSettings* light);

// ---- Bitmap font ----

// A bitmap font: columns x rows glyph cells in one texture, read row by row
// from the top-left cell, each drawn as a glyphSize-pixel square followed by a
// move of glyphSize to the right.
struct Font {
    GLuint texture;
    float columns, rows;
    int glyphSize;
};

void BuildFont(Font* font, GLuint texture, float columns, float rows, int glyphSize);

// Draws text with its lower-left corner at (x, y) window pixels from the
// bottom-left, in the colour (red, green, blue) given as 0 or 1. Leaves
// texturing and blending on, lighting and depth testing on.
void PrintText(const char* text, const Font* font, float x, float y, int red,
               int green, int blue, const WindowSettings* windowSize);

// Pushes both matrices and sets up drawing in window pixels from the
// bottom-left corner; EndWindowPixels pops them again and leaves the
// modelview matrix current.
void BeginWindowPixels(const WindowSettings* windowSize);
void EndWindowPixels();

// ---- Shadow map ----

// -1 once InitShadowMap found everything shadows need, 0 otherwise.
extern int shadowsEnabled;
// The framebuffer the light's depth pass renders into.
extern GLuint shadowFramebuffer;

// The 2048 x 2048 depth texture and its framebuffer. When the driver lacks
// depth textures, shadow comparison or framebuffer objects, prints why, beeps,
// waits 2 s (a console key ends it early) and leaves shadows off, texture 0.
void InitShadowMap(GLuint* texture);

// Projects the depth texture onto everything drawn next, keeping only the
// shadowed fragments. Call while the model-view matrix holds the camera's view.
void BeginShadowProjection(GLuint texture, const Mat4* projection, const Mat4* view);
void EndShadowProjection();

// ---- Frame passes ----

// What one frame of the scene needs, all owned by the game.
struct SceneView {
    const WindowSettings* window;
    LightSettings* light;
    SceneObject* objects;          // 0 the table, 1 to 6 the balls
    Player* player;
    NewtonWorld* world;
    const Mat4* cameraProjection;
    const Mat4* lightProjection;
    Mat4* lightView;               // written by the depth pass
    GLuint shadowTexture;
    GLuint texturedLists;
    GLuint markerList;             // from BuildMarkerList
    LookAtReport* lookAt;          // receives this frame's look-at report
    int frozen;                    // nonzero: drawn as it stands, no look turn or look-at step
};

// The six balls, then the table, with their textured (or plain) lists. Leaves
// the model-view matrix as it found it.
void DrawSceneTextured(SceneObject* objects);
void DrawScenePlain(SceneObject* objects);

// A display list drawing a faint ring on the surface the player looks at; drawn
// under the marker matrix, whose z axis is the surface normal.
GLuint BuildMarkerList();

// One frame of the scene: the light's depth pass, the lit camera pass with the
// look-at and hold step, the shadow-receiving pass, then the marker.
void RenderScene(const SceneView* view);

// RenderScene's three passes one at a time, for measuring each on its own; the
// light must already be placed (RenderScene places it).
void RenderDepthPass(const SceneView* view);
void RenderCameraPass(const SceneView* view);
void RenderShadowReceivingPass(const SceneView* view);

// ---- Texture table ----

// Fills entries 1 to 10 of the texture table from Textures/ (11 and 12 stay 0).
// An image that fails prints "Failed to load image, <file>!!!", beeps, and keeps
// its empty texture object; loading goes on. anisotropy: the filtering asked
// for, 0 for the driver's largest, or 1 (plain trilinear filtering) on a
// renderer whose anisotropic filtering stalls; otherwise this value, down to 1,
// and at most the driver's largest (a larger request prints one line and gets it).
void LoadTextures(GLuint textures[13], float anisotropy);

// Whether a renderer, by its GL_RENDERER string, stalls when it filters
// anisotropically: Mesa's llvmpipe takes seconds a frame while a textured face
// is seen nearly edge-on (the eye close to the face's plane), whatever the degree.
int AnisotropyStalls(const char* renderer);
