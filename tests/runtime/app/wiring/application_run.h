// A written application run to its first frame as the program would run it: a library context, the
// application loaded from memory, its main and frame windows, and the state machine's first step.
#pragma once

#include "runtime/startup/loader/loader_fixture.h"
#include "loop/application_state_machine.h"
#include "core/command_line.h"
#include "core/frame_run_state.h"
#include "shell/frame_window.h"
#include "shell/main_window.h"
#include "startup/runtime_files.h"
#include "support/scene_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace wiringtest {

// `beforeWindows` sees the loaded record before its windows are made. Check with ASSERT_NO_FATAL_FAILURE.
inline void StartApplicationRun(const std::vector<std::uint8_t>& bytes, loadertest::RecordPtr& app,
                                const std::function<void(vtrrt::ApplicationRecord&)>& beforeWindows = {}) {
    using namespace vtrrt;
    GetCommandLineOptions().errorBoxes = 0;
    // The display mode is chosen once a process: this application chooses its own, whatever ran before.
    Services().displayFlags = 0;
    ASSERT_EQ(CreateLibraryContext(nullptr), 0);
    app = loadertest::LoadFromMemory(bytes);
    ASSERT_TRUE(app);
    SetCurrentApplication(app.get());
    if (beforeWindows) beforeWindows(*app);
    ASSERT_EQ(CreateMainWindow(*app), 0);
    ASSERT_EQ(CreateFrameWindow(Services().mainWindow, 0x42000000, 4), 0);
    ASSERT_EQ(StartApplication(app.get()), 1);
    ASSERT_EQ(RunApplicationStep(app.get(), 0), 1);
}

// For its life, the run's temporary folder is where the build put the program's own modules (filters,
// transitions, extensions), as a packed program would have extracted them.
class BuiltModulesFolder {
public:
    BuiltModulesFolder() {
        vtrrt::RuntimeFiles& files = vtrrt::GetRuntimeFiles();
        kept_ = {files.tempFolder, files.runtimeTempFolder};
        files.runtimeTempFolder = std::filesystem::path(VTR_BIN_DIR).u16string();
        files.tempFolder = files.runtimeTempFolder + u"/";
    }
    ~BuiltModulesFolder() {
        vtrrt::GetRuntimeFiles().tempFolder = kept_.first;
        vtrrt::GetRuntimeFiles().runtimeTempFolder = kept_.second;
    }
    BuiltModulesFolder(const BuiltModulesFolder&) = delete;
    BuiltModulesFolder& operator=(const BuiltModulesFolder&) = delete;

private:
    std::pair<std::u16string, std::u16string> kept_;
};

inline void StopApplicationRun(loadertest::RecordPtr& app) {
    using namespace vtrrt;
    scene::EndAndClose(app);
    GetCommandLineOptions().errorBoxes = 1;
    // The display mode is chosen once a process; the next application here chooses its own.
    Services().displayFlags = 0;
}

} // namespace wiringtest
