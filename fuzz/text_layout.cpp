// Logical fonts and text as application data gives them: any LOGFONT fields and face name, any UTF-16
// text (lone surrogates included), any DrawText format, margins and tab length, drawn into a small bitmap.
#include "win32/font.h"
#include "win32/gdi.h"

#include <cstdint>
#include <cstring>
#include <vector>

using namespace win32;

namespace {

template <typename T> T Take(const std::uint8_t*& data, std::size_t& size) {
    T value{};
    const std::size_t n = size < sizeof(T) ? size : sizeof(T);
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

// Very large fonts are legal but slow to render; the fuzzer keeps to sizes a game could use.
LONG Bounded(LONG v) {
    return v % 400;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LOGFONTW lf = Take<LOGFONTW>(data, size);
    lf.lfHeight = Bounded(lf.lfHeight);
    lf.lfWidth = Bounded(lf.lfWidth);
    const UINT format = Take<UINT>(data, size);
    RECT rect = Take<RECT>(data, size);
    rect.left %= 200;
    rect.top %= 200;
    rect.right %= 400;
    rect.bottom %= 400;
    DRAWTEXTPARAMS params{sizeof(DRAWTEXTPARAMS), Take<std::int8_t>(data, size),
                          Take<std::int8_t>(data, size), Take<std::int8_t>(data, size), 0};
    std::vector<WCHAR> text(size / 2);
    std::memcpy(text.data(), data, text.size() * 2);

    static HDC dc = [] {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = 96;
        info.bmiHeader.biHeight = 64;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HDC memory = CreateCompatibleDC(nullptr);
        SelectObject(memory, CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        return memory;
    }();
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) return 0;
    HFONT previous = SelectFont(dc, font);
    SetBkMode(dc, (format & 1) ? OPAQUE : TRANSPARENT);
    RECT box = rect;
    DrawTextExW(dc, text.data(), static_cast<int>(text.size()), &box, format & ~DT_TABSTOP, &params);
    SIZE extent;
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &extent);
    SetTextAlign(dc, format >> 24);
    ExtTextOutW(dc, rect.left, rect.top, ETO_CLIPPED | ETO_OPAQUE, &rect, text.data(),
                static_cast<UINT>(text.size()), nullptr);
    SelectFont(dc, previous);
    DeleteFont(font);
    return 0;
}

// fontconfig leaks a block while it parses its configuration, once per process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
