// test_scene.h -- a small stand-in scene for the frame passes: a floor with a
// floating slab (the "table", in world coordinates) and six red balls, drawn
// from display lists made here, with a player looking on from above.
#pragma once

#include "render/render.h"

struct TestScene {
    SceneObject objects[kObjectCount];
    int texturedIds[kObjectCount];
    int plainIds[kObjectCount];
    Mat4 matrices[kObjectCount];
    Mat4 identity;
    Mat4* modelMatrix[kObjectCount];
    Player player;
    Mat4 playerMatrix, markerMatrix;
    WindowSettings window;
    LightSettings light;
    Mat4 cameraProjection, lightProjection, lightView;
    LookAtReport lookAt;
    SceneView view;
};

// Builds the lists (once per program) and fills the scene; eye and target in
// world coordinates. shadowTexture comes from InitShadowMap.
void MakeTestScene(TestScene* scene, Vec3 eye, Vec3 target, GLuint shadowTexture);

// Where a world point lands in the window, given the camera of the last frame
// (the model-view matrix RenderScene leaves holds the camera's view).
void ProjectToWindow(const TestScene* scene, Vec3 point, int* x, int* y);
