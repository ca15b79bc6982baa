// fuzz_obj_loader.cpp -- any file given to the OBJ loader either loads into a
// model whose indices and groups stay inside its arrays, or loads nothing.
#include "fuzz_util.h"
#include "model/model.h"

#include <cstdint>

static void CheckModel(const Model* model)
{
    for (unsigned int i = 0; i < model->faceCount; ++i)
        for (int k = 0; k < 3; ++k)
            FUZZ_CHECK(model->faces[i].vertexIndex[k] < model->vertexCount);
    for (unsigned int g = 0; g < model->materialCount; ++g) {
        const MaterialGroup* group = &model->materials[g];
        FUZZ_CHECK(group->texture < kTextureTableSize);
        FUZZ_CHECK(group->lastFace == 0xFFFFFFFFu || group->lastFace < model->faceCount);
    }
    // Touch every vertex and normal so that a short array shows.
    volatile float sum = 0.0f;
    for (unsigned int v = 0; v < model->vertexCount; ++v)
        sum = sum + model->vertices[v].x + model->normals[v].y;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = FuzzWriteFile("input.obj", data, size);
    Model* model = nullptr;
    LoadObjModel(&model, path.c_str(), 1);
    if (model) {
        CheckModel(model);
        FreeModel(&model);
        FUZZ_CHECK(model == nullptr);
    }
    return 0;
}
