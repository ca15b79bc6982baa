// model_text.cpp -- saves and restores an object's models and their local matrices
// in the text file "Test_Format.nsf", one value a line.
#include "model/model.h"
#include "model/model_local.h"
#include "physics/physics.h"
#include "platform/console/console.h"

#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

static const char kModelTextFile[] = "Test_Format.nsf";

// Most models one object may name in the file; an object of the game has one.
enum { kMaxTextModels = 1 << 16 };

static void ModelTextProblem(const char* format, ...)
{
    char problem[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(problem, sizeof problem, format, args);
    va_end(args);
    char line[320];
    std::snprintf(line, sizeof line, "Model text file %s: %s", kModelTextFile, problem);
    ConsolePrint(line);
    ConsoleBeep();
}

void SaveModelText(const SceneObject* object)
{
    // "wb": an older, longer file must not leave values behind the new ones.
    FILE* file = std::fopen(kModelTextFile, "wb");
    if (!file)
        return ModelTextProblem("cannot be written");
    int count = object->modelCount > 0 ? object->modelCount : 0;
    std::fprintf(file, "%d\r\n", count);
    for (int i = 0; i < count; ++i)
        std::fprintf(file, "%d\r\n", object->modelIndices ? object->modelIndices[i] : 0);
    for (int i = 0; i < count; ++i) {
        const Mat4* matrix = object->modelMatrices ? object->modelMatrices[i] : nullptr;
        for (int e = 0; e < 16; ++e)
            std::fprintf(file, "%.7g\r\n", matrix ? (double)matrix->m[e] : 0.0);
    }
    bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed)
        ModelTextProblem("could not be written completely");
}

// ---- Reading ----

// The values of the file: items separated by line ends or commas.
struct TextValues {
    const char* data;
    size_t size;
    size_t pos;
    int itemNumber;
};

// Reads the next item as a number; blanks and a CR may surround it, nothing else.
static bool NextValue(TextValues* values, double* value)
{
    if (values->pos >= values->size) {
        ModelTextProblem("ends after %d values", values->itemNumber);
        return false;
    }
    const char* start = values->data + values->pos;
    const char* end = start;
    const char* fileEnd = values->data + values->size;
    while (end < fileEnd && *end != '\n' && *end != ',')
        ++end;
    values->pos = (size_t)(end - values->data) + 1;
    ++values->itemNumber;
    const char* after = ReadDecimal(start, end, value);
    while (after && after < end && (*after == ' ' || *after == '\t' || *after == '\r'))
        ++after;
    if (!after || after != end || !(std::fabs(*value) <= FLT_MAX)) {
        ModelTextProblem("value %d is not a number", values->itemNumber);
        return false;
    }
    return true;
}

static bool NextWhole(TextValues* values, double low, double high, int* whole)
{
    double value = 0.0;
    if (!NextValue(values, &value))
        return false;
    if (value != std::floor(value) || value < low || value > high) {
        ModelTextProblem("value %d (%g) is not a whole number from %.0f to %.0f",
                         values->itemNumber, value, low, high);
        return false;
    }
    *whole = (int)value;
    return true;
}

// The object's models as the file holds them, before they replace the object's.
struct TextModels {
    int count;
    int* indices;
    Mat4** matrices;
};

static void FreeTextModels(TextModels* models)
{
    for (int i = 0; models->matrices && i < models->count; ++i)
        std::free(models->matrices[i]);
    std::free(models->matrices);
    std::free(models->indices);
    *models = TextModels{0, nullptr, nullptr};
}

static bool AllocateTextModels(TextModels* models, int count)
{
    models->count = count;
    if (count == 0)
        return true;
    models->indices = (int*)std::calloc((size_t)count, sizeof(int));
    models->matrices = (Mat4**)std::calloc((size_t)count, sizeof(Mat4*));
    bool ok = models->indices && models->matrices;
    for (int i = 0; ok && i < count; ++i)
        ok = (models->matrices[i] = (Mat4*)std::calloc(1, sizeof(Mat4))) != nullptr;
    if (!ok)
        ModelTextProblem("out of memory");
    return ok;
}

static bool ReadTextModels(TextValues* values, TextModels* models)
{
    int count = 0;
    if (!NextWhole(values, 0.0, kMaxTextModels, &count))
        return false;
    // Every value takes at least one character and a separator.
    if ((double)count * 17.0 > (double)values->size) {
        ModelTextProblem("is too short for %d models", count);
        return false;
    }
    if (!AllocateTextModels(models, count))
        return false;
    for (int i = 0; i < count; ++i)
        if (!NextWhole(values, INT32_MIN, INT32_MAX, &models->indices[i]))
            return false;
    for (int i = 0; i < count; ++i)
        for (int e = 0; e < 16; ++e) {
            double element = 0.0;
            if (!NextValue(values, &element))
                return false;
            models->matrices[i]->m[e] = (float)element;
        }
    return true;
}

// Frees the object's local matrices, its world matrix and its model slots.
static void ReleaseObjectModels(SceneObject* object)
{
    std::free(object->matrix);
    object->matrix = nullptr;
    for (int i = 0; object->modelMatrices && i < object->modelCount; ++i) {
        std::free(object->modelMatrices[i]);
        object->modelMatrices[i] = nullptr;
    }
    std::free(object->modelMatrices);
    object->modelMatrices = nullptr;
    std::free(object->modelIndices);
    object->modelIndices = nullptr;
    object->modelCount = 0;
}

void LoadModelText(SceneObject* object)
{
    ReleaseObjectModels(object);
    object->matrix = (Mat4*)std::calloc(1, sizeof(Mat4));
    char* data = nullptr;
    size_t size = 0;
    switch (ReadWholeFile(kModelTextFile, &data, &size)) {
    case kFileRead: break;
    case kFileMissing: return ModelTextProblem("not found");
    case kFileUnreadable: return ModelTextProblem("cannot be read");
    case kFileTooLarge: return ModelTextProblem("is too large");
    }
    TextValues values = {data, size, 0, 0};
    TextModels models = {0, nullptr, nullptr};
    if (ReadTextModels(&values, &models)) {
        object->modelCount = models.count;
        object->modelIndices = models.indices;
        object->modelMatrices = models.matrices;
    } else {
        FreeTextModels(&models);
    }
    std::free(data);
}
