// recording.cpp -- the game's side of keeping and replaying a round: the
// recording file, what a recording is checked against
// (the game's version and its asset files) and how it ends (the final score and
// every body's matrix).
#include "game/game.h"

#include "platform/glfw2/replay.h"
#include "platform/newton/newton.h"

#include <cstdio>
#include <cstring>

// Every file the game reads at start-up; a replay needs the same ones.
static const char* const kAssetFiles[] = {
    "Models/Table_Small2.obj", "Models/Ball_small.obj", "Textures/Text.tga",
    "Textures/Wood1.tga",      "Textures/Wood2.tga",    "Textures/Wall.tga",
    "Textures/eightball.tga",  "Textures/Targ.tga",     "Textures/Power.tga",
    "Textures/backboard.tga",  "Sound/Ball2Ball1.wav",  "Sound/Rolling.wav",
    "Sound/Win1.wav",          "Sound/Win2.wav",        "Sound/Win3.wav",
};

static uint64_t AssetDigest()
{
    uint64_t digest = REPLAY_DIGEST_START;
    for (const char* name : kAssetFiles) {
        digest = ReplayDigest(digest, name, std::strlen(name) + 1);
        FILE* file = std::fopen(name, "rb");
        if (!file)
            continue;   // missing: only its name counts
        unsigned char chunk[65536];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
            digest = ReplayDigest(digest, chunk, got);
        std::fclose(file);
    }
    return digest;
}

int OpenRecordOrReplay(const GameOptions* options, Settings* settings)
{
    if (!options->recordPath[0] && !options->replayPath[0])
        return 1;
    ReplayHeader header;
    std::memset(&header, 0, sizeof header);
    std::snprintf(header.gameVersion, sizeof header.gameVersion, "%s", BALLTOSS_VERSION);
    header.assetDigest = AssetDigest();
    header.sensitivity = settings->sensitivity;
    header.invertMouse = (uint8_t)(settings->invertMouse ? 1 : 0);
    if (options->recordPath[0])
        return ReplayStartRecording(options->recordPath, &header);
    if (!ReplayStartPlayback(options->replayPath, &header, options->fast))
        return 0;
    // The look as it was recorded, whatever this player's settings say.
    const ReplayHeader* recorded = ReplayRecordedHeader();
    settings->sensitivity = recorded->sensitivity;
    settings->invertMouse = recorded->invertMouse;
    return 1;
}

uint64_t BodyMatrixDigest(const Game* game)
{
    uint64_t digest = REPLAY_DIGEST_START;
    float m[16];
    for (int k = 0; k < kObjectCount; ++k) {
        NewtonBodyGetMatrix(game->objects[k].body, m);
        digest = ReplayDigest(digest, m, sizeof m);
    }
    NewtonBodyGetMatrix(game->player.body, m);
    return ReplayDigest(digest, m, sizeof m);
}

int FinishRecordOrReplay(const Game* game)
{
    if (!ReplayMode())
        return 0;
    ReplayEnd end = {game->player.score, BodyMatrixDigest(game)};
    return ReplayFinish(&end);
}
