// What the screen keeps for its device's users: the callbacks run before a reset and the fonts drawn on
// the device.
#include "screen_surface.h"

#include "win32/font.h"
#include "win32/user.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

using namespace win32;

namespace {

// The bytes of a LOGFONTA before its face name: they must be equal for a cached font to serve.
constexpr std::size_t FontKeyBytes = 28;
constexpr BYTE DefaultQuality = 0;
constexpr BYTE ClearTypeQuality = 5;
constexpr UINT SpiGetFontSmoothing = 0x004A;

bool SameFont(const LOGFONTA& a, const LOGFONTA& b) {
    if (std::memcmp(&a, &b, FontKeyBytes) != 0) return false;
    char faceA[LF_FACESIZE + 1]{}, faceB[LF_FACESIZE + 1]{};
    std::memcpy(faceA, a.lfFaceName, LF_FACESIZE);
    std::memcpy(faceB, b.lfFaceName, LF_FACESIZE);
    return strcasecmp(faceA, faceB) == 0;
}

} // namespace

void cD3DScreenSurface::AddLostDeviceCallback(LostDeviceCallback callback, cSurface* owner, LPARAM argument) {
    if (callback) {
        callbacks_.push_back({callback, owner, argument});
        return;
    }
    // Re-keying: what the surface given as the argument registered now belongs to the owner.
    auto* previous = reinterpret_cast<cSurface*>(argument);
    for (LostDeviceEntry& entry : callbacks_)
        if (entry.owner == previous) entry.owner = owner;
}

void cD3DScreenSurface::RemoveLostDeviceCallback(LostDeviceCallback callback, cSurface* owner,
                                                 LPARAM argument) {
    for (auto i = callbacks_.size(); i-- > 0;) {
        const LostDeviceEntry& entry = callbacks_[i];
        if (entry.owner != owner) continue;
        if (!callback || (entry.function == callback && entry.argument == argument))
            callbacks_.erase(callbacks_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

ID3DXFont* cD3DScreenSurface::FontFor(HFONT font) {
    if (!device_) return nullptr;
    LOGFONTA wanted{};
    if (GetFontObjectA(font, sizeof wanted, &wanted) != static_cast<int>(sizeof wanted)) return nullptr;
    for (const FontCacheEntry& entry : fonts_)
        if (SameFont(entry.font, wanted)) return entry.d3dFont;
    LOGFONTA made = wanted;
    BOOL smoothing = FALSE;
    if (made.lfQuality == DefaultQuality && SystemParametersInfoW(SpiGetFontSmoothing, 0, &smoothing, 0) &&
        smoothing)
        made.lfQuality = ClearTypeQuality;
    ID3DXFont* d3dFont = nullptr;
    if (FAILED(D3DXCreateFontIndirect(device_, &made, &d3dFont)) || !d3dFont) return nullptr;
    fonts_.push_back({wanted, d3dFont});
    return d3dFont;
}
