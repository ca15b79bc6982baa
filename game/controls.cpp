// controls.cpp -- walking with W, A, S, D, looking with the mouse, and the audio
// listener that follows the player's eye.
#include "game/game.h"

#include "platform/glfw2/glfw2.h"
#include "platform/newton/newton.h"
#include "sound/sound.h"

enum { kKeyA = 65, kKeyD = 68, kKeyS = 83, kKeyW = 87 };
static const int kCursorCentreX = 320;
static const int kCursorCentreY = 240;

void ReadMouseLook(Player* player, const Settings* settings)
{
    int x = 0, y = 0;
    glfwGetMousePos(&x, &y);
    // 0.001 radian per pixel at sensitivity 1; moving the mouse up looks up
    // (down when inverted), right turns right.
    float pitchScale = settings->invertMouse ? -settings->sensitivity : settings->sensitivity;
    player->pitch = (float)(kCursorCentreY - y) / 1000.0f * pitchScale;
    player->yaw = (float)(kCursorCentreX - x) / 1000.0f * settings->sensitivity;
    // Pulling right back towards the horizontal plane keeps the horizon level.
    player->roll = -player->right.y;
    glfwSetMousePos(kCursorCentreX, kCursorCentreY);
}

static void PushHorizontal(Vec3* force, Vec3 direction, float gain)
{
    force->x += direction.x * gain;
    force->z += direction.z * gain;
}

static float Clamp(float value, float limit)
{
    if (value >= limit)
        return limit;
    if (value <= -limit)
        return -limit;
    return value;
}

void ApplyMovementKeys(Player* player)
{
    int d = glfwGetKey(kKeyD), a = glfwGetKey(kKeyA);
    int w = glfwGetKey(kKeyW), s = glfwGetKey(kKeyS);
    if (d)
        PushHorizontal(&player->moveForce, player->right, player->mass);
    if (a)
        PushHorizontal(&player->moveForce, player->right, -player->mass);
    if (w)
        PushHorizontal(&player->moveForce, player->forward, player->mass);
    if (s)
        PushHorizontal(&player->moveForce, player->forward, -player->mass);

    // Each horizontal component is limited on its own, not the vector's length.
    float limit = player->mass * player->mass;
    player->moveForce.x = Clamp(player->moveForce.x, limit);
    player->moveForce.z = Clamp(player->moveForce.z, limit);

    if (!d && !a && !w && !s) {
        // No key: the player coasts to a stop; falling is left alone.
        player->moveForce.x = 0.0f;
        player->moveForce.z = 0.0f;
        float velocity[3];
        NewtonBodyGetVelocity(player->body, velocity);
        velocity[0] *= 0.75f;
        velocity[2] *= 0.75f;
        NewtonBodySetVelocity(player->body, velocity);
    }
}

void UpdateListener(const Player* player)
{
    // The listener faces where the player looks, its up the body's up axis.
    SetListener(player->frame.position, player->forward, player->frame.yAxis);
}
