// What the D3DX helpers draw and copy: the sprite's quads (batched, turned, in every texture format), the
// font's text beside the layer's GDI text, the texture helpers and the built-in programs. Pictures are read
// from the back buffer and checked against references worked out here.
#include "device_fixture.h"
#include "win32/d3dx8.h"
#include "win32/font.h"
#include "win32/gdi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <vector>

using namespace d3d_test;

namespace {

constexpr UINT W = 64, H = 48; // the child's client area
constexpr D3DCOLOR Ground = 0xFF000000;

int Ch(D3DCOLOR c, int shift) {
    return static_cast<int>((c >> shift) & 0xFF);
}

// Pixels packed by hand for each format, from channels that every format holds exactly (0 or 255).
void Pack(D3DFORMAT f, D3DCOLOR c, BYTE* p) {
    const UINT a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    auto store16 = [&](UINT v) {
        p[0] = static_cast<BYTE>(v);
        p[1] = static_cast<BYTE>(v >> 8);
    };
    switch (f) {
    case D3DFMT_R8G8B8:
        p[0] = static_cast<BYTE>(b), p[1] = static_cast<BYTE>(g), p[2] = static_cast<BYTE>(r);
        break;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        std::memcpy(p, &c, 4);
        break;
    case D3DFMT_R5G6B5:
        store16((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
        break;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        store16((a >> 7) << 15 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
        break;
    default: // A4R4G4B4
        store16((a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4);
        break;
    }
}

UINT BytesOf(D3DFORMAT f) {
    return f == D3DFMT_R8G8B8 ? 3 : (f == D3DFMT_A8R8G8B8 || f == D3DFMT_X8R8G8B8) ? 4 : 2;
}

class D3dxDraw : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(Create(Windowed(child)), D3D_OK);
        ASSERT_EQ(D3DXCreateSprite(device, &sprite), D3D_OK);
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, Ground, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device->BeginScene(), D3D_OK);
    }
    void TearDown() override {
        for (IDirect3DTexture8* t : textures)
            t->Release();
        if (sprite) sprite->Release();
        DeviceTest::TearDown();
    }
    // A texture of the format and pool whose pixels are given as 0xAARRGGBB.
    IDirect3DTexture8* Texture(UINT w, UINT h, D3DFORMAT format, const std::vector<D3DCOLOR>& argb,
                               D3DPOOL pool = D3DPOOL_MANAGED) {
        IDirect3DTexture8* t = nullptr;
        EXPECT_EQ(D3DXCreateTexture(device, w, h, 1, 0, format, pool, &t), D3D_OK);
        if (!t) return nullptr;
        textures.push_back(t);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
        EXPECT_EQ(static_cast<UINT>(locked.Pitch), w * BytesOf(format));
        for (UINT y = 0; y < h; ++y)
            for (UINT x = 0; x < w; ++x)
                Pack(format, argb[y * w + x],
                     static_cast<BYTE*>(locked.pBits) + y * locked.Pitch + x * BytesOf(format));
        EXPECT_EQ(t->UnlockRect(0), D3D_OK);
        return t;
    }
    std::vector<D3DCOLOR> Read() {
        EXPECT_EQ(device->EndScene(), D3D_OK);
        std::vector<D3DCOLOR> pixels = BackBuffer();
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        return pixels;
    }
    // A sprite draw of a whole texture at a point, unscaled, point-sampled.
    void DrawAt(IDirect3DTexture8* t, float x, float y, D3DCOLOR colour = 0xFFFFFFFF) {
        const D3DXVECTOR2 at{x, y};
        ASSERT_EQ(sprite->Draw(t, nullptr, nullptr, nullptr, 0.0f, &at, colour), D3D_OK);
    }
    void BeginPointSampled() {
        ASSERT_EQ(sprite->Begin(), D3D_OK);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    }
    ID3DXSprite* sprite = nullptr;
    std::vector<IDirect3DTexture8*> textures;
};

// Four pixels every format holds exactly: opaque red, green, blue, and a transparent white.
const std::vector<D3DCOLOR> FourTexels = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x00FFFFFF};

class Formats : public D3dxDraw, public ::testing::WithParamInterface<D3DFORMAT> {};

// Each format's texels come out of the sprite as they went in; formats without alpha are opaque.
TEST_P(Formats, TexelsReachTheBackBufferAsTheyWereLocked) {
    const D3DFORMAT format = GetParam();
    IDirect3DTexture8* t = Texture(2, 2, format, FourTexels);
    ASSERT_NE(t, nullptr);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(t->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, format);
    BeginPointSampled();
    DrawAt(t, 5, 7);
    ASSERT_EQ(sprite->End(), D3D_OK);
    const std::vector<D3DCOLOR> got = Read();
    const bool hasAlpha = format == D3DFMT_A8R8G8B8 || format == D3DFMT_A1R5G5B5 || format == D3DFMT_A4R4G4B4;
    for (UINT i = 0; i < 4; ++i) {
        const D3DCOLOR texel = FourTexels[i];
        const D3DCOLOR want = (texel >> 24) == 0 && hasAlpha ? Ground : (texel & 0xFFFFFF);
        EXPECT_EQ(got[(7 + i / 2) * W + 5 + i % 2] & 0xFFFFFF, want & 0xFFFFFF) << "texel " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(All, Formats,
                         ::testing::Values(D3DFMT_R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5,
                                           D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4),
                         [](const auto& info) { return std::to_string(info.param); });

TEST_F(D3dxDraw, QuadsOfOneTextureAreOneDrawUntilSomethingChanges) {
    IDirect3DTexture8* a = Texture(2, 2, D3DFMT_A8R8G8B8, FourTexels);
    IDirect3DTexture8* b = Texture(2, 2, D3DFMT_A8R8G8B8, FourTexels);
    const unsigned before = win32::testing::DrawCallCount(device);
    BeginPointSampled();
    DrawAt(a, 0, 0);
    DrawAt(a, 4, 0);
    DrawAt(a, 8, 0);
    EXPECT_EQ(win32::testing::DrawCallCount(device), before); // still queued
    DrawAt(b, 12, 0);                                         // another texture: the three go as one
    EXPECT_EQ(win32::testing::DrawCallCount(device), before + 1);
    DrawAt(b, 16, 0);
    ASSERT_EQ(sprite->End(), D3D_OK);
    EXPECT_EQ(win32::testing::DrawCallCount(device), before + 2);
}

// A state changed between two draws applies to the second only: the first is drawn before it changes.
TEST_F(D3dxDraw, AStateChangeDrawsWhatWasQueuedWithTheStatesItHad) {
    const std::vector<D3DCOLOR> halfWhite(4, 0x80FFFFFF);
    IDirect3DTexture8* t = Texture(2, 2, D3DFMT_A8R8G8B8, halfWhite);
    BeginPointSampled();
    DrawAt(t, 0, 0); // blended: half grey
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    DrawAt(t, 4, 0); // copied: white
    ASSERT_EQ(sprite->End(), D3D_OK);
    const std::vector<D3DCOLOR> got = Read();
    EXPECT_NEAR(Ch(got[0], 16), 0x80, 1);
    EXPECT_EQ(got[4] & 0xFFFFFF, 0xFFFFFFu);
}

// A 4 x 2 texture turned a quarter counter-clockwise about its top-left corner's pixel, scaled by 1: the
// texel at (x, y) lands at (y, -1 - x) from the centre of turning.
TEST_F(D3dxDraw, ASpriteTurnsCounterClockwiseAboutItsCentre) {
    std::vector<D3DCOLOR> texels(8);
    for (UINT i = 0; i < 8; ++i)
        texels[i] = 0xFF000000 | (i + 1) * 0x1F1F1F;
    IDirect3DTexture8* t = Texture(4, 2, D3DFMT_A8R8G8B8, texels);
    BeginPointSampled();
    const D3DXVECTOR2 centre{0, 0}, at{20, 20};
    ASSERT_EQ(sprite->Draw(t, nullptr, nullptr, &centre, 3.14159265f / 2, &at, 0xFFFFFFFF), D3D_OK);
    ASSERT_EQ(sprite->End(), D3D_OK);
    const std::vector<D3DCOLOR> got = Read();
    for (UINT y = 0; y < 2; ++y)
        for (UINT x = 0; x < 4; ++x) {
            const UINT px = 20 + y, py = 20 - 1 - x;
            EXPECT_EQ(got[py * W + px], texels[y * 4 + x]) << x << "," << y;
        }
}

TEST_F(D3dxDraw, RequirementsKeepSizesWithinTheCapsAndTheTextureFormats) {
    D3DCAPS8 caps{};
    device->GetDeviceCaps(&caps);
    struct Case {
        UINT width, height;
        DWORD usage;
        D3DFORMAT format;
        UINT wantWidth, wantHeight;
        D3DFORMAT wantFormat;
    };
    const Case cases[] = {
        {300, 17, 0, D3DFMT_R5G6B5, 300, 17, D3DFMT_R5G6B5},
        {0, D3DX_DEFAULT, 0, D3DFMT_A4R4G4B4, 1, 1, D3DFMT_A4R4G4B4},
        {caps.MaxTextureWidth + 1, 5, 0, 50, caps.MaxTextureWidth, 5, D3DFMT_A8R8G8B8},
        {8, 8, D3DUSAGE_RENDERTARGET, D3DFMT_R5G6B5, 8, 8, D3DFMT_A8R8G8B8},
    };
    for (const Case& c : cases) {
        UINT w = c.width, h = c.height, levels = 5;
        D3DFORMAT f = c.format;
        ASSERT_EQ(D3DXCheckTextureRequirements(device, &w, &h, &levels, c.usage, &f, D3DPOOL_MANAGED),
                  D3D_OK);
        EXPECT_EQ(w, c.wantWidth);
        EXPECT_EQ(h, c.wantHeight);
        EXPECT_EQ(levels, 1u);
        EXPECT_EQ(f, c.wantFormat);
    }
}

// Managed textures keep their pixels through a reset; default ones come back empty; system-memory ones
// reach a default texture through UpdateTexture.
TEST_F(D3dxDraw, PoolsKeepOrLoseTheirPixelsAcrossAReset) {
    IDirect3DTexture8* managed = Texture(2, 2, D3DFMT_R5G6B5, FourTexels, D3DPOOL_MANAGED);
    IDirect3DTexture8* system = Texture(2, 2, D3DFMT_A4R4G4B4, FourTexels, D3DPOOL_SYSTEMMEM);
    IDirect3DTexture8* gpu = nullptr;
    ASSERT_EQ(D3DXCreateTexture(device, 2, 2, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_DEFAULT, &gpu), D3D_OK);
    textures.push_back(gpu);
    ASSERT_EQ(device->UpdateTexture(system, gpu), D3D_OK);
    auto first = [](IDirect3DTexture8* t) {
        D3DLOCKED_RECT locked{};
        if (t->LockRect(0, &locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return 0xDEADu;
        const UINT v = static_cast<const BYTE*>(locked.pBits)[0] | static_cast<const BYTE*>(locked.pBits)[1]
                                                                       << 8;
        t->UnlockRect(0);
        return v;
    };
    EXPECT_EQ(first(gpu), 0xFF00u); // A4R4G4B4 opaque red, read back from the context
    device->EndScene();
    D3DPRESENT_PARAMETERS p = Windowed(child);
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    EXPECT_EQ(first(managed), 0xF800u);
    EXPECT_EQ(first(gpu), 0u);
    device->BeginScene();
}

// The back buffer into a texture with the colour key 0xFF000000: opaque black becomes transparent black.
TEST_F(D3dxDraw, LoadingASurfaceTurnsTheKeyColourTransparent) {
    device->EndScene();
    const D3DRECT red{2, 0, 4, 2};
    ASSERT_EQ(device->Clear(1, &red, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    device->BeginScene();
    IDirect3DTexture8* t = Texture(4, 2, D3DFMT_A8R8G8B8, std::vector<D3DCOLOR>(8, 0x12345678));
    IDirect3DSurface8* level = nullptr;
    IDirect3DSurface8* back = nullptr;
    ASSERT_EQ(t->GetSurfaceLevel(0, &level), D3D_OK);
    ASSERT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    const RECT from{0, 0, 4, 2};
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(level, nullptr, nullptr, back, nullptr, &from, D3DX_FILTER_NONE,
                                         0xFF000000),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(t->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* row = static_cast<const D3DCOLOR*>(locked.pBits);
    EXPECT_EQ(row[0], 0u);
    EXPECT_EQ(row[1], 0u);
    EXPECT_EQ(row[2], 0xFFFF0000u);
    EXPECT_EQ(row[3], 0xFFFF0000u);
    t->UnlockRect(0);
    const RECT outside{0, 0, 5, 2};
    EXPECT_EQ(
        D3DXLoadSurfaceFromSurface(level, nullptr, &outside, back, nullptr, &outside, D3DX_FILTER_NONE, 0),
        D3DERR_INVALIDCALL);
    level->Release();
    back->Release();
}

// The font lays text out as the layer's DrawText does and covers the same pixels with the same coverage.
TEST_F(D3dxDraw, TextIsLaidOutAndCoveredAsTheLayersGdiDoes) {
    LOGFONTA logFont{};
    logFont.lfHeight = -12;
    std::strcpy(logFont.lfFaceName, "DejaVu Sans");
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3DXCreateFontIndirect(device, &logFont, &font), D3D_OK);
    // The font blends with the device's states: the sprite's.
    ASSERT_EQ(sprite->Begin(), D3D_OK);
    const char16_t text[] = u"Wide text\nbreaks";
    constexpr UINT Format = DT_WORDBREAK | DT_CENTER | DT_NOPREFIX;
    RECT measured{4, 3, 60, 40};
    const INT measuredHeight = font->DrawTextW(text, -1, &measured, Format | DT_CALCRECT, 0xFFFFFFFF);
    RECT box{4, 3, 60, 40};
    const INT height = font->DrawTextW(text, -1, &box, Format, 0xFFFFFFFF);
    EXPECT_EQ(height, measuredHeight);
    ASSERT_EQ(sprite->End(), D3D_OK);
    font->Release();
    const std::vector<D3DCOLOR> got = Read();

    // The same text through the layer's GDI on a 32-bit section of the same size.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = W;
    info.bmiHeader.biHeight = -static_cast<LONG>(H);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bitmap);
    HFONT gdiFont = CreateFontIndirectA(&logFont);
    SelectFont(dc, gdiFont);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT gdiMeasured{4, 3, 60, 40};
    EXPECT_EQ(DrawTextW(dc, text, -1, &gdiMeasured, Format | DT_CALCRECT), measuredHeight);
    EXPECT_TRUE(EqualRect(&gdiMeasured, &measured));
    RECT gdiBox{4, 3, 60, 40};
    EXPECT_EQ(DrawTextW(dc, text, -1, &gdiBox, Format), height);
    GdiFlush();
    int covered = 0;
    for (UINT i = 0; i < W * H; ++i) {
        const int want = static_cast<int>(static_cast<const DWORD*>(bits)[i] & 0xFF);
        covered += want > 0;
        ASSERT_NEAR(Ch(got[i], 0), want, 1) << "pixel " << i % W << "," << i / W;
    }
    EXPECT_GT(covered, 40);
    DeleteDC(dc);
    DeleteObject(bitmap);
    DeleteFont(gdiFont);
}

} // namespace
