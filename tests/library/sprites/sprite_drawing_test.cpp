// The refresh of a window's sprites checked against a naive compositor: every image is put pixel by pixel,
// in display order, into a plain array over the background, and the surface and the window must agree
// with it after every refresh.
#include "library/windows/app_window_fixture.h"
#include "vtrs2/banks.h"
#include "vtrs2/effect.h"
#include "vtrs2/sprite_drawing.h"
#include "vtrs2/sprites.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace app_window_test;

constexpr int Width = 64, Height = 48;
constexpr COLORREF Magenta = RGB(255, 0, 255);

// An image as the test sees it: a colour per pixel and its hot spot.
struct Picture {
    int width = 0, height = 0, hotX = 0, hotY = 0;
    COLORREF key = 0; // the transparent colour
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    COLORREF& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Colours that vary across the picture; every (seed + x + y) % holes == 0 pixel is the key.
Picture MakePicture(int width, int height, int hotX, int hotY, int seed, int holes, COLORREF key = 0) {
    Picture p{width, height, hotX, hotY, key, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool hole = holes && (seed + x * 3 + y) % holes == 0;
            p.pixels.push_back(hole ? key
                                    : RGB(static_cast<BYTE>(40 + 13 * x + seed * 50),
                                          static_cast<BYTE>(30 + 17 * y + seed * 20),
                                          static_cast<BYTE>(200 - seed * 30)));
        }
    return p;
}

DWORD AddPicture(AppContext* context, const Picture& p) {
    std::vector<BYTE> bytes;
    for (COLORREF c : p.pixels)
        bytes.insert(bytes.end(), {GetBValue(c), GetGValue(c), GetRValue(c), 0});
    return AddImage(context->banks, 8, p.width, p.height, p.hotX, p.hotY, 0, 0, p.key, 0, bytes.data(),
                    bytes.size(), nullptr);
}

bool SameColour(COLORREF a, COLORREF b) {
    return ((a ^ b) & 0xFFFFFF) == 0;
}

// The naive transformations: nearest pixels, scaled by whole ratios, turned about the centres.
Picture Scaled(const Picture& p, float sx, float sy) {
    Picture out = p;
    out.width = static_cast<int>(p.width * sx), out.height = static_cast<int>(p.height * sy);
    out.hotX = static_cast<int>(p.hotX * sx), out.hotY = static_cast<int>(p.hotY * sy);
    out.pixels.assign(static_cast<std::size_t>(out.width) * out.height, 0);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            out.At(x, y) = p.At(x * p.width / out.width, y * p.height / out.height);
    return out;
}

Picture Turned(const Picture& p, float angle) {
    Picture out = p;
    const int w = p.width, h = p.height;
    auto place = [&](int ow, int oh, int hx, int hy) {
        out.width = ow, out.height = oh, out.hotX = hx, out.hotY = hy;
        out.pixels.assign(static_cast<std::size_t>(ow) * oh, p.key);
    };
    if (angle == 90) {
        place(h, w, p.hotY, w - p.hotX);
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < h; ++x)
                out.At(x, y) = p.At(w - 1 - y, x);
    } else if (angle == 180) {
        place(w, h, w - p.hotX, h - p.hotY);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                out.At(x, y) = p.At(w - 1 - x, h - 1 - y);
    } else if (angle == 270) {
        place(h, w, h - p.hotY, p.hotX);
        for (int y = 0; y < w; ++y)
            for (int x = 0; x < h; ++x)
                out.At(x, y) = p.At(y, h - 1 - x);
    } else {
        // Any other angle: the bounding box of the turned corners, each pixel centre taken back to the
        // nearest source pixel, the key outside.
        const float radians = angle * 3.141592653589f / 180.0f;
        const float c = std::cos(radians), s = std::sin(radians);
        const float xs[4] = {float(-p.hotX), float(w - p.hotX), float(w - p.hotX), float(-p.hotX)};
        const float ys[4] = {float(-p.hotY), float(-p.hotY), float(h - p.hotY), float(h - p.hotY)};
        int minX = 0, maxX = 0, minY = 0, maxY = 0;
        for (int i = 0; i < 4; ++i) {
            const int x = static_cast<int>(xs[i] * c + ys[i] * s),
                      y = static_cast<int>(ys[i] * c - xs[i] * s);
            minX = i ? std::min(minX, x) : x, maxX = i ? std::max(maxX, x) : x;
            minY = i ? std::min(minY, y) : y, maxY = i ? std::max(maxY, y) : y;
        }
        place(maxX - minX, maxY - minY, -minX, -minY);
        const float wd = float(out.width), hd = float(out.height);
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x) {
                const float rx = float(x) + 0.5f - wd / 2, ry = float(y) + 0.5f - hd / 2;
                const float u = float(w) / 2 + rx * c - ry * s - 0.5f;
                const float v = float(h) / 2 + rx * s + ry * c - 0.5f;
                if (!(u > -0.5f && v > -0.5f && u < float(w) - 0.5f && v < float(h) - 0.5f)) continue;
                out.At(x, y) = p.At(std::clamp(int(std::lround(u)), 0, w - 1),
                                    std::clamp(int(std::lround(v)), 0, h - 1));
            }
    }
    return out;
}

// (s x (128 - p) + d x p) >> 7 for each channel.
COLORREF Blend(COLORREF s, COLORREF d, int p) {
    auto channel = [&](int shift) {
        return ((((s >> shift) & 0xFF) * (128 - p) + ((d >> shift) & 0xFF) * p) >> 7) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

// One sprite as the reference draws it.
struct Model {
    const Picture* picture;
    int x, y; // where the hot spot lies
    float scaleX = 1, scaleY = 1, angle = 0;
    bool keyed = true;
    int blend = 0; // 0: copy
    bool visible = true;
};

using Screen = std::vector<COLORREF>;

Screen Background() {
    Screen s;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            s.push_back(PatternColour(x, y));
    return s;
}

// The reference compositor: models in display order over the background.
Screen Compose(const std::vector<Model>& models) {
    Screen screen = Background();
    for (const Model& m : models) {
        if (!m.visible || (m.blend == 128)) continue;
        Picture p = *m.picture;
        if (m.scaleX != 1 || m.scaleY != 1) p = Scaled(p, m.scaleX, m.scaleY);
        if (m.angle != 0) p = Turned(p, m.angle);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const int sx = m.x - p.hotX + x, sy = m.y - p.hotY + y;
                if (sx < 0 || sy < 0 || sx >= Width || sy >= Height) continue;
                const COLORREF c = p.At(x, y);
                if (m.keyed && SameColour(c, p.key)) continue;
                COLORREF& d = screen[static_cast<std::size_t>(sy) * Width + sx];
                d = m.blend ? Blend(c, d, m.blend) : c;
            }
    }
    return screen;
}

// A main window over a patterned 32-bit memory surface, and its sprites.
class SpriteWindowTest : public AppWindowTest {
protected:
    void SetUp() override {
        AppWindowTest::SetUp();
        window = Create(Params(AppWindowMain, Width, Height));
        ASSERT_NE(window, nullptr);
        Pump();
        ASSERT_TRUE(AttachWindowSurface(window, PatternSurface(Width, Height, 32)));
        sprites = window->sprites;
    }

    void Refresh() {
        EraseSprites(sprites);
        CommitSpriteChanges(sprites);
        DrawSprites(sprites);
    }

    COLORREF Pixel(int x, int y) {
        COLORREF c = 0;
        GetWindowSurface(window, 0)->GetPixel(x, y, c);
        return c & 0xFFFFFF;
    }

    int SpriteCount() const {
        int n = 0;
        for (Sprite* s = sprites->sprites->first; s; s = s->next)
            ++n;
        return n;
    }

    AppWindow* window = nullptr;
    SpriteWindow* sprites = nullptr;
};

struct BackgroundCase {
    const char* name;
    bool perSprite; // the window keeps no background copy: each sprite saves what lies under it
};

class SpriteRefresh : public SpriteWindowTest, public ::testing::WithParamInterface<BackgroundCase> {
protected:
    void SetUp() override {
        SpriteWindowTest::SetUp();
        if (GetParam().perSprite) ControlAppWindow(window, 10, SpriteWindowNoBackgroundCopy, 0);
        AddUpdateRect(window, nullptr);
        UpdateWindowFromSurface(window);
    }

    // A displayed frame: the refresh, then the window's update.
    void Display() {
        Refresh();
        UpdateWindowFromSurface(window);
    }

    // Both the work surface and what the window shows hold the reference picture.
    void ExpectScreen(const std::vector<Model>& models, const std::string& when) {
        const Screen expected = Compose(models);
        HWND h = GetAppWindowHandle(window);
        int wrongSurface = 0, wrongWindow = 0;
        std::string first;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                const COLORREF want = expected[static_cast<std::size_t>(y) * Width + x];
                const COLORREF shown = win32::testing::ReadWindowPixel(h, x, y);
                if (!SameColour(Pixel(x, y), want) && wrongSurface++ == 0)
                    first += " surface first at (" + std::to_string(x) + "," + std::to_string(y) + ")";
                if (!SameColour(shown, want) && wrongWindow++ == 0)
                    first += " window first at (" + std::to_string(x) + "," + std::to_string(y) + ")";
            }
        EXPECT_EQ(wrongSurface, 0) << when << first;
        EXPECT_EQ(wrongWindow, 0) << when << first;
    }

    Sprite* Make(DWORD image, int x, int y, int layer, int z, DWORD flags = SpriteShown) {
        return CreateSprite(sprites, x, y, image, layer, z, 0, flags, 0);
    }
};

TEST_P(SpriteRefresh, EveryRefreshShowsTheSpritesInDisplayOrder) {
    const Picture opaque = MakePicture(16, 12, 3, 2, 1, 0);
    const Picture holed = MakePicture(12, 12, 0, 0, 2, 4);
    const Picture magenta = MakePicture(10, 8, 5, 4, 3, 3, Magenta);
    const Picture small = MakePicture(6, 5, 1, 1, 4, 5);
    const DWORD opaqueImage = AddPicture(context, opaque), holedImage = AddPicture(context, holed);
    const DWORD magentaImage = AddPicture(context, magenta), smallImage = AddPicture(context, small);

    // Display order: layer, then z-order.
    Sprite* f = Make(smallImage, 20, 18, 0, 0, 0); // without 0x8: redrawn at every refresh, under A and B
    Sprite* a = Make(opaqueImage, 10, 10, 0, 1);
    Sprite* b = Make(holedImage, 18, 14, 0, 2);
    Sprite* c = Make(magentaImage, 30, 20, 1, 1);
    Sprite* d = Make(smallImage, 40, 8, 1, 2);
    Sprite* e = Make(holedImage, 45, 30, 2, 1);
    SetSpriteEffect(sprites, a, 0, 0);
    SetSpriteEffect(sprites, c, InkTransparent | 1, 64);
    SetSpriteScale(sprites, d, 2, 2, 0);
    SetSpriteAngle(sprites, e, 90, 0);
    Model mf{&small, 20, 18}, ma{&opaque, 10, 10, 1, 1, 0, false}, mb{&holed, 18, 14};
    Model mc{&magenta, 30, 20}, md{&small, 40, 8, 2, 2}, me{&holed, 45, 30, 1, 1, 90};
    mc.blend = 64;
    auto models = [&] { return std::vector<Model>{mf, ma, mb, mc, md, me}; };
    Display();
    ExpectScreen(models(), "first refresh");

    // A moves under B, which did not change; C hides, D goes, E turns on.
    ModifySprite(sprites, a, 14, 12, opaqueImage);
    ma.x = 14, ma.y = 12;
    ShowSprite(sprites, c, 0);
    mc.visible = false;
    DeleteSprite(sprites, d);
    md.visible = false;
    SetSpriteAngle(sprites, e, 180, 0);
    me.angle = 180;
    Display();
    ExpectScreen(models(), "after moving, hiding and deleting");
    EXPECT_EQ(SpriteCount(), 5) << "the deleted sprite is freed by the erase pass";
    EXPECT_EQ(GetSpriteFlags(sprites, c) & (SpriteHidden | SpriteHidePending), SpriteHidden);

    // B leaves the surface; C comes back; E grows unevenly and turns the other way; F moves.
    ModifySprite(sprites, b, -40, -40, holedImage);
    mb.x = mb.y = -40;
    ShowSprite(sprites, c, 1);
    mc.visible = true;
    ModifySpriteEx(sprites, e, 40, 12, smallImage, 2, 3, 0, 270, 0);
    me.picture = &small, me.x = 40, me.y = 12, me.scaleX = 2, me.scaleY = 3, me.angle = 270;
    ModifySprite(sprites, f, 22, 34, smallImage);
    mf.x = 22, mf.y = 34;
    Display();
    ExpectScreen(models(), "after leaving the surface");
    EXPECT_EQ(b->lastDrawn.left, -1) << "nothing drawn, so nothing to erase next time";

    // B comes back; E turns by an angle that is not a quarter; A becomes fully see-through.
    ModifySprite(sprites, b, 20, 30, holedImage);
    mb.x = 20, mb.y = 30;
    ModifySpriteEx(sprites, e, 45, 28, holedImage, 1, 1, 0, 30, 0);
    me.picture = &holed, me.x = 45, me.y = 28, me.scaleX = me.scaleY = 1, me.angle = 30;
    SetSpriteEffect(sprites, a, 1, 128);
    ma.blend = 128;
    Display();
    ExpectScreen(models(), "after the see-through ink");
    EXPECT_EQ(a->lastDrawn.left, -1) << "a see-through sprite is neither saved nor drawn";

    Display();
    ExpectScreen(models(), "after a refresh without changes");
}

INSTANTIATE_TEST_SUITE_P(Backgrounds, SpriteRefresh,
                         ::testing::Values(BackgroundCase{"BackgroundCopy", false},
                                           BackgroundCase{"SavedPerSprite", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// A crowd on a surface wide enough that its rows are drawn in several bands: sprites across the bands'
// edges, more images than the pass keeps surfaces for, and every sprite moving between refreshes.
class CrowdRefresh : public AppWindowTest {
protected:
    static constexpr int CrowdWidth = 4096, CrowdHeight = 140;

    void SetUp() override {
        AppWindowTest::SetUp();
        AppWindowParams p = Params(AppWindowMain, CrowdWidth, CrowdHeight);
        p.areaWidth = -CrowdWidth, p.areaHeight = -CrowdHeight;
        window = Create(p);
        ASSERT_NE(window, nullptr);
        Pump();
        ASSERT_TRUE(AttachWindowSurface(window, PatternSurface(CrowdWidth, CrowdHeight, 32)));
    }

    struct Placed {
        const Picture* picture;
        int x, y;
    };

    // How many surface pixels differ from the pictures put in order over the pattern.
    int WrongPixels(const std::vector<Placed>& placed) {
        std::vector<COLORREF> expected;
        for (int y = 0; y < CrowdHeight; ++y)
            for (int x = 0; x < CrowdWidth; ++x)
                expected.push_back(PatternColour(x, y));
        for (const Placed& s : placed)
            for (int y = 0; y < s.picture->height; ++y)
                for (int x = 0; x < s.picture->width; ++x) {
                    const int sx = s.x + x, sy = s.y + y;
                    const COLORREF c = s.picture->At(x, y);
                    if (sx < 0 || sy < 0 || sx >= CrowdWidth || sy >= CrowdHeight || SameColour(c, 0))
                        continue;
                    expected[static_cast<std::size_t>(sy) * CrowdWidth + sx] = c;
                }
        cSurface* surface = GetWindowSurface(window, 0);
        int wrong = 0;
        for (int y = 0; y < CrowdHeight; ++y)
            for (int x = 0; x < CrowdWidth; ++x) {
                COLORREF c = 0;
                surface->GetPixel(x, y, c);
                wrong += !SameColour(c, expected[static_cast<std::size_t>(y) * CrowdWidth + x]);
            }
        return wrong;
    }

    AppWindow* window = nullptr;
};

TEST_F(CrowdRefresh, ManyMovingSpritesOverManyImagesShowInDisplayOrder) {
    constexpr int ImageCount = 52, Crowd = 300;
    std::vector<Picture> pictures;
    std::vector<DWORD> images;
    for (int i = 0; i < ImageCount; ++i) {
        pictures.push_back(MakePicture(20 + i % 5 * 4, 24 + i % 3 * 8, 0, 0, i, 3 + i % 4));
        images.push_back(AddPicture(context, pictures.back()));
    }
    // The first half of the crowd uses some images, the second half images made after them, which take
    // the places the first ones had among the surfaces kept.
    std::mt19937 rng(11);
    std::vector<Placed> placed;
    std::vector<Sprite*> list;
    for (int i = 0; i < Crowd; ++i) {
        const int picture = i < Crowd / 2 ? i % 20 : 32 + i % 20;
        placed.push_back({&pictures[picture], static_cast<int>(rng() % (CrowdWidth + 20)) - 20,
                          static_cast<int>(rng() % (CrowdHeight + 20)) - 20});
        list.push_back(CreateSprite(window->sprites, placed.back().x, placed.back().y,
                                    images[static_cast<std::size_t>(picture)], 0, i + 1, 0, SpriteShown, 0));
    }
    for (int refresh = 0; refresh < 3; ++refresh) {
        EraseSprites(window->sprites);
        CommitSpriteChanges(window->sprites);
        DrawSprites(window->sprites);
        EXPECT_EQ(WrongPixels(placed), 0) << "refresh " << refresh;
        for (int i = 0; i < Crowd; ++i) {
            Placed& s = placed[static_cast<std::size_t>(i)];
            s.x += static_cast<int>(rng() % 41) - 20, s.y += static_cast<int>(rng() % 41) - 20;
            ModifySprite(window->sprites, list[static_cast<std::size_t>(i)], s.x, s.y,
                         images[static_cast<std::size_t>(s.picture - pictures.data())]);
        }
    }
}

class WindowDrawing : public SpriteWindowTest {
protected:
    void SetUp() override {
        SpriteWindowTest::SetUp();
        ClearUpdateRects(window);
    }
    // Whether the update area holds the rectangle.
    bool Listed(const RECT& r) {
        const UpdateRectList* list = GetUpdateRectList(window);
        for (int i = 0; i < list->count; ++i) {
            const RECT& u = list->rects[i];
            if (u.left <= r.left && u.top <= r.top && u.right >= r.right && u.bottom >= r.bottom) return true;
        }
        return false;
    }
};

TEST_F(WindowDrawing, EraseColourFillsWhereAFilledSpriteWas) {
    const Picture p = MakePicture(8, 8, 0, 0, 1, 0);
    const DWORD image = AddPicture(context, p);
    const COLORREF erase = RGB(1, 2, 3);
    Sprite* s = CreateSprite(sprites, 4, 4, image, 0, 0, erase, SpriteShown | SpriteEraseFill, 0);
    Refresh();
    EXPECT_EQ(Pixel(4, 4), p.At(0, 0));
    ModifySprite(sprites, s, 20, 4, image);
    Refresh();
    EXPECT_EQ(Pixel(4, 4), erase);
    EXPECT_EQ(Pixel(11, 11), erase);
    EXPECT_EQ(Pixel(12, 12), PatternColour(12, 12) & 0xFFFFFF);
    EXPECT_EQ(Pixel(20, 4), p.At(0, 0));
    EXPECT_TRUE(Listed(RECT{4, 4, 12, 12})) << "what was erased reaches the screen";
}

// Records the codes an owner-drawn sprite's routine is called with.
std::vector<int> routineCalls;
win32::LONG_PTR RecordingRoutine(Sprite*, int code, win32::LONG_PTR) {
    routineCalls.push_back(code);
    return 0;
}

TEST_F(WindowDrawing, OwnerDrawnSpritesSaveRestoreAndDrawThroughTheirRoutine) {
    routineCalls.clear();
    Sprite* s =
        CreateSpriteEx(sprites, 2, 2, 10, 10, 0, 0, 0, SpriteShown | SpriteRoutineSaves, 0, RecordingRoutine);
    Refresh();
    EXPECT_EQ(routineCalls, (std::vector<int>{2, 0})) << "save, then draw";
    routineCalls.clear();
    Refresh();
    EXPECT_TRUE(routineCalls.empty()) << "unchanged";
    SetSpriteRect(sprites, s, 4, 4, 12, 12);
    Refresh();
    EXPECT_EQ(routineCalls, (std::vector<int>{1, 2, 0})) << "restore, save, draw";
    routineCalls.clear();
    FreeSprite(sprites, s);
    EXPECT_EQ(routineCalls, (std::vector<int>{3}));
}

TEST_F(WindowDrawing, DeletedAndHiddenSpritesLeaveEvenWhenNeverDrawn) {
    const DWORD image = AddPicture(context, MakePicture(8, 8, 0, 0, 1, 0));
    // Off the surface: nothing is drawn, so there is nothing to erase, but the record still goes.
    Sprite* away = CreateSprite(sprites, -50, -50, image, 0, 0, 0, SpriteShown, 0);
    Sprite* born = CreateSprite(sprites, 10, 10, image, 0, 0, 0, SpriteShown, 0);
    Refresh();
    EXPECT_EQ(away->lastDrawn.left, -1);
    DeleteSprite(sprites, away);
    DeleteSprite(sprites, born);
    Sprite* again = CreateSprite(sprites, 30, 30, image, 0, 0, 0, SpriteShown, 0);
    DeleteSprite(sprites, again);
    Refresh();
    EXPECT_EQ(SpriteCount(), 0);
    EXPECT_EQ(Pixel(10, 10), PatternColour(10, 10) & 0xFFFFFF) << "the drawn one was erased";
    EXPECT_EQ(Pixel(30, 30), PatternColour(30, 30) & 0xFFFFFF) << "the one never drawn was not";
}

TEST_F(WindowDrawing, SuspendedSpritesAreNeitherErasedNorDrawn) {
    const Picture p = MakePicture(8, 8, 0, 0, 1, 0);
    const DWORD image = AddPicture(context, p);
    Sprite* s = CreateSprite(sprites, 4, 4, image, 0, 0, 0, SpriteShown, 0);
    Refresh();
    SetSpriteState(sprites, s, 8);
    ModifySprite(sprites, s, 30, 4, image);
    Refresh();
    EXPECT_EQ(Pixel(4, 4), p.At(0, 0)) << "not erased";
    EXPECT_EQ(Pixel(30, 4), PatternColour(30, 4) & 0xFFFFFF) << "not drawn";
    SetSpriteState(sprites, s, 4);
    Refresh();
    EXPECT_EQ(Pixel(30, 4), p.At(0, 0));
}

TEST_F(WindowDrawing, SavedRectanglesPutBackWhatLayUnder) {
    SavedRect saved{};
    EXPECT_EQ(SaveWindowRect(sprites, &saved, 10, 12, 19, 15), 0);
    EXPECT_EQ(saved.rect.left, 10);
    EXPECT_EQ(saved.rect.right, 20) << "right and bottom are inclusive";
    EXPECT_EQ(saved.rect.bottom, 16);
    cSurface* surface = GetWindowSurface(window, 0);
    surface->FillRect(0, 0, Width, Height, RGB(9, 9, 9));
    RestoreWindowRect(sprites, &saved);
    EXPECT_EQ(Pixel(10, 12), PatternColour(10, 12) & 0xFFFFFF);
    EXPECT_EQ(Pixel(19, 15), PatternColour(19, 15) & 0xFFFFFF);
    EXPECT_EQ(Pixel(20, 15), RGB(9, 9, 9));
    EXPECT_TRUE(Listed(RECT{10, 12, 20, 16}));
    // Clipped to the surface; nothing left of it frees the saved pixels.
    EXPECT_EQ(SaveWindowRect(sprites, &saved, -5, -5, 2, 2), 0);
    EXPECT_EQ(saved.rect.left, 0);
    EXPECT_EQ(SaveWindowRect(sprites, &saved, 100, 100, 120, 120), -1);
    EXPECT_EQ(saved.surface, nullptr);
    FreeSavedRect(&saved);
}

TEST_F(WindowDrawing, BankImagesDrawIntoTheWindowAtTheirHotSpot) {
    const Picture p = MakePicture(6, 4, 2, 1, 2, 3);
    const DWORD image = AddPicture(context, p);
    DrawBankImageToWindow(sprites, image, 20, 10, DrawImageAtHotSpot);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const COLORREF want = p.At(x, y) == 0 ? PatternColour(18 + x, 9 + y) & 0xFFFFFF : p.At(x, y);
            EXPECT_EQ(Pixel(18 + x, 9 + y), want) << x << "," << y;
        }
    EXPECT_TRUE(Listed(RECT{18, 9, 24, 13}));
    DrawBankImageToWindow(sprites, image, 40, 30, DrawImageOpaque);
    EXPECT_EQ(Pixel(40, 30), p.At(0, 0)) << "the transparent colour is drawn too";
    // Antialiased inks grow the updated rectangle by a pixel.
    ClearUpdateRects(window);
    DrawImageToWindow(sprites, image, 50, 40, 0, InkAntialiased, 0);
    EXPECT_TRUE(Listed(RECT{49, 39, 57, 45}));
    // The surface's origin is taken off.
    GetWindowSurface(window, 0)->SetOrigin(10, 10);
    DrawBankImageToWindow(sprites, image, 12, 12, DrawImageOpaque);
    GetWindowSurface(window, 0)->SetOrigin(0, 0);
    EXPECT_EQ(Pixel(2, 2), p.At(0, 0));
}

TEST_F(WindowDrawing, LayerRecordsHoldEachLayersInk) {
    AllocateLayerRecords(sprites, 3);
    ASSERT_NE(GetLayerRecord(sprites, 2), nullptr);
    EXPECT_EQ(GetLayerRecord(sprites, 3), nullptr);
    EXPECT_EQ(GetLayerRecord(sprites, -1), nullptr);
    EXPECT_EQ(GetLayerRecord(sprites, 1)->factors[2], 1.0f);
    SetLayerEffect(sprites, 1, 1, 64, LayerDrawnDirectly);
    SetLayerEffect(sprites, 7, 1, 64, 0);
    EXPECT_EQ(GetLayerRecord(sprites, 1)->ink, 1u);
    EXPECT_EQ(GetLayerRecord(sprites, 1)->inkParam, 64);
    EXPECT_EQ(GetLayerRecord(sprites, 1)->flags, LayerDrawnDirectly);
    AllocateLayerRecords(sprites, 0);
    EXPECT_EQ(GetLayerRecord(sprites, 0), nullptr);
}

// A stand-in for a display-driver screen: a memory surface that answers the driver's type code and counts
// the layer passes begun and ended on the surfaces made from it.
int beginDraws = 0, endDraws = 0;
class DriverScreen : public cBufferSurface {
public:
    int GetType() override { return 13; }
    cSurfaceImplementation* CreateSameKind(int width, int height) override {
        auto* made = new DriverScreen;
        made->SetDepth(depth);
        made->AllocatePixels(width, height);
        return made;
    }
    int BeginDraw(int clear, COLORREF colour) override {
        ++beginDraws;
        if (clear) FillRect(0, 0, width, height, colour);
        return 1;
    }
    int EndDraw() override { return ++endDraws; }
};

// Makes the window's surface a driver screen filled with grey.
cSurfaceImplementation* UseDriverScreen(AppWindow* window) {
    auto* screen = new DriverScreen;
    screen->SetDepth(32);
    screen->AllocatePixels(Width, Height);
    screen->FillRect(0, 0, Width, Height, RGB(100, 100, 100));
    cSurface* surface = NewSurface();
    surface->SetImplementation(screen);
    cSurface* memory = GetWindowSurface(window, 0);
    AttachWindowSurface(window, surface);
    DeleteSurface(memory);
    return screen;
}

TEST_F(WindowDrawing, DriverWindowsDrawTheImagesTextureWhenTheImageHasOne) {
    UseDriverScreen(window);
    const Picture p = MakePicture(4, 4, 0, 0, 1, 0);
    const DWORD image = AddPicture(context, p);
    auto* texture = new DriverScreen;
    texture->SetDepth(32);
    texture->AllocatePixels(4, 4);
    texture->FillRect(0, 0, 4, 4, RGB(7, 8, 9));
    ASSERT_NE(SetImageTexture(context->banks, image, texture), nullptr);
    CreateSprite(sprites, 10, 10, image, 0, 0, 0, SpriteShown, 0);
    CommitSpriteChanges(sprites);
    DrawSprites(sprites);
    EXPECT_EQ(Pixel(11, 11), RGB(7, 8, 9));
    DrawImageToWindow(sprites, image, 30, 10, 0, 0, 0);
    EXPECT_EQ(Pixel(31, 11), RGB(7, 8, 9));
}

TEST_F(WindowDrawing, DriverWindowsDrawEveryLayerByItsInk) {
    UseDriverScreen(window);
    AllocateLayerRecords(sprites, 4);
    SetLayerEffect(sprites, 1, 1, 128, 0);                 // fully see-through: none of its sprites
    SetLayerEffect(sprites, 2, 1, 64, 0);                  // composed, then blended once
    SetLayerEffect(sprites, 3, 1, 64, LayerDrawnDirectly); // straight onto the window surface
    const Picture p = MakePicture(4, 4, 0, 0, 1, 0);
    const DWORD image = AddPicture(context, p);
    for (int layer = 0; layer < 5; ++layer) {
        CreateSprite(sprites, 4 + 10 * layer, 4, image, layer, 0, 0, SpriteShown, 0);
        CreateSprite(sprites, 6 + 10 * layer, 6, image, layer, 1, 0, SpriteShown, 0);
    }
    beginDraws = endDraws = 0;
    CommitSpriteChanges(sprites);
    DrawSprites(sprites);
    EXPECT_EQ(beginDraws, 1);
    EXPECT_EQ(endDraws, 1);
    const COLORREF grey = RGB(100, 100, 100);
    EXPECT_EQ(Pixel(4, 4), p.At(0, 0)) << "ink 0: drawn directly";
    EXPECT_EQ(Pixel(14, 4), grey) << "blend 128: not drawn";
    EXPECT_EQ(Pixel(24, 4), Blend(p.At(0, 0), grey, 64)) << "blend 64: one blend over both sprites";
    EXPECT_EQ(Pixel(26, 6), Blend(p.At(0, 0), grey, 64)) << "the front sprite is not blended twice";
    EXPECT_EQ(Pixel(34, 4), p.At(0, 0)) << "drawn directly by the layer's flag";
    EXPECT_EQ(Pixel(44, 4), p.At(0, 0)) << "beyond the records: drawn directly";
    // Nothing is saved or erased; hiding and deleting take effect in the erase pass.
    Sprite* first = sprites->sprites->first;
    EXPECT_EQ(first->lastDrawn.left, -1);
    ShowSprite(sprites, first, 0);
    DeleteSprite(sprites, sprites->sprites->last);
    EraseSprites(sprites);
    EXPECT_TRUE(GetSpriteFlags(sprites, first) & SpriteHidden);
    int count = 0;
    for (Sprite* s = sprites->sprites->first; s; s = s->next)
        ++count;
    EXPECT_EQ(count, 9);
}

// An effect object's RGBA coefficient decides a layer's drawing: alpha 0 hides its sprites, any other alpha
// composes them and blends the layer once by that alpha.
TEST_F(WindowDrawing, DriverWindowsComposeAnEffectLayerByItsCoefficient) {
    UseDriverScreen(window);
    CEffectEx unseen, half, opaque;
    unseen.SetRgbaCoefficient(0x00FFFFFF);
    half.SetRgbaCoefficient(0x80FFFFFF);
    AllocateLayerRecords(sprites, 3);
    SetLayerEffect(sprites, 0, 13, reinterpret_cast<LONG_PTR>(&unseen), 0);
    SetLayerEffect(sprites, 1, 13, reinterpret_cast<LONG_PTR>(&half), 0);
    SetLayerEffect(sprites, 2, 13, reinterpret_cast<LONG_PTR>(&opaque), 0);
    const Picture p = MakePicture(4, 4, 0, 0, 1, 0);
    const DWORD image = AddPicture(context, p);
    for (int layer = 0; layer < 3; ++layer)
        CreateSprite(sprites, 4 + 10 * layer, 4, image, layer, 0, 0, SpriteShown, 0);
    beginDraws = 0;
    CommitSpriteChanges(sprites);
    DrawSprites(sprites);
    const COLORREF grey = RGB(100, 100, 100);
    EXPECT_EQ(beginDraws, 2);
    EXPECT_EQ(Pixel(4, 4), grey) << "alpha 0: not drawn";
    EXPECT_EQ(Pixel(14, 4), Blend(p.At(0, 0), grey, 63)) << "alpha 0x80: blended by coefficient 63";
    EXPECT_EQ(Pixel(24, 4), p.At(0, 0)) << "alpha 0xFF: composed and copied";
}

} // namespace
