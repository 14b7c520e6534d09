// The 32-bit fill, copy and keyed copy of a whole surface, each beside pixman's nearest equivalent: a solid
// fill, a SRC composite, and an OVER composite of a source whose key pixels have alpha 0. The sizes are a
// 1920 x 1080 screen, whose pixels come from beyond the processor's private caches, and a 512 x 256 sprite
// sheet, whose pixels stay in them.
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface.h"

#include "bench/targets.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <memory>

namespace {

constexpr std::uint32_t Key = 0x00FF00FF;

std::unique_ptr<cSurface> MakeSurface(int width, int height) {
    cSurface prototype;
    auto* implementation = new cBufferSurface;
    implementation->SetDepth(32);
    prototype.SetImplementation(implementation);
    auto surface = std::make_unique<cSurface>();
    surface->Create(width, height, &prototype);
    return surface;
}

// Every fourth pixel in runs of the key colour, the rest a pattern.
void Paint(std::uint32_t* pixels, int stride, int width, int height, bool alphaForKey) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool key = ((x / 8) + y) % 4 == 0;
            const std::uint32_t colour = key ? Key : (0x00102030u + static_cast<std::uint32_t>(x * 7 + y));
            pixels[static_cast<std::size_t>(y) * stride + x] =
                alphaForKey ? (key ? 0u : (colour | 0xFF000000u)) : colour;
        }
}

void SurfaceFill(benchmark::State& state) {
    bench::ShowTarget(state, "at or beyond PixmanFill (its time / this one >= 1.0)");
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    auto s = MakeSurface(width, height);
    for (auto _ : state) {
        s->Fill(0x00336699);
        benchmark::DoNotOptimize(s->LockPixels());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{width} * height * 4);
}

void SurfaceCopy(benchmark::State& state) {
    bench::ShowTarget(state, "at or beyond PixmanCopy (its time / this one >= 1.0)");
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    auto source = MakeSurface(width, height);
    auto destination = MakeSurface(width, height);
    Paint(reinterpret_cast<std::uint32_t*>(source->LockPixels()), source->GetPitch() / 4, width, height,
          false);
    for (auto _ : state) {
        source->Blit(*destination, 0, 0, 0, 0, width, height, 0);
        benchmark::DoNotOptimize(destination->LockPixels());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{width} * height * 4);
}

void SurfaceKeyedCopy(benchmark::State& state) {
    bench::ShowTarget(state, "PixmanKeyedCopy's time / this one >= 1.5");
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    auto source = MakeSurface(width, height);
    auto destination = MakeSurface(width, height);
    Paint(reinterpret_cast<std::uint32_t*>(source->LockPixels()), source->GetPitch() / 4, width, height,
          false);
    source->SetColorKey(win32::RGB(0xFF, 0x00, 0xFF));
    for (auto _ : state) {
        source->Blit(*destination, 0, 0, 0, 0, width, height, 1);
        benchmark::DoNotOptimize(destination->LockPixels());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{width} * height * 4);
}

struct PixmanImage {
    PixmanImage(pixman_format_code_t format, int width, int height)
        : image(pixman_image_create_bits(format, width, height, nullptr, width * 4)) {}
    ~PixmanImage() { pixman_image_unref(image); }
    std::uint32_t* Bits() const { return pixman_image_get_data(image); }
    pixman_image_t* image;
};

void PixmanFill(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    PixmanImage d(PIXMAN_x8r8g8b8, width, height);
    for (auto _ : state) {
        pixman_fill(d.Bits(), width, 32, 0, 0, width, height, 0x00336699);
        benchmark::DoNotOptimize(d.Bits());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{width} * height * 4);
}

void PixmanCopy(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    PixmanImage s(PIXMAN_x8r8g8b8, width, height), d(PIXMAN_x8r8g8b8, width, height);
    Paint(s.Bits(), width, width, height, false);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, s.image, nullptr, d.image, 0, 0, 0, 0, 0, 0, width, height);
        benchmark::DoNotOptimize(d.Bits());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{width} * height * 4);
}

void PixmanKeyedCopy(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    PixmanImage s(PIXMAN_a8r8g8b8, width, height), d(PIXMAN_x8r8g8b8, width, height);
    Paint(s.Bits(), width, width, height, true);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, s.image, nullptr, d.image, 0, 0, 0, 0, 0, 0, width, height);
        benchmark::DoNotOptimize(d.Bits());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{width} * height * 4);
}

} // namespace

BENCHMARK(SurfaceFill)->Args({1920, 1080})->Args({512, 256});
BENCHMARK(PixmanFill)->Args({1920, 1080})->Args({512, 256});
BENCHMARK(SurfaceCopy)->Args({1920, 1080})->Args({512, 256});
BENCHMARK(PixmanCopy)->Args({1920, 1080})->Args({512, 256});
BENCHMARK(SurfaceKeyedCopy)->Args({1920, 1080})->Args({512, 256});
BENCHMARK(PixmanKeyedCopy)->Args({1920, 1080})->Args({512, 256});
