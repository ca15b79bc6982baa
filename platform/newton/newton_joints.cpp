// newton_joints.cpp -- joints of the layer: the up-vector joint and user joints whose
// rows a game callback submits every step, solved by Bullet as a custom constraint.
#include "platform/newton/newton_local.h"

#include <cmath>

namespace {

// Share of an angular drift a row removes per step when the callback sets no
// acceleration of its own.
const float kDriftCorrection = 0.2f;

}  // namespace

// Hands Bullet the rows the joint collected for this step.
class NewtonLayerConstraint : public btTypedConstraint {
public:
    NewtonLayerConstraint(NewtonJoint* joint, btRigidBody& a, btRigidBody& b)
        : btTypedConstraint(CONTACT_CONSTRAINT_TYPE, a, b), joint_(joint)
    {
    }

    void getInfo1(btConstraintInfo1* info) override
    {
        info->m_numConstraintRows = joint_->rowCount;
        info->nub = 6 - joint_->rowCount;
    }

    void getInfo2(btConstraintInfo2* info) override
    {
        const int skip = info->rowskip;
        for (int i = 0; i < joint_->rowCount; ++i) {
            const NewtonJointRow& row = joint_->rows[i];
            for (int k = 0; k < 3; ++k) {
                info->m_J1linearAxis[i * skip + k] = row.linear0[k];
                info->m_J1angularAxis[i * skip + k] = row.angular0[k];
                info->m_J2linearAxis[i * skip + k] = row.linear1[k];
                info->m_J2angularAxis[i * skip + k] = row.angular1[k];
            }
            info->m_constraintError[i * skip] = row.target;
            info->m_lowerLimit[i * skip] = row.lower;
            info->m_upperLimit[i * skip] = row.upper;
        }
    }

    void setParam(int, btScalar, int) override {}
    btScalar getParam(int, int) const override { return 0; }

private:
    NewtonJoint* joint_;
};

namespace {

btRigidBody& ParentRigid(NewtonJoint* joint)
{
    return joint->parent ? *joint->parent->rigid : btTypedConstraint::getFixedBody();
}

NewtonJoint* NewJoint(NewtonWorld* world, NewtonJointKind kind, NewtonBody* child, NewtonBody* parent)
{
    NewtonJoint* joint = NewtonNewRecord<NewtonJoint>(world);
    joint->world = world;
    joint->kind = kind;
    joint->child = child;
    joint->parent = parent;
    joint->listIndex = int(world->joints.size());
    world->joints.push_back(joint);
    return joint;
}

void AddConstraint(NewtonJoint* joint)
{
    joint->constraint = new NewtonLayerConstraint(joint, *joint->child->rigid, ParentRigid(joint));
    joint->world->dynamics->addConstraint(joint->constraint, true);
}

btVector3 RelativeOmega(const NewtonJoint* joint)
{
    btVector3 omega = joint->child->rigid->getAngularVelocity();
    if (joint->parent) {
        omega -= joint->parent->rigid->getAngularVelocity();
    }
    return omega;
}

NewtonJointRow* AddRow(NewtonJoint* joint)
{
    if (joint->rowCount >= joint->maxRows) {
        return nullptr;
    }
    NewtonJointRow* row = &joint->rows[joint->rowCount++];
    row->lower = -SIMD_INFINITY;
    row->upper = SIMD_INFINITY;
    return row;
}

NewtonJointRow* LastRow(const NewtonJoint* joint)
{
    return joint->rowCount > 0 ? &NewtonJ(joint)->rows[joint->rowCount - 1] : nullptr;
}

void AddAngularRow(NewtonJoint* joint, float relativeAngle, const btVector3& pin)
{
    NewtonJointRow* row = AddRow(joint);
    if (!row) {
        return;
    }
    row->angular = true;
    row->relativeAngle = relativeAngle;
    row->linear0.setZero();
    row->linear1.setZero();
    row->angular0 = pin;
    row->angular1 = -pin;
    row->target = -kDriftCorrection * relativeAngle / joint->world->timeStep;
}

// The up vector keeps the body's pin on the fixed world direction: two rows about the
// directions across it, each removing part of any tilt.
void SubmitUpVector(NewtonJoint* joint)
{
    const btVector3 pinNow = joint->child->rigid->getWorldTransform().getBasis() * joint->pinLocal;
    const btVector3 tilt = pinNow.cross(joint->pinWorld);
    btVector3 u, v;
    btPlaneSpace1(joint->pinWorld, u, v);
    const float dt = joint->world->timeStep;
    NewtonJointRow* rowU = AddRow(joint);
    NewtonJointRow* rowV = AddRow(joint);
    const btVector3 axes[2] = {u, v};
    NewtonJointRow* rows[2] = {rowU, rowV};
    for (int k = 0; k < 2; ++k) {
        rows[k]->angular = true;
        rows[k]->linear0.setZero();
        rows[k]->linear1.setZero();
        rows[k]->angular0 = axes[k];
        rows[k]->angular1 = -axes[k];
        rows[k]->target = kDriftCorrection * tilt.dot(axes[k]) / dt;
    }
}

// A pin along a world axis is held exactly by letting the body turn about that axis only.
bool AxisAligned(const btVector3& pin, btVector3* factor)
{
    for (int k = 0; k < 3; ++k) {
        if (std::fabs(std::fabs(pin[k]) - 1.0f) < 1.0e-6f) {
            factor->setZero();
            (*factor)[k] = 1.0f;
            return true;
        }
    }
    return false;
}

}  // namespace

void NewtonRunJointSubmits(NewtonWorld* world)
{
    for (NewtonJoint* joint : world->joints) {
        joint->rowCount = 0;
        if (joint->child->parked || joint->child->mass <= 0.0f) {
            continue;
        }
        if (joint->kind == kJointUser) {
            if (joint->submit) {
                joint->submit(joint);
            }
        } else if (!joint->useAngularFactor) {
            SubmitUpVector(joint);
        }
    }
}

NewtonJoint* NewtonConstraintCreateUpVector(const NewtonWorld* constWorld, const float* pinDir,
                                            const NewtonBody* constBody)
{
    NewtonWorld* world = NewtonW(constWorld);
    NewtonBody* body = NewtonB(constBody);
    btVector3 pin = NewtonVec(pinDir);
    if (pin.length2() < SIMD_EPSILON) {
        pin.setValue(0, 1, 0);
    }
    pin.normalize();
    NewtonJoint* joint = NewJoint(world, kJointUpVector, body, nullptr);
    joint->maxRows = 2;
    joint->pinWorld = pin;
    joint->pinLocal = body->rigid->getWorldTransform().getBasis().transpose() * pin;
    btVector3 factor;
    if (AxisAligned(pin, &factor)) {
        joint->useAngularFactor = true;
        body->angularFactor = factor;
        body->rigid->setAngularFactor(factor);
        body->rigid->setAngularVelocity(body->rigid->getAngularVelocity() * factor);
    }
    AddConstraint(joint);
    return joint;
}

NewtonJoint* NewtonConstraintCreateUserJoint(const NewtonWorld* constWorld, int maxDOF,
                                             NewtonUserBilateralCallBack submitCallback,
                                             const NewtonBody* childBody, const NewtonBody* parentBody)
{
    NewtonWorld* world = NewtonW(constWorld);
    NewtonJoint* joint = NewJoint(world, kJointUser, NewtonB(childBody), NewtonB(parentBody));
    const int capacity = int(sizeof(joint->rows) / sizeof(joint->rows[0]));
    joint->maxRows = maxDOF < 0 ? 0 : (maxDOF > capacity ? capacity : maxDOF);
    joint->submit = submitCallback;
    AddConstraint(joint);
    return joint;
}

void NewtonFreeJoint(NewtonWorld* world, NewtonJoint* joint)
{
    if (joint->constraint) {
        world->dynamics->removeConstraint(joint->constraint);
        delete joint->constraint;
    }
    if (joint->useAngularFactor) {
        joint->child->angularFactor.setValue(1, 1, 1);
        joint->child->rigid->setAngularFactor(joint->child->angularFactor);
    }
    NewtonJoint* last = world->joints.back();
    world->joints[size_t(joint->listIndex)] = last;
    last->listIndex = joint->listIndex;
    world->joints.pop_back();
    NewtonDeleteRecord(world, joint);
}

void NewtonDestroyJoint(const NewtonWorld* world, const NewtonJoint* joint)
{
    if (joint && !NewtonW(world)->inStep) {
        NewtonFreeJoint(NewtonW(world), NewtonJ(joint));
    }
}

void NewtonJointSetUserData(const NewtonJoint* joint, void* userData)
{
    NewtonJ(joint)->userData = userData;
}

void* NewtonJointGetUserData(const NewtonJoint* joint)
{
    return joint->userData;
}

void NewtonUserJointAddAngularRow(const NewtonJoint* joint, float relativeAngle, const float* dir)
{
    btVector3 pin = NewtonVec(dir);
    if (pin.length2() < SIMD_EPSILON) {
        return;
    }
    AddAngularRow(NewtonJ(joint), relativeAngle, pin.normalized());
}

void NewtonUserJointAddLinearRow(const NewtonJoint* constJoint, const float* pivot0, const float* pivot1,
                                 const float* dir)
{
    NewtonJoint* joint = NewtonJ(constJoint);
    btVector3 d = NewtonVec(dir);
    if (d.length2() < SIMD_EPSILON) {
        return;
    }
    d.normalize();
    NewtonJointRow* row = AddRow(joint);
    if (!row) {
        return;
    }
    const btVector3 p0 = NewtonVec(pivot0);
    const btVector3 p1 = NewtonVec(pivot1);
    const btVector3 r0 = p0 - joint->child->rigid->getCenterOfMassPosition();
    const btVector3 r1 = joint->parent ? p1 - joint->parent->rigid->getCenterOfMassPosition()
                                       : btVector3(0, 0, 0);
    row->angular = false;
    row->relativeAngle = 0.0f;
    row->linear0 = d;
    row->angular0 = r0.cross(d);
    row->linear1 = -d;
    row->angular1 = -r1.cross(d);
    row->target = -kDriftCorrection * d.dot(p0 - p1) / joint->world->timeStep;
}

// The row's relative velocity after the step is its velocity now plus acceleration * dt.
void NewtonUserJointSetRowAcceleration(const NewtonJoint* joint, float acceleration)
{
    NewtonJointRow* row = LastRow(joint);
    if (!row) {
        return;
    }
    float now = 0.0f;
    if (row->angular) {
        now = row->angular0.dot(RelativeOmega(joint));
    } else {
        const btRigidBody* child = joint->child->rigid;
        now = row->linear0.dot(child->getLinearVelocity()) + row->angular0.dot(child->getAngularVelocity());
        if (joint->parent) {
            const btRigidBody* parent = joint->parent->rigid;
            now += row->linear1.dot(parent->getLinearVelocity()) +
                   row->angular1.dot(parent->getAngularVelocity());
        }
    }
    row->target = now + acceleration * joint->world->timeStep;
}

// Friction bounds are forces or torques; Bullet bounds the row's impulse over the step.
void NewtonUserJointSetRowMinimumFriction(const NewtonJoint* joint, float friction)
{
    NewtonJointRow* row = LastRow(joint);
    if (row) {
        row->lower = friction * joint->world->timeStep;
    }
}

void NewtonUserJointSetRowMaximumFriction(const NewtonJoint* joint, float friction)
{
    NewtonJointRow* row = LastRow(joint);
    if (row) {
        row->upper = friction * joint->world->timeStep;
    }
}
