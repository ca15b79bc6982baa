// vecmath.h -- three-component vectors, 4x4 matrices and the view-frame rotations.
// Storage is float32; sums and products inside one operation are formed in double
// and rounded to float32 when stored or returned.
#pragma once

struct Vec3 {
    float x, y, z;
};

// 16 floats in the order OpenGL and the physics layer share: element 4c + r is
// row r of column c; 0-2, 4-6, 8-10 are the axes, 12-14 the position.
struct Mat4 {
    float m[16];
};

// The axes and position of a Mat4, without the fourth row.
struct Mat4x3 {
    Vec3 xAxis, yAxis, zAxis, position;
};

Vec3 Vec3Add(Vec3 a, Vec3 b);
Vec3 Vec3Sub(Vec3 a, Vec3 b);
Vec3 Vec3Mul(Vec3 a, Vec3 b);            // component-wise product
Vec3 Vec3Scale(Vec3 a, float s);
Vec3 Vec3Div(Vec3 a, Vec3 b);            // component-wise quotient, no zero guard
Vec3 Vec3DivScalar(Vec3 a, float s);     // no zero guard
float Vec3Dot(Vec3 a, Vec3 b);
float Vec3NegDot(Vec3 a, Vec3 b);
Vec3 Vec3Cross(Vec3 a, Vec3 b);
float Vec3Length(Vec3 a);                // an exact zero length reads 1.0
void Vec3Normalize(Vec3* v);             // in place; the zero vector stays zero
Vec3 TriangleNormal(const Vec3 corners[3]); // unit normal of (p2-p1) x (p3-p1)
float PointDistance(Vec3 a, Vec3 b);
float VectorAngle(Vec3 a, Vec3 b);       // radians, cosine not clamped

void Mat4Identity(Mat4* m);
void Mat4Multiply(Mat4* a, const Mat4* b); // a := a * b; b may be a
Vec3 Mat4TransformPoint(const Mat4* m, Vec3 p);
void Mat4SetAxes(Mat4* m, Vec3 xAxis, Vec3 yAxis, Vec3 zAxis, Vec3 position);
void Mat4GetAxes(Mat4x3* out, const Mat4* m);
Vec3 Mat4Position(const Mat4* m);        // elements 12-14

// In-place rotations of a view frame (forward, right, up: unit vectors,
// right-handed) by an angle in radians.
void PitchView(Vec3* forward, Vec3* right, Vec3* up, float angle); // forward towards up
void YawView(Vec3* forward, Vec3* right, Vec3* up, float angle);   // forward away from right
void RollView(Vec3* forward, Vec3* right, Vec3* up, float angle);  // right towards up
