// The 16- and 24-bit fill, copy, keyed copy and blend of a 1920 x 1080 surface beside pixman's nearest
// equivalents on r5g6b5 and r8g8b8 images (a solid fill, a SRC composite, an OVER composite of a source
// whose key pixels have alpha 0, and OVER through a constant half mask), and the conversions 32 to 16,
// 16 to 32 and 8 to 32 beside a plain per-pixel loop.
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/palettes.h"
#include "vtrs2/surface.h"

#include "bench/targets.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int Width = 1920;
constexpr int Height = 1080;
constexpr std::int64_t Pixels = std::int64_t{Width} * Height;

std::unique_ptr<cSurface> MakeSurface(int depth) {
    cSurface prototype;
    auto* implementation = new cBufferSurface;
    implementation->SetDepth(depth);
    prototype.SetImplementation(implementation);
    auto surface = std::make_unique<cSurface>();
    surface->Create(Width, Height, &prototype);
    return surface;
}

bool IsKey(int x, int y) {
    return ((x / 8) + y) % 4 == 0;
}

// A pattern with runs of the key colour (magenta) every fourth run, as COLORREF-free raw words.
std::uint32_t Colour(int x, int y) {
    return IsKey(x, y) ? 0x00FF00FFu : 0x00102030u + static_cast<std::uint32_t>(x * 7 + y);
}

std::uint16_t To565(std::uint32_t c) {
    return static_cast<std::uint16_t>(((c >> 19) & 0x1F) << 11 | ((c >> 10) & 0x3F) << 5 | ((c >> 3) & 0x1F));
}

// Fills a surface's rows (or a pixman image's) with the pattern at 16, 24 or 32 bits.
void Paint(std::uint8_t* bits, int stride, int depth) {
    for (int y = 0; y < Height; ++y) {
        std::uint8_t* row = bits + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < Width; ++x) {
            const std::uint32_t c = Colour(x, y);
            if (depth == 16) {
                const std::uint16_t v = To565(c);
                std::memcpy(row + 2 * x, &v, 2);
            } else if (depth == 24) {
                std::memcpy(row + 3 * x, &c, 3);
            } else {
                std::memcpy(row + 4 * x, &c, 4);
            }
        }
    }
}

// --- the engine ---------------------------------------------------------------------------------------

void EngineFill(benchmark::State& state) {
    bench::ShowTarget(state, "at or beyond PixmanFill at the same depth");
    auto s = MakeSurface(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        s->Fill(0x00336699);
        benchmark::DoNotOptimize(s->LockPixels());
    }
    state.SetItemsProcessed(state.iterations() * Pixels);
}

void EngineBlit(benchmark::State& state, int mode, int ink, int parameter) {
    const int depth = static_cast<int>(state.range(0));
    auto source = MakeSurface(depth), destination = MakeSurface(depth);
    Paint(source->LockPixels(), source->GetPitch(), depth);
    destination->Fill(0x00336699);
    source->SetColorKey(win32::RGB(0xFF, 0x00, 0xFF));
    for (auto _ : state) {
        source->Blit(*destination, 0, 0, 0, 0, Width, Height, mode, ink, parameter);
        benchmark::DoNotOptimize(destination->LockPixels());
    }
    state.SetItemsProcessed(state.iterations() * Pixels);
}

void EngineCopy(benchmark::State& state) {
    bench::ShowTarget(state, "at or beyond PixmanCopy at the same depth");
    EngineBlit(state, 0, 0, 0);
}
void EngineKeyedCopy(benchmark::State& state) {
    bench::ShowTarget(state, "at or beyond PixmanKeyedCopy at the same depth");
    EngineBlit(state, 1, 0, 0);
}
void EngineBlend(benchmark::State& state) {
    bench::ShowTarget(state, "at or beyond PixmanBlend at the same depth");
    EngineBlit(state, 0, 1, 64);
}

// --- pixman -------------------------------------------------------------------------------------------

pixman_format_code_t FormatOf(int depth) {
    return depth == 16 ? PIXMAN_r5g6b5 : PIXMAN_r8g8b8;
}

struct PixmanImage {
    PixmanImage(pixman_format_code_t format, int bytesPerPixel)
        : stride(((Width * bytesPerPixel) + 3) & ~3), bits(static_cast<std::size_t>(stride) * Height),
          image(pixman_image_create_bits(format, Width, Height, reinterpret_cast<std::uint32_t*>(bits.data()),
                                         stride)) {}
    ~PixmanImage() { pixman_image_unref(image); }
    PixmanImage(const PixmanImage&) = delete;
    PixmanImage& operator=(const PixmanImage&) = delete;
    int stride;
    std::vector<std::uint8_t> bits;
    pixman_image_t* image;
};

void PixmanFill(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    PixmanImage d(FormatOf(depth), depth / 8);
    const pixman_color_t colour{0x3300, 0x6600, 0x9900, 0xFFFF};
    const pixman_rectangle16_t whole{0, 0, Width, Height};
    for (auto _ : state) {
        pixman_image_fill_rectangles(PIXMAN_OP_SRC, d.image, &colour, 1, &whole);
        benchmark::DoNotOptimize(d.bits.data());
    }
    state.SetItemsProcessed(state.iterations() * Pixels);
}

void PixmanCopy(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    PixmanImage s(FormatOf(depth), depth / 8), d(FormatOf(depth), depth / 8);
    Paint(s.bits.data(), s.stride, depth);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, s.image, nullptr, d.image, 0, 0, 0, 0, 0, 0, Width, Height);
        benchmark::DoNotOptimize(d.bits.data());
    }
    state.SetItemsProcessed(state.iterations() * Pixels);
}

void PixmanKeyedCopy(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    PixmanImage s(PIXMAN_a8r8g8b8, 4), d(FormatOf(depth), depth / 8);
    Paint(s.bits.data(), s.stride, 32);
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            std::uint32_t& p = reinterpret_cast<std::uint32_t*>(s.bits.data() + y * s.stride)[x];
            p = IsKey(x, y) ? 0u : p | 0xFF000000u;
        }
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, s.image, nullptr, d.image, 0, 0, 0, 0, 0, 0, Width, Height);
        benchmark::DoNotOptimize(d.bits.data());
    }
    state.SetItemsProcessed(state.iterations() * Pixels);
}

void PixmanBlend(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    PixmanImage s(FormatOf(depth), depth / 8), d(FormatOf(depth), depth / 8);
    Paint(s.bits.data(), s.stride, depth);
    const pixman_color_t half{0, 0, 0, 0x8000};
    pixman_image_t* mask = pixman_image_create_solid_fill(&half);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, s.image, mask, d.image, 0, 0, 0, 0, 0, 0, Width, Height);
        benchmark::DoNotOptimize(d.bits.data());
    }
    pixman_image_unref(mask);
    state.SetItemsProcessed(state.iterations() * Pixels);
}

// --- conversions -------------------------------------------------------------------------------------

// The engine's conversion between depths: an opaque blit from one depth to the other.
void EngineConvert(benchmark::State& state) {
    const int from = static_cast<int>(state.range(0)), to = static_cast<int>(state.range(1));
    auto source = MakeSurface(from), destination = MakeSurface(to);
    if (from == 8)
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x)
                source->LockPixels()[y * source->GetPitch() + x] = static_cast<std::uint8_t>(x + y);
    else
        Paint(source->LockPixels(), source->GetPitch(), from);
    for (auto _ : state) {
        source->Blit(*destination, 0, 0, 0, 0, Width, Height, 0);
        benchmark::DoNotOptimize(destination->LockPixels());
    }
    state.SetItemsProcessed(state.iterations() * Pixels);
}

// The same conversions as a plain loop over every pixel, as one would write them without the engine.
void PlainConvert(benchmark::State& state) {
    const int from = static_cast<int>(state.range(0)), to = static_cast<int>(state.range(1));
    const int inBytes = from / 8, outBytes = to / 8;
    std::vector<std::uint8_t> in(static_cast<std::size_t>(Pixels) * inBytes),
        out(static_cast<std::size_t>(Pixels) * outBytes);
    if (from == 8)
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = static_cast<std::uint8_t>(i);
    else
        Paint(in.data(), Width * inBytes, from);
    std::uint32_t palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = PaletteColor(GetDefaultModePalette(3)->entries[i]);
    for (auto _ : state) {
        for (std::int64_t i = 0; i < Pixels; ++i) {
            std::uint32_t c = 0; // blue, green, red in bytes 0-2
            if (from == 8) {
                const std::uint32_t rgb = palette[in[static_cast<std::size_t>(i)]];
                c = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
            } else if (from == 16) {
                std::uint16_t v;
                std::memcpy(&v, &in[static_cast<std::size_t>(2 * i)], 2);
                c = ((v & 0x1F) << 3) | (((v >> 5) & 0x3F) << 10) | (((v >> 11) & 0x1F) << 19);
            } else {
                std::memcpy(&c, &in[static_cast<std::size_t>(4 * i)], 4);
            }
            if (to == 16) {
                std::uint16_t v = To565(c);
                if (v == 0 && (c & 0xFFFFFF)) v = 1;
                std::memcpy(&out[static_cast<std::size_t>(2 * i)], &v, 2);
            } else {
                c &= 0xFFFFFF;
                std::memcpy(&out[static_cast<std::size_t>(4 * i)], &c, 4);
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * Pixels);
}

} // namespace

BENCHMARK(EngineFill)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanFill)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineCopy)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanCopy)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineKeyedCopy)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanKeyedCopy)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineBlend)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(PixmanBlend)->Arg(16)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(EngineConvert)->Args({32, 16})->Args({16, 32})->Args({8, 32})->Unit(benchmark::kMillisecond);
BENCHMARK(PlainConvert)->Args({32, 16})->Args({16, 32})->Args({8, 32})->Unit(benchmark::kMillisecond);
