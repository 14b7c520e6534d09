// The pixel routines of every depth, reached through the software blit, against the slow reference model:
// every ink code, plain, keyed and alpha-plane blits, top-down and bottom-up rows, rectangles clipped at
// every edge, widths 0 to 17 on rows that end exactly at the end of their buffer, the callback blits and the
// conversions between every pair of depths.
#include "support/reference_model.h"
#include "surface_test_support.h"
#include "vtrs2/effect.h"
#include "vtrs2/palette_matching.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>

using namespace win32;
using surface_test::Random;

namespace {

constexpr int Depths[] = {8, 15, 16, 24, 32};

enum class Kind { Plain, Keyed, Alpha, AlphaCopy };

struct InkCase {
    int ink;
    DWORD parameter;
};

// Channel values that make equal colours, saturation and zero likely.
BYTE Channel(Random& random) {
    static constexpr BYTE values[] = {0, 1, 64, 127, 128, 200, 254, 255};
    return random.Below(4) == 0 ? static_cast<BYTE>(random.Next()) : values[random.Below(8)];
}

// A palette of likely colours, black at 0, a few entries black or repeated; held for the test's length.
class TestPalette {
public:
    explicit TestPalette(Random& random) {
        LogPalette256 log{};
        log.version = LogPaletteVersion;
        log.count = PaletteSize;
        for (int i = 1; i < PaletteSize; ++i) {
            PALETTEENTRY& e = log.entries[i];
            if (i > 1 && random.Below(16) == 0)
                e = log.entries[random.Below(i)];
            else
                e = {Channel(random), Channel(random), Channel(random), 0};
        }
        shared_ = GetSharedPalette(log.Log());
        BuildPaletteLookup15(shared_);
    }
    ~TestPalette() { ReleaseSharedPalette(shared_); }
    TestPalette(const TestPalette&) = delete;
    TestPalette& operator=(const TestPalette&) = delete;
    SharedPalette* Shared() const { return shared_; }
    // The palette as the model sees it now: its colours as stored and its lookup table as it stands.
    void Refresh(reference::Palette& model) const {
        for (int i = 0; i < PaletteSize; ++i) {
            const PALETTEENTRY& e = shared_->palette.entries[i];
            model.entries[static_cast<std::size_t>(i)] = {e.peRed, e.peGreen, e.peBlue};
        }
        model.lookup.assign(shared_->lookup15, shared_->lookup15 + Lookup15Size);
    }

private:
    SharedPalette* shared_ = nullptr;
};

// A memory surface over a buffer of exactly its rows, without padding: the last pixel of the last row is
// the last byte of the buffer, so that the address sanitizer sees any access past a row's end.
class TightSurface : public cBufferSurface {
public:
    TightSurface(int depth, int w, int h, bool rowsBottomUp, SharedPalette* withPalette) {
        SetDepth(depth);
        if (withPalette) SetPalette(withPalette, 0);
        width = w;
        height = h;
        clipRight = w;
        clipBottom = h;
        pitch = w * bytesPerPixel;
        buffer_.reset(new BYTE[static_cast<std::size_t>(pitch) * static_cast<std::size_t>(h)]);
        bottomUp = rowsBottomUp;
        signedPitch = rowsBottomUp ? -pitch : pitch;
        pixels = rowsBottomUp ? buffer_.get() + static_cast<std::ptrdiff_t>(h - 1) * pitch : buffer_.get();
    }
    ~TightSurface() override { pixels = nullptr; }
    int LockPixels() override { return 1; }

    DWORD Load(int x, int y) const {
        DWORD v = 0;
        std::memcpy(&v, Row(y) + static_cast<std::ptrdiff_t>(x) * bytesPerPixel,
                    static_cast<std::size_t>(bytesPerPixel));
        return v;
    }
    void Store(int x, int y, DWORD v) {
        std::memcpy(Row(y) + static_cast<std::ptrdiff_t>(x) * bytesPerPixel, &v,
                    static_cast<std::size_t>(bytesPerPixel));
    }

private:
    std::unique_ptr<BYTE[]> buffer_;
};

DWORD RandomValue(int depth, Random& random) {
    const DWORD r = Channel(random), g = Channel(random), b = Channel(random);
    switch (depth) {
    case 8:
        return random.Below(3) == 0 ? static_cast<DWORD>(random.Below(4)) : random.Next() & 0xFF;
    case 15:
        return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3) | (random.Below(8) == 0 ? 0x8000 : 0);
    case 16:
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    case 24:
        return b | (g << 8) | (r << 16);
    default:
        return b | (g << 8) | (r << 16) | (random.Next() & 0xFF000000);
    }
}

// A surface of the library and its model, filled alike.
struct TestSurface {
    TestSurface(int depth, int w, int h, bool bottomUp, Random& random, const TestPalette* palette,
                reference::Palette* modelPalette)
        : view(depth, w, h, bottomUp, palette ? palette->Shared() : nullptr) {
        model.depth = depth;
        model.width = w;
        model.height = h;
        model.palette = modelPalette;
        model.values.resize(static_cast<std::size_t>(w * h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                model.At(x, y) = RandomValue(depth, random);
                view.Store(x, y, model.At(x, y));
            }
        model.clipRight = w;
        model.clipBottom = h;
    }
    void AddAlpha(Random& random) {
        ASSERT_NE(view.AllocateAlphaPlane(), nullptr);
        model.alpha.resize(static_cast<std::size_t>(model.width * model.height));
        for (int y = 0; y < model.height; ++y)
            for (int x = 0; x < model.width; ++x) {
                const int pick = random.Below(4);
                const BYTE a = pick == 0 ? 0 : pick == 1 ? 255 : static_cast<BYTE>(random.Next());
                view.AlphaRow(y)[x] = a;
                model.alpha[static_cast<std::size_t>(y * model.width + x)] = a;
            }
    }
    // The colour key of a pixel: at 8 bits its index, elsewhere its colour as the depth stores it.
    void KeyFromPixel(int x, int y) {
        const DWORD raw = model.At(x, y);
        if (model.depth == 8) {
            view.SetColorKey(PaletteIndexForm | raw);
            model.key = raw;
            return;
        }
        const reference::Colour c = reference::Decode(model, raw);
        view.SetColorKey(RGB(c.red, c.green, c.blue));
        model.key = reference::Encode(model, c);
    }
    void SetClip(int x, int y, int w, int h) {
        view.SetClipRect(x, y, w, h);
        model.clipLeft = view.clipLeft;
        model.clipTop = view.clipTop;
        model.clipRight = view.clipRight;
        model.clipBottom = view.clipBottom;
    }
    void ExpectEqualsModel() const {
        for (int y = 0; y < model.height; ++y)
            for (int x = 0; x < model.width; ++x)
                ASSERT_EQ(view.Load(x, y), model.At(x, y)) << "pixel " << x << "," << y;
        ASSERT_EQ(view.alphaPlane != nullptr, !model.alpha.empty());
        for (int y = 0; y < model.height && view.alphaPlane; ++y)
            for (int x = 0; x < model.width; ++x)
                ASSERT_EQ(view.AlphaRow(y)[x], model.alpha[static_cast<std::size_t>(y * model.width + x)])
                    << "alpha " << x << "," << y;
    }
    TightSurface view;
    reference::Surface model;
};

// The palettes of one round: at 8 bits source and destination share one or have their own.
struct RoundPalettes {
    RoundPalettes(int depth, bool shared, Random& random) {
        if (depth != 8) return;
        destination = std::make_unique<TestPalette>(random);
        source = shared ? nullptr : std::make_unique<TestPalette>(random);
    }
    const TestPalette* Source() const { return source ? source.get() : destination.get(); }
    reference::Palette* SourceModel() { return source ? &sourceModel : &destinationModel; }
    // Called right before the blit: the model starts from the tables as they stand.
    void Refresh() {
        if (destination) destination->Refresh(destinationModel);
        if (source) source->Refresh(sourceModel);
    }
    std::unique_ptr<TestPalette> destination, source;
    reference::Palette destinationModel, sourceModel;
};

// Rectangles inside, across each edge of the destination and of the source, and wholly outside.
const reference::BlitCall rectangles[] = {
    {2, 1, 1, 1, 9, 6, 0, 0, 0, 0},   {-4, 2, 0, 0, 13, 9, 0, 0, 0, 0},
    {3, -5, 0, 0, 13, 9, 0, 0, 0, 0}, {10, 3, 0, 0, 13, 9, 0, 0, 0, 0},
    {2, 7, 0, 0, 13, 9, 0, 0, 0, 0},  {1, 1, -3, -2, 13, 9, 0, 0, 0, 0},
    {0, 0, 8, 5, 13, 9, 0, 0, 0, 0},  {-20, -20, 0, 0, 40, 40, 0, 0, 0, 0},
    {30, 2, 0, 0, 13, 9, 0, 0, 0, 0}, {1, 1, -20, 0, 10, 9, 0, 0, 0, 0},
    {0, 0, 13, 9, 5, 5, 0, 0, 0, 0},  {5, 5, 0, 0, 0, 4, 0, 0, 0, 0},
};

// Every ink code with parameters at and around its edges; code 12 with a colour of the destination.
std::vector<InkCase> InkCases(Random& random, const reference::Colour& someDestination) {
    const DWORD destinationColour = RGB(someDestination.red, someDestination.green, someDestination.blue);
    std::vector<InkCase> cases = {{0, 0},
                                  {0x1000, 0},
                                  {0x1000, 0xFF000000},
                                  {0x1000, 0x64000000},
                                  {1, 0},
                                  {1, 128},
                                  {1, 37},
                                  {1, 200},
                                  {7, 0},
                                  {13, 0},
                                  {13, 0x00FFFFFF},
                                  {13, 0x64000000},
                                  {13, 0xFF123456},
                                  {14, 0},
                                  {6, 0x40000000 | (random.Next() & 0xFFFFFF)},
                                  {12, 0x30000000 | destinationColour},
                                  {12, 0xFF000000 | destinationColour}};
    for (int code = 2; code <= 12; ++code)
        cases.push_back({code, random.Next()});
    return cases;
}

void Configure(reference::BlitCall& call, Kind kind, const InkCase& ink) {
    call.mode = kind == Kind::Plain || kind == Kind::AlphaCopy ? 0 : 1;
    call.ink = ink.ink;
    call.parameter = ink.parameter;
    call.flags = kind == Kind::AlphaCopy ? 2 : 0;
}

// The call drawn by the library and by the model, from the palettes' tables as they stand.
void BlitAndCompare(TestSurface& source, TestSurface& destination, reference::BlitCall call, Kind kind,
                    const InkCase& ink, RoundPalettes& palettes) {
    Configure(call, kind, ink);
    palettes.Refresh();
    const int expected = reference::Blit(source.model, destination.model, call);
    // Ink 13 takes an effect object whose RGBA coefficient is the case's parameter.
    CEffectEx effect;
    effect.SetRgbaCoefficient(call.parameter);
    const LPARAM parameter = (call.ink & 0xFFF) == 13 && call.parameter != 0
                                 ? reinterpret_cast<LPARAM>(&effect)
                                 : static_cast<LPARAM>(call.parameter);
    ASSERT_EQ(source.view.Blit(&destination.view, call.x, call.y, call.sourceX, call.sourceY, call.width,
                               call.height, call.mode, call.ink, parameter, call.flags),
              expected);
    destination.ExpectEqualsModel();
}

using DepthAndKind = std::tuple<int, Kind>;

std::string DepthAndKindName(const ::testing::TestParamInfo<DepthAndKind>& info) {
    static const char* const kinds[] = {"Plain", "Keyed", "Alpha", "AlphaCopy"};
    return "Depth" + std::to_string(std::get<0>(info.param)) + "_" +
           kinds[static_cast<int>(std::get<1>(info.param))];
}

class BlitAgainstReference : public ::testing::TestWithParam<DepthAndKind> {};

TEST_P(BlitAgainstReference, MatchesModelForEveryInkAndRectangle) {
    const auto [depth, kind] = GetParam();
    Random random(0x5EED + static_cast<std::uint32_t>(kind) * 7 + static_cast<std::uint32_t>(depth));
    int round = 0;
    for (const auto& rectangle : rectangles)
        for (int clipped = 0; clipped < 2; ++clipped) {
            RoundPalettes palettes(depth, round % 3 != 2, random);
            TestSurface probe(depth, 17, 11, false, random, palettes.destination.get(),
                              &palettes.destinationModel);
            palettes.Refresh();
            const reference::Colour probeColour = reference::Decode(probe.model, probe.model.At(3, 3));
            for (const InkCase& ink : InkCases(random, probeColour)) {
                SCOPED_TRACE("round " + std::to_string(round) + " ink " + std::to_string(ink.ink) +
                             " parameter " + std::to_string(ink.parameter) + " rect " +
                             std::to_string(rectangle.x) + "," + std::to_string(rectangle.y) + " clipped " +
                             std::to_string(clipped));
                TestSurface source(depth, 13, 9, round & 1, random, palettes.Source(),
                                   palettes.SourceModel());
                TestSurface destination(depth, 17, 11, round & 2, random, palettes.destination.get(),
                                        &palettes.destinationModel);
                source.KeyFromPixel(random.Below(13), random.Below(9));
                destination.KeyFromPixel(0, 0);
                if (kind == Kind::Alpha || kind == Kind::AlphaCopy) source.AddAlpha(random);
                if (clipped) destination.SetClip(3, 2, 9, 7);
                BlitAndCompare(source, destination, rectangle, kind, ink, palettes);
                if (HasFatalFailure()) return;
            }
            ++round;
        }
}

TEST_P(BlitAgainstReference, DrawsEveryWidthUpToTheLastByteOfItsRows) {
    const auto [depth, kind] = GetParam();
    Random random(0xA11 + static_cast<std::uint32_t>(kind) * 5 + static_cast<std::uint32_t>(depth));
    for (int width = 0; width <= 17; ++width) {
        RoundPalettes palettes(depth, width % 2 == 0, random);
        for (const InkCase& ink : InkCases(random, {64, 128, 200})) {
            SCOPED_TRACE("width " + std::to_string(width) + " ink " + std::to_string(ink.ink));
            TestSurface source(depth, width, 3, width & 1, random, palettes.Source(), palettes.SourceModel());
            TestSurface destination(depth, width, 3, width & 2, random, palettes.destination.get(),
                                    &palettes.destinationModel);
            if (width > 0) source.KeyFromPixel(width - 1, 2);
            if (width > 0 && (kind == Kind::Alpha || kind == Kind::AlphaCopy)) source.AddAlpha(random);
            BlitAndCompare(source, destination, {0, 0, 0, 0, width, 3, 0, 0, 0, 0}, kind, ink, palettes);
            if (HasFatalFailure()) return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, BlitAgainstReference,
                         ::testing::Combine(::testing::ValuesIn(Depths),
                                            ::testing::Values(Kind::Plain, Kind::Keyed, Kind::Alpha,
                                                              Kind::AlphaCopy)),
                         DepthAndKindName);

// A callback that uses both colours and its argument, so that a swapped or dropped one shows.
COLORREF MixColours(COLORREF destination, COLORREF source, LPARAM argument) {
    auto channel = [&](int shift) {
        const DWORD d = (destination >> shift) & 0xFF, s = (source >> shift) & 0xFF;
        return ((d / 2 + s / 3 + static_cast<DWORD>(argument)) & 0xFF) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

std::uint32_t ModelMix(std::uint32_t destination, std::uint32_t source, std::intptr_t argument) {
    return MixColours(destination, source, argument);
}

class DepthTest : public ::testing::TestWithParam<int> {};

std::string DepthName(const ::testing::TestParamInfo<int>& info) {
    return "Depth" + std::to_string(info.param);
}

TEST_P(DepthTest, CallbackBlitsMatchTheModel) {
    const int depth = GetParam();
    Random random(0xCA11 + static_cast<std::uint32_t>(depth));
    for (int width = 0; width <= 17; ++width)
        for (int mode = 0; mode < 2; ++mode) {
            SCOPED_TRACE("width " + std::to_string(width) + " mode " + std::to_string(mode));
            RoundPalettes palettes(depth, width % 3 != 0, random);
            TestSurface source(depth, width, 2, mode == 1, random, palettes.Source(), palettes.SourceModel());
            TestSurface destination(depth, width, 2, false, random, palettes.destination.get(),
                                    &palettes.destinationModel);
            if (width > 0) source.KeyFromPixel(0, 1);
            palettes.Refresh();
            reference::CallbackBlit(source.model, destination.model, 0, 0, 0, 0, width, 2, mode == 1,
                                    &ModelMix, width);
            const int result =
                source.view.BlitSameDepth(&destination.view, 0, 0, 0, 0, width, 2, mode, &MixColours, width);
            ASSERT_EQ(result, width > 0 ? 1 : 0);
            destination.ExpectEqualsModel();
            if (HasFatalFailure()) return;
        }
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, DepthTest, ::testing::ValuesIn(Depths), DepthName);

using DepthPair = std::tuple<int, int>;

std::string DepthPairName(const ::testing::TestParamInfo<DepthPair>& info) {
    return "From" + std::to_string(std::get<0>(info.param)) + "To" + std::to_string(std::get<1>(info.param));
}

class ConvertAgainstReference : public ::testing::TestWithParam<DepthPair> {};

TEST_P(ConvertAgainstReference, ConvertsEveryPixelOfEveryWidth) {
    const auto [from, to] = GetParam();
    Random random(0xC0 + static_cast<std::uint32_t>(from * 37 + to));
    for (int width = 0; width <= 17; ++width) {
        SCOPED_TRACE("width " + std::to_string(width));
        std::unique_ptr<TestPalette> sourcePalette, destinationPalette;
        reference::Palette sourceModel, destinationModel;
        if (from == 8) sourcePalette = std::make_unique<TestPalette>(random);
        if (to == 8) destinationPalette = std::make_unique<TestPalette>(random);
        TestSurface source(from, width, 3, width & 1, random, sourcePalette.get(), &sourceModel);
        TestSurface destination(to, width, 3, width & 2, random, destinationPalette.get(), &destinationModel);
        if (sourcePalette) sourcePalette->Refresh(sourceModel);
        if (destinationPalette) destinationPalette->Refresh(destinationModel);
        reference::Convert(source.model, destination.model, 0, 0, 0, 0, width, 3);
        ASSERT_EQ(source.view.Blit(&destination.view, 0, 0, 0, 0, width, 3, 0, 0, 0, 0), width > 0 ? 1 : 0);
        destination.ExpectEqualsModel();
        if (HasFatalFailure()) return;
    }
}

// Same depths never convert.
std::vector<DepthPair> DifferentDepths() {
    std::vector<DepthPair> pairs;
    for (int from : Depths)
        for (int to : Depths)
            if (from != to) pairs.emplace_back(from, to);
    return pairs;
}

INSTANTIATE_TEST_SUITE_P(EveryPair, ConvertAgainstReference, ::testing::ValuesIn(DifferentDepths()),
                         DepthPairName);

} // namespace
