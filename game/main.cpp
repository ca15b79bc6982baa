// main.cpp -- the program's entry: the whole game runs inside GameMain.
#include "game/game.h"

int main(int argc, char** argv)
{
    ReplayOptions replay;
    int status = ParseReplayOptions(argc, argv, &replay);
    if (status != 0)
        return status;
    if (!OpenRecordOrReplay(&replay))
        return 1;
    return GameMain();
}
