// Arbitrary bytes as a combination CSV, with either separator.

#include "persist/ComboCsv.h"

#include <cstdio>

using namespace corvinta;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const char separator = (data[0] & 1) ? ';' : ',';
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file)
        return 0;
    CComboCsv::ReadTable(file, separator, kFirstPistonItem);
    std::fclose(file);
    return 0;
}
