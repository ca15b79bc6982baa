// math_test.cpp -- the vector, matrix and view-frame operations where a slip
// would show in the game: zero lengths, aliasing and the view rotations.
#include "math/vecmath.h"

#include <cmath>
#include <gtest/gtest.h>

static const float kHalfPi = 1.5707963267948966f;

static void ExpectVec(Vec3 v, float x, float y, float z, float tolerance = 1e-6f)
{
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

TEST(Vectors, ZeroLengthReadsOneSoNormalisingNeverDividesByZero)
{
    Vec3 zero = {0.0f, 0.0f, 0.0f};
    EXPECT_EQ(Vec3Length(zero), 1.0f);
    Vec3Normalize(&zero);
    ExpectVec(zero, 0.0f, 0.0f, 0.0f, 0.0f);
    // A tiny but non-zero vector is divided by its own length.
    Vec3 tiny = {1e-20f, 0.0f, 0.0f};
    Vec3Normalize(&tiny);
    EXPECT_NEAR(tiny.x, 1.0f, 1e-6f);
    // The zero vector is perpendicular to anything: the dot 0 over a length of 1.
    EXPECT_NEAR(VectorAngle(Vec3{0, 0, 0}, Vec3{3, 4, 0}), kHalfPi, 1e-6f);
}

TEST(Vectors, TriangleNormals)
{
    const Vec3 flat[3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    ExpectVec(TriangleNormal(flat), 0.0f, 0.0f, 1.0f);
    const Vec3 clockwise[3] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}};
    ExpectVec(TriangleNormal(clockwise), 0.0f, 0.0f, -1.0f);
    const Vec3 collinear[3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
    ExpectVec(TriangleNormal(collinear), 0.0f, 0.0f, 0.0f, 0.0f);
    const Vec3 coincident[3] = {{5, 5, 5}, {5, 5, 5}, {5, 5, 5}};
    ExpectVec(TriangleNormal(coincident), 0.0f, 0.0f, 0.0f, 0.0f);
}

TEST(Vectors, ArithmeticIsFormedInDoubleAndRoundedOnce)
{
    // 1e8 + 1 - 1e8 in float loses the 1; formed in double it survives.
    EXPECT_EQ(Vec3Dot(Vec3{1e8f, 1.0f, -1e8f}, Vec3{1.0f, 1.0f, 1.0f}), 1.0f);
    EXPECT_EQ(Vec3NegDot(Vec3{1, 2, 3}, Vec3{4, 5, 6}), -32.0f);
    ExpectVec(Vec3Mul(Vec3{1, 2, 3}, Vec3{4, 5, 6}), 4, 10, 18);
    ExpectVec(Vec3Div(Vec3{4, 10, 18}, Vec3{4, 5, 6}), 1, 2, 3);
    EXPECT_FLOAT_EQ(PointDistance(Vec3{1, 2, 3}, Vec3{4, 6, 3}), 5.0f);
}

TEST(Matrices, MultiplyIsRowsOfTheFirstByColumnsOfTheSecondAndMayTakeOneMatrixTwice)
{
    // A translation by (1, 2, 3) times a scale by (2, 3, 4): the scale also
    // scales the move, to (2, 6, 12).
    Mat4 a, b;
    Mat4Identity(&a);
    a.m[12] = 1.0f, a.m[13] = 2.0f, a.m[14] = 3.0f;
    Mat4Identity(&b);
    b.m[0] = 2.0f, b.m[5] = 3.0f, b.m[10] = 4.0f;
    Mat4Multiply(&a, &b);
    const float product[16] = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 2, 6, 12, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(a.m[i], product[i]) << "element " << i;
    // Swapping x and y twice is the identity, not a half-overwritten mix.
    Mat4 swap = {{0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    Mat4Multiply(&swap, &swap);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(swap.m[i], i % 5 == 0 ? 1.0f : 0.0f) << "element " << i;
}

TEST(Matrices, AxesLeaveTheFourthRowAlone)
{
    Mat4 m;
    Mat4Identity(&m);
    Mat4SetAxes(&m, Vec3{1, 2, 3}, Vec3{4, 5, 6}, Vec3{7, 8, 9}, Vec3{10, 11, 12});
    const float stored[16] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(m.m[i], stored[i]) << "element " << i;

    Mat4x3 axes;
    Mat4GetAxes(&axes, &m);
    ExpectVec(axes.yAxis, 4, 5, 6);
    ExpectVec(axes.position, 10, 11, 12);
    // A rigid transform: rotate a quarter turn about y and move.
    Mat4SetAxes(&m, Vec3{0, 0, -1}, Vec3{0, 1, 0}, Vec3{1, 0, 0}, Vec3{1, 2, 3});
    ExpectVec(Mat4TransformPoint(&m, Vec3{1, 0, 0}), 1, 2, 2);
}

struct Frame {
    Vec3 forward, right, up;
};

static const Frame kStartFrame = {{0, 0, -1}, {1, 0, 0}, {0, 1, 0}};

TEST(ViewFrame, PitchUpAQuarterTurnLooksStraightUpAndYawAQuarterTurnLooksLeft)
{
    Frame f = kStartFrame;
    PitchView(&f.forward, &f.right, &f.up, kHalfPi);
    ExpectVec(f.forward, 0, 1, 0);
    ExpectVec(f.up, 0, 0, 1);
    ExpectVec(f.right, 1, 0, 0);
    f = kStartFrame;
    YawView(&f.forward, &f.right, &f.up, kHalfPi);
    ExpectVec(f.forward, -1, 0, 0);
    ExpectVec(f.right, 0, 0, -1);
    ExpectVec(f.up, 0, 1, 0);
}

TEST(ViewFrame, RollTurnsRightTowardsUpAndTheLevellingRollUndoesIt)
{
    Frame f = kStartFrame;
    RollView(&f.forward, &f.right, &f.up, 0.3f);
    EXPECT_GT(f.right.y, 0.0f);
    ExpectVec(f.forward, 0, 0, -1);
    // The game rolls by minus right.y every pass; repeated, the horizon levels.
    for (int i = 0; i < 50; ++i)
        RollView(&f.forward, &f.right, &f.up, -f.right.y);
    EXPECT_NEAR(f.right.y, 0.0f, 1e-5f);
    EXPECT_NEAR(f.up.y, 1.0f, 1e-5f);
}

TEST(ViewFrame, ManySmallTurnsKeepTheFrameOrthonormal)
{
    Frame f = kStartFrame;
    for (int i = 0; i < 10000; ++i) {
        PitchView(&f.forward, &f.right, &f.up, 0.013f * (float)((i % 7) - 3));
        YawView(&f.forward, &f.right, &f.up, 0.021f);
        RollView(&f.forward, &f.right, &f.up, -f.right.y);
    }
    const Vec3 axes[3] = {f.forward, f.right, f.up};
    for (int a = 0; a < 3; ++a)
        for (int b = a; b < 3; ++b)
            EXPECT_NEAR(Vec3Dot(axes[a], axes[b]), a == b ? 1.0f : 0.0f, 1e-3f) << a << b;
}
