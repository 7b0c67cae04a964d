// The console scales both 1024 x 768 skin images at every start of the
// window: enlarging for screens above the design size, shrinking below it.

#include "skin/ImageResizer.h"

#include <benchmark/benchmark.h>

namespace {

corvinta::skin::SkinImage DesignImage()
{
    corvinta::skin::SkinImage image{1024, 768, {}};
    image.pixels.resize(size_t(1024) * 768 * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
    return image;
}

void ResizeSkin(benchmark::State& state)
{
    const double factor = double(state.range(0)) / 1000.0;
    const corvinta::skin::SkinImage original = DesignImage();
    for (auto _ : state) {
        corvinta::skin::SkinImage image = original;
        benchmark::DoNotOptimize(corvinta::skin::ResizeImage(image, factor));
    }
}
// 1.422: a 1920 x 1080 screen; 0.8: a small laptop asked for by "res".
BENCHMARK(ResizeSkin)->Arg(1422)->Arg(800)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
