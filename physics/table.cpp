// table.cpp -- the table's static body: every face of the table model in one
// collision tree, each face carrying its material's texture index, which the
// contact rules read (rough lane, scoring holes).
#include "physics/physics.h"

#include "model/model.h"
#include "platform/newton/newton.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

static void TreeFaceCallback(const NewtonBody*, const NewtonBody*, const float*, int, int,
                             const int*)
{
}

// The model file lists its groups in drawing order (what hides the room first);
// the tree takes them by texture, equal textures in file order, so the order of
// the faces the physics sees, and with it every contact, does not depend on how
// the model is ordered for drawing.
static std::vector<const MaterialGroup*> GroupsByTexture(const Model* model, unsigned int groups)
{
    std::vector<const MaterialGroup*> order;
    for (unsigned int g = 0; g < groups; ++g)
        order.push_back(&model->materials[g]);
    std::stable_sort(order.begin(), order.end(), [](const MaterialGroup* a, const MaterialGroup* b) {
        return a->texture < b->texture;
    });
    return order;
}

void BuildTableCollision(NewtonWorld* world, Model** modelSlots, SceneObject* object)
{
    const Model* model = modelSlots[0];
    object->matrix = (Mat4*)std::calloc(1, sizeof(Mat4));
    object->modelMatrices = (Mat4**)std::calloc(object->modelCount, sizeof(Mat4*));
    for (int k = 0; k < object->modelCount; ++k)
        object->modelMatrices[k] = (Mat4*)std::calloc(1, sizeof(Mat4));

    NewtonCollision* tree = NewtonCreateTreeCollision(world, TreeFaceCallback);
    object->collision = tree;
    NewtonTreeCollisionBeginBuild(tree);
    object->body = NewtonCreateBody(world, tree);
    object->kind = kKindTree;
    std::strncpy(object->name, "Collision Tree", sizeof(object->name) - 1);

    // Without a table model (it failed to load) the tree stays empty.
    unsigned int groups = model ? model->materialCount : 0;
    std::vector<const MaterialGroup*> order = GroupsByTexture(model, groups);
    for (const MaterialGroup* group : order) {
        // An empty group ends one face before it starts (its last face may read -1).
        long long last = (int)group->lastFace;
        for (long long f = group->firstFace; f <= last && f < (long long)model->faceCount; ++f) {
            float corners[9];
            for (int k = 0; k < 3; ++k) {
                Vec3 p = model->vertices[model->faces[f].vertexIndex[k]];
                corners[3 * k + 0] = p.x;
                corners[3 * k + 1] = p.y;
                corners[3 * k + 2] = p.z;
            }
            NewtonTreeCollisionAddFace(tree, 3, corners, 3 * sizeof(float), (int)group->texture);
        }
    }
    NewtonTreeCollisionEndBuild(tree, 0);

    // The world reaches 100 units beyond the table on every side.
    Mat4 identity;
    Mat4Identity(&identity);
    float minimum[3], maximum[3];
    NewtonCollisionCalculateAABB(tree, identity.m, minimum, maximum);
    for (int i = 0; i < 3; ++i) {
        minimum[i] -= 100.0f;
        maximum[i] += 100.0f;
    }
    NewtonSetWorldSize(world, minimum, maximum);
    NewtonReleaseCollision(world, tree);

    NewtonBodySetTransformCallback(object->body, ObjectTransform);
    NewtonBodySetUserData(object->body, object);
}
