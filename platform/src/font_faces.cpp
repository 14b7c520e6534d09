// Logical fonts: resolution through fontconfig, sized FreeType faces shared between fonts, glyph caches.
#include "font_internal.h"
#include "handle_storage.h"

#include "win32/kernel.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <strings.h>
#include <unordered_set>

namespace win32::fonts {
namespace {

constexpr std::uint32_t FontMagic = 0x544E4F46; // "FONT"
// A height of 0 asks for the default size: a 16-pixel cell.
constexpr int DefaultCellHeight = 16;
// Slant of a synthesised italic, as a tangent.
constexpr double ObliqueShear = 0.2;

FT_Library Library() {
    static FT_Library library = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) return static_cast<FT_Library>(nullptr);
        return l;
    }();
    return library;
}

// Kept for the life of the process (never destroyed at exit), like the stock fonts they hold.
std::unordered_set<const void*>& LiveFonts() {
    static auto* live = new std::unordered_set<const void*>;
    return *live;
}

// What fontconfig gave for a logical font, and what must be synthesised on top of it.
struct FaceChoice {
    std::string file;
    int index = 0;
    bool embolden = false;
    bool oblique = false;
};

const char* GenericFamily(const LOGFONTW& lf) {
    if ((lf.lfPitchAndFamily & 0x3) == FIXED_PITCH || (lf.lfPitchAndFamily & 0xF0) == FF_MODERN)
        return "monospace";
    if ((lf.lfPitchAndFamily & 0xF0) == FF_ROMAN) return "serif";
    return "sans-serif";
}

std::string FaceNameUtf8(const LOGFONTW& lf) {
    std::size_t n = 0;
    while (n < LF_FACESIZE && lf.lfFaceName[n])
        ++n;
    return ToUtf8(std::u16string_view(lf.lfFaceName, n));
}

// The configuration lives as long as the process; at its end fontconfig's caches are released with it, so
// that a leak checker sees nothing of them. Every pattern and set is destroyed right after its use, as
// fontconfig's shutdown requires.
class FontConfiguration {
public:
    FontConfiguration() : config_(FcInitLoadConfigAndFonts()) {
        if (config_) FcConfigSetCurrent(config_);
    }
    ~FontConfiguration() {
        if (!config_) return;
        FcConfigDestroy(config_);
        FcFini();
    }
    FontConfiguration(const FontConfiguration&) = delete;
    FontConfiguration& operator=(const FontConfiguration&) = delete;
    FcConfig* Get() const { return config_; }

private:
    FcConfig* config_;
};

FcConfig* Config() {
    static FontConfiguration configuration;
    return configuration.Get();
}

// A face that has a code point the chosen face lacks, in the same weight and slant where possible.
bool ChooseFallback(const LOGFONTW& lf, char32_t codePoint, std::string& file, int& index) {
    FcConfig* config = Config();
    FcPattern* pattern = config ? FcPatternCreate() : nullptr;
    if (!pattern) return false;
    FcCharSet* wanted = FcCharSetCreate();
    FcCharSetAddChar(wanted, codePoint);
    FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
    FcPatternAddInteger(
        pattern, FC_WEIGHT,
        FcWeightFromOpenType(lf.lfWeight > 0 ? std::clamp<int>(lf.lfWeight, 1, 1000) : FW_NORMAL));
    FcPatternAddInteger(pattern, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    FcCharSetDestroy(wanted);
    if (!match) return false;
    FcCharSet* has = nullptr;
    FcChar8* path = nullptr;
    const bool ok = FcPatternGetCharSet(match, FC_CHARSET, 0, &has) == FcResultMatch && has &&
                    FcCharSetHasChar(has, codePoint) &&
                    FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (ok) {
        file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    }
    FcPatternDestroy(match);
    return ok;
}

// The faces of dialog templates, which every system draws with its own sans-serif.
std::string DialogFaceAsSansSerif(std::string name) {
    static constexpr const char* kDialogFaces[] = {"Helv", "MS Sans Serif", "MS Shell Dlg", "MS Shell Dlg 2",
                                                   "Tahoma"};
    for (const char* face : kDialogFaces)
        if (strcasecmp(name.c_str(), face) == 0) return "sans-serif";
    return name;
}

bool ChooseFace(const LOGFONTW& lf, FaceChoice& choice) {
    FcConfig* config = Config();
    if (!config) return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    const std::string name = DialogFaceAsSansSerif(FaceNameUtf8(lf));
    if (!name.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    // The generic family follows the name, so that an unknown name still finds a face of the right kind.
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(GenericFamily(lf)));
    const int weight = lf.lfWeight > 0 ? std::clamp<int>(lf.lfWeight, 1, 1000) : FW_NORMAL;
    const int fcWeight = FcWeightFromOpenType(weight);
    FcPatternAddInteger(pattern, FC_WEIGHT, fcWeight);
    FcPatternAddInteger(pattern, FC_SLANT, lf.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (ok) {
        choice.file = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &choice.index) != FcResultMatch) choice.index = 0;
        int matchedWeight = FC_WEIGHT_REGULAR, matchedSlant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight);
        FcPatternGetInteger(match, FC_SLANT, 0, &matchedSlant);
        choice.embolden = weight >= FW_SEMIBOLD && matchedWeight < FC_WEIGHT_DEMIBOLD;
        choice.oblique = lf.lfItalic && matchedSlant == FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
    return ok;
}

int Scaled(long fontUnits, double scale) {
    return static_cast<int>(std::ceil(fontUnits * scale - 1e-6));
}

class FreeTypeFace final : public SizedFace {
public:
    FreeTypeFace(FT_Face face, const FaceChoice& choice, const LOGFONTW& lf)
        : face_(face), choice_(choice), logFont_(lf) {
        mono_ = lf.lfQuality == NONANTIALIASED_QUALITY;
        SetSize(lf);
    }
    ~FreeTypeFace() override {
        for (auto& [file, fallback] : fallbacks_)
            if (fallback) FT_Done_Face(fallback);
        FT_Done_Face(face_);
    }
    FreeTypeFace(const FreeTypeFace&) = delete;
    FreeTypeFace& operator=(const FreeTypeFace&) = delete;

    const FaceMetrics& Metrics() const override { return metrics_; }

    const Glyph& GlyphOf(char32_t codePoint) override {
        auto found = glyphs_.find(codePoint);
        if (found != glyphs_.end()) return found->second;
        return glyphs_.emplace(codePoint, Render(codePoint)).first->second;
    }

private:
    void SetSize(const LOGFONTW& lf) {
        const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        const long unitsPerEm = face_->units_per_EM ? face_->units_per_EM : 2048;
        long cellUnits = face_->ascender - face_->descender;
        long ascentUnits = face_->ascender;
        long descentUnits = -face_->descender;
        if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
            ascentUnits = os2->usWinAscent;
            descentUnits = os2->usWinDescent;
            cellUnits = ascentUnits + descentUnits;
        }
        if (cellUnits <= 0) cellUnits = unitsPerEm;
        double em;
        if (lf.lfHeight < 0)
            em = std::min<double>(-static_cast<double>(lf.lfHeight), 4096);
        else
            em = std::min<double>(lf.lfHeight > 0 ? lf.lfHeight : DefaultCellHeight, 4096) * unitsPerEm /
                 cellUnits;
        const int pixelEm = std::max(1, static_cast<int>(std::lround(em)));
        pixelEm_ = pixelEm;
        FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelEm));
        const double scale = static_cast<double>(pixelEm) / unitsPerEm;

        metrics_.ascent = Scaled(ascentUnits, scale);
        metrics_.descent = Scaled(descentUnits, scale);
        if (lf.lfHeight > 0) {
            // A cell height is kept exactly, as callers lay out rows by it.
            const int excess = metrics_.ascent + metrics_.descent - lf.lfHeight;
            if (excess > 0) metrics_.descent = std::max(0, metrics_.descent - excess);
        }
        metrics_.internalLeading = std::max(0, metrics_.ascent + metrics_.descent - pixelEm);
        const long lineUnits = face_->height;
        metrics_.externalLeading = std::max(0, Scaled(lineUnits - cellUnits, scale));
        metrics_.averageWidth =
            os2 && os2->xAvgCharWidth > 0 ? Scaled(os2->xAvgCharWidth, scale) : pixelEm / 2;
        metrics_.maxWidth = Scaled(face_->max_advance_width, scale);
        metrics_.underlinePosition =
            std::max(1, static_cast<int>(std::lround(-face_->underline_position * scale)));
        metrics_.underlineThickness =
            std::max(1, static_cast<int>(std::lround(face_->underline_thickness * scale)));
        metrics_.strikeOutPosition = os2 && os2->version != 0xFFFF && os2->yStrikeoutPosition > 0
                                         ? static_cast<int>(std::lround(os2->yStrikeoutPosition * scale))
                                         : metrics_.ascent / 3;
        metrics_.fixedPitch = FT_IS_FIXED_WIDTH(face_);

        // A requested average width stretches the glyphs horizontally; a synthesised italic shears them.
        FT_Matrix matrix{0x10000, 0, 0, 0x10000};
        bool transformed = false;
        if (lf.lfWidth > 0 && metrics_.averageWidth > 0 && lf.lfWidth != metrics_.averageWidth) {
            const double sx = std::clamp(static_cast<double>(lf.lfWidth) / metrics_.averageWidth, 0.05, 20.0);
            matrix.xx = static_cast<FT_Fixed>(sx * 0x10000);
            metrics_.averageWidth = lf.lfWidth;
            metrics_.maxWidth = static_cast<int>(std::ceil(metrics_.maxWidth * sx));
            transformed = true;
        }
        if (choice_.oblique) {
            matrix.xy = static_cast<FT_Fixed>(ObliqueShear * 0x10000);
            transformed = true;
        }
        if (transformed) FT_Set_Transform(face_, &matrix, nullptr);
        matrix_ = matrix;
        transformed_ = transformed;
        emboldenStrength_ = choice_.embolden ? std::max<FT_Pos>(32, pixelEm * 64 / 24) : 0;
    }

    // The face to draw a code point from: this one, or a fallback face that has it (opened at the same size
    // once per file); this one's missing-glyph box when no face has it.
    FT_Face FaceFor(char32_t codePoint, FT_UInt& index) {
        index = FT_Get_Char_Index(face_, codePoint);
        if (index || codePoint < 0x20) return face_;
        std::string file;
        int faceIndex = 0;
        if (!ChooseFallback(logFont_, codePoint, file, faceIndex)) return face_;
        const std::string key = file + '\n' + std::to_string(faceIndex);
        auto [entry, added] = fallbacks_.try_emplace(key, nullptr);
        if (added && FT_New_Face(Library(), file.c_str(), faceIndex, &entry->second) == 0) {
            FT_Set_Pixel_Sizes(entry->second, 0, static_cast<FT_UInt>(pixelEm_));
            if (transformed_) FT_Set_Transform(entry->second, &matrix_, nullptr);
        }
        FT_Face fallback = entry->second;
        const FT_UInt fallbackIndex = fallback ? FT_Get_Char_Index(fallback, codePoint) : 0;
        if (!fallbackIndex) return face_;
        index = fallbackIndex;
        return fallback;
    }

    Glyph Render(char32_t codePoint) {
        Glyph glyph;
        FT_UInt index = 0;
        FT_Face face = FaceFor(codePoint, index);
        FT_Int32 loadFlags = mono_ ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_LIGHT;
        if (emboldenStrength_) loadFlags |= FT_LOAD_NO_BITMAP;
        if (FT_Load_Glyph(face, index, loadFlags) != 0) return glyph;
        FT_GlyphSlot slot = face->glyph;
        if (emboldenStrength_ && slot->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_Outline_EmboldenXY(&slot->outline, emboldenStrength_, 0);
        glyph.advance =
            static_cast<int>((slot->advance.x + (emboldenStrength_ ? emboldenStrength_ : 0) + 32) >> 6);
        if (FT_Render_Glyph(slot, mono_ ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        glyph.width = static_cast<int>(bitmap.width);
        glyph.rows = static_cast<int>(bitmap.rows);
        glyph.coverage.assign(static_cast<std::size_t>(glyph.width) * glyph.rows, 0);
        for (int y = 0; y < glyph.rows; ++y) {
            const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
            BYTE* out = glyph.coverage.data() + static_cast<std::size_t>(y) * glyph.width;
            for (int x = 0; x < glyph.width; ++x) {
                if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                    out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY)
                    out[x] = static_cast<BYTE>(
                        bitmap.num_grays == 256 ? row[x] : row[x] * 255 / std::max(1, bitmap.num_grays - 1));
            }
        }
        return glyph;
    }

    FT_Face face_;
    FaceChoice choice_;
    LOGFONTW logFont_;
    int pixelEm_ = 1;
    FT_Matrix matrix_{0x10000, 0, 0, 0x10000};
    bool transformed_ = false;
    std::map<std::string, FT_Face> fallbacks_;
    bool mono_ = false;
    FT_Pos emboldenStrength_ = 0;
    FaceMetrics metrics_;
    std::unordered_map<char32_t, Glyph> glyphs_;
};

// Sized faces shared between logical fonts that resolve alike, so that their glyphs are rendered once.
std::map<std::string, std::weak_ptr<SizedFace>>& FaceCache() {
    static auto* cache = new std::map<std::string, std::weak_ptr<SizedFace>>;
    return *cache;
}

std::string CacheKey(const FaceChoice& choice, const LOGFONTW& lf) {
    return choice.file + '\n' + std::to_string(choice.index) + '\n' + std::to_string(lf.lfHeight) + '\n' +
           std::to_string(lf.lfWidth) + '\n' + std::to_string(choice.embolden) +
           std::to_string(choice.oblique) + std::to_string(lf.lfQuality == NONANTIALIASED_QUALITY);
}

std::shared_ptr<SizedFace> OpenFace(const LOGFONTW& lf) {
    FaceChoice choice;
    if (!Library() || !ChooseFace(lf, choice)) return nullptr;
    const std::string key = CacheKey(choice, lf);
    auto& cache = FaceCache();
    if (auto found = cache.find(key); found != cache.end())
        if (auto face = found->second.lock()) return face;
    FT_Face face = nullptr;
    if (FT_New_Face(Library(), choice.file.c_str(), choice.index, &face) != 0) return nullptr;
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        return nullptr;
    }
    auto sized = std::make_shared<FreeTypeFace>(face, choice, lf);
    // Expired entries are dropped as new faces arrive, so the cache does not grow with deleted fonts.
    std::erase_if(cache, [](const auto& entry) { return entry.second.expired(); });
    cache[key] = sized;
    return sized;
}

FontObject* NewFont(const LOGFONTW& lf, bool stock) {
    auto face = OpenFace(lf);
    if (!face) return nullptr;
    auto* font = detail::NewHandleObject<FontObject>(FontMagic, stock, lf, std::move(face));
    LiveFonts().insert(font);
    return font;
}

LOGFONTW StockLogFont(int index) {
    LOGFONTW lf{};
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    const char16_t* name = u"sans-serif";
    switch (index) {
    case SYSTEM_FONT:
        lf.lfHeight = 16;
        lf.lfWeight = FW_BOLD;
        break;
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
        lf.lfHeight = 16;
        lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
        name = u"monospace";
        break;
    default:
        lf.lfHeight = -11;
        break;
    }
    std::char_traits<char16_t>::copy(lf.lfFaceName, name, std::char_traits<char16_t>::length(name));
    return lf;
}

} // namespace

std::recursive_mutex& FontLock() {
    static std::recursive_mutex lock;
    return lock;
}

FontObject* FontFromHandle(const void* handle) {
    if (!handle) return nullptr;
    std::lock_guard guard(FontLock());
    return LiveFonts().count(handle) ? static_cast<FontObject*>(const_cast<void*>(handle)) : nullptr;
}

FontObject* DefaultFont() {
    return GetStockFont(SYSTEM_FONT);
}

int MeasureRun(FontObject& font, std::u16string_view text) {
    int width = 0;
    for (std::size_t i = 0; i < text.size();)
        width += font.face->GlyphOf(detail::NextCodePoint(text, i)).advance;
    return width;
}

} // namespace win32::fonts

namespace win32 {

using fonts::FontFromHandle;
using fonts::FontLock;

HFONT CreateFontIndirectW(const LOGFONTW* font) {
    if (!font) return nullptr;
    std::lock_guard guard(FontLock());
    return fonts::NewFont(*font, false);
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
    if (!font) return nullptr;
    LOGFONTW wide{};
    std::memcpy(&wide, font, offsetof(LOGFONTA, lfFaceName));
    std::size_t n = 0;
    while (n < LF_FACESIZE && font->lfFaceName[n])
        ++n;
    if (n)
        MultiByteToWideChar(CP_ACP, 0, font->lfFaceName, static_cast<int>(n), wide.lfFaceName,
                            LF_FACESIZE - 1);
    return CreateFontIndirectW(&wide);
}

BOOL DeleteFont(HFONT font) {
    std::lock_guard guard(FontLock());
    FontObject* object = FontFromHandle(font);
    if (!object || object->stock) return FALSE;
    fonts::LiveFonts().erase(object);
    detail::DeleteHandleObject(object);
    return TRUE;
}

int GetFontObjectW(HFONT font, int size, LOGFONTW* out) {
    std::lock_guard guard(FontLock());
    const FontObject* object = FontFromHandle(font);
    if (!object) return 0;
    if (!out) return sizeof(LOGFONTW);
    const int n = std::min<int>(size, sizeof(LOGFONTW));
    if (n <= 0) return 0;
    std::memcpy(out, &object->logFont, static_cast<std::size_t>(n));
    return n;
}

int GetFontObjectA(HFONT font, int size, LOGFONTA* out) {
    LOGFONTW wide;
    if (!GetFontObjectW(font, sizeof wide, &wide)) return 0;
    if (!out) return sizeof(LOGFONTA);
    LOGFONTA narrow{};
    std::memcpy(&narrow, &wide, offsetof(LOGFONTW, lfFaceName));
    std::size_t n = 0;
    while (n < LF_FACESIZE && wide.lfFaceName[n])
        ++n;
    if (n)
        WideCharToMultiByte(CP_ACP, 0, wide.lfFaceName, static_cast<int>(n), narrow.lfFaceName,
                            LF_FACESIZE - 1, nullptr, nullptr);
    const int count = std::min<int>(size, sizeof(LOGFONTA));
    if (count <= 0) return 0;
    std::memcpy(out, &narrow, static_cast<std::size_t>(count));
    return count;
}

HFONT GetStockFont(int index) {
    static constexpr int stockIndexes[] = {OEM_FIXED_FONT,  ANSI_FIXED_FONT,     ANSI_VAR_FONT,
                                           SYSTEM_FONT,     DEVICE_DEFAULT_FONT, SYSTEM_FIXED_FONT,
                                           DEFAULT_GUI_FONT};
    std::lock_guard guard(FontLock());
    static auto* stock = new std::map<int, HFONT>;
    if (std::find(std::begin(stockIndexes), std::end(stockIndexes), index) == std::end(stockIndexes))
        return nullptr;
    HFONT& font = (*stock)[index];
    if (!font) font = fonts::NewFont(fonts::StockLogFont(index), true);
    return font;
}

bool IsFont(const void* handle) {
    return FontFromHandle(handle) != nullptr;
}

BOOL GetFontTextMetricsW(HFONT font, TEXTMETRICW* metrics) {
    std::lock_guard guard(FontLock());
    const FontObject* object = FontFromHandle(font);
    if (!object || !metrics) return FALSE;
    const fonts::FaceMetrics& m = object->face->Metrics();
    const LOGFONTW& lf = object->logFont;
    TEXTMETRICW tm{};
    tm.tmAscent = m.ascent;
    tm.tmDescent = m.descent;
    tm.tmHeight = m.ascent + m.descent;
    tm.tmInternalLeading = m.internalLeading;
    tm.tmExternalLeading = m.externalLeading;
    tm.tmAveCharWidth = m.averageWidth;
    tm.tmMaxCharWidth = m.maxWidth;
    tm.tmWeight = lf.lfWeight > 0 ? lf.lfWeight : FW_NORMAL;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFFFC;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = lf.lfItalic ? 1 : 0;
    tm.tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    // The low bit set means a variable pitch; outline faces also carry the vector and TrueType bits.
    tm.tmPitchAndFamily = static_cast<BYTE>((lf.lfPitchAndFamily & 0xF0) | 0x06 | (m.fixedPitch ? 0 : 1));
    tm.tmCharSet = lf.lfCharSet;
    *metrics = tm;
    return TRUE;
}

BOOL GetFontTextExtentW(HFONT font, LPCWSTR text, int length, SIZE* size) {
    std::lock_guard guard(FontLock());
    FontObject* object = FontFromHandle(font);
    if (!object || !size || length < 0 || (!text && length > 0)) return FALSE;
    const fonts::FaceMetrics& m = object->face->Metrics();
    size->cx =
        length ? fonts::MeasureRun(*object, std::u16string_view(text, static_cast<std::size_t>(length))) : 0;
    size->cy = m.ascent + m.descent;
    return TRUE;
}

} // namespace win32
