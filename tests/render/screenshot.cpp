// screenshot.cpp -- writes the game's first frame, as the player sees it, to
// docs/screenshot.png (run from the repository root under Xvfb).
#include "tests/render/gl_helpers.h"

#include "game/game.h"
#include "platform/glfw2/glfw2.h"

#include <cstdio>
#include <cstdlib>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : "docs/screenshot.png";
    setenv("ALSOFT_DRIVERS", "null", 0);
    Glfw2Script* script = Glfw2GetScript();
    script->active = 1;
    script->time = 10.0;
    script->mouseX = 320;
    script->mouseY = 240;
    Game* game = (Game*)std::calloc(1, sizeof(Game));
    // As a new player sees it: the first round opens with its hint.
    Settings settings;
    DefaultSettings(&settings);
    settings.hints = 1;
    GameStartUp(game, &settings);
    StartRound(game);
    // The first pass of the round, a sixtieth of a second after it began.
    script->time += 1.0 / 60.0;
    RunFrame(game);
    glFinish();
    Picture p = ReadPicture(GL_BACK, &game->window);   // llvmpipe keeps it through the swap
    // The picture's rows run from the bottom; PNG rows from the top.
    stbi_flip_vertically_on_write(1);
    int ok = stbi_write_png(path, p.width, p.height, 3, p.pixels.data(), 3 * p.width);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", path);
    GameShutDown(game);
    std::free(game);
    return ok ? 0 : 1;
}
