#include "mask_reference.h"
#include "vtrs2/banks.h"
#include "vtrs2/collision_mask.h"
#include "vtrs2/memory_testing.h"
#include "vtrs2/sprites.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using win32::LONG;
using win32::RECT;

namespace {

// The planes as the operations describe them, one boolean per pixel.
struct PlaneModel {
    LONG left = 0, top = 0, right = 0, bottom = 0;
    LONG xOrigin = 0, yOrigin = 0;
    RECT clip{};
    bool shared = false;
    BoolMask obstacle, platform;

    explicit PlaneModel(const CollisionMask& m, bool sharedPlane)
        : left(m.left), top(m.top), right(m.right), bottom(m.bottom), clip{m.left, m.top, m.right, m.bottom},
          shared(sharedPlane), obstacle(m.right - m.left + 1, m.bottom - m.top + 1),
          platform(m.right - m.left + 1, m.bottom - m.top + 1) {}

    BoolMask& PlatformPlane() { return shared ? obstacle : platform; }
    bool InClip(LONG x, LONG y) const {
        return x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom;
    }
    void Write(LONG x, LONG y, unsigned value, unsigned planes = 3) {
        if (!InClip(x, y)) return;
        if (shared) {
            if (planes & 3) obstacle.Set(x - left, y - top, (value & planes & 3) != 0);
            return;
        }
        if (planes & 1) obstacle.Set(x - left, y - top, value & 1);
        if (planes & 2) platform.Set(x - left, y - top, value & 2);
    }
    void Fill(LONG l, LONG t, LONG r, LONG b, unsigned value) {
        for (LONG y = t + yOrigin; y <= b + yOrigin; ++y)
            for (LONG x = l + xOrigin; x <= r + xOrigin; ++x)
                Write(x, y, value);
    }
    void Or(const BoolMask& mask, LONG x, LONG y, unsigned planes, unsigned mode) {
        for (int my = 0; my < mask.height; ++my)
            for (int mx = 0; mx < mask.width; ++mx)
                if (mask.At(mx, my)) Write(x + xOrigin + mx, y + yOrigin + my, mode, planes);
    }
    bool Point(LONG x, LONG y, int plane) {
        x += xOrigin, y += yOrigin;
        return InClip(x, y) && (plane == 1 ? PlatformPlane() : obstacle).At(x - left, y - top);
    }
    bool Rect(LONG x, LONG y, LONG w, LONG h, int plane) {
        for (LONG py = y; py < y + h; ++py)
            for (LONG px = x; px < x + w; ++px)
                if (Point(px, py, plane)) return true;
        return false;
    }
};

class CollisionPlanes : public testing::Test {
protected:
    static constexpr LONG PlayWidth = 200, PlayHeight = 120;

    void SetUp() override {
        window.banks = &banks;
        window.mask.playWidth = PlayWidth;
        window.mask.playHeight = PlayHeight;
    }
    void TearDown() override {
        FreeCollisionMask(&window);
        FreeAllBanks(&banks);
    }

    void ExpectPlanesMatch(PlaneModel& model) {
        for (LONG y = model.top - 20; y <= model.bottom + 20; ++y)
            for (LONG x = model.left - 20; x <= model.right + 20; ++x)
                for (int plane : {0, 1}) {
                    const LONG qx = x - model.xOrigin, qy = y - model.yOrigin;
                    ASSERT_EQ(TestCollisionMaskPoint(&window, qx, qy, plane), model.Point(qx, qy, plane))
                        << "pixel " << x << "," << y << " plane " << plane;
                }
    }

    // An image of bank 0 with a mask in bank 2 made from `mask`.
    win32::DWORD AddMaskedImage(const BoolMask& mask, LONG hotX, LONG hotY) {
        const auto handle =
            AddImage(&banks, 8, mask.width, mask.height, hotX, hotY, 0, 0, 0, 8, nullptr, 0, nullptr);
        ImageMask* record = PrepareImageCollisionMask(&banks, handle, 0);
        const auto bits = mask.Packed();
        std::copy(bits.begin(), bits.begin() + MaskStride(mask.width) * mask.height, ImageMaskBits(record));
        return handle;
    }

    ContextBanks banks{};
    SpriteWindow window{};
    std::mt19937 rng{42};
};

TEST_F(CollisionPlanes, CreationBoundsFollowMarginsAndRectangle) {
    ASSERT_EQ(CreateCollisionMask(&window, 64, 16, 3), 1);
    EXPECT_EQ(window.mask.left, -64);
    EXPECT_EQ(window.mask.right, 287);
    EXPECT_EQ(window.mask.top, -16);
    EXPECT_EQ(window.mask.bottom, 135);
    EXPECT_EQ(window.mask.stride, (287 + 1 + 64) / 8);
    EXPECT_EQ(window.mask.obstacleOffset, 0);
    EXPECT_EQ(window.mask.platformOffset, window.mask.planeLength);
    EXPECT_EQ(window.mask.planeLength, window.mask.stride * (135 + 16 + 1));

    struct Case {
        LONG left, expected;
    };
    for (const Case c : {Case{-1, -16}, Case{-16, -32}, Case{0, 0}, Case{1, 16}, Case{-64, -80}}) {
        ASSERT_EQ(CreateCollisionMaskForRect(&window, c.left, -16, PlayWidth + 64, PlayHeight + 16, 1), 1);
        EXPECT_EQ(window.mask.left, c.expected) << c.left;
        EXPECT_EQ(window.mask.right, 271);
        EXPECT_EQ(window.mask.bottom, PlayHeight + 15);
        EXPECT_EQ(window.mask.platformOffset, 0) << "only the obstacle plane: platform reads it";
    }
    ASSERT_EQ(CreateCollisionMask(&window, 0, 0, 0), 1);
    EXPECT_EQ(window.mask.planes, nullptr);
    EXPECT_EQ(window.mask.obstacleOffset, -1);
}

TEST_F(CollisionPlanes, FailedAllocationLeavesPlanesAbsentAndOperationsInert) {
    SetAllocationFailures(0, 2);
    EXPECT_EQ(CreateCollisionMask(&window, 64, 16, 3), 0);
    SetAllocationFailures(0, 0);
    EXPECT_EQ(window.mask.obstacleOffset, -1);
    EXPECT_EQ(window.mask.platformOffset, -1);
    EXPECT_EQ(FillCollisionMaskBox(&window, 0, 0, 10, 10, 3), 0);
    EXPECT_EQ(TestCollisionMaskPoint(&window, 5, 5, 0), 0);
    EXPECT_EQ(TestCollisionMaskRect(&window, 0, 0, 10, 10, 0), 0);
    EXPECT_EQ(ScrollCollisionMask(&window, 3, 0, nullptr, nullptr), 0);
    EXPECT_EQ(TestCollisionMaskPoint(nullptr, 5, 5, 0), 0);
}

TEST_F(CollisionPlanes, BoxesMatchPerPixelModel) {
    for (const unsigned planes : {3u, 1u}) {
        ASSERT_EQ(CreateCollisionMask(&window, 64, 16, planes), 1);
        PlaneModel model(window.mask, planes == 1);
        for (int i = 0; i < 300; ++i) {
            if (i % 100 == 0) {
                model.xOrigin = rng() % 9 - 4, model.yOrigin = rng() % 9 - 4;
                SetCollisionMaskOrigin(&window, model.xOrigin, model.yOrigin);
            }
            const LONG l = rng() % 400 - 100, t = rng() % 200 - 50;
            const LONG r = l + rng() % 120 - 5, b = t + rng() % 60 - 5;
            const unsigned value = rng() % 4;
            const bool meets =
                std::max(l + model.xOrigin, model.clip.left) <=
                    std::min(r + model.xOrigin, model.clip.right) &&
                std::max(t + model.yOrigin, model.clip.top) <= std::min(b + model.yOrigin, model.clip.bottom);
            EXPECT_EQ(FillCollisionMaskBox(&window, l, t, r, b, value), meets ? 1 : 0);
            model.Fill(l, t, r, b, value);
        }
        ExpectPlanesMatch(model);
        for (int i = 0; i < 3000; ++i) {
            const LONG x = rng() % 400 - 100, y = rng() % 200 - 50, w = rng() % 80 - 2, h = rng() % 40 - 2;
            const int plane = rng() % 2;
            ASSERT_EQ(TestCollisionMaskRect(&window, x, y, w, h, plane), model.Rect(x, y, w, h, plane))
                << x << "," << y << " " << w << "x" << h;
        }
    }
}

TEST_F(CollisionPlanes, ImageMasksMatchPerPixelModelInsideClip) {
    for (const unsigned planes : {3u, 1u}) {
        ASSERT_EQ(CreateCollisionMask(&window, 40, 16, planes), 1);
        PlaneModel model(window.mask, planes == 1);
        model.clip = {-23, -9, 181, 117};
        SetCollisionMaskClip(&window, &model.clip);
        ClearCollisionMask(&window, 0);
        for (int i = 0; i < 200; ++i) {
            const BoolMask mask = BoolMask::Random(rng, 1 + rng() % 70, 1 + rng() % 40);
            const auto bits = mask.Packed();
            const ImageMask header{
                ImageMaskHeaderSize, mask.width, mask.height, MaskStride(mask.width), 0, 0, {}};
            std::vector<win32::BYTE> record(sizeof header + bits.size());
            std::memcpy(record.data(), &header, sizeof header);
            std::copy(bits.begin(), bits.end(), record.begin() + sizeof header);
            const LONG x = rng() % 320 - 90, y = rng() % 180 - 50;
            const unsigned modePlanes = 1 + rng() % 3, mode = rng() % 4;
            OrMaskIntoCollisionMask(&window, reinterpret_cast<const ImageMask*>(record.data()), x, y,
                                    modePlanes, mode);
            model.Or(mask, x, y, modePlanes, mode);
        }
        ExpectPlanesMatch(model);
    }
}

TEST_F(CollisionPlanes, AddImageTakesTheImageMaskFromItsBank) {
    ASSERT_EQ(CreateCollisionMask(&window, 64, 16, 3), 1);
    PlaneModel model(window.mask, false);
    const BoolMask mask = BoolMask::Random(rng, 37, 21);
    const auto image = AddMaskedImage(mask, 5, 5);
    AddImageToCollisionMask(&window, image, 13, -7, 3);
    model.Or(mask, 13, -7, 3, 3);
    AddImageToCollisionMask(&window, image, 20, 0, 1);
    model.Or(mask, 20, 0, 3, 1);
    ExpectPlanesMatch(model);
    // Removing it again clears exactly its solid pixels.
    AddImageToCollisionMask(&window, image, 13, -7, 0);
    model.Or(mask, 13, -7, 3, 0);
    ExpectPlanesMatch(model);
}

TEST_F(CollisionPlanes, ClipEdgesAreInclusive) {
    ASSERT_EQ(CreateCollisionMask(&window, 64, 16, 3), 1);
    ClearCollisionMask(&window, 3);
    const RECT clip{10, 20, 30, 40};
    SetCollisionMaskClip(&window, &clip);
    EXPECT_EQ(TestCollisionMaskPoint(&window, 30, 40, 0), 1);
    EXPECT_EQ(TestCollisionMaskPoint(&window, 31, 40, 0), 0);
    EXPECT_EQ(TestCollisionMaskPoint(&window, 30, 41, 1), 0);
    EXPECT_EQ(TestCollisionMaskPoint(&window, 10, 20, 1), 1);
    EXPECT_EQ(TestCollisionMaskPoint(&window, 9, 20, 1), 0);
    // A clip reaching past the planes is held to their bounds.
    const RECT wide{-1000, -1000, 1000, 1000};
    SetCollisionMaskClip(&window, &wide);
    EXPECT_EQ(window.mask.clipLeft, window.mask.left);
    EXPECT_EQ(window.mask.clipBottom, window.mask.bottom);
    EXPECT_EQ(FillCollisionMaskBox(&window, -5000, -5000, 5000, 5000, 0), 1);
    EXPECT_EQ(TestCollisionMaskRect(&window, -5000, -5000, 10000, 10000, 0), 0);
}

TEST_F(CollisionPlanes, ObstacleOnlyPlaneServesPlatformTests) {
    ASSERT_EQ(CreateCollisionMask(&window, 64, 16, 1), 1);
    // An obstacle-only write is not undone by the shared platform pass.
    FillCollisionMaskBox(&window, 0, 0, 9, 9, 1);
    EXPECT_EQ(TestCollisionMaskPoint(&window, 5, 5, 0), 1);
    EXPECT_EQ(TestCollisionMaskPoint(&window, 5, 5, 1), 1);
    ClearCollisionMask(&window, 0);
    EXPECT_EQ(TestCollisionMaskPoint(&window, 5, 5, 1), 0);
}

TEST_F(CollisionPlanes, ScrollKeepsSubByteRemainderInOrigin) {
    ASSERT_EQ(CreateCollisionMask(&window, 64, 16, 3), 1);
    RECT r1{}, r2{};
    EXPECT_EQ(ScrollCollisionMask(&window, -3, 0, &r1, &r2), 0);
    EXPECT_EQ(window.mask.xOrigin, 3);
    SetCollisionMaskOrigin(&window, 0, 0);
    FillCollisionMaskBox(&window, 40, 40, 40, 40, 3);
    EXPECT_EQ(ScrollCollisionMask(&window, 3, 0, &r1, &r2), 1);
    EXPECT_EQ(window.mask.xOrigin, 5);
    // The pixel moved one byte right and the origin took back 5: it now answers at 43.
    EXPECT_EQ(TestCollisionMaskPoint(&window, 43, 40, 0), 1);
    EXPECT_EQ(TestCollisionMaskPoint(&window, 43, 40, 1), 1);
    EXPECT_EQ(TestCollisionMaskPoint(&window, 40, 40, 0), 0);
    EXPECT_EQ(r1.right, window.mask.left + 8 * 2 + 15);
    EXPECT_EQ(ScrollCollisionMask(&window, 7, 9, nullptr, nullptr), 0);
    EXPECT_EQ(window.mask.xOrigin, 7);
    EXPECT_EQ(window.mask.yOrigin, 9);
}

TEST_F(CollisionPlanes, ScrollMovesContentByTheDistance) {
    for (const unsigned planes : {3u, 1u}) {
        ASSERT_EQ(CreateCollisionMask(&window, 64, 16, planes), 1);
        PlaneModel model(window.mask, planes == 1);
        for (int i = 0; i < 40; ++i) {
            const LONG l = rng() % 300 - 60, t = rng() % 140 - 16;
            FillCollisionMaskBox(&window, l, t, l + rng() % 30, t + rng() % 20, 1 + rng() % 3);
        }
        std::vector<int> before;
        for (LONG y = -16; y < 136; ++y)
            for (LONG x = -64; x < 288; ++x)
                before.push_back(TestCollisionMaskPoint(&window, x, y, 0) |
                                 TestCollisionMaskPoint(&window, x, y, 1) << 1);
        for (const auto& [dx, dy] : {std::pair{13, 0}, {-21, 5}, {0, -7}, {2000, 0}, {0, 500}}) {
            SetCollisionMaskOrigin(&window, 0, 0);
            // Start again from the same content each time.
            ClearCollisionMask(&window, 0);
            std::size_t k = 0;
            for (LONG y = -16; y < 136; ++y)
                for (LONG x = -64; x < 288; ++x, ++k)
                    if (before[k])
                        FillCollisionMaskBox(&window, x, y, x, y, static_cast<unsigned>(before[k]));
            RECT r1{}, r2{};
            ScrollCollisionMask(&window, dx, dy, &r1, &r2);
            const bool movesNothing = std::abs(dx) >= 352 || std::abs(dy) >= 152;
            k = 0;
            for (LONG y = -16; y < 136; ++y)
                for (LONG x = -64; x < 288; ++x, ++k) {
                    const LONG nx = x + dx, ny = y + dy;
                    // Pixels carried to a place outside both refill strips must answer there.
                    const bool inStrip1 = nx >= r1.left && nx <= r1.right;
                    const bool inStrip2 = ny >= r2.top && ny <= r2.bottom;
                    if (movesNothing || inStrip1 || inStrip2 || nx < -64 || nx >= 280 || ny < -16 ||
                        ny >= 136)
                        continue;
                    const int now = TestCollisionMaskPoint(&window, nx, ny, 0) |
                                    TestCollisionMaskPoint(&window, nx, ny, 1) << 1;
                    ASSERT_EQ(now, before[k]) << dx << "," << dy << " pixel " << x << "," << y;
                }
        }
    }
}

TEST_F(CollisionPlanes, PlatformTopCopiesSixRowsFromFirstSolidPixel) {
    ASSERT_EQ(CreateCollisionMask(&window, 64, 16, 3), 1);
    const BoolMask mask = BoolMask::Random(rng, 30, 20);
    const auto image = AddMaskedImage(mask, 0, 0);
    FillCollisionMaskBox(&window, 0, 0, 100, 100, 2);
    AddPlatformImageToCollisionMask(&window, image, 7, 9);
    for (int c = 0; c < mask.width; ++c) {
        int first = 0;
        while (first < mask.height && !mask.At(c, first))
            ++first;
        for (int r = 0; r < mask.height; ++r) {
            const bool copied = first < mask.height && r >= first && r < first + 6;
            const int expected = copied ? mask.At(c, r) : 1;
            ASSERT_EQ(TestCollisionMaskPoint(&window, 7 + c, 9 + r, 1), expected) << c << "," << r;
            ASSERT_EQ(TestCollisionMaskPoint(&window, 7 + c, 9 + r, 0), 0);
        }
    }
}

TEST(RawMasks, PixelAndRectTestsStopAtTheEdges) {
    BoolMask m(20, 5);
    m.Set(19, 4, true);
    const auto bits = m.Packed();
    EXPECT_EQ(TestMaskPixel(bits.data(), 19, 4, 20, 5), 1);
    EXPECT_EQ(TestMaskPixel(bits.data(), 20, 4, 20, 5), 0);
    EXPECT_EQ(TestMaskPixel(bits.data(), 19, 5, 20, 5), 0);
    EXPECT_EQ(TestMaskPixel(nullptr, 0, 0, 20, 5), 0);
    EXPECT_EQ(TestMaskBitsInRect(bits.data(), 20, 5, 19, 4, 100, 100), 1);
    EXPECT_EQ(TestMaskBitsInRect(bits.data(), 20, 5, -50, -50, 69, 54), 0);
    EXPECT_EQ(TestMaskBitsInRect(bits.data(), 20, 5, -50, -50, 70, 55), 1);
    EXPECT_EQ(TestMaskBitsInRect(bits.data(), 20, 5, 19, 4, 0, 1), 0);
}

TEST(RawMasks, OverlapMatchesNaiveComparison) {
    std::mt19937 rng(7);
    for (int i = 0; i < 400; ++i) {
        const BoolMask a = BoolMask::Random(rng, 1 + rng() % 90, 1 + rng() % 40);
        const BoolMask b = BoolMask::Random(rng, 1 + rng() % 90, 1 + rng() % 40);
        const int ax = rng() % 60 - 30, ay = rng() % 40 - 20, bx = rng() % 60 - 30, by = rng() % 40 - 20;
        bool naive = false;
        for (int y = 0; y < a.height && !naive; ++y)
            for (int x = 0; x < a.width && !naive; ++x)
                naive = a.At(x, y) && b.At(ax + x - bx, ay + y - by);
        const auto pa = a.Packed(), pb = b.Packed();
        ASSERT_EQ(TestMaskOverlap(pa.data(), pb.data(), ax, ay, a.width, a.height, bx, by, b.width, b.height),
                  naive);
    }
}

TEST(RawMasks, TurnedAndScaledOverlapMatchNaiveMapping) {
    std::mt19937 rng(9);
    const float angles[] = {0, 90, 180, 270, 33.5f, 301};
    const float scales[] = {1, 0.5f, 2.25f, 1.5f};
    for (int i = 0; i < 300; ++i) {
        const BoolMask a = BoolMask::Random(rng, 1 + rng() % 80, 1 + rng() % 50);
        const BoolMask b = BoolMask::Random(rng, 1 + rng() % 30, 1 + rng() % 30);
        const int ax = rng() % 20 - 10, ay = rng() % 20 - 10, bx = rng() % 90 - 10, by = rng() % 60 - 10;
        const int hx = rng() % b.width, hy = rng() % b.height;
        const float angle = angles[rng() % 6], sx = scales[rng() % 4], sy = scales[rng() % 4];
        const int limit = rng() % 3 == 0 ? 1 + rng() % 20 : 0;
        const int firstRow = HeightLimitFirstRow(b, by, hx, hy, sx, sy, angle, limit);
        bool turned = false, scaled = false;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                if (!a.At(x, y)) continue;
                const int px = ax + x, py = ay + y;
                turned =
                    turned || (py >= firstRow && TurnedPixelSolid(b, bx, by, hx, hy, sx, sy, angle, px, py));
                const int dx = px - bx, dy = py - by;
                scaled = scaled || (dx >= 0 && dy >= 0 && dx < int(b.width * sx) && dy < int(b.height * sy) &&
                                    b.At(int(dx / sx), int(dy / sy)));
            }
        const auto pa = a.Packed(), pb = b.Packed();
        ASSERT_EQ(TestMaskOverlapScaledRotated(pa.data(), pb.data(), ax, ay, a.width, a.height, bx, by, hx,
                                               hy, b.width, b.height, angle, limit, sx, sy),
                  turned)
            << "case " << i;
        ASSERT_EQ(TestMaskOverlapScaled(pa.data(), pb.data(), ax, ay, a.width, a.height, bx, by, hx, hy,
                                        b.width, b.height, sx, sy),
                  scaled)
            << "case " << i;
    }
    const std::vector<win32::BYTE> one{1, 0};
    EXPECT_EQ(TestMaskOverlapScaled(one.data(), one.data(), 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 1), 0);
    EXPECT_EQ(TestMaskOverlapRotated(one.data(), one.data(), 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, 45, 0), 0);
}

class SpriteAgainstPlanes : public CollisionPlanes {
protected:
    void SetUp() override {
        CollisionPlanes::SetUp();
        ASSERT_EQ(AllocateSpritePool(&window, 8), 1);
        ASSERT_EQ(CreateCollisionMask(&window, 64, 16, 3), 1);
    }
    void TearDown() override {
        FreeSpritePool(&window);
        CollisionPlanes::TearDown();
    }
};

TEST_F(SpriteAgainstPlanes, TurnedScaledAndLimitedSpritesMatchNaiveModel) {
    PlaneModel model(window.mask, false);
    for (int i = 0; i < 25; ++i) {
        const LONG l = rng() % 260 - 40, t = rng() % 140 - 10;
        const LONG r = l + rng() % 25, b = t + rng() % 25;
        FillCollisionMaskBox(&window, l, t, r, b, 1);
        model.Fill(l, t, r, b, 1);
    }
    SetFineCollisions(&window, 1);
    const float angles[] = {0, 90, 45, 200};
    const float scales[] = {1, 0.5f, 2.0f};
    for (int i = 0; i < 200; ++i) {
        const BoolMask mask = BoolMask::Random(rng, 4 + rng() % 30, 4 + rng() % 30);
        const LONG hx = rng() % mask.width, hy = rng() % mask.height;
        const auto image = AddMaskedImage(mask, hx, hy);
        Sprite* s = CreateSprite(&window, 0, 0, image, 1, 0, 0, 0, 0);
        ASSERT_NE(s, nullptr);
        const LONG x = rng() % 300 - 50, y = rng() % 160 - 20;
        const float angle = angles[rng() % 4], sx = scales[rng() % 3], sy = scales[rng() % 3];
        const LONG limit = rng() % 3 == 0 ? 1 + rng() % 40 : 0;
        bool naive = false;
        if (angle != 0) {
            const int first = HeightLimitFirstRow(mask, y, hx, hy, sx, sy, angle, limit);
            for (LONG py = y - 120; py < y + 120 && !naive; ++py)
                for (LONG px = x - 120; px < x + 120 && !naive; ++px)
                    naive = py >= first && model.Point(px, py, 0) &&
                            TurnedPixelSolid(mask, x, y, hx, hy, sx, sy, angle, px, py);
        } else {
            const LONG left = x - LONG(hx * sx), top = y - LONG(hy * sy);
            const LONG w = LONG(mask.width * sx), h = LONG(mask.height * sy);
            const LONG first = limit > 0 ? top + h - limit : top;
            for (LONG py = std::max(top, first); py < top + h && !naive; ++py)
                for (LONG px = left; px < left + w && !naive; ++px)
                    naive = model.Point(px, py, 0) && mask.At(int((px - left) / sx), int((py - top) / sy));
        }
        ASSERT_EQ(TestSpriteAgainstCollisionMask(&window, s, 0, x, y, angle, sx, sy, limit, 0), naive)
            << "case " << i << " angle " << angle << " scale " << sx << "," << sy << " limit " << limit;
        FreeSprite(&window, s);
        ReleaseImage(&banks, image);
    }
}

TEST_F(SpriteAgainstPlanes, BoxPathTestsTheSpriteRectangle) {
    const BoolMask empty(10, 6);
    const auto image = AddMaskedImage(empty, 2, 3);
    Sprite* s = CreateSprite(&window, 50, 50, image, 0, 0, 0, 0, 0);
    FillCollisionMaskBox(&window, 100, 100, 100, 100, 1);
    // The box of a sprite at (100, 100) is [98, 108) x [97, 103): it meets the solid pixel at its hot spot.
    EXPECT_EQ(TestSpriteAgainstCollisionMask(&window, s, 0, 100, 100, 0, 1, 1, 0, 0), 1);
    EXPECT_EQ(TestSpriteAgainstCollisionMask(&window, s, 0, 90, 100, 0, 1, 1, 0, 0), 0);
    // A height limit keeps the lowest rows only: rows 101 and 102.
    EXPECT_EQ(TestSpriteAgainstCollisionMask(&window, s, 0, 100, 100, 0, 1, 1, 2, 0), 0);
    EXPECT_EQ(TestSpriteAgainstCollisionMask(&window, s, 0, 100, 98, 0, 1, 1, 2, 0), 1);
    // A limit taller than the sprite tests all of it.
    EXPECT_EQ(TestSpriteAgainstCollisionMask(&window, s, 0, 100, 100, 0, 1, 1, 50, 0), 1);
    // With masks on, the empty mask does not collide.
    SetFineCollisions(&window, 1);
    EXPECT_EQ(TestSpriteAgainstCollisionMask(&window, s, 0, 100, 100, 0, 1, 1, 0, 0), 0);
    SetSpriteFlags(&window, s, GetSpriteFlags(&window, s) | SpriteBoxOnly);
    EXPECT_EQ(TestSpriteAgainstCollisionMask(&window, s, 0, 100, 100, 0, 1, 1, 0, 0), 1);
}

} // namespace
