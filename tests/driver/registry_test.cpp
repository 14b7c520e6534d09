// The registry of threads and screens: one entry per pair and per thread, lists freed when they empty,
// lookups by window, and screens that stop being current on every thread when they go.
#include "screen_registry.h"
#include "screen_surface.h"

#include <gtest/gtest.h>

#include <latch>
#include <thread>

namespace {

using namespace win32;

// Two distinct Direct3D objects as the registry sees them: keys only, never called, so every thread entry
// is removed before its registry goes.
IDirect3D8* const FirstObject = reinterpret_cast<IDirect3D8*>(std::uintptr_t{0x1000});
IDirect3D8* const SecondObject = reinterpret_cast<IDirect3D8*>(std::uintptr_t{0x2000});

TEST(ScreenRegistry, ListsAPairOnceAndFreesTheListWhenTheLastGoes) {
    ScreenRegistry registry;
    cD3DScreenSurface a, b;
    registry.AddScreen(FirstObject, &a);
    registry.AddScreen(FirstObject, &a);
    EXPECT_EQ(registry.ScreenCount(), 1u);
    registry.AddScreen(SecondObject, &a);
    registry.AddScreen(FirstObject, &b);
    EXPECT_EQ(registry.ScreenCount(), 3u);

    // A pair that is not listed changes nothing.
    registry.RemoveScreen(SecondObject, &b);
    EXPECT_EQ(registry.ScreenCount(), 3u);

    registry.RemoveScreen(FirstObject, &a);
    registry.RemoveScreen(SecondObject, &a);
    registry.RemoveScreen(FirstObject, &b);
    EXPECT_EQ(registry.ScreenCount(), 0u);
    EXPECT_EQ(registry.ScreenCapacity(), 0u);

    registry.AddScreen(FirstObject, &b);
    EXPECT_EQ(registry.ScreenCount(), 1u);
    registry.RemoveScreen(FirstObject, &b);
}

TEST(ScreenRegistry, AThreadWithoutAnEntryHasNoObjectAndNoCurrentScreen) {
    ScreenRegistry registry;
    cD3DScreenSurface screen;
    registry.SetThreadDirect3D(FirstObject);
    registry.SetThreadCurrentScreen(&screen);
    IDirect3D8* seen = FirstObject;
    cD3DScreenSurface* current = &screen;
    std::thread([&] {
        // Setting the current screen of a thread that has no entry does nothing.
        registry.SetThreadCurrentScreen(&screen);
        seen = registry.GetThreadDirect3D(&current);
    }).join();
    EXPECT_EQ(seen, nullptr);
    EXPECT_EQ(current, nullptr);
    EXPECT_EQ(registry.ThreadCount(), 1u);

    EXPECT_EQ(registry.GetThreadDirect3D(&current), FirstObject);
    EXPECT_EQ(current, &screen);
    // A second object replaces the first in the same entry.
    registry.SetThreadDirect3D(SecondObject);
    EXPECT_EQ(registry.GetThreadDirect3D(nullptr), SecondObject);
    EXPECT_EQ(registry.ThreadCount(), 1u);
    registry.RemoveThreadEntry();
    EXPECT_EQ(registry.ThreadCount(), 0u);
    EXPECT_EQ(registry.GetThreadDirect3D(&current), nullptr);
}

// The other thread would otherwise keep drawing to a screen that no longer exists.
TEST(ScreenRegistry, AScreenRemovedStopsBeingCurrentOnEveryThread) {
    ScreenRegistry registry;
    cD3DScreenSurface kept, removed;
    registry.SetThreadDirect3D(FirstObject);
    registry.AddScreen(FirstObject, &removed);
    registry.AddScreen(FirstObject, &kept);
    registry.SetThreadCurrentScreen(&kept);
    std::latch madeCurrent(1), wasRemoved(1);
    cD3DScreenSurface* otherCurrent = &kept;
    std::thread other([&] {
        registry.SetThreadDirect3D(SecondObject);
        registry.SetThreadCurrentScreen(&removed);
        madeCurrent.count_down();
        wasRemoved.wait();
        registry.GetThreadDirect3D(&otherCurrent);
        registry.RemoveThreadEntry();
    });
    madeCurrent.wait();
    registry.RemoveScreen(FirstObject, &removed);
    wasRemoved.count_down();
    other.join();

    EXPECT_EQ(otherCurrent, nullptr);
    cD3DScreenSurface* current = nullptr;
    registry.GetThreadDirect3D(&current);
    EXPECT_EQ(current, &kept);
    registry.RemoveScreen(FirstObject, &kept);
    registry.GetThreadDirect3D(&current);
    EXPECT_EQ(current, nullptr);
    registry.RemoveThreadEntry();
}

TEST(ScreenRegistry, FindsTheFirstScreenOfTheObjectBoundToAWindow) {
    ScreenRegistry registry;
    cD3DScreenSurface unbound;
    registry.AddScreen(FirstObject, &unbound);
    EXPECT_EQ(registry.FindScreenByWindow(FirstObject, nullptr), &unbound);
    EXPECT_EQ(registry.FindScreenByWindow(SecondObject, nullptr), nullptr);
    EXPECT_EQ(registry.FindScreenByWindow(FirstObject, reinterpret_cast<HWND>(std::uintptr_t{0x10})),
              nullptr);
    registry.RemoveScreen(FirstObject, &unbound);
}

} // namespace
