// obj_loader.cpp -- reads the table and ball meshes from their exporter's OBJ
// dialect: counts in header comments, a face-list marker, numbered materials,
// triangles with three "vt" lines written ahead of each face line.
#include "model/model.h"
#include "model/model_local.h"
#include "platform/console/console.h"

#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kFaceListMarker[] = "#\t               Face list";

// One line of the file, without its line end (LF or CR LF).
struct TextLine {
    const char* text;
    size_t length;
};

// Everything one load needs: the file text, the material names, the pass state.
struct ObjLoad {
    const char* fileName;
    const char* data;
    size_t size;
    unsigned int textureBase;
    Model* model;
    int failed;
    TextLine names[kMaxMaterialNames];
    unsigned int nameCount;
    size_t markerPos;          // just after the marker line
    unsigned int markerLine;   // the marker's line number
    int markerCount;
    // reading passes
    size_t pos;
    unsigned int lineNumber;
    int firstPass;             // the pass from the start: headers and vertices
    int seenVertices, seenFaces, seenMaterials;
    unsigned int pass;         // the pass material m
    int active;
    int passHasFirstLine;
    unsigned int faceCounter, vertexCounter, corner;
};

// The one console line of a rejected file; later faults of the same load are not printed.
void Reject(ObjLoad* load, const char* format, ...)
{
    if (load->failed)
        return;
    load->failed = 1;
    char problem[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(problem, sizeof problem, format, args);
    va_end(args);
    char line[768];
    if (load->lineNumber > 0)
        std::snprintf(line, sizeof line, "Model file %s, line %u: %s", load->fileName,
                      load->lineNumber, problem);
    else
        std::snprintf(line, sizeof line, "Model file %s: %s", load->fileName, problem);
    ConsolePrint(line);
    ConsoleBeep();
}

bool NextLine(ObjLoad* load, TextLine* line)
{
    if (load->pos >= load->size)
        return false;
    const char* start = load->data + load->pos;
    const char* newline = (const char*)std::memchr(start, '\n', load->size - load->pos);
    size_t length = newline ? (size_t)(newline - start) : load->size - load->pos;
    load->pos += newline ? length + 1 : length;
    if (length > 0 && start[length - 1] == '\r')
        --length;
    line->text = start;
    line->length = length;
    ++load->lineNumber;
    return true;
}

const char* FindIn(const TextLine* line, const char* needle)
{
    size_t n = std::strlen(needle);
    for (size_t i = 0; i + n <= line->length; ++i)
        if (std::memcmp(line->text + i, needle, n) == 0)
            return line->text + i;
    return nullptr;
}

bool StartsWith(const TextLine* line, const char* prefix)
{
    size_t n = std::strlen(prefix);
    return line->length >= n && std::memcmp(line->text, prefix, n) == 0;
}

bool SameText(const TextLine* a, const TextLine* b)
{
    return a->length == b->length && std::memcmp(a->text, b->text, a->length) == 0;
}

// Fields open at each single blank and run to the next blank or the line end;
// returns how many fields the line has and reads the numbers of the first few.
int ReadFields(const TextLine* line, double* values, int wanted)
{
    int count = 0;
    const char* end = line->text + line->length;
    for (const char* p = line->text; p < end; ++p) {
        if (*p != ' ')
            continue;
        const char* fieldEnd = (const char*)std::memchr(p + 1, ' ', (size_t)(end - p - 1));
        if (count < wanted)
            ReadDecimal(p + 1, fieldEnd ? fieldEnd : end, &values[count]);
        ++count;
    }
    return count;
}

// Positions and texture coordinates are float32; a larger number is a damaged line.
bool FitsFloat(ObjLoad* load, const double* values, int count)
{
    for (int i = 0; i < count; ++i)
        if (!(std::fabs(values[i]) <= FLT_MAX)) {
            Reject(load, "number %g is out of range", values[i]);
            return false;
        }
    return true;
}

// ---- Material names and the face-list marker ----

void CollectMaterialNames(ObjLoad* load)
{
    TextLine line;
    while (!load->failed && NextLine(load, &line)) {
        if (FindIn(&line, kFaceListMarker)) {
            if (++load->markerCount > 1)
                Reject(load, "a second face-list marker");
            load->markerPos = load->pos;
            load->markerLine = load->lineNumber;
        }
        if (!StartsWith(&line, "usemtl"))
            continue;
        bool known = false;
        for (unsigned int i = 0; i < load->nameCount && !known; ++i)
            known = SameText(&line, &load->names[i]);
        if (known)
            continue;
        if (load->nameCount == kMaxMaterialNames)
            Reject(load, "more than %d material names", (int)kMaxMaterialNames);
        else
            load->names[load->nameCount++] = line;
    }
    if (!load->failed && load->markerCount == 0) {
        load->lineNumber = 0;
        Reject(load, "no face-list marker line");
    }
    load->pos = 0;
    load->lineNumber = 0;
}

// ---- Header lines ----

// Reads a header count: the number from `offset` characters after the keyword.
bool ReadCount(ObjLoad* load, const TextLine* line, const char* keyword, int offset,
               double limit, unsigned int* count)
{
    const char* at = FindIn(line, keyword);
    const char* end = line->text + line->length;
    double value = 0.0;
    if ((size_t)(end - at) < (size_t)offset || !ReadDecimal(at + offset, end, &value)) {
        Reject(load, "the %s header holds no count", keyword);
        return false;
    }
    double rounded = std::floor(value + 0.5);
    if (rounded < 0.0) {
        Reject(load, "negative %s count", keyword);
        return false;
    }
    if (rounded > limit || rounded > (double)load->size) {
        Reject(load, "%s count %.0f is more than the file can hold", keyword, rounded);
        return false;
    }
    *count = (unsigned int)rounded;
    return true;
}

void* AllocateZeroed(ObjLoad* load, unsigned int count, size_t size)
{
    if (count == 0)
        return nullptr;
    void* block = std::calloc(count, size);
    if (!block)
        Reject(load, "out of memory");
    return block;
}

void ReadHeaderLines(ObjLoad* load, const TextLine* line)
{
    Model* model = load->model;
    if (FindIn(line, "Vertices:")) {
        if (load->seenVertices++)
            return Reject(load, "a second Vertices: header");
        if (!ReadCount(load, line, "Vertices:", 10, kMaxModelCount, &model->vertexCount))
            return;
        model->vertices = (Vec3*)AllocateZeroed(load, model->vertexCount, sizeof(Vec3));
        model->normals = (Vec3*)AllocateZeroed(load, model->vertexCount, sizeof(Vec3));
    }
    if (FindIn(line, "Faces:")) {
        if (load->seenFaces++)
            return Reject(load, "a second Faces: header");
        if (!ReadCount(load, line, "Faces:", 7, kMaxModelCount, &model->faceCount))
            return;
        model->faces = (Face*)AllocateZeroed(load, model->faceCount, sizeof(Face));
    }
    if (FindIn(line, "Materials:")) {
        if (load->seenMaterials++)
            return Reject(load, "a second Materials: header");
        if (!ReadCount(load, line, "Materials:", 11, kMaxMaterialNames, &model->materialCount))
            return;
        if (model->materialCount != load->nameCount)
            return Reject(load, "Materials: count %u differs from the %u material names",
                          model->materialCount, load->nameCount);
        model->materials = (MaterialGroup*)AllocateZeroed(load, model->materialCount,
                                                           sizeof(MaterialGroup));
    }
}

// ---- Data lines ----

void ReadMaterialLine(ObjLoad* load, const TextLine* line)
{
    if (!load->seenMaterials)
        return Reject(load, "usemtl line before the Materials: header");
    load->active = 0;
    if (load->pass >= load->nameCount || !SameText(line, &load->names[load->pass]))
        return;
    double number = 0.0;
    ReadDecimal(line->text + 6, line->text + line->length, &number);
    double entry = (double)load->textureBase + std::floor(number + 0.5);
    if (!(entry >= 0.0 && entry < kTextureTableSize))
        return Reject(load, "material %.*s names texture entry %.0f, outside 0 to %d",
                      (int)(line->length - 6), line->text + 6, entry,
                      (int)kTextureTableSize - 1);
    MaterialGroup* group = &load->model->materials[load->pass];
    group->texture = (unsigned int)entry;
    if (!load->passHasFirstLine) {
        group->firstFace = load->faceCounter;
        load->passHasFirstLine = 1;
    }
    load->active = 1;
}

void ReadVertexLine(ObjLoad* load, const TextLine* line)
{
    Model* model = load->model;
    if (!load->seenVertices)
        return Reject(load, "vertex line before the Vertices: header");
    if ((size_t)(line->text - load->data) >= load->markerPos)
        return Reject(load, "vertex line after the face-list marker");
    if (load->vertexCounter >= model->vertexCount)
        return Reject(load, "more vertex lines than the Vertices: count %u", model->vertexCount);
    double xyz[3] = {0.0, 0.0, 0.0};
    ReadFields(line, xyz, 3);
    if (!FitsFloat(load, xyz, 3))
        return;
    model->vertices[load->vertexCounter++] = Vec3{(float)xyz[0], (float)xyz[1], (float)xyz[2]};
}

// A face's texture coordinates stand ahead of it, last corner first.
void ReadTexCoordLine(ObjLoad* load, const TextLine* line)
{
    Model* model = load->model;
    if (!load->seenFaces)
        return Reject(load, "vt line before the Faces: header");
    if (load->faceCounter >= model->faceCount)
        return Reject(load, "vt line for a face beyond the Faces: count %u", model->faceCount);
    load->corner = load->corner % 3 + 1;
    double uv[2] = {0.0, 0.0};
    ReadFields(line, uv, 2);
    if (!FitsFloat(load, uv, 2))
        return;
    model->faces[load->faceCounter].texCoord[3 - load->corner] = TexCoord{(float)uv[0], (float)uv[1]};
}

void ReadFaceLine(ObjLoad* load, const TextLine* line)
{
    Model* model = load->model;
    if (!load->seenFaces)
        return Reject(load, "face line before the Faces: header");
    if (load->faceCounter >= model->faceCount)
        return Reject(load, "more face lines than the Faces: count %u", model->faceCount);
    double corners[3] = {0.0, 0.0, 0.0};
    int count = ReadFields(line, corners, 3);
    if (count != 3)
        return Reject(load, "face line with %d corners, not 3", count);
    Face* face = &model->faces[load->faceCounter];
    for (int k = 0; k < 3; ++k) {
        double index = std::floor(corners[k] - 1.0 + 0.5);
        if (!(index >= 0.0 && index < (double)model->vertexCount))
            return Reject(load, "corner %d names vertex %.0f, outside 1 to %u", k + 1,
                          index + 1.0, model->vertexCount);
        face->vertexIndex[k] = (unsigned int)index;
    }
    ++load->faceCounter;
}

void ReadLine(ObjLoad* load, const TextLine* line)
{
    if (load->firstPass)
        ReadHeaderLines(load, line);
    if (load->failed)
        return;
    if (StartsWith(line, "usemtl"))
        ReadMaterialLine(load, line);
    else if (StartsWith(line, "v "))
        ReadVertexLine(load, line);
    else if (StartsWith(line, "vt") && load->active)
        ReadTexCoordLine(load, line);
    else if (StartsWith(line, "f ") && load->active)
        ReadFaceLine(load, line);
}

// At the end of the file: close the pass material's group and start the next
// material's pass at the face list.
void EndPass(ObjLoad* load)
{
    Model* model = load->model;
    if (load->firstPass) {
        load->lineNumber = 0;
        if (!load->seenVertices || !load->seenFaces || !load->seenMaterials)
            return Reject(load, "a Vertices:, Faces: or Materials: header is missing");
        // Faces the file leaves out keep vertex 1 in every corner; there must be one.
        if (model->faceCount > 0 && model->vertexCount == 0)
            return Reject(load, "Faces: count %u with a Vertices: count of 0", model->faceCount);
    }
    load->firstPass = 0;
    if (load->pass < model->materialCount)
        model->materials[load->pass].lastFace = load->faceCounter - 1;
    ++load->pass;
    load->passHasFirstLine = 0;
    if (load->pass < model->materialCount) {
        load->pos = load->markerPos;
        load->lineNumber = load->markerLine;
    }
}

void ReadPasses(ObjLoad* load)
{
    load->firstPass = 1;
    for (;;) {
        TextLine line;
        if (NextLine(load, &line))
            ReadLine(load, &line);
        if (load->failed)
            return;
        if (load->pos < load->size)
            continue;
        EndPass(load);
        if (load->failed || load->pos >= load->size)
            break;
    }
    // With the marker on the last line no further pass can run: the materials
    // left have no faces, and must not claim face 0 of a model that has none.
    for (unsigned int m = load->pass; !load->failed && m < load->model->materialCount; ++m) {
        load->model->materials[m].firstFace = load->faceCounter;
        load->model->materials[m].lastFace = load->faceCounter - 1;
    }
}

// Reads the whole file and runs the passes; the model is complete on success.
bool ReadObjFile(ObjLoad* load, const char* fileName)
{
    char* data = nullptr;
    size_t size = 0;
    switch (ReadWholeFile(fileName, &data, &size)) {
    case kFileRead: break;
    case kFileMissing: Reject(load, "not found"); return false;
    case kFileUnreadable: Reject(load, "cannot be read"); return false;
    case kFileTooLarge: Reject(load, "is larger than %d bytes", (int)kMaxModelFileBytes); return false;
    }
    load->data = data;
    load->size = size;
    CollectMaterialNames(load);
    if (!load->failed)
        ReadPasses(load);
    std::free(data);
    return !load->failed;
}

} // namespace

void LoadObjModel(Model** handle, const char* fileName, unsigned int textureBase)
{
    if (*handle) {
        ConsoleBeep();
        ConsolePrint("Model already allocated!!!");
        return;
    }
    // A whole ObjLoad holds 201 names; keep it off the stack.
    ObjLoad* load = (ObjLoad*)std::calloc(1, sizeof(ObjLoad));
    Model* model = (Model*)std::calloc(1, sizeof(Model));
    if (!load || !model) {
        ConsolePrint("Out of memory loading a model");
        std::free(load);
        std::free(model);
        return;
    }
    load->fileName = fileName;
    load->textureBase = textureBase;
    load->model = model;
    if (ReadObjFile(load, fileName)) {
        ComputeModelNormals(model);
        *handle = model;
    } else {
        FreeModel(&model);
    }
    std::free(load);
}

void FreeModel(Model** handle)
{
    Model* model = *handle;
    if (!model)
        return;
    std::free(model->vertices);
    std::free(model->normals);
    std::free(model->faces);
    std::free(model->materials);
    std::free(model);
    *handle = nullptr;
}

void ComputeModelNormals(Model* model)
{
    for (unsigned int i = 0; i < model->faceCount; ++i) {
        Face* face = &model->faces[i];
        const unsigned int* index = face->vertexIndex;
        // Only a face the file left out can point past the vertices (with none declared).
        if (index[0] >= model->vertexCount || index[1] >= model->vertexCount ||
            index[2] >= model->vertexCount)
            continue;
        Vec3 corners[3] = {model->vertices[index[0]], model->vertices[index[1]],
                           model->vertices[index[2]]};
        face->normal = TriangleNormal(corners);
        for (int k = 0; k < 3; ++k)
            model->normals[index[k]] = Vec3Add(model->normals[index[k]], face->normal);
    }
    for (unsigned int i = 0; i < model->faceCount; ++i)
        for (int k = 0; k < 3; ++k)
            if (model->faces[i].vertexIndex[k] < model->vertexCount)
                Vec3Normalize(&model->normals[model->faces[i].vertexIndex[k]]);
}
