// fuzz_util.cpp -- private directory and quiet console for the fuzz targets.
#include "fuzz_util.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static std::string startDirectory;
static std::string privateDirectory;

static void RemovePrivateDirectory()
{
    for (const char* name : {"/input.obj", "/Test_Format.nsf"})
        std::remove((privateDirectory + name).c_str());
    rmdir(privateDirectory.c_str());
}

const std::string& FuzzDirectory()
{
    static std::string directory;
    if (directory.empty()) {
        char name[] = "/tmp/balltoss-fuzz-XXXXXX";
        char here[4096];
        if (!mkdtemp(name) || !getcwd(here, sizeof here))
            std::abort();
        directory = privateDirectory = name;
        startDirectory = here;
        std::atexit(RemovePrivateDirectory);
        if (!std::freopen("/dev/null", "w", stdout))
            std::abort();
    }
    return directory;
}

std::string FuzzWriteFile(const char* name, const unsigned char* data, size_t size)
{
    std::string path = FuzzDirectory() + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
    return path;
}

void FuzzEnterDirectory()
{
    if (chdir(FuzzDirectory().c_str()) != 0)
        std::abort();
}

void FuzzLeaveDirectory()
{
    if (chdir(startDirectory.c_str()) != 0)
        std::abort();
}
