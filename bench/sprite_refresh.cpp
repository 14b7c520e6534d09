// One refresh of 10,000 moving 32 x 32 keyed sprites in a 1920 x 1080 32-bit window, beside the same
// images blitted straight onto the surface (the floor).
#include "vtrs2/app_context.h"
#include "vtrs2/app_window.h"
#include "vtrs2/banks.h"
#include "vtrs2/image_surface.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface.h"
#include "win32/user.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace win32;

constexpr int ScreenWidth = 1920, ScreenHeight = 1080;
constexpr int SpriteCount = 10000;
constexpr int Side = 32;
constexpr int ImageCount = 16;

// Round shapes on a black key, one colour per image.
std::vector<BYTE> RoundImage(int index) {
    std::vector<BYTE> pixels(Side * Side * 4, 0);
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const int dx = x - Side / 2, dy = y - Side / 2;
            if (dx * dx + dy * dy > (Side / 2 - index % 4) * (Side / 2 - index % 4)) continue;
            BYTE* p = &pixels[(y * Side + x) * 4];
            p[0] = static_cast<BYTE>(40 + index * 12), p[1] = static_cast<BYTE>(x * 8),
            p[2] = static_cast<BYTE>(y * 8);
        }
    return pixels;
}

struct Mover {
    int x, y, dx, dy;
    DWORD image;
    void Step() {
        x += dx, y += dy;
        if (x < -Side || x > ScreenWidth) dx = -dx;
        if (y < -Side || y > ScreenHeight) dy = -dy;
    }
};

// A window of the screen's size with a patterned 32-bit work surface and the images in its context.
class Scene {
public:
    Scene() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = AppWindowProcW;
        wc.cbWndExtra = 12;
        wc.lpszClassName = u"BenchSprites";
        RegisterClassExW(&wc);
        context = CreateAppContext(nullptr, nullptr);
        SetAppDisplayMode(context, 8);
        AppWindowParams p{};
        p.size = sizeof p;
        p.width = -ScreenWidth, p.height = -ScreenHeight;
        p.style = WS_POPUP;
        p.className = u"BenchSprites";
        p.title = u"bench";
        p.areaWidth = -ScreenWidth, p.areaHeight = -ScreenHeight;
        p.windowType = AppWindowMain;
        window = CreateAppWindowW(context, &p);
        cSurface prototype;
        auto* model = new cBufferSurface;
        model->SetDepth(32);
        prototype.SetImplementation(model);
        cSurface* surface = NewSurface();
        surface->Create(ScreenWidth, ScreenHeight, &prototype);
        for (int y = 0; y < ScreenHeight; y += 8)
            surface->FillRect(0, y, ScreenWidth, 4, RGB(y & 0xFF, 90, 160));
        AttachWindowSurface(window, surface);
        ControlAppWindow(window, 1, 0, SpriteCount + 16);
        for (int i = 0; i < ImageCount; ++i) {
            const auto pixels = RoundImage(i);
            images.push_back(AddImage(context->banks, 8, Side, Side, Side / 2, Side / 2, 0, 0, 0, 0,
                                      pixels.data(), pixels.size(), nullptr));
        }
        std::mt19937 rng(5);
        for (int i = 0; i < SpriteCount; ++i)
            movers.push_back({int(rng() % ScreenWidth), int(rng() % ScreenHeight), int(rng() % 7) - 3,
                              int(rng() % 7) - 3, images[i % ImageCount]});
    }
    ~Scene() { DestroyAppContext(context); }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    cSurfaceImplementation& Work() { return *GetWindowSurface(window, 0)->GetImplementation(); }

    AppContext* context = nullptr;
    AppWindow* window = nullptr;
    std::vector<DWORD> images;
    std::vector<Mover> movers;
};

// Every sprite moves, then the window is refreshed; with range 0 only the refresh is timed.
void RefreshMovingSprites(benchmark::State& state) {
    const bool movesTimed = state.range(0) != 0;
    Scene scene;
    SpriteWindow* sprites = scene.window->sprites;
    std::vector<Sprite*> list;
    for (const Mover& m : scene.movers)
        list.push_back(CreateSprite(sprites, m.x, m.y, m.image, 0, 0, 0, SpriteShown, 0));
    for (auto _ : state) {
        if (!movesTimed) state.PauseTiming();
        for (int i = 0; i < SpriteCount; ++i) {
            Mover& m = scene.movers[i];
            m.Step();
            ModifySprite(sprites, list[i], m.x, m.y, m.image);
        }
        if (!movesTimed) state.ResumeTiming();
        EraseSprites(sprites);
        CommitSpriteChanges(sprites);
        DrawSprites(sprites);
        // The window's update would copy the area to the screen and empty it.
        ClearUpdateRects(scene.window);
    }
    state.SetItemsProcessed(state.iterations() * SpriteCount);
}
BENCHMARK(RefreshMovingSprites)->Arg(0)->Arg(1)->ArgNames({"moves"})->Unit(benchmark::kMillisecond);

// The floor: the same images, moved the same way, blitted with their transparent colour straight onto the
// work surface.
void BlitSpritesDirectly(benchmark::State& state) {
    Scene scene;
    std::vector<std::unique_ptr<cImageSurface>> surfaces;
    for (DWORD image : scene.images)
        surfaces.push_back(std::make_unique<cImageSurface>(
            reinterpret_cast<const ImageItem*>(GetBankItem(scene.context->banks, BankImages, image))));
    cSurfaceImplementation& work = scene.Work();
    for (auto _ : state) {
        for (int i = 0; i < SpriteCount; ++i) {
            Mover& m = scene.movers[i];
            m.Step();
            surfaces[i % ImageCount]->Blit(&work, m.x - Side / 2, m.y - Side / 2, 0, 0, Side, Side, 1, 0, 0,
                                           0);
        }
    }
    state.SetItemsProcessed(state.iterations() * SpriteCount);
}
BENCHMARK(BlitSpritesDirectly)->Unit(benchmark::kMillisecond);

} // namespace
