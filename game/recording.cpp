// recording.cpp -- the game's side of keeping and replaying a round: the
// --record, --replay and --fast options, what a recording is checked against
// (the game's version and its asset files) and how it ends (the final score and
// every body's matrix).
#include "game/game.h"

#include "platform/glfw2/replay.h"
#include "platform/newton/newton.h"

#include <cstdio>
#include <cstring>

#ifndef BALLTOSS_VERSION
#define BALLTOSS_VERSION "1.0.0"
#endif

// Every file the game reads at start-up; a replay needs the same ones.
static const char* const kAssetFiles[] = {
    "Models/Table_Small2.obj", "Models/Ball_small.obj", "Textures/Text.tga",
    "Textures/Wood1.tga",      "Textures/Wood2.tga",    "Textures/Wall.tga",
    "Textures/eightball.tga",  "Textures/Targ.tga",     "Textures/Power.tga",
    "Textures/backboard.tga",  "Sound/Ball2Ball1.wav",  "Sound/Rolling.wav",
    "Sound/Win1.wav",          "Sound/Win2.wav",        "Sound/Win3.wav",
};

static const char kUsage[] = "Usage: balltoss [--record FILE | --replay FILE [--fast]]";

static int OptionError(const char* text, const char* option)
{
    std::printf("balltoss: %s %s\n%s\n", text, option, kUsage);
    std::fflush(stdout);
    return 2;
}

int ParseReplayOptions(int argc, const char* const* argv, ReplayOptions* options)
{
    std::memset(options, 0, sizeof *options);
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--fast") == 0) {
            options->fast = 1;
        } else if (std::strcmp(arg, "--record") == 0 || std::strcmp(arg, "--replay") == 0) {
            if (i + 1 >= argc)
                return OptionError("a file name must follow", arg);
            const char** path = arg[4] == 'c' ? &options->recordPath : &options->replayPath;
            *path = argv[++i];
        } else {
            return OptionError("unknown option", arg);
        }
    }
    if (options->recordPath && options->replayPath)
        return OptionError("cannot record and replay at once:", "--record with --replay");
    if (options->fast && !options->replayPath)
        return OptionError("only a replay can run fast:", "--fast");
    return 0;
}

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

int OpenRecordOrReplay(const ReplayOptions* options)
{
    if (!options->recordPath && !options->replayPath)
        return 1;
    ReplayHeader header;
    std::memset(&header, 0, sizeof header);
    std::snprintf(header.gameVersion, sizeof header.gameVersion, "%s", BALLTOSS_VERSION);
    header.assetDigest = AssetDigest();
    if (options->recordPath)
        return ReplayStartRecording(options->recordPath, &header);
    return ReplayStartPlayback(options->replayPath, &header, options->fast);
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
