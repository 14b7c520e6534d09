// Applications of one frame for the tests, benches and fuzz targets: the chunks of their objects and images
// written the one way the fixtures need, and a loaded application started and ended as the program does it,
// headless, on a clock that moves only when the frame waits.
#pragma once

#include "core/application_record.h"
#include "core/frame_clock.h"

#include "appwriter/application_writer.h"
#include "appwriter/object_writer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace scene {

// Time moves only when the frame waits for its next tick, and at once to it (a poll takes 1 ms).
class SteppedClock final : public vtrrt::FrameClock {
public:
    explicit SteppedClock(win32::DWORD start = 1000) : now(start) {}
    win32::DWORD Now() override { return now; }
    void WaitForMessage(win32::DWORD timeoutMs) override { now += timeoutMs ? timeoutMs : 1; }
    win32::DWORD now;
};

// The object definitions and the image bank (stored index 0 holds nothing) as the application's chunks.
void AddObjectsAndImages(appwriter::ApplicationDescription& d,
                         const std::vector<appwriter::ObjectInfoDesc>& objects,
                         const std::vector<appwriter::ImageItemDesc>& images);

// Headless video and sound, and no message boxes: a refused input says so on stderr only.
void QuietRun();

// A loaded application becomes the current one, its main and frame windows open and it starts; false at
// the first of these that fails. Its first frame starts with the next step.
bool StartLoaded(vtrrt::ApplicationRecord& app);
// The program's end of a started application: its frame freed and the application ended. Closing it is left
// to its owner, before CloseWindows.
void EndStarted(vtrrt::ApplicationRecord& app);
// The main window destroyed, and no application current.
void CloseWindows();

// One run of application data, from the library context to the windows closed, with a clock of its own.
// The bytes must outlive the run: the data stream reads them in place.
class FrameRun {
public:
    struct Options {
        const char16_t* path = nullptr; // the data's file name, as the loader is told it
        int pathLength = 0;
        // Between the application's load and its start.
        std::function<void(vtrrt::ApplicationRecord&)> beforeStart;
    };

    explicit FrameRun(vtrrt::FrameClock& clock);
    ~FrameRun();
    FrameRun(const FrameRun&) = delete;
    FrameRun& operator=(const FrameRun&) = delete;

    // Loads and starts the application; false at the first step that fails. Its first frame starts with the
    // next step.
    bool Start(const std::vector<std::uint8_t>& bytes, const Options& options);
    bool Start(const std::vector<std::uint8_t>& bytes) { return Start(bytes, Options{}); }
    // The same for a data file, read by the program's own loader as `-F` names it.
    bool StartFile(const std::u16string& path);
    // Ends and closes the application, if any, and closes the windows.
    void Stop();
    vtrrt::ApplicationRecord* Application() const { return app_; }

private:
    vtrrt::FrameClock* previous_ = nullptr;
    vtrrt::ApplicationRecord* app_ = nullptr;
};

} // namespace scene
