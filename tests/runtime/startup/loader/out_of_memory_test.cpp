#include "loader_fixture.h"

#include "appwriter/sample_applications.h"
#include "core/command_line.h"

#include "vtrs2/memory_testing.h"

#include <gtest/gtest.h>

namespace {

using namespace loadertest;

// Every allocation of a load, one after the other, fails once: the load either copes or reports that memory
// ran out, and gives back everything it took (the sanitizer checks the last part at exit).
TEST(LoadOutOfMemory, EachFailedAllocationEndsTheLoadCleanly) {
    vtrrt::GetCommandLineOptions().errorBoxes = 0;
    appwriter::ApplicationDescription app = appwriter::FullApplication(appwriter::StringForm::Ansi);
    appwriter::ApplyChunkFlags(app, 3);
    const auto bytes = appwriter::WriteApplication(app);
    int failures = 0;
    for (int skip = 0; skip < 400; ++skip) {
        SetAllocationFailures(skip, 2);
        int code = -99;
        ::testing::internal::CaptureStderr();
        RecordPtr record = LoadFromMemory(bytes, &code);
        ::testing::internal::GetCapturedStderr();
        SetAllocationFailures(0, 0);
        if (code != 0) {
            ++failures;
            // The loader's own code, or the library's when its streams ran out: both say "Not enough
            // memory!".
            EXPECT_TRUE(code == 8 || code == 0x40000000) << "allocation " << skip << ": " << code;
            EXPECT_EQ(record, nullptr);
        }
    }
    EXPECT_GT(failures, 10);
    vtrrt::GetCommandLineOptions() = {};
}

} // namespace
