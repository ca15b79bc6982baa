// render_options.cpp -- the command-line options that choose how the scene is
// rendered: "--anisotropy N" for players without a graphics card.
#include "game/game.h"

#include "platform/console/console.h"

#include <cstdlib>
#include <cstring>
#include <string>

const char* const kAnisotropyHelp =
    "  --anisotropy N  texture filtering, 1 to the driver's largest (default: the largest);\n"
    "                  1 draws about twice as fast on a computer without a graphics card";

// The largest request taken at all; the driver's own largest (often 16) caps it later.
static const long kLargestRequest = 1024;

// A whole number from 1 to kLargestRequest, digits only.
static bool ReadAnisotropy(const char* text, float* value)
{
    if (!text || !*text || std::strlen(text) > 6)
        return false;
    for (const char* c = text; *c; ++c)
        if (*c < '0' || *c > '9')
            return false;
    long n = std::strtol(text, nullptr, 10);
    if (n < 1 || n > kLargestRequest)
        return false;
    *value = (float)n;
    return true;
}

int ParseRenderOptions(int argc, const char* const* argv, RenderOptions* options)
{
    options->anisotropy = 0.0f;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = nullptr;
        if (std::strcmp(arg, "--anisotropy") == 0)
            value = i + 1 < argc ? argv[++i] : "";
        else if (std::strncmp(arg, "--anisotropy=", 13) == 0)
            value = arg + 13;
        else
            continue;   // not a rendering option
        if (!ReadAnisotropy(value, &options->anisotropy)) {
            ConsolePrint((std::string("--anisotropy needs a whole number from 1 to the "
                                      "driver's largest, not \"") + value + "\"").c_str());
            return 0;
        }
    }
    return 1;
}
