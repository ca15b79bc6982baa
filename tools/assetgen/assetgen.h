// assetgen.h -- the game's own asset generator: images, meshes and sounds made
// from fixed seeds, so every run writes the same bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

// ---------------------------------------------------------------- numbers

// A small generator of our own (xorshift with a multiply), so the textures do
// not depend on how a C++ library happens to implement its distributions.
struct Rng {
    uint64_t state;
};

void RngSeed(Rng* rng, uint64_t seed);
uint32_t RngNext(Rng* rng);
double RngUnit(Rng* rng);                      // [0, 1)
double RngRange(Rng* rng, double lo, double hi);

// Value noise on a lattice that repeats every `period` cells, so a texture
// built from it tiles without a seam under GL_REPEAT.
struct Noise {
    int period;
    std::vector<float> values;                 // period x period lattice
};

void NoiseInit(Noise* noise, int period, uint64_t seed);
double NoiseAt(const Noise* noise, double x, double y);       // 0..1, x and y in cells
// Sum of octaves: octave k uses lattice `noises[k]` (period doubling), weights halving.
double FractalAt(const std::vector<Noise>& noises, double x, double y);
std::vector<Noise> FractalInit(int basePeriod, int octaves, uint64_t seed);

double Clamp01(double v);
double SmoothStep(double e0, double e1, double x);
double Mix(double a, double b, double t);

// ---------------------------------------------------------------- images

// RGBA image, rows stored from the top.
struct Image {
    int width;
    int height;
    std::vector<uint8_t> rgba;
};

void ImageInit(Image* image, int width, int height);
void ImageSet(Image* image, int x, int y, double r, double g, double b, double a); // 0..1
void ImageGet(const Image* image, int x, int y, double rgba[4]);

// Uncompressed Targa, origin at the bottom left; 24 or 32 bits per pixel.
bool WriteTga(const std::string& path, const Image& image, int bitsPerPixel);

// Greyscale coverage of text drawn with FreeType, rows from the top.
struct GlyphBitmap {
    int width;
    int height;
    std::vector<uint8_t> coverage;
};

// Renders `text` with the font file at the given pixel size (width and height of the
// em); the result is the ink box of the text with a one-pixel margin. False on failure.
bool RenderText(const std::string& fontPath, const std::string& text, int pixelWidth,
                int pixelHeight, GlyphBitmap* out);

bool MakeFontImage(const std::string& fontPath, Image* out);   // Text.tga
void MakeWallImage(Image* out);
void MakeWoodImage(Image* out, uint64_t seed, double r, double g, double b, int planks);
void MakeBackboardImage(Image* out);
bool MakeEightBallImage(const std::string& fontPath, Image* out);
void MakeCrosshairImage(Image* out);
bool MakePowerImage(const std::string& fontPath, Image* out);

// ---------------------------------------------------------------- meshes

struct Point3 {
    double x, y, z;
};

struct MeshTriangle {
    int vertex[3];          // 0-based, counter-clockwise seen from the front
    double uv[3][2];        // texture coordinate per corner
    int material;           // number written after "usemtl"
};

struct Mesh {
    std::vector<Point3> vertices;
    std::vector<MeshTriangle> triangles;
    // vertex lookup by rounded position and smoothing surface
    std::map<std::tuple<long long, long long, long long, int>, int> lookup;
};

// Returns the index of a vertex at p on the given smoothing surface, reusing an
// equal one: faces share normals only within one surface.
int MeshVertex(Mesh* mesh, Point3 p, int surface);
void MeshTriangleAdd(Mesh* mesh, int a, int b, int c, const double uv[3][2], int material);

// Writes the mesh in the exporter's OBJ dialect the game's loader reads.
bool WriteObj(const std::string& path, const Mesh& mesh, const std::string& objectName);

// Orders a room model for drawing: the material groups whose faces lie least on
// the room's shell (its bounding box), then nearest the eye, first; the shell
// last. Faces keep their order inside a group. Drops the faces on the shell
// that face out of the room, which no eye inside can see.
void OrderMeshForDrawing(Mesh* mesh, Point3 eye);

void MakeBallMesh(Mesh* mesh);
void MakeTableMesh(Mesh* mesh);

// ---------------------------------------------------------------- sounds

enum { kSampleRate = 22050 };

bool WriteWav(const std::string& path, const std::vector<float>& samples, int sampleRate);

std::vector<float> MakeKnockSound();
std::vector<float> MakeRollingSound();
std::vector<float> MakeWinSound(int rank);   // 1 grandest (100 points), 2, 3

// ---------------------------------------------------------------- desktop

// The 128 x 128 icon that desktop menus show for the game, as a PNG file.
bool WriteDesktopIcon(const std::string& path);

// ---------------------------------------------------------------- whole run

// Writes Textures/, Models/, Sound/ and the desktop icon (desktop/balltoss.png)
// under root. False (after a console line) on failure.
bool GenerateAssets(const std::string& root, const std::string& fontPath);
