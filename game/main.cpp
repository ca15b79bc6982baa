// main.cpp -- the program's entry: the rendering options, then the whole game inside GameMain.
#include "game/game.h"

int main(int argc, char** argv)
{
    RenderOptions options;
    if (!ParseRenderOptions(argc, argv, &options))
        return 2;
    textureAnisotropy = options.anisotropy;
    return GameMain();
}
