// files_gamedata.cpp -- finds the folder holding Textures/, Models/ and Sound/ and
// makes it the working directory, so every asset keeps the name the game gives it.
#include "platform/files/files.h"

#include "platform/console/console.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

// folder/name into path; 0 when it does not fit.
static int JoinPath(char* path, size_t size, const char* folder, const char* name)
{
    int length = std::snprintf(path, size, "%s/%s", folder, name);
    return length > 0 && (size_t)length < size;
}

static int IsFolder(const char* folder, const char* name)
{
    char path[PATH_MAX];
    struct stat info;
    return JoinPath(path, sizeof path, folder, name) && stat(path, &info) == 0 &&
           S_ISDIR(info.st_mode);
}

// All three asset folders: a folder with only some of them is someone else's.
static int HoldsGameData(const char* folder)
{
    return IsFolder(folder, "Textures") && IsFolder(folder, "Models") && IsFolder(folder, "Sound");
}

// The folder of the running program, through the link the kernel keeps (a
// launcher may start it by any name, from anywhere). Empty when unknown.
static void ProgramFolder(char* folder, size_t size)
{
    ssize_t length = readlink("/proc/self/exe", folder, size - 1);
    folder[length > 0 ? length : 0] = '\0';
    char* slash = std::strrchr(folder, '/');
    if (slash)
        *slash = '\0';
    else
        folder[0] = '\0';
}

int FilesFindGameData()
{
    if (HoldsGameData("."))
        return 1;
    char program[PATH_MAX];
    ProgramFolder(program, sizeof program);
    char beside[PATH_MAX];
    if (!JoinPath(beside, sizeof beside, program, BALLTOSS_DATA_FROM_PROGRAM))
        beside[0] = '\0';
    // Beside the program is a build tree; the folder relative to it is an
    // installation wherever it was unpacked; the last is where it was installed to.
    const char* places[3] = {program, beside, BALLTOSS_DATA_DIR};
    for (const char* place : places)
        if (place[0] != '\0' && HoldsGameData(place) && chdir(place) == 0)
            return 1;
    char here[PATH_MAX] = ".";
    if (!getcwd(here, sizeof here))
        std::strcpy(here, ".");
    char line[4 * PATH_MAX + 128];
    int length = std::snprintf(line, sizeof line,
                  "Game data (Textures/, Models/, Sound/) not found in %s, %s, %s or %s", here,
                  program, beside, BALLTOSS_DATA_DIR);
    if (length > 0)
        ConsolePrint(line);
    return 0;
}
