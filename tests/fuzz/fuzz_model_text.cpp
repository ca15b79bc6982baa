// fuzz_model_text.cpp -- any "Test_Format.nsf" leaves the object consistent: its
// arrays match its model count and its matrix is all zero; saving and loading
// again gives the same count.
#include "fuzz_util.h"
#include "model/model.h"
#include "physics/physics.h"

#include <cstdint>
#include <cstdlib>

static void CheckObject(const SceneObject* object)
{
    FUZZ_CHECK(object->modelCount >= 0);
    FUZZ_CHECK(object->matrix != nullptr);
    for (int e = 0; e < 16; ++e)
        FUZZ_CHECK(object->matrix->m[e] == 0.0f);
    FUZZ_CHECK((object->modelCount == 0) == (object->modelIndices == nullptr));
    FUZZ_CHECK((object->modelCount == 0) == (object->modelMatrices == nullptr));
    volatile float sum = 0.0f;
    for (int i = 0; i < object->modelCount; ++i)
        sum = sum + (float)object->modelIndices[i] + object->modelMatrices[i]->m[15];
}

static void FreeObject(SceneObject* object)
{
    for (int i = 0; object->modelMatrices && i < object->modelCount; ++i)
        std::free(object->modelMatrices[i]);
    std::free(object->modelMatrices);
    std::free(object->modelIndices);
    std::free(object->matrix);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzWriteFile("Test_Format.nsf", data, size);
    FuzzEnterDirectory();
    SceneObject object = {};
    object.modelCount = 1;
    object.modelIndices = (int*)std::calloc(1, sizeof(int));
    object.modelMatrices = (Mat4**)std::calloc(1, sizeof(Mat4*));
    object.modelMatrices[0] = (Mat4*)std::calloc(1, sizeof(Mat4));
    LoadModelText(&object);
    CheckObject(&object);
    int count = object.modelCount;
    SaveModelText(&object);
    LoadModelText(&object);
    CheckObject(&object);
    FUZZ_CHECK(object.modelCount == count);
    FuzzLeaveDirectory();
    FreeObject(&object);
    return 0;
}
