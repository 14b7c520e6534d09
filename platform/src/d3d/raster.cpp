#include "raster.h"

#include <algorithm>
#include <cstdint>

namespace win32::d3d {

D3DRASTER_STATUS RasterAt(DWORD milliseconds, UINT refreshHz, UINT visibleLines) {
    constexpr std::uint64_t MicrosPerSecond = 1000000;
    const std::uint64_t period = MicrosPerSecond / std::max<UINT>(1, refreshHz);
    const std::uint64_t lines = std::max<UINT>(1, visibleLines);
    const std::uint64_t total = lines + std::max<std::uint64_t>(1, lines / 24);
    const std::uint64_t into = static_cast<std::uint64_t>(milliseconds) * 1000 % period;
    const std::uint64_t line = into * total / period;
    if (line >= lines) return D3DRASTER_STATUS{TRUE, 0};
    return D3DRASTER_STATUS{FALSE, static_cast<UINT>(line)};
}

} // namespace win32::d3d
