// replay_session.cpp -- which way the readings go: kept in a recording, handed
// back from one, or straight through to the game.
#include "platform/replay/replay_local.h"

int replayMode = 0;
long replayPass = 0;
static int finishedStatus = 0;   // of a replay that ended at a round's end

int ReplayMode() { return replayMode; }
long ReplayPassCount() { return replayPass; }

int ReplayBeginPass()
{
    if (replayMode == 2 && !PlayBeginPass())
        return 0;
    ++replayPass;
    if (replayMode == 1)
        RecordBeginPass();
    return 1;
}

double ReplayTime(double live)
{
    if (replayMode == 1)
        RecordTime(live);
    return replayMode == 2 ? PlayTime() : live;
}

int ReplayFlag(int kind, int code, int live)
{
    int32_t values[2] = {live, 0};
    if (replayMode == 1)
        RecordValues(kind, code, values);
    else if (replayMode == 2)
        PlayValues(kind, code, values);
    return values[0];
}

void ReplayCursor(int* x, int* y)
{
    int32_t values[2] = {*x, *y};
    if (replayMode == 1)
        RecordValues(REPLAY_CURSOR, 0, values);
    else if (replayMode == 2)
        PlayValues(REPLAY_CURSOR, 0, values);
    *x = values[0];
    *y = values[1];
}

int ReplayAssetsLoaded(uint64_t assetDigest)
{
    if (replayMode == 1)
        return RecordAssets(assetDigest);
    return replayMode == 2 ? PlayAssets(assetDigest) : 1;
}

int ReplayRoundEnd(const ReplayEnd* end, const char* bestPath)
{
    if (replayMode == 1)
        return RecordRoundEnd(end, bestPath);
    if (replayMode != 2)
        return 0;
    int ended = PlayRoundEnd(end);
    if (ended)
        finishedStatus = ended == 1 ? 0 : 1;
    return ended != 0;
}

int ReplayFinish(const ReplayEnd* end)
{
    if (replayMode == 1)
        return RecordFinish(end);
    if (replayMode == 2)
        return PlayFinish(end);
    return finishedStatus;
}
