// table.cpp -- the game's whole static world: the room and the ball-toss machine.
//
// The player stands at z = 5 looking down -z. In front of him the balls wait in a
// trough at z = 3.4; from it a gripping lane rises away from him to a short, steep
// jump. Behind the jump the target steps up in three tiers: a wide 10 pit that
// catches whatever clears the jump, a shelf with the 25 pit in its middle, and a
// top shelf with the two small 100 pockets in its outer corners. Tall side walls
// and a backboard leaning over the target keep hard throws in the machine. Behind
// the backboard the cabinet hides the return box where a scoring ball reappears;
// the box drains into a covered channel along the right side that runs back down
// into the trough.
// Every face a ball can land on slopes towards the trough, a pit or off the
// table, so a ball comes to rest only in the trough or on the floor, and the room
// is closed.
#include "tools/assetgen/assetgen.h"

#include <algorithm>
#include <cmath>

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
const double leftRailOut = -1.3, leftRailIn = -1.1;   // left wall
const double laneMinX = -1.1, laneMaxX = 1.1;         // lane and target
const double dividerIn = 1.1, dividerOut = 1.3;       // wall between lane and channel
const double channelMinX = 1.3, channelMaxX = 1.8;    // covered return channel
const double outerX = 2.0;                            // outer face of the channel
// along z
const double frontZ = 3.85;        // front face of the table
const double trayWallZ = 3.75;     // inner face of the tray's front wall
const double laneStartZ = 3.16;    // lane and channel end over the tray's back face
const double kickZ = 0.4;          // the lane turns up into the jump
const double lipZ = 0.15;          // the jump's lip, the front of the 10 pit
const double riser1Z = -1.6;       // back of the 10 pit, front of the 25 shelf
const double riser2Z = -2.8;       // back of the 25 shelf, front of the 100 shelf
const double cabinetZ = -4.0;      // the backboard, the cabinet's front
const double backZ = -9.6;         // back of the cabinet
// heights and slopes
const double laneStartY = 0.60, channelEndY = 0.64;
const double laneSlope = 0.22169;  // tan 12.5 degrees
const double kickSlope = 0.57735;  // tan 30 degrees
// the target: shelves fall towards the player at the lane's slope; the top shelf
// also falls from its outer corners towards its middle
const double tenLedge = 0.12, tenFloorY = 0.85, shelf25Y = 1.35, shelf100Y = 1.75, shelf100Vee = 0.22169;
const double pit25HalfX = 0.5, pit25NearZ = -1.8, pit25FarZ = -2.5, pit25FloorY = 1.05;
const double pocketX = 0.7, pocketZ = -3.15, pocketHalf = 0.19, pocketDepth = 0.3;
// the side walls rise from the lane's rails to a hood over the target, which
// climbs from over the jump's lip to the top of the leaning backboard
const double cageFrontZ = 0.9, hoodFrontY = 3.9;
// the backboard stands up to overhangLowY, then leans towards the player up to
// the cabinet's roof, which falls away to the back
const double backboardLowY = 1.95, overhangLowY = 2.8, overhangZ = -2.2, cabinetFrontTop = 4.6;
// tray floor: y = trayFloorY + trayTiltX * |x - trayLowX| + trayTiltZ * (z - laneStartZ):
// a shallow valley across the table, off the balls' column, rising 10 degrees
// towards the player, so the balls line up along the tray's back
const double trayLowX = 0.25, trayFloorY = 0.40, trayTiltX = 0.14, trayTiltZ = 0.18;
const double trayWallHeight = 0.38, frontTopY = 0.95;
const double trayRailTop = 1.2, rightRailTop = 1.45;
// return box around the return point (0, 2.332, -8.936), inside the cabinet:
// its floor is a shallow valley from the left wall to the channel's mouth
const double boxMinX = -0.4, boxFrontZ = -8.55, boxBackZ = -9.3, boxCeilingY = 2.95, boxWallBottom = 1.4;
const double valleyStartZ = -8.95, valleyEndX = 1.55, boxMouthY = 1.63, valleySlope = 0.25, valleySide = 0.3;
// the return channel's floor: a steep start, then an even run to the tray
const double channelHeadZ = -7.55, channelHeadY = 1.33, channelTopY = 1.55;
const double channelHeight = 0.5, roofInner = 0.85, roofOuter = 0.6;
const double railRise = 0.4, railGable = 0.05;
} // namespace layout

// The lane's surface, and beyond kickZ the jump's.
static double LaneY(double z)
{
    using namespace layout;
    if (z >= kickZ) {
        return laneStartY + (laneStartZ - z) * laneSlope;
    }
    return laneStartY + (laneStartZ - kickZ) * laneSlope + (kickZ - z) * kickSlope;
}

// The cabinet's roof, from the top of the leaning backboard back to the cabinet's back.
static double CabinetRoofY(double z)
{
    using namespace layout;
    return cabinetFrontTop - (overhangZ - z) * laneSlope;
}

// The hood over the target, from over the jump's lip up to the backboard's top.
static double HoodY(double z)
{
    using namespace layout;
    return hoodFrontY + (cabinetFrontTop - hoodFrontY) * (lipZ - z) / (lipZ - overhangZ);
}

// Top of the side walls behind cageFrontZ: a ramp up to the hood, then along the
// hood and the cabinet's roof.
static double CageTopY(double z, double frontTop)
{
    using namespace layout;
    if (z <= overhangZ) {
        return CabinetRoofY(z) + railGable;
    }
    if (z <= lipZ) {
        return HoodY(z) + railGable;
    }
    return frontTop + (hoodFrontY + railGable - frontTop) * (cageFrontZ - z) / (cageFrontZ - lipZ);
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

// The return box's floor: a ball that lands in it, however it bounces, runs into
// the valley and along it into the channel without rubbing along a wall (pressed
// against a wall a ball jams: the wall's grip stops it rolling).
static double BoxFloorY(double x, double z)
{
    using namespace layout;
    double ux = valleyEndX - boxMinX, uz = boxFrontZ - valleyStartZ;
    double len = std::sqrt(ux * ux + uz * uz);
    ux /= len;
    uz /= len;
    double back = -((x - valleyEndX) * ux + (z - boxFrontZ) * uz);
    double side = std::fabs((x - boxMinX) * -uz + (z - valleyStartZ) * ux);
    return boxMouthY + back * valleySlope + side * valleySide;
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
    // in front of the target the rails stand a little above the lane; round the
    // target they rise to walls as high as the backboard
    auto leftLow = [](double z) { return std::max(trayRailTop, LaneY(z) + railRise); };
    auto leftTop = [&](double z) { return z >= cageFrontZ ? leftLow(z) : CageTopY(z, leftLow(cageFrontZ)); };
    double leftMeet = Crossing(laneStartZ, cageFrontZ, [](double z) { return LaneY(z) + railRise; },
                               [](double) { return trayRailTop; });
    BuildRail(b, leftRailOut, leftRailIn, frontZ, cabinetZ, {laneStartZ, leftMeet, cageFrontZ, lipZ, overhangZ},
              leftTop);
    // beside the tray, the right rail; further back the channel's outer wall takes over
    BuildRail(b, channelMaxX, outerX, frontZ, laneStartZ, {}, [](double) { return rightRailTop; });
    // the divider stands above both the lane and the channel's roof
    auto laneSide = [](double z) { return LaneY(z) + railRise; };
    auto roofSide = [](double z) { return RoofY(dividerOut, z) + railGable; };
    auto low = [&](double z) { return std::max(laneSide(z), roofSide(z)); };
    double cross = Crossing(laneStartZ, cageFrontZ, laneSide, roofSide);
    BuildRail(b, dividerIn, dividerOut, laneStartZ, cabinetZ, {cross, cageFrontZ, lipZ, overhangZ},
              [&](double z) { return z >= cageFrontZ ? low(z) : CageTopY(z, low(cageFrontZ)); });
}

// ---------------------------------------------------------------- lane, tray, channel

static void BuildLaneAndTray(Builder* b)
{
    using namespace layout;
    const double xl = laneMinX, xr = channelMaxX; // the tray spans lane, divider and channel
    // lane: the rough rolling face from the tray up to the jump, and the jump
    GridQuad(b, P(laneMinX, LaneY(laneStartZ), laneStartZ), P(laneMaxX, LaneY(laneStartZ), laneStartZ),
             P(laneMaxX, LaneY(kickZ), kickZ), P(laneMinX, LaneY(kickZ), kickZ), 1.1, kUp, kMatLane,
             NewSurface(b));
    Quad(b, P(laneMinX, LaneY(kickZ), kickZ), P(laneMaxX, LaneY(kickZ), kickZ), P(laneMaxX, LaneY(lipZ), lipZ),
         P(laneMinX, LaneY(lipZ), lipZ), kUp, kMatLane);
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

// ---------------------------------------------------------------- target

// The 25 shelf: falls towards the player into the 10 pit.
static double Shelf25Y(double z)
{
    using namespace layout;
    return shelf25Y + (riser1Z - z) * laneSlope;
}

// The 100 shelf: falls towards the player and from its outer corners towards its
// middle, so what lands on it runs off its middle onto the 25 shelf behind the pit.
static double Shelf100Y(double x, double z)
{
    using namespace layout;
    return shelf100Y + std::fabs(x) * shelf100Vee + (riser2Z - z) * laneSlope;
}

// A rectangular pit in a planar shelf, seen from above: x0 < x1, zNear > zFar.
struct Pit {
    double x0, x1, zNear, zFar, floorY;
    int material;
};

// A planar shelf between x0 and x1 and from zNear back to zFar, its height given
// by shelfY, with an optional pit cut out: the cells round the pit, the pit's
// walls and its scoring floor.
template <typename ShelfFn>
static void Shelf(Builder* b, double x0, double x1, double zNear, double zFar, const Pit* pit, ShelfFn shelfY)
{
    auto on = [&](double x, double z) { return P(x, shelfY(x, z), z); };
    int surface = NewSurface(b);
    std::vector<double> xs = {x0, x1}, zs = {zNear, zFar};
    if (pit != nullptr) {
        xs = {x0, pit->x0, pit->x1, x1};
        zs = {zNear, pit->zNear, pit->zFar, zFar};
    }
    for (size_t j = 0; j + 1 < zs.size(); ++j) {
        for (size_t i = 0; i + 1 < xs.size(); ++i) {
            if (pit != nullptr && i == 1 && j == 1) {
                continue;
            }
            Polygon(b, {on(xs[i], zs[j]), on(xs[i + 1], zs[j]), on(xs[i + 1], zs[j + 1]), on(xs[i], zs[j + 1])},
                    kUp, kMatLane, surface, TexScale(kMatLane));
        }
    }
    if (pit == nullptr) {
        return;
    }
    const double fy = pit->floorY;
    const double px0 = pit->x0, px1 = pit->x1, pn = pit->zNear, pf = pit->zFar;
    int wall = NewSurface(b);
    Polygon(b, {P(px0, fy, pn), P(px1, fy, pn), on(px1, pn), on(px0, pn)}, kNegZ, kMatLane, wall, 1.0);
    Polygon(b, {P(px0, fy, pf), P(px1, fy, pf), on(px1, pf), on(px0, pf)}, kPosZ, kMatLane, wall, 1.0);
    Polygon(b, {P(px0, fy, pn), P(px0, fy, pf), on(px0, pf), on(px0, pn)}, kPosX, kMatLane, wall, 1.0);
    Polygon(b, {P(px1, fy, pn), P(px1, fy, pf), on(px1, pf), on(px1, pn)}, kNegX, kMatLane, wall, 1.0);
    Polygon(b, {P(px0, fy, pn), P(px1, fy, pn), P(px1, fy, pf), P(px0, fy, pf)}, kUp, pit->material,
            NewSurface(b), 1.0);
}

static void BuildTarget(Builder* b)
{
    using namespace layout;
    const double l = laneMinX, r = laneMaxX;
    // The target's faces are all of the rough lane wood, which swallows a ball's
    // bounce: a hard throw drops into the pit below where it hits instead of
    // flying back out over the lane.
    // The 10 pit, as wide as the lane, starts with a level ledge at the jump's
    // lip: a ball that crawls over the lip and stops there has cleared the jump.
    const double lipY = LaneY(lipZ), ledgeZ = lipZ - tenLedge;
    Quad(b, P(l, lipY, lipZ), P(r, lipY, lipZ), P(r, lipY, ledgeZ), P(l, lipY, ledgeZ), kUp, kMatHole10);
    Quad(b, P(l, tenFloorY, ledgeZ), P(r, tenFloorY, ledgeZ), P(r, lipY, ledgeZ), P(l, lipY, ledgeZ), kNegZ,
         kMatLane);
    GridQuad(b, P(l, tenFloorY, ledgeZ), P(r, tenFloorY, ledgeZ), P(r, tenFloorY, riser1Z), P(l, tenFloorY, riser1Z),
             1.1, kUp, kMatHole10, NewSurface(b));
    Quad(b, P(l, tenFloorY, riser1Z), P(r, tenFloorY, riser1Z), P(r, shelf25Y, riser1Z), P(l, shelf25Y, riser1Z),
         kPosZ, kMatLane);
    // the 25 shelf with its pit in the middle
    const Pit pit25 = {-pit25HalfX, pit25HalfX, pit25NearZ, pit25FarZ, pit25FloorY, kMatHole25};
    Shelf(b, l, r, riser1Z, riser2Z, &pit25, [](double, double z) { return Shelf25Y(z); });
    // the 100 shelf, each half with its pocket in the outer corner
    double lowest = Shelf100Y(pocketX - pocketHalf, pocketZ + pocketHalf);
    double pocketFloor = lowest - pocketDepth;
    for (int side = -1; side <= 1; side += 2) {
        double xa = side < 0 ? l : 0.0, xb = side < 0 ? 0.0 : r;
        double px = side * pocketX;
        Quad(b, P(xa, Shelf25Y(riser2Z), riser2Z), P(xb, Shelf25Y(riser2Z), riser2Z),
             P(xb, Shelf100Y(xb, riser2Z), riser2Z), P(xa, Shelf100Y(xa, riser2Z), riser2Z), kPosZ, kMatLane);
        const Pit pocket = {px - pocketHalf, px + pocketHalf, pocketZ + pocketHalf, pocketZ - pocketHalf,
                            pocketFloor, kMatHole100};
        Shelf(b, xa, xb, riser2Z, cabinetZ, &pocket, [](double x, double z) { return Shelf100Y(x, z); });
    }
}

// ---------------------------------------------------------------- cabinet and return box

static void BuildCabinet(Builder* b)
{
    using namespace layout;
    const double x0 = leftRailOut, x1 = outerX, zf = cabinetZ, zb = backZ;
    const double l = laneMinX, r = laneMaxX;
    // the backboard, leaning over the target from overhangLowY up
    Quad(b, P(l, backboardLowY, zf), P(r, backboardLowY, zf), P(r, overhangLowY, zf), P(l, overhangLowY, zf), kPosZ,
         kMatBackboard);
    Quad(b, P(l, overhangLowY, zf), P(r, overhangLowY, zf), P(r, cabinetFrontTop, overhangZ),
         P(l, cabinetFrontTop, overhangZ), {0, -1, 1}, kMatBackboard);
    // the hood: its underside stops a ball bounding up off the target, and what
    // lands on it rolls off its front over the jump
    Quad(b, P(l, hoodFrontY, lipZ), P(r, hoodFrontY, lipZ), P(r, cabinetFrontTop, overhangZ),
         P(l, cabinetFrontTop, overhangZ), kDown, kMatWood);
    Quad(b, P(l, hoodFrontY, lipZ), P(r, hoodFrontY, lipZ), P(r, cabinetFrontTop, overhangZ),
         P(l, cabinetFrontTop, overhangZ), kUp, kMatWood);
    // roof falling away to the back from the backboard's top edge
    const double zt = overhangZ, top = cabinetFrontTop, back = CabinetRoofY(zb), atFront = CabinetRoofY(zf);
    Quad(b, P(x0, top, zt), P(x1, top, zt), P(x1, back, zb), P(x0, back, zb), kUp, kMatWood);
    // over the channel, between the divider and the cabinet's side, the roof's front
    Polygon(b, {P(channelMinX, RoofY(channelMinX, zt), zt), P(x1, RoofY(x1, zt), zt), P(x1, top, zt),
                P(channelMinX, top, zt)},
            kPosZ, kMatWood, NewSurface(b), TexScale(kMatWood));
    // sides and back; the left wall of the target stands in front of the left side
    Polygon(b, {P(x0, 0, zf), P(x0, atFront, zf), P(x0, back, zb), P(x0, 0, zb)}, kNegX, kMatWood, NewSurface(b),
            TexScale(kMatWood));
    int right = NewSurface(b);
    Polygon(b, {P(x1, 0, zf), P(x1, atFront, zf), P(x1, back, zb), P(x1, 0, zb)}, kPosX, kMatWood, right,
            TexScale(kMatWood));
    Polygon(b, {P(x1, RoofY(x1, zf), zf), P(x1, RoofY(x1, zt), zt), P(x1, top, zt), P(x1, atFront, zf)}, kPosX,
            kMatWood, right, TexScale(kMatWood));
    Quad(b, P(x0, 0, zb), P(x1, 0, zb), P(x1, back, zb), P(x0, back, zb), kNegZ, kMatWood);
}

// A closed little room around the return point whose floor tilts towards the
// channel's head, so a ball left there at rest gets going by itself.
static void BuildReturnBox(Builder* b)
{
    using namespace layout;
    const double bx0 = boxMinX, bx1 = channelMaxX, bz0 = boxBackZ, bz1 = boxFrontZ;
    const double bt = boxCeilingY, low = boxWallBottom;
    auto floor = [](double x, double z) { return P(x, BoxFloorY(x, z), z); };
    int surface = NewSurface(b);
    Polygon(b, {floor(bx0, valleyStartZ), floor(bx0, bz0), floor(bx1, bz0), floor(bx1, bz1), floor(valleyEndX, bz1)},
            kUp, kMatWood, surface, TexScale(kMatWood));
    Polygon(b, {floor(bx0, valleyStartZ), floor(valleyEndX, bz1), floor(bx0, bz1)}, kUp, kMatWood, surface,
            TexScale(kMatWood));
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
    Polygon(b, {P(channelMinX, ChannelY(bz1), bz1), P(channelMaxX, ChannelY(bz1), bz1), floor(channelMaxX, bz1),
                floor(valleyEndX, bz1), floor(channelMinX, bz1)},
            kPosZ, kMatWood, NewSurface(b), TexScale(kMatWood));
}

void MakeTableMesh(Mesh* mesh)
{
    Builder b = {mesh, 1};
    BuildRoom(&b);
    BuildRails(&b);
    BuildLaneAndTray(&b);
    BuildChannels(&b);
    BuildTarget(&b);
    BuildCabinet(&b);
    BuildReturnBox(&b);
}
