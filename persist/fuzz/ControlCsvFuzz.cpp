// Arbitrary bytes as a control-assignment CSV, with either separator.

#include "persist/ControlCsv.h"

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
    ControlWorkingCopy copy;
    CControlCsv::Read(copy, file, separator);
    std::fclose(file);
    return 0;
}
