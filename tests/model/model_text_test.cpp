// model_text_test.cpp -- saving and restoring an object's models in "Test_Format.nsf".
#include "model/model.h"
#include "model_test_util.h"
#include "physics/physics.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Runs each test in its own directory, where the fixed file name lands.
class ModelText : public testing::Test {
protected:
    TempDir dir;
    std::string oldDirectory;
    SceneObject object = {};

    void SetUp() override
    {
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        oldDirectory = here;
        ASSERT_EQ(chdir(dir.path.c_str()), 0);
    }
    void TearDown() override
    {
        FreeObject(&object);
        EXPECT_EQ(chdir(oldDirectory.c_str()), 0);
    }

    static void FreeObject(SceneObject* o)
    {
        for (int i = 0; o->modelMatrices && i < o->modelCount; ++i)
            std::free(o->modelMatrices[i]);
        std::free(o->modelMatrices);
        std::free(o->modelIndices);
        std::free(o->matrix);
        std::free(o->texturedListIds);
        *o = SceneObject{};
    }

    // An object as the game builds it: calloc'd arrays it owns.
    static void GiveModels(SceneObject* o, int count)
    {
        o->modelCount = count;
        o->modelIndices = (int*)std::calloc(count, sizeof(int));
        o->modelMatrices = (Mat4**)std::calloc(count, sizeof(Mat4*));
        for (int i = 0; i < count; ++i)
            o->modelMatrices[i] = (Mat4*)std::calloc(1, sizeof(Mat4));
        o->matrix = (Mat4*)std::calloc(1, sizeof(Mat4));
        for (int e = 0; e < 16; ++e)
            o->matrix->m[e] = 7.0f;
    }

    static std::string ReadFile()
    {
        std::ifstream in("Test_Format.nsf", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static void WriteFile(const std::string& text)
    {
        std::ofstream("Test_Format.nsf", std::ios::binary) << text;
    }

    std::string Load()
    {
        testing::internal::CaptureStdout();
        LoadModelText(&object);
        return testing::internal::GetCapturedStdout();
    }

    void ExpectEmptyAndZeroMatrix()
    {
        EXPECT_EQ(object.modelCount, 0);
        EXPECT_EQ(object.modelIndices, nullptr);
        EXPECT_EQ(object.modelMatrices, nullptr);
        ASSERT_NE(object.matrix, nullptr);
        for (int e = 0; e < 16; ++e)
            EXPECT_EQ(object.matrix->m[e], 0.0f);
    }
};

TEST_F(ModelText, OneIdentityModelIsEighteenLines)
{
    GiveModels(&object, 1);
    Mat4Identity(object.modelMatrices[0]);
    SaveModelText(&object);
    EXPECT_EQ(ReadFile(), "1\r\n0\r\n"   // the count and the model's index, then its matrix
                          "1\r\n0\r\n0\r\n0\r\n0\r\n1\r\n0\r\n0\r\n"
                          "0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n1\r\n");
}

TEST_F(ModelText, SaveThenLoadRestoresSevenDigits)
{
    GiveModels(&object, 2);
    object.modelIndices[0] = 1;
    object.modelIndices[1] = 0;
    const float values[16] = {0.5f, -123.456789f, 1.0e-8f, 3.25e12f, 0.1f, 1.0f / 3.0f, -0.0f, 42.0f,
                              9999999.0f, 12345678.0f, -2.5e-30f, 6.02e23f, 0.0f, 1.0f, -1.0f, 0.7f};
    for (int e = 0; e < 16; ++e) {
        object.modelMatrices[0]->m[e] = values[e];
        object.modelMatrices[1]->m[e] = -values[15 - e];
    }
    int* texturedBefore = object.texturedListIds = (int*)std::calloc(2, sizeof(int));
    texturedBefore[1] = 12;
    SaveModelText(&object);
    EXPECT_EQ(Load(), "");
    ASSERT_EQ(object.modelCount, 2);
    EXPECT_EQ(object.modelIndices[0], 1);
    EXPECT_EQ(object.modelIndices[1], 0);
    for (int e = 0; e < 16; ++e) {
        // Seven significant digits: within half a unit of the seventh digit (and
        // the float rounding of the value read back).
        EXPECT_NEAR(object.modelMatrices[0]->m[e], values[e], std::fabs(values[e]) * 6e-7f);
        EXPECT_NEAR(object.modelMatrices[1]->m[e], -values[15 - e], std::fabs(values[15 - e]) * 6e-7f);
        EXPECT_EQ(object.matrix->m[e], 0.0f);
    }
    EXPECT_EQ(object.texturedListIds, texturedBefore);
    EXPECT_EQ(object.texturedListIds[1], 12);
}

TEST_F(ModelText, NoModelsIsOneLineAndLoadsEmpty)
{
    WriteFile(std::string(500, '9'));   // an older, longer file is cut off
    SaveModelText(&object);
    EXPECT_EQ(ReadFile(), "0\r\n");
    GiveModels(&object, 3);
    EXPECT_EQ(Load(), "");
    ExpectEmptyAndZeroMatrix();
}

TEST_F(ModelText, CommasAndBlanksSeparateValuesToo)
{
    WriteFile("1,  4 ,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16.5\n");
    EXPECT_EQ(Load(), "");
    ASSERT_EQ(object.modelCount, 1);
    EXPECT_EQ(object.modelIndices[0], 4);
    EXPECT_EQ(object.modelMatrices[0]->m[0], 1.0f);
    EXPECT_EQ(object.modelMatrices[0]->m[15], 16.5f);
}

TEST_F(ModelText, BadFilesLeaveNoModelsAndAZeroMatrix)
{
    std::string full = "1\r\n0\r\n";
    for (int e = 0; e < 16; ++e)
        full += "1\r\n";
    const struct {
        const char* what;
        std::string text;
        const char* expected;
    } cases[] = {
        {"empty", "", "ends after 0 values"},
        {"short", full.substr(0, full.size() - 3), "ends after 17 values"},
        {"word", "1\r\n0\r\nhello\r\n" + full.substr(6), "value 3 is not a number"},
        {"trailing text", "1\r\n0x\r\n" + full.substr(6), "value 2 is not a number"},
        {"blank line", "1\r\n\r\n" + full.substr(3), "value 2 is not a number"},
        {"negative count", "-1\r\n", "value 1 (-1) is not a whole number"},
        {"absurd count", "99999999\r\n0\r\n", "value 1 (1e+08) is not a whole number"},
        {"count too big for file", "1000\r\n0\r\n0\r\n", "too short for 1000 models"},
        {"fractional count", "1.5\r\n", "not a whole number"},
        {"huge element", "1\r\n0\r\n1e39\r\n" + full.substr(9), "value 3 is not a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(c.text);
        GiveModels(&object, 2);
        std::string console = Load();
        EXPECT_EQ(CountLines(console), 1) << console;
        EXPECT_NE(console.find("Model text file Test_Format.nsf: "), std::string::npos) << console;
        EXPECT_NE(console.find(c.expected), std::string::npos) << console;
        ExpectEmptyAndZeroMatrix();
        FreeObject(&object);
    }
    std::remove("Test_Format.nsf");
    GiveModels(&object, 1);
    EXPECT_EQ(Load(), "Model text file Test_Format.nsf: not found\n");
    ExpectEmptyAndZeroMatrix();
}

} // namespace
