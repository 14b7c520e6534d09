// The 32-bit fill, copy and keyed copy of a 1920 x 1080 surface, each beside pixman's nearest equivalent:
// a solid fill, a SRC composite, and an OVER composite of a source whose key pixels have alpha 0.
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <memory>

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;
constexpr std::uint32_t Key = 0x00FF00FF;

std::unique_ptr<cSurface> MakeSurface() {
    cSurface prototype;
    auto* implementation = new cBufferSurface;
    implementation->SetDepth(32);
    prototype.SetImplementation(implementation);
    auto surface = std::make_unique<cSurface>();
    surface->Create(Width, Height, &prototype);
    return surface;
}

// Every fourth pixel in runs of the key colour, the rest a pattern.
void Paint(std::uint32_t* pixels, int stride, bool alphaForKey) {
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const bool key = ((x / 8) + y) % 4 == 0;
            const std::uint32_t colour = key ? Key : (0x00102030u + static_cast<std::uint32_t>(x * 7 + y));
            pixels[static_cast<std::size_t>(y) * stride + x] =
                alphaForKey ? (key ? 0u : (colour | 0xFF000000u)) : colour;
        }
}

void SurfaceFill(benchmark::State& state) {
    auto s = MakeSurface();
    for (auto _ : state) {
        s->Fill(0x00336699);
        benchmark::DoNotOptimize(s->LockPixels());
    }
    state.SetBytesProcessed(state.iterations() * Width * Height * 4);
}

void SurfaceCopy(benchmark::State& state) {
    auto source = MakeSurface();
    auto destination = MakeSurface();
    Paint(reinterpret_cast<std::uint32_t*>(source->LockPixels()), source->GetPitch() / 4, false);
    for (auto _ : state) {
        source->Blit(*destination, 0, 0, 0, 0, Width, Height, 0);
        benchmark::DoNotOptimize(destination->LockPixels());
    }
    state.SetBytesProcessed(state.iterations() * Width * Height * 4);
}

void SurfaceKeyedCopy(benchmark::State& state) {
    auto source = MakeSurface();
    auto destination = MakeSurface();
    Paint(reinterpret_cast<std::uint32_t*>(source->LockPixels()), source->GetPitch() / 4, false);
    source->SetColorKey(win32::RGB(0xFF, 0x00, 0xFF));
    for (auto _ : state) {
        source->Blit(*destination, 0, 0, 0, 0, Width, Height, 1);
        benchmark::DoNotOptimize(destination->LockPixels());
    }
    state.SetBytesProcessed(state.iterations() * Width * Height * 4);
}

struct PixmanImage {
    explicit PixmanImage(pixman_format_code_t format)
        : image(pixman_image_create_bits(format, Width, Height, nullptr, Width * 4)) {}
    ~PixmanImage() { pixman_image_unref(image); }
    std::uint32_t* Bits() const { return pixman_image_get_data(image); }
    pixman_image_t* image;
};

void PixmanFill(benchmark::State& state) {
    PixmanImage d(PIXMAN_x8r8g8b8);
    for (auto _ : state) {
        pixman_fill(d.Bits(), Width, 32, 0, 0, Width, Height, 0x00336699);
        benchmark::DoNotOptimize(d.Bits());
    }
    state.SetBytesProcessed(state.iterations() * Width * Height * 4);
}

void PixmanCopy(benchmark::State& state) {
    PixmanImage s(PIXMAN_x8r8g8b8), d(PIXMAN_x8r8g8b8);
    Paint(s.Bits(), Width, false);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, s.image, nullptr, d.image, 0, 0, 0, 0, 0, 0, Width, Height);
        benchmark::DoNotOptimize(d.Bits());
    }
    state.SetBytesProcessed(state.iterations() * Width * Height * 4);
}

void PixmanKeyedCopy(benchmark::State& state) {
    PixmanImage s(PIXMAN_a8r8g8b8), d(PIXMAN_x8r8g8b8);
    Paint(s.Bits(), Width, true);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, s.image, nullptr, d.image, 0, 0, 0, 0, 0, 0, Width, Height);
        benchmark::DoNotOptimize(d.Bits());
    }
    state.SetBytesProcessed(state.iterations() * Width * Height * 4);
}

} // namespace

BENCHMARK(SurfaceFill);
BENCHMARK(PixmanFill);
BENCHMARK(SurfaceCopy);
BENCHMARK(PixmanCopy);
BENCHMARK(SurfaceKeyedCopy);
BENCHMARK(PixmanKeyedCopy);
