// The ink table: copy, semi-transparent, invert, add, grey, subtract and effect objects.
#include "ink_mapping.h"

#include "vtrs2/effect.h"

using namespace win32;

namespace {

constexpr D3DCOLOR White = 0xFFFFFFFFu;
constexpr D3DCOLOR AlmostOpaque = 0xFE000000u;

// The colour of code 0: the parameter when it is a colour, else white.
D3DCOLOR ColourOf(int ink, LPARAM parameter) {
    return (ink & InkColourParameter) ? static_cast<D3DCOLOR>(parameter) : White;
}

// Add and subtract draw with the colour premultiplied: an opaque colour keeps its channels (and takes
// alpha 0xFE for subtract); any other alpha A scales each channel by (A + 1) / 256 and takes 0xFE.
D3DCOLOR Premultiplied(D3DCOLOR c, bool subtract) {
    const DWORD a = c >> 24;
    if (a == 0xFF) return subtract ? ((c & 0xFFFFFFu) | AlmostOpaque) : c;
    const auto scale = [&](int shift) { return (((c >> shift) & 0xFFu) * (a + 1) / 256) << shift; };
    return AlmostOpaque | scale(16) | scale(8) | scale(0);
}

} // namespace

InkDrawing MapInk(int ink, LPARAM parameter) {
    InkDrawing d{D3DBLEND_SRCALPHA,        D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD,
                 ColourOf(ink, parameter), InkEffectKind::None,  nullptr};
    switch (ink & InkCodeMask) {
    case InkBlend: {
        if (parameter == InkBlendInvisible) {
            d.colour = 0;
            break;
        }
        // Parameter 0 is a plain copy, as the library draws it.
        if (parameter == 0) break;
        const DWORD alpha = (~static_cast<DWORD>(parameter) & 0x7F) * 2;
        d.colour = (alpha << 24) | 0xFFFFFFu;
        break;
    }
    case InkInvert:
        d.effect = InkEffectKind::Invert;
        break;
    case InkGrey:
        d.effect = InkEffectKind::Grey;
        break;
    case InkAdd:
        d.destinationBlend = D3DBLEND_ONE;
        d.colour = Premultiplied(d.colour, false);
        break;
    case InkSubtract:
        // The destination less the source, as the library's subtract draws it.
        d.destinationBlend = D3DBLEND_ONE;
        d.blendOp = D3DBLENDOP_REVSUBTRACT;
        d.colour = Premultiplied(d.colour, true);
        break;
    case InkEffect:
        d.colour = White;
        if (!parameter) break;
        // Its RGBA coefficient is the colour; where its effect cannot be compiled it is all that is drawn.
        d.object = reinterpret_cast<CEffectEx*>(parameter);
        d.colour = d.object->GetRgbaCoefficient();
        d.effect = InkEffectKind::Object;
        break;
    default:
        break;
    }
    return d;
}

bool IsInvisibleInk(int ink, LPARAM parameter) {
    const int code = ink & InkCodeMask;
    if (code == InkBlend && parameter == InkBlendInvisible) return true;
    if (code == InkEffect)
        return parameter && (reinterpret_cast<CEffectEx*>(parameter)->GetRgbaCoefficient() >> 24) == 0;
    return (ink & InkColourParameter) && (static_cast<DWORD>(parameter) >> 24) == 0;
}
