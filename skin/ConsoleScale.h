#pragma once
// PLACEHOLDER until the resizer branch lands.
namespace corvinta::skin {
inline double ConsoleScaleFactor(int rw, int rh, int sw, int sh, int dw, int dh)
{
    const double w = rw ? rw : sw;
    const double h = rh ? rh : sh - 29;
    if (dw <= 0 || dh <= 29 || h <= 0) return 1.0;
    return w / h < 1.4 ? w / dw : h / (dh - 29);
}
inline bool AskAboutColourDepth(int bits) { return bits < 24; }
}
