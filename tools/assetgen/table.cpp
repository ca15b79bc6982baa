// table.cpp -- the game's whole static world: the room and the ball-toss table.
//
// The player stands at z = 5 looking down -z. In front of him the balls wait in a
// trough at z = 3.4; from it a gripping lane rises away from him into a steeper
// target board with six holes (two 10s, two 25s and, in the top corners, two small
// 100s). Behind the board a tall cabinet carries the backboard and hides the
// return box where a scoring ball reappears; the box drains into a covered channel
// along the right side that runs back down into the trough.
// Every face a ball can land on slopes towards the trough or off the table, so a
// ball comes to rest only in the trough or on the floor, and the room is closed.
#include "tools/assetgen/assetgen.h"

#include <algorithm>
#include <cmath>

static const double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------- materials
// Numbers after "usemtl"; the table is loaded with texture base 1, so material n
// shows texture-table entry 1 + n and collides with face attribute 1 + n.
enum {
    kMatWall = 1,      // Wall.tga
    kMatLane = 3,      // Wood2.tga, the rough gripping face
    kMatWood = 4,      // Wood1.tga
    kMatBackboard = 7, // backboard.tga
    kMatHole100 = 8,
    kMatHole25 = 9,
    kMatHole10 = 10,
};

// ---------------------------------------------------------------- layout
// A ball at rest only starts rolling again on a slope of about 10 degrees or more
// (the rolling-resistance joint kills slow spin), so every face a ball could stop
// on, other than the tray and the floor, slopes at least 12.5 degrees.
namespace layout {
// room
const double roomMinX = -5.0, roomMaxX = 5.0;
const double roomMinZ = -12.5, roomMaxZ = 7.5;
const double ceiling = 8.0;
// table columns across x
const double leftRailOut = -1.3, leftRailIn = -1.1;   // left rail
const double laneMinX = -1.1, laneMaxX = 1.1;         // lane and target board
const double dividerIn = 1.1, dividerOut = 1.3;       // rail between lane and channel
const double channelMinX = 1.3, channelMaxX = 1.8;    // covered return channel
const double outerX = 2.0;                            // outer face of the channel
// along z
const double frontZ = 3.85;        // front face of the table
const double trayWallZ = 3.75;     // inner face of the tray's front wall
const double laneStartZ = 3.16;    // lane and channel end over the tray's back face
const double boardStartZ = -1.0;   // lane turns into the steeper target board
const double cabinetZ = -4.0;      // board meets the backboard, the cabinet's front
const double backZ = -9.6;         // back of the cabinet
// heights and slopes
const double laneStartY = 0.60, channelEndY = 0.64;
const double laneSlope = 0.22169;  // tan 12.5 degrees
const double boardSlope = 0.46631; // tan 25 degrees
// tray floor: y = trayFloorY + trayTiltX * |x - trayLowX| + trayTiltZ * (z - laneStartZ):
// a shallow valley across the table, off the balls' column, rising 10 degrees
// towards the player, so the balls line up along the tray's back
const double trayLowX = 0.25, trayFloorY = 0.40, trayTiltX = 0.14, trayTiltZ = 0.18;
const double trayWallHeight = 0.38, frontTopY = 0.95;
const double trayRailTop = 1.2, rightRailTop = 1.45;
const double cabinetFrontTop = 4.6, cabinetBackTop = 3.1;
const double hiddenY = 1.0;        // faces start this low where the table hides them
// return box around the return point (0, 2.332, -8.936), inside the cabinet:
// floor y = boxFloorY - boxSlopeX * x - boxSlopeZ * (z - returnZ)
const double returnZ = -8.936;
const double boxMinX = -0.4, boxFrontZ = -8.55, boxBackZ = -9.3, boxCeilingY = 2.95, boxWallBottom = 1.4;
const double boxFloorY = 2.10, boxSlopeX = 0.25, boxSlopeZ = 0.22;
// the return channel's floor: a steep start, then an even run to the tray
const double channelHeadZ = -7.55, channelHeadY = 1.33, channelTopY = 1.55;
const double channelHeight = 0.5, roofInner = 0.85, roofOuter = 0.6;
const double railRise = 0.4, railGable = 0.05;
const double pocketDepth = 0.3;
} // namespace layout

static double LaneY(double z)
{
    using namespace layout;
    if (z >= boardStartZ) {
        return laneStartY + (laneStartZ - z) * laneSlope;
    }
    return laneStartY + (laneStartZ - boardStartZ) * laneSlope + (boardStartZ - z) * boardSlope;
}

// The tray lies below the lane's end, one ball deep. Its floor is a shallow valley
// whose low point is beside the balls' column, so the dropped balls roll aside and
// line up along its back instead of stacking; its back is low enough that a ball
// landing on top of the row rolls off onto the lane and back down into a gap, and
// the row sits far enough behind the front wall to stay in view from the eye.
static double TrayY(double x, double z)
{
    using namespace layout;
    return trayFloorY + trayTiltX * std::fabs(x - trayLowX) + trayTiltZ * (z - laneStartZ);
}

// Height of the tray's back edge, where the lane, divider and channel end.
static double TrayBackY(double x)
{
    using namespace layout;
    if (x <= laneMaxX) {
        return laneStartY;
    }
    if (x >= channelMinX) {
        return channelEndY;
    }
    return laneStartY + (x - laneMaxX) * (channelEndY - laneStartY) / (channelMinX - laneMaxX);
}

// Floor of the return channel.
static double ChannelY(double z)
{
    using namespace layout;
    if (z <= channelHeadZ) {
        return channelTopY + (z - boxFrontZ) * (channelTopY - channelHeadY) / (boxFrontZ - channelHeadZ);
    }
    return channelHeadY + (z - channelHeadZ) * (channelEndY - channelHeadY) / (laneStartZ - channelHeadZ);
}

// Top of the channel's roof, highest against the divider, falling outwards.
static double RoofY(double x, double z)
{
    using namespace layout;
    double t = (x - channelMinX) / (outerX - channelMinX);
    return ChannelY(z) + roofInner + (roofOuter - roofInner) * t;
}

static double BoxFloorY(double x, double z)
{
    using namespace layout;
    return boxFloorY - boxSlopeX * x - boxSlopeZ * (z - returnZ);
}

// ---------------------------------------------------------------- building

struct Builder {
    Mesh* mesh;
    int nextSurface;
};

static int NewSurface(Builder* b)
{
    return b->nextSurface++;
}

static Point3 P(double x, double y, double z)
{
    return {x, y, z};
}

static Point3 Lerp(Point3 a, Point3 b, double t)
{
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

static Point3 NewellNormal(const std::vector<Point3>& pts)
{
    Point3 n = {0.0, 0.0, 0.0};
    for (size_t i = 0; i < pts.size(); ++i) {
        const Point3& a = pts[i];
        const Point3& c = pts[(i + 1) % pts.size()];
        n.x += (a.y - c.y) * (a.z + c.z);
        n.y += (a.z - c.z) * (a.x + c.x);
        n.z += (a.x - c.x) * (a.y + c.y);
    }
    return n;
}

// Planar world-space mapping on the face's dominant axis, `scale` units per repeat.
static void PlanarUv(Point3 p, Point3 n, double scale, double uv[2])
{
    double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    if (ay >= ax && ay >= az) {
        uv[0] = p.x / scale;
        uv[1] = -p.z / scale;
    } else if (ax >= az) {
        uv[0] = (n.x > 0.0 ? -p.z : p.z) / scale;
        uv[1] = p.y / scale;
    } else {
        uv[0] = (n.z > 0.0 ? p.x : -p.x) / scale;
        uv[1] = p.y / scale;
    }
}

static double TexScale(int material)
{
    switch (material) {
    case kMatWall: return 4.0;
    case kMatLane: return 2.2;
    case kMatBackboard: return 1.1;
    default: return 2.0;
    }
}

// A convex planar polygon, turned to face `facing`, as a fan of triangles.
static void Polygon(Builder* b, std::vector<Point3> pts, Point3 facing, int material,
                    int surface, double scale)
{
    Point3 n = NewellNormal(pts);
    if (n.x * facing.x + n.y * facing.y + n.z * facing.z < 0.0) {
        std::reverse(pts.begin(), pts.end());
        n = {-n.x, -n.y, -n.z};
    }
    std::vector<int> ids;
    for (const Point3& p : pts) {
        ids.push_back(MeshVertex(b->mesh, p, surface));
    }
    for (size_t i = 1; i + 1 < pts.size(); ++i) {
        double uv[3][2];
        PlanarUv(pts[0], n, scale, uv[0]);
        PlanarUv(pts[i], n, scale, uv[1]);
        PlanarUv(pts[i + 1], n, scale, uv[2]);
        MeshTriangleAdd(b->mesh, ids[0], ids[i], ids[i + 1], uv, material);
    }
}

// A planar quad split into cells no longer than `cell` on a side, so per-vertex
// lighting has enough vertices to follow the light.
static void GridQuad(Builder* b, Point3 p00, Point3 p10, Point3 p11, Point3 p01, double cell,
                     Point3 facing, int material, int surface)
{
    double lu = std::sqrt((p10.x - p00.x) * (p10.x - p00.x) + (p10.y - p00.y) * (p10.y - p00.y) +
                          (p10.z - p00.z) * (p10.z - p00.z));
    double lv = std::sqrt((p01.x - p00.x) * (p01.x - p00.x) + (p01.y - p00.y) * (p01.y - p00.y) +
                          (p01.z - p00.z) * (p01.z - p00.z));
    int nu = std::max(1, (int)std::ceil(lu / cell - 1e-9));
    int nv = std::max(1, (int)std::ceil(lv / cell - 1e-9));
    double scale = TexScale(material);
    for (int j = 0; j < nv; ++j) {
        for (int i = 0; i < nu; ++i) {
            auto at = [&](int a, int c) {
                return Lerp(Lerp(p00, p10, (double)a / nu), Lerp(p01, p11, (double)a / nu),
                            (double)c / nv);
            };
            Polygon(b, {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}, facing, material,
                    surface, scale);
        }
    }
}

static void Quad(Builder* b, Point3 p00, Point3 p10, Point3 p11, Point3 p01, Point3 facing,
                 int material)
{
    GridQuad(b, p00, p10, p11, p01, 1.5, facing, material, NewSurface(b));
}

static const Point3 kUp = {0, 1, 0}, kDown = {0, -1, 0};
static const Point3 kPosX = {1, 0, 0}, kNegX = {-1, 0, 0};
static const Point3 kPosZ = {0, 0, 1}, kNegZ = {0, 0, -1};

// ---------------------------------------------------------------- room

static void BuildRoom(Builder* b)
{
    using namespace layout;
    const double x0 = roomMinX, x1 = roomMaxX, z0 = roomMinZ, z1 = roomMaxZ, h = ceiling;
    GridQuad(b, P(x0, 0, z1), P(x1, 0, z1), P(x1, 0, z0), P(x0, 0, z0), 1.0, kUp, kMatWood,
             NewSurface(b));
    GridQuad(b, P(x0, h, z1), P(x1, h, z1), P(x1, h, z0), P(x0, h, z0), 2.5, kDown, kMatWall,
             NewSurface(b));
    GridQuad(b, P(x0, 0, z0), P(x1, 0, z0), P(x1, h, z0), P(x0, h, z0), 2.0, kPosZ, kMatWall,
             NewSurface(b));
    GridQuad(b, P(x1, 0, z1), P(x0, 0, z1), P(x0, h, z1), P(x1, h, z1), 2.0, kNegZ, kMatWall,
             NewSurface(b));
    GridQuad(b, P(x0, 0, z1), P(x0, 0, z0), P(x0, h, z0), P(x0, h, z1), 2.0, kPosX, kMatWall,
             NewSurface(b));
    GridQuad(b, P(x1, 0, z0), P(x1, 0, z1), P(x1, h, z1), P(x1, h, z0), 2.0, kNegX, kMatWall,
             NewSurface(b));
}

// ---------------------------------------------------------------- rails

// A rail standing on the floor from zFront back to zBack, its top following
// topAt(z) with a ridge along the middle so no ball can rest on it.
template <typename TopFn>
static void BuildRail(Builder* b, double x0, double x1, double zFront, double zBack,
                      std::vector<double> breaks, TopFn topAt)
{
    using namespace layout;
    breaks.push_back(zFront);
    breaks.push_back(zBack);
    std::sort(breaks.begin(), breaks.end(), [](double a, double c) { return a > c; });
    std::vector<double> zs;
    for (size_t k = 0; k + 1 < breaks.size(); ++k) {
        double a = breaks[k], c = breaks[k + 1];
        if (a > zFront || c < zBack || a - c < 1e-9) {
            continue;
        }
        int n = std::max(1, (int)std::ceil((a - c) / 1.5));
        for (int i = 0; i < n; ++i) {
            zs.push_back(a + (c - a) * i / n);
        }
    }
    zs.push_back(zBack);
    double xm = (x0 + x1) / 2.0;
    int left = NewSurface(b), right = NewSurface(b), topL = NewSurface(b), topR = NewSurface(b);
    for (size_t k = 0; k + 1 < zs.size(); ++k) {
        double za = zs[k], zc = zs[k + 1];
        double ta = topAt(za), tc = topAt(zc);
        Polygon(b, {P(x0, 0, za), P(x0, 0, zc), P(x0, tc, zc), P(x0, ta, za)}, kNegX, kMatWood,
                left, TexScale(kMatWood));
        Polygon(b, {P(x1, 0, za), P(x1, 0, zc), P(x1, tc, zc), P(x1, ta, za)}, kPosX, kMatWood,
                right, TexScale(kMatWood));
        Polygon(b, {P(x0, ta, za), P(x0, tc, zc), P(xm, tc + railGable, zc), P(xm, ta + railGable, za)},
                {-0.45, 1, 0}, kMatWood, topL, TexScale(kMatWood));
        Polygon(b, {P(xm, ta + railGable, za), P(xm, tc + railGable, zc), P(x1, tc, zc), P(x1, ta, za)},
                {0.45, 1, 0}, kMatWood, topR, TexScale(kMatWood));
    }
    double t = topAt(zFront);
    Polygon(b, {P(x0, 0, zFront), P(x1, 0, zFront), P(x1, t, zFront), P(xm, t + railGable, zFront),
                P(x0, t, zFront)},
            kPosZ, kMatWood, NewSurface(b), TexScale(kMatWood));
}

// Where f stops being below g between z0 and z1 (f - g changes sign once).
template <typename F, typename G>
static double Crossing(double z0, double z1, F f, G g)
{
    double lo = z0, hi = z1;
    bool signLo = f(lo) > g(lo);
    for (int i = 0; i < 60; ++i) {
        double mid = (lo + hi) / 2.0;
        if ((f(mid) > g(mid)) == signLo) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return (lo + hi) / 2.0;
}

static void BuildRails(Builder* b)
{
    using namespace layout;
    auto leftTop = [](double z) { return std::max(trayRailTop, LaneY(z) + railRise); };
    double leftMeet = Crossing(laneStartZ, boardStartZ, [](double z) { return LaneY(z) + railRise; },
                               [](double) { return trayRailTop; });
    BuildRail(b, leftRailOut, leftRailIn, frontZ, cabinetZ, {laneStartZ, leftMeet, boardStartZ}, leftTop);
    // beside the tray, the right rail; further back the channel's outer wall takes over
    BuildRail(b, channelMaxX, outerX, frontZ, laneStartZ, {}, [](double) { return rightRailTop; });
    // the divider stands above both the lane and the channel's roof
    auto laneSide = [](double z) { return LaneY(z) + railRise; };
    auto roofSide = [](double z) { return RoofY(dividerOut, z) + railGable; };
    double cross = Crossing(laneStartZ, cabinetZ, laneSide, roofSide);
    BuildRail(b, dividerIn, dividerOut, laneStartZ, cabinetZ, {cross, boardStartZ},
              [&](double z) { return std::max(laneSide(z), roofSide(z)); });
}

// ---------------------------------------------------------------- lane, tray, channel

static void BuildLaneAndTray(Builder* b)
{
    using namespace layout;
    const double xl = laneMinX, xr = channelMaxX; // the tray spans lane, divider and channel
    // lane: the rough rolling face from the tray up to the target board
    GridQuad(b, P(laneMinX, LaneY(laneStartZ), laneStartZ), P(laneMaxX, LaneY(laneStartZ), laneStartZ),
             P(laneMaxX, LaneY(boardStartZ), boardStartZ), P(laneMinX, LaneY(boardStartZ), boardStartZ),
             1.1, kUp, kMatLane, NewSurface(b));
    // tray: rough so balls settle instead of bouncing
    const double backX[5] = {laneMinX, trayLowX, laneMaxX, channelMinX, channelMaxX};
    int back = NewSurface(b);
    for (int k = 0; k < 4; ++k) {
        double xa = backX[k], xb = backX[k + 1];
        Polygon(b, {P(xa, TrayY(xa, laneStartZ), laneStartZ), P(xb, TrayY(xb, laneStartZ), laneStartZ),
                    P(xb, TrayBackY(xb), laneStartZ), P(xa, TrayBackY(xa), laneStartZ)},
                kPosZ, kMatLane, back, TexScale(kMatLane));
    }
    const double zw = trayWallZ;
    const double xs[3] = {xl, trayLowX, xr};
    for (int k = 0; k < 2; ++k) {
        double xa = xs[k], xb = xs[k + 1];
        double ya = TrayY(xa, zw), yb = TrayY(xb, zw);
        double ha = ya + trayWallHeight, hb = yb + trayWallHeight;
        Quad(b, P(xa, TrayY(xa, laneStartZ), laneStartZ), P(xb, TrayY(xb, laneStartZ), laneStartZ),
             P(xb, yb, zw), P(xa, ya, zw), kUp, kMatLane);
        Quad(b, P(xa, ya, zw), P(xb, yb, zw), P(xb, hb, zw), P(xa, ha, zw), kNegZ, kMatLane);
        // the wall's top, out to the front edge, which is level so a player
        // walking into the table is not pushed aside
        Polygon(b, {P(xa, ha, zw), P(xb, hb, zw), P(xb, frontTopY, frontZ), P(xa, frontTopY, frontZ)}, kUp,
                kMatWood, NewSurface(b), TexScale(kMatWood));
    }
    Quad(b, P(xl, 0, frontZ), P(xr, 0, frontZ), P(xr, frontTopY, frontZ), P(xl, frontTopY, frontZ), kPosZ,
         kMatWood);
}

// A stretch of the covered return channel from z0 back to z1 (z1 < z0), with its
// floor following ChannelY. Outside the cabinet it also gets its roof and outer face.
static void BuildChannel(Builder* b, double z0, double z1, bool outside)
{
    using namespace layout;
    const double x0 = channelMinX, x1 = channelMaxX;
    double f0 = ChannelY(z0), f1 = ChannelY(z1);
    double c0 = f0 + channelHeight, c1 = f1 + channelHeight;
    Quad(b, P(x0, f0, z0), P(x1, f0, z0), P(x1, f1, z1), P(x0, f1, z1), kUp, kMatWood);
    Quad(b, P(x0, c0, z0), P(x1, c0, z0), P(x1, c1, z1), P(x0, c1, z1), kDown, kMatWood);
    Quad(b, P(x1, f0 - 0.1, z0), P(x1, f1 - 0.1, z1), P(x1, c1, z1), P(x1, c0, z0), kNegX, kMatWood);
    if (!outside) {
        Quad(b, P(x0, f0 - 0.1, z0), P(x0, f1 - 0.1, z1), P(x0, c1, z1), P(x0, c0, z0), kPosX, kMatWood);
        return;
    }
    // outside the inner wall is the divider's face
    Quad(b, P(outerX, 0, z0), P(outerX, 0, z1), P(outerX, RoofY(outerX, z1), z1),
         P(outerX, RoofY(outerX, z0), z0), kPosX, kMatWood);
    Quad(b, P(x0, RoofY(x0, z0), z0), P(outerX, RoofY(outerX, z0), z0), P(outerX, RoofY(outerX, z1), z1),
         P(x0, RoofY(x0, z1), z1), {0.35, 1, 0}, kMatWood);
}

static void BuildChannels(Builder* b)
{
    using namespace layout;
    BuildChannel(b, laneStartZ, cabinetZ, true);
    BuildChannel(b, cabinetZ, channelHeadZ, false);
    BuildChannel(b, channelHeadZ, boxFrontZ, false);
    // the channel's mouth over the tray: the face above the opening
    const double z = laneStartZ;
    Polygon(b, {P(channelMinX, ChannelY(z) + channelHeight, z), P(channelMaxX, ChannelY(z) + channelHeight, z),
                P(channelMaxX, RoofY(channelMaxX, z), z), P(channelMinX, RoofY(channelMinX, z), z)},
            kPosZ, kMatWood, NewSurface(b), TexScale(kMatWood));
    Polygon(b, {P(channelMaxX, 0, z), P(outerX, 0, z), P(outerX, RoofY(outerX, z), z),
                P(channelMaxX, RoofY(channelMaxX, z), z)},
            kPosZ, kMatWood, NewSurface(b), TexScale(kMatWood));
}

// ---------------------------------------------------------------- target deck

struct Hole {
    double x, z, radius;
    int material;
};

// Hole rows across the deck, nearest first.
static const Hole kHoles[] = {
    {-0.55, -1.65, 0.30, kMatHole10}, {0.55, -1.65, 0.30, kMatHole10},
    {-0.45, -2.60, 0.26, kMatHole25}, {0.45, -2.60, 0.26, kMatHole25},
    {-0.80, -3.50, 0.21, kMatHole100}, {0.80, -3.50, 0.21, kMatHole100},
};

enum { kHoleSides = 16 };

// One band of the deck between z0 (near) and z1 (far), cut into cells at `cuts`.
struct DeckBand {
    double z0, z1;
    std::vector<double> cuts;   // x of the cell edges, including both sides
};

static double HoleAngle(int i)
{
    return 2.0 * kPi * i / kHoleSides;
}

// Rim point i of a hole, in x and z (counter-clockwise seen from above).
static void HolePoint(const Hole& h, int i, double* x, double* z)
{
    *x = h.x + h.radius * std::cos(HoleAngle(i));
    *z = h.z - h.radius * std::sin(HoleAngle(i));
}

static Point3 OnDeck(double x, double z)
{
    return P(x, LaneY(z), z);
}

static double AngleFrom(double cx, double cz, double x, double z)
{
    double a = std::atan2(-(z - cz), x - cx);
    return a < 0.0 ? a + 2.0 * kPi : a;
}

// The cell's outline counter-clockwise seen from above, with the cut points of
// the neighbouring bands on its edges so the surface has no T-junctions.
static std::vector<Point3> CellOutline(double xa, double xb, double z0, double z1,
                                       const std::vector<double>& nearCuts,
                                       const std::vector<double>& farCuts)
{
    std::vector<Point3> out;
    out.push_back(OnDeck(xa, z0));
    for (double c : nearCuts) {
        if (c > xa + 1e-9 && c < xb - 1e-9) {
            out.push_back(OnDeck(c, z0));
        }
    }
    out.push_back(OnDeck(xb, z0));
    out.push_back(OnDeck(xb, z1));
    for (auto it = farCuts.rbegin(); it != farCuts.rend(); ++it) {
        if (*it > xa + 1e-9 && *it < xb - 1e-9) {
            out.push_back(OnDeck(*it, z1));
        }
    }
    out.push_back(OnDeck(xa, z1));
    return out;
}

static void AddDeckTriangle(Builder* b, Point3 p0, Point3 p1, Point3 p2, int surface)
{
    Polygon(b, {p0, p1, p2}, kUp, kMatLane, surface, TexScale(kMatLane));
}

// The ring between a hole's rim and its cell's outline, zipped by angle.
static void HoleCell(Builder* b, const Hole& h, const std::vector<Point3>& outline, int surface)
{
    size_t m = outline.size();
    std::vector<double> angles(m);
    size_t start = 0;
    for (size_t j = 0; j < m; ++j) {
        angles[j] = AngleFrom(h.x, h.z, outline[j].x, outline[j].z);
        if (angles[j] < angles[start]) {
            start = j;
        }
    }
    // walk both loops once around; each step advances the one whose next point
    // comes first by angle
    int i = 0;
    size_t j = 0;
    auto outerAngle = [&](size_t k) {
        double a = angles[(start + k) % m];
        return k >= m ? a + 2.0 * kPi : a;
    };
    auto rim = [&](int k) {
        double x, z;
        HolePoint(h, k % kHoleSides, &x, &z);
        return OnDeck(x, z);
    };
    auto outer = [&](size_t k) { return outline[(start + k) % m]; };
    // the first outline point may lie ahead of rim point 0: close that wedge at the end
    while (i < kHoleSides || j < m) {
        double nextRim = i < kHoleSides ? HoleAngle(i + 1) : 1e9;
        double nextOuter = j < m ? outerAngle(j + 1) : 1e9;
        if (nextRim <= nextOuter) {
            AddDeckTriangle(b, rim(i), outer(j), rim(i + 1), surface);
            ++i;
        } else {
            AddDeckTriangle(b, rim(i), outer(j), outer(j + 1), surface);
            ++j;
        }
    }
}

static void Pocket(Builder* b, const Hole& h)
{
    using namespace layout;
    double lowest = 1e9;
    for (int i = 0; i < kHoleSides; ++i) {
        double x, z;
        HolePoint(h, i, &x, &z);
        lowest = std::min(lowest, LaneY(z));
    }
    double bottom = lowest - pocketDepth;
    int wall = NewSurface(b);
    std::vector<Point3> floor;
    for (int i = 0; i < kHoleSides; ++i) {
        double xa, za, xc, zc;
        HolePoint(h, i, &xa, &za);
        HolePoint(h, i + 1, &xc, &zc);
        // seen from the hole's axis
        Point3 facing = {h.x - (xa + xc) / 2.0, 0.0, h.z - (za + zc) / 2.0};
        Polygon(b, {OnDeck(xa, za), P(xa, bottom, za), P(xc, bottom, zc), OnDeck(xc, zc)}, facing,
                kMatWood, wall, 1.0);
        floor.push_back(P(xa, bottom, za));
    }
    Polygon(b, floor, kUp, h.material, NewSurface(b), 1.0);
}

static void BuildDeck(Builder* b)
{
    using namespace layout;
    const double l = laneMinX, r = laneMaxX;
    std::vector<DeckBand> bands = {
        {boardStartZ, -1.3, {l, 0.0, r}}, {-1.3, -2.0, {l, 0.0, r}},
        {-2.0, -2.25, {l, 0.0, r}},       {-2.25, -2.95, {l, 0.0, r}},
        {-2.95, -3.1, {l, -0.5, 0.0, 0.5, r}},
        {-3.1, -3.9, {l, -0.5, 0.5, r}},  {-3.9, cabinetZ, {l, -0.5, 0.5, r}},
    };
    int surface = NewSurface(b);
    for (size_t k = 0; k < bands.size(); ++k) {
        const DeckBand& band = bands[k];
        std::vector<double> nearCuts = k > 0 ? bands[k - 1].cuts : std::vector<double>();
        std::vector<double> farCuts = k + 1 < bands.size() ? bands[k + 1].cuts : std::vector<double>();
        for (size_t c = 0; c + 1 < band.cuts.size(); ++c) {
            double xa = band.cuts[c], xb = band.cuts[c + 1];
            std::vector<Point3> outline = CellOutline(xa, xb, band.z0, band.z1, nearCuts, farCuts);
            const Hole* hole = nullptr;
            for (const Hole& h : kHoles) {
                if (h.x > xa && h.x < xb && h.z < band.z0 && h.z > band.z1) {
                    hole = &h;
                }
            }
            if (hole != nullptr) {
                HoleCell(b, *hole, outline, surface);
                Pocket(b, *hole);
            } else {
                // fanned from its middle: the outline has points along its edges
                Point3 mid = {0.0, 0.0, 0.0};
                for (const Point3& p : outline) {
                    mid.x += p.x / outline.size();
                    mid.z += p.z / outline.size();
                }
                mid = OnDeck(mid.x, mid.z);
                for (size_t i = 0; i < outline.size(); ++i) {
                    AddDeckTriangle(b, mid, outline[i], outline[(i + 1) % outline.size()], surface);
                }
            }
        }
    }
}

// ---------------------------------------------------------------- cabinet and return box

static void BuildCabinet(Builder* b)
{
    using namespace layout;
    const double x0 = leftRailOut, x1 = outerX, zf = cabinetZ, zb = backZ;
    const double top = cabinetFrontTop, back = cabinetBackTop;
    const double cx0 = channelMinX, cx1 = channelMaxX;
    double channelTop = ChannelY(zf) + channelHeight;
    // the backboard, with the channel's opening left out
    Quad(b, P(x0, hiddenY, zf), P(cx0, hiddenY, zf), P(cx0, top, zf), P(x0, top, zf), kPosZ, kMatBackboard);
    Quad(b, P(cx0, channelTop, zf), P(cx1, channelTop, zf), P(cx1, top, zf), P(cx0, top, zf), kPosZ,
         kMatBackboard);
    Quad(b, P(cx1, hiddenY, zf), P(x1, hiddenY, zf), P(x1, top, zf), P(cx1, top, zf), kPosZ, kMatBackboard);
    // roof falling away to the back, sides and back
    Quad(b, P(x0, top, zf), P(x1, top, zf), P(x1, back, zb), P(x0, back, zb), {0, 1, 0}, kMatWood);
    Polygon(b, {P(x0, 0, zf), P(x0, top, zf), P(x0, back, zb), P(x0, 0, zb)}, kNegX, kMatWood, NewSurface(b),
            TexScale(kMatWood));
    Polygon(b, {P(x1, 0, zf), P(x1, top, zf), P(x1, back, zb), P(x1, 0, zb)}, kPosX, kMatWood, NewSurface(b),
            TexScale(kMatWood));
    Quad(b, P(x0, 0, zb), P(x1, 0, zb), P(x1, back, zb), P(x0, back, zb), kNegZ, kMatWood);
}

// A closed little room around the return point whose floor tilts towards the
// channel's head, so a ball left there at rest gets going by itself.
static void BuildReturnBox(Builder* b)
{
    using namespace layout;
    const double bx0 = boxMinX, bx1 = channelMaxX, bz0 = boxBackZ, bz1 = boxFrontZ;
    const double bt = boxCeilingY, low = boxWallBottom;
    GridQuad(b, P(bx0, BoxFloorY(bx0, bz1), bz1), P(bx1, BoxFloorY(bx1, bz1), bz1),
             P(bx1, BoxFloorY(bx1, bz0), bz0), P(bx0, BoxFloorY(bx0, bz0), bz0), 1.0, kUp, kMatWood,
             NewSurface(b));
    Quad(b, P(bx0, bt, bz1), P(bx1, bt, bz1), P(bx1, bt, bz0), P(bx0, bt, bz0), kDown, kMatWood);
    Quad(b, P(bx0, low, bz0), P(bx0, low, bz1), P(bx0, bt, bz1), P(bx0, bt, bz0), kPosX, kMatWood);
    Quad(b, P(bx1, low, bz0), P(bx1, low, bz1), P(bx1, bt, bz1), P(bx1, bt, bz0), kNegX, kMatWood);
    Quad(b, P(bx0, low, bz0), P(bx1, low, bz0), P(bx1, bt, bz0), P(bx0, bt, bz0), kPosZ, kMatWood);
    Quad(b, P(bx0, low, bz1), P(channelMinX, low, bz1), P(channelMinX, bt, bz1), P(bx0, bt, bz1), kNegZ,
         kMatWood);
    double channelTop = ChannelY(bz1) + channelHeight;
    Quad(b, P(channelMinX, channelTop, bz1), P(bx1, channelTop, bz1), P(bx1, bt, bz1),
         P(channelMinX, bt, bz1), kNegZ, kMatWood);
    // the small step down from the box floor into the channel
    Polygon(b, {P(channelMinX, ChannelY(bz1), bz1), P(channelMaxX, ChannelY(bz1), bz1),
                P(channelMaxX, BoxFloorY(channelMaxX, bz1), bz1), P(channelMinX, BoxFloorY(channelMinX, bz1), bz1)},
            kPosZ, kMatWood, NewSurface(b), TexScale(kMatWood));
}

void MakeTableMesh(Mesh* mesh)
{
    Builder b = {mesh, 1};
    BuildRoom(&b);
    BuildRails(&b);
    BuildLaneAndTray(&b);
    BuildChannels(&b);
    BuildDeck(&b);
    BuildCabinet(&b);
    BuildReturnBox(&b);
}
