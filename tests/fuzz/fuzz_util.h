// fuzz_util.h -- what the file-reading fuzz targets share: a private directory
// to write inputs into, and a quiet console.
#pragma once

#include <cstddef>
#include <string>

// Creates a private temporary directory (once), makes it the working directory
// and sends the console's lines to /dev/null. Returns the directory.
const std::string& FuzzSetUp();

// Writes the input to `name` in that directory.
void FuzzWriteFile(const char* name, const unsigned char* data, size_t size);

// Stops the run when an invariant does not hold.
#define FUZZ_CHECK(condition)                                                      \
    do {                                                                           \
        if (!(condition))                                                          \
            __builtin_trap();                                                      \
    } while (0)
