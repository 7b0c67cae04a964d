// Arbitrary bytes as a combination file: either rejected whole or read, and
// what is read writes back as the same records.

#include "persist/ComboFile.h"

#include <cstdlib>

using namespace corvinta;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    bool quit = false;
    const bool readOldest = size > 0 && (data[size - 1] & 1);
    const auto memory = CComboFile::Parse(data, size, kPistonCount, [&] { return readOldest; }, quit);
    if (!memory)
        return 0;
    const std::vector<uint8_t> written = CComboFile::Format(*memory);
    const auto reread = CComboFile::Parse(written.data(), written.size(), kPistonCount, [] { return false; }, quit);
    if (!reread || reread->size() != memory->size())
        std::abort();
    for (size_t p = 0; p < memory->size(); ++p)
        if ((*reread)[p].drawn != (*memory)[p].drawn || (*reread)[p].scope != (*memory)[p].scope)
            std::abort();
    return 0;
}
