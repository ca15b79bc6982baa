// lights.cpp -- the scene's one white light: its record and the lighting model.
#include "render/render.h"

static void SetFour(float* out, float a, float b, float c, float d)
{
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = d;
}

void InitLights(LightSettings* light)
{
    // The alpha parts carry the same values as the colours; only the colours matter.
    SetFour(light->ambient, 0.45f, 0.45f, 0.45f, 0.45f);
    SetFour(light->diffuse, 0.35f, 0.35f, 0.35f, 0.35f);
    SetFour(light->specular, 0.75f, 0.75f, 0.75f, 0.75f);
    SetFour(light->position, 0.0f, 0.0f, 0.0f, 1.0f);

    // Highlights are added after texturing, so they stay white on textured balls.
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
    glLightfv(GL_LIGHT0, GL_AMBIENT, light->ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, light->diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, light->specular);
    // Only until the first frame, which places the light in the world.
    glLightfv(GL_LIGHT0, GL_POSITION, light->position);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
}
