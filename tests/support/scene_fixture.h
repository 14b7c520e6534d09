// Written application data started the program's way for a test fixture that keeps the loaded record;
// ASSERT_NO_FATAL_FAILURE around a call stops the fixture at the step that failed.
#pragma once

#include "runtime/startup/loader/loader_fixture.h"
#include "support/scene.h"

#include "shell/main_window.h"
#include "core/runtime_services.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace scene {

// The library context made, the data loaded from memory and started in its windows; its first frame starts
// with the next step. The bytes must outlive the record.
inline void LoadAndStart(const std::vector<std::uint8_t>& bytes, loadertest::RecordPtr& app) {
    ASSERT_EQ(vtrrt::CreateLibraryContext(nullptr), 0);
    app = loadertest::LoadFromMemory(bytes);
    ASSERT_TRUE(app);
    ASSERT_TRUE(StartLoaded(*app));
}

// As the program ends: the application ended and closed first, then the main window and the context.
inline void EndAndClose(loadertest::RecordPtr& app) {
    if (app) EndStarted(*app);
    app.reset();
    CloseWindows();
}

// The same for an application that opened no windows of its own: ended and closed, and no longer current.
inline void EndAndRelease(loadertest::RecordPtr& app) {
    if (app) EndStarted(*app);
    app.reset();
    vtrrt::SetCurrentApplication(nullptr);
}

} // namespace scene
