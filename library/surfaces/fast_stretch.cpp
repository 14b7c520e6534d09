// The smoothed stretch through a depth's row kernels: the same separable filter and 16.16 weights as the
// generic loops, the weights laid out once per pass for vector loads, and for an opaque stretch the
// picture drawn straight into the visible part of the destination, each needed source row filtered across
// once into a small ring.
#include "engine_common.h"
#include "fast_paths.h"
#include "pixel_formats.h"
#include "resampling.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace win32;
using engine::BuildResampleWeights;
using engine::PixelLock;
using engine::ResampleWeights;
using engine::Temporary;

namespace surfaces {
namespace {

constexpr int WorkingBytes = 4;
// Pixels of filtered rows the direct stretch keeps at most (16 MB).
constexpr std::size_t LargestRing = std::size_t{1} << 22;

// The taps of a weight table in the layout of TapTable.
struct Taps {
    std::vector<std::int32_t> index;
    std::vector<std::uint32_t> weight;
    int taps = 0;
    std::ptrdiff_t stride = 0;

    Taps() = default;
    explicit Taps(const ResampleWeights& table) {
        const auto outputs = table.first.size();
        for (const int n : table.count)
            taps = std::max(taps, n);
        stride = static_cast<std::ptrdiff_t>(outputs);
        index.resize(outputs * static_cast<std::size_t>(taps));
        weight.resize(index.size());
        for (std::size_t j = 0; j < outputs; ++j) {
            const int* values = table.Values(static_cast<int>(j));
            for (int t = 0; t < taps; ++t) {
                const std::size_t at = static_cast<std::size_t>(t) * outputs + j;
                const bool own = t < table.count[j];
                index[at] = table.first[j] + (own ? t : table.count[j] - 1);
                weight[at] = own ? static_cast<std::uint32_t>(values[t]) : 0;
            }
        }
    }
    TapTable View() const { return {index.data(), weight.data(), taps, stride}; }
};

// The weights of one pass for one pair of sizes, and their taps.
struct PassWeights {
    int destination = -1, source = -1;
    ResampleWeights table;
    Taps taps;
};

// Sprites are stretched to the same size frame after frame: the weights of the last sizes are kept per
// thread (one pair across, one down) and built again only when the sizes change.
enum PassSlot { AcrossPass, DownPass };
const PassWeights& WeightsFor(PassSlot slot, int d, int s) {
    thread_local std::array<PassWeights, 2> kept;
    PassWeights& entry = kept[slot];
    if (entry.destination != d || entry.source != s) {
        entry.table = BuildResampleWeights(d, s);
        entry.taps = Taps(entry.table);
        entry.destination = d;
        entry.source = s;
    }
    return entry;
}

// The kernels read and write whole 32-bit words.
bool Aligned(const cSurfaceImplementation& s) {
    return (reinterpret_cast<std::uintptr_t>(s.pixels) % alignof(std::uint32_t)) == 0;
}

const ScaleKernels* KernelsFor(const cSurfaceImplementation& source,
                               const cSurfaceImplementation& destination) {
    if (source.depthIndex != destination.depthIndex || source.bytesPerPixel != WorkingBytes) return nullptr;
    if (!Aligned(source) || !Aligned(destination)) return nullptr;
    return GetScaleKernels(source.depthIndex);
}

const BYTE* At(const cSurfaceImplementation& s, int x, int y) {
    return s.Row(y) + static_cast<std::ptrdiff_t>(x) * WorkingBytes;
}
BYTE* At(cSurfaceImplementation& s, int x, int y) {
    return s.Row(y) + static_cast<std::ptrdiff_t>(x) * WorkingBytes;
}

// The rows and weights of output row j of a vertical pass, rows taken from `row(source index)`.
template <typename RowOf>
int GatherRows(const ResampleWeights& table, int j, RowOf&& row, std::vector<const BYTE*>& rows,
               std::vector<std::uint32_t>& weights) {
    const int count = table.count[static_cast<std::size_t>(j)];
    const int first = table.first[static_cast<std::size_t>(j)];
    const int* values = table.Values(j);
    for (int t = 0; t < count; ++t) {
        rows[static_cast<std::size_t>(t)] = row(first + t);
        weights[static_cast<std::size_t>(t)] = static_cast<std::uint32_t>(values[t]);
    }
    return count;
}

// Source rows filtered across, kept while the output rows still need them. Consecutive source rows never
// share a slot, and an output row needs at most `capacity` consecutive ones.
class FilteredRows {
public:
    FilteredRows(int capacity, int width)
        : width_(static_cast<std::size_t>(width)), tags_(static_cast<std::size_t>(capacity), -1),
          pixels_(Storage(static_cast<std::size_t>(capacity) * width_ * WorkingBytes)) {}
    template <typename Filter> const BYTE* Get(int row, Filter&& filter) {
        const auto slot = static_cast<std::size_t>(row) % tags_.size();
        BYTE* pixels = pixels_.data() + slot * width_ * WorkingBytes;
        if (tags_[slot] != row) {
            filter(row, pixels);
            tags_[slot] = row;
        }
        return pixels;
    }

private:
    // One block per thread, grown as needed and kept for the next stretch.
    static std::vector<BYTE>& Storage(std::size_t bytes) {
        thread_local std::vector<BYTE> block;
        if (block.size() < bytes) block.resize(bytes);
        return block;
    }
    std::size_t width_;
    std::vector<int> tags_;
    std::vector<BYTE>& pixels_;
};

// Which source pixels a transparency-aware pass leaves out: those of alpha 0 when the source has an alpha
// plane, else those of the transparent colour.
struct Transparency {
    const cSurfaceImplementation& source;
    int sx, sw;
    std::uint32_t key;
    Transparency(const cSurfaceImplementation& s, int x, int width, bool aware, COLORREF transparent)
        : source(s), sx(x), sw(width), key(aware ? SwapRedBlue(transparent) & 0xFFFFFF : 0) {}
    template <typename Visit> void Row(int y, Visit&& visit) const {
        if (source.alphaPlane) {
            const BYTE* alpha = source.AlphaRow(y) + sx;
            for (int i = 0; i < sw; ++i)
                visit(i, alpha[i] == 0);
            return;
        }
        const BYTE* pixels = At(source, sx, y);
        for (int i = 0; i < sw; ++i) {
            std::uint32_t v;
            std::memcpy(&v, pixels + 4 * i, 4);
            visit(i, ((v ^ key) & 0xFFFFFF) == 0);
        }
    }
};

} // namespace

bool FastResamplePass(const cSurfaceImplementation& source, int sx, int sy, int sw, int sh,
                      cSurfaceImplementation& destination, int dw, int dh, bool horizontal, bool aware,
                      COLORREF transparent) {
    const ScaleKernels* kernels = KernelsFor(source, destination);
    if (!kernels || RectanglesOverlap(destination, 0, 0, horizontal ? dw : sw, horizontal ? sh : dh, source,
                                      sx, sy, sw, sh))
        return false;
    const Transparency clear(source, sx, sw, aware, transparent);
    if (horizontal) {
        const Taps& columns = WeightsFor(AcrossPass, dw, sw).taps;
        std::vector<std::uint32_t> words(aware ? static_cast<std::size_t>(sw) : 0);
        for (int y = 0; y < sh; ++y) {
            if (aware) clear.Row(sy + y, [&](int i, bool c) { words[static_cast<std::size_t>(i)] = c; });
            kernels->HorizontalRow(At(source, sx, sy + y), aware ? words.data() : nullptr,
                                   At(destination, 0, y), columns.View(), 0, dw, clear.key);
        }
        return true;
    }
    // Every source row's transparency once, as the rows are taken by several outputs.
    std::vector<BYTE> bytes(aware ? static_cast<std::size_t>(sw) * static_cast<std::size_t>(sh) : 0);
    for (int y = 0; aware && y < sh; ++y)
        clear.Row(sy + y, [&](int i, bool c) { bytes[static_cast<std::size_t>(y) * sw + i] = c; });
    const ResampleWeights& table = WeightsFor(DownPass, dh, sh).table;
    std::vector<const BYTE*> rows(static_cast<std::size_t>(table.capacity)), transparency(rows.size());
    std::vector<std::uint32_t> weights(rows.size());
    for (int j = 0; j < dh; ++j) {
        const int taps = GatherRows(
            table, j, [&](int i) { return At(source, sx, sy + i); }, rows, weights);
        for (int t = 0; aware && t < taps; ++t)
            transparency[static_cast<std::size_t>(t)] =
                bytes.data() + static_cast<std::size_t>(table.first[static_cast<std::size_t>(j)] + t) * sw;
        kernels->VerticalRow(rows.data(), aware ? transparency.data() : nullptr, weights.data(), taps,
                             At(destination, 0, j), sw, clear.key);
    }
    return true;
}

bool FastSmoothStretch(cSurfaceImplementation& source, int sx, int sy, int sw, int sh,
                       cSurfaceImplementation& destination, int x, int y, int w, int h, int left, int top,
                       int right, int bottom) {
    const ScaleKernels* kernels = KernelsFor(source, destination);
    if (!kernels || source.alphaPlane || source.IsPacked() || destination.CanBlitFrom()) return false;
    if (RectanglesOverlap(destination, left, top, right - left, bottom - top, source, sx, sy, sw, sh))
        return false;
    // The generic stretch draws through a surface of the source's kind; a source that cannot make one
    // fails there, and so it does here.
    if (!Temporary(source.CreateSameKind(1, 1))) return false;
    PixelLock sourceLock(source);
    PixelLock destinationLock(destination);
    if (!sourceLock || !destinationLock) return false;

    const int width = right - left, firstColumn = left - x;
    const bool across = w != sw, down = h != sh;
    const Taps none;
    const Taps& columns = across ? WeightsFor(AcrossPass, w, sw).taps : none;
    auto filterAcross = [&](int row, BYTE* out) {
        kernels->HorizontalRow(At(source, sx, sy + row), nullptr, out, columns.View(), firstColumn, width, 0);
    };
    if (!down) {
        for (int j = top - y; j < bottom - y; ++j)
            filterAcross(j, At(destination, left, y + j));
        return true;
    }
    const ResampleWeights& table = WeightsFor(DownPass, h, sh).table;
    // A steep reduction needs many filtered rows at once; beyond this the generic passes take it.
    if (across && static_cast<std::size_t>(table.capacity) * static_cast<std::size_t>(width) > LargestRing)
        return false;
    std::vector<const BYTE*> rows(static_cast<std::size_t>(table.capacity));
    std::vector<std::uint32_t> weights(rows.size());
    FilteredRows filtered(across ? table.capacity : 0, width);
    auto rowOf = [&](int i) -> const BYTE* {
        if (!across) return At(source, sx + firstColumn, sy + i);
        return filtered.Get(i, filterAcross);
    };
    for (int j = top - y; j < bottom - y; ++j) {
        const int taps = GatherRows(table, j, rowOf, rows, weights);
        kernels->VerticalRow(rows.data(), nullptr, weights.data(), taps, At(destination, left, y + j), width,
                             0);
    }
    return true;
}

} // namespace surfaces
