// Every sprite search compared with a naive per-pixel reference over random shapes: the pixels a sprite
// covers are found one by one through its scale and angle, and two sprites touch where a pixel is covered by
// both.
#include "mask_reference.h"
#include "vtrs2/banks.h"
#include "vtrs2/collision_mask.h"
#include "vtrs2/sprite_collisions.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"
#include "vtrs2/surface_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using win32::DWORD;
using win32::LONG;
using win32::RECT;

constexpr int PlatformDepth = 6;

// What the reference knows of one sprite.
struct Body {
    BoolMask mask, platform;
    int hotX = 0, hotY = 0;
    DWORD image = 0;
    Sprite* sprite = nullptr;
};

// A shape as the reference tests it: the mask (or a solid box) placed by its hot spot, scaled and turned,
// seen only inside the clip.
struct RefShape {
    const BoolMask* mask; // null: solid box
    int width, height, hotX, hotY, x, y;
    double scaleX, scaleY, angle;
    RECT clip;
};

bool Solid(const RefShape& s, int u, int v) {
    return u >= 0 && v >= 0 && u < s.width && v < s.height && (!s.mask || s.mask->At(u, v));
}

bool Covers(const RefShape& s, int px, int py) {
    if (px < s.clip.left || px >= s.clip.right || py < s.clip.top || py >= s.clip.bottom) return false;
    if (s.angle == 0) {
        const int left = s.x - static_cast<int>(s.hotX * s.scaleX),
                  top = s.y - static_cast<int>(s.hotY * s.scaleY);
        const int dx = px - left, dy = py - top;
        if (dx < 0 || dy < 0 || dx >= static_cast<int>(s.width * s.scaleX) ||
            dy >= static_cast<int>(s.height * s.scaleY))
            return false;
        return Solid(s, static_cast<int>(dx / s.scaleX), static_cast<int>(dy / s.scaleY));
    }
    double c = 1, sn = 0;
    ExactCosSin(s.angle, c, sn);
    const double dx = px - s.x, dy = py - s.y;
    return Solid(s, s.hotX + static_cast<int>((dx * c - dy * sn) / s.scaleX),
                 s.hotY + static_cast<int>((dx * sn + dy * c) / s.scaleY));
}

bool Meet(const RefShape& a, const RefShape& b) {
    const int left = std::max(a.clip.left, b.clip.left), right = std::min(a.clip.right, b.clip.right);
    const int top = std::max(a.clip.top, b.clip.top), bottom = std::min(a.clip.bottom, b.clip.bottom);
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (Covers(a, x, y) && Covers(b, x, y)) return true;
    return false;
}

BoolMask PlatformOf(const BoolMask& m) {
    BoolMask p(m.width, m.height);
    for (int x = 0; x < m.width; ++x)
        for (int y = 0, kept = 0; y < m.height && kept < PlatformDepth; ++y)
            if (m.At(x, y)) p.Set(x, y, true), ++kept;
    return p;
}

struct WorldCase {
    const char* name;
    bool fine;
    unsigned seed;
    bool untracked; // display-driver mode: no overlap grid, the searches walk the whole list
};

class SpriteSearches : public ::testing::TestWithParam<WorldCase> {
protected:
    void SetUp() override {
        window.banks = &banks;
        if (GetParam().untracked) window.displayMode = DisplayModeDriver | 8;
        ASSERT_EQ(AllocateSpritePool(&window, 64), 1);
        SetFineCollisions(&window, GetParam().fine ? 1 : 0);
        rng.seed(GetParam().seed);
        for (int i = 0; i < 56; ++i)
            AddBody();
        // One deleted sprite, which no search may find.
        DeleteSprite(&window, bodies[3].sprite);
        CommitSpriteChanges(&window);
    }
    void TearDown() override {
        FreeSpritePool(&window);
        FreeAllBanks(&banks);
    }

    template <typename T> T Pick(std::initializer_list<T> values) {
        return values.begin()[rng() % values.size()];
    }

    void AddBody() {
        Body b;
        const int w = 3 + rng() % 12, h = 3 + rng() % 12;
        b.mask = BoolMask::Random(rng, w, h);
        b.platform = PlatformOf(b.mask);
        b.hotX = rng() % w, b.hotY = rng() % h;
        std::vector<win32::BYTE> pixels;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                pixels.insert(pixels.end(), {0, static_cast<win32::BYTE>(b.mask.At(x, y) ? 200 : 0), 0, 0});
        b.image =
            AddImage(&banks, 8, w, h, b.hotX, b.hotY, 0, 0, 0, 0, pixels.data(), pixels.size(), nullptr);
        DWORD flags = SpriteShown;
        if (rng() % 10 < 7) flags |= SpriteCollidable;
        if (rng() % 10 < 3) flags |= SpriteBack;
        if (rng() % 10 < 2) flags |= SpriteBoxOnly;
        if (rng() % 10 < 2) flags |= SpritePlatform;
        if (rng() % 10 < 1) flags |= SpriteNoHotSpot;
        if (flags & SpriteNoHotSpot) b.hotX = b.hotY = 0;
        b.sprite = CreateSprite(&window, rng() % 80 - 8, rng() % 80 - 8, b.image, rng() % 2, rng() % 3, 0,
                                flags, static_cast<win32::LONG_PTR>(bodies.size() + 100));
        const float scale = Pick({1.0f, 1.0f, 2.0f, 0.5f, 1.5f});
        const float angle = Pick({0.0f, 0.0f, 90.0f, 180.0f, 30.0f, 45.0f, 300.0f});
        SetSpriteScale(&window, b.sprite, scale, Pick({scale, 1.0f}), 0);
        SetSpriteAngle(&window, b.sprite, angle, 0);
        bodies.push_back(b);
    }

    const Body& BodyOf(const Sprite* s) const {
        for (const Body& b : bodies)
            if (b.sprite == s) return b;
        throw std::logic_error("not a body");
    }

    bool Fine(const Sprite* s) const { return GetParam().fine && !(s->flags & SpriteBoxOnly); }

    // A displayed sprite as the reference sees it; platform sprites among back sprites use their platform
    // mask.
    RefShape ShapeOf(const Sprite* s, bool fine, bool platform) const {
        const Body& b = BodyOf(s);
        const SpriteGeometry& g = s->displayed;
        const BoolMask* mask = fine ? (platform ? &b.platform : &b.mask) : nullptr;
        return {mask, b.mask.width, b.mask.height, b.hotX,  b.hotY, g.x,
                g.y,  g.scaleX,     g.scaleY,      g.angle, g.rect};
    }

    std::vector<Sprite*> DisplayOrder() const {
        std::vector<Sprite*> list;
        for (Sprite* s = window.sprites->first; s; s = s->next)
            list.push_back(s);
        return list;
    }

    static bool InSearch(const Sprite* s, int layer, DWORD flags) {
        const int wanted = (flags & SearchBackSprites) ? 0 : 1;
        return layer == -1 ? (s->layerKey & 1) == wanted : s->layerKey == layer * 2 + wanted;
    }

    // -1 skipped, 1 platform mask, 0 the full mask.
    static int PlatformRule(const Sprite* s, DWORD flags) {
        if (!(flags & SearchBackSprites) || !(s->flags & SpritePlatform)) return 0;
        return (flags & SearchSkipPlatforms) ? -1 : 1;
    }

    static bool Candidate(const Sprite* s, DWORD flags) {
        return ((s->flags & SpriteCollidable) || (flags & SearchEverySprite)) && !(s->flags & SpriteDeleted);
    }

    std::vector<Sprite*> ReferenceAtPoint(int layer, LONG x, LONG y, DWORD flags) const {
        std::vector<Sprite*> hits;
        for (Sprite* s : DisplayOrder()) {
            const RECT& r = s->displayed.rect;
            const int rule = PlatformRule(s, flags);
            if (!InSearch(s, layer, flags) || !Candidate(s, flags) || rule < 0) continue;
            if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) continue;
            // A box that is not turned is hit anywhere in its rectangle.
            if ((!Fine(s) && s->displayed.angle == 0) || Covers(ShapeOf(s, Fine(s), rule == 1), x, y))
                hits.push_back(s);
        }
        return hits;
    }

    std::vector<Sprite*> ReferenceInRect(int layer, const RECT& area, DWORD flags) const {
        std::vector<Sprite*> hits;
        const RefShape box{nullptr,
                           int(area.right - area.left),
                           int(area.bottom - area.top),
                           0,
                           0,
                           int(area.left),
                           int(area.top),
                           1,
                           1,
                           0,
                           area};
        for (Sprite* s : DisplayOrder()) {
            const RECT& r = s->displayed.rect;
            const int rule = PlatformRule(s, flags);
            if (!InSearch(s, layer, flags) || !Candidate(s, flags) || rule < 0) continue;
            // The rectangle's edges are compared inclusively; a sprite scaled to nothing meets none.
            if (r.right <= r.left || r.bottom <= r.top || area.left > r.right || area.right < r.left ||
                area.top > r.bottom || area.bottom < r.top)
                continue;
            if ((!Fine(s) && s->displayed.angle == 0) || Meet(ShapeOf(s, Fine(s), rule == 1), box))
                hits.push_back(s);
        }
        return hits;
    }

    // Every sprite that `mover` touches drawn at (x, y) with that angle, scales and height limit.
    std::vector<Sprite*> ReferenceCollisions(const Sprite* mover, LONG x, LONG y, float angle, float sx,
                                             float sy, LONG heightLimit, DWORD flags) const {
        std::vector<Sprite*> hits;
        if (!(flags & SearchBackSprites) && !(mover->flags & SpriteCollidable)) return hits;
        if (sx <= 0 || sy <= 0) return hits;
        const int key = (flags & SearchBackSprites) ? mover->layerKey & ~1 : mover->layerKey | 1;
        const Body& b = BodyOf(mover);
        win32::SIZE size{static_cast<LONG>(b.mask.width * sx), static_cast<LONG>(b.mask.height * sy)};
        win32::POINT hot{static_cast<LONG>(b.hotX * sx), static_cast<LONG>(b.hotY * sy)};
        if (angle != 0) RotateImageBounds(&size, &hot, nullptr, angle);
        RECT box{x - hot.x, y - hot.y, x - hot.x + size.cx, y - hot.y + size.cy};
        if (heightLimit > 0 && box.bottom - heightLimit > box.top) box.top = box.bottom - heightLimit;
        const bool fine = Fine(mover);
        const RefShape me{fine ? &b.mask : nullptr,
                          b.mask.width,
                          b.mask.height,
                          b.hotX,
                          b.hotY,
                          int(x),
                          int(y),
                          sx,
                          sy,
                          angle,
                          box};
        for (Sprite* other : DisplayOrder()) {
            const int rule = PlatformRule(other, flags);
            if (other == mover || other->layerKey != key || !(other->flags & SpriteCollidable) ||
                (other->flags & SpriteDeleted) || rule < 0)
                continue;
            const bool both = fine && !(other->flags & SpriteBoxOnly);
            if (Meet(me, ShapeOf(other, both, rule == 1))) hits.push_back(other);
        }
        return hits;
    }

    // Every hit, each search starting after the previous hit.
    static std::vector<Sprite*> Enumerate(const std::function<Sprite*(Sprite*)>& next) {
        std::vector<Sprite*> found;
        for (Sprite* s = next(nullptr); s && found.size() < 64; s = next(s))
            found.push_back(s);
        return found;
    }

    ContextBanks banks{};
    SpriteWindow window{};
    std::mt19937 rng;
    std::vector<Body> bodies;
};

constexpr DWORD SearchFlagSets[] = {0, SearchEverySprite, SearchBackSprites,
                                    SearchBackSprites | SearchEverySprite,
                                    SearchBackSprites | SearchSkipPlatforms};

TEST_P(SpriteSearches, PointSearchesEnumerateEverySpriteUnderThePointOnce) {
    for (int q = 0; q < 300; ++q) {
        const LONG x = rng() % 90 - 10, y = rng() % 90 - 10;
        for (const DWORD flags : SearchFlagSets)
            for (const int layer : {-1, 0, 1}) {
                const auto found = Enumerate([&](Sprite* previous) {
                    return FindSpriteAtPoint(&window, previous, layer, x, y, flags);
                });
                ASSERT_EQ(found, ReferenceAtPoint(layer, x, y, flags))
                    << "point (" << x << "," << y << ") layer " << layer << " flags " << flags;
            }
    }
}

TEST_P(SpriteSearches, RectangleSearchesEnumerateEverySpriteMeetingIt) {
    for (int q = 0; q < 200; ++q) {
        const LONG x = rng() % 90 - 10, y = rng() % 90 - 10;
        const RECT area{x, y, x + 1 + LONG(rng() % 12), y + 1 + LONG(rng() % 12)};
        for (const DWORD flags : SearchFlagSets)
            for (const int layer : {-1, 0, 1}) {
                const auto found = Enumerate([&](Sprite* previous) {
                    return FindSpriteInRect(&window, previous, layer, area.left, area.top,
                                            area.right - area.left, area.bottom - area.top, flags);
                });
                ASSERT_EQ(found, ReferenceInRect(layer, area, flags))
                    << "rectangle (" << area.left << "," << area.top << ")-(" << area.right << ","
                    << area.bottom << ") layer " << layer << " flags " << flags;
            }
    }
}

TEST_P(SpriteSearches, SpriteCollisionsMatchTheSharedPixels) {
    for (int q = 0; q < 500; ++q) {
        const Body& b = bodies[rng() % bodies.size()];
        // Half the tests drop the sprite right onto another.
        const Sprite* onto = bodies[rng() % bodies.size()].sprite;
        const bool near = rng() % 2;
        const LONG x = near ? onto->displayed.x + LONG(rng() % 9) - 4 : LONG(rng() % 90) - 10;
        const LONG y = near ? onto->displayed.y + LONG(rng() % 9) - 4 : LONG(rng() % 90) - 10;
        const float angle = Pick({0.0f, 0.0f, 90.0f, 270.0f, 20.0f, 135.0f});
        const float sx = Pick({1.0f, 1.0f, 2.0f, 0.75f}), sy = Pick({sx, 1.0f, 1.5f});
        const LONG limit = Pick({0, 0, 3, 40});
        const DWORD flags = Pick({DWORD{0}, SearchBackSprites, SearchBackSprites | SearchSkipPlatforms});
        const auto expected = ReferenceCollisions(b.sprite, x, y, angle, sx, sy, limit, flags);
        const std::string where =
            "sprite " + std::to_string(&b - bodies.data()) + " at (" + std::to_string(x) + "," +
            std::to_string(y) + ") angle " + std::to_string(angle) + " scale " + std::to_string(sx) + "x" +
            std::to_string(sy) + " limit " + std::to_string(limit) + " flags " + std::to_string(flags);
        EXPECT_EQ(CollideSpriteWithSprites(&window, b.sprite, 0, x, y, angle, sx, sy, limit, flags),
                  expected.empty() ? nullptr : expected.front())
            << where;
        if (limit != 0) continue;
        std::vector<SpriteHit> hits(bodies.size() + 1, SpriteHit{});
        const int count =
            CollectSpriteCollisions(&window, b.sprite, hits.data(), 0, x, y, angle, sx, sy, flags);
        std::vector<Sprite*> collected;
        for (int i = 0; i < count; ++i) {
            collected.push_back(hits[i].sprite);
            EXPECT_EQ(hits[i].userData, hits[i].sprite->userData);
        }
        EXPECT_EQ(hits[count].sprite, nullptr) << "the list is closed";
        EXPECT_EQ(collected, expected) << where;
        ASSERT_FALSE(testing::Test::HasFailure()) << where;
    }
}

INSTANTIATE_TEST_SUITE_P(Worlds, SpriteSearches,
                         ::testing::Values(WorldCase{"BoxesSeed1", false, 1, false},
                                           WorldCase{"MasksSeed1", true, 1, false},
                                           WorldCase{"BoxesSeed7", false, 7, false},
                                           WorldCase{"MasksSeed7", true, 7, false},
                                           WorldCase{"MasksSeed23", true, 23, false},
                                           WorldCase{"UntrackedBoxesSeed3", false, 3, true},
                                           WorldCase{"UntrackedMasksSeed3", true, 3, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Two hand-made sprites: a ring (solid border, hollow middle) and a dot.
class SearchEdges : public ::testing::Test {
protected:
    void SetUp() override {
        window.banks = &banks;
        ASSERT_EQ(AllocateSpritePool(&window, 8), 1);
        std::vector<win32::BYTE> ring(8 * 8 * 4, 0), dot(2 * 2 * 4, 0xFF);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                if (x == 0 || y == 0 || x == 7 || y == 7) ring[(y * 8 + x) * 4 + 1] = 0xFF;
        ringImage = AddImage(&banks, 8, 8, 8, 0, 0, 0, 0, 0, 0, ring.data(), ring.size(), nullptr);
        dotImage = AddImage(&banks, 8, 2, 2, 0, 0, 0, 0, 0, 0, dot.data(), dot.size(), nullptr);
        ringSprite = CreateSprite(&window, 10, 10, ringImage, 0, 0, 0, SpriteShown | SpriteCollidable, 1);
        dotSprite = CreateSprite(&window, 13, 13, dotImage, 0, 1, 0, SpriteShown | SpriteCollidable, 2);
    }
    void TearDown() override {
        FreeSpritePool(&window);
        FreeAllBanks(&banks);
    }
    ContextBanks banks{};
    SpriteWindow window{};
    DWORD ringImage = 0, dotImage = 0;
    Sprite* ringSprite = nullptr;
    Sprite* dotSprite = nullptr;
};

TEST_F(SearchEdges, BoxesTouchWhereMasksDoNot) {
    // The dot lies in the ring's hollow middle.
    SetFineCollisions(&window, 0);
    EXPECT_EQ(CollideSpriteWithSprites(&window, dotSprite, 0, 13, 13, 0, 1, 1, 0, 0), ringSprite);
    SetFineCollisions(&window, 1);
    EXPECT_EQ(CollideSpriteWithSprites(&window, dotSprite, 0, 13, 13, 0, 1, 1, 0, 0), nullptr);
    EXPECT_EQ(CollideSpriteWithSprites(&window, dotSprite, 0, 16, 13, 0, 1, 1, 0, 0), ringSprite)
        << "on the ring's right border";
    SetSpriteFlags(&window, dotSprite, GetSpriteFlags(&window, dotSprite) | SpriteBoxOnly);
    EXPECT_EQ(CollideSpriteWithSprites(&window, dotSprite, 0, 13, 13, 0, 1, 1, 0, 0), ringSprite)
        << "a box-only sprite collides by boxes";
}

TEST_F(SearchEdges, RightAndBottomEdgesAreOutside) {
    EXPECT_EQ(FindSpriteAtPoint(&window, nullptr, 0, 17, 17, 0), ringSprite);
    EXPECT_EQ(FindSpriteAtPoint(&window, nullptr, 0, 18, 12, 0), nullptr);
    EXPECT_EQ(FindSpriteAtPoint(&window, nullptr, 0, 12, 18, 0), nullptr);
    // Repeated searches from the last hit give every sprite under the point once, in display order.
    SetFineCollisions(&window, 0);
    EXPECT_EQ(FindSpriteAtPoint(&window, nullptr, -1, 13, 13, 0), ringSprite);
    EXPECT_EQ(FindSpriteAtPoint(&window, ringSprite, -1, 13, 13, 0), dotSprite);
    EXPECT_EQ(FindSpriteAtPoint(&window, dotSprite, -1, 13, 13, 0), nullptr);
}

TEST_F(SearchEdges, OnlyCollidableSpritesCollideUnlessBackSpritesAreSearched) {
    SetFineCollisions(&window, 1);
    SetSpriteCollidable(&window, dotSprite, 0);
    EXPECT_EQ(CollideSpriteWithSprites(&window, dotSprite, 0, 16, 13, 0, 1, 1, 0, 0), nullptr);
    EXPECT_EQ(FindSpriteAtPoint(&window, nullptr, 0, 13, 13, 0), nullptr) << "not collidable, not taken";
    EXPECT_EQ(FindSpriteAtPoint(&window, nullptr, 0, 13, 13, SearchEverySprite), dotSprite);
    Sprite* back =
        CreateSprite(&window, 13, 13, dotImage, 0, 0, 0, SpriteShown | SpriteBack | SpriteCollidable, 3);
    EXPECT_EQ(CollideSpriteWithSprites(&window, dotSprite, 0, 13, 13, 0, 1, 1, 0, SearchBackSprites), back);
    SetSpriteFlags(&window, back, GetSpriteFlags(&window, back) | SpritePlatform);
    EXPECT_EQ(CollideSpriteWithSprites(&window, dotSprite, 0, 13, 13, 0, 1, 1, 0,
                                       SearchBackSprites | SearchSkipPlatforms),
              nullptr);
    // A zero scale collides with nothing.
    EXPECT_EQ(CollideSpriteWithSprites(&window, dotSprite, 0, 13, 13, 0, 0, 1, 0, SearchBackSprites),
              nullptr);
}

} // namespace
