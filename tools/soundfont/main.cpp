// Writes the organ's sound font: corvinta_make_soundfont <output.sf2>

#include "tools/soundfont/CorvintaFont.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.sf2>\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const corvinta::sf2::CSf2Writer font = corvinta::soundfont::BuildCorvintaFont();
    if (!font.Write(argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("wrote %s in %.1f s\n", argv[1], took.count());
    return 0;
}
