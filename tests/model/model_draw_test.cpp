// model_draw_test.cpp -- what the textured and plain display lists of a model emit,
// read back through GL feedback mode on a real context.
#include "gl_context.h"
#include "model/model.h"
#include "model_test_util.h"

#include <GL/gl.h>
#include <vector>

// In sanitizer builds: the GL driver keeps threads and allocations of its own to
// the end, and the leak checker's stop of those threads has crashed at exit; out
// of bounds accesses are still caught.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

// A model built by hand: faceCount small triangles in the view volume, in groups.
struct HandModel {
    Model model = {};
    std::vector<Vec3> vertices, normals;
    std::vector<Face> faces;
    std::vector<MaterialGroup> groups;

    HandModel(unsigned int faceCount, std::vector<MaterialGroup> materialGroups)
        : groups(materialGroups)
    {
        for (unsigned int i = 0; i < faceCount; ++i) {
            float x = -0.9f + 0.1f * i;
            vertices.push_back(Vec3{x, 0.0f, 0.0f});
            vertices.push_back(Vec3{x + 0.05f, 0.0f, 0.0f});
            vertices.push_back(Vec3{x, 0.05f, 0.0f});
            Face face = {};
            for (unsigned int k = 0; k < 3; ++k) {
                face.vertexIndex[k] = 3 * i + k;
                face.texCoord[k] = TexCoord{(float)i + 0.1f * k, 0.5f};
            }
            faces.push_back(face);
        }
        normals.assign(vertices.size(), Vec3{0.0f, 0.0f, 1.0f});
        model.vertexCount = (unsigned int)vertices.size();
        model.faceCount = faceCount;
        model.materialCount = (unsigned int)groups.size();
        model.vertices = vertices.data();
        model.normals = normals.data();
        model.faces = faces.data();
        model.materials = groups.data();
    }
};

struct FeedbackVertex {
    float x, y, s;
};

// Calls the list in feedback mode: the triangles it emits, as vertex triples.
std::vector<std::vector<FeedbackVertex>> Feedback(GLuint list)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, 640, 480);
    glDisable(GL_CULL_FACE);
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer((GLsizei)buffer.size(), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glCallList(list);
    GLint used = glRenderMode(GL_RENDER);
    std::vector<std::vector<FeedbackVertex>> polygons;
    // Each vertex: x, y, z, RGBA, STRQ.
    for (GLint i = 0; i < used;) {
        EXPECT_EQ(buffer[i], (GLfloat)GL_POLYGON_TOKEN);
        if (buffer[i] != (GLfloat)GL_POLYGON_TOKEN)
            break;
        int n = (int)buffer[i + 1];
        i += 2;
        std::vector<FeedbackVertex> polygon;
        for (int k = 0; k < n; ++k, i += 11)
            polygon.push_back(FeedbackVertex{buffer[i], buffer[i + 1], buffer[i + 7]});
        polygons.push_back(polygon);
    }
    return polygons;
}

GLuint Compile(const Model* model, const GLuint* textures)
{
    GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    if (textures)
        DrawModelTextured(model, textures);
    else
        DrawModelPlain(model);
    glEndList();
    return list;
}

GLuint BoundTexture()
{
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    return (GLuint)bound;
}

TEST(ModelDraw, TexturedListBindsEachGroupsTextureAndSetsTheMaterial)
{
    REQUIRE_GL_CONTEXT();
    // Group 2 has no faces but still binds its texture; an empty first group
    // (lastFace -1) draws nothing.
    HandModel hand(4, {MaterialGroup{0, 0xFFFFFFFFu, 9}, MaterialGroup{0, 3, 3},
                       MaterialGroup{4, 3, 6}});
    GLuint textures[13] = {};
    glGenTextures(12, textures + 1);
    GLuint list = Compile(&hand.model, textures);
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    auto polygons = Feedback(list);
    ASSERT_EQ(polygons.size(), 4u);
    for (unsigned int i = 0; i < 4; ++i) {
        ASSERT_EQ(polygons[i].size(), 3u);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(polygons[i][k].s, i + 0.1f * k, 1e-5f) << "face " << i << " corner " << k;
        // Corner 2 lies right of corner 1 and corner 3 above it.
        EXPECT_GT(polygons[i][1].x, polygons[i][0].x);
        EXPECT_GT(polygons[i][2].y, polygons[i][0].y);
    }
    EXPECT_EQ(BoundTexture(), textures[6]);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    const std::pair<GLenum, GLfloat> material[] = {
        {GL_AMBIENT, 0.75f}, {GL_DIFFUSE, 0.5f}, {GL_SPECULAR, 0.5f}, {GL_SHININESS, 50.0f}};
    for (const auto& m : material) {
        GLfloat value[4] = {};
        glGetMaterialfv(GL_FRONT, m.first, value);
        EXPECT_FLOAT_EQ(value[0], m.second) << "material parameter " << m.first;
    }
    glDeleteLists(list, 1);
    glDeleteTextures(12, textures + 1);
}

TEST(ModelDraw, PlainListTouchesNoTextureOrMaterial)
{
    REQUIRE_GL_CONTEXT();
    HandModel hand(2, {MaterialGroup{0, 1, 2}});
    GLuint list = Compile(&hand.model, nullptr);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const GLfloat ambient[4] = {0.1f, 0.2f, 0.3f, 1.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
    glTexCoord2f(9.0f, 9.0f);
    auto polygons = Feedback(list);
    ASSERT_EQ(polygons.size(), 2u);
    EXPECT_FLOAT_EQ(polygons[1][2].s, 9.0f);   // no texture coordinate of its own
    EXPECT_EQ(BoundTexture(), texture);
    GLfloat after[4];
    glGetMaterialfv(GL_FRONT, GL_AMBIENT, after);
    EXPECT_FLOAT_EQ(after[0], 0.1f);
    glDeleteLists(list, 1);
    glDeleteTextures(1, &texture);
}

// The game's table, compiled as start-up does: every face once, each group's texture.
TEST(ModelDraw, TheGamesTableListEmitsEveryFace)
{
    REQUIRE_GL_CONTEXT();
    if (access("Models/Table_Small2.obj", R_OK) != 0)
        GTEST_SKIP() << "Models/Table_Small2.obj has not been generated";
    Model* table = nullptr;
    LoadObjModel(&table, "Models/Table_Small2.obj", 1);
    ASSERT_NE(table, nullptr);
    GLuint textures[13] = {};
    glGenTextures(12, textures + 1);
    GLuint textured = Compile(table, textures);
    GLuint plain = Compile(table, nullptr);
    // Feedback reports only what survives clipping: squeeze the table into view.
    auto count = [&](GLuint list) {
        GLuint wrapper = glGenLists(1);
        glNewList(wrapper, GL_COMPILE);
        glScalef(1e-3f, 1e-3f, 1e-3f);
        glCallList(list);
        glEndList();
        size_t n = Feedback(wrapper).size();
        glDeleteLists(wrapper, 1);
        return n;
    };
    EXPECT_EQ(count(textured), table->faceCount);
    EXPECT_EQ(BoundTexture(), textures[table->materials[table->materialCount - 1].texture]);
    EXPECT_EQ(count(plain), table->faceCount);
    glDeleteLists(textured, 1);
    glDeleteLists(plain, 1);
    glDeleteTextures(12, textures + 1);
    FreeModel(&table);
}

} // namespace
