// Texture surfaces, uploads and render textures: every source depth on every screen depth with each kind of
// transparency, read back through the read-back of a texture; the limits, mirrors and regions the uploads
// refuse; nested render textures; and a lost device whose default-pool textures come back through the
// library's callbacks.
#include "render_texture.h"
#include "screen_fixture.h"
#include "texture_blits.h"
#include "texture_surfaces.h"

#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>

namespace driver_test {
namespace {

constexpr int SW = 3, SH = 2;

enum class Transparency { None, Key, Alpha };

struct UploadCase {
    int sourceDepth;
    int screenDepth;
    Transparency transparency;
};

std::string NameOf(const UploadCase& c) {
    static const char* const kinds[] = {"Opaque", "Keyed", "AlphaPlane"};
    return "From" + std::to_string(c.sourceDepth) + "On" + std::to_string(c.screenDepth) +
           kinds[static_cast<int>(c.transparency)];
}

void PrintTo(const UploadCase& c, std::ostream* os) {
    *os << NameOf(c);
}

// The six source pixels as 0x00RRGGBB of 8-bit channels, chosen so that 5-bit channels hold them: the
// second is the key.
constexpr std::array<DWORD, 6> Colours = {0xF80000, 0x00F800, 0x0000F8, 0x808080, 0xF8F8F8, 0x081020};
constexpr int KeyIndex = 1;
constexpr std::array<BYTE, 6> Alphas = {0, 128, 255, 64, 255, 1};

// Stores a colour at a depth the way the library keeps its pixels; 8 bits stores the index of the palette
// entry nearest to it.
void Store(cSurfaceImplementation& s, int x, int y, DWORD rgb) {
    BYTE* p = s.Row(y) + static_cast<std::ptrdiff_t>(x) * s.bytesPerPixel;
    const DWORD r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    switch (s.depth) {
    case 8:
        p[0] = static_cast<BYTE>(s.GetNearestIndex(RGB(r, g, b)));
        break;
    case 15:
    case 16: {
        const DWORD v =
            s.depth == 15 ? (r >> 3) << 10 | (g >> 3) << 5 | b >> 3 : (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
        p[0] = static_cast<BYTE>(v), p[1] = static_cast<BYTE>(v >> 8);
        break;
    }
    default:
        p[0] = static_cast<BYTE>(b), p[1] = static_cast<BYTE>(g), p[2] = static_cast<BYTE>(r);
        break;
    }
}

// What a channel of 8 bits reads as after a texture of `bits` a channel kept it.
DWORD Kept(DWORD c, int bits) {
    const DWORD v = c >> (8 - bits);
    return bits == 8 ? c : bits == 4 ? v * 0x11 : bits == 5 ? (v << 3) | (v >> 2) : (v << 2) | (v >> 4);
}

class Uploads : public ScreenTest, public ::testing::WithParamInterface<UploadCase> {};

TEST_P(Uploads, ReadBackAsTheFormatOfTheScreensDepthKeepsThem) {
    const UploadCase& c = GetParam();
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    screen->SelectDepthRoutines(c.screenDepth);
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, c.sourceDepth, PublicTypeMemory, DriverKindNone);
    cSurface source;
    ASSERT_TRUE(prototype && source.Create(SW, SH, prototype));
    cSurfaceImplementation& s = *source.GetImplementation();
    for (int i = 0; i < SW * SH; ++i)
        Store(s, i % SW, i / SW, Colours[static_cast<std::size_t>(i)]);
    // The colours the source holds: an 8-bit source's come from its palette.
    std::array<DWORD, 6> held{};
    for (int i = 0; i < SW * SH; ++i) {
        COLORREF ref = 0;
        s.GetPixel(i % SW, i / SW, ref);
        held[static_cast<std::size_t>(i)] =
            c.sourceDepth == 8 ? (GetRValue(ref) << 16 | GetGValue(ref) << 8 | GetBValue(ref))
                               : Colours[static_cast<std::size_t>(i)];
    }
    COLORREF key = 0;
    s.GetPixel(KeyIndex % SW, KeyIndex / SW, key);
    source.SetColorKey(key);
    if (c.transparency == Transparency::Alpha) {
        BYTE* plane = source.AllocateAlphaPlane();
        ASSERT_NE(plane, nullptr);
        for (int i = 0; i < SW * SH; ++i)
            s.AlphaRow(i / SW)[i % SW] = Alphas[static_cast<std::size_t>(i)];
    }
    cSurface texture;
    texture.SetImplementation(SEGetSIPrototype(7)->CreateSameKind(SW, SH));
    texture.GetImplementation()->SetOpaque(c.transparency == Transparency::None);
    ASSERT_EQ(texture.GetImplementation()->UploadFrom(&s), 1);

    cSurface back;
    GetSurfacePrototype(&prototype, 32, PublicTypeMemory, DriverKindNone);
    ASSERT_TRUE(back.Create(SW, SH, prototype));
    ASSERT_NE(back.AllocateAlphaPlane(), nullptr);
    auto* own = static_cast<cD3DTextureSurface*>(texture.GetImplementation());
    ASSERT_EQ(CopyTextureToSurface(back.GetImplementation(), 0, 0, own->Texture(), 0, 0, SW, SH), 1);

    // The formats: 15 bits 5 a channel (A4R4G4B4 with an alpha plane), 16 bits 5-6-5 opaque and 4 a
    // channel with any transparency, 32 bits 8.
    const bool four = (c.screenDepth == 15 && c.transparency == Transparency::Alpha) ||
                      (c.screenDepth == 16 && c.transparency != Transparency::None);
    const std::array<int, 3> bits = four                  ? std::array<int, 3>{4, 4, 4}
                                    : c.screenDepth == 15 ? std::array<int, 3>{5, 5, 5}
                                    : c.screenDepth == 16 ? std::array<int, 3>{5, 6, 5}
                                                          : std::array<int, 3>{8, 8, 8};
    for (int i = 0; i < SW * SH; ++i) {
        const DWORD h = held[static_cast<std::size_t>(i)];
        DWORD wantAlpha = 255, want = (Kept(h >> 16, bits[0]) << 16) | (Kept((h >> 8) & 0xFF, bits[1]) << 8) |
                                      Kept(h & 0xFF, bits[2]);
        if (c.transparency == Transparency::Key && i == KeyIndex) want = wantAlpha = 0;
        if (c.transparency == Transparency::Alpha) {
            const BYTE a = Alphas[static_cast<std::size_t>(i)];
            wantAlpha = c.screenDepth == 32 ? a : a ? 255 : 0;
        }
        COLORREF got = 0;
        back.GetPixel(i % SW, i / SW, got);
        EXPECT_EQ((GetRValue(got) << 16 | GetGValue(got) << 8 | GetBValue(got)), want) << "pixel " << i;
        EXPECT_EQ(back.GetImplementation()->AlphaRow(i / SW)[i % SW], wantAlpha) << "alpha of pixel " << i;
    }
}

std::vector<UploadCase> AllUploads() {
    std::vector<UploadCase> cases;
    for (int source : {8, 15, 16, 24, 32})
        for (int screen : {15, 16, 32})
            for (Transparency t : {Transparency::None, Transparency::Key, Transparency::Alpha})
                cases.push_back({source, screen, t});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Table, Uploads, ::testing::ValuesIn(AllUploads()),
                         [](const auto& info) { return NameOf(info.param); });

using Textures = ScreenTest;

// A memory surface of the given size at 32 bits.
bool MakeMemory(cSurface& surface, int width, int height) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, 32, PublicTypeMemory, DriverKindNone);
    return prototype && surface.Create(width, height, prototype);
}

TEST_F(Textures, UploadsPastTheDevicesLimitOrOutsideTheSourceAreRefused) {
    win32::testing::LimitTextureSize(1024);
    cD3DScreenSurface* screen = BoundScreen();
    win32::testing::LimitTextureSize(0);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->MaxTextureWidth(), 1024);
    cSurface wide, small;
    ASSERT_TRUE(MakeMemory(wide, 2048, 16) && MakeMemory(small, 4, 4));
    EXPECT_EQ(UploadSurfaceToTexture(wide.GetImplementation(), 0, 0, 2048, 16, false, true), nullptr);
    EXPECT_EQ(UploadSurfaceToTexture(small.GetImplementation(), 2, 2, 4, 4, false, true), nullptr);
    EXPECT_EQ(UploadSurfaceToTexture(nullptr, 0, 0, 4, 4, false, true), nullptr);
    // A refused upload keeps the texture the surface had.
    cSurface texture;
    texture.SetImplementation(SEGetSIPrototype(6)->CreateSameKind(4, 4));
    ASSERT_EQ(texture.GetImplementation()->UploadFrom(small.GetImplementation()), 1);
    IDirect3DTexture8* kept = static_cast<cD3DTextureSurface*>(texture.GetImplementation())->Texture();
    EXPECT_EQ(texture.GetImplementation()->UploadFrom(wide.GetImplementation()), 0);
    EXPECT_EQ(static_cast<cD3DTextureSurface*>(texture.GetImplementation())->Texture(), kept);
}

// Mirrors swap pixels in place; one column stays as it is.
TEST_F(Textures, MirrorsSwapPixelsAndAColumnOfOneStays) {
    ASSERT_NE(BoundScreen(), nullptr);
    cSurface source, back;
    ASSERT_TRUE(MakeMemory(source, 3, 2) && MakeMemory(back, 3, 2));
    for (int i = 0; i < 6; ++i)
        source.SetPixel(i % 3, i / 3, RGB(i * 40, 0, 0));
    cSurface texture;
    texture.SetImplementation(SEGetSIPrototype(7)->CreateSameKind(3, 2));
    texture.GetImplementation()->SetOpaque(1);
    ASSERT_EQ(texture.GetImplementation()->UploadFrom(source.GetImplementation()), 1);
    cSurfaceImplementation& t = *texture.GetImplementation();
    EXPECT_EQ(t.MirrorHorizontal(1, 0, 1, 2), 1);
    EXPECT_EQ(t.MirrorHorizontal(0, 0, 3, 2), 1);
    EXPECT_EQ(t.MirrorVertical(0, 0, 3, 2), 1);
    EXPECT_EQ(t.MirrorVertical(5, 5, 3, 2), 0);
    ASSERT_EQ(CopyTextureToSurface(back.GetImplementation(), 0, 0,
                                   static_cast<cD3DTextureSurface&>(t).Texture(), 0, 0, 3, 2),
              1);
    for (int i = 0; i < 6; ++i) {
        COLORREF got = 0;
        back.GetPixel(i % 3, i / 3, got);
        const int from = (1 - i / 3) * 3 + (2 - i % 3);
        EXPECT_EQ(GetRValue(got), from * 40) << i;
    }
}

using RenderTextures = ScreenTest;

cD3DRenderTextureSurface* NewRenderTexture(int width, int height) {
    return static_cast<cD3DRenderTextureSurface*>(SEGetSIPrototype(5)->CreateSameKind(width, height));
}

// Five nested render textures: each is drawn into, the stack keeps four, and each end restores the target
// below it.
TEST_F(RenderTextures, FiveNestedTargetsAreDrawnAndTheStackKeepsFour) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    std::array<cSurface, 5> targets;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        targets[i].SetImplementation(NewRenderTexture(4, 4));
        ASSERT_TRUE(targets[i].HasImplementation());
    }
    screen->BeginDraw(1, RGB(0, 0, 0));
    for (std::size_t i = 0; i < targets.size(); ++i) {
        targets[i].GetImplementation()->BeginDraw(1, 0xFF000000u | RGB(static_cast<int>(i) * 50, 0, 0));
        EXPECT_EQ(screen->RenderTargetCount(), std::min<int>(static_cast<int>(i) + 1, 4));
    }
    screen->FillRect(1, 1, 1, 1, RGB(0, 255, 0)); // into the fifth
    for (std::size_t i = targets.size(); i-- > 0;) {
        targets[i].GetImplementation()->EndDraw();
        EXPECT_EQ(screen->RenderTargetCount(), std::min<int>(static_cast<int>(i), 4));
    }
    screen->EndDraw();
    cSurface back;
    ASSERT_TRUE(MakeMemory(back, 4, 4));
    for (std::size_t i = 0; i < targets.size(); ++i) {
        auto* rt = static_cast<cD3DRenderTextureSurface*>(targets[i].GetImplementation());
        ASSERT_EQ(CopyTextureToSurface(back.GetImplementation(), 0, 0, rt->Texture(), 0, 0, 4, 4), 1);
        COLORREF corner = 0, middle = 0;
        back.GetPixel(0, 0, corner);
        back.GetPixel(1, 1, middle);
        EXPECT_EQ(corner, RGB(static_cast<int>(i) * 50, 0, 0)) << i;
        EXPECT_EQ(middle, i == 4 ? RGB(0, 255, 0) : corner) << i;
    }
}

TEST_F(RenderTextures, AFillIntoOneNotBeingDrawnDrawsAroundItselfAndSetOpaqueRemakesIt) {
    ASSERT_NE(BoundScreen(), nullptr);
    cSurface target;
    target.SetImplementation(NewRenderTexture(5, 3));
    auto* rt = static_cast<cD3DRenderTextureSurface*>(target.GetImplementation());
    EXPECT_EQ(rt->FillRect(0, 0, 5, 3, RGB(10, 20, 30)), 1);
    EXPECT_EQ(rt->DrawNesting(), 0);
    cSurface back;
    ASSERT_TRUE(MakeMemory(back, 5, 3));
    ASSERT_EQ(CopyTextureToSurface(back.GetImplementation(), 0, 0, rt->Texture(), 0, 0, 5, 3), 1);
    COLORREF got = 0;
    back.GetPixel(4, 2, got);
    EXPECT_EQ(got, RGB(10, 20, 30));
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(rt->Texture()->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    rt->SetOpaque(1);
    ASSERT_EQ(rt->Texture()->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Width, 5u);
    EXPECT_EQ(desc.Height, 3u);
}

// The library's lost-device callback, run before the reset, marks its default-pool texture lost; the next
// frame uploads it again and draws the render texture again: after a forced loss and reset the frame comes
// out whole.
struct Rebuild {
    bool lost;
    int calls;
};

void MarkLost(cSurface*, LPARAM argument) {
    auto* r = reinterpret_cast<Rebuild*>(argument);
    ++r->calls;
    r->lost = true;
}

TEST_F(RenderTextures, ALostDeviceGivesItsTexturesBackThroughTheCallbacks) {
    cD3DScreenSurface* screen = BoundScreen();
    ASSERT_NE(screen, nullptr);
    cSurface picture;
    ASSERT_TRUE(MakeMemory(picture, 8, 8));
    picture.Fill(RGB(200, 100, 50));
    cSurface texture, target;
    texture.SetImplementation(SEGetSIPrototype(6)->CreateSameKind(8, 8));
    texture.GetImplementation()->SetOpaque(1);
    ASSERT_EQ(texture.GetImplementation()->UploadFrom(picture.GetImplementation()), 1);
    target.SetImplementation(NewRenderTexture(8, 8));
    Rebuild rebuild{false, 0};
    screen->AddLostDeviceCallback(MarkLost, &texture, reinterpret_cast<LPARAM>(&rebuild));
    const auto frame = [&] {
        if (std::exchange(rebuild.lost, false))
            texture.GetImplementation()->UploadFrom(picture.GetImplementation());
        screen->BeginDraw(1, RGB(0, 0, 0));
        target.GetImplementation()->FillRect(0, 0, 8, 8, RGB(0, 0, 255));
        texture.GetImplementation()->Blit(screen, 2, 2, 0, 0, 8, 8, 0, 0, 0, 0);
        target.GetImplementation()->Blit(screen, 20, 2, 0, 0, 8, 8, 0, 0, 0, 0);
        screen->EndDraw();
        return screen->Present();
    };
    ASSERT_EQ(frame(), 0);
    EXPECT_EQ(win32::testing::ReadWindowPixel(child, 5, 5), RGB(200, 100, 50));
    EXPECT_EQ(win32::testing::ReadWindowPixel(child, 23, 5), RGB(0, 0, 255));
    win32::testing::LoseDevice(screen->Device());
    EXPECT_EQ(frame(), 0); // lost, and not resettable yet
    EXPECT_EQ(rebuild.calls, 0);
    win32::testing::LetLostDeviceReset(screen->Device());
    EXPECT_EQ(frame(), 1); // the reset
    EXPECT_EQ(rebuild.calls, 1);
    ASSERT_EQ(frame(), 0);
    EXPECT_EQ(win32::testing::ReadWindowPixel(child, 5, 5), RGB(200, 100, 50));
    EXPECT_EQ(win32::testing::ReadWindowPixel(child, 23, 5), RGB(0, 0, 255));
    screen->RemoveLostDeviceCallback(nullptr, &texture, 0);
}

} // namespace
} // namespace driver_test
