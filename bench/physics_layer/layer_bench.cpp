// layer_bench.cpp -- cost of one 1/300 s step of the rigid-body layer in a table-like
// scene (six rolling balls with a contact callback on a tree of 2,050 triangles, the
// upright ellipsoid standing beside them), against the same scene built directly on Bullet; prints the ratio.
#include "platform/newton/newton.h"

#include <benchmark/benchmark.h>
#include <btBulletDynamicsCommon.h>
#include <BulletCollision/CollisionDispatch/btInternalEdgeUtility.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

const float kStep = 1.0f / 300.0f;
const float kBallRadius = 0.17f;
const float kBallMass = 5.0f;
const int kCells = 32;            // 32 x 32 cells, two triangles each
const float kHalfSize = 3.0f;
const int kWarmSteps = 300;
const float kPlayerX = 6.0f;  // the player stands on the floor beside the table

// The table: a shallow bowl of 2,048 triangles, so the balls roll back and forth for
// as long as the benchmark runs.
float BowlHeight(float x, float z)
{
    return 0.04f * (x * x + z * z);
}

struct Mesh {
    std::vector<float> vertices;  // three floats per corner, three corners per triangle
    std::vector<int> indices;
};

Mesh MakeBowl()
{
    Mesh mesh;
    const float size = 2.0f * kHalfSize / float(kCells);
    auto corner = [&](int i, int j) {
        const float x = -kHalfSize + size * float(i), z = -kHalfSize + size * float(j);
        mesh.vertices.push_back(x);
        mesh.vertices.push_back(BowlHeight(x, z));
        mesh.vertices.push_back(z);
    };
    for (int i = 0; i < kCells; ++i) {
        for (int j = 0; j < kCells; ++j) {
            corner(i, j);
            corner(i, j + 1);
            corner(i + 1, j + 1);
            corner(i, j);
            corner(i + 1, j + 1);
            corner(i + 1, j);
        }
    }
    // The floor the player stands on beside the table: two large triangles.
    const float floor[18] = {3.5f, 0.0f, -5.0f, 3.5f, 0.0f, 5.0f, 10.0f, 0.0f, 5.0f,
                             3.5f, 0.0f, -5.0f, 10.0f, 0.0f, 5.0f, 10.0f, 0.0f, -5.0f};
    mesh.vertices.insert(mesh.vertices.end(), floor, floor + 18);
    for (int k = 0; k < int(mesh.vertices.size() / 3); ++k) {
        mesh.indices.push_back(k);
    }
    return mesh;
}

void BallStart(int n, float* position, float* velocity)
{
    const float angle = float(n) * 1.0472f;
    position[0] = 1.6f * std::cos(angle);
    position[2] = 1.6f * std::sin(angle);
    position[1] = BowlHeight(position[0], position[2]) + kBallRadius + 0.01f;
    velocity[0] = -2.0f * std::sin(angle);
    velocity[1] = 0.0f;
    velocity[2] = 2.0f * std::cos(angle);
}

// ---- The scene through the layer ---------------------------------------------------

struct LayerRecord {
    float matrix[16];
    int contacts;
};

void LayerGravity(const NewtonBody* body)
{
    float mass, ixx, iyy, izz;
    NewtonBodyGetMassMatrix(body, &mass, &ixx, &iyy, &izz);
    const float force[3] = {0.0f, -9.8f * mass, 0.0f};
    NewtonBodySetForce(body, force);
}

void LayerTransform(const NewtonBody* body, const float* matrix)
{
    LayerRecord* record = static_cast<LayerRecord*>(NewtonBodyGetUserData(body));
    for (int i = 0; i < 16; ++i) {
        record->matrix[i] = matrix[i];
    }
}

// What the game's contact rule reads and sets for every ball-table contact.
int LayerProcess(const NewtonMaterial* material, const NewtonContact* contact)
{
    LayerRecord* record = static_cast<LayerRecord*>(NewtonMaterialGetMaterialPairUserData(material));
    const float vn = NewtonMaterialGetContactNormalSpeed(material, contact);
    record->contacts += vn * vn >= 0.0f ? 1 : 0;
    if (NewtonMaterialGetContactFaceAttribute(material) == 4) {
        NewtonMaterialSetContactElasticity(material, 0.01f);
    }
    return 1;
}

struct LayerScene {
    NewtonWorld* world;
    LayerRecord records[7];
    std::vector<NewtonBody*> balls;

    LayerScene()
    {
        world = NewtonCreate(nullptr, nullptr);
        const int tableGroup = NewtonMaterialCreateGroupID(world);
        const Mesh mesh = MakeBowl();
        NewtonCollision* tree = NewtonCreateTreeCollision(world, nullptr);
        NewtonTreeCollisionBeginBuild(tree);
        NewtonBody* table = NewtonCreateBody(world, tree);
        for (size_t t = 0; t < mesh.vertices.size() / 9; ++t) {
            NewtonTreeCollisionAddFace(tree, 3, &mesh.vertices[t * 9], 12, int(t % 12));
        }
        NewtonTreeCollisionEndBuild(tree, 0);
        NewtonReleaseCollision(world, tree);
        NewtonBodySetMaterialGroupID(table, tableGroup);
        for (int n = 0; n < 6; ++n) {
            AddBall(n, tableGroup);
        }
        AddPlayer();
        for (int i = 0; i < kWarmSteps; ++i) {
            NewtonUpdate(world, kStep);
        }
    }

    void AddBall(int n, int tableGroup)
    {
        NewtonCollision* shape = NewtonCreateSphere(world, kBallRadius, kBallRadius, kBallRadius, nullptr);
        NewtonBody* body = NewtonCreateBody(world, shape);
        NewtonReleaseCollision(world, shape);
        const float inertia = 0.4f * kBallMass * kBallRadius * kBallRadius;
        NewtonBodySetMassMatrix(body, kBallMass, inertia, inertia, inertia);
        float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        float v[3];
        BallStart(n, m + 12, v);
        NewtonBodySetMatrix(body, m);
        NewtonBodySetVelocity(body, v);
        NewtonBodySetUserData(body, &records[n + 1]);
        balls.push_back(body);
        NewtonBodySetForceAndTorqueCallback(body, LayerGravity);
        NewtonBodySetTransformCallback(body, LayerTransform);
        NewtonBodySetAutoFreeze(body, 0);
        const float none[3] = {0.0f, 0.0f, 0.0f};
        NewtonBodySetLinearDamping(body, 0.0f);
        NewtonBodySetAngularDamping(body, none);
        const int group = NewtonMaterialCreateGroupID(world);
        NewtonMaterialSetCollisionCallback(world, group, tableGroup, &records[n + 1], nullptr, LayerProcess,
                                           nullptr);
        NewtonBodySetMaterialGroupID(body, group);
    }

    void AddPlayer()
    {
        NewtonCollision* shape = NewtonCreateSphere(world, 1.0f, 2.0f, 1.0f, nullptr);
        NewtonBody* body = NewtonCreateBody(world, shape);
        NewtonReleaseCollision(world, shape);
        NewtonBodySetMassMatrix(body, 150.0f, 150.0f, 150.0f, 150.0f);
        const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, kPlayerX, 2.0f, 0, 1};
        NewtonBodySetMatrix(body, m);
        NewtonBodySetUserData(body, &records[0]);
        NewtonBodySetForceAndTorqueCallback(body, LayerGravity);
        NewtonBodySetTransformCallback(body, LayerTransform);
        const float up[3] = {0.0f, 1.0f, 0.0f};
        NewtonConstraintCreateUpVector(world, up, body);
        NewtonBodySetAutoFreeze(body, 0);
    }

    float MeanBallSpeed() const
    {
        float sum = 0.0f;
        for (NewtonBody* ball : balls) {
            float v[3];
            NewtonBodyGetVelocity(ball, v);
            sum += std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        }
        return sum / float(balls.size());
    }

    ~LayerScene() { NewtonDestroy(world); }
};

// ---- The same scene on Bullet alone -------------------------------------------------

ATTRIBUTE_ALIGNED16(class) RawEllipsoid : public btConvexInternalShape {
public:
    BT_DECLARE_ALIGNED_ALLOCATOR();
    explicit RawEllipsoid(const btVector3& radii)
    {
        m_shapeType = CUSTOM_CONVEX_SHAPE_TYPE;
        setMargin(0.04f);
        core_ = radii - btVector3(0.04f, 0.04f, 0.04f);
    }
    btVector3 localGetSupportingVertexWithoutMargin(const btVector3& dir) const override
    {
        const btVector3 cd = core_ * dir;
        const float length = cd.length();
        return length < SIMD_EPSILON ? btVector3(core_.x(), 0, 0) : core_ * cd / length;
    }
    void batchedUnitVectorGetSupportingVertexWithoutMargin(const btVector3* dirs, btVector3* out,
                                                           int count) const override
    {
        for (int i = 0; i < count; ++i) {
            out[i] = localGetSupportingVertexWithoutMargin(dirs[i]);
        }
    }
    void getAabb(const btTransform& t, btVector3& lo, btVector3& hi) const override
    {
        btVector3 half;
        for (int i = 0; i < 3; ++i) {
            half[i] = (t.getBasis().getRow(i) * core_).length() + getMargin();
        }
        lo = t.getOrigin() - half;
        hi = t.getOrigin() + half;
    }
    void calculateLocalInertia(btScalar mass, btVector3& inertia) const override
    {
        inertia.setValue(mass, mass, mass);
    }
    const char* getName() const override { return "RawEllipsoid"; }

private:
    btVector3 core_;
};

bool RawSmoothEdges(btManifoldPoint& cp, const btCollisionObjectWrapper* wrap0, int, int,
                    const btCollisionObjectWrapper* wrap1, int partId1, int index1)
{
    btAdjustInternalEdgeContacts(cp, wrap1, wrap0, partId1, index1);
    return true;
}

struct RawScene {
    btDefaultCollisionConfiguration config;
    btCollisionDispatcher dispatcher{&config};
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world{&dispatcher, &broadphase, &solver, &config};
    Mesh mesh = MakeBowl();
    btTriangleIndexVertexArray* meshInterface = nullptr;
    btBvhTriangleMeshShape* meshShape = nullptr;
    btTriangleInfoMap edgeInfo;
    btSphereShape ballShape{kBallRadius};
    RawEllipsoid* playerShape = nullptr;
    std::vector<btRigidBody*> bodies;

    RawScene()
    {
        world.setGravity(btVector3(0, 0, 0));
        world.getSolverInfo().m_splitImpulsePenetrationThreshold = 0.0f;
        world.getSolverInfo().m_solverMode |= SOLVER_USE_2_FRICTION_DIRECTIONS;
        gContactAddedCallback = RawSmoothEdges;
        meshInterface = new btTriangleIndexVertexArray(int(mesh.indices.size() / 3), mesh.indices.data(),
                                                       3 * int(sizeof(int)), int(mesh.vertices.size() / 3),
                                                       mesh.vertices.data(), 3 * int(sizeof(float)));
        meshShape = new btBvhTriangleMeshShape(meshInterface, true, true);
        btGenerateInternalEdgeInfo(meshShape, &edgeInfo);
        btRigidBody* table = new btRigidBody(0.0f, nullptr, meshShape);
        table->setCollisionFlags(table->getCollisionFlags() | btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK);
        world.addRigidBody(table);
        bodies.push_back(table);
        const float inertia = 0.4f * kBallMass * kBallRadius * kBallRadius;
        for (int n = 0; n < 6; ++n) {
            btRigidBody* ball = new btRigidBody(kBallMass, nullptr, &ballShape, btVector3(inertia, inertia, inertia));
            float p[3], v[3];
            BallStart(n, p, v);
            ball->setWorldTransform(btTransform(btMatrix3x3::getIdentity(), btVector3(p[0], p[1], p[2])));
            ball->setLinearVelocity(btVector3(v[0], v[1], v[2]));
            AddMoving(ball);
        }
        playerShape = new RawEllipsoid(btVector3(1.0f, 2.0f, 1.0f));
        btRigidBody* player = new btRigidBody(150.0f, nullptr, playerShape, btVector3(150, 150, 150));
        player->setWorldTransform(btTransform(btMatrix3x3::getIdentity(), btVector3(kPlayerX, 2.0f, 0)));
        player->setAngularFactor(btVector3(0, 1, 0));
        AddMoving(player);
        for (int i = 0; i < kWarmSteps; ++i) {
            Step();
        }
    }

    void AddMoving(btRigidBody* body)
    {
        body->setDamping(0.0f, 0.0f);
        body->setActivationState(DISABLE_DEACTIVATION);
        world.addRigidBody(body);
        body->setGravity(btVector3(0, 0, 0));
        bodies.push_back(body);
    }

    void Step()
    {
        for (size_t i = 1; i < bodies.size(); ++i) {
            bodies[i]->applyCentralForce(btVector3(0, -9.8f / bodies[i]->getInvMass(), 0));
        }
        world.stepSimulation(kStep, 0, kStep);
    }

    ~RawScene()
    {
        for (btRigidBody* body : bodies) {
            world.removeRigidBody(body);
            delete body;
        }
        delete playerShape;
        delete meshShape;
        delete meshInterface;
    }
};

void BM_LayerStep(benchmark::State& state)
{
    LayerScene scene;
    for (int n = 1; n < 7; ++n) {
        scene.records[n].contacts = 0;
    }
    for (auto _ : state) {
        NewtonUpdate(scene.world, kStep);
    }
    // Shows the scene stayed busy: contacts per step and the balls' mean speed.
    int contacts = 0;
    for (int n = 1; n < 7; ++n) {
        contacts += scene.records[n].contacts;
    }
    state.counters["contacts/step"] = double(contacts) / double(state.iterations());
    state.counters["ball speed"] = scene.MeanBallSpeed();
}
BENCHMARK(BM_LayerStep)->Unit(benchmark::kMicrosecond)->Iterations(3000)->Repetitions(7);

void BM_RawStep(benchmark::State& state)
{
    RawScene scene;
    for (auto _ : state) {
        scene.Step();
    }
}
BENCHMARK(BM_RawStep)->Unit(benchmark::kMicrosecond)->Iterations(3000)->Repetitions(7);

// Keeps each run's time so the layer's cost can be set against Bullet's own.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const auto& entry : reporter.times) {
        const std::string& name = entry.first;
        if (name.rfind("BM_LayerStep", 0) != 0) {
            continue;
        }
        const std::string rawName = "BM_RawStep" + name.substr(std::string("BM_LayerStep").size());
        const auto raw = reporter.times.find(rawName);
        if (raw != reporter.times.end() && raw->second > 0.0) {
            std::printf("ratio layer/raw %-28s %.3f (%.2f us / %.2f us)\n", name.c_str(),
                        entry.second / raw->second, entry.second, raw->second);
        }
    }
    benchmark::Shutdown();
    return 0;
}
