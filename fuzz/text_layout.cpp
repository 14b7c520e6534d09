// Logical fonts and text as application data gives them: any LOGFONT fields and face name, any UTF-16
// text (lone surrogates included), any DrawText format, margins and tab length, drawn into a small bitmap. An
// empty first corpus folder receives a few laid out as the target takes them.
#include "win32/font.h"
#include "win32/gdi.h"

#include "seed_folder.h"

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

// A font of a game's size, a format, a box, margins and tab length, then the text; each field in the order
// the target takes them.
void Seeds(const std::filesystem::path& folder) {
    struct Case {
        const char* name;
        LONG height, weight;
        BYTE italic;
        const char16_t* face;
        UINT format;
        RECT box;
        std::u16string text;
    };
    const Case cases[] = {
        {"wrapped",
         14,
         400,
         0,
         u"DejaVu Sans",
         DT_WORDBREAK | DT_CENTER,
         {0, 0, 90, 60},
         u"Score: 1200\nLives left\tthree"},
        {"single-line",
         -20,
         700,
         1,
         u"DejaVu Serif",
         DT_SINGLELINE | DT_VCENTER | DT_RIGHT,
         {4, 4, 80, 40},
         u"Game over"},
        {"tabs-ellipsis",
         10,
         400,
         0,
         u"Sans",
         DT_EXPANDTABS | DT_END_ELLIPSIS | DT_TABSTOP | 0x400,
         {0, 0, 60, 20},
         u"a\tb\tc long text \xD83D\xDE00 \xD800"},
    };
    for (const Case& c : cases) {
        LOGFONTW lf{};
        lf.lfHeight = c.height;
        lf.lfWeight = c.weight;
        lf.lfItalic = c.italic;
        std::char_traits<char16_t>::copy(lf.lfFaceName, c.face, std::char_traits<char16_t>::length(c.face));
        std::vector<std::uint8_t> bytes;
        const auto put = [&bytes](const auto& v) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
            bytes.insert(bytes.end(), p, p + sizeof v);
        };
        put(lf);
        put(c.format);
        put(c.box);
        for (std::int8_t margin : {std::int8_t{4}, std::int8_t{2}, std::int8_t{2}})
            put(margin);
        for (char16_t unit : c.text)
            put(unit);
        framerun::WriteFile(folder / c.name, bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    return 0;
}

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
