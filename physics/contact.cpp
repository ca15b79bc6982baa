// contact.cpp -- what happens where a ball touches the table: knocks, the rolling
// rumble, the rough lane's grip, and the scoring holes that send the ball back.
#include "physics/physics.h"

#include "platform/newton/newton.h"
#include "sound/sound.h"

enum {
    kRoughFace = 4,       // the lane: grips the ball and swallows its bounce
    kHundredFace = 9,     // the small holes
    kTwentyFiveFace = 10,
    kTenFace = 11,
};

static const Vec3 kReturnPoint = {0.0f, 2.332f, -8.936f};

int ContactBegin(const NewtonMaterial*, const NewtonBody*, const NewtonBody*)
{
    return 1;
}

static void PlayImpact(const SceneObject* ball, float energy)
{
    SoundSetPosition(ball->sources[0], Mat4Position(ball->matrix));
    SoundSetGain(ball->sources[0], energy / 5.0f);
    SoundPlay(ball->sources[0]);
}

static void KeepRolling(SceneObject* ball, float speed)
{
    ball->rolling = kTrue;
    unsigned int source = ball->sources[1];
    int paused = SoundIsPaused(source);
    SoundSetPitch(source, speed / 6.2831855f);
    if (paused && ball->gravityOn) {
        SoundSetPosition(source, ball->frame.position);
        SoundPlay(source);   // resumes where the rumble was paused
    }
}

static void MakeRough(const NewtonMaterial* material)
{
    for (int direction = 0; direction < 2; ++direction) {
        NewtonMaterialSetContactFrictionState(material, 1, direction);
        NewtonMaterialSetContactStaticFrictionCoef(material, 1.4f, direction);
        NewtonMaterialSetContactKineticFrictionCoef(material, 1.395f, direction);
    }
    NewtonMaterialSetContactElasticity(material, 0.01f);
}

static void Score(SceneObject* ball, int points, int jingle)
{
    // A ball scores once until the frame loop collects its points.
    if (ball->points != 0)
        return;
    PlaceBodyUpright(ball->body, kReturnPoint);
    ball->points = points;
    SoundSetPosition(ball->sources[jingle], ball->frame.position);
    SoundPlay(ball->sources[jingle]);
}

int ContactProcess(const NewtonMaterial* material, const NewtonContact* contact)
{
    SceneObject* ball = (SceneObject*)NewtonMaterialGetMaterialPairUserData(material);
    int face = (int)NewtonMaterialGetContactFaceAttribute(material);

    float normalSpeed = NewtonMaterialGetContactNormalSpeed(material, contact);
    float energy = normalSpeed * normalSpeed;
    if (energy >= 1.0f && ball->gravityOn)
        PlayImpact(ball, energy);

    float velocity[3];
    NewtonBodyGetVelocity(ball->body, velocity);
    float speed = Vec3Length(Vec3{velocity[0], velocity[1], velocity[2]});
    if (speed >= 0.25f)
        KeepRolling(ball, speed);

    switch (face) {
    case kRoughFace: MakeRough(material); break;
    case kHundredFace: Score(ball, 100, 2); break;
    case kTwentyFiveFace: Score(ball, 25, 3); break;
    case kTenFace: Score(ball, 10, 4); break;
    default: break;
    }
    return 1;
}

void ContactEnd(const NewtonMaterial*)
{
}
