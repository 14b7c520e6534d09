// Text on surfaces: drawn straight through the surface's device context, or, with an ink effect or blit
// flags, into a keyed temporary that is then blitted with the ink.
#include "engine_common.h"
#include "win32/font.h"
#include "win32/gdi.h"
#include "win32/kernel.h"

#include <string>

using namespace win32;
using namespace engine;

namespace {

// Keys of the temporary: the text colour inverted, never black (black means "no key").
constexpr COLORREF BlackKeySubstitute = RGB(8, 0, 0);

COLORREF KeyFor(COLORREF color) {
    const COLORREF key = (color ^ 0xFFFFFF) & 0xFFFFFF;
    return key == 0 ? BlackKeySubstitute : key;
}

// Runs a drawing call on the surface's DC with the font, transparent background and text colour set, and
// puts everything back afterwards. No DC: 0.
template <typename Draw>
int WithDeviceContext(cSurfaceImplementation& s, HFONT font, COLORREF color, Draw&& draw) {
    HDC dc = s.GetDeviceContext();
    if (!dc) return 0;
    HFONT previousFont = font ? SelectFont(dc, font) : nullptr;
    const int previousMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF previousColor = SetTextColor(dc, color);
    const int result = draw(dc);
    SetTextColor(dc, previousColor);
    SetBkMode(dc, previousMode);
    if (previousFont) SelectFont(dc, previousFont);
    s.ReleaseDeviceContext(dc);
    return result;
}

int TextOutDirect(cSurfaceImplementation& s, std::u16string_view text, int x, int y, UINT align,
                  const RECT* clip, COLORREF color, HFONT font) {
    return WithDeviceContext(s, font, color, [&](HDC dc) {
        const UINT previousAlign = SetTextAlign(dc, align);
        const BOOL drawn =
            ExtTextOutW(dc, x, y, ETO_CLIPPED, clip, text.data(), static_cast<UINT>(text.size()), nullptr);
        SetTextAlign(dc, previousAlign);
        return drawn;
    });
}

int DrawTextDirect(cSurfaceImplementation& s, std::u16string_view text, RECT* rect, UINT format,
                   COLORREF color, HFONT font, int leftMargin, int rightMargin, int tabLength) {
    return WithDeviceContext(s, font, color, [&](HDC dc) {
        DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), tabLength, leftMargin, rightMargin, 0};
        return DrawTextExW(dc, text.data(), static_cast<int>(text.size()), rect, format, &params);
    });
}

// The origin the surface applies itself (slot 18): x in the low 16 bits, y in the high 16 bits.
POINT OriginOf(cSurfaceImplementation& s) {
    const auto packed = static_cast<DWORD>(s.GetOrigin());
    return POINT{static_cast<SHORT>(packed & 0xFFFF), static_cast<SHORT>(packed >> 16)};
}

// Blits a keyed temporary holding drawn text onto the surface at a rectangle's corner with the ink.
void BlitText(cSurfaceImplementation& t, cSurfaceImplementation& s, const RECT& rect, const Ink& ink,
              int flags) {
    const POINT origin = OriginOf(s);
    t.Blit(&s, rect.left - origin.x, rect.top - origin.y, 0, 0, t.width, t.height, 1, ink.effect,
           static_cast<LPARAM>(ink.coefficient), flags);
}

std::u16string_view TextOf(LPCWSTR text, int length) {
    if (!text) return {};
    return length < 0 ? std::u16string_view(text)
                      : std::u16string_view(text, static_cast<std::size_t>(length));
}

std::u16string Widen(LPCSTR text, int length) {
    if (!text) return {};
    const int bytes = length < 0 ? static_cast<int>(std::char_traits<char>::length(text)) : length;
    if (bytes == 0) return {};
    const int units = MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
    std::u16string wide(static_cast<std::size_t>(std::max(units, 0)), u'\0');
    if (units > 0) MultiByteToWideChar(CP_ACP, 0, text, bytes, wide.data(), units);
    return wide;
}

// A non-antialiased twin of a font, so that no edge pixel mixes the text colour with the key; null when the
// font already is one (or cannot be read), the caller then uses the font as it is.
HFONT MonochromeTwin(HFONT font) {
    LOGFONTW lf;
    if (!font || !GetFontObjectW(font, sizeof lf, &lf) || lf.lfQuality == NONANTIALIASED_QUALITY)
        return nullptr;
    lf.lfQuality = NONANTIALIASED_QUALITY;
    return CreateFontIndirectW(&lf);
}

} // namespace

int cSurfaceImplementation::TextOutWide(LPCWSTR text, int length, int x, int y, UINT align, RECT* clip,
                                        COLORREF color, HFONT font, LPARAM, int ink, LPARAM parameter,
                                        int flags) {
    if ((ink & InkCodeMask) >= InkCodeLimit) return 0;
    const Ink reduced = ReduceInk(ink, parameter);
    if (reduced.refused) return 0;
    if (!reduced.draw) return 1;
    const std::u16string_view body = TextOf(text, length);
    if (reduced.effect == 0 && flags == 0) return TextOutDirect(*this, body, x, y, align, clip, color, font);
    if (!clip || clip->right <= clip->left || clip->bottom <= clip->top) return 0;
    Temporary t(CreateSameKind(clip->right - clip->left, clip->bottom - clip->top));
    if (!t) return 0;
    const COLORREF key = KeyFor(color);
    t->FillRect(0, 0, t->width, t->height, key);
    t->SetColorKey(key);
    const RECT local{0, 0, t->width, t->height};
    const int result =
        TextOutDirect(*t.get(), body, x - clip->left, y - clip->top, align, &local, color, font);
    BlitText(*t.get(), *this, *clip, reduced, flags);
    return result;
}

int cSurfaceImplementation::TextOutAnsi(LPCSTR text, int length, int x, int y, UINT align, RECT* clip,
                                        COLORREF color, HFONT font, LPARAM reserved, int ink,
                                        LPARAM parameter, int flags) {
    const std::u16string wide = Widen(text, length);
    return TextOutWide(wide.c_str(), static_cast<int>(wide.size()), x, y, align, clip, color, font, reserved,
                       ink, parameter, flags);
}

int cSurfaceImplementation::DrawTextWide(LPCWSTR text, int length, RECT* rect, UINT format, COLORREF color,
                                         HFONT font, LPARAM, int ink, LPARAM parameter, int flags,
                                         int leftMargin, int rightMargin, int tabLength) {
    if ((ink & InkCodeMask) >= InkCodeLimit) return 0;
    const std::u16string_view body = TextOf(text, length);
    if (format & DT_CALCRECT)
        return DrawTextDirect(*this, body, rect, format, color, font, leftMargin, rightMargin, tabLength);
    const Ink reduced = ReduceInk(ink, parameter);
    if (reduced.refused) return 0;
    if (!reduced.draw) return 1;
    if (reduced.effect == 0 && flags == 0)
        return DrawTextDirect(*this, body, rect, format, color, font, leftMargin, rightMargin, tabLength);
    if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) return 0;
    Temporary t(CreateSameKind(rect->right - rect->left, rect->bottom - rect->top));
    if (!t) return 0;
    const COLORREF key = KeyFor(color);
    t->FillRect(0, 0, t->width, t->height, key);
    t->SetColorKey(key);
    HFONT twin = MonochromeTwin(font);
    RECT local{0, 0, t->width, t->height};
    const int result = DrawTextDirect(*t.get(), body, &local, format, color, twin ? twin : font, leftMargin,
                                      rightMargin, tabLength);
    if (twin) DeleteFont(twin);
    BlitText(*t.get(), *this, *rect, reduced, flags);
    return result;
}

int cSurfaceImplementation::DrawTextAnsi(LPCSTR text, int length, RECT* rect, UINT format, COLORREF color,
                                         HFONT font, LPARAM reserved, int ink, LPARAM parameter, int flags,
                                         int leftMargin, int rightMargin, int tabLength) {
    const std::u16string wide = Widen(text, length);
    return DrawTextWide(wide.c_str(), static_cast<int>(wide.size()), rect, format, color, font, reserved, ink,
                        parameter, flags, leftMargin, rightMargin, tabLength);
}
