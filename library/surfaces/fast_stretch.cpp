// The smoothed stretch through a depth's row kernels: the same separable filter and 16.16 weights as the
// generic loops, the weights laid out once per pass for vector loads, and for an opaque stretch the
// picture drawn straight into the visible part of the destination, each needed source row filtered across
// once into a small ring.
#include "engine_common.h"
#include "fast_paths.h"
#include "resample_weights.h"

#include <algorithm>
#include <cstdint>
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
          pixels_(static_cast<std::size_t>(capacity) * width_ * WorkingBytes) {}
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
    std::size_t width_;
    std::vector<int> tags_;
    std::vector<BYTE> pixels_;
};

} // namespace

bool FastResamplePass(const cSurfaceImplementation& source, int sx, int sy, int sw, int sh,
                      cSurfaceImplementation& destination, int dw, int dh, bool horizontal) {
    const ScaleKernels* kernels = KernelsFor(source, destination);
    if (!kernels || RectanglesOverlap(destination, 0, 0, horizontal ? dw : sw, horizontal ? sh : dh, source,
                                      sx, sy, sw, sh))
        return false;
    if (horizontal) {
        const Taps columns(BuildResampleWeights(dw, sw));
        for (int y = 0; y < sh; ++y)
            kernels->HorizontalRow(At(source, sx, sy + y), At(destination, 0, y), columns.View(), 0, dw);
        return true;
    }
    const ResampleWeights table = BuildResampleWeights(dh, sh);
    std::vector<const BYTE*> rows(static_cast<std::size_t>(table.capacity));
    std::vector<std::uint32_t> weights(rows.size());
    for (int j = 0; j < dh; ++j) {
        const int taps = GatherRows(
            table, j, [&](int i) { return At(source, sx, sy + i); }, rows, weights);
        kernels->VerticalRow(rows.data(), weights.data(), taps, At(destination, 0, j), sw);
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
    const Taps columns(across ? BuildResampleWeights(w, sw) : ResampleWeights{});
    auto filterAcross = [&](int row, BYTE* out) {
        kernels->HorizontalRow(At(source, sx, sy + row), out, columns.View(), firstColumn, width);
    };
    if (!down) {
        for (int j = top - y; j < bottom - y; ++j)
            filterAcross(j, At(destination, left, y + j));
        return true;
    }
    const ResampleWeights table = BuildResampleWeights(h, sh);
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
        kernels->VerticalRow(rows.data(), weights.data(), taps, At(destination, left, y + j), width);
    }
    return true;
}

} // namespace surfaces
