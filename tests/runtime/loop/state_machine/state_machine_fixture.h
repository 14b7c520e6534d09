// A written application started through the state machine on simulated time, without windows.
#pragma once

#include "runtime/startup/loader/loader_fixture.h"
#include "loop/application_state_machine.h"
#include "core/command_line.h"
#include "core/frame_clock.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "support/scene_fixture.h"

#include "appwriter/frame_writer.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

namespace statemachinetest {

using namespace vtrrt;

// Simulated time: it moves only when the runtime waits, by the time waited (a poll takes 1 ms).
class FakeClock final : public FrameClock {
public:
    win32::DWORD Now() override { return now; }
    void WaitForMessage(win32::DWORD timeoutMs) override { now += timeoutMs ? timeoutMs : 1; }
    win32::DWORD now = 0xFFFFF000; // wraps a few seconds in
};

struct AppShape {
    AppShape(int frames = 3, std::int32_t rate = 60, std::uint16_t flags1 = 0, std::uint16_t flags2 = 0,
             std::optional<std::vector<std::uint16_t>> handles = std::nullopt)
        : frames(frames), rate(rate), flags1(flags1), flags2(flags2), handles(std::move(handles)) {}
    int frames;
    std::int32_t rate;
    std::uint16_t flags1;
    std::uint16_t flags2;
    std::optional<std::vector<std::uint16_t>> handles;
};

class StateMachine : public ::testing::Test {
protected:
    void SetUp() override {
        previousClock_ = SetFrameClock(&clock_);
        GetCommandLineOptions().errorBoxes = 0;
    }
    void TearDown() override {
        scene::EndAndRelease(app_);
        SetFrameClock(previousClock_);
        GetCommandLineOptions().errorBoxes = 1;
        Services().endRequested = false;
    }

    ApplicationRecord* Start(const AppShape& shape) {
        appwriter::ApplicationDescription d;
        d.header->frameRate = shape.rate;
        d.header->flags1 = shape.flags1;
        d.header->flags2 = shape.flags2;
        d.frameHandles = shape.handles;
        for (int i = 0; i < shape.frames; ++i)
            d.frames.push_back(
                appwriter::DescribeFrame(320, 200, static_cast<std::uint32_t>(0x10 * (i + 1))));
        return StartWith(d);
    }
    ApplicationRecord* StartWith(const appwriter::ApplicationDescription& d) {
        bytes_ = appwriter::WriteApplication(d);
        app_ = loadertest::LoadFromMemory(bytes_);
        EXPECT_TRUE(app_);
        EXPECT_EQ(StartApplication(app_.get()), 1);
        return app_.get();
    }
    int Step() { return RunApplicationStep(app_.get(), 0); }
    FrameRunState* Run() { return CurrentRunState(); }
    // Asks the running frame to end with a code, then steps once.
    int EndWith(std::int16_t code, std::int32_t parameter = 0) {
        Run()->exitCode = code;
        Run()->exitParameter = parameter;
        return Step();
    }

    FakeClock clock_;
    FrameClock* previousClock_ = nullptr;
    std::vector<std::uint8_t> bytes_;
    loadertest::LibraryContextScope context_;
    loadertest::RecordPtr app_;
};

} // namespace statemachinetest
