// A stand-in skin library that fails in one way, chosen when it is built:
// FAKE_SIGNATURE, FAKE_OMIT_REGION, FAKE_OMIT_INIT or FAKE_NULL_BITMAP.
// Used by SkinLibraryTest.

#include <cstdint>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef FAKE_SIGNATURE
#define FAKE_SIGNATURE "Corvinta Style 216 ver 0.88"
#endif

#ifndef FAKE_NULL_BITMAP
namespace {
uint8_t gPixels[2 * 2 * 4];
}
#endif

FAKE_EXPORT const char* GetSignature() { return FAKE_SIGNATURE; }
FAKE_EXPORT void GetResolution(int* w, int* h) { *w = 2, *h = 2; }
#ifndef FAKE_OMIT_REGION
FAKE_EXPORT const char* GetRegion(int, int) { return "0,0,2,2;0,0,2,2"; }
#endif
#ifndef FAKE_OMIT_INIT
FAKE_EXPORT void InitPNG() {}
#endif
FAKE_EXPORT const uint8_t* GetBitmapData(int, int* w, int* h)
{
    *w = 2, *h = 2;
#ifdef FAKE_NULL_BITMAP
    return nullptr;
#else
    return gPixels;
#endif
}
FAKE_EXPORT void FreePNG() {}
