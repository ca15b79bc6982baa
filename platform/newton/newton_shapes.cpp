// newton_shapes.cpp -- collision shapes of the layer: spheres, true ellipsoids (the
// player's body), tree collisions with per-face attributes, and shape references.
#include "platform/newton/newton_local.h"

#include <cmath>

namespace {

// An ellipsoid as a Bullet convex shape. Bullet's own scaled spheres are not
// ellipsoids (their support point is wrong off the axes), so the support mapping is
// written out: for the core radii C the farthest point along d is C^2 d / |C d|, and the
// collision margin rounds the core back out to the full radii.
ATTRIBUTE_ALIGNED16(class) EllipsoidShape : public btConvexInternalShape {
public:
    BT_DECLARE_ALIGNED_ALLOCATOR();

    explicit EllipsoidShape(const btVector3& radii) : radii_(radii)
    {
        m_shapeType = CUSTOM_CONVEX_SHAPE_TYPE;
        const float smallest = radii.x() < radii.y() ? (radii.x() < radii.z() ? radii.x() : radii.z())
                                                     : (radii.y() < radii.z() ? radii.y() : radii.z());
        float margin = 0.04f;
        if (margin > 0.1f * smallest) {
            margin = 0.1f * smallest;
        }
        setMargin(margin);
        core_ = radii - btVector3(margin, margin, margin);
        m_implicitShapeDimensions = radii;
    }

    btVector3 localGetSupportingVertexWithoutMargin(const btVector3& dir) const override
    {
        const btVector3 cd = core_ * dir;
        const float length = cd.length();
        if (length < SIMD_EPSILON) {
            return btVector3(core_.x(), 0, 0);
        }
        return core_ * cd / length;
    }

    void batchedUnitVectorGetSupportingVertexWithoutMargin(const btVector3* dirs, btVector3* out,
                                                          int count) const override
    {
        for (int i = 0; i < count; ++i) {
            out[i] = localGetSupportingVertexWithoutMargin(dirs[i]);
        }
    }

    // Half extent along world axis i of the core placed by the basis R is
    // sqrt(sum_j (R_ij c_j)^2); the margin adds to every side.
    void getAabb(const btTransform& t, btVector3& aabbMin, btVector3& aabbMax) const override
    {
        const btMatrix3x3& r = t.getBasis();
        btVector3 half;
        for (int i = 0; i < 3; ++i) {
            const btVector3 row = r.getRow(i) * core_;
            half[i] = row.length() + getMargin();
        }
        aabbMin = t.getOrigin() - half;
        aabbMax = t.getOrigin() + half;
    }

    void calculateLocalInertia(btScalar mass, btVector3& inertia) const override
    {
        const btVector3 r2 = radii_ * radii_;
        inertia.setValue(mass * (r2.y() + r2.z()) / 5.0f, mass * (r2.x() + r2.z()) / 5.0f,
                         mass * (r2.x() + r2.y()) / 5.0f);
    }

    const char* getName() const override { return "Ellipsoid"; }

private:
    btVector3 radii_;
    btVector3 core_;
};

void AddToWorldList(NewtonWorld* world, NewtonCollision* collision)
{
    collision->listIndex = int(world->collisions.size());
    world->collisions.push_back(collision);
}

void FreeTreeMesh(NewtonCollision* tree)
{
    delete tree->edgeInfo;
    tree->edgeInfo = nullptr;
    if (tree->shape && tree->kind == kShapeTree) {
        delete tree->shape;
        tree->shape = nullptr;
    }
    delete tree->meshInterface;
    tree->meshInterface = nullptr;
}

// Every body made with the tree takes the freshly built mesh (or the empty stand-in).
void AttachTreeToBodies(NewtonCollision* tree)
{
    NewtonWorld* world = tree->world;
    btCollisionShape* shape = tree->shape ? tree->shape : world->emptyShape;
    for (NewtonBody* body : world->bodies) {
        if (body->collision == tree) {
            NewtonDropBodyContacts(world, body);
            world->dynamics->removeRigidBody(body->rigid);
            body->rigid->setCollisionShape(shape);
            NewtonMarkTreeBody(body);
            world->dynamics->addRigidBody(body->rigid);
        }
    }
}

// A ball rolling over the shared edge of two flat triangles would otherwise meet the
// edge itself and hop; Bullet bends such contacts back to the face normal.
bool SmoothEdgeContact(btManifoldPoint& cp, const btCollisionObjectWrapper* wrap0, int partId0, int index0,
                       const btCollisionObjectWrapper* wrap1, int partId1, int index1)
{
    const NewtonBody* body1 = NewtonBodyOf(wrap1->getCollisionObject());
    if (body1 && body1->collision->kind == kShapeTree) {
        btAdjustInternalEdgeContacts(cp, wrap1, wrap0, partId1, index1);
    } else {
        btAdjustInternalEdgeContacts(cp, wrap0, wrap1, partId0, index0);
    }
    return true;
}

}  // namespace

void NewtonInstallEdgeSmoothing()
{
    gContactAddedCallback = SmoothEdgeContact;
}

void NewtonMarkTreeBody(NewtonBody* body)
{
    if (body->collision->kind == kShapeTree) {
        body->rigid->setCollisionFlags(body->rigid->getCollisionFlags() |
                                       btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK);
    }
}

NewtonCollision* NewtonCreateSphere(const NewtonWorld* constWorld, float radiusX, float radiusY,
                                    float radiusZ, const float* offsetMatrix)
{
    NewtonWorld* world = NewtonW(constWorld);
    NewtonCollision* c = NewtonNewRecord<NewtonCollision>(world);
    c->world = world;
    const float tiny = 1.0e-4f;
    c->radii.setValue(radiusX > tiny ? radiusX : tiny, radiusY > tiny ? radiusY : tiny,
                      radiusZ > tiny ? radiusZ : tiny);
    if (c->radii.x() == c->radii.y() && c->radii.y() == c->radii.z()) {
        c->kind = kShapeSphere;
        c->convex = new btSphereShape(c->radii.x());
    } else {
        c->kind = kShapeEllipsoid;
        c->convex = new EllipsoidShape(c->radii);
    }
    c->shape = c->convex;
    if (offsetMatrix) {
        c->offset.setFromOpenGLMatrix(offsetMatrix);
        const bool identity = c->offset.getOrigin().fuzzyZero() &&
                              c->offset.getBasis() == btMatrix3x3::getIdentity();
        if (!identity) {
            c->hasOffset = true;
            btCompoundShape* compound = new btCompoundShape(false, 1);
            compound->addChildShape(c->offset, c->convex);
            c->shape = compound;
        }
    }
    AddToWorldList(world, c);
    return c;
}

NewtonCollision* NewtonCreateTreeCollision(const NewtonWorld* constWorld,
                                           NewtonTreeCollisionCallback userCallback)
{
    NewtonWorld* world = NewtonW(constWorld);
    NewtonCollision* c = NewtonNewRecord<NewtonCollision>(world);
    c->world = world;
    c->kind = kShapeTree;
    c->faceCallback = userCallback;
    AddToWorldList(world, c);
    return c;
}

// Takes the tree's built mesh out into a record of its own, for freeing once
// no body points at it any more.
static NewtonCollision TakeTreeMesh(NewtonCollision* tree)
{
    NewtonCollision old;
    old.kind = kShapeTree;
    old.shape = tree->shape;
    old.meshInterface = tree->meshInterface;
    old.edgeInfo = tree->edgeInfo;
    tree->shape = nullptr;
    tree->meshInterface = nullptr;
    tree->edgeInfo = nullptr;
    return old;
}

void NewtonTreeCollisionBeginBuild(const NewtonCollision* constTree)
{
    NewtonCollision* tree = NewtonC(constTree);
    if (tree->kind != kShapeTree) {
        return;
    }
    if (tree->shape) {
        // The old mesh points into the face arrays about to change: bodies let go first.
        NewtonCollision old = TakeTreeMesh(tree);
        AttachTreeToBodies(tree);
        FreeTreeMesh(&old);
    }
    tree->vertices.clear();
    tree->indices.clear();
    tree->attributes.clear();
    tree->built = false;
}

void NewtonTreeCollisionAddFace(const NewtonCollision* constTree, int vertexCount,
                                const float* vertexPtr, int strideInBytes, int faceAttribute)
{
    NewtonCollision* tree = NewtonC(constTree);
    if (tree->kind != kShapeTree || vertexCount < 3 || !vertexPtr || strideInBytes < 12) {
        return;
    }
    const char* bytes = reinterpret_cast<const char*>(vertexPtr);
    const int first = int(tree->vertices.size() / 3);
    for (int i = 0; i < vertexCount; ++i) {
        const float* v = reinterpret_cast<const float*>(bytes + size_t(i) * size_t(strideInBytes));
        tree->vertices.push_back(v[0]);
        tree->vertices.push_back(v[1]);
        tree->vertices.push_back(v[2]);
    }
    // A polygon is a fan of triangles, each carrying the face's attribute.
    for (int i = 1; i + 1 < vertexCount; ++i) {
        tree->indices.push_back(first);
        tree->indices.push_back(first + i);
        tree->indices.push_back(first + i + 1);
        tree->attributes.push_back(faceAttribute);
    }
}

void NewtonTreeCollisionEndBuild(const NewtonCollision* constTree, int optimize)
{
    (void)optimize;
    NewtonCollision* tree = NewtonC(constTree);
    if (tree->kind != kShapeTree) {
        return;
    }
    // A rebuilt tree: bodies move to the new mesh before the old one goes.
    NewtonCollision old = TakeTreeMesh(tree);
    tree->built = true;
    if (!tree->attributes.empty()) {
        tree->meshInterface = new btTriangleIndexVertexArray(
            int(tree->attributes.size()), tree->indices.data(), 3 * int(sizeof(int)),
            int(tree->vertices.size() / 3), tree->vertices.data(), 3 * int(sizeof(float)));
        btBvhTriangleMeshShape* mesh = new btBvhTriangleMeshShape(tree->meshInterface, true, true);
        tree->edgeInfo = new btTriangleInfoMap();
        btGenerateInternalEdgeInfo(mesh, tree->edgeInfo);
        tree->shape = mesh;
    }
    AttachTreeToBodies(tree);
    FreeTreeMesh(&old);
}

void NewtonCollisionCalculateAABB(const NewtonCollision* collision, const float* matrix, float* p0,
                                  float* p1)
{
    btTransform transform;
    transform.setFromOpenGLMatrix(matrix);
    btVector3 lo(0, 0, 0), hi(0, 0, 0);
    if (collision->shape) {
        collision->shape->getAabb(transform, lo, hi);
    } else {
        lo = hi = transform.getOrigin();
    }
    NewtonStoreVec(lo, p0);
    NewtonStoreVec(hi, p1);
}

void NewtonFreeCollision(NewtonWorld* world, NewtonCollision* c)
{
    if (c->kind == kShapeTree) {
        FreeTreeMesh(c);
    } else {
        if (c->shape != c->convex) {
            delete c->shape;
        }
        delete c->convex;
    }
    NewtonCollision* last = world->collisions.back();
    world->collisions[size_t(c->listIndex)] = last;
    last->listIndex = c->listIndex;
    world->collisions.pop_back();
    NewtonDeleteRecord(world, c);
}

void NewtonCollisionDropReference(NewtonWorld* world, NewtonCollision* collision)
{
    collision->refCount -= 1;
    if (collision->refCount <= 0) {
        NewtonFreeCollision(world, collision);
    }
}

void NewtonReleaseCollision(const NewtonWorld* world, const NewtonCollision* collision)
{
    if (collision) {
        NewtonCollisionDropReference(NewtonW(world), NewtonC(collision));
    }
}

// The ray in the ellipsoid's frame scaled by 1/radii meets the unit sphere; the normal
// is the gradient of the ellipsoid's equation at the hit.
bool NewtonEllipsoidRayHit(const NewtonBody* body, const btVector3& p0, const btVector3& p1,
                           float* param, btVector3* normal)
{
    const NewtonCollision* c = body->collision;
    const btTransform frame = body->rigid->getWorldTransform() * c->offset;
    const btTransform inverse = frame.inverse();
    const btVector3 a = inverse(p0) / c->radii;
    const btVector3 b = inverse(p1) / c->radii;
    const btVector3 d = b - a;
    const float dd = d.dot(d);
    const float ad = a.dot(d);
    const float aa = a.dot(a);
    if (aa <= 1.0f || dd <= 0.0f) {
        return false;  // starts inside, or no ray at all
    }
    const float disc = ad * ad - dd * (aa - 1.0f);
    if (disc < 0.0f) {
        return false;
    }
    const float t = (-ad - std::sqrt(disc)) / dd;
    if (t < 0.0f || t > 1.0f) {
        return false;
    }
    const btVector3 local = (a + d * t) * c->radii;
    const btVector3 gradient = local / (c->radii * c->radii);
    *param = t;
    *normal = (frame.getBasis() * gradient).normalized();
    return true;
}
