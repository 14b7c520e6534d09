// Drawing through the device: pre-transformed vertices, the render and stage-0 states, textures with
// locks, resets of the default pool. Every picture is checked against a reference worked out here.
#include "device_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

using namespace d3d_test;

namespace {

constexpr UINT W = 16, H = 12;
constexpr D3DCOLOR Ground = 0xFF204060;
constexpr RECT Quad{2, 3, 10, 9}; // 8 x 6, the texture's size
constexpr UINT TexW = 8, TexH = 6;

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
static_assert(sizeof(Vertex) == 28);
constexpr DWORD VertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1; // 0x144

std::array<Vertex, 4> QuadVertices(const RECT& r, D3DCOLOR diffuse) {
    const auto l = static_cast<float>(r.left), t = static_cast<float>(r.top),
               rr = static_cast<float>(r.right), b = static_cast<float>(r.bottom);
    return {Vertex{l, t, 0, 1, diffuse, 0, 0}, Vertex{rr, t, 0, 1, diffuse, 1, 0},
            Vertex{rr, b, 0, 1, diffuse, 1, 1}, Vertex{l, b, 0, 1, diffuse, 0, 1}};
}

D3DCOLOR Texel(UINT x, UINT y) {
    return (0x40 + y * 0x20) << 24 | (x * 30 + 10) << 16 | (y * 40 + 5) << 8 | ((x + y) * 15);
}

int Ch(D3DCOLOR c, int shift) {
    return static_cast<int>((c >> shift) & 0xFF);
}

D3DCOLOR Pack(int a, int r, int g, int b) {
    auto c = [](int v) { return static_cast<D3DCOLOR>(std::clamp(v, 0, 255)); };
    return c(a) << 24 | c(r) << 16 | c(g) << 8 | c(b);
}

// What a covered pixel becomes, from the source colour the stage makes and the destination.
using Reference = std::function<D3DCOLOR(D3DCOLOR texel, D3DCOLOR destination)>;

struct StateCase {
    const char* name;
    std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> renderStates;
    std::vector<std::pair<D3DTEXTURESTAGESTATETYPE, DWORD>> stageStates;
    bool textured;
    D3DCOLOR diffuse;
    Reference reference; // null: nothing is drawn
    int tolerance;       // per channel, for blends and products whose rounding is the rasteriser's
    D3DFORMAT textureFormat = D3DFMT_A8R8G8B8;
};

void PrintTo(const StateCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr D3DCOLOR HalfRed = 0x80FF2000;
constexpr D3DCOLOR Factor = 0xFF11AA33;

D3DCOLOR Blend(D3DCOLOR s, D3DCOLOR d) {
    const int a = Ch(s, 24);
    auto mix = [&](int shift) { return (Ch(s, shift) * a + Ch(d, shift) * (255 - a) + 127) / 255; };
    return Pack((Ch(s, 24) * a + Ch(d, 24) * (255 - a) + 127) / 255, mix(16), mix(8), mix(0));
}

D3DCOLOR Modulate(D3DCOLOR a, D3DCOLOR b) {
    auto m = [&](int shift) { return (Ch(a, shift) * Ch(b, shift) + 127) / 255; };
    return Pack(m(24), m(16), m(8), m(0));
}

const std::vector<StateCase>& StateCases() {
    using RS = std::pair<D3DRENDERSTATETYPE, DWORD>;
    using TS = std::pair<D3DTEXTURESTAGESTATETYPE, DWORD>;
    const TS selectDiffuse[] = {{D3DTSS_COLOROP, D3DTOP_SELECTARG2}, {D3DTSS_ALPHAOP, D3DTOP_SELECTARG2}};
    const std::vector<TS> diffuseOnly(std::begin(selectDiffuse), std::end(selectDiffuse));
    const RS blendOn[] = {{D3DRS_ALPHABLENDENABLE, TRUE},
                          {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
                          {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}};
    static const std::vector<StateCase> cases = {
        {"OpaqueDiffuse",
         {},
         diffuseOnly,
         false,
         0xFF10E020,
         [](D3DCOLOR, D3DCOLOR) { return 0xFF10E020u; },
         0},
        {"SourceAlphaBlend",
         {std::begin(blendOn), std::end(blendOn)},
         diffuseOnly,
         false,
         HalfRed,
         [](D3DCOLOR, D3DCOLOR d) { return Blend(HalfRed, d); },
         1},
        {"AddOneOne",
         {{D3DRS_ALPHABLENDENABLE, TRUE}, {D3DRS_SRCBLEND, D3DBLEND_ONE}, {D3DRS_DESTBLEND, D3DBLEND_ONE}},
         diffuseOnly,
         false,
         0xFF80F010,
         [](D3DCOLOR, D3DCOLOR d) { return Pack(255, Ch(d, 16) + 0x80, Ch(d, 8) + 0xF0, Ch(d, 0) + 0x10); },
         0},
        {"AlphaTestRejectsBelowReference",
         {{D3DRS_ALPHATESTENABLE, TRUE}, {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL}, {D3DRS_ALPHAREF, 0x81}},
         diffuseOnly,
         false,
         HalfRed,
         nullptr,
         0},
        {"AlphaTestPassesAtReference",
         {{D3DRS_ALPHATESTENABLE, TRUE}, {D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL}, {D3DRS_ALPHAREF, 0x80}},
         diffuseOnly,
         false,
         HalfRed,
         [](D3DCOLOR, D3DCOLOR) { return HalfRed; },
         0},
        {"ColourMaskKeepsAllButGreen",
         {{D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_GREEN}},
         diffuseOnly,
         false,
         0x11223344,
         [](D3DCOLOR, D3DCOLOR d) { return (d & 0xFFFF00FFu) | 0x3300u; },
         0},
        {"TextureSelectedIsAnExactCopy",
         {},
         {{D3DTSS_COLOROP, D3DTOP_SELECTARG1}, {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}},
         true,
         0xFF000000,
         [](D3DCOLOR t, D3DCOLOR) { return t; },
         0},
        {"TextureModulatedByDiffuse",
         {},
         {{D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_ALPHAOP, D3DTOP_MODULATE}},
         true,
         0xC0806040,
         [](D3DCOLOR t, D3DCOLOR) { return Modulate(t, 0xC0806040); },
         1},
        {"TextureFactorSelected",
         {{D3DRS_TEXTUREFACTOR, Factor}},
         {{D3DTSS_COLOROP, D3DTOP_SELECTARG1},
          {D3DTSS_COLORARG1, D3DTA_TFACTOR},
          {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
          {D3DTSS_ALPHAARG1, D3DTA_TFACTOR}},
         true,
         0xFF000000,
         [](D3DCOLOR, D3DCOLOR) { return Factor; },
         0},
        {"OpaqueFormatReadsAlphaAsOne",
         {},
         {{D3DTSS_COLOROP, D3DTOP_SELECTARG1}, {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}},
         true,
         0x00000000,
         [](D3DCOLOR t, D3DCOLOR) { return t | 0xFF000000u; },
         0,
         D3DFMT_X8R8G8B8},
        {"DisabledStageGivesDiffuse",
         {},
         {{D3DTSS_COLOROP, D3DTOP_DISABLE}},
         true,
         0xFF3366CC,
         [](D3DCOLOR, D3DCOLOR) { return 0xFF3366CCu; },
         0},
    };
    return cases;
}

class DrawStates : public DeviceTest, public ::testing::WithParamInterface<StateCase> {
protected:
    void TearDown() override {
        if (device) device->SetTexture(0, nullptr);
        if (texture) texture->Release();
        DeviceTest::TearDown();
    }
    IDirect3DTexture8* texture = nullptr;
};

TEST_P(DrawStates, QuadMatchesTheReference) {
    const StateCase& c = GetParam();
    ASSERT_EQ(Create(Windowed(child, W, H)), D3D_OK);
    if (c.textured) {
        ASSERT_EQ(device->CreateTexture(TexW, TexH, 1, 0, c.textureFormat, D3DPOOL_MANAGED, &texture),
                  D3D_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < TexH; ++y)
            for (UINT x = 0; x < TexW; ++x)
                reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] =
                    Texel(x, y);
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    }
    for (const auto& [state, value] : c.renderStates)
        ASSERT_EQ(device->SetRenderState(state, value), D3D_OK);
    for (const auto& [state, value] : c.stageStates)
        ASSERT_EQ(device->SetTextureStageState(0, state, value), D3D_OK);
    ASSERT_EQ(device->SetVertexShader(VertexFormat), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, Ground, 1.0f, 0), D3D_OK);
    const auto quad = QuadVertices(Quad, c.diffuse);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad.data(), sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const std::vector<D3DCOLOR> pixels = BackBuffer();
    ASSERT_EQ(pixels.size(), W * H);
    for (UINT y = 0; y < H; ++y)
        for (UINT x = 0; x < W; ++x) {
            const bool inside = static_cast<LONG>(x) >= Quad.left && static_cast<LONG>(x) < Quad.right &&
                                static_cast<LONG>(y) >= Quad.top && static_cast<LONG>(y) < Quad.bottom;
            const D3DCOLOR texel = inside ? Texel(x - Quad.left, y - Quad.top) : 0;
            const D3DCOLOR want = inside && c.reference ? c.reference(texel, Ground) : Ground;
            const D3DCOLOR got = pixels[y * W + x];
            for (int shift : {0, 8, 16, 24})
                ASSERT_LE(std::abs(Ch(got, shift) - Ch(want, shift)), c.tolerance)
                    << std::hex << "at (" << std::dec << x << ", " << y << ") got " << std::hex << got
                    << " want " << want;
        }
}

INSTANTIATE_TEST_SUITE_P(Cases, DrawStates, ::testing::ValuesIn(StateCases()),
                         [](const ::testing::TestParamInfo<StateCase>& info) {
                             return std::string(info.param.name);
                         });

// A horizontal line runs through the centres of its row's pixels, from its first point on; a vertical one
// through its column's.
TEST_F(DeviceTest, LineListDrawsAlongPixelCentres) {
    ASSERT_EQ(Create(Windowed(child, W, H)), D3D_OK);
    ASSERT_EQ(device->SetVertexShader(VertexFormat), D3D_OK);
    ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, Ground, 1.0f, 0), D3D_OK);
    constexpr D3DCOLOR Ink = 0xFFFFFF00;
    const Vertex lines[] = {{2, 5, 0, 1, Ink, 0, 0},
                            {12, 5, 0, 1, Ink, 0, 0},
                            {14, 1, 0, 1, Ink, 0, 0},
                            {14, 9, 0, 1, Ink, 0, 0}};
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_LINELIST, 2, lines, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const std::vector<D3DCOLOR> pixels = BackBuffer();
    auto at = [&](UINT x, UINT y) { return pixels[y * W + x] & 0xFFFFFF; };
    for (UINT x = 2; x < 12; ++x)
        EXPECT_EQ(at(x, 5), Ink & 0xFFFFFF) << x;
    for (UINT y = 1; y < 9; ++y)
        EXPECT_EQ(at(14, y), Ink & 0xFFFFFF) << y;
    for (UINT x = 0; x < 14; ++x) { // the vertical line crosses these rows at 14
        EXPECT_EQ(at(x, 4), Ground & 0xFFFFFF) << x;
        EXPECT_EQ(at(x, 6), Ground & 0xFFFFFF) << x;
    }
    EXPECT_EQ(at(1, 5), Ground & 0xFFFFFF);
    EXPECT_EQ(at(13, 3), Ground & 0xFFFFFF);
    EXPECT_EQ(at(15, 3), Ground & 0xFFFFFF);
    EXPECT_EQ(win32::testing::DrawCallCount(device), 1u);
}

// With a depth buffer, a quad behind what is drawn stays hidden where they overlap; without depth
// testing it covers it.
TEST_F(DeviceTest, DepthTestHidesWhatIsBehind) {
    for (const bool zEnable : {true, false}) {
        ASSERT_EQ(Create(Windowed(child, W, H, true)), D3D_OK);
        ASSERT_EQ(device->SetVertexShader(VertexFormat), D3D_OK);
        ASSERT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2), D3D_OK);
        ASSERT_EQ(device->SetRenderState(D3DRS_ZENABLE, zEnable ? TRUE : FALSE), D3D_OK);
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, Ground, 1.0f, 0), D3D_OK);
        auto near = QuadVertices(RECT{0, 0, 8, 8}, 0xFFFF0000);
        auto far = QuadVertices(RECT{4, 4, 12, 12}, 0xFF0000FF);
        for (Vertex& v : near)
            v.z = 0.25f;
        for (Vertex& v : far)
            v.z = 0.75f;
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, near.data(), sizeof(Vertex)), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, far.data(), sizeof(Vertex)), D3D_OK);
        ASSERT_EQ(device->EndScene(), D3D_OK);
        const std::vector<D3DCOLOR> pixels = BackBuffer();
        EXPECT_EQ(pixels[5 * W + 5], zEnable ? 0xFFFF0000u : 0xFF0000FFu) << zEnable;
        EXPECT_EQ(pixels[10 * W + 10], 0xFF0000FFu) << zEnable;
        EXPECT_EQ(pixels[1 * W + 1], 0xFFFF0000u) << zEnable;
        device->Release();
        device = nullptr;
    }
}

TEST_F(DeviceTest, DrawsAreRefusedOutsideASceneOrInAnotherVertexFormat) {
    ASSERT_EQ(Create(Windowed(child, W, H)), D3D_OK);
    const auto quad = QuadVertices(Quad, 0xFFFFFFFF);
    ASSERT_EQ(device->SetVertexShader(VertexFormat), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad.data(), sizeof(Vertex)), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad.data(), 20),
              D3DERR_INVALIDCALL); // stride short
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 0, quad.data(), sizeof(Vertex)), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(9, 2, quad.data(), sizeof(Vertex)), D3DERR_INVALIDCALL);
    constexpr DWORD Untransformed = 0x002 | D3DFVF_DIFFUSE; // x, y, z without rhw
    ASSERT_EQ(device->SetVertexShader(Untransformed), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad.data(), sizeof(Vertex)), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(win32::testing::DrawCallCount(device), 0u);
}

TEST_F(DeviceTest, TexturesOutsideTheCapsAreRefused) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    D3DCAPS8 caps{};
    ASSERT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
    struct Case {
        UINT width, height;
        D3DFORMAT format;
    };
    const Case cases[] = {{0, 16, D3DFMT_A8R8G8B8},
                          {16, 0, D3DFMT_A8R8G8B8},
                          {caps.MaxTextureWidth + 1, 16, D3DFMT_A8R8G8B8},
                          {16, caps.MaxTextureHeight + 1, D3DFMT_A8R8G8B8},
                          {16, 16, D3DFMT_D16}};
    for (const Case& c : cases) {
        IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(&caps); // must come back null
        EXPECT_EQ(device->CreateTexture(c.width, c.height, 1, 0, c.format, D3DPOOL_MANAGED, &texture),
                  D3DERR_INVALIDCALL)
            << c.width << " x " << c.height;
        EXPECT_EQ(texture, nullptr);
    }
    // The largest allowed works, and a refused call left the context able to go on.
    IDirect3DTexture8* largest = nullptr;
    ASSERT_EQ(
        device->CreateTexture(caps.MaxTextureWidth, 1, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &largest),
        D3D_OK);
    largest->Release();
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0), D3D_OK);
    EXPECT_EQ(BackBuffer()[0], 0xFF123456u);
}

// A reset empties what the default pool held; managed textures keep their pixels.
TEST_F(DeviceTest, ResetEmptiesTheDefaultPool) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    IDirect3DTexture8* pooled[2] = {};
    const D3DPOOL pools[2] = {D3DPOOL_DEFAULT, D3DPOOL_MANAGED};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, pools[i], &pooled[i]), D3D_OK);
        D3DLOCKED_RECT locked{};
        const RECT one{1, 2, 2, 3};
        ASSERT_EQ(pooled[i]->LockRect(0, &locked, &one, 0), D3D_OK);
        *static_cast<D3DCOLOR*>(locked.pBits) = 0xFFABCDEF;
        ASSERT_EQ(pooled[i]->UnlockRect(0), D3D_OK);
    }
    D3DPRESENT_PARAMETERS p = Windowed(child);
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    for (int i = 0; i < 2; ++i) {
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(pooled[i]->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const D3DCOLOR kept =
            reinterpret_cast<const D3DCOLOR*>(static_cast<const BYTE*>(locked.pBits) + 2 * locked.Pitch)[1];
        EXPECT_EQ(kept, pools[i] == D3DPOOL_DEFAULT ? 0u : 0xFFABCDEFu) << "pool " << pools[i];
        ASSERT_EQ(pooled[i]->UnlockRect(0), D3D_OK);
        pooled[i]->Release();
    }
}

TEST_F(DeviceTest, LocksAreCheckedAndSingle) {
    ASSERT_EQ(Create(Windowed(child)), D3D_OK);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    D3DLOCKED_RECT locked{};
    const RECT outside{2, 2, 5, 4}, inverted{3, 1, 1, 3};
    EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(0, &locked, &inverted, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 16);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    texture->Release();
}

} // namespace
