// obj_loader_test.cpp -- the OBJ loader on small files in the exporter's dialect,
// well-formed and damaged.
#include "model/model.h"
#include "model_test_util.h"

#include <cmath>
#include <sys/stat.h>
#include <string>

namespace {

const std::string kMarker = "#\t               Face list\n";

std::string Header(int vertices, int faces, int materials)
{
    return "# Exported mesh\n# Vertices: " + std::to_string(vertices) +
           "\n# Faces: " + std::to_string(faces) + "\n# Materials: " + std::to_string(materials) +
           "\n";
}

// Four corners of a unit square in z = 0 and one more point.
const std::string kFiveVertices = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 0 0 1\n";

// Three vt lines ahead of a face: corner 3's first, corner 1's last.
std::string TexturedFace(const std::string& face, float u)
{
    return "vt " + std::to_string(u) + " 0.3\nvt " + std::to_string(u) + " 0.2\nvt " +
           std::to_string(u) + " 0.1\n" + face + "\n";
}

// The five vertices, the marker and material 1 holding `faces`.
std::string Body(const std::string& faces) { return kFiveVertices + kMarker + "usemtl 1\n" + faces; }

struct Loaded {
    Model* model = nullptr;
    std::string console;
    ~Loaded() { FreeModel(&model); }
};

void Load(Loaded* out, const std::string& file, unsigned int textureBase = 1)
{
    testing::internal::CaptureStdout();
    LoadObjModel(&out->model, file.c_str(), textureBase);
    out->console = testing::internal::GetCapturedStdout();
}

void ExpectVec3(Vec3 v, float x, float y, float z)
{
    EXPECT_NEAR(v.x, x, 1e-6f);
    EXPECT_NEAR(v.y, y, 1e-6f);
    EXPECT_NEAR(v.z, z, 1e-6f);
}

void ExpectCorners(const Face& face, unsigned a, unsigned b, unsigned c)
{
    EXPECT_EQ(face.vertexIndex[0], a);
    EXPECT_EQ(face.vertexIndex[1], b);
    EXPECT_EQ(face.vertexIndex[2], c);
}

// ---- Well-formed files ----

TEST(ObjLoader, MaterialsGroupFacesInOrderOfFirstAppearance)
{
    TempDir dir;
    // CR LF line ends, as the exporter may write them; material 0 is named last
    // and draws nothing.
    std::string text = Header(5, 4, 3) + kFiveVertices + kMarker +
                       "usemtl 2\n" + TexturedFace("f 1 2 3", 0.5f) + TexturedFace("f 2 4 3", 0.6f) +
                       "usemtl 1\n" + TexturedFace("f 1 2 5", 0.7f) +
                       "usemtl 2\n" + TexturedFace("f 3 4 5", 0.8f) + "usemtl 0\n";
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    Loaded loaded;
    Load(&loaded, dir.Write("m.obj", crlf), 5);
    ASSERT_NE(loaded.model, nullptr) << loaded.console;
    EXPECT_EQ(loaded.console, "");
    const Model* m = loaded.model;
    ASSERT_EQ(m->materialCount, 3u);
    const unsigned int groups[3][3] = {{0, 2, 7}, {3, 3, 6}, {4, 3, 5}};   // first, last, texture
    for (unsigned int g = 0; g < 3; ++g) {
        EXPECT_EQ(m->materials[g].firstFace, groups[g][0]) << "group " << g;
        EXPECT_EQ(m->materials[g].lastFace, groups[g][1]) << "group " << g;
        EXPECT_EQ(m->materials[g].texture, groups[g][2]) << "group " << g;
    }
    ExpectCorners(m->faces[0], 0, 1, 2);
    ExpectCorners(m->faces[1], 1, 3, 2);
    ExpectCorners(m->faces[2], 2, 3, 4);
    ExpectCorners(m->faces[3], 0, 1, 4);
    // Each face keeps its own texture coordinates through the regrouping.
    EXPECT_FLOAT_EQ(m->faces[2].texCoord[0].u, 0.8f);
    EXPECT_FLOAT_EQ(m->faces[3].texCoord[0].u, 0.7f);
}

TEST(ObjLoader, TexCoordLinesFillCornersLastFirstAndTheCounterRunsOn)
{
    TempDir dir;
    // A stray vt before any material must not count; the second face has only
    // two vt lines, so the third face's lines start at corner 1.
    std::string text = Header(5, 3, 1) + kFiveVertices + kMarker + "vt 9 9\n" +
                       "usemtl 1\nvt 0.1 0.11\nvt 0.2 0.22\nvt 0.3 0.33\nf 1 2 3\n" +
                       "vt 0.4 0.44\nvt 0.5 0.55\nf 2 4 3\n" +
                       "vt 0.6 0.66\nvt 0.7 0.77\nvt 0.8 0.88\nf 3 4 5\n";
    Loaded loaded;
    Load(&loaded, dir.Write("m.obj", text));
    ASSERT_NE(loaded.model, nullptr) << loaded.console;
    const float u[3][3] = {{0.3f, 0.2f, 0.1f}, {0.0f, 0.5f, 0.4f}, {0.6f, 0.8f, 0.7f}};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k)
            EXPECT_FLOAT_EQ(loaded.model->faces[i].texCoord[k].u, u[i][k]) << i << ", " << k;
    EXPECT_FLOAT_EQ(loaded.model->faces[0].texCoord[2].v, 0.11f);
}

TEST(ObjLoader, FieldsAndNumbers)
{
    TempDir dir;
    // A very long comment line and a stray zero byte are read past harmlessly.
    std::string text = Header(4, 2, 1) + "# " + std::string(200000, 'x') + "\n" +
                       std::string("# \0zero\n", 8) +
                       "v 1.5 -2 3e1 7\n"      // a fourth number is ignored
                       "v 1  2 3\n"            // two blanks open an empty field: 0
                       "v 4/5 .5 -0.25\n"      // a number stops at a slash
                       "v +2 1E-1 x\n"         // text with no number reads 0
                       + kMarker + "usemtl 1\n" +
                       "vt 0.25 0.75 0.5\nvt 0 0\nvt 0 0\nf 3/1/3 1/2/1 2/3/2\n"
                       "vt 0 0\nvt 0 0\nvt 0 0\nf 4//1 4.4 1\n";
    Loaded loaded;
    Load(&loaded, dir.Write("m.obj", text));
    ASSERT_NE(loaded.model, nullptr) << loaded.console;
    const Model* m = loaded.model;
    ExpectVec3(m->vertices[0], 1.5f, -2.0f, 30.0f);
    ExpectVec3(m->vertices[1], 1.0f, 0.0f, 2.0f);
    ExpectVec3(m->vertices[2], 4.0f, 0.5f, -0.25f);
    ExpectVec3(m->vertices[3], 2.0f, 0.1f, 0.0f);
    EXPECT_FLOAT_EQ(m->faces[0].texCoord[2].u, 0.25f);
    EXPECT_FLOAT_EQ(m->faces[0].texCoord[2].v, 0.75f);
    ExpectCorners(m->faces[0], 2, 0, 1);
    ExpectCorners(m->faces[1], 3, 3, 0);
}

TEST(ObjLoader, NormalsOfSharedAndUnusedVertices)
{
    TempDir dir;
    // Face 1 lies in z = 0 (normal +z), face 2 in x = 0 (normal +x); they share
    // vertices 1 and 3. Vertex 4 is used by no face.
    std::string text =
        Header(5, 2, 1) + Body(TexturedFace("f 1 2 3", 0.0f) + TexturedFace("f 1 3 5", 0.0f));
    Loaded loaded;
    Load(&loaded, dir.Write("m.obj", text));
    ASSERT_NE(loaded.model, nullptr) << loaded.console;
    const Model* m = loaded.model;
    float h = 1.0f / std::sqrt(2.0f);
    ExpectVec3(m->faces[0].normal, 0, 0, 1);
    ExpectVec3(m->faces[1].normal, 1, 0, 0);
    ExpectVec3(m->normals[0], h, 0, h);
    ExpectVec3(m->normals[1], 0, 0, 1);
    ExpectVec3(m->normals[2], h, 0, h);
    ExpectVec3(m->normals[3], 0, 0, 0);
    ExpectVec3(m->normals[4], 1, 0, 0);
}

TEST(ObjLoader, MaterialsWithoutAFaceListAreEmpty)
{
    TempDir dir;
    // Every usemtl line stands before the marker, which ends the file.
    std::string text = Header(5, 0, 2) + kFiveVertices + "usemtl 1\nusemtl 2\n" + kMarker;
    Loaded loaded;
    Load(&loaded, dir.Write("m.obj", text));
    ASSERT_NE(loaded.model, nullptr) << loaded.console;
    for (unsigned int g = 0; g < 2; ++g) {
        EXPECT_EQ(loaded.model->materials[g].firstFace, 0u);
        EXPECT_EQ(loaded.model->materials[g].lastFace, 0xFFFFFFFFu);
    }
}

TEST(ObjLoader, SecondLoadIntoAFullHandleChangesNothing)
{
    TempDir dir;
    Loaded loaded;
    Load(&loaded, dir.Write("m.obj", Header(5, 1, 1) + Body(TexturedFace("f 1 2 3", 0.0f))));
    ASSERT_NE(loaded.model, nullptr);
    Model* first = loaded.model;
    Load(&loaded, dir.path + "/missing.obj");
    EXPECT_EQ(loaded.model, first);
    EXPECT_EQ(loaded.console, "Model already allocated!!!\n");
    FreeModel(&loaded.model);
    EXPECT_EQ(loaded.model, nullptr);
}

// ---- Damaged files: one line naming the file and the fault, no model ----

struct Damaged {
    const char* what;
    std::string text;
    const char* expected;   // part of the console line
};

TEST(ObjLoader, DamagedFilesAreRejectedWithOneLine)
{
    const std::string face = TexturedFace("f 1 2 3", 0.0f);
    std::string manyNames = Header(5, 1, 202) + kFiveVertices + kMarker;
    for (int i = 0; i < 202; ++i)
        manyNames += "usemtl " + std::to_string(i) + "\n";
    const Damaged cases[] = {
        {"extra vertex", Header(4, 1, 1) + Body(face), "more vertex lines than the Vertices: count 4"},
        {"extra face", Header(5, 1, 1) + Body(face + "f 1 2 3\n"), "more face lines than the Faces: count 1"},
        {"extra vt", Header(5, 1, 1) + Body(face + "vt 0 0\n"), "vt line for a face beyond the Faces: count 1"},
        {"index zero", Header(5, 1, 1) + Body(TexturedFace("f 0 2 3", 0)), "corner 1 names vertex 0, outside 1 to 5"},
        {"index high", Header(5, 1, 1) + Body(TexturedFace("f 1 2 6", 0)), "corner 3 names vertex 6"},
        {"fourth corner", Header(5, 1, 1) + Body(TexturedFace("f 1 2 3 4", 0)), "face line with 4 corners"},
        {"trailing blank", Header(5, 1, 1) + Body(TexturedFace("f 1 2 3 ", 0)), "face line with 4 corners"},
        {"two corners", Header(5, 1, 1) + Body(TexturedFace("f 1 2", 0)), "face line with 2 corners"},
        {"no Vertices:", "# Faces: 1\n# Materials: 1\n" + Body(face), "vertex line before the Vertices: header"},
        {"no Faces:", "# Vertices: 5\n# Materials: 1\n" + Body(face), "vt line before the Faces: header"},
        {"no Materials:", "# Vertices: 5\n# Faces: 1\n" + Body(face), "usemtl line before the Materials: header"},
        {"no header at all", kMarker, "header is missing"},
        {"no marker", Header(5, 1, 1) + kFiveVertices + "usemtl 1\n" + face, "no face-list marker"},
        {"two markers", Header(5, 1, 1) + Body(face) + kMarker, "a second face-list marker"},
        {"202 names", manyNames, "more than 201 material names"},
        {"count above names", Header(5, 1, 2) + Body(face), "Materials: count 2 differs from the 1 material names"},
        {"count below names", Header(5, 1, 1) + Body(face + "usemtl 2\n"), "Materials: count 1 differs from the 2"},
        {"huge count", "# Vertices: 5\n# Faces: 4000000000\n# Materials: 1\n" + Body(face), "Faces: count 4000000000 is more"},
        {"absurd vertices", "# Vertices: 1e9\n# Faces: 1\n# Materials: 1\n" + Body(face), "Vertices: count 1000000000 is more"},
        {"negative count", "# Vertices: -3\n# Faces: 1\n# Materials: 1\n" + Body(face), "negative Vertices: count"},
        {"faces without vertices", "# Vertices: 0\n# Faces: 2\n# Materials: 0\n" + kMarker, "Faces: count 2 with a Vertices: count of 0"},
        {"count without number", "# Vertices:\n# Faces: 1\n# Materials: 1\n" + Body(face), "the Vertices: header holds no count"},
        {"repeated header", Header(5, 1, 1) + "# Faces: 1\n" + Body(face), "a second Faces: header"},
        {"vertex after marker", Header(6, 1, 1) + Body(face + "v 0 0 0\n"), "vertex line after the face-list marker"},
        {"texture entry", Header(5, 1, 1) + kFiveVertices + kMarker + "usemtl 40\n" + face, "names texture entry 41"},
        {"float range", Header(5, 1, 1) + "v 1e39 0 0\n" + Body(face), "out of range"},
    };
    for (const Damaged& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        std::string file = dir.Write("bad.obj", c.text);
        Loaded loaded;
        Load(&loaded, file);
        EXPECT_EQ(loaded.model, nullptr);
        EXPECT_EQ(CountLines(loaded.console), 1) << loaded.console;
        EXPECT_NE(loaded.console.find("Model file " + file), std::string::npos) << loaded.console;
        EXPECT_NE(loaded.console.find(c.expected), std::string::npos) << loaded.console;
    }
}

TEST(ObjLoader, MissingAndUnreadableFiles)
{
    TempDir dir;
    // A named pipe is refused like the folder, without waiting for a writer.
    std::string pipe = dir.path + "/pipe.obj";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    const std::pair<std::string, const char*> files[] = {
        {dir.path + "/none.obj", "not found"}, {dir.path, "cannot be read"},
        {pipe, "cannot be read"}};
    alarm(20);
    for (const auto& file : files) {
        Loaded loaded;
        Load(&loaded, file.first);
        EXPECT_EQ(loaded.model, nullptr);
        EXPECT_EQ(loaded.console, "Model file " + file.first + ": " + file.second + "\n");
    }
    alarm(0);
}

// The generated game meshes, read from the repository root like the game does.
TEST(ObjLoader, TheGamesOwnModelsLoad)
{
    const struct {
        const char* file;
        unsigned int base;
    } models[] = {{"Models/Table_Small2.obj", 1}, {"Models/Ball_small.obj", 5}};
    for (const auto& m : models) {
        SCOPED_TRACE(m.file);
        if (access(m.file, R_OK) != 0)
            GTEST_SKIP() << m.file << " has not been generated";
        Loaded loaded;
        Load(&loaded, m.file, m.base);
        ASSERT_NE(loaded.model, nullptr) << loaded.console;
        EXPECT_EQ(loaded.console, "");
        const Model* model = loaded.model;
        EXPECT_GT(model->faceCount, 0u);
        unsigned int grouped = 0;
        for (unsigned int g = 0; g < model->materialCount; ++g) {
            const MaterialGroup& group = model->materials[g];
            EXPECT_GE(group.texture, m.base);
            EXPECT_LT(group.texture, (unsigned int)kTextureTableSize);
            if (group.lastFace != 0xFFFFFFFFu && group.lastFace >= group.firstFace)
                grouped += group.lastFace - group.firstFace + 1;
            if (g > 0) {
                EXPECT_EQ(group.firstFace, model->materials[g - 1].lastFace + 1);
            }
        }
        EXPECT_EQ(grouped, model->faceCount);   // every face is drawn, once
        for (unsigned int i = 0; i < model->faceCount; ++i)
            EXPECT_NEAR(Vec3Length(model->faces[i].normal), 1.0f, 1e-4f) << "face " << i;
    }
}

} // namespace
