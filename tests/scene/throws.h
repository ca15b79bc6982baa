// throws.h -- the scripted throws of tests/scene/throws.txt, found by
// tools/throwsearch from the standing position: the aim and the power, and the
// points each scores, and the tray they are thrown from and come back to. Used
// by the throws test and by tools/recordround.
#pragma once

#include "math/vecmath.h"

#include <cmath>
#include <cstdio>

struct ScriptedThrow {
    int points;
    float yaw, pitch, power;
};

// Up to capacity throws from the file (run from the repository root); 0 when it
// cannot be read. Comment lines and lines that are not six numbers are skipped.
inline int ReadScriptedThrows(ScriptedThrow* throws, int capacity)
{
    FILE* file = std::fopen("tests/scene/throws.txt", "r");
    if (!file)
        return 0;
    int count = 0;
    char line[256];
    while (count < capacity && std::fgets(line, sizeof line, file)) {
        ScriptedThrow t;
        float x, z;
        if (line[0] != '#' && std::sscanf(line, "%d %f %f %f %f %f", &t.points, &x, &z, &t.yaw,
                                          &t.pitch, &t.power) == 6)
            throws[count++] = t;
    }
    std::fclose(file);
    return count;
}

// In the tray across the near end of the table, where the balls wait.
inline bool InTray(Vec3 at)
{
    return at.z > 3.0f && at.z < 3.9f && at.y < 0.9f && std::fabs(at.x) < 2.0f;
}
