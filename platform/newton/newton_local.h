// newton_local.h -- the records behind the rigid-body API handles, shared by the
// newton*.cpp files of the layer; nothing outside platform/ includes it.
#pragma once

#include "platform/newton/newton.h"

#include <btBulletDynamicsCommon.h>
#include <BulletCollision/CollisionDispatch/btInternalEdgeUtility.h>

#include <new>
#include <vector>

struct NewtonMaterialPair;

// Parameters of one unordered pair of material groups.
struct NewtonMaterialPair {
    float softness = 0.1f;
    float elasticity = 0.4f;
    float staticFriction = 0.9f;
    float kineticFriction = 0.5f;
    int collidable = 1;
    int continuous = 0;
    void* userData = nullptr;
    NewtonContactBegin begin = nullptr;
    NewtonContactProcess process = nullptr;
    NewtonContactEnd end = nullptr;
};

enum NewtonShapeKind { kShapeSphere, kShapeEllipsoid, kShapeTree };

// A Bullet shape with a reference count. A tree keeps its triangles here; Bullet's
// mesh interface points into them.
struct NewtonCollision {
    NewtonWorld* world = nullptr;
    int refCount = 1;
    int listIndex = -1;              // position in the world's shape list
    NewtonShapeKind kind = kShapeSphere;
    btVector3 radii{0, 0, 0};        // sphere and ellipsoid
    bool hasOffset = false;
    btTransform offset = btTransform::getIdentity();
    btCollisionShape* convex = nullptr;  // the sphere or ellipsoid itself
    btCollisionShape* shape = nullptr;   // what bodies use (convex, or a compound, or the mesh)
    // Tree collision.
    NewtonTreeCollisionCallback faceCallback = nullptr;
    std::vector<float> vertices;
    std::vector<int> indices;
    std::vector<int> attributes;     // one per triangle
    btTriangleIndexVertexArray* meshInterface = nullptr;
    btTriangleInfoMap* edgeInfo = nullptr;   // which mesh edges are internal
    bool built = false;
};

// One row a user joint's submit callback added this step.
struct NewtonJointRow {
    btVector3 linear0, angular0, linear1, angular1;
    float target;                     // wanted relative velocity along the row after the step
    float lower, upper;               // impulse bounds
    bool angular;
    float relativeAngle;              // angular rows: drift to remove
};

enum NewtonJointKind { kJointUser, kJointUpVector };

class NewtonLayerConstraint;

struct NewtonJoint {
    NewtonWorld* world = nullptr;
    int listIndex = -1;
    NewtonJointKind kind = kJointUser;
    NewtonBody* child = nullptr;
    NewtonBody* parent = nullptr;
    void* userData = nullptr;
    NewtonUserBilateralCallBack submit = nullptr;
    int maxRows = 0;
    int rowCount = 0;
    NewtonJointRow rows[8];
    btVector3 pinLocal{0, 1, 0};      // up vector: the pin in the child's frame
    btVector3 pinWorld{0, 1, 0};
    bool useAngularFactor = false;    // up vector along a world axis
    NewtonLayerConstraint* constraint = nullptr;
};

struct NewtonBody {
    NewtonWorld* world = nullptr;
    int listIndex = -1;
    NewtonCollision* collision = nullptr;
    btRigidBody* rigid = nullptr;
    void* userData = nullptr;
    int groupId = 0;
    NewtonApplyForceAndTorque forceCallback = nullptr;
    NewtonSetTransform transformCallback = nullptr;
    float mass = 0, Ixx = 0, Iyy = 0, Izz = 0;
    btVector3 force{0, 0, 0};
    btVector3 torque{0, 0, 0};
    btVector3 angularFactor{1, 1, 1};
    bool continuous = false;
    bool autoFreeze = true;
    bool parked = false;              // left the world box
    bool isSphere = false;            // true sphere without offset: contact points refit
    float sphereRadius = 0;
};

// The current contact seen by the contact callbacks.
struct NewtonMaterial {
    NewtonMaterialPair* pair = nullptr;
    NewtonBody* body0 = nullptr;
    NewtonBody* body1 = nullptr;
    btPersistentManifold* manifold = nullptr;
    btManifoldPoint* point = nullptr;
    unsigned faceAttribute = 0;
    float normalSpeed = 0;
    float tangentSpeed = 0;
    int frictionState[2] = {1, 1};
    float staticCoef[2] = {0, 0};
    float kineticCoef[2] = {0, 0};
    float elasticity = 0;
    float softness = 0;
    bool disabled = false;
};

class NewtonLayerWorld;

struct NewtonWorld {
    NewtonAllocMemory allocFn = nullptr;
    NewtonFreeMemory freeFn = nullptr;
    btDefaultCollisionConfiguration* config = nullptr;
    btCollisionDispatcher* dispatcher = nullptr;
    btBroadphaseInterface* broadphase = nullptr;
    btSequentialImpulseConstraintSolver* solver = nullptr;
    NewtonLayerWorld* dynamics = nullptr;
    btOverlapFilterCallback* filter = nullptr;
    btEmptyShape* emptyShape = nullptr;   // stands in for a tree not built yet
    std::vector<NewtonBody*> bodies;
    std::vector<NewtonJoint*> joints;
    std::vector<NewtonCollision*> collisions;
    int groupCount = 1;
    std::vector<NewtonMaterialPair> pairs;  // groupCount * groupCount, symmetric
    float timeStep = 1.0f / 60.0f;
    float minimumFrameRate = 60.0f;
    int platformMode = 0;
    btVector3 worldMin{-100, -100, -100};
    btVector3 worldMax{100, 100, 100};
    bool inStep = false;
    bool inContactPass = false;
    NewtonMaterial material;              // the contact being processed
};

// How many records of one kind are alive, over all worlds.
template <typename T>
int& NewtonLiveRecords()
{
    static int count = 0;
    return count;
}

// Records of the layer come from the world's allocator.
template <typename T>
T* NewtonNewRecord(NewtonWorld* world)
{
    void* memory = world->allocFn ? world->allocFn(int(sizeof(T))) : ::operator new(sizeof(T));
    ++NewtonLiveRecords<T>();
    return new (memory) T();
}

template <typename T>
void NewtonDeleteRecord(NewtonWorld* world, T* record)
{
    --NewtonLiveRecords<T>();
    record->~T();
    if (world->freeFn) {
        world->freeFn(record, int(sizeof(T)));
    } else {
        ::operator delete(record);
    }
}

// Handles are passed as const pointers by the API; the layer owns them.
inline NewtonWorld* NewtonW(const NewtonWorld* world) { return const_cast<NewtonWorld*>(world); }
inline NewtonBody* NewtonB(const NewtonBody* body) { return const_cast<NewtonBody*>(body); }
inline NewtonCollision* NewtonC(const NewtonCollision* c) { return const_cast<NewtonCollision*>(c); }
inline NewtonJoint* NewtonJ(const NewtonJoint* joint) { return const_cast<NewtonJoint*>(joint); }
inline NewtonMaterial* NewtonM(const NewtonMaterial* m) { return const_cast<NewtonMaterial*>(m); }

inline NewtonBody* NewtonBodyOf(const btCollisionObject* object)
{
    return static_cast<NewtonBody*>(object->getUserPointer());
}

inline btVector3 NewtonVec(const float* v) { return btVector3(v[0], v[1], v[2]); }
inline void NewtonStoreVec(const btVector3& v, float* out)
{
    out[0] = v.x();
    out[1] = v.y();
    out[2] = v.z();
}

NewtonMaterialPair& NewtonPairOf(NewtonWorld* world, int id0, int id1);

// Runs inside every step, after collision detection and before the solver.
void NewtonRunJointSubmits(NewtonWorld* world);
void NewtonRunContactPass(NewtonWorld* world);

// Drops every contact the body has, so a moved body is not pushed by old ones.
void NewtonDropBodyContacts(NewtonWorld* world, NewtonBody* body);
// Takes the body out of Bullet's world and puts it back, so that its pairs are found
// again with the current group and collidable settings.
void NewtonReinsertBody(NewtonWorld* world, NewtonBody* body);
// Releases one reference of a shape; frees it with the last one.
void NewtonCollisionDropReference(NewtonWorld* world, NewtonCollision* collision);
void NewtonFreeCollision(NewtonWorld* world, NewtonCollision* collision);
// Free a joint (with its Bullet constraint) or a body (with its joints and its shape
// reference).
void NewtonFreeJoint(NewtonWorld* world, NewtonJoint* joint);
void NewtonFreeBody(NewtonWorld* world, NewtonBody* body);

// Marks a tree body so that contacts on its internal edges are smoothed.
void NewtonMarkTreeBody(NewtonBody* body);
// Installed once: smooths contacts on the internal edges of tree collisions.
void NewtonInstallEdgeSmoothing();

// Exact ray entry into an ellipsoid body (sphere included): false when the ray misses
// or starts inside. param is along p0-p1 (0 to 1), normal in world space.
bool NewtonEllipsoidRayHit(const NewtonBody* body, const btVector3& p0, const btVector3& p1,
                           float* param, btVector3* normal);

// The Bullet world with the layer's per-step work placed between collision detection
// and the solver.
class NewtonLayerWorld : public btDiscreteDynamicsWorld {
public:
    NewtonLayerWorld(NewtonWorld* owner, btDispatcher* dispatcher, btBroadphaseInterface* broadphase,
                     btConstraintSolver* solver, btCollisionConfiguration* config)
        : btDiscreteDynamicsWorld(dispatcher, broadphase, solver, config), owner_(owner)
    {
    }
    void solveConstraints(btContactSolverInfo& solverInfo) override;
    // Predictive (swept) contact manifolds of this step.
    btAlignedObjectArray<btPersistentManifold*>& PredictiveManifolds() { return m_predictiveManifolds; }

private:
    NewtonWorld* owner_;
};
