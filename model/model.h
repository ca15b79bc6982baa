// model.h -- the game's meshes: the Model record, its OBJ loader, drawing a model
// into the current display list, and the model text file "Test_Format.nsf".
#pragma once

#include <GL/gl.h>

#include "math/vecmath.h"

struct SceneObject;

// Entries of the texture table a material group may name (0 to 12; the game
// fills 1 to 10).
enum { kTextureTableSize = 13 };

// Largest vertex or face count a model file may declare; the game's meshes hold a
// few thousand of each, so anything near this is a damaged header.
enum { kMaxModelCount = 1 << 20 };

// Distinct "usemtl" names a model file may hold.
enum { kMaxMaterialNames = 201 };

struct TexCoord {
    float u, v;
};

// One triangle: 0-based vertex indices and texture coordinates of corners 1 to 3.
struct Face {
    unsigned int vertexIndex[3];
    TexCoord texCoord[3];
    Vec3 normal;               // unit face normal
};

// The faces drawn with one texture: firstFace to lastFace inclusive. A material
// without faces has lastFace below firstFace (lastFace 0xFFFFFFFF when it would be -1).
struct MaterialGroup {
    unsigned int firstFace;
    unsigned int lastFace;
    unsigned int texture;      // texture-table entry: texture base + material number
};

// A loaded mesh. Every array is zero-filled on allocation and owned by the record.
struct Model {
    unsigned int vertexCount;
    unsigned int faceCount;
    unsigned int materialCount;
    Vec3* vertices;            // vertexCount positions, in file order
    Vec3* normals;             // vertexCount unit per-vertex normals
    Face* faces;               // faceCount triangles, grouped by material
    MaterialGroup* materials;  // materialCount groups, in order of first appearance
};

// Loads an OBJ file of the table/ball exporter into *handle, which must be null
// (otherwise: beep, "Model already allocated!!!" and nothing changes). A material
// numbered n names texture-table entry textureBase + n. A missing, unreadable or
// malformed file prints one console line naming the file and the fault, and
// *handle stays null.
void LoadObjModel(Model** handle, const char* fileName, unsigned int textureBase);

// Frees the record and its arrays and sets *handle to null; a null *handle is left alone.
void FreeModel(Model** handle);

// Face normals, and per-vertex normals as the normalised sum of the unit normals
// of the faces using each vertex (a vertex no face uses keeps (0, 0, 0)).
void ComputeModelNormals(Model* model);

// Emits the model as GL_TRIANGLES with texture coordinates, per-vertex normals and
// the shared material, binding textures[group.texture] for each group. Meant to be
// compiled into a display list; leaves GL_TEXTURE_2D enabled and the last texture bound.
void DrawModelTextured(const Model* model, const GLuint* textures);

// Emits the same triangles with normals only (the shadow passes' geometry).
void DrawModelPlain(const Model* model);

// Writes the object's model count, model slots and local matrices to
// "Test_Format.nsf", one value a line (CR LF), replacing any older file.
void SaveModelText(const SceneObject* object);

// Replaces the object's modelCount, modelIndices, matrix (all zero) and
// modelMatrices from "Test_Format.nsf". A missing, short or non-numeric file
// prints one console line and leaves the object with modelCount 0, null
// modelIndices and modelMatrices and a zero-filled matrix.
void LoadModelText(SceneObject* object);
