// The D3DX font: text laid out by the layer's DrawText rules, each glyph's coverage kept in the font's glyph
// texture (white, the coverage as alpha) and drawn as a quad modulated by the colour, with the device's
// blending.
#include "device_hold.h"
#include "text_target.h"

#include "win32/d3dx8.h"
#include "win32/kernel.h"
#include "win32/user.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

namespace win32 {

namespace {

using d3d::HelperVertex;
using d3d::HelperVertexFormat;

constexpr UINT AtlasSide = 512;
constexpr int CellGap = 1;
// Cell (0, 0) is a 2 x 2 block of full coverage that boxes (underlines) are drawn with.
constexpr int SolidSide = 2;

struct Cell {
    int x, y;
};

// The glyphs of one font placed in rows on one texture; a full texture starts again empty.
class GlyphAtlas {
public:
    explicit GlyphAtlas(IDirect3DDevice8* device) : device_(device) {}
    GlyphAtlas(const GlyphAtlas&) = delete;
    GlyphAtlas& operator=(const GlyphAtlas&) = delete;
    ~GlyphAtlas() {
        if (texture_) texture_->Release();
    }

    bool Ready() {
        if (texture_) return true;
        if (FAILED(device_->CreateTexture(AtlasSide, AtlasSide, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                          &texture_)))
            return false;
        Restart();
        return true;
    }
    IDirect3DTexture8* Texture() const { return texture_; }
    // Where a glyph lies, placing it when new; false when it does not fit the texture's room left.
    bool Place(const fonts::Glyph& glyph, Cell* cell) {
        if (auto found = cells_.find(&glyph); found != cells_.end()) {
            *cell = found->second;
            return true;
        }
        if (glyph.width + CellGap > static_cast<int>(AtlasSide) ||
            glyph.rows + CellGap > static_cast<int>(AtlasSide))
            return false;
        if (penX_ + glyph.width + CellGap > static_cast<int>(AtlasSide)) {
            penX_ = 0;
            penY_ += rowHeight_;
            rowHeight_ = 0;
        }
        if (penY_ + glyph.rows + CellGap > static_cast<int>(AtlasSide)) return false;
        *cell = Cell{penX_, penY_};
        Write(glyph, *cell);
        cells_.emplace(&glyph, *cell);
        penX_ += glyph.width + CellGap;
        rowHeight_ = std::max(rowHeight_, glyph.rows + CellGap);
        return true;
    }
    // Empties the texture's room: what was drawn from it must have been drawn first.
    void Restart() {
        cells_.clear();
        std::fill(texels_.begin(), texels_.end(), 0x00FFFFFFu);
        for (int y = 0; y < SolidSide; ++y)
            for (int x = 0; x < SolidSide; ++x)
                texels_[static_cast<std::size_t>(y) * AtlasSide + x] = 0xFFFFFFFFu;
        penX_ = SolidSide + CellGap;
        penY_ = 0;
        rowHeight_ = SolidSide + CellGap;
        dirty_ = true;
    }
    // Sends what was placed since the last upload.
    void Upload() {
        if (!dirty_ || !texture_) return;
        D3DLOCKED_RECT locked{};
        if (FAILED(texture_->LockRect(0, &locked, nullptr, 0))) return;
        for (UINT y = 0; y < AtlasSide; ++y)
            std::copy_n(texels_.data() + static_cast<std::size_t>(y) * AtlasSide, AtlasSide,
                        reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) +
                                                    static_cast<std::ptrdiff_t>(y) * locked.Pitch));
        texture_->UnlockRect(0);
        dirty_ = false;
    }

private:
    void Write(const fonts::Glyph& glyph, Cell cell) {
        for (int y = 0; y < glyph.rows; ++y)
            for (int x = 0; x < glyph.width; ++x)
                texels_[static_cast<std::size_t>(cell.y + y) * AtlasSide +
                        static_cast<std::size_t>(cell.x + x)] =
                    0x00FFFFFFu |
                    static_cast<D3DCOLOR>(glyph.coverage[static_cast<std::size_t>(y) * glyph.width + x])
                        << 24;
        dirty_ = true;
    }

    IDirect3DDevice8* device_;
    IDirect3DTexture8* texture_ = nullptr;
    std::vector<D3DCOLOR> texels_ = std::vector<D3DCOLOR>(static_cast<std::size_t>(AtlasSide) * AtlasSide);
    std::unordered_map<const fonts::Glyph*, Cell> cells_;
    int penX_ = 0, penY_ = 0, rowHeight_ = 0;
    bool dirty_ = false;
};

// Stage 0's states the font draws with, and the ones it finds, put back afterwards.
constexpr D3DTEXTURESTAGESTATETYPE FontStageStates[] = {D3DTSS_COLOROP,   D3DTSS_COLORARG1, D3DTSS_COLORARG2,
                                                        D3DTSS_ALPHAOP,   D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2,
                                                        D3DTSS_MAGFILTER, D3DTSS_MINFILTER};
constexpr DWORD FontStageValues[] = {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE,
                                     D3DTA_TEXTURE,   D3DTA_DIFFUSE, D3DTEXF_POINT, D3DTEXF_POINT};

class Font final : public ID3DXFont, private fonts::GlyphSink {
public:
    Font(IDirect3DDevice8* device, const LOGFONTA& font, HFONT gdiFont)
        : device_(device), font_(font), gdiFont_(gdiFont), atlas_(device) {}
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT GetDevice(IDirect3DDevice8** device) override { return device_.Give(device); }
    HRESULT GetLogFont(LOGFONTA* font) override {
        if (!font) return D3DERR_INVALIDCALL;
        *font = font_;
        return D3D_OK;
    }
    INT DrawTextW(LPCWSTR text, INT count, RECT* rect, DWORD format, D3DCOLOR colour) override;
    INT DrawTextA(LPCSTR text, INT count, RECT* rect, DWORD format, D3DCOLOR colour) override {
        if (!text) return 0;
        const int bytes = count < 0 ? static_cast<int>(std::char_traits<char>::length(text)) : count;
        if (bytes == 0) return 0;
        const int units = MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
        if (units <= 0) return 0;
        std::u16string wide(static_cast<std::size_t>(units), u'\0');
        MultiByteToWideChar(CP_ACP, 0, text, bytes, wide.data(), units);
        return DrawTextW(wide.c_str(), units, rect, format, colour);
    }

private:
    ~Font() { DeleteFont(gdiFont_); }

    void Glyph(const fonts::Glyph& glyph, int x, int y, const RECT& clip, COLORREF) override;
    void Box(const RECT& box, COLORREF) override;
    void Quad(RECT to, float u0, float v0, float u1, float v1, const RECT& clip);
    void DrawQueued();

    std::atomic<ULONG> refs_{1};
    d3d::DeviceHold device_;
    LOGFONTA font_;
    HFONT gdiFont_;
    GlyphAtlas atlas_;
    std::vector<HelperVertex> queued_;
    D3DCOLOR colour_ = 0;
    RECT clip_{};
};

void Font::Quad(RECT to, float u0, float v0, float u1, float v1, const RECT& clip) {
    const float w = static_cast<float>(to.right - to.left), h = static_cast<float>(to.bottom - to.top);
    RECT cut{};
    if (!IntersectRect(&cut, &to, &clip)) return;
    const auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
    const float cu0 = lerp(u0, u1, static_cast<float>(cut.left - to.left) / w);
    const float cu1 = lerp(u0, u1, static_cast<float>(cut.right - to.left) / w);
    const float cv0 = lerp(v0, v1, static_cast<float>(cut.top - to.top) / h);
    const float cv1 = lerp(v0, v1, static_cast<float>(cut.bottom - to.top) / h);
    const auto vertex = [&](LONG x, LONG y, float u, float v) {
        return HelperVertex{static_cast<float>(x), static_cast<float>(y), 0.0f, 1.0f, colour_, u, v};
    };
    const HelperVertex corners[4] = {
        vertex(cut.left, cut.top, cu0, cv0), vertex(cut.right, cut.top, cu1, cv0),
        vertex(cut.right, cut.bottom, cu1, cv1), vertex(cut.left, cut.bottom, cu0, cv1)};
    for (int i : {0, 1, 2, 0, 2, 3})
        queued_.push_back(corners[i]);
}

void Font::Glyph(const fonts::Glyph& glyph, int x, int y, const RECT& clip, COLORREF) {
    Cell cell{};
    if (!atlas_.Place(glyph, &cell)) {
        // The texture is full: what was queued is drawn from it first, then it starts again.
        DrawQueued();
        atlas_.Restart();
        if (!atlas_.Place(glyph, &cell)) return;
    }
    constexpr auto side = static_cast<float>(AtlasSide);
    Quad(RECT{x, y, x + glyph.width, y + glyph.rows}, static_cast<float>(cell.x) / side,
         static_cast<float>(cell.y) / side, static_cast<float>(cell.x + glyph.width) / side,
         static_cast<float>(cell.y + glyph.rows) / side, clip);
}

void Font::Box(const RECT& box, COLORREF) {
    constexpr float solid = 1.0f / static_cast<float>(AtlasSide);
    Quad(box, solid, solid, solid, solid, box);
}

void Font::DrawQueued() {
    if (queued_.empty()) return;
    atlas_.Upload();
    IDirect3DDevice8* d = device_.get();
    DWORD saved[std::size(FontStageStates)] = {};
    for (std::size_t i = 0; i < std::size(FontStageStates); ++i) {
        d->GetTextureStageState(0, FontStageStates[i], &saved[i]);
        d->SetTextureStageState(0, FontStageStates[i], FontStageValues[i]);
    }
    DWORD shader = 0;
    d->GetVertexShader(&shader);
    d->SetTexture(0, atlas_.Texture());
    d->SetVertexShader(HelperVertexFormat);
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(queued_.size() / 3), queued_.data(),
                       sizeof(HelperVertex));
    d->SetTexture(0, nullptr);
    d->SetVertexShader(shader);
    for (std::size_t i = 0; i < std::size(FontStageStates); ++i)
        d->SetTextureStageState(0, FontStageStates[i], saved[i]);
    queued_.clear();
}

INT Font::DrawTextW(LPCWSTR text, INT count, RECT* rect, DWORD format, D3DCOLOR colour) {
    if (!text || !rect) return 0;
    const std::size_t length =
        count < 0 ? std::char_traits<char16_t>::length(text) : static_cast<std::size_t>(count);
    fonts::TextStyle style;
    style.font = fonts::FontFromHandle(gdiFont_);
    if (!style.font) return 0;
    const std::u16string_view view(text, length);
    if (format & DT_CALCRECT) return fonts::DrawTextBox(nullptr, style, view, rect, format, nullptr);
    IDirect3DDevice8* d = device_.get();
    IDirect3DSurface8* target = nullptr;
    D3DSURFACE_DESC desc{};
    if (FAILED(d->GetRenderTarget(&target))) return 0;
    target->GetDesc(&desc);
    target->Release();
    if (!atlas_.Ready()) return 0;
    fonts::TextTarget sink;
    sink.sink = this;
    sink.width = static_cast<int>(desc.Width);
    sink.height = static_cast<int>(desc.Height);
    sink.clip = RECT{0, 0, sink.width, sink.height};
    colour_ = colour;
    const int height = fonts::DrawTextBox(&sink, style, view, rect, format, nullptr);
    DrawQueued();
    return height;
}

} // namespace

HRESULT D3DXCreateFontIndirect(IDirect3DDevice8* device, const LOGFONTA* font, ID3DXFont** out) {
    if (!out) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!device || !font) return D3DERR_INVALIDCALL;
    HFONT gdiFont = CreateFontIndirectA(font);
    if (!gdiFont) return D3DERR_INVALIDCALL;
    *out = new (std::nothrow) Font(device, *font, gdiFont);
    if (!*out) {
        DeleteFont(gdiFont);
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

} // namespace win32
