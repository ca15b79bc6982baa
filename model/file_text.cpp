// file_text.cpp -- whole-file reading and decimal numbers for the model readers.
#include "model/model_local.h"

#include "platform/files/files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

FileReadResult ReadWholeFile(const char* fileName, char** data, size_t* size)
{
    unsigned char* bytes = nullptr;
    int reason = 0;
    FilesReadStatus status = FilesReadAsset(fileName, kMaxModelFileBytes, &bytes, size, &reason);
    *data = (char*)bytes;
    switch (status) {
    case FILES_READ: return kFileRead;
    case FILES_MISSING: return kFileMissing;
    case FILES_TOO_LARGE: return kFileTooLarge;
    default: return kFileUnreadable;
    }
}

static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

static const char* SkipDigits(const char* p, const char* end)
{
    while (p < end && IsDigit(*p))
        ++p;
    return p;
}

// Converts exactly [start, stop) with strtod, on a copy so that strtod can never
// read further than the decimal form found (no hex, no "inf", no later line).
static double ConvertDecimal(const char* start, const char* stop)
{
    size_t length = (size_t)(stop - start);
    char local[128];
    char* copy = length < sizeof local ? local : (char*)std::malloc(length + 1);
    if (!copy)
        return 0.0;
    std::memcpy(copy, start, length);
    copy[length] = '\0';
    double value = std::strtod(copy, nullptr);
    if (copy != local)
        std::free(copy);
    return value;
}

const char* ReadDecimal(const char* text, const char* end, double* value)
{
    *value = 0.0;
    const char* p = text;
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    const char* start = p;
    if (p < end && (*p == '+' || *p == '-'))
        ++p;
    const char* digits = p;
    p = SkipDigits(p, end);
    bool any = p > digits;
    if (p < end && *p == '.') {
        const char* fraction = p + 1;
        const char* afterFraction = SkipDigits(fraction, end);
        if (any || afterFraction > fraction) {
            any = true;
            p = afterFraction;
        }
    }
    if (!any)
        return nullptr;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        if (e < end && (*e == '+' || *e == '-'))
            ++e;
        if (e < end && IsDigit(*e))
            p = SkipDigits(e, end);
    }
    *value = ConvertDecimal(start, p);
    return p;
}
