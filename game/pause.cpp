// pause.cpp -- the pause: P stops and resumes the round; a minimised window or
// one that lost the focus it had stops it too, and only P resumes it, so a
// player coming back first sees where the round stood.
#include "game/game.h"

#include "platform/glfw2/glfw2.h"
#include "sound/sound.h"

enum { kKeyP = 80 };

// Every sound stops with the round; those that were playing go on after it.
static void PauseSounds(Game* game)
{
    game->pausedSounds = 0;
    for (int i = 0; i < SOUND_BANK_SIZE && game->soundSources; ++i) {
        if (SoundGetState(game->soundSources[i]) != SOUND_PLAYING)
            continue;
        SoundPause(game->soundSources[i]);
        game->pausedSounds |= 1u << i;
    }
}

static void ResumeSounds(Game* game)
{
    for (int i = 0; i < SOUND_BANK_SIZE && game->soundSources; ++i)
        if (game->pausedSounds & (1u << i))
            SoundPlay(game->soundSources[i]);
    game->pausedSounds = 0;
}

// The pointer goes back to the desktop while paused. The paused loop waits for
// the window's events itself: a swap that polled too would hand a key pressed
// just before it to a pass that never reads it.
static void Pause(Game* game)
{
    game->paused = 1;
    glfwEnable(GLFW_MOUSE_CURSOR);
    glfwDisable(GLFW_AUTO_POLL_EVENTS);
    PauseSounds(game);
}

// The pointer is taken again with the virtual cursor at the centre, so the
// first look after the pause turns the view by its own motion only.
static void Resume(Game* game)
{
    game->paused = 0;
    glfwEnable(GLFW_AUTO_POLL_EVENTS);
    glfwDisable(GLFW_MOUSE_CURSOR);
    glfwSetMousePos(320, 240);
    ResumeSounds(game);
}

int UpdatePause(Game* game)
{
    game->iconified = glfwGetWindowParam(GLFW_ICONIFIED);
    int focused = glfwGetWindowParam(GLFW_ACTIVE);
    int key = glfwGetKey(kKeyP);
    int pressed = key && !game->pauseKeyDown;
    // Only a focus the window had can be lost: a kiosk's window on a bare X
    // server is never given one and plays on.
    int lostFocus = game->focused && !focused;
    game->pauseKeyDown = key;
    game->focused = focused;
    if (!game->paused && (pressed || game->iconified || lostFocus))
        Pause(game);
    else if (game->paused && pressed && !game->iconified)
        Resume(game);
    return game->paused;
}
