// options.cpp -- the command line: one table of the options, the usage text made
// from it, and the reading of the arguments into GameOptions.
#include "game/game.h"

#include "platform/console/console.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

enum { kBadArgument = -2 };

// One option. An option that takes an argument names it in the usage; a FILE
// argument reaches take as an absolute path, since the game changes into its
// data folder before it opens anything. An option that sets a setting names its
// key in the settings file and is read as that key's value (an option without
// an argument as "yes").
struct OptionRow {
    const char* name;
    const char* argument;   // "FILE", "N", ...; null for an option without one
    const char* help;       // its line in the usage text
    const char* key;        // the settings file's key it sets; null for others
    unsigned given;         // its kGiven* bit
    // Takes the option into options; returns kOptionsPlay to read on, the exit
    // status when the program ends here, or kBadArgument.
    int (*take)(GameOptions* options, const char* argument);
};

int TakeHelp(GameOptions* options, const char*);
int TakeVersion(GameOptions* options, const char*);
int TakeWriteConfig(GameOptions* options, const char*);
int TakeRecord(GameOptions* options, const char* argument);
int TakeReplay(GameOptions* options, const char* argument);
int TakeFast(GameOptions* options, const char*);
int TakeScores(GameOptions* options, const char*);

const OptionRow OPTIONS[] = {
    {"--window", nullptr, "play in a 640x480 window instead of full screen", "window",
     kGivenWindow, nullptr},
    {"--anisotropy", "N", "texture filtering, 1 (fastest) to the driver's largest (default; 1 on llvmpipe)",
     "anisotropy", kGivenAnisotropy, nullptr},
    {"--sensitivity", "X", "how far the view turns for the mouse's travel, 0.1 to 10 (default 1)",
     "sensitivity", kGivenSensitivity, nullptr},
    {"--invert-mouse", nullptr, "moving the mouse up looks down", "invert_mouse",
     kGivenInvertMouse, nullptr},
    {"--volume", "N", "loudness of every sound, 0 (silent) to 100 (default)", "volume",
     kGivenVolume, nullptr},
    {"--hints", "yes|no", "the line on what to do: every round, or never (default: first round)",
     "hints", kGivenHints, nullptr},
    {"--write-config", nullptr, "write the settings file with the defaults (never over one) and end",
     nullptr, 0, TakeWriteConfig},
    {"--record", "FILE", "play and keep every reading of the round(s) in FILE", nullptr, 0,
     TakeRecord},
    {"--replay", "FILE", "play FILE back exactly as it was recorded, then check it", nullptr, 0,
     TakeReplay},
    {"--fast", nullptr, "with --replay: do not wait for the recorded clock", nullptr, 0, TakeFast},
    {"--scores", nullptr, "print the best scores and end", nullptr, 0, TakeScores},
    {"--help", nullptr, "print this help and end", nullptr, 0, TakeHelp},
    {"--version", nullptr, "print the version and end", nullptr, 0, TakeVersion},
};

// One line an option, the help texts lined up after the longest form.
void PrintOptionLines(void (*print)(const char* line))
{
    int width = 0;
    for (const OptionRow& row : OPTIONS) {
        int length = (int)std::strlen(row.name);
        if (row.argument)
            length += 1 + (int)std::strlen(row.argument);
        width = length > width ? length : width;
    }
    for (const OptionRow& row : OPTIONS) {
        char form[64], line[256];
        std::snprintf(form, sizeof form, "%s%s%s", row.name, row.argument ? " " : "",
                      row.argument ? row.argument : "");
        std::snprintf(line, sizeof line, "  %-*s  %s", width, form, row.help);
        print(line);
    }
}

void PrintUsage(void (*print)(const char* line))
{
    print("Usage: balltoss [OPTION]...");
    print("A first-person ball toss against the clock: grab the balls, throw them down");
    print("the lane and score as much as you can in five minutes.");
    print("");
    PrintOptionLines(print);
    print("");
    print("Keys: W, A, S, D walk; the mouse looks; the right button grabs a ball, the");
    print("left button throws it; P pauses; Esc ends the game.");
    print("Kept: the best scores, the last round (last.btr) and the best (best.btr) in");
    print("$XDG_DATA_HOME/balltoss, else ~/.local/share/balltoss.");
    print("Settings: ~/.config/balltoss/balltoss.conf (in $XDG_CONFIG_HOME/balltoss when");
    print("that is set) holds key = value lines, # or ; comments: window = yes|no,");
    print("anisotropy = N, sensitivity = X, invert_mouse = yes|no, volume = N,");
    print("hints = yes|no, with the meanings and ranges of the options above. The");
    print("command line wins over the file; a bad line is reported and its default used.");
    print("Data: Textures/, Models/ and Sound/ are read from the working directory, else");
    print("from the program's folder or its " BALLTOSS_DATA_FROM_PROGRAM ", else from");
    print(BALLTOSS_DATA_DIR ".");
}

int TakeHelp(GameOptions*, const char*)
{
    PrintUsage(ConsolePrint);
    return 0;
}

int TakeVersion(GameOptions*, const char*)
{
    ConsolePrint("balltoss " BALLTOSS_VERSION);
    return 0;
}

int TakeWriteConfig(GameOptions*, const char*)
{
    char path[PATH_MAX];
    if (!SettingsFilePath(path, sizeof path)) {
        ConsoleError("balltoss: neither XDG_CONFIG_HOME nor HOME names a folder for the settings file");
        return 1;
    }
    return WriteSettingsFile(path);
}

int TakeRecord(GameOptions* options, const char* argument)
{
    std::snprintf(options->recordPath, sizeof options->recordPath, "%s", argument);
    return kOptionsPlay;
}

int TakeReplay(GameOptions* options, const char* argument)
{
    std::snprintf(options->replayPath, sizeof options->replayPath, "%s", argument);
    return kOptionsPlay;
}

int TakeScores(GameOptions*, const char*)
{
    return PrintScores();
}

int TakeFast(GameOptions* options, const char*)
{
    options->fast = 1;
    return kOptionsPlay;
}

const OptionRow* FindOption(const char* name)
{
    for (const OptionRow& row : OPTIONS)
        if (std::strcmp(row.name, name) == 0)
            return &row;
    return nullptr;
}

// A FILE argument made absolute against the working directory of the start;
// false when it does not fit.
bool AbsoluteFile(const char* file, char* path, size_t size)
{
    char folder[PATH_MAX];
    int length = file[0] == '/' || !getcwd(folder, sizeof folder)
                     ? std::snprintf(path, size, "%s", file)
                     : std::snprintf(path, size, "%s/%s", folder, file);
    return length > 0 && (size_t)length < size;
}

// The command line refused: its one line, the usage, status 2.
int Refuse(const char* problem, const char* what)
{
    char line[512];
    std::snprintf(line, sizeof line, "balltoss: %s%s", problem, what);
    ConsoleError(line);
    PrintUsage(ConsoleError);
    return 2;
}

} // namespace

int ParseOptions(int argc, char** argv, GameOptions* options)
{
    *options = GameOptions{};
    for (int i = 1; i < argc; ++i) {
        const OptionRow* row = FindOption(argv[i]);
        if (!row)
            return Refuse("unknown option ", argv[i]);
        const char* argument = nullptr;
        char path[PATH_MAX];
        if (row->argument) {
            if (i + 1 >= argc)
                return Refuse("missing argument for ", row->name);
            argument = argv[++i];
            if (std::strcmp(row->argument, "FILE") == 0) {
                if (!AbsoluteFile(argument, path, sizeof path))
                    return Refuse("file name too long for ", row->name);
                argument = path;
            }
        }
        if (row->key) {
            char why[96], problem[160];
            if (!TakeSettingValue(row->key, argument ? argument : "yes", &options->settings, why,
                                  sizeof why)) {
                std::snprintf(problem, sizeof problem, "%s %.40s: %s", row->name, argument, why);
                return Refuse(problem, "");
            }
            options->given |= row->given;
            continue;
        }
        int result = row->take(options, argument);
        if (result == kBadArgument)
            return Refuse(row->name, " does not take that argument");
        if (result != kOptionsPlay)
            return result;
    }
    if (options->recordPath[0] && options->replayPath[0])
        return Refuse("cannot record and replay at once", "");
    if (options->fast && !options->replayPath[0])
        return Refuse("--fast is for a replay", "");
    return kOptionsPlay;
}
