#include "vtrs2/banks.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/sprite_collisions.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using win32::DWORD;
using win32::LONG;
using win32::RECT;

namespace {

class Sprites : public testing::Test {
protected:
    void SetUp() override {
        window.banks = &banks;
        ASSERT_EQ(AllocateSpritePool(&window, 64), 1);
        const std::vector<win32::BYTE> pixels(4 * 10 * 20, 1);
        image = AddImage(&banks, 8, 10, 20, 3, 4, 0, 0, 0, 0, pixels.data(), pixels.size(), nullptr);
        other = AddImage(&banks, 8, 6, 6, 0, 0, 0, 0, 0, 0, pixels.data(), 4 * 36, nullptr);
    }
    void TearDown() override {
        FreeSpritePool(&window);
        FreeAllBanks(&banks);
    }

    Sprite* Make(int layer, LONG z, DWORD flags = SpriteShown, LONG x = 0, LONG y = 0) {
        return CreateSprite(&window, x, y, image, layer, z, 0, flags, 0);
    }

    std::vector<Sprite*> Order() {
        std::vector<Sprite*> list;
        for (Sprite* s = window.sprites->first; s; s = s->next)
            list.push_back(s);
        return list;
    }

    // Every sprite as the draw pass leaves it: shown, unchanged, not waiting for a redraw.
    void Settle() {
        for (Sprite* s : Order())
            if (!(s->flags & SpriteHidden))
                s->flags = (s->flags & ~(SpriteChanged | SpriteRedraw)) | SpriteShown;
    }

    // The unchanged sprites the erase pass flags to be drawn again, in display order.
    std::vector<Sprite*> Redrawn() {
        EraseSprites(&window);
        std::vector<Sprite*> flagged;
        for (Sprite* s : Order())
            if ((s->flags & (SpriteRedraw | SpriteChanged)) == SpriteRedraw) flagged.push_back(s);
        return flagged;
    }

    // The display list is linked both ways and sorted by layer key, then z-order.
    void ExpectOrdered() {
        Sprite* previous = nullptr;
        int n = 0;
        for (Sprite* s = window.sprites->first; s; previous = s, s = s->next, ++n) {
            ASSERT_EQ(s->previous, previous);
            if (previous) {
                ASSERT_TRUE(previous->layerKey < s->layerKey ||
                            (previous->layerKey == s->layerKey && previous->zOrder <= s->zOrder))
                    << "position " << n;
            }
        }
        ASSERT_EQ(window.sprites->last, previous);
    }

    ContextBanks banks{};
    SpriteWindow window{};
    DWORD image = 0, other = 0;
};

TEST_F(Sprites, PoolHoldsExactlyItsCountAndReusesFreedRecords) {
    ASSERT_EQ(AllocateSpritePool(&window, 5), 1);
    std::vector<Sprite*> made;
    for (int i = 0; i < 5; ++i)
        made.push_back(Make(0, i));
    for (Sprite* s : made)
        ASSERT_NE(s, nullptr);
    EXPECT_EQ(Make(0, 9), nullptr);
    EXPECT_EQ(Order().size(), 5u) << "a refused creation changes nothing";
    FreeSprite(&window, made[1]);
    FreeSprite(&window, made[2]);
    EXPECT_NE(Make(0, 1), nullptr);
    EXPECT_NE(Make(0, 2), nullptr);
    EXPECT_EQ(Make(0, 3), nullptr);
    // A new pool replaces the old one and its sprites.
    ASSERT_EQ(AllocateSpritePool(&window, 1), 1);
    EXPECT_EQ(window.sprites->first, nullptr);
    EXPECT_NE(Make(0, 0), nullptr);
    EXPECT_EQ(Make(0, 0), nullptr);
}

TEST_F(Sprites, OrderFollowsLayerKeyThenZThenCreation) {
    Sprite* a = Make(1, 5);
    Sprite* b = Make(0, 9);
    Sprite* c = Make(1, 5);
    Sprite* backOf2 = Make(2, 0, SpriteShown | SpriteBack);
    Sprite* front2 = Make(2, -3);
    Sprite* d = Make(1, 2);
    EXPECT_EQ(Order(), (std::vector<Sprite*>{b, d, a, c, backOf2, front2}));
    EXPECT_EQ(backOf2->layerKey, 4);
    EXPECT_EQ(front2->layerKey, 5);
    EXPECT_EQ(GetSpriteLayer(&window, backOf2), 2);
    EXPECT_TRUE(IsSpriteInFront(&window, c, d));
    EXPECT_FALSE(IsSpriteInFront(&window, a, c)) << "equal key and z-order";
    EXPECT_FALSE(IsSpriteBehind(&window, a, c));
    EXPECT_TRUE(IsSpriteBehind(&window, backOf2, front2));
    EXPECT_EQ(FindFirstLayerSprite(&window, 1, 0), d);
    EXPECT_EQ(FindLastLayerSprite(&window, 1, 0), c);
    EXPECT_EQ(FindFirstLayerSprite(&window, 2, 1), backOf2);
    EXPECT_EQ(FindFirstLayerSprite(&window, 3, 0), nullptr);
    EXPECT_EQ(FindFirstLayerSprite(&window, -1, 0), b);
    EXPECT_EQ(FindLastLayerSprite(&window, -1, 0), front2);
    // Back sprites wanted / front sprites wanted, within the key or across.
    EXPECT_EQ(FindNextSprite(&window, c, 0), front2);
    EXPECT_EQ(FindNextSprite(&window, c, 1), backOf2);
    EXPECT_EQ(FindNextSprite(&window, c, 2), nullptr);
    EXPECT_EQ(FindNextSprite(&window, d, 2), a);
    EXPECT_EQ(FindPreviousSprite(&window, front2, 0), c);
    EXPECT_EQ(FindPreviousSprite(&window, front2, 2), nullptr);
}

TEST_F(Sprites, OrderOperationsPlaceSpritesAndKeepZAscending) {
    Sprite* s[5];
    for (int i = 0; i < 5; ++i)
        s[i] = Make(1, 10 + i);
    Sprite* far = Make(3, 0);
    MoveSpriteToFront(&window, s[1]);
    EXPECT_EQ(Order(), (std::vector<Sprite*>{s[0], s[2], s[3], s[4], s[1], far}));
    MoveSpriteToBack(&window, s[3]);
    EXPECT_EQ(Order(), (std::vector<Sprite*>{s[3], s[0], s[2], s[4], s[1], far}));
    MoveSpriteInFrontOf(&window, s[0], s[4]);
    EXPECT_EQ(Order(), (std::vector<Sprite*>{s[3], s[2], s[4], s[0], s[1], far}));
    MoveSpriteBehind(&window, s[1], s[2]);
    EXPECT_EQ(Order(), (std::vector<Sprite*>{s[3], s[1], s[2], s[4], s[0], far}));
    ExpectOrdered();
    // Only within one key and in the right direction.
    MoveSpriteInFrontOf(&window, s[0], far);
    MoveSpriteInFrontOf(&window, s[0], s[3]);
    EXPECT_EQ(Order(), (std::vector<Sprite*>{s[3], s[1], s[2], s[4], s[0], far}));
    SetSpriteLayer(&window, s[2], 3);
    EXPECT_EQ(Order().back(), s[2]);
    EXPECT_EQ(s[2]->zOrder, far->zOrder + 1);
    SetSpriteLayer(&window, far, 0);
    EXPECT_EQ(Order().front(), far);
    EXPECT_EQ(far->zOrder, 1);
    ExpectOrdered();
    const auto before = Order();
    s[4]->flags &= ~SpriteChanged;
    SetSpriteLayer(&window, s[4], 1);
    EXPECT_EQ(Order(), before);
    EXPECT_FALSE(s[4]->flags & SpriteChanged) << "the own layer changes nothing";
    EXPECT_EQ(SwapSprites(&window, s[3], s[3]), nullptr);
}

TEST_F(Sprites, RandomInsertsMovesAndDeletesKeepTheListSorted) {
    std::mt19937 rng(5);
    std::vector<Sprite*> live;
    for (int step = 0; step < 3000; ++step) {
        const int op = rng() % 8;
        if (op <= 1 || live.size() < 2) {
            if (Sprite* s = Make(rng() % 4, rng() % 7 - 3, (rng() % 3 == 0 ? SpriteBack : 0) | SpriteShown))
                live.push_back(s);
            continue;
        }
        Sprite* s = live[rng() % live.size()];
        Sprite* t = live[rng() % live.size()];
        switch (op) {
        case 2:
            MoveSpriteToFront(&window, s);
            break;
        case 3:
            MoveSpriteToBack(&window, s);
            break;
        case 4:
            MoveSpriteInFrontOf(&window, s, t);
            break;
        case 5:
            MoveSpriteBehind(&window, s, t);
            break;
        case 6:
            SetSpriteLayer(&window, s, rng() % 4);
            break;
        default:
            FreeSprite(&window, s);
            live.erase(std::find(live.begin(), live.end(), s));
            break;
        }
        ASSERT_NO_FATAL_FAILURE(ExpectOrdered()) << "step " << step << " op " << op;
        ASSERT_EQ(Order().size(), live.size());
    }
}

TEST_F(Sprites, CreationSetsGeometryFlagsAndInk) {
    Sprite* s =
        CreateSprite(&window, 100, 50, image, 0, 0, 0x123456,
                     SpriteShown | SpriteDeleted | SpriteOwnerDrawn | SpriteRedraw | SpriteAntialias, 77);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->flags, SpriteShown | SpriteChanged);
    EXPECT_EQ(s->ink, InkTransparent);
    EXPECT_EQ(GetSpriteUserData(&window, s), 77);
    const RECT expected{97, 46, 107, 66};
    RECT shown{}, pending{};
    GetSpriteDisplayedRect(&window, s, &shown);
    GetSpriteRect(&window, s, &pending);
    EXPECT_EQ(std::tie(shown.left, shown.top, shown.right, shown.bottom),
              std::tie(expected.left, expected.top, expected.right, expected.bottom));
    EXPECT_EQ(pending.right, 107);
    EXPECT_EQ(s->lastDrawn.left, -1);
    Sprite* noHot = CreateSprite(&window, 100, 50, image, 0, 0, 0, SpriteNoHotSpot, 0);
    EXPECT_EQ(noHot->displayed.rect.left, 100);
    Sprite* missing = CreateSprite(&window, 5, 5, 999, 0, 0, 0, 0, 0);
    EXPECT_EQ(missing->displayed.width, 1);
    EXPECT_EQ(missing->displayed.height, 1);
}

win32::LONG_PTR RecordingRoutine(Sprite* s, int code, win32::LONG_PTR value) {
    auto* log = reinterpret_cast<std::vector<int>*>(s->userData);
    log->push_back(code * 100000 + static_cast<int>(value));
    return code == 4 ? 0x1000 : 0;
}

TEST_F(Sprites, OwnerDrawnSpriteCallsItsRoutine) {
    std::vector<int> log;
    Sprite* s = CreateSpriteEx(&window, 10, 20, 40, 30, 0, 0, 0, SpriteShown | SpriteRedraw,
                               reinterpret_cast<win32::LONG_PTR>(&log), RecordingRoutine);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->flags, SpriteShown | SpriteOwnerDrawn | SpriteChanged);
    EXPECT_EQ(s->displayed.rect.right, 40);
    EXPECT_EQ(s->displayed.height, 10);
    EXPECT_EQ(reinterpret_cast<win32::LONG_PTR>(GetSpriteCollisionMask(&window, s, 0, 0x1001)), 0x1000);
    SetSpriteRect(&window, s, 0, 0, 5, 5);
    EXPECT_EQ(s->pending.rect.right, 5);
    EXPECT_EQ(s->displayed.rect.right, 40);
    FreeSprite(&window, s);
    EXPECT_EQ(log, (std::vector<int>{4 * 100000 + 0x1001, 3 * 100000}));
}

TEST_F(Sprites, HidingWaitsForTheErasePassOnlyWhenDrawn) {
    Sprite* never = Make(0, 0);
    ShowSprite(&window, never, 0);
    EXPECT_TRUE(never->flags & SpriteHidden);
    EXPECT_FALSE(never->flags & SpriteHidePending);
    Sprite* drawn = Make(0, 0);
    drawn->lastDrawn = {0, 0, 10, 10};
    ShowSprite(&window, drawn, 0);
    EXPECT_TRUE(drawn->flags & SpriteHidePending);
    EXPECT_FALSE(drawn->flags & SpriteHidden);
    drawn->flags |= SpriteHidden | SpriteSuspended;
    ShowSprite(&window, drawn, 1);
    EXPECT_EQ(drawn->flags & (SpriteHidden | SpriteHidePending | SpriteSuspended), SpriteSuspended);
    // A sprite created without 0x8 stays so until state code 0.
    Sprite* quiet = Make(0, 0, 0);
    ShowSprite(&window, quiet, 1);
    EXPECT_FALSE(quiet->flags & SpriteShown);
    SetSpriteState(&window, quiet, 0);
    EXPECT_TRUE(quiet->flags & SpriteShown);
}

TEST_F(Sprites, StateCodesOnOneSpriteAndOnAll) {
    Sprite* s = Make(0, 0, 0);
    struct Step {
        int code;
        DWORD set, clear;
    };
    for (const Step step : {Step{0, SpriteShown | SpriteChanged, 0}, Step{2, 0, SpriteShown},
                            Step{8, SpriteSuspended, 0}, Step{4, 0, SpriteSuspended}}) {
        s->flags &= ~SpriteChanged;
        SetSpriteState(&window, s, step.code);
        EXPECT_EQ(s->flags & step.set, step.set) << step.code;
        EXPECT_EQ(s->flags & step.clear, 0u) << step.code;
    }
    Sprite* hidden = Make(0, 0, SpriteHidden);
    Sprite* back = Make(0, 0, SpriteBack);
    for (Sprite* x : {s, hidden, back})
        x->flags &= ~(SpriteChanged | SpriteShown);
    SetSpriteState(&window, nullptr, 0);
    EXPECT_EQ(hidden->flags & (SpriteShown | SpriteChanged), SpriteShown);
    EXPECT_EQ(back->flags & (SpriteShown | SpriteChanged), SpriteShown | SpriteChanged);
    for (Sprite* x : {s, hidden, back})
        x->flags &= ~SpriteChanged;
    SetSpriteState(&window, nullptr, 17);
    EXPECT_TRUE(s->flags & SpriteChanged);
    EXPECT_FALSE(back->flags & SpriteChanged);
    EXPECT_FALSE(hidden->flags & SpriteChanged);
    SetSpriteState(&window, nullptr, 3);
    EXPECT_FALSE(s->flags & SpriteShown);
    SetSpriteState(&window, nullptr, 8);
    EXPECT_TRUE(hidden->flags & SpriteSuspended);
}

TEST_F(Sprites, FlagWordsCollidableAndDelete) {
    Sprite* s = Make(0, 0);
    EXPECT_EQ(SetSpriteCollidable(&window, s, 1), 0);
    EXPECT_EQ(SetSpriteCollidable(&window, s, 0), 1);
    EXPECT_EQ(SetSpriteFlags(&window, s, 0x1234), SpriteShown | SpriteChanged);
    EXPECT_EQ(GetSpriteFlags(&window, s), 0x1234u);
    SetSpriteFlags(&window, s, SpriteShown | SpriteCollidable);
    DeleteSprite(&window, s);
    EXPECT_EQ(s->flags, SpriteDeleted | SpriteChanged);
    EXPECT_EQ(GetSpriteFlags(&window, nullptr), 0u);
    EXPECT_EQ(SetSpriteFlags(nullptr, s, 0), 0u);
}

TEST_F(Sprites, AngleAndScaleAreNormalisedAndMarkRebuild) {
    Sprite* s = Make(0, 0);
    SetSpriteAngle(&window, s, 370, 1);
    EXPECT_FLOAT_EQ(GetPendingSpriteAngle(&window, s, nullptr), 10);
    int antialias = 0;
    GetPendingSpriteAngle(&window, s, &antialias);
    EXPECT_EQ(antialias, 1);
    EXPECT_TRUE(s->flags & SpriteRebuildTransformed);
    SetSpriteAngle(&window, s, -90, 0);
    EXPECT_FLOAT_EQ(GetPendingSpriteAngle(&window, s, &antialias), 270);
    EXPECT_EQ(antialias, 0);
    EXPECT_FLOAT_EQ(GetSpriteAngle(&window, s, nullptr), 0) << "the displayed angle waits for the commit";
    SetSpriteAngle(&window, s, 0, 1);
    EXPECT_FALSE(s->flags & SpriteAntialias) << "no antialiasing at angle 0";

    s->flags &= ~SpriteRebuildTransformed;
    SetSpriteScale(&window, s, 2, -1, 1);
    float sx = 0, sy = 0;
    int resample = 0;
    GetPendingSpriteScale(&window, s, &sx, &sy, &resample);
    EXPECT_EQ(sx, 2);
    EXPECT_EQ(sy, 0);
    EXPECT_EQ(resample, 1);
    EXPECT_TRUE(s->flags & SpriteRebuildTransformed);
    EXPECT_EQ(s->pending.rect.left, -6);
    EXPECT_EQ(s->pending.rect.right, 14);
    s->flags &= ~SpriteRebuildTransformed;
    SetSpriteScale(&window, s, 2, 0, 1);
    EXPECT_FALSE(s->flags & SpriteRebuildTransformed) << "unchanged";
    SetSpriteScale(&window, s, 1, 1, 1);
    EXPECT_FALSE(s->flags & SpriteResample) << "no resampling at scale 1";
    GetSpriteScale(&window, nullptr, &sx, &sy, nullptr);
    EXPECT_EQ(sx, 1);
    EXPECT_EQ(sy, 1);
}

TEST_F(Sprites, TurnedSpriteTakesTheBoundsOfItsTurnedImage) {
    Sprite* s = Make(0, 0, SpriteShown, 50, 50);     // 10 x 20, hot spot (3, 4)
    Sprite* right = Make(0, 1, SpriteShown, 75, 40); // [75, 81) x [40, 46)
    s->displayed = s->pending;
    Settle();
    // Scaled: 20 x 40 about (6, 8); turned a quarter counter-clockwise: 40 x 20 about (8, 14).
    ModifySpriteEx(&window, s, 50, 50, image, 2, 2, 0, 90, 0);
    EXPECT_EQ(s->pending.rect.left, 42);
    EXPECT_EQ(s->pending.rect.top, 36);
    EXPECT_EQ(s->pending.rect.right, 82);
    EXPECT_EQ(s->pending.rect.bottom, 56);
    EXPECT_EQ(Redrawn(), std::vector<Sprite*>{right})
        << "the turned rectangle reaches the sprite on the right";
    SetSpriteAngle(&window, s, 180, 0);
    EXPECT_EQ(s->pending.rect.left, 50 - 14);
    EXPECT_EQ(s->pending.rect.top, 50 - 32);
    EXPECT_EQ(s->pending.rect.right, 50 + 6);
    EXPECT_EQ(s->pending.rect.bottom, 50 + 8);
}

TEST_F(Sprites, ModifyChangesPendingGeometryOnly) {
    Sprite* s = Make(0, 0, SpriteShown, 10, 10);
    s->flags &= ~SpriteChanged;
    EXPECT_EQ(ModifySprite(&window, s, 10, 10, image), s);
    EXPECT_FALSE(s->flags & SpriteChanged) << "same position and image";
    ModifySprite(&window, s, 30, 40, other);
    EXPECT_TRUE(s->flags & SpriteChanged);
    EXPECT_EQ(s->pendingImage, other);
    EXPECT_EQ(s->image, image);
    EXPECT_EQ(s->pending.rect.left, 30);
    EXPECT_EQ(s->pending.rect.right, 36);
    EXPECT_EQ(s->displayed.rect.left, 7);
    EXPECT_FALSE(s->flags & SpriteRebuildTransformed) << "neither scaled nor rotated";
    SetSpriteScale(&window, s, 2, 2, 0);
    s->flags &= ~SpriteRebuildTransformed;
    ModifySprite(&window, s, 30, 40, image);
    EXPECT_TRUE(s->flags & SpriteRebuildTransformed);
    ModifySpriteEx(&window, s, 30, 40, image, 1, 1, 0, -30, 1);
    EXPECT_FLOAT_EQ(s->pending.angle, 330);
    EXPECT_TRUE(s->flags & SpriteAntialias);
}

TEST_F(Sprites, ChangesRedrawOverlappingShownSpritesInChains) {
    Sprite* moved = Make(0, 0, SpriteShown, 0, 0);    // [-3, 7) x [-4, 16)
    Sprite* near = Make(0, 1, SpriteShown, 8, 0);     // [5, 15)
    Sprite* chained = Make(0, 2, SpriteShown, 16, 0); // [13, 23): meets near only
    Sprite* far = Make(0, 3, SpriteShown, 100, 0);    // alone
    Sprite* hidden = Make(0, 4, SpriteShown | SpriteHidden, 2, 0);
    Settle();
    ModifySprite(&window, moved, 1, 0, image);
    EXPECT_FALSE(near->flags & SpriteRedraw) << "found by the erase pass, not by the move";
    EXPECT_EQ(Redrawn(), (std::vector<Sprite*>{near, chained}));
    EXPECT_FALSE(hidden->flags & SpriteRedraw);

    // Both the displayed and the pending rectangle count until the commit.
    moved->displayed = moved->pending;
    Settle();
    ModifySprite(&window, far, 2, 0, image);
    EXPECT_EQ(Redrawn(), (std::vector<Sprite*>{moved, near, chained}));
    far->displayed = far->pending;
    Settle();
    ModifySprite(&window, far, 200, 0, image);
    EXPECT_EQ(Redrawn(), (std::vector<Sprite*>{moved, near, chained}))
        << "the displayed rectangle still meets them until the commit";
    far->displayed = far->pending;
    Settle();
    ModifySprite(&window, far, 201, 0, image);
    EXPECT_EQ(Redrawn(), std::vector<Sprite*>{});

    // A rectangle flags at once what meets it; the chains around it follow at the erase pass.
    const RECT area{14, 0, 15, 1};
    Settle();
    SetSpriteState(&window, nullptr, 32, &area);
    EXPECT_TRUE(chained->flags & SpriteRedraw);
    EXPECT_TRUE(near->flags & SpriteRedraw);
    EXPECT_FALSE(moved->flags & SpriteRedraw);
    EXPECT_EQ(Redrawn(), (std::vector<Sprite*>{moved, near, chained}));

    // Without the sprite between them, a change of one no longer reaches the other.
    FreeSprite(&window, near);
    Settle();
    ModifySprite(&window, moved, 0, 0, image);
    EXPECT_EQ(Redrawn(), std::vector<Sprite*>{});
}

// The sprites drawn again with the changed ones are found near them, not by comparing every sprite with
// every other: after random changes, the erase pass flags exactly the shown, unchanged sprites that a
// naive search finds chained by overlap to a sprite the refresh erases or draws, wherever they lie and
// however large they are.
TEST_F(Sprites, RedrawFindsEveryChainedSpriteAfterRandomChanges) {
    ASSERT_EQ(AllocateSpritePool(&window, 80), 1);
    std::mt19937 rng(11);
    std::vector<Sprite*> live;
    auto coordinate = [&] { return static_cast<LONG>(rng() % 600) - 300; };
    auto overlap = [](RECT p, RECT q, const Sprite* a, const Sprite* b) {
        auto reach = [](RECT& r, const Sprite* s) {
            if ((s->ink & InkAntialiased) && r.left < r.right && r.top < r.bottom)
                r = {r.left - 1, r.top - 1, r.right + 1, r.bottom + 1};
        };
        reach(p, a), reach(q, b);
        return p.left < q.right && q.left < p.right && p.top < q.bottom && q.top < p.bottom &&
               p.left < p.right && p.top < p.bottom && q.left < q.right && q.top < q.bottom;
    };
    auto meets = [&](const Sprite* a, const Sprite* b) {
        return overlap(a->displayed.rect, b->displayed.rect, a, b) ||
               overlap(a->displayed.rect, b->pending.rect, a, b) ||
               overlap(a->pending.rect, b->displayed.rect, a, b) ||
               overlap(a->pending.rect, b->pending.rect, a, b);
    };
    // The naive closure: from every sprite the refresh erases or draws, through shown unchanged sprites.
    auto expected = [&] {
        auto quiet = [](const Sprite* s) {
            return (s->flags & SpriteShown) &&
                   !(s->flags & (SpriteRedraw | SpriteSuspended | SpriteHidden | SpriteChanged));
        };
        std::vector<Sprite*> reached, frontier;
        for (Sprite* s : live) {
            const bool untouched = (s->flags & (SpriteRedraw | SpriteChanged | SpriteShown)) == SpriteShown;
            if (!untouched && !(s->flags & (SpriteHidden | SpriteSuspended))) frontier.push_back(s);
        }
        while (!frontier.empty()) {
            Sprite* s = frontier.back();
            frontier.pop_back();
            for (Sprite* q : live)
                if (quiet(q) && std::find(reached.begin(), reached.end(), q) == reached.end() &&
                    meets(s, q)) {
                    reached.push_back(q);
                    frontier.push_back(q);
                }
        }
        std::vector<Sprite*> inOrder;
        for (Sprite* s : Order())
            if (std::find(reached.begin(), reached.end(), s) != reached.end()) inOrder.push_back(s);
        return inOrder;
    };
    for (int step = 0; step < 800; ++step) {
        const int op = rng() % 11;
        if (op <= 2 || live.size() < 2) {
            Sprite* s = rng() % 4 ? Make(0, 0, SpriteShown, coordinate(), coordinate())
                                  : CreateSpriteEx(&window, coordinate(), coordinate(), 0, 0, 0, 0, 0,
                                                   SpriteShown, 0, nullptr);
            if (s && s->flags & SpriteOwnerDrawn) {
                // Owner-drawn sprites may span much of the area.
                const LONG x = s->pending.x, y = s->pending.y;
                SetSpriteRect(&window, s, x, y, x + LONG(rng() % 900),
                              y + LONG(rng() % 8 ? rng() % 40 : 1500));
            }
            if (s) live.push_back(s);
        } else {
            Sprite* s = live[rng() % live.size()];
            switch (op) {
            case 3:
            case 4:
                ModifySprite(&window, s, s->pending.x + LONG(rng() % 80) - 40,
                             s->pending.y + LONG(rng() % 80) - 40, s->pendingImage);
                break;
            case 5:
                SetSpriteScale(&window, s, float(rng() % 40) / 10, 1, 0);
                break;
            case 6:
                SetSpriteAngle(&window, s, float(rng() % 360), 0);
                break;
            case 7:
                SetSpriteRect(&window, s, coordinate(), coordinate(), coordinate() + 300, coordinate() + 300);
                break;
            case 8:
                s->displayed = s->pending; // as the commit does
                break;
            case 9:
                SetSpriteEffect(&window, s, s->ink ^ InkAntialiased, 0);
                break;
            default:
                FreeSprite(&window, s);
                live.erase(std::find(live.begin(), live.end(), s));
                break;
            }
        }
        if (step % 10 != 9) continue;
        // Most sprites drawn and unchanged; a few changed, hidden, suspended or never shown.
        for (Sprite* s : live) {
            s->flags =
                (s->flags & ~(SpriteRedraw | SpriteChanged | SpriteHidden | SpriteSuspended)) | SpriteShown;
            const unsigned pick = rng() % 40;
            if (pick < 3) s->flags |= SpriteChanged;
            if (pick == 3) s->flags |= SpriteHidden;
            if (pick == 4) s->flags |= SpriteSuspended;
            if (pick == 5) s->flags &= ~SpriteShown;
        }
        const std::vector<Sprite*> want = expected();
        ASSERT_EQ(Redrawn(), want) << "step " << step;
    }
    // A suspended sprite moved is still found where it now lies.
    for (Sprite* s : live)
        FreeSprite(&window, s);
    Sprite* quiet = CreateSpriteEx(&window, 0, 0, 4, 4, 0, 0, 0, SpriteShown | SpriteSuspended, 0, nullptr);
    SetSpriteRect(&window, quiet, 5000, 5000, 5010, 5010);
    quiet->displayed = quiet->pending;
    EXPECT_EQ(FindSpriteAtPoint(&window, nullptr, -1, 5005, 5005, SearchEverySprite), quiet);
    EXPECT_EQ(FindSpriteAtPoint(&window, nullptr, -1, 2, 2, SearchEverySprite), nullptr);
}

TEST_F(Sprites, DriverModeSpritesAreUntracked) {
    window.displayMode = DisplayModeDriver | 8;
    Sprite* a = Make(0, 0);
    Sprite* b = Make(0, 1);
    EXPECT_TRUE(a->flags & SpriteUntracked);
    Settle();
    ModifySprite(&window, a, 1, 1, image);
    EXPECT_EQ(Redrawn(), std::vector<Sprite*>{}) << "the driver draws every sprite each frame";
    EXPECT_FALSE(b->flags & SpriteRedraw);
}

TEST_F(Sprites, EffectAndNullArguments) {
    Sprite* s = Make(0, 0);
    EXPECT_EQ(SetSpriteEffect(&window, s, 0x10000001, 128), s);
    EXPECT_EQ(s->ink, 0x10000001u);
    EXPECT_EQ(s->inkParam, 128);
    EXPECT_EQ(CreateSprite(nullptr, 0, 0, image, 0, 0, 0, 0, 0), nullptr);
    EXPECT_EQ(ModifySprite(&window, nullptr, 0, 0, 0), nullptr);
    EXPECT_FLOAT_EQ(GetSpriteAngle(&window, nullptr, nullptr), 0);
    SpriteWindow empty{};
    EXPECT_EQ(CreateSprite(&empty, 0, 0, image, 0, 0, 0, 0, 0), nullptr);
}

} // namespace

namespace {

int deletedSurfaces = 0;

class CountedSurface : public cBufferSurface {
public:
    ~CountedSurface() override { ++deletedSurfaces; }
};

TEST_F(Sprites, OwnedSurfacesGoWithTransformChangesAndTheSprite) {
    deletedSurfaces = 0;
    Sprite* s = Make(0, 0);
    s->transformed = new CountedSurface;
    s->savedBackground = new CountedSurface;
    SetSpriteScale(&window, s, 2, 2, 0);
    EXPECT_EQ(deletedSurfaces, 1) << "the transformed image is dropped";
    EXPECT_EQ(s->transformed, nullptr);
    s->transformed = new CountedSurface;
    ModifySprite(&window, s, 5, 5, image);
    EXPECT_EQ(deletedSurfaces, 1) << "a move keeps it";
    FreeSprite(&window, s);
    EXPECT_EQ(deletedSurfaces, 3);
}

} // namespace
