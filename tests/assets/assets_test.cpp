// assets_test.cpp -- the committed Textures/, Models/ and Sound/: the generator
// still writes exactly these bytes, and every file reads in the game's formats.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

static const char* const kAssetFiles[] = {
    "Textures/Text.tga",      "Textures/Wall.tga",     "Textures/eightball.tga",
    "Textures/Wood2.tga",     "Textures/Wood1.tga",    "Textures/backboard.tga",
    "Textures/Targ.tga",      "Textures/Power.tga",    "Models/Table_Small2.obj",
    "Models/Ball_small.obj",  "Sound/Ball2Ball1.wav",  "Sound/Rolling.wav",
    "Sound/Win1.wav",         "Sound/Win2.wav",        "Sound/Win3.wav",
    "desktop/balltoss.png",
};

static std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path << " cannot be read";
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

static uint32_t Le16(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (uint32_t)b[at + 1] << 8;
}

static uint32_t Le32(const std::vector<uint8_t>& b, size_t at)
{
    return Le16(b, at) | Le16(b, at + 2) << 16;
}

// ---------------------------------------------------------------- regeneration

TEST(GeneratedAssets, RegeneratingWritesTheCommittedBytes)
{
    char dir[] = "/tmp/assetgen-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string command = std::string(ASSETGEN_PATH) + " " + dir + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* name : kAssetFiles) {
        std::vector<uint8_t> fresh = ReadBytes(std::string(dir) + "/" + name);
        EXPECT_TRUE(fresh == ReadBytes(name)) << name << " differs from a fresh run";
    }
    std::system((std::string("rm -rf ") + dir).c_str());
}

// ---------------------------------------------------------------- models

struct ObjSummary {
    long headerVertices = -1, headerFaces = -1, headerMaterials = -1;
    std::set<std::string> materialNames;
    std::vector<int> faceMaterials;   // material number of each face
    std::vector<std::vector<double>> vertices;
    std::vector<std::vector<int>> faces;
    std::vector<std::string> problems;
};

static bool IsNumber(const std::string& text)
{
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return *end == '\0';
}

// Reads a model the way the game's loader does and notes every departure from
// the dialect: counts, marker, materials, texture lines, field spacing.
static ObjSummary ReadObj(const std::string& path)
{
    ObjSummary s;
    std::ifstream in(path);
    std::string line;
    bool markerSeen = false, materialActive = false;
    int pendingTexLines = 0, lineNo = 0;
    auto problem = [&](const std::string& what) {
        s.problems.push_back(path + ":" + std::to_string(lineNo) + ": " + what);
    };
    int currentMaterial = -1;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') {
            problem("carriage return");
        }
        const std::pair<std::string, long*> headers[] = {
            {"Vertices: ", &s.headerVertices}, {"Faces: ", &s.headerFaces},
            {"Materials: ", &s.headerMaterials}};
        for (const auto& h : headers) {
            size_t at = line.find(h.first);
            if (at != std::string::npos) {
                *h.second = std::lround(std::atof(line.c_str() + at + h.first.size()));
            }
        }
        if (line == "#\t               Face list") {
            markerSeen = true;
            continue;
        }
        if (line.rfind("usemtl", 0) == 0) {
            std::string name = line.substr(6);
            if (name.size() < 2 || name[0] != ' ' || !IsNumber(name.substr(1))) {
                problem("material name is not a number");
            }
            if (!markerSeen) {
                problem("material before the face-list marker");
            }
            if (pendingTexLines != 0) {
                problem("texture lines not followed by a face");
            }
            s.materialNames.insert(line);
            currentMaterial = std::atoi(line.c_str() + 7);
            materialActive = true;
            continue;
        }
        bool data = line.rfind("v ", 0) == 0 || line.rfind("vt ", 0) == 0 ||
                    line.rfind("f ", 0) == 0 || line.rfind("vn ", 0) == 0;
        if (!data) {
            continue;
        }
        if (line.back() == ' ' || line.find("  ") != std::string::npos) {
            problem("double or trailing blank");
        }
        // Fields at single blanks only, as the game reads them (a trailing blank
        // is flagged above).
        std::vector<std::string> fields;
        std::istringstream blanks(line);
        for (std::string field; std::getline(blanks, field, ' ');) {
            fields.push_back(field);
        }
        if ((fields[0] == "vt" || fields[0] == "f") && !materialActive) {
            problem(fields[0] + " line outside a material");
        }
        if (fields[0] == "v") {
            if (fields.size() != 4 || !IsNumber(fields[1]) || !IsNumber(fields[2]) ||
                !IsNumber(fields[3])) {
                problem("vertex is not three numbers");
                continue;
            }
            s.vertices.push_back({std::atof(fields[1].c_str()), std::atof(fields[2].c_str()),
                                  std::atof(fields[3].c_str())});
        } else if (fields[0] == "vt") {
            if (fields.size() < 3 || !IsNumber(fields[1]) || !IsNumber(fields[2])) {
                problem("texture line is not two numbers");
            }
            ++pendingTexLines;
        } else if (fields[0] == "f") {
            if (pendingTexLines != 3) {
                problem("face without exactly three texture lines before it");
            }
            pendingTexLines = 0;
            if (fields.size() != 4) {
                problem("face is not a triangle");
                continue;
            }
            std::vector<int> corners;
            for (int k = 1; k <= 3; ++k) {
                int v = std::atoi(fields[(size_t)k].c_str());
                if (v < 1) {
                    problem("corner index below 1");
                }
                corners.push_back(v - 1);
            }
            s.faces.push_back(corners);
            s.faceMaterials.push_back(currentMaterial);
        }
    }
    if (!markerSeen) {
        s.problems.push_back(path + ": no face-list marker");
    }
    return s;
}

static void ExpectDialect(const ObjSummary& s, const char* path)
{
    for (const std::string& p : s.problems) {
        ADD_FAILURE() << p;
    }
    EXPECT_EQ(s.headerVertices, (long)s.vertices.size()) << path;
    EXPECT_EQ(s.headerFaces, (long)s.faces.size()) << path;
    EXPECT_EQ(s.headerMaterials, (long)s.materialNames.size()) << path;
    for (const std::vector<int>& f : s.faces) {
        for (int v : f) {
            EXPECT_LT(v, (int)s.vertices.size()) << path;
        }
    }
}

static std::vector<double> FaceNormal(const ObjSummary& s, size_t face)
{
    const std::vector<double>& a = s.vertices[(size_t)s.faces[face][0]];
    const std::vector<double>& b = s.vertices[(size_t)s.faces[face][1]];
    const std::vector<double>& c = s.vertices[(size_t)s.faces[face][2]];
    double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    return {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
}

TEST(ModelFiles, TableFollowsTheDialectWithItsMaterials)
{
    ObjSummary s = ReadObj("Models/Table_Small2.obj");
    ExpectDialect(s, "Models/Table_Small2.obj");
    EXPECT_LE(s.faces.size(), 4000u);
    std::set<int> used(s.faceMaterials.begin(), s.faceMaterials.end());
    // walls, lane, wood, backboard and the three kinds of hole bottom
    EXPECT_EQ(used, (std::set<int>{1, 3, 4, 7, 8, 9, 10}));
    for (size_t f = 0; f < s.faces.size(); ++f) {
        std::vector<double> n = FaceNormal(s, f);
        double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        EXPECT_GT(len, 1e-8) << "degenerate face " << f;
        // hole bottoms face up, so a ball falling in lands on their front
        if (s.faceMaterials[f] >= 8) {
            EXPECT_GT(n[1] / len, 0.99) << "face " << f;
        }
    }
}

TEST(ModelFiles, RoomIsClosedAndFacesInward)
{
    ObjSummary s = ReadObj("Models/Table_Small2.obj");
    double lo[3] = {1e9, 1e9, 1e9}, hi[3] = {-1e9, -1e9, -1e9};
    for (const std::vector<double>& v : s.vertices) {
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], v[(size_t)k]);
            hi[k] = std::max(hi[k], v[(size_t)k]);
        }
    }
    // Sum the area of the faces on each side of the bounding box, signed by
    // facing: a closed, inward-facing room covers every side fully, facing in.
    double area[6] = {0, 0, 0, 0, 0, 0};
    for (size_t f = 0; f < s.faces.size(); ++f) {
        std::vector<double> n = FaceNormal(s, f);
        for (int k = 0; k < 3; ++k) {
            bool onLow = true, onHigh = true;
            for (int c = 0; c < 3; ++c) {
                double x = s.vertices[(size_t)s.faces[f][(size_t)c]][(size_t)k];
                onLow = onLow && std::fabs(x - lo[k]) < 1e-6;
                onHigh = onHigh && std::fabs(x - hi[k]) < 1e-6;
            }
            if (onLow) {
                area[2 * k] += n[(size_t)k] / 2.0;     // inward is +axis
            }
            if (onHigh) {
                area[2 * k + 1] -= n[(size_t)k] / 2.0; // inward is -axis
            }
        }
    }
    for (int k = 0; k < 3; ++k) {
        double side = (hi[(k + 1) % 3] - lo[(k + 1) % 3]) * (hi[(k + 2) % 3] - lo[(k + 2) % 3]);
        EXPECT_NEAR(area[2 * k], side, 1e-6) << "low side of axis " << k;
        EXPECT_NEAR(area[2 * k + 1], side, 1e-6) << "high side of axis " << k;
    }
    EXPECT_NEAR(lo[1], 0.0, 1e-9) << "the floor is at y = 0";
}

TEST(ModelFiles, BallIsAClosedSphereOfRadius017)
{
    ObjSummary s = ReadObj("Models/Ball_small.obj");
    ExpectDialect(s, "Models/Ball_small.obj");
    EXPECT_EQ(s.materialNames, (std::set<std::string>{"usemtl 1"}));
    for (const std::vector<double>& v : s.vertices) {
        EXPECT_NEAR(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 0.17, 1e-6);
    }
    // every face looks outwards, and the faces wrap the whole sphere: the
    // signed volume they enclose is close to that of the ball
    double volume = 0.0;
    for (size_t f = 0; f < s.faces.size(); ++f) {
        const std::vector<double>& a = s.vertices[(size_t)s.faces[f][0]];
        std::vector<double> n = FaceNormal(s, f);
        EXPECT_GT(n[0] * a[0] + n[1] * a[1] + n[2] * a[2], 0.0) << "face " << f;
        volume += (n[0] * a[0] + n[1] * a[1] + n[2] * a[2]) / 6.0;
    }
    EXPECT_NEAR(volume, 4.0 / 3.0 * M_PI * 0.17 * 0.17 * 0.17, 0.0015);
}

// ---------------------------------------------------------------- textures

struct Tga {
    int width = 0, height = 0, bits = 0;
    bool topDown = false;
    std::vector<uint8_t> bytes;
};

static Tga ReadTga(const std::string& path)
{
    Tga t;
    t.bytes = ReadBytes(path);
    if (t.bytes.size() < 18) {
        ADD_FAILURE() << path << " too short";
        return t;
    }
    EXPECT_EQ(t.bytes[0], 0) << path;           // no id field
    EXPECT_EQ(t.bytes[1], 0) << path;           // no colour map
    EXPECT_EQ(t.bytes[2], 2) << path;           // uncompressed true colour
    t.width = (int)Le16(t.bytes, 12);
    t.height = (int)Le16(t.bytes, 14);
    t.bits = t.bytes[16];
    t.topDown = (t.bytes[17] & 0x20) != 0;
    EXPECT_EQ(t.bytes[17] & 0x0F, t.bits == 32 ? 8 : 0) << path << " alpha bits";
    EXPECT_EQ(t.bytes.size(), 18u + (size_t)t.width * t.height * (size_t)(t.bits / 8)) << path;
    return t;
}

// Pixel (x, y) counted from the top left, as r, g, b, a.
static std::array<int, 4> TgaPixel(const Tga& t, int x, int y)
{
    int row = t.topDown ? y : t.height - 1 - y;
    size_t at = 18 + ((size_t)row * t.width + x) * (size_t)(t.bits / 8);
    return {t.bytes[at + 2], t.bytes[at + 1], t.bytes[at], t.bits == 32 ? t.bytes[at + 3] : 255};
}

static bool PowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

TEST(TextureFiles, EveryImageIsATargaWithPowerOfTwoSides)
{
    for (int k = 0; k < 8; ++k) {
        Tga t = ReadTga(kAssetFiles[k]);
        EXPECT_TRUE(PowerOfTwo(t.width) && PowerOfTwo(t.height)) << kAssetFiles[k];
        EXPECT_TRUE(t.bits == 24 || t.bits == 32) << kAssetFiles[k];
    }
}

// Ink (alpha) in rows y0 to y1 (from the top) of character c's cell of the font sheet.
static int CellInk(const Tga& font, int c, int y0 = 0, int y1 = 16)
{
    int ink = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = 0; x < 16; ++x) {
            std::array<int, 4> p = TgaPixel(font, (c % 16) * 16 + x, (c / 16) * 16 + y);
            ink += p[3];
            if (p[3] > 0) {
                EXPECT_EQ(p[0] + p[1] + p[2], 3 * 255) << "glyphs are white";
            }
        }
    }
    return ink;
}

TEST(TextureFiles, FontSheetHoldsCharacterCInCellOfRowCDiv16)
{
    Tga font = ReadTga("Textures/Text.tga");
    ASSERT_EQ(font.width, 256);
    ASSERT_EQ(font.height, 256);
    ASSERT_EQ(font.bits, 32);
    for (int c = 0; c < 256; ++c) {
        int ink = CellInk(font, c);
        if (c <= 32 || (c >= 127 && c <= 160)) {
            EXPECT_EQ(ink, 0) << "character " << c;
        } else if (c != 173) { // 173 is the soft hyphen, drawn as "-"
            EXPECT_GT(ink, 0) << "character " << c;
        }
    }
    // "_" has its ink at the bottom of the cell and "'" at the top: the sheet is
    // upright, row 0 at the top of the image.
    EXPECT_GT(CellInk(font, '_', 11, 16), 0);
    EXPECT_EQ(CellInk(font, '_', 0, 8), 0);
    EXPECT_GT(CellInk(font, '\'', 0, 8), 0);
    EXPECT_EQ(CellInk(font, '\'', 9, 16), 0);
}

TEST(TextureFiles, HudImagesAreTransparentWhereTheSceneOrTheBarShows)
{
    Tga power = ReadTga("Textures/Power.tga");
    ASSERT_EQ(power.width, 64);
    ASSERT_EQ(power.height, 256);
    ASSERT_EQ(power.bits, 32);
    EXPECT_EQ(TgaPixel(power, 32, 128)[3], 0) << "inside the frame the blue bar shows";
    EXPECT_EQ(TgaPixel(power, 0, 128)[3], 255) << "the frame's edge";
    EXPECT_EQ(TgaPixel(power, 32, 255)[3], 255) << "the frame's bottom";
    Tga cross = ReadTga("Textures/Targ.tga");
    ASSERT_EQ(cross.bits, 32);
    EXPECT_EQ(TgaPixel(cross, 2, 2)[3], 0) << "corner of the crosshair";
    EXPECT_EQ(TgaPixel(cross, cross.width / 2, cross.height / 2)[3], 255) << "centre dot";
}

// ---------------------------------------------------------------- sounds

struct Wav {
    int channels = 0, rate = 0, bits = 0, format = 0;
    std::vector<int16_t> samples;
};

static Wav ReadWav(const std::string& path)
{
    Wav w;
    std::vector<uint8_t> b = ReadBytes(path);
    if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 16) != "WAVEfmt ") {
        ADD_FAILURE() << path << " is not a RIFF WAVE file";
        return w;
    }
    EXPECT_EQ(Le32(b, 4), b.size() - 8) << path;
    EXPECT_EQ(Le32(b, 16), 16u) << path;
    w.format = (int)Le16(b, 20);
    w.channels = (int)Le16(b, 22);
    w.rate = (int)Le32(b, 24);
    w.bits = (int)Le16(b, 34);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data") << path;
    EXPECT_EQ(Le32(b, 40), b.size() - 44) << path;
    for (size_t at = 44; at + 1 < b.size(); at += 2) {
        w.samples.push_back((int16_t)Le16(b, at));
    }
    return w;
}

static double Seconds(const Wav& w)
{
    return (double)w.samples.size() / w.rate;
}

TEST(SoundFiles, EverySoundIsMono16BitPcmAndAudible)
{
    for (int k = 10; k < 15; ++k) {
        Wav w = ReadWav(kAssetFiles[k]);
        // PCM, one channel, 16 bits, 22050 samples a second
        EXPECT_EQ((std::array<int, 4>{w.format, w.channels, w.bits, w.rate}),
                  (std::array<int, 4>{1, 1, 16, 22050})) << kAssetFiles[k];
        auto peak = std::minmax_element(w.samples.begin(), w.samples.end());
        EXPECT_GT(std::max(-*peak.first, (int)*peak.second), 16000) << kAssetFiles[k];
    }
}

TEST(SoundFiles, KnockIsShortRumbleLoopsAndTheBiggestWinPlaysLongest)
{
    Wav knock = ReadWav("Sound/Ball2Ball1.wav");
    EXPECT_LT(Seconds(knock), 0.3);
    // the rumble loops: the jump from its last sample back to its first is no
    // bigger than the steps inside it
    Wav roll = ReadWav("Sound/Rolling.wav");
    ASSERT_GT(roll.samples.size(), 2u);
    int biggestStep = 0;
    for (size_t i = 1; i < roll.samples.size(); ++i) {
        biggestStep = std::max(biggestStep, std::abs(roll.samples[i] - roll.samples[i - 1]));
    }
    EXPECT_LE(std::abs(roll.samples.front() - roll.samples.back()), biggestStep);
    double win1 = Seconds(ReadWav("Sound/Win1.wav"));
    double win2 = Seconds(ReadWav("Sound/Win2.wav"));
    double win3 = Seconds(ReadWav("Sound/Win3.wav"));
    EXPECT_GT(win1, win2);
    EXPECT_GT(win2, win3);
}
