// Render targets, image surfaces, CopyRects and UpdateTexture: pixels moved between the context and memory
// land where they are sent, unchanged.
#include "device_fixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace d3d_test;

namespace {

D3DCOLOR Pattern(UINT x, UINT y) {
    return 0xFF000000 | (x * 17) << 16 | (y * 23) << 8 | ((x ^ y) * 5);
}

void Fill(IDirect3DSurface8* surface, UINT width, UINT height) {
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x)
            reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] =
                Pattern(x, y);
    ASSERT_EQ(surface->UnlockRect(), D3D_OK);
}

D3DCOLOR PixelOf(IDirect3DSurface8* surface, UINT x, UINT y) {
    D3DLOCKED_RECT locked{};
    if (surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) != D3D_OK) return 0xDEADBEEF;
    const D3DCOLOR c =
        reinterpret_cast<const D3DCOLOR*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch)[x];
    surface->UnlockRect();
    return c;
}

class SurfaceTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_EQ(Create(Windowed(child, 32, 24)), D3D_OK);
    }
    void TearDown() override {
        for (IDirect3DSurface8* s : surfaces)
            s->Release();
        for (IDirect3DTexture8* t : textures)
            t->Release();
        DeviceTest::TearDown();
    }
    IDirect3DTexture8* Texture(UINT w, UINT h, DWORD usage, D3DPOOL pool) {
        IDirect3DTexture8* t = nullptr;
        EXPECT_EQ(device->CreateTexture(w, h, 1, usage, D3DFMT_A8R8G8B8, pool, &t), D3D_OK);
        if (t) textures.push_back(t);
        return t;
    }
    IDirect3DSurface8* Level(IDirect3DTexture8* t) {
        IDirect3DSurface8* s = nullptr;
        EXPECT_EQ(t->GetSurfaceLevel(0, &s), D3D_OK);
        if (s) surfaces.push_back(s);
        return s;
    }
    IDirect3DSurface8* Image(UINT w, UINT h) {
        IDirect3DSurface8* s = nullptr;
        EXPECT_EQ(device->CreateImageSurface(w, h, D3DFMT_A8R8G8B8, &s), D3D_OK);
        if (s) surfaces.push_back(s);
        return s;
    }
    IDirect3DSurface8* Back() {
        IDirect3DSurface8* s = nullptr;
        EXPECT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &s), D3D_OK);
        if (s) surfaces.push_back(s);
        return s;
    }
    std::vector<IDirect3DSurface8*> surfaces;
    std::vector<IDirect3DTexture8*> textures;
};

// An image goes into a texture, the texture's part to the back buffer at another place, and the back
// buffer back into a second image: every pixel keeps its value.
TEST_F(SurfaceTest, CopyRectsMovesPixelsUnchangedThroughTheContext) {
    IDirect3DSurface8* image = Image(8, 6);
    Fill(image, 8, 6);
    IDirect3DSurface8* level = Level(Texture(8, 6, 0, D3DPOOL_MANAGED));
    ASSERT_EQ(device->CopyRects(image, nullptr, 0, level, nullptr), D3D_OK);
    EXPECT_EQ(PixelOf(level, 7, 5), Pattern(7, 5)); // the texture's memory copy follows the context
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0), D3D_OK);
    const RECT part{2, 1, 7, 5};
    const POINT at{20, 15};
    ASSERT_EQ(device->CopyRects(level, &part, 1, Back(), &at), D3D_OK);
    const std::vector<D3DCOLOR> pixels = BackBuffer();
    for (UINT y = 0; y < 24; ++y)
        for (UINT x = 0; x < 32; ++x) {
            const bool inside = x >= 20 && x < 25 && y >= 15 && y < 19;
            const D3DCOLOR want = inside ? Pattern(x - 20 + 2, y - 15 + 1) : 0xFF000000;
            ASSERT_EQ(pixels[y * 32 + x], want) << x << ", " << y;
        }
    IDirect3DSurface8* readBack = Image(32, 24);
    ASSERT_EQ(device->CopyRects(Back(), nullptr, 0, readBack, nullptr), D3D_OK);
    EXPECT_EQ(PixelOf(readBack, 22, 16), Pattern(4, 2));
    EXPECT_EQ(PixelOf(readBack, 0, 0), 0xFF000000u);
}

TEST_F(SurfaceTest, CopyRectsRefusesRectanglesOutsideEitherSurface) {
    IDirect3DSurface8* image = Image(8, 6);
    IDirect3DSurface8* small = Image(4, 4);
    const RECT outside{4, 2, 9, 4}, empty{3, 3, 3, 5}, fits{0, 0, 4, 4};
    const POINT past{1, 1};
    EXPECT_EQ(device->CopyRects(image, &outside, 1, small, &past), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CopyRects(image, &empty, 1, small, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CopyRects(image, &fits, 1, small, &past),
              D3DERR_INVALIDCALL); // runs off the destination
    EXPECT_EQ(device->CopyRects(image, nullptr, 0, small, nullptr),
              D3DERR_INVALIDCALL); // whole 8 x 6 into 4 x 4
    EXPECT_EQ(device->CopyRects(image, nullptr, 0, image, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CopyRects(image, &fits, 1, small, nullptr), D3D_OK);
}

// Clears and draws go to the render-target texture while it is the target; the back buffer is untouched,
// and setting the back buffer again draws there.
TEST_F(SurfaceTest, RenderTargetTextureReceivesClearsUntilTheBackBufferIsBack) {
    IDirect3DTexture8* target = Texture(16, 8, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT);
    IDirect3DSurface8* level = Level(target);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(level, nullptr), D3D_OK);
    IDirect3DSurface8* current = nullptr;
    ASSERT_EQ(device->GetRenderTarget(&current), D3D_OK);
    EXPECT_EQ(current, level);
    current->Release();
    const D3DRECT corner{12, 4, 16, 8};
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x80FF0000, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->Clear(1, &corner, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(target->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL); // read through CopyRects
    IDirect3DSurface8* image = Image(16, 8);
    ASSERT_EQ(device->CopyRects(level, nullptr, 0, image, nullptr), D3D_OK);
    EXPECT_EQ(PixelOf(image, 0, 0), 0x80FF0000u);
    EXPECT_EQ(PixelOf(image, 11, 7), 0x80FF0000u);
    EXPECT_EQ(PixelOf(image, 12, 4), 0xFF00FF00u);
    EXPECT_EQ(BackBuffer()[0], 0xFF0000FFu);
    ASSERT_EQ(device->SetRenderTarget(Back(), nullptr), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    EXPECT_EQ(BackBuffer()[0], 0xFFFFFFFFu);
}

TEST_F(SurfaceTest, OnlyRenderTargetsCanBeTargets) {
    IDirect3DSurface8* plain = Level(Texture(4, 4, 0, D3DPOOL_MANAGED));
    EXPECT_EQ(device->SetRenderTarget(plain, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetRenderTarget(Image(4, 4), nullptr), D3DERR_INVALIDCALL);
    IDirect3DTexture8* refused = nullptr;
    EXPECT_EQ(
        device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &refused),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(device->SetRenderTarget(nullptr, nullptr), D3D_OK); // keeps the back buffer
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF445566, 1.0f, 0), D3D_OK);
    EXPECT_EQ(BackBuffer()[0], 0xFF445566u);
}

// A reset puts the back buffer back as the target and lets go of the texture it held.
TEST_F(SurfaceTest, ResetReturnsToTheBackBuffer) {
    IDirect3DSurface8* level = Level(Texture(8, 8, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT));
    ASSERT_EQ(device->SetRenderTarget(level, nullptr), D3D_OK);
    D3DPRESENT_PARAMETERS p = Windowed(child, 32, 24);
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    IDirect3DSurface8* current = nullptr;
    ASSERT_EQ(device->GetRenderTarget(&current), D3D_OK);
    EXPECT_EQ(current, Back());
    current->Release();
    EXPECT_EQ(level->AddRef(), 3u); // the test's texture and level references, and this one
    level->Release();
}

TEST_F(SurfaceTest, UpdateTextureTakesASystemMemoryTexturesPixels) {
    IDirect3DTexture8* staged = Texture(8, 6, 0, D3DPOOL_SYSTEMMEM);
    IDirect3DTexture8* shown = Texture(8, 6, 0, D3DPOOL_DEFAULT);
    Fill(Level(staged), 8, 6);
    ASSERT_EQ(device->UpdateTexture(staged, shown), D3D_OK);
    ASSERT_EQ(device->CopyRects(Level(shown), nullptr, 0, Back(), nullptr), D3D_OK);
    const std::vector<D3DCOLOR> pixels = BackBuffer();
    EXPECT_EQ(pixels[0], Pattern(0, 0));
    EXPECT_EQ(pixels[5 * 32 + 7], Pattern(7, 5));
    EXPECT_EQ(device->UpdateTexture(shown, staged), D3DERR_INVALIDCALL); // the pools the other way round
    EXPECT_EQ(device->UpdateTexture(staged, Texture(4, 4, 0, D3DPOOL_DEFAULT)), D3DERR_INVALIDCALL);
}

} // namespace
