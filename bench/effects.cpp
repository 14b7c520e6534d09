// Effects on the platform's 3D device (Mesa's llvmpipe unless the environment asks for a GPU): compiling
// each built-in effect (the text read, translated and linked; and once with its first draw), and the built-in
// grey drawn over a 1920 x 1080 texture beside the plain copy of the same texture. The draws end with a
// read-back of the back buffer, which waits for them; the read-back alone is timed too, so that it can be
// taken off. The device's name is printed once.
#include "driver-d3d8/builtin_effects.h"
#include "win32/d3d8.h"
#include "win32/d3d8_testing.h"
#include "win32/d3dx8.h"
#include "win32/user.h"

#include "bench/targets.h"
#include "support/window_class.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace win32;

constexpr UINT Width = 1920, Height = 1080;

LRESULT PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(w, m, wp, lp);
}

struct Vertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};

// A window, its device with a back buffer of `width` x `height`, and a texture of that size on stage 0.
class Scene {
public:
    Scene(UINT width, UINT height) : width_(width), height_(height) {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
        test_support::RegisterWindowClass(u"BenchEffects", PlainProc);
        window_ = CreateWindowExW(0, u"BenchEffects", u"", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64, nullptr,
                                  nullptr, nullptr, nullptr);
        direct3d_ = Direct3DCreate8(D3D_SDK_VERSION);
        if (!window_ || !direct3d_) return;
        D3DPRESENT_PARAMETERS p{}; // the desktop's format
        p.BackBufferWidth = width;
        p.BackBufferHeight = height;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = TRUE;
        if (FAILED(direct3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_,
                                           D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device_)))
            return;
        if (FAILED(device_->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture_)))
            return;
        D3DLOCKED_RECT locked{};
        texture_->LockRect(0, &locked, nullptr, 0);
        for (UINT y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<D3DCOLOR*>(static_cast<char*>(locked.pBits) + y * locked.Pitch);
            for (UINT x = 0; x < width; ++x)
                row[x] = 0xFF000000 | ((x * 7) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | ((x ^ y) & 0xFF);
        }
        texture_->UnlockRect(0);
        device_->SetTexture(0, texture_);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device_->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    }
    ~Scene() {
        if (texture_) {
            device_->SetTexture(0, nullptr);
            texture_->Release();
        }
        if (device_) device_->Release();
        if (direct3d_) direct3d_->Release();
        if (window_) DestroyWindow(window_);
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    bool Ok() const { return texture_ != nullptr; }
    IDirect3DDevice8* Device() { return device_; }

    void Draw() {
        const auto w = static_cast<float>(width_), h = static_cast<float>(height_);
        const Vertex quad[] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                               {w, 0, 0, 1, 0xFFFFFFFF, 1, 0},
                               {w, h, 0, 1, 0xFFFFFFFF, 1, 1},
                               {0, h, 0, 1, 0xFFFFFFFF, 0, 1}};
        device_->BeginScene();
        device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, quad, sizeof(Vertex));
        device_->EndScene();
    }
    // Draws through the effect's first pass and waits.
    void DrawThrough(ID3DXEffect* effect) {
        UINT passes = 0;
        effect->Begin(&passes, 0);
        effect->Pass(0);
        Draw();
        effect->End();
        Wait();
    }
    // Waits for the draws: the back buffer read back.
    void Wait() { benchmark::DoNotOptimize(win32::testing::ReadBackBuffer(device_, nullptr, nullptr)); }

private:
    UINT width_, height_;
    HWND window_ = nullptr;
    IDirect3D8* direct3d_ = nullptr;
    IDirect3DDevice8* device_ = nullptr;
    IDirect3DTexture8* texture_ = nullptr;
};

// False, the row skipped, without a device; the device's name printed once.
bool Ready(benchmark::State& state, const Scene& scene) {
    if (!scene.Ok()) {
        state.SkipWithError("no 3D device");
        return false;
    }
    static bool named = false;
    if (!named) {
        std::fprintf(stderr, "3D device: %s\n", win32::testing::RendererName().c_str());
        named = true;
    }
    return true;
}

// With `draw`, the first draw through the effect as well: llvmpipe turns a program into machine code then.
void Compile(benchmark::State& state, const char* text, bool draw = false) {
    Scene scene(64, 64);
    if (!Ready(state, scene)) return;
    const auto length = static_cast<UINT>(std::strlen(text));
    for (auto _ : state) {
        ID3DXEffect* effect = nullptr;
        if (FAILED(D3DXCreateEffect(scene.Device(), text, length, &effect, nullptr))) {
            state.SkipWithError("the effect does not compile");
            return;
        }
        if (draw) scene.DrawThrough(effect);
        effect->Release();
    }
    bench::ShowTarget(state, draw ? "recorded beside CompileGreyEffect" : "under 5 ms");
}

void BM_CompileInvertEffect(benchmark::State& state) {
    Compile(state, InvertEffectText);
}
BENCHMARK(BM_CompileInvertEffect)->Unit(benchmark::kMillisecond);

void BM_CompileGreyEffect(benchmark::State& state) {
    Compile(state, GreyEffectText);
}
BENCHMARK(BM_CompileGreyEffect)->Unit(benchmark::kMillisecond);

void BM_CompileAndFirstDrawGreyEffect(benchmark::State& state) {
    Compile(state, GreyEffectText, true);
}
BENCHMARK(BM_CompileAndFirstDrawGreyEffect)->Unit(benchmark::kMillisecond);

void BM_GreyPass1080(benchmark::State& state) {
    Scene scene(Width, Height);
    ID3DXEffect* effect = nullptr;
    if (!Ready(state, scene)) return;
    if (FAILED(D3DXCreateEffect(scene.Device(), GreyEffectText,
                                static_cast<UINT>(std::strlen(GreyEffectText)), &effect, nullptr))) {
        state.SkipWithError("the effect does not compile");
        return;
    }
    for (auto _ : state)
        scene.DrawThrough(effect);
    effect->Release();
    bench::ShowTarget(state, "within 1.5x of PlainCopy1080, read-back taken off");
}
BENCHMARK(BM_GreyPass1080)->Unit(benchmark::kMillisecond);

void BM_PlainCopy1080(benchmark::State& state) {
    Scene scene(Width, Height);
    if (!Ready(state, scene)) return;
    for (auto _ : state) {
        scene.Draw();
        scene.Wait();
    }
}
BENCHMARK(BM_PlainCopy1080)->Unit(benchmark::kMillisecond);

void BM_ReadBack1080(benchmark::State& state) {
    Scene scene(Width, Height);
    if (!Ready(state, scene)) return;
    for (auto _ : state)
        scene.Wait();
}
BENCHMARK(BM_ReadBack1080)->Unit(benchmark::kMillisecond);

} // namespace
