// main.cpp -- the program's entry: the whole game runs inside GameMain.
#include "game/game.h"

int main()
{
    return GameMain();
}
