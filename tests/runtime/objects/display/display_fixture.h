// A written application of active objects with 32-bit images, run in its main and frame windows over a
// library context, ticked loop by loop, and the pixels the frame window shows.
#pragma once

#include "core/command_line.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "objects/animations.h"
#include "objects/run_objects.h"
#include "runtime/startup/loader/loader_fixture.h"
#include "runtime/waited_clock.h"
#include "shell/frame_window.h"
#include "shell/main_window.h"
#include "startup/banks.h"
#include "startup/frame_object_infos.h"
#include "startup/object_infos.h"
#include "support/scene_fixture.h"

#include "appwriter/frame_writer.h"
#include "appwriter/object_writer.h"
#include "vtrs2/sprites.h"
#include "win32/window_testing.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

namespace displaytest {

using namespace vtrrt;
using win32::COLORREF;

constexpr COLORREF Background = 0x00302010;
constexpr std::int32_t FrameWidth = 160, FrameHeight = 120;
constexpr std::uint32_t KeyedInk = 0x10000000;

// An image of the bank: its size, hot spot, transparent colour and one colour per pixel.
struct Picture {
    std::int16_t width = 8, height = 8;
    std::int16_t hotX = 0, hotY = 0;
    COLORREF transparent = 0;
    std::function<COLORREF(int x, int y)> colour = [](int, int) { return COLORREF{0x0000FF}; };
};

// Stored as 32-bit pixels (graphic mode 8): blue, green, red, 0.
inline appwriter::ImageItemDesc ImageOf(const Picture& p) {
    appwriter::ImageItemDesc d;
    d.width = p.width;
    d.height = p.height;
    d.hotX = p.hotX;
    d.hotY = p.hotY;
    d.graphicMode = 8;
    d.transparent = p.transparent;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const COLORREF c = p.colour(x, y);
            d.pixels.insert(d.pixels.end(),
                            {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                             static_cast<std::uint8_t>(c), 0});
        }
    return d;
}

// An active object whose walking animation shows `images` in direction 0 (stored image indexes, from 1).
struct ActiveDesc {
    std::uint16_t handle = 1;
    std::vector<std::uint16_t> images{1};
    std::uint32_t ink = KeyedInk;
    std::uint32_t inkParameter = 0;
    std::uint8_t minSpeed = 100, maxSpeed = 100; // a fixed frame rate
    std::uint16_t loops = 0;
    // Flag 0x04: the sprite keeps what lies under it, so that it can be erased when it moves.
    std::uint32_t objectFlags =
        ObjectSavesWindowRect | ObjectHasAnimation | ObjectHasSprite | ObjectHasMovement;
    std::vector<appwriter::AnimationDesc> animations; // none: the walking animation above
    bool noAnimations = false;                        // an animation list of no animations
    std::uint16_t collisionWord = 0;                  // bit 2: collisions by box only
    std::optional<std::uint32_t> effectIndex;         // ink 13: the effect of the bank, with no values
};

inline ActiveDesc MakeActive(std::uint16_t handle, std::vector<std::uint16_t> images, std::uint32_t ink,
                             std::uint32_t inkParameter = 0) {
    ActiveDesc a;
    a.handle = handle;
    a.images = std::move(images);
    a.ink = ink;
    a.inkParameter = inkParameter;
    return a;
}

struct Placement {
    std::uint16_t object;
    std::int32_t x, y;
    std::int16_t layer = 0;
};

// The pictures as the image bank's items, stored from index 1 in their order.
inline std::vector<appwriter::ImageItemDesc> ImagesOf(const std::vector<Picture>& pictures) {
    std::vector<appwriter::ImageItemDesc> images;
    for (const Picture& p : pictures)
        images.push_back(ImageOf(p));
    return images;
}

// The frame's instances, numbered from 1 in the order placed.
inline std::vector<appwriter::InstanceDesc> InstancesOf(const std::vector<Placement>& placements) {
    std::vector<appwriter::InstanceDesc> instances;
    std::uint16_t n = 1;
    for (const Placement& p : placements)
        instances.push_back({n++, p.object, p.x, p.y, 0, 0, p.layer});
    return instances;
}

inline appwriter::ObjectInfoDesc ObjectOf(const ActiveDesc& a) {
    appwriter::ObjectInfoDesc o;
    o.handle = a.handle;
    o.name = u"Active";
    o.inkEffect = a.ink;
    o.inkParameter = a.inkParameter;
    o.effectIndex = a.effectIndex;
    o.definition.objectFlags = a.objectFlags;
    o.definition.collisionWord = a.collisionWord;
    if (a.noAnimations) {
        o.definition.emptyAnimationList = true;
    } else if (a.animations.empty()) {
        appwriter::AnimationDesc walking;
        walking.number = AnimationWalking;
        walking.directions.push_back({0, a.minSpeed, a.maxSpeed, a.loops, 0, a.images});
        o.definition.animations = {walking};
    } else {
        o.definition.animations = a.animations;
    }
    appwriter::MovementDesc still;
    still.type = 0;
    o.definition.movements = {still};
    return o;
}

// `adjust` may change the frame's layers, layer effects and events before the frame is written.
inline appwriter::ApplicationDescription
Describe(const std::vector<Picture>& pictures, const std::vector<ActiveDesc>& actives,
         const std::vector<Placement>& placements,
         const std::function<void(appwriter::FrameContents&)>& adjust = {}) {
    appwriter::ApplicationDescription d;
    d.header->windowWidth = FrameWidth;
    d.header->windowHeight = FrameHeight;
    d.header->graphicMode = 8;
    std::vector<appwriter::ObjectInfoDesc> objects;
    for (const ActiveDesc& a : actives)
        objects.push_back(ObjectOf(a));
    scene::AddObjectsAndImages(d, objects, ImagesOf(pictures));
    appwriter::FrameContents contents;
    // Both layers shown.
    contents.layers = {appwriter::LayerDesc{}, appwriter::LayerDesc{}};
    for (auto& layer : contents.layers)
        layer.flags = 0x10;
    contents.instances = InstancesOf(placements);
    if (adjust) adjust(contents);
    d.frames.push_back(appwriter::DescribeFrame(FrameWidth, FrameHeight, Background, contents));
    return d;
}

// The clock moves only when the test says so: each tick is one loop.
class TestClock final : public runtime_test::WaitedClock {
public:
    TestClock() : WaitedClock(5000) {}
};

class DisplayTest : public ::testing::Test {
protected:
    void Start(const std::vector<Picture>& pictures, const std::vector<ActiveDesc>& actives,
               const std::vector<Placement>& placements) {
        StartDescribed(Describe(pictures, actives, placements));
    }
    void StartDescribed(const appwriter::ApplicationDescription& d) {
        previousClock_ = SetFrameClock(&clock_);
        GetCommandLineOptions().errorBoxes = 0;
        bytes_ = appwriter::WriteApplication(d);
        ASSERT_NO_FATAL_FAILURE(scene::LoadAndStart(bytes_, app_));
        BeforeFrameStarts();
        ASSERT_EQ(RunApplicationStep(app_.get(), 0), 1);
    }
    // Between the application's start, which installs the routines of the kinds, and its first frame.
    virtual void BeforeFrameStarts() {}
    void TearDown() override {
        scene::EndAndClose(app_);
        SetFrameClock(previousClock_);
        GetCommandLineOptions().errorBoxes = 1;
    }
    // One loop, displayed: steps until the frame has run one more loop (a step may only wait for it, or play
    // a step of a fade, which holds the frame's loops).
    void Tick() {
        const std::int64_t loops = CurrentRunState()->loopCount;
        for (int i = 0; i < MaxStepsForALoop && CurrentRunState() && CurrentRunState()->loopCount == loops;
             ++i)
            ASSERT_EQ(runtime_test::StepApplication(app_.get(), clock_), 1);
    }
    int EndWith(std::int16_t code) {
        CurrentRunState()->exitCode = code;
        return RunApplicationStep(app_.get(), 0);
    }
    RunObject* Slot(int slot) { return CurrentRunState()->objects[slot].object; }
    RunObjectExtended* Active(int slot) { return ExtendedOf(Slot(slot)); }
    COLORREF Shown(int x, int y) { return win32::testing::ReadWindowPixel(Services().frameWindow, x, y); }

    // Enough steps for the longest fade of the tests' applications (a few seconds) to play before a loop.
    static constexpr int MaxStepsForALoop = 1000;
    TestClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::vector<std::uint8_t> bytes_;
    loadertest::RecordPtr app_;
};

// A plain picture of the play area, drawn the slow way: each image put pixel by pixel, in display order.
class NaiveCompositor {
public:
    NaiveCompositor() : pixels_(static_cast<std::size_t>(FrameWidth * FrameHeight), Background) {}
    // ink: 0 copy, KeyedInk skips the picture's transparent colour; blend gives the destination's weight.
    void Put(const Picture& p, int left, int top, std::uint32_t ink, int blend = -1) {
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const int tx = left + x, ty = top + y;
                if (tx < 0 || ty < 0 || tx >= FrameWidth || ty >= FrameHeight) continue;
                const COLORREF c = p.colour(x, y);
                if ((ink & KeyedInk) && (c & 0xFFFFFF) == (p.transparent & 0xFFFFFF)) continue;
                COLORREF& d = pixels_[static_cast<std::size_t>(ty * FrameWidth + tx)];
                d = blend < 0 ? c : Blend(c, d, static_cast<std::uint32_t>(blend));
            }
    }
    COLORREF At(int x, int y) const { return pixels_[static_cast<std::size_t>(y * FrameWidth + x)]; }

private:
    static COLORREF Blend(COLORREF s, COLORREF d, std::uint32_t weight) {
        COLORREF out = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const std::uint32_t a = (s >> shift) & 0xFF, b = (d >> shift) & 0xFF;
            out |= (((a * (128 - weight) + b * weight) >> 7) & 0xFF) << shift;
        }
        return out;
    }
    std::vector<COLORREF> pixels_;
};

// The frame window shows the compositor's picture; the first few differences are reported.
inline void ExpectWindowShows(const NaiveCompositor& expected) {
    int wrong = 0;
    for (int y = 0; y < FrameHeight; ++y)
        for (int x = 0; x < FrameWidth; ++x) {
            const COLORREF shown = win32::testing::ReadWindowPixel(Services().frameWindow, x, y);
            if (shown != expected.At(x, y) && wrong++ < 5)
                ADD_FAILURE() << "at " << x << "," << y << " shown " << std::hex << shown << " expected "
                              << expected.At(x, y);
        }
    EXPECT_EQ(wrong, 0);
}

} // namespace displaytest
