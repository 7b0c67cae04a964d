// Writes the start-up piece: corvinta_make_startup_piece <"Console Up.mid">

#include "tools/startup_piece/ConsoleUpPiece.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.mid>\n", argv[0]);
        return 2;
    }
    if (!corvinta::startup::ComposeConsoleUp().Write(argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
