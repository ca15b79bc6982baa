// fuzz_util.cpp -- private directory and quiet console for the fuzz targets.
#include "fuzz_util.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

const std::string& FuzzSetUp()
{
    static std::string directory;
    if (directory.empty()) {
        char name[] = "/tmp/balltoss-fuzz-XXXXXX";
        if (!mkdtemp(name) || chdir(name) != 0)
            std::abort();
        directory = name;
        if (!std::freopen("/dev/null", "w", stdout))
            std::abort();
    }
    return directory;
}

void FuzzWriteFile(const char* name, const unsigned char* data, size_t size)
{
    FILE* file = std::fopen(name, "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
}
