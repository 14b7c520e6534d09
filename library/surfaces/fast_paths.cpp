// The choice between the generic pixel routines and the fast paths, per depth.
#include "fast_paths.h"

#include "vtrs2/pixel_kernels_testing.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace surfaces {
namespace {

constexpr int DepthCount = 5;

// Depths without vector kernels of their own still copy whole rectangles at memcpy speed.
void AddFastCopy(PixelRoutineTable& table) {
    table.CopyOpaque = &FastCopyOpaque;
}

// Per depth index (8, 15, 16, 24, 32 bits): the routine that puts its fast paths into the table, and its
// scale kernels. A depth adds its own here.
constexpr std::array<FastPathInstaller, DepthCount> installers = {&AddFastCopy, &AddFastCopy, &AddFastCopy,
                                                                  &AddFastCopy, &AddFastPaths32};
using ScaleKernelSource = const ScaleKernels* (*)();
constexpr std::array<ScaleKernelSource, DepthCount> scaleKernels = {nullptr, nullptr, nullptr, nullptr,
                                                                    &ScaleKernels32};

// VTR_NO_FAST_PATHS set to anything but "" or "0" keeps every surface on the generic routines.
bool EnvironmentAllowsFastPaths() {
    const char* value = std::getenv("VTR_NO_FAST_PATHS");
    return !value || !*value || std::strcmp(value, "0") == 0;
}

std::atomic<bool>& Enabled() {
    static std::atomic<bool> enabled{EnvironmentAllowsFastPaths()};
    return enabled;
}

struct FastTables {
    std::array<PixelRoutineTable, DepthCount> tables{};
    std::array<bool, DepthCount> present{};
};

const FastTables& Tables() {
    static const FastTables built = [] {
        FastTables t;
        for (int i = 0; i < DepthCount; ++i) {
            if (!installers[static_cast<std::size_t>(i)]) continue;
            t.tables[static_cast<std::size_t>(i)] = *GenericPixelRoutineTable(i);
            installers[static_cast<std::size_t>(i)](t.tables[static_cast<std::size_t>(i)]);
            t.present[static_cast<std::size_t>(i)] = true;
        }
        return t;
    }();
    return built;
}

// The lowest and one past the highest byte of a rectangle, whichever way its rows run.
struct ByteSpan {
    std::uintptr_t low, high;
};
ByteSpan SpanOf(const cSurfaceImplementation& s, int x, int y, int width, int height) {
    const auto first = reinterpret_cast<std::uintptr_t>(s.Row(y));
    const auto last =
        first + static_cast<std::uintptr_t>(static_cast<std::intptr_t>(height - 1) * s.signedPitch);
    const auto bytes = static_cast<std::uintptr_t>(s.bytesPerPixel);
    return {std::min(first, last) + static_cast<std::uintptr_t>(x) * bytes,
            std::max(first, last) + static_cast<std::uintptr_t>(x + width) * bytes};
}

} // namespace

bool RectanglesOverlap(const cSurfaceImplementation& destination, int dx, int dy, int dw, int dh,
                       const cSurfaceImplementation& source, int sx, int sy, int sw, int sh) {
    const ByteSpan to = SpanOf(destination, dx, dy, dw, dh);
    const ByteSpan from = SpanOf(source, sx, sy, sw, sh);
    return to.low < from.high && from.low < to.high;
}

bool RectanglesOverlap(const cSurfaceImplementation& destination, int dx, int dy,
                       const cSurfaceImplementation& source, int sx, int sy, int width, int height) {
    return RectanglesOverlap(destination, dx, dy, width, height, source, sx, sy, width, height);
}

void FastCopyOpaque(cSurfaceImplementation& destination, int dx, int dy, const cSurfaceImplementation& source,
                    int sx, int sy, int width, int height) {
    if (width <= 0 || height <= 0) return;
    if (RectanglesOverlap(destination, dx, dy, source, sx, sy, width, height))
        return GenericPixelRoutineTable(source.depthIndex)
            ->CopyOpaque(destination, dx, dy, source, sx, sy, width, height);
    const auto rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(source.bytesPerPixel);
    const std::ptrdiff_t step = destination.signedPitch;
    const bool backToBack =
        step == source.signedPitch && static_cast<std::size_t>(std::abs(step)) == rowBytes;
    if (backToBack) {
        // One block from the row that lies lowest in memory.
        const int lowest = step > 0 ? 0 : height - 1;
        std::memcpy(destination.Row(dy + lowest) +
                        static_cast<std::ptrdiff_t>(dx) * destination.bytesPerPixel,
                    source.Row(sy + lowest) + static_cast<std::ptrdiff_t>(sx) * source.bytesPerPixel,
                    rowBytes * static_cast<std::size_t>(height));
        return;
    }
    for (int j = 0; j < height; ++j)
        std::memcpy(destination.Row(dy + j) + static_cast<std::ptrdiff_t>(dx) * destination.bytesPerPixel,
                    source.Row(sy + j) + static_cast<std::ptrdiff_t>(sx) * source.bytesPerPixel, rowBytes);
}

bool FastPathsEnabled() {
    return Enabled().load(std::memory_order_relaxed);
}

const ScaleKernels* GetScaleKernels(int depthIndex) {
    if (depthIndex < 0 || depthIndex >= DepthCount || !FastPathsEnabled()) return nullptr;
    const ScaleKernelSource source = scaleKernels[static_cast<std::size_t>(depthIndex)];
    return source ? source() : nullptr;
}

} // namespace surfaces

const PixelRoutineTable* GetPixelRoutineTable(int depthIndex) {
    using namespace surfaces;
    if (depthIndex < 0 || depthIndex >= DepthCount) return nullptr;
    const auto i = static_cast<std::size_t>(depthIndex);
    if (FastPathsEnabled() && Tables().present[i]) return &Tables().tables[i];
    return GenericPixelRoutineTable(depthIndex);
}

bool SetFastPixelPathsForTest(bool enabled) {
    return surfaces::Enabled().exchange(enabled);
}
