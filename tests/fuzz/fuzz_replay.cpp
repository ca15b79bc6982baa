// fuzz_replay.cpp -- any bytes given to the recording reader are either a
// whole recording or refused with a reason; never a crash. Each input is read
// twice: as it is, and with its file digest made right, so that the fuzzer
// reaches the readings behind the digest.
#include "platform/replay/replay.h"

#include <cstdint>
#include <cstring>
#include <vector>

static void Check(const uint8_t* data, size_t size, int checkDigest)
{
    ReplayFile file;
    char why[200];
    why[0] = '\0';
    if (ReplayParse(data, size, checkDigest, &file, why, sizeof why)) {
        if (file.readingsAt > file.readingsEnd || file.readingsEnd >= size)
            __builtin_trap();
    } else if (why[0] == '\0' || std::strchr(why, '\n') != nullptr) {
        __builtin_trap();   // a refusal is one line with its reason
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Check(data, size, 1);
    if (size >= 8) {
        std::vector<uint8_t> fixed(data, data + size);
        uint64_t digest = ReplayDigest(REPLAY_DIGEST_START, fixed.data(), size - 8);
        for (int i = 0; i < 8; ++i)
            fixed[size - 8 + i] = (uint8_t)(digest >> (8 * i));
        Check(fixed.data(), size, 1);
        Check(fixed.data(), size, 0);
    }
    return 0;
}
