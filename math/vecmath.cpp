// vecmath.cpp -- vector, matrix and view-frame operations.
#include "math/vecmath.h"

#include <cmath>

static Vec3 MakeVec3(double x, double y, double z)
{
    return Vec3{(float)x, (float)y, (float)z};
}

Vec3 Vec3Add(Vec3 a, Vec3 b) { return MakeVec3((double)a.x + b.x, (double)a.y + b.y, (double)a.z + b.z); }
Vec3 Vec3Sub(Vec3 a, Vec3 b) { return MakeVec3((double)a.x - b.x, (double)a.y - b.y, (double)a.z - b.z); }
Vec3 Vec3Mul(Vec3 a, Vec3 b) { return MakeVec3((double)a.x * b.x, (double)a.y * b.y, (double)a.z * b.z); }
Vec3 Vec3Scale(Vec3 a, float s) { return MakeVec3((double)a.x * s, (double)a.y * s, (double)a.z * s); }
Vec3 Vec3Div(Vec3 a, Vec3 b) { return MakeVec3((double)a.x / b.x, (double)a.y / b.y, (double)a.z / b.z); }
Vec3 Vec3DivScalar(Vec3 a, float s) { return MakeVec3((double)a.x / s, (double)a.y / s, (double)a.z / s); }

float Vec3Dot(Vec3 a, Vec3 b)
{
    return (float)((double)a.x * b.x + (double)a.y * b.y + (double)a.z * b.z);
}

float Vec3NegDot(Vec3 a, Vec3 b)
{
    return (float)-((double)a.x * b.x + (double)a.y * b.y + (double)a.z * b.z);
}

Vec3 Vec3Cross(Vec3 a, Vec3 b)
{
    return MakeVec3((double)a.y * b.z - (double)a.z * b.y,
                    (double)a.z * b.x - (double)a.x * b.z,
                    (double)a.x * b.y - (double)a.y * b.x);
}

float Vec3Length(Vec3 a)
{
    float length = (float)std::sqrt((double)a.x * a.x + (double)a.y * a.y + (double)a.z * a.z);
    // A zero length reads as 1 so that normalising never divides by zero.
    return length == 0.0f ? 1.0f : length;
}

void Vec3Normalize(Vec3* v)
{
    *v = Vec3DivScalar(*v, Vec3Length(*v));
}

Vec3 TriangleNormal(const Vec3 corners[3])
{
    Vec3 n = Vec3Cross(Vec3Sub(corners[1], corners[0]), Vec3Sub(corners[2], corners[0]));
    Vec3Normalize(&n);
    return n;
}

float PointDistance(Vec3 a, Vec3 b)
{
    double dx = (double)b.x - a.x, dy = (double)b.y - a.y, dz = (double)b.z - a.z;
    return (float)std::sqrt(std::pow(dx, 2.0) + std::pow(dy, 2.0) + std::pow(dz, 2.0));
}

float VectorAngle(Vec3 a, Vec3 b)
{
    double lengths = (double)Vec3Length(b) * Vec3Length(a);
    return (float)std::acos((double)Vec3Dot(a, b) / lengths);
}

void Mat4Identity(Mat4* m)
{
    for (int i = 0; i < 16; ++i)
        m->m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void Mat4Multiply(Mat4* a, const Mat4* b)
{
    // Built in a temporary so that b may be the same matrix as a.
    float r[16];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += (double)a->m[4 * i + k] * b->m[4 * k + j];
            r[4 * i + j] = (float)sum;
        }
    }
    for (int i = 0; i < 16; ++i)
        a->m[i] = r[i];
}

Vec3 Mat4TransformPoint(const Mat4* m, Vec3 p)
{
    const float* e = m->m;
    return MakeVec3((double)e[0] * p.x + (double)e[4] * p.y + (double)e[8] * p.z + e[12],
                    (double)e[1] * p.x + (double)e[5] * p.y + (double)e[9] * p.z + e[13],
                    (double)e[2] * p.x + (double)e[6] * p.y + (double)e[10] * p.z + e[14]);
}

void Mat4SetAxes(Mat4* m, Vec3 xAxis, Vec3 yAxis, Vec3 zAxis, Vec3 position)
{
    const Vec3 rows[4] = {xAxis, yAxis, zAxis, position};
    for (int r = 0; r < 4; ++r) {
        m->m[4 * r + 0] = rows[r].x;
        m->m[4 * r + 1] = rows[r].y;
        m->m[4 * r + 2] = rows[r].z;
    }
}

void Mat4GetAxes(Mat4x3* out, const Mat4* m)
{
    Vec3* rows[4] = {&out->xAxis, &out->yAxis, &out->zAxis, &out->position};
    for (int r = 0; r < 4; ++r)
        *rows[r] = Vec3{m->m[4 * r + 0], m->m[4 * r + 1], m->m[4 * r + 2]};
}

Vec3 Mat4Position(const Mat4* m)
{
    return Vec3{m->m[12], m->m[13], m->m[14]};
}

// Turns a towards b by the angle: normalise(c a + s b).
static Vec3 TurnTowards(Vec3 a, Vec3 b, float angle)
{
    double c = std::cos(angle), s = std::sin(angle);
    Vec3 turned = MakeVec3(c * a.x + s * b.x, c * a.y + s * b.y, c * a.z + s * b.z);
    Vec3Normalize(&turned);
    return turned;
}

static Vec3 Negate(Vec3 v) { return Vec3{-v.x, -v.y, -v.z}; }

void PitchView(Vec3* forward, Vec3* right, Vec3* up, float angle)
{
    *forward = TurnTowards(*forward, *up, angle);
    *up = Negate(Vec3Cross(*forward, *right));
}

void YawView(Vec3* forward, Vec3* right, Vec3* up, float angle)
{
    *forward = TurnTowards(*forward, Negate(*right), angle);
    *right = Vec3Cross(*forward, *up);
}

void RollView(Vec3* forward, Vec3* right, Vec3* up, float angle)
{
    *right = TurnTowards(*right, *up, angle);
    *up = Negate(Vec3Cross(*forward, *right));
}
