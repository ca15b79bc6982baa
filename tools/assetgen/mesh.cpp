// mesh.cpp -- triangle meshes, the ball, and writing both models in the
// exporter's OBJ dialect that the game's loader reads.
#include "tools/assetgen/assetgen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

static const double kPi = 3.14159265358979323846;

static long long Quantise(double v)
{
    return std::llround(v * 1.0e6);
}

int MeshVertex(Mesh* mesh, Point3 p, int surface)
{
    auto key = std::make_tuple(Quantise(p.x), Quantise(p.y), Quantise(p.z), surface);
    auto it = mesh->lookup.find(key);
    if (it != mesh->lookup.end()) {
        return it->second;
    }
    mesh->vertices.push_back(p);
    int id = (int)mesh->vertices.size() - 1;
    mesh->lookup[key] = id;
    return id;
}

void MeshTriangleAdd(Mesh* mesh, int a, int b, int c, const double uv[3][2], int material)
{
    MeshTriangle t;
    t.vertex[0] = a;
    t.vertex[1] = b;
    t.vertex[2] = c;
    for (int k = 0; k < 3; ++k) {
        t.uv[k][0] = uv[k][0];
        t.uv[k][1] = uv[k][1];
    }
    t.material = material;
    mesh->triangles.push_back(t);
}

// Numbers as the exporter wrote them: six decimals, never "-0.000000".
static void PutNumber(std::string* line, double v)
{
    char buf[64];
    if (std::fabs(v) < 5.0e-7) {
        v = 0.0;
    }
    std::snprintf(buf, sizeof buf, "%.6f", v);
    *line += buf;
}

static Point3 Sub(Point3 a, Point3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

static Point3 Cross(Point3 a, Point3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Vertex normals as the game computes them: the normalised sum of face normals.
static std::vector<Point3> VertexNormals(const Mesh& mesh)
{
    std::vector<Point3> normals(mesh.vertices.size(), Point3{0.0, 0.0, 0.0});
    for (const MeshTriangle& t : mesh.triangles) {
        Point3 p0 = mesh.vertices[(size_t)t.vertex[0]];
        Point3 n = Cross(Sub(mesh.vertices[(size_t)t.vertex[1]], p0),
                         Sub(mesh.vertices[(size_t)t.vertex[2]], p0));
        double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (len <= 0.0) {
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            Point3& s = normals[(size_t)t.vertex[k]];
            s.x += n.x / len;
            s.y += n.y / len;
            s.z += n.z / len;
        }
    }
    for (Point3& n : normals) {
        double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
        if (len > 0.0) {
            n = {n.x / len, n.y / len, n.z / len};
        }
    }
    return normals;
}

// ---------------------------------------------------------------- drawing order
// The game draws a model's material groups in the order their "usemtl" lines
// first appear and a group's faces in file order. On a renderer without a
// graphics card every fragment that is drawn over later costs its full shading,
// so a room model is written nearest first: what stands between the eye and the
// room's shell (the faces on the planes of the model's bounding box: floor,
// walls, ceiling) is drawn before the shell, whose hidden pixels then fail the
// depth test before they are textured.

struct Bounds {
    Point3 lo, hi;
};

static Bounds MeshBounds(const Mesh& mesh)
{
    Bounds b = {mesh.vertices[0], mesh.vertices[0]};
    for (const Point3& p : mesh.vertices) {
        b.lo = {std::min(b.lo.x, p.x), std::min(b.lo.y, p.y), std::min(b.lo.z, p.z)};
        b.hi = {std::max(b.hi.x, p.x), std::max(b.hi.y, p.y), std::max(b.hi.z, p.z)};
    }
    return b;
}

static double Axis(Point3 p, int axis)
{
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

// The side of the bounding box (0 to 5: low x, high x, low y, ...) that all three
// corners of the triangle lie on, or -1.
static int ShellSide(const Mesh& mesh, const MeshTriangle& t, const Bounds& b)
{
    const double eps = 1.0e-6;
    for (int side = 0; side < 6; ++side) {
        int axis = side / 2;
        double plane = side % 2 ? Axis(b.hi, axis) : Axis(b.lo, axis);
        bool on = true;
        for (int k = 0; k < 3; ++k)
            on = on && std::fabs(Axis(mesh.vertices[(size_t)t.vertex[k]], axis) - plane) < eps;
        if (on)
            return side;
    }
    return -1;
}

static Point3 FaceNormal(const Mesh& mesh, const MeshTriangle& t)
{
    Point3 p0 = mesh.vertices[(size_t)t.vertex[0]];
    return Cross(Sub(mesh.vertices[(size_t)t.vertex[1]], p0),
                 Sub(mesh.vertices[(size_t)t.vertex[2]], p0));
}

// A face lying on the shell and facing out of the room shows only its back to
// an eye inside: nobody can see it (the back of a block standing on the floor
// or against a wall), and a ball cannot reach it without passing the shell.
static bool FacesOutOfRoom(const Mesh& mesh, const MeshTriangle& t, int side)
{
    double n = Axis(FaceNormal(mesh, t), side / 2);
    return side % 2 ? n > 0.0 : n < 0.0;
}

static double Distance(Point3 a, Point3 b)
{
    Point3 d = Sub(a, b);
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

static Point3 Centroid(const Mesh& mesh, const MeshTriangle& t)
{
    Point3 c = {0.0, 0.0, 0.0};
    for (int k = 0; k < 3; ++k) {
        const Point3& p = mesh.vertices[(size_t)t.vertex[k]];
        c = {c.x + p.x / 3.0, c.y + p.y / 3.0, c.z + p.z / 3.0};
    }
    return c;
}

static double Area(const Mesh& mesh, const MeshTriangle& t)
{
    Point3 n = FaceNormal(mesh, t);
    return 0.5 * std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
}

// Per material: the share of its area on the shell, then its mean distance
// from the eye; the groups are drawn in ascending order of both.
static std::map<int, int> GroupRanks(const Mesh& mesh, const std::vector<int>& sides, Point3 eye)
{
    std::map<int, std::tuple<double, double, double, size_t>> sums; // shell area, area, distance, faces
    for (size_t i = 0; i < mesh.triangles.size(); ++i) {
        const MeshTriangle& t = mesh.triangles[i];
        auto& s = sums[t.material];
        double area = Area(mesh, t);
        std::get<0>(s) += sides[i] >= 0 ? area : 0.0;
        std::get<1>(s) += area;
        std::get<2>(s) += Distance(Centroid(mesh, t), eye);
        std::get<3>(s) += 1;
    }
    std::vector<std::tuple<double, double, int>> keys;
    for (const auto& m : sums) {
        double area = std::get<1>(m.second);
        double shell = area > 0.0 ? std::get<0>(m.second) / area : 0.0;
        keys.emplace_back(shell, std::get<2>(m.second) / (double)std::get<3>(m.second), m.first);
    }
    std::sort(keys.begin(), keys.end());
    std::map<int, int> ranks;
    for (size_t r = 0; r < keys.size(); ++r)
        ranks[std::get<2>(keys[r])] = (int)r;
    return ranks;
}

void OrderMeshForDrawing(Mesh* mesh, Point3 eye)
{
    if (mesh->vertices.empty())
        return;
    Bounds bounds = MeshBounds(*mesh);
    std::vector<int> sides;
    std::vector<MeshTriangle> kept;
    for (const MeshTriangle& t : mesh->triangles) {
        int side = ShellSide(*mesh, t, bounds);
        if (side >= 0 && FacesOutOfRoom(*mesh, t, side))
            continue;
        kept.push_back(t);
        sides.push_back(side);
    }
    mesh->triangles = kept;
    // Inside a group the faces keep the order they were made in: the collision
    // tree takes the groups by material number, so it sees the faces exactly as
    // an unordered model would give them and play does not change.
    std::map<int, int> groupRanks = GroupRanks(*mesh, sides, eye);
    std::stable_sort(mesh->triangles.begin(), mesh->triangles.end(),
                     [&](const MeshTriangle& a, const MeshTriangle& b) {
                         return groupRanks[a.material] < groupRanks[b.material];
                     });
}

bool WriteObj(const std::string& path, const Mesh& mesh, const std::string& objectName)
{
    // Groups in the order of their materials' first faces: the order the game draws them.
    std::vector<std::pair<int, std::vector<size_t>>> byMaterial;
    std::map<int, size_t> groupOf;
    for (size_t i = 0; i < mesh.triangles.size(); ++i) {
        int material = mesh.triangles[i].material;
        if (!groupOf.count(material)) {
            groupOf[material] = byMaterial.size();
            byMaterial.push_back({material, {}});
        }
        byMaterial[groupOf[material]].second.push_back(i);
    }
    std::string text;
    text += "# Max2Obj Version 4.0 Mar 10th, 2001\n";
    text += "#\n";
    text += "# object " + objectName + " to come ...\n";
    text += "#\n";
    text += "# Vertices: " + std::to_string(mesh.vertices.size()) + "\n";
    text += "# Faces: " + std::to_string(mesh.triangles.size()) + "\n";
    text += "# Materials: " + std::to_string(byMaterial.size()) + "\n";
    text += "#\n";
    text += "g " + objectName + "\n";
    for (const Point3& p : mesh.vertices) {
        std::string line = "v ";
        PutNumber(&line, p.x);
        line += " ";
        PutNumber(&line, p.y);
        line += " ";
        PutNumber(&line, p.z);
        text += line + "\n";
    }
    text += "# " + std::to_string(mesh.vertices.size()) + " vertices\n";
    std::vector<Point3> normals = VertexNormals(mesh);
    for (const Point3& n : normals) {
        std::string line = "vn ";
        PutNumber(&line, n.x);
        line += " ";
        PutNumber(&line, n.y);
        line += " ";
        PutNumber(&line, n.z);
        text += line + "\n";
    }
    text += "# " + std::to_string(normals.size()) + " vertex normals\n";
    text += "#\n";
    text += "#\t               Face list\n";
    text += "#\n";
    size_t face = 0;
    for (const auto& group : byMaterial) {
        text += "usemtl " + std::to_string(group.first) + "\n";
        text += "s 1\n";
        for (size_t i : group.second) {
            const MeshTriangle& t = mesh.triangles[i];
            // the loader gives the first of three texture lines to the third corner
            for (int k = 2; k >= 0; --k) {
                std::string line = "vt ";
                PutNumber(&line, t.uv[k][0]);
                line += " ";
                PutNumber(&line, t.uv[k][1]);
                text += line + "\n";
            }
            std::string line = "f";
            for (int k = 0; k < 3; ++k) {
                int v = t.vertex[k] + 1;
                size_t vt = 3 * face + (size_t)(3 - k);
                line += " " + std::to_string(v) + "/" + std::to_string(vt) + "/" +
                        std::to_string(v);
            }
            text += line + "\n";
            ++face;
        }
    }
    text += "# " + std::to_string(mesh.triangles.size()) + " faces\n";
    text += "\n";
    text += "g\n";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        std::printf("assetgen: cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

// UV sphere of radius 0.17. Texture coordinates belong to the face corners, so
// the seam needs no second column of vertices: the faces on its last column
// simply use u = 1, and the shading stays smooth across it.
void MakeBallMesh(Mesh* mesh)
{
    const double radius = 0.17;
    const int stacks = 12, slices = 24;
    auto at = [&](int i, int j) -> int {
        double theta = kPi * i / stacks - kPi / 2.0;
        double phi = 2.0 * kPi * (j % slices) / slices;
        if (i == 0) {
            return MeshVertex(mesh, {0.0, -radius, 0.0}, 0);
        }
        if (i == stacks) {
            return MeshVertex(mesh, {0.0, radius, 0.0}, 0);
        }
        return MeshVertex(mesh,
                          {radius * std::cos(theta) * std::sin(phi), radius * std::sin(theta),
                           radius * std::cos(theta) * std::cos(phi)},
                          0);
    };
    for (int i = 0; i < stacks; ++i) {
        for (int j = 0; j < slices; ++j) {
            double u0 = (double)j / slices, u1 = (double)(j + 1) / slices;
            double v0 = (double)i / stacks, v1 = (double)(i + 1) / stacks;
            int a = at(i, j), b = at(i, j + 1), c = at(i + 1, j + 1), d = at(i + 1, j);
            double um = (u0 + u1) / 2.0;
            if (i == 0) {
                double uv[3][2] = {{um, v0}, {u1, v1}, {u0, v1}};
                MeshTriangleAdd(mesh, a, c, d, uv, 1);
            } else if (i == stacks - 1) {
                double uv[3][2] = {{u0, v0}, {u1, v0}, {um, v1}};
                MeshTriangleAdd(mesh, a, b, c, uv, 1);
            } else {
                double uv1[3][2] = {{u0, v0}, {u1, v0}, {u1, v1}};
                double uv2[3][2] = {{u0, v0}, {u1, v1}, {u0, v1}};
                MeshTriangleAdd(mesh, a, b, c, uv1, 1);
                MeshTriangleAdd(mesh, a, c, d, uv2, 1);
            }
        }
    }
}
