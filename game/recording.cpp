// recording.cpp -- the game's side of keeping and replaying a round: the
// recording files (the player's own, and "last.btr" and "best.btr" in the data
// folder), what a recording is checked against (the game's version and the
// asset files start-up read), how a round and a recording end (the score and every body's
// matrix), and the best scores a finished round enters.
#include "game/game.h"

#include "platform/replay/replay.h"
#include "platform/newton/newton.h"

#include "platform/files/files.h"

#include <climits>
#include <cstdio>
#include <cstring>

// The data folder while the game keeps its rounds and scores; empty when it cannot.
static char keptFolder[PATH_MAX];

int OpenRecordOrReplay(const GameOptions* options, Settings* settings)
{
    ReplayHeader header;
    std::memset(&header, 0, sizeof header);
    std::snprintf(header.gameVersion, sizeof header.gameVersion, "%s", BALLTOSS_VERSION);
    header.sensitivity = settings->sensitivity;
    header.invertMouse = (uint8_t)(settings->invertMouse ? 1 : 0);
    // The asset digest is known once start-up has read them (RecordAssetsLoaded).
    FilesForgetAssets();
    if (options->replayPath[0]) {
        if (!ReplayStartPlayback(options->replayPath, &header, options->fast))
            return 0;
        // The look as it was recorded, whatever this player's settings say.
        const ReplayHeader* recorded = ReplayRecordedHeader();
        settings->sensitivity = recorded->sensitivity;
        settings->invertMouse = recorded->invertMouse;
        return 1;
    }
    if (options->recordPath[0] && !ReplayStartRecording(options->recordPath, &header))
        return 0;
    // Every round played is kept as the last one, whatever the options.
    if (FilesDataFolder(keptFolder, sizeof keptFolder, 1)) {
        char last[PATH_MAX + 16];
        std::snprintf(last, sizeof last, "%s/last.btr", keptFolder);
        ReplayRecordAlso(last, &header);
    } else {
        keptFolder[0] = '\0';
    }
    return 1;
}

int RecordAssetsLoaded()
{
    return ReplayAssetsLoaded(FilesAssetDigest());
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

int KeepRoundEnd(Game* game)
{
    game->roundPlace = -1;
    if (ReplayMode() == 0 && !keptFolder[0])
        return 0;   // nothing kept: no data folder, nothing recorded
    ReplayEnd end = {game->player.score, BodyMatrixDigest(game)};
    if (ReplayMode() == 2 || !keptFolder[0])
        return ReplayRoundEnd(&end, nullptr);
    ScoreTable table;
    game->roundPlace = KeepScore(keptFolder, game->player.score, &table);
    game->bestScore = table.count > 0 ? table.entries[0].score : game->player.score;
    char best[PATH_MAX + 16];
    std::snprintf(best, sizeof best, "%s/best.btr", keptFolder);
    return ReplayRoundEnd(&end, game->roundPlace == 1 ? best : nullptr);
}

int FinishRecordOrReplay(const Game* game)
{
    if (!ReplayMode())
        return 0;
    ReplayEnd end = {game->player.score, BodyMatrixDigest(game)};
    return ReplayFinish(&end);
}
