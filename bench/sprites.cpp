// Speed of the play-area collision planes and of the sprite display order, beside a per-pixel reference.
#include "vtrs2/sprites.h"
#include "vtrs2/banks.h"
#include "vtrs2/collision_mask.h"
#include "vtrs2/sprite_collisions.h"
#include "vtrs2/sprite_drawing.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

constexpr int Side = 4096;
constexpr int Obstacles = 2000;
constexpr int Tests = 100000;

struct Planes {
    Planes() {
        window.banks = &banks;
        window.mask.playWidth = Side;
        window.mask.playHeight = Side;
        CreateCollisionMask(&window, 64, 16, 3);
    }
    ~Planes() {
        FreeCollisionMask(&window);
        FreeAllBanks(&banks);
    }
    ContextBanks banks{};
    SpriteWindow window{};
};

// One 48 x 40 image with a round mask, in bank 0 with its mask built in bank 2.
win32::DWORD AddRoundImage(ContextBanks& banks) {
    const int w = 48, h = 40;
    std::vector<win32::BYTE> pixels(w * h * 4, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x - 24) * (x - 24) * 4 + (y - 20) * (y - 20) * 5 < 2000) pixels[(y * w + x) * 4] = 0xFF;
    const auto image = AddImage(&banks, 8, w, h, 0, 0, 0, 0, 0, 0, pixels.data(), pixels.size(), nullptr);
    GetImageCollisionMask(&banks, image, 0);
    return image;
}

void AddObstacles(benchmark::State& state) {
    Planes planes;
    const auto image = AddRoundImage(planes.banks);
    std::mt19937 rng(1);
    for (auto _ : state) {
        for (int i = 0; i < Obstacles; ++i) {
            const int x = rng() % Side - 30, y = rng() % Side - 30;
            if (i & 1)
                AddImageToCollisionMask(&planes.window, image, x, y, 3);
            else
                FillCollisionMaskBox(&planes.window, x, y, x + rng() % 64, y + rng() % 64, 3);
        }
    }
    state.SetItemsProcessed(state.iterations() * Obstacles);
}
BENCHMARK(AddObstacles)->Unit(benchmark::kMillisecond);

// The same work one pixel at a time into a plain boolean array.
void AddObstaclesPerPixelReference(benchmark::State& state) {
    std::vector<bool> plane(static_cast<std::size_t>(Side) * Side);
    std::vector<bool> round(48 * 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x)
            round[y * 48 + x] = (x - 24) * (x - 24) * 4 + (y - 20) * (y - 20) * 5 < 2000;
    std::mt19937 rng(1);
    for (auto _ : state) {
        for (int i = 0; i < Obstacles; ++i) {
            const int x0 = rng() % Side - 30, y0 = rng() % Side - 30;
            const int w = (i & 1) ? 48 : static_cast<int>(rng() % 64) + 1;
            const int h = (i & 1) ? 40 : static_cast<int>(rng() % 64) + 1;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int px = x0 + x, py = y0 + y;
                    if (px < 0 || py < 0 || px >= Side || py >= Side) continue;
                    if (!(i & 1) || round[y * 48 + x]) plane[static_cast<std::size_t>(py) * Side + px] = true;
                }
        }
        benchmark::DoNotOptimize(plane);
    }
    state.SetItemsProcessed(state.iterations() * Obstacles);
}
BENCHMARK(AddObstaclesPerPixelReference)->Unit(benchmark::kMillisecond);

void PointAndBoxTests(benchmark::State& state) {
    Planes planes;
    std::mt19937 rng(2);
    for (int i = 0; i < Obstacles; ++i) {
        const int x = rng() % Side, y = rng() % Side;
        FillCollisionMaskBox(&planes.window, x, y, x + rng() % 64, y + rng() % 64, 3);
    }
    struct Query {
        int x, y, w, h;
    };
    std::vector<Query> queries(Tests);
    for (auto& q : queries)
        q = {int(rng() % Side), int(rng() % Side), int(rng() % 48) + 1, int(rng() % 48) + 1};
    for (auto _ : state) {
        int hits = 0;
        for (int i = 0; i < Tests; ++i) {
            const Query& q = queries[i];
            hits += (i & 1) ? TestCollisionMaskRect(&planes.window, q.x, q.y, q.w, q.h, 0)
                            : TestCollisionMaskPoint(&planes.window, q.x, q.y, 0);
        }
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * Tests);
}
BENCHMARK(PointAndBoxTests)->Unit(benchmark::kMillisecond);

void SortSpritesAfterZOrderChanges(benchmark::State& state) {
    ContextBanks banks{};
    SpriteWindow window{};
    window.banks = &banks;
    // Untracked sprites: the display order alone is measured, not the overlap lists.
    window.displayMode = DisplayModeDriver;
    AllocateSpritePool(&window, Obstacles);
    std::mt19937 rng(3);
    std::vector<Sprite*> sprites;
    for (int i = 0; i < Obstacles; ++i)
        sprites.push_back(
            CreateSprite(&window, rng() % 640, rng() % 480, 0, rng() % 4, rng() % 100, 0, SpriteShown, 0));
    for (auto _ : state) {
        for (int i = 0; i < Obstacles; ++i) {
            Sprite* s = sprites[rng() % sprites.size()];
            Sprite* other = sprites[rng() % sprites.size()];
            switch (rng() % 5) {
            case 0:
                MoveSpriteToFront(&window, s);
                break;
            case 1:
                MoveSpriteToBack(&window, s);
                break;
            case 2:
                MoveSpriteInFrontOf(&window, s, other);
                break;
            case 3:
                MoveSpriteBehind(&window, s, other);
                break;
            default:
                SetSpriteLayer(&window, s, rng() % 4);
                break;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * Obstacles);
    FreeSpritePool(&window);
    FreeAllBanks(&banks);
}
BENCHMARK(SortSpritesAfterZOrderChanges)->Unit(benchmark::kMillisecond);

// 1,000 sprites with round masks in a 640 x 480 area, each tested against all the others.
constexpr int Colliders = 1000;

struct Crowd {
    explicit Crowd(bool transformed) {
        window.banks = &banks;
        window.mask.fineCollisions = 1;
        AllocateSpritePool(&window, Colliders);
        image = AddRoundImage(banks);
        std::mt19937 rng(4);
        for (int i = 0; i < Colliders; ++i) {
            Sprite* s = CreateSprite(&window, rng() % 640, rng() % 480, image, 0, 0, 0,
                                     SpriteShown | SpriteCollidable, i);
            if (transformed && (i & 1))
                ModifySpriteEx(&window, s, s->pending.x, s->pending.y, image, 1.5f, 1.5f, 0,
                               float(rng() % 360), 0);
            sprites.push_back(s);
        }
        CommitSpriteChanges(&window);
    }
    ~Crowd() {
        FreeSpritePool(&window);
        FreeAllBanks(&banks);
    }
    ContextBanks banks{};
    SpriteWindow window{};
    win32::DWORD image = 0;
    std::vector<Sprite*> sprites;
};

void CollideEverySpriteWithMasks(benchmark::State& state) {
    Crowd crowd(state.range(0) != 0);
    std::vector<SpriteHit> hits(Colliders + 1);
    for (auto _ : state) {
        int total = 0;
        for (Sprite* s : crowd.sprites) {
            const SpriteGeometry& g = s->displayed;
            total += CollectSpriteCollisions(&crowd.window, s, hits.data(), 0, g.x, g.y, g.angle, g.scaleX,
                                             g.scaleY, 0);
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * Colliders);
}
BENCHMARK(CollideEverySpriteWithMasks)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"transformed"})
    ->Unit(benchmark::kMillisecond);

// The same plain crowd tested pair by pair, pixel by pixel, on arrays of booleans.
void CollideEverySpritePerPixelReference(benchmark::State& state) {
    std::vector<bool> round(48 * 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x)
            round[y * 48 + x] = (x - 24) * (x - 24) * 4 + (y - 20) * (y - 20) * 5 < 2000;
    std::mt19937 rng(4);
    std::vector<std::pair<int, int>> at(Colliders);
    for (auto& p : at)
        p = {int(rng() % 640), int(rng() % 480)};
    for (auto _ : state) {
        int total = 0;
        for (int i = 0; i < Colliders; ++i)
            for (int j = 0; j < Colliders; ++j) {
                if (i == j) continue;
                const int left = std::max(at[i].first, at[j].first),
                          right = std::min(at[i].first, at[j].first) + 48;
                const int top = std::max(at[i].second, at[j].second),
                          bottom = std::min(at[i].second, at[j].second) + 40;
                bool hit = false;
                for (int y = top; y < bottom && !hit; ++y)
                    for (int x = left; x < right && !hit; ++x)
                        hit = round[(y - at[i].second) * 48 + x - at[i].first] &&
                              round[(y - at[j].second) * 48 + x - at[j].first];
                total += hit;
            }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * Colliders);
}
BENCHMARK(CollideEverySpritePerPixelReference)->Unit(benchmark::kMillisecond);

} // namespace
