// fuzz_util.h -- what the file-reading fuzz targets share: a private directory
// to write inputs into, and a quiet console.
#pragma once

#include <cstddef>
#include <string>

// Creates a private temporary directory (once) and sends the console's lines to
// /dev/null. Returns the directory.
const std::string& FuzzDirectory();

// Writes the input to `name` in that directory; returns its full path.
std::string FuzzWriteFile(const char* name, const unsigned char* data, size_t size);

// Makes the private directory the working directory until FuzzLeaveDirectory,
// for readers of a fixed file name (libFuzzer's own paths may be relative).
void FuzzEnterDirectory();
void FuzzLeaveDirectory();

// Stops the run when an invariant does not hold.
#define FUZZ_CHECK(condition)                                                      \
    do {                                                                           \
        if (!(condition))                                                          \
            __builtin_trap();                                                      \
    } while (0)
