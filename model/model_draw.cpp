// model_draw.cpp -- emits a loaded model as immediate-mode triangles, to be
// compiled once into the textured and the plain display lists.
#include "model/model.h"

// The material every textured group is drawn with.
static const GLfloat kAmbient[4] = {0.75f, 0.75f, 0.75f, 1.0f};
static const GLfloat kDiffuse[4] = {0.5f, 0.5f, 0.5f, 1.0f};
static const GLfloat kSpecular[4] = {0.5f, 0.5f, 0.5f, 1.0f};
static const GLfloat kShininess = 50.0f;

// One past the group's last face, kept within the model; a group without faces
// (lastFace below firstFace, or the -1 of an empty first group) draws nothing.
static unsigned int GroupEnd(const Model* model, const MaterialGroup* group)
{
    unsigned long long end = group->lastFace == 0xFFFFFFFFu ? 0ull : group->lastFace + 1ull;
    return end < model->faceCount ? (unsigned int)end : model->faceCount;
}

// A face the file left out of its count may point past an empty vertex list.
static bool FaceDrawable(const Model* model, const Face* face)
{
    return face->vertexIndex[0] < model->vertexCount && face->vertexIndex[1] < model->vertexCount &&
           face->vertexIndex[2] < model->vertexCount;
}

static void EmitGroup(const Model* model, const MaterialGroup* group, bool textured)
{
    glBegin(GL_TRIANGLES);
    for (unsigned int i = group->firstFace; i < GroupEnd(model, group); ++i) {
        const Face* face = &model->faces[i];
        if (!FaceDrawable(model, face))
            continue;
        for (int k = 0; k < 3; ++k) {
            const Vec3* normal = &model->normals[face->vertexIndex[k]];
            const Vec3* vertex = &model->vertices[face->vertexIndex[k]];
            if (textured)
                glTexCoord2f(face->texCoord[k].u, face->texCoord[k].v);
            glNormal3f(normal->x, normal->y, normal->z);
            glVertex3f(vertex->x, vertex->y, vertex->z);
        }
    }
    glEnd();
}

void DrawModelTextured(const Model* model, const GLuint* textures)
{
    for (unsigned int g = 0; g < model->materialCount; ++g) {
        const MaterialGroup* group = &model->materials[g];
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, group->texture < kTextureTableSize ? textures[group->texture] : 0);
        glMaterialfv(GL_FRONT, GL_AMBIENT, kAmbient);
        glMaterialfv(GL_FRONT, GL_DIFFUSE, kDiffuse);
        glMaterialfv(GL_FRONT, GL_SPECULAR, kSpecular);
        glMaterialf(GL_FRONT, GL_SHININESS, kShininess);
        EmitGroup(model, group, true);
    }
}

void DrawModelPlain(const Model* model)
{
    for (unsigned int g = 0; g < model->materialCount; ++g)
        EmitGroup(model, &model->materials[g], false);
}
