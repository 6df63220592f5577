// Speed of the bitmap-to-button conversion's pixel work on a large bitmap,
// next to a plain memcpy of the same raster as the yardstick.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/bench_images.h"
#include "conversion/bitmap_to_button.h"
#include "conversion/crop.h"

namespace {

using tavrel::PictureSurface;

constexpr int kWidth = 4000, kHeight = 3000, kContentW = 3000, kContentH = 2000;

// The working box as the conversion leaves it: the bitmap one pixel in.
PictureSurface& Working() {
    static PictureSurface working = [] {
        PictureSurface s(2, true);
        s.SetScaleMode(tavrel::ScaleUnit::Pixels);
        tavrel::SizePictureToPixels(s, kWidth + 1, kHeight + 1);
        s.PaintPicture(tavrel::bench::ContentImage(kWidth, kHeight, kContentW, kContentH), 1, 1);
        return s;
    }();
    return working;
}

void BM_Memcpy(benchmark::State& state) {
    const QImage& raster = Working().Image();
    std::vector<uchar> copy(static_cast<size_t>(raster.sizeInBytes()));
    for (auto _ : state) {
        std::memcpy(copy.data(), raster.constBits(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * raster.sizeInBytes());
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

void BM_CropScan(benchmark::State& state) {
    PictureSurface& working = Working();
    for (auto _ : state) {
        tavrel::CropBox box;
        benchmark::DoNotOptimize(
            tavrel::FindCropBox(working.Image(), kWidth + 2, kHeight + 2, &box));
    }
}
BENCHMARK(BM_CropScan)->Unit(benchmark::kMillisecond);

void BM_QuantiseAndFormat(benchmark::State& state) {
    PictureSurface out(2, true);
    tavrel::CropToContent(Working(), out);
    for (auto _ : state) {
        benchmark::DoNotOptimize(tavrel::FormatButtonFile(out).size());
    }
}
BENCHMARK(BM_QuantiseAndFormat)->Unit(benchmark::kMillisecond);

// The whole pixel work: scan, copy of the crop, levels and row text.
void BM_ConversionPixelWork(benchmark::State& state) {
    PictureSurface& working = Working();
    PictureSurface out(2, true);
    for (auto _ : state) {
        tavrel::CropToContent(working, out);
        benchmark::DoNotOptimize(tavrel::FormatButtonFile(out).size());
    }
}
BENCHMARK(BM_ConversionPixelWork)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
