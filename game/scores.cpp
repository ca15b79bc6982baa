// scores.cpp -- the table of the ten best rounds that ran to their end, kept in
// "scores.txt" in the player's data folder: read, ranked, written whole at
// once under a lock, and a damaged file moved aside for a fresh table.
#include "game/game.h"

#include "platform/console/console.h"
#include "platform/files/files.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cerrno>
#include <unistd.h>

static const char kScoresHeading[] = "# balltoss best scores: score, date and time (local)\n";

static bool ParseWhen(const char* p, char* when)
{
    static const char shape[] = "dddd-dd-dd dd:dd:dd";
    for (int i = 0; shape[i]; ++i) {
        if (shape[i] == 'd' ? !std::isdigit((unsigned char)p[i]) : p[i] != shape[i])
            return false;
    }
    std::memcpy(when, p, sizeof shape - 1);
    when[sizeof shape - 1] = '\0';
    return true;
}

// One line "SCORE YYYY-MM-DD HH:MM:SS".
static bool ParseScoreLine(const char* line, size_t length, ScoreEntry* entry)
{
    size_t digits = 0;
    while (digits < length && std::isdigit((unsigned char)line[digits]))
        ++digits;
    if (digits == 0 || digits > 9 || length != digits + 1 + 19 || line[digits] != ' ')
        return false;
    entry->score = (int)std::strtol(line, nullptr, 10);
    return ParseWhen(line + digits + 1, entry->when);
}

int ScoresParse(const char* text, size_t size, ScoreTable* table)
{
    std::memset(table, 0, sizeof *table);
    if (size < sizeof kScoresHeading - 1 ||
        std::memcmp(text, kScoresHeading, sizeof kScoresHeading - 1) != 0)
        return 0;
    size_t at = sizeof kScoresHeading - 1;
    while (at < size) {
        const char* end = (const char*)std::memchr(text + at, '\n', size - at);
        if (!end || table->count >= kScoresKept)
            return 0;
        ScoreEntry* entry = &table->entries[table->count];
        if (!ParseScoreLine(text + at, (size_t)(end - (text + at)), entry))
            return 0;
        if (table->count > 0 && entry->score > table->entries[table->count - 1].score)
            return 0;   // out of order: not a table this game wrote
        ++table->count;
        at = (size_t)(end - text) + 1;
    }
    return 1;
}

size_t ScoresFormat(const ScoreTable* table, char* text, size_t size)
{
    size_t used = (size_t)std::snprintf(text, size, "%s", kScoresHeading);
    for (int i = 0; i < table->count && used < size; ++i)
        used += (size_t)std::snprintf(text + used, size - used, "%d %s\n",
                                      table->entries[i].score, table->entries[i].when);
    return used < size ? used : size - 1;
}

int ScoresInsert(ScoreTable* table, int score, const char* when)
{
    // A tie goes below the rounds that made that score first.
    int place = 0;
    while (place < table->count && table->entries[place].score >= score)
        ++place;
    if (place >= kScoresKept)
        return 0;
    int last = table->count < kScoresKept ? table->count : kScoresKept - 1;
    for (int i = last; i > place; --i)
        table->entries[i] = table->entries[i - 1];
    table->entries[place].score = score;
    std::snprintf(table->entries[place].when, sizeof table->entries[place].when, "%.19s", when);
    if (table->count < kScoresKept)
        ++table->count;
    return place + 1;
}

static void ScoresPath(const char* folder, const char* name, char* path, size_t size)
{
    std::snprintf(path, size, "%s/%s", folder, name);
}

// The table in the folder; a file that is not one is moved aside with a line,
// and the table starts afresh.
static void LoadScores(const char* folder, ScoreTable* table)
{
    char path[PATH_MAX + 32], line[3 * PATH_MAX + 128];
    ScoresPath(folder, "scores.txt", path, sizeof path);
    unsigned char* bytes;
    size_t size;
    int reason;
    FilesReadStatus status = FilesReadWhole(path, 65536, nullptr, &bytes, &size, &reason);
    std::memset(table, 0, sizeof *table);
    if (status == FILES_MISSING)
        return;
    if (status == FILES_READ && ScoresParse((const char*)bytes, size, table)) {
        std::free(bytes);
        return;
    }
    std::free(bytes);
    std::memset(table, 0, sizeof *table);
    char aside[PATH_MAX + 64];
    if (FilesMoveAside(path, aside, sizeof aside))
        std::snprintf(line, sizeof line,
                      "The scores file %s was damaged or unreadable; it was moved to %s and a new table starts",
                      path, aside);
    else
        std::snprintf(line, sizeof line,
                      "The scores file %s was damaged or unreadable and could not be moved aside; scores are not kept",
                      path);
    ConsolePrint(line);
}

int ScoresKept()
{
    char folder[PATH_MAX], path[PATH_MAX + 32];
    if (!FilesDataFolder(folder, sizeof folder, 0))
        return 0;
    ScoresPath(folder, "scores.txt", path, sizeof path);
    unsigned char* bytes;
    size_t size;
    int reason;
    if (FilesReadWhole(path, 65536, nullptr, &bytes, &size, &reason) != FILES_READ)
        return 0;
    int kept = 0;
    for (size_t i = 0; i < size && !kept; ++i)
        kept = bytes[i] != '\n' && bytes[i] != '\r' && bytes[i] != ' ' && bytes[i] != '\t';
    std::free(bytes);
    return kept;
}

static void Now(char* when, size_t size)
{
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    strftime(when, size, "%Y-%m-%d %H:%M:%S", &local);
}

int KeepScore(const char* folder, int score, ScoreTable* table)
{
    char lockPath[PATH_MAX + 32], path[PATH_MAX + 32], line[PATH_MAX + 160];
    ScoresPath(folder, "scores.lock", lockPath, sizeof lockPath);
    ScoresPath(folder, "scores.txt", path, sizeof path);
    int lock = FilesLock(lockPath);
    if (lock < 0) {
        std::snprintf(line, sizeof line, "Cannot keep the score in %s: %s", path, std::strerror(errno));
        ConsolePrint(line);
        return -1;
    }
    LoadScores(folder, table);
    char when[32];
    Now(when, sizeof when);
    int place = ScoresInsert(table, score, when);
    char text[4096];
    size_t size = ScoresFormat(table, text, sizeof text);
    if (place > 0 && !FilesWriteAtomic(path, text, size)) {
        std::snprintf(line, sizeof line, "Cannot keep the score in %s: %s", path, std::strerror(errno));
        ConsolePrint(line);
        place = -1;
    }
    FilesUnlock(lock);
    return place;
}

int PrintScores()
{
    char folder[PATH_MAX], line[PATH_MAX + 64];
    ScoreTable table;
    std::memset(&table, 0, sizeof table);
    if (FilesDataFolder(folder, sizeof folder, 0)) {
        char lockPath[PATH_MAX + 32];
        ScoresPath(folder, "scores.lock", lockPath, sizeof lockPath);
        int lock = access(folder, F_OK) == 0 ? FilesLock(lockPath) : -1;
        LoadScores(folder, &table);
        FilesUnlock(lock);
    }
    if (table.count == 0) {
        ConsolePrint("No scores kept yet: play a round to its end to enter the table.");
        return 0;
    }
    ConsolePrint("Best scores:");
    for (int i = 0; i < table.count; ++i) {
        std::snprintf(line, sizeof line, "%2d. %7d  %s", i + 1, table.entries[i].score,
                      table.entries[i].when);
        ConsolePrint(line);
    }
    return 0;
}
