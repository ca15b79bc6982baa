// scene.cpp -- the material groups and their pairs, and the set-up and release of
// the scene: six balls, the table and the player.
#include "physics/physics.h"

#include "platform/newton/newton.h"
#include "sound/sound.h"

#include <cstdio>
#include <cstdlib>

struct PairParameters {
    float softness, elasticity;
    int collidable;
    float staticFriction, kineticFriction;
};

// Everything rolling over the table shares these; balls among themselves are
// bouncier and slicker.
static const PairParameters kTablePair = {0.75f, 0.25f, 1, 1.0f, 0.9f};
static const PairParameters kBallPair = {1.0f, 0.5f, 1, 0.5f, 0.49f};

void PlaceBodyUpright(const NewtonBody* body, Vec3 position)
{
    Mat4 place;
    Mat4Identity(&place);
    place.m[12] = position.x;
    place.m[13] = position.y;
    place.m[14] = position.z;
    NewtonBodySetMatrix(body, place.m);
}

static void SetPair(NewtonWorld* world, int id0, int id1, const PairParameters& p)
{
    NewtonMaterialSetDefaultSoftness(world, id0, id1, p.softness);
    NewtonMaterialSetDefaultElasticity(world, id0, id1, p.elasticity);
    NewtonMaterialSetDefaultCollidable(world, id0, id1, p.collidable);
    NewtonMaterialSetDefaultFriction(world, id0, id1, p.staticFriction, p.kineticFriction);
}

static void SetBallLists(SceneObject* ball, unsigned int texturedLists, unsigned int plainLists)
{
    ball->texturedListIds = (int*)std::calloc(ball->modelCount, sizeof(int));
    ball->plainListIds = (int*)std::calloc(ball->modelCount, sizeof(int));
    for (int k = 0; k < ball->modelCount; ++k) {
        ball->texturedListIds[k] = (int)texturedLists + ball->modelIndices[k];
        ball->plainListIds[k] = (int)plainLists + ball->modelIndices[k];
    }
}

static void SetupBall(NewtonWorld* world, SceneObject* ball, int number, int tableGroup,
                      unsigned int texturedLists, unsigned int plainLists,
                      const unsigned int* soundSources)
{
    ball->modelCount = 1;
    ball->modelIndices = (int*)std::calloc(1, sizeof(int));
    ball->modelIndices[0] = 1;
    std::snprintf(ball->name, sizeof(ball->name), "Sphere - Object #%d", number);
    ball->number = number;
    ball->gravityOn = kTrue;

    CreateBall(world, ball, 5.0f);
    NewtonBodyCoriolisForcesMode(ball->body, 1);

    // Shared impact sound, the ball's own rolling loop, the three win jingles.
    ball->sourceCount = 5;
    ball->sources = (unsigned int*)std::calloc(5, sizeof(unsigned int));
    const int bankSlots[5] = {0, number, 7, 8, 9};
    for (int i = 0; i < 5; ++i)
        ball->sources[i] = soundSources[bankSlots[i]];

    // The ball's own group, so its contacts with the table reach the callbacks
    // with this record as the pair's user data.
    ball->materialId = NewtonMaterialCreateGroupID(world);
    SetPair(world, ball->materialId, tableGroup, kTablePair);
    NewtonMaterialSetCollisionCallback(world, ball->materialId, tableGroup, ball, ContactBegin,
                                       ContactProcess, ContactEnd);
    NewtonBodySetMaterialGroupID(ball->body, ball->materialId);
    NewtonMaterialSetContinuousCollisionMode(world, tableGroup, ball->materialId, 1);

    SetBallLists(ball, texturedLists, plainLists);

    // The rolling loop starts out paused; contacts resume it while the ball rolls.
    SoundSetLooping(ball->sources[1], true);
    SoundPlay(ball->sources[1]);
    SoundPause(ball->sources[1]);
}

void SetupPhysicsScene(NewtonWorld* world, SceneObject* objects, Player* player,
                       Model** modelSlots, unsigned int texturedLists,
                       unsigned int plainLists, const unsigned int* soundSources)
{
    int defaultGroup = NewtonMaterialGetDefaultGroupID(world);
    SetPair(world, defaultGroup, defaultGroup, kTablePair);
    int tableGroup = NewtonMaterialCreateGroupID(world);
    SetPair(world, tableGroup, tableGroup, kTablePair);
    int playerGroup = NewtonMaterialCreateGroupID(world);
    SetPair(world, playerGroup, tableGroup, kTablePair);

    for (int n = 1; n <= 6; ++n)
        SetupBall(world, &objects[n], n, tableGroup, texturedLists, plainLists, soundSources);
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j)
            SetPair(world, objects[i].materialId, objects[j].materialId, kBallPair);

    SceneObject* table = &objects[0];
    table->modelCount = 1;
    table->modelIndices = (int*)std::calloc(1, sizeof(int));
    table->modelIndices[0] = 0;
    table->texturedListIds = (int*)std::calloc(1, sizeof(int));
    table->texturedListIds[0] = (int)texturedLists;
    table->plainListIds = (int*)std::calloc(1, sizeof(int));
    table->plainListIds[0] = (int)plainLists;
    BuildTableCollision(world, modelSlots, table);
    NewtonBodySetMaterialGroupID(table->body, tableGroup);

    CreatePlayer(world, player, 150.0f);
    NewtonBodySetMaterialGroupID(player->body, playerGroup);
    NewtonMaterialSetContinuousCollisionMode(world, tableGroup, playerGroup, 1);

    NewtonSetMinimumFrameRate(world, 300.0f);
}

template <typename T> static void FreeAndNull(T** pointer)
{
    std::free(*pointer);
    *pointer = nullptr;
}

void ReleaseSceneObjects(SceneObject** objects)
{
    if (!*objects)
        return;
    for (int i = 0; i < kObjectCount; ++i) {
        SceneObject* o = &(*objects)[i];
        FreeAndNull(&o->modelIndices);
        FreeAndNull(&o->matrix);
        if (o->modelMatrices) {
            for (int k = 0; k < o->modelCount; ++k)
                FreeAndNull(&o->modelMatrices[k]);
            FreeAndNull(&o->modelMatrices);
        }
        FreeAndNull(&o->joints);
        FreeAndNull(&o->texturedListIds);
        FreeAndNull(&o->plainListIds);
        FreeAndNull(&o->sources);
    }
    FreeAndNull(objects);
}
