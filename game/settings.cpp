// settings.cpp -- the settings a player keeps: their defaults, the INI file
// under ~/.config/balltoss that holds them between starts, and the one record
// made from the defaults, the file and the command line.
#include "game/game.h"

#include "platform/console/console.h"
#include "platform/files/files.h"

#include <ini.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

namespace {

enum SettingKind { kYesNo, kWhole, kNumber };

// One key of the settings file, the field it fills and the values it takes.
struct SettingKey {
    const char* name;
    SettingKind kind;
    size_t offset;   // of an int (kYesNo, kWhole) or a float (kNumber) in Settings
    double least, most;
    unsigned given;  // its kGiven* bit
    const char* comment;   // its line in a written file
};

const SettingKey KEYS[] = {
    {"window", kYesNo, offsetof(Settings, windowed), 0, 1, kGivenWindow,
     "yes: play in a 640x480 window; no: full screen"},
    {"anisotropy", kWhole, offsetof(Settings, anisotropy), 1, 999999, kGivenAnisotropy,
     "texture filtering, 1 (fastest) to the driver's largest; left out, the\n"
     "# driver's largest (1 on llvmpipe, which filters in software)"},
    {"sensitivity", kNumber, offsetof(Settings, sensitivity), 0.1, 10, kGivenSensitivity,
     "how far the view turns for the mouse's travel, 0.1 to 10 (1: 0.001 radian a pixel)"},
    {"invert_mouse", kYesNo, offsetof(Settings, invertMouse), 0, 1, kGivenInvertMouse,
     "yes: moving the mouse up looks down"},
    {"volume", kWhole, offsetof(Settings, volume), 0, 100, kGivenVolume,
     "loudness of every sound, 0 (silent) to 100"},
    {"hints", kYesNo, offsetof(Settings, hints), 0, 1, kGivenHints,
     "yes: every round opens with a line on what to do; no: never; left out,\n"
     "# only a first round, before any score is kept"},
};

const SettingKey* FindKey(const char* name)
{
    for (const SettingKey& key : KEYS)
        if (std::strcmp(key.name, name) == 0)
            return &key;
    return nullptr;
}

int* IntField(Settings* settings, const SettingKey* key)
{
    return (int*)((char*)settings + key->offset);
}

float* FloatField(Settings* settings, const SettingKey* key)
{
    return (float*)((char*)settings + key->offset);
}

// One field copied from one record to another.
void CopyField(Settings* to, const Settings* from, const SettingKey* key)
{
    std::memcpy((char*)to + key->offset, (const char*)from + key->offset,
                key->kind == kNumber ? sizeof(float) : sizeof(int));
}

// A number written in full: no spaces, nothing after it.
int ReadNumber(const char* text, double* value)
{
    if (!*text || std::strchr(" \t", *text))
        return 0;
    char* end = nullptr;
    errno = 0;
    *value = std::strtod(text, &end);
    return *end == '\0' && errno == 0 && std::isfinite(*value);
}

// A folder from an XDG variable, else from HOME and a fallback under it, with
// "balltoss/name" after it. 0 when neither gives an absolute folder.
int XdgPath(const char* variable, const char* underHome, const char* name, char* path,
            size_t size)
{
    const char* xdg = std::getenv(variable);
    const char* home = std::getenv("HOME");
    int length;
    // The base directory rules: a relative XDG value is ignored.
    if (xdg && xdg[0] == '/')
        length = std::snprintf(path, size, "%s/balltoss/%s", xdg, name);
    else if (home && home[0] == '/')
        length = std::snprintf(path, size, "%s/%s/balltoss/%s", home, underHome, name);
    else
        return 0;
    return length > 0 && (size_t)length < size;
}

// ---- reading a file ----------------------------------------------------------

// The file's text handed to inih a line at a time, counting the lines, so that
// each complaint names its line.
struct SettingsText {
    const char* path;
    const char* text;
    size_t size;
    size_t at;
    int line;        // the line inih holds now, from 1
    int skipTo;      // lines before this one are handed over empty (see FindBadLines)
    int complaints;
    Settings* settings;
};

// inih's reader: one whole line, cut to fit (a line that long is no setting).
char* NextLine(char* buffer, int size, void* stream)
{
    SettingsText* t = (SettingsText*)stream;
    if (t->at >= t->size)
        return nullptr;
    const char* start = t->text + t->at;
    const char* end = (const char*)std::memchr(start, '\n', t->size - t->at);
    size_t length = end ? (size_t)(end - start) : t->size - t->at;
    t->at += length + (end ? 1 : 0);
    ++t->line;
    // An indented line is a setting like any other, not the continuation of
    // the value above it that inih would make of it.
    while (length > 0 && (*start == ' ' || *start == '\t')) {
        ++start;
        --length;
    }
    if (t->line < t->skipTo)
        length = 0;
    if (length > (size_t)size - 2)
        length = (size_t)size - 2;
    std::memcpy(buffer, start, length);
    buffer[length] = '\n';
    buffer[length + 1] = '\0';
    return buffer;
}

void Complain(SettingsText* t, int line, const char* what)
{
    char text[768];
    std::snprintf(text, sizeof text, "%s:%d: %s", t->path, line, what);
    ConsolePrint(text);
    ++t->complaints;
}

int TakeLine(void* user, const char* section, const char* name, const char* value)
{
    SettingsText* t = (SettingsText*)user;
    char what[512];
    const SettingKey* key = FindKey(name);
    if (section[0] && std::strcmp(section, "balltoss") != 0) {
        std::snprintf(what, sizeof what, "%.60s is in section [%.60s], not [balltoss]; ignored",
                      name, section);
        Complain(t, t->line, what);
    } else if (!key) {
        std::snprintf(what, sizeof what, "unknown key %.60s; ignored", name);
        Complain(t, t->line, what);
    } else {
        char why[96];
        if (!TakeSettingValue(name, value, t->settings, why, sizeof why)) {
            Settings defaults;
            DefaultSettings(&defaults);
            CopyField(t->settings, &defaults, key);
            std::snprintf(what, sizeof what, "%s = %.60s: %s; the default is used", name, value,
                          why);
            Complain(t, t->line, what);
        }
    }
    return 1;
}

int IgnoreLine(void*, const char*, const char*, const char*)
{
    return 1;
}

// inih reports only the first line it cannot read; the text after each such
// line is read again until none is left, so every bad line gets its complaint.
void FindBadLines(SettingsText* t, int firstBad)
{
    for (int bad = firstBad; bad > 0;) {
        // The line's own text, shown in the complaint.
        const char* start = t->text;
        for (int line = 1; line < bad && start; ++line) {
            start = (const char*)std::memchr(start, '\n', t->size - (size_t)(start - t->text));
            start = start ? start + 1 : nullptr;
        }
        int length = 0;
        while (start && start + length < t->text + t->size && start[length] != '\n' &&
               start[length] != '\r' && length < 60)
            ++length;
        char what[160];
        std::snprintf(what, sizeof what, "\"%.*s\" is not a key = value line; ignored", length,
                      start ? start : "");
        Complain(t, bad, what);
        t->at = 0;
        t->line = 0;
        t->skipTo = bad + 1;
        bad = ini_parse_stream(NextLine, t, IgnoreLine, nullptr);
    }
}

} // namespace

void DefaultSettings(Settings* settings)
{
    *settings = Settings{};
    settings->windowed = 0;
    settings->anisotropy = 0;
    settings->sensitivity = 1.0f;
    settings->invertMouse = 0;
    settings->volume = 100;
    settings->hints = kHintsFirstRound;
}

int SettingsFilePath(char* path, size_t size)
{
    return XdgPath("XDG_CONFIG_HOME", ".config", "balltoss.conf", path, size);
}

int TakeSettingValue(const char* name, const char* value, Settings* settings, char* why,
                     size_t whySize)
{
    const SettingKey* key = FindKey(name);
    if (!key) {
        std::snprintf(why, whySize, "no such setting");
        return 0;
    }
    if (key->kind == kYesNo) {
        int yes = strcasecmp(value, "yes") == 0;
        if (!yes && strcasecmp(value, "no") != 0) {
            std::snprintf(why, whySize, "not yes or no");
            return 0;
        }
        *IntField(settings, key) = yes;
        return 1;
    }
    double number;
    if (!ReadNumber(value, &number)) {
        std::snprintf(why, whySize, "not a number");
        return 0;
    }
    if (key->kind == kWhole && number != std::floor(number)) {
        std::snprintf(why, whySize, "not a whole number");
        return 0;
    }
    if (number < key->least || number > key->most) {
        std::snprintf(why, whySize, "out of range (%g to %g)", key->least, key->most);
        return 0;
    }
    if (key->kind == kWhole)
        *IntField(settings, key) = (int)number;
    else
        *FloatField(settings, key) = (float)number;
    return 1;
}

int ReadSettingsFile(const char* path, Settings* settings)
{
    // Far more than any settings file; a larger one is no settings file.
    static const size_t kMostBytes = 1 << 20;
    unsigned char* bytes = nullptr;
    size_t size = 0;
    int reason = 0;
    FilesReadStatus status = FilesReadWhole(path, kMostBytes, nullptr, &bytes, &size, &reason);
    if (status == FILES_MISSING || reason == ENOTDIR)
        return 0;   // no file: the defaults, as on a first start
    if (status != FILES_READ) {
        char line[PATH_MAX + 128];
        std::snprintf(line, sizeof line, "%s: cannot be read (%s); the defaults are used", path,
                      std::strerror(reason));
        ConsolePrint(line);
        return 1;
    }
    char* text = (char*)bytes;
    SettingsText t = {path, text, size, 0, 0, 0, 0, settings};
    int firstBad = ini_parse_stream(NextLine, &t, TakeLine, &t);
    if (firstBad > 0)
        FindBadLines(&t, firstBad);
    std::free(text);
    return t.complaints;
}

void ChooseSettings(const GameOptions* options, Settings* settings)
{
    DefaultSettings(settings);
    char path[PATH_MAX];
    if (SettingsFilePath(path, sizeof path))
        ReadSettingsFile(path, settings);
    for (const SettingKey& key : KEYS)
        if (options->given & key.given)
            CopyField(settings, &options->settings, &key);
}

// ---- writing the defaults ---------------------------------------------------------

namespace {

// A key's line: its default where it has one, else commented out with an example.
void WriteKey(FILE* file, const SettingKey* key, const Settings* defaults)
{
    std::fprintf(file, "\n# %s\n", key->comment);
    Settings copy = *defaults;
    if (key->kind == kNumber)
        std::fprintf(file, "%s = %g\n", key->name, (double)*FloatField(&copy, key));
    else if (key->kind == kWhole && *IntField(&copy, key) >= key->least)
        std::fprintf(file, "%s = %d\n", key->name, *IntField(&copy, key));
    else if (key->kind == kWhole)
        std::fprintf(file, "# %s = %g\n", key->name, key->most < 16 ? key->most : 16.0);
    else if (*IntField(&copy, key) == 0 || *IntField(&copy, key) == 1)
        std::fprintf(file, "%s = %s\n", key->name, *IntField(&copy, key) ? "yes" : "no");
    else
        std::fprintf(file, "# %s = yes\n", key->name);
}

} // namespace

int WriteSettingsFile(const char* path)
{
    char line[PATH_MAX + 128];
    char folder[PATH_MAX];
    std::snprintf(folder, sizeof folder, "%s", path);
    if (char* slash = std::strrchr(folder, '/'))
        *slash = '\0';
    if (folder[0])
        FilesMakeFolders(folder);
    // O_EXCL: a file the player already has is never replaced.
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL, 0644);
    FILE* file = fd >= 0 ? fdopen(fd, "w") : nullptr;
    if (!file) {
        if (errno == EEXIST)
            std::snprintf(line, sizeof line, "%s already exists; it is left as it is", path);
        else
            std::snprintf(line, sizeof line, "%s: cannot be written (%s)", path,
                          std::strerror(errno));
        ConsolePrint(line);
        if (fd >= 0)
            close(fd);
        return 1;
    }
    Settings defaults;
    DefaultSettings(&defaults);
    std::fprintf(file, "# balltoss.conf -- Ball Toss settings, read at every start. The\n"
                       "# command line wins over this file: balltoss --help lists the options.\n"
                       "# A line that is left out or wrong keeps its default.\n");
    for (const SettingKey& key : KEYS)
        WriteKey(file, &key, &defaults);
    int failed = std::ferror(file) | std::fclose(file);
    std::snprintf(line, sizeof line, failed ? "%s: cannot be written" : "Wrote %s", path);
    ConsolePrint(line);
    return failed ? 1 : 0;
}

int HintWanted(const Settings* settings, int roundsBefore)
{
    if (settings->hints != kHintsFirstRound)
        return settings->hints;
    return roundsBefore == 0 && !ScoresKept();
}
