// main.cpp -- the program's entry: the command line, the settings, the data
// folder, then the whole game inside GameMain.
#include "game/game.h"

#include "platform/files/files.h"

int main(int argc, char** argv)
{
    GameOptions options;
    int status = ParseOptions(argc, argv, &options);
    if (status != kOptionsPlay)
        return status;
    Settings settings;
    ChooseSettings(&options, &settings);
    if (!FilesFindGameData())
        return 1;
    if (!OpenRecordOrReplay(&options, &settings))
        return 1;
    return GameMain(&settings);
}
