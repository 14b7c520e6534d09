// Placed active objects drawn in the frame window loop after loop, compared with a naive compositor.
#include "display_fixture.h"

#include "objects/object_sprites.h"
#include "vtrs2/app_window.h"
#include "vtrs2/surface.h"

namespace {

using namespace displaytest;

Picture Solid(COLORREF colour, std::int16_t size = 8) {
    Picture p;
    p.width = p.height = size;
    p.colour = [colour](int, int) { return colour; };
    return p;
}

// Green with a see-through hole in the middle.
Picture Ring() {
    Picture p;
    p.transparent = 0;
    p.colour = [](int x, int y) {
        return (x >= 2 && x < 6 && y >= 2 && y < 6) ? COLORREF{0} : COLORREF{0x00C000};
    };
    return p;
}

// Two colours left and right, so that turning it shows.
Picture Halves() {
    Picture p;
    p.hotX = p.hotY = 4;
    p.colour = [](int x, int) { return x < 4 ? COLORREF{0x0000FF} : COLORREF{0xFFFF00}; };
    return p;
}

class Screen : public DisplayTest {
protected:
    void SetUp() override {
        pictures_ = {Solid(0x0000FF), Ring(), Solid(0xFF0000)};
        // An opaque red square, a keyed ring in front, and a blue square blended half over the red.
        const ActiveDesc red = MakeActive(1, {1}, 0);
        const ActiveDesc ring = MakeActive(2, {2}, KeyedInk);
        const ActiveDesc blue = MakeActive(3, {3}, KeyedInk | 1, 64);
        Start(pictures_, {red, ring, blue}, {{1, 10, 10, 0}, {2, 14, 14, 1}, {3, 14, 12, 0}});
        Tick(); // the first display of a frame does not reach the screen
    }
    void ExpectShown(const NaiveCompositor& expected) { ExpectWindowShows(expected); }
    NaiveCompositor Scene() {
        NaiveCompositor c;
        c.Put(pictures_[0], 10, 10, 0);
        c.Put(pictures_[2], 14, 12, KeyedInk, 64);
        c.Put(pictures_[1], 14, 14, KeyedInk);
        return c;
    }
    std::vector<Picture> pictures_;
};

TEST_F(Screen, PlacedObjectsAreDrawnInDisplayOrderWithTheirInks) {
    ExpectShown(Scene());
}

TEST_F(Screen, MovedHiddenAndDestroyedObjectsAreRedrawnOverTicks) {
    // The red square moves right two loops in a row; the window shows where it is, not where it was.
    for (int step = 1; step <= 2; ++step) {
        Slot(0)->x += 20;
        Active(0)->changed = 1;
        Tick();
        NaiveCompositor c;
        c.Put(pictures_[0], 10 + 20 * step, 10, 0);
        c.Put(pictures_[2], 14, 12, KeyedInk, 64);
        c.Put(pictures_[1], 14, 14, KeyedInk);
        ExpectShown(c);
    }
    HideObject(Slot(1));
    DestroyObject(2, 0);
    Tick();
    NaiveCompositor c;
    c.Put(pictures_[0], 50, 10, 0);
    ExpectShown(c);
    EXPECT_EQ(CurrentRunState()->objectCount, 2);
    ShowObject(Slot(1));
    Tick();
    c.Put(pictures_[1], 14, 14, KeyedInk);
    ExpectShown(c);
}

TEST_F(Screen, AScaledObjectCoversItsScaledSize) {
    Active(0)->scaleX = 2.0f;
    Active(0)->scaleY = 3.0f;
    Active(0)->changed = 1;
    Tick();
    NaiveCompositor c;
    Picture big = Solid(0x0000FF);
    big.width = 16;
    big.height = 24;
    c.Put(big, 10, 10, 0);
    c.Put(pictures_[2], 14, 12, KeyedInk, 64);
    c.Put(pictures_[1], 14, 14, KeyedInk);
    ExpectShown(c);
}

class TurnedScreen : public DisplayTest {};

TEST_F(TurnedScreen, AHalfTurnedObjectShowsItsImageTurnedAboutItsHotSpot) {
    const Picture halves = Halves();
    Start({halves}, {MakeActive(1, {1}, 0)}, {{1, 40, 40, 0}});
    Active(0)->angle = 180.0f;
    Active(0)->changed = 1;
    Tick();
    Tick();
    NaiveCompositor c;
    Picture turned = halves;
    turned.colour = [](int x, int) { return x < 4 ? COLORREF{0xFFFF00} : COLORREF{0x0000FF}; };
    c.Put(turned, 36, 36, 0);
    for (int y = 37; y < 43; ++y)
        for (int x = 37; x < 43; ++x)
            EXPECT_EQ(Shown(x, y), c.At(x, y)) << x << "," << y;
}

} // namespace
