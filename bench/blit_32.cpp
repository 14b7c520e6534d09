// The engine's 32-bit blit with the blend ink, the keyed blit and the smoothed 2x stretch of square tiles
// (40, 64 and 256 pixels) over a 1920 x 1080 surface, each beside pixman compositing the same picture: OVER
// through a constant half mask, OVER of a source whose key pixels have alpha 0, and a bilinear 2x scale.
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface.h"

#include "bench/targets.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

constexpr int ScreenWidth = 1920;
constexpr int ScreenHeight = 1080;
constexpr std::uint32_t Key = 0x00FF00FF;

std::unique_ptr<cSurface> MakeSurface(int w, int h) {
    cSurface prototype;
    auto* implementation = new cBufferSurface;
    implementation->SetDepth(32);
    prototype.SetImplementation(implementation);
    auto surface = std::make_unique<cSurface>();
    surface->Create(w, h, &prototype);
    return surface;
}

bool IsKey(int x, int y) {
    return ((x / 8) + y / 3) % 4 == 0;
}

// The tile: a pattern with runs of the key colour; for pixman the key pixels get alpha 0.
void PaintTile(std::uint32_t* pixels, int stride, int tile, bool alphaForKey) {
    for (int y = 0; y < tile; ++y)
        for (int x = 0; x < tile; ++x) {
            const bool key = IsKey(x, y);
            const std::uint32_t colour =
                key ? Key : (0x00204060u + static_cast<std::uint32_t>(x * 3 + y * 5));
            pixels[static_cast<std::size_t>(y) * stride + x] =
                alphaForKey ? (key ? 0u : (colour | 0xFF000000u)) : colour;
        }
}

// Every tile position of a scaled tile over the screen (the last row and column clipped).
template <typename Draw> void ForEachTile(int size, Draw&& draw) {
    for (int y = 0; y < ScreenHeight; y += size)
        for (int x = 0; x < ScreenWidth; x += size)
            draw(x, y);
}

constexpr std::int64_t ScreenBytes = std::int64_t{ScreenWidth} * ScreenHeight * 4;

void EngineBlend(benchmark::State& state) {
    bench::ShowTarget(state, "PixmanBlend's time / this one >= 1.2");
    const int side = static_cast<int>(state.range(0));
    auto tile = MakeSurface(side, side), screen = MakeSurface(ScreenWidth, ScreenHeight);
    PaintTile(reinterpret_cast<std::uint32_t*>(tile->LockPixels()), tile->GetPitch() / 4, side, false);
    screen->Fill(0x00336699);
    for (auto _ : state) {
        ForEachTile(side, [&](int x, int y) { tile->Blit(*screen, x, y, 0, 0, side, side, 0, 1, 64); });
        benchmark::DoNotOptimize(screen->LockPixels());
    }
    state.SetBytesProcessed(state.iterations() * ScreenBytes);
}

void EngineKeyed(benchmark::State& state) {
    bench::ShowTarget(state, "PixmanKeyed's time / this one >= 1.5");
    const int side = static_cast<int>(state.range(0));
    auto tile = MakeSurface(side, side), screen = MakeSurface(ScreenWidth, ScreenHeight);
    PaintTile(reinterpret_cast<std::uint32_t*>(tile->LockPixels()), tile->GetPitch() / 4, side, false);
    tile->SetColorKey(win32::RGB(255, 0, 255));
    screen->Fill(0x00336699);
    for (auto _ : state) {
        ForEachTile(side, [&](int x, int y) { tile->Blit(*screen, x, y, 0, 0, side, side, 1); });
        benchmark::DoNotOptimize(screen->LockPixels());
    }
    state.SetBytesProcessed(state.iterations() * ScreenBytes);
}

void EngineSmoothStretch(benchmark::State& state) {
    bench::ShowTarget(state, "at or beyond PixmanBilinearStretch (its time / this one >= 1.0)");
    const int side = static_cast<int>(state.range(0));
    auto tile = MakeSurface(side, side), screen = MakeSurface(ScreenWidth, ScreenHeight);
    PaintTile(reinterpret_cast<std::uint32_t*>(tile->LockPixels()), tile->GetPitch() / 4, side, false);
    screen->Fill(0x00336699);
    for (auto _ : state) {
        ForEachTile(2 * side, [&](int x, int y) {
            tile->StretchBlit(*screen, x, y, 2 * side, 2 * side, 0, 0, side, side, 0, 0, 0, 1);
        });
        benchmark::DoNotOptimize(screen->LockPixels());
    }
    state.SetBytesProcessed(state.iterations() * ScreenBytes);
}

// pixman images over buffers of their own.
struct PixmanPicture {
    PixmanPicture(pixman_format_code_t format, int w, int h)
        : pixels(static_cast<std::size_t>(w) * h),
          image(pixman_image_create_bits(format, w, h, pixels.data(), w * 4)) {}
    ~PixmanPicture() { pixman_image_unref(image); }
    PixmanPicture(const PixmanPicture&) = delete;
    PixmanPicture& operator=(const PixmanPicture&) = delete;
    std::vector<std::uint32_t> pixels;
    pixman_image_t* image;
};

void PixmanBlend(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    PixmanPicture tile(PIXMAN_x8r8g8b8, side, side), screen(PIXMAN_x8r8g8b8, ScreenWidth, ScreenHeight);
    PaintTile(tile.pixels.data(), side, side, false);
    const pixman_color_t half{0, 0, 0, 0x8000};
    pixman_image_t* mask = pixman_image_create_solid_fill(&half);
    for (auto _ : state) {
        ForEachTile(side, [&](int x, int y) {
            pixman_image_composite32(PIXMAN_OP_OVER, tile.image, mask, screen.image, 0, 0, 0, 0, x, y, side,
                                     side);
        });
        benchmark::DoNotOptimize(screen.pixels.data());
    }
    pixman_image_unref(mask);
    state.SetBytesProcessed(state.iterations() * ScreenBytes);
}

void PixmanKeyed(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    PixmanPicture tile(PIXMAN_a8r8g8b8, side, side), screen(PIXMAN_x8r8g8b8, ScreenWidth, ScreenHeight);
    PaintTile(tile.pixels.data(), side, side, true);
    for (auto _ : state) {
        ForEachTile(side, [&](int x, int y) {
            pixman_image_composite32(PIXMAN_OP_OVER, tile.image, nullptr, screen.image, 0, 0, 0, 0, x, y,
                                     side, side);
        });
        benchmark::DoNotOptimize(screen.pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * ScreenBytes);
}

void PixmanBilinearStretch(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    PixmanPicture tile(PIXMAN_x8r8g8b8, side, side), screen(PIXMAN_x8r8g8b8, ScreenWidth, ScreenHeight);
    PaintTile(tile.pixels.data(), side, side, false);
    pixman_transform_t half;
    pixman_transform_init_scale(&half, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
    pixman_image_set_transform(tile.image, &half);
    pixman_image_set_filter(tile.image, PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(tile.image, PIXMAN_REPEAT_PAD);
    for (auto _ : state) {
        ForEachTile(2 * side, [&](int x, int y) {
            pixman_image_composite32(PIXMAN_OP_SRC, tile.image, nullptr, screen.image, 0, 0, 0, 0, x, y,
                                     2 * side, 2 * side);
        });
        benchmark::DoNotOptimize(screen.pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * ScreenBytes);
}

} // namespace

// The argument is the tile's side.
BENCHMARK(EngineBlend)->Arg(40)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanBlend)->Arg(40)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineKeyed)->Arg(40)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanKeyed)->Arg(40)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineSmoothStretch)->Arg(40)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanBilinearStretch)->Arg(40)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);
