#include "loader_fixture.h"

#include "appwriter/sample_applications.h"
#include "core/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace loadertest;

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

class ApplicationFile : public ::testing::Test {
protected:
    void SetUp() override {
        vtrrt::GetCommandLineOptions() = {};
        folder = std::filesystem::temp_directory_path() /
                 ("vtr-loader-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        vtrrt::GetCommandLineOptions() = {};
    }
    std::filesystem::path folder;
};

TEST_F(ApplicationFile, StandAloneDataFileLoadsAndKeepsItsStreamOpen) {
    const auto path = (folder / "quest.vtg").string();
    ASSERT_TRUE(appwriter::ApplicationWriter(appwriter::FullApplication(appwriter::StringForm::Wide))
                    .WriteFile(path));
    const std::u16string wide = Wide(path);
    RecordPtr app(vtrrt::LoadApplication(wide.c_str(), 3, nullptr, nullptr, 0, 0));
    ASSERT_TRUE(app);
    EXPECT_EQ(Text(app->name), u"Café Quest €");
    EXPECT_EQ(app->dataBaseOffset, 0u);
    EXPECT_EQ(app->value, 3);
    ASSERT_NE(app->dataStream, nullptr);
    // Frames load later from the same stream, at the positions noted.
    std::uint8_t id[2];
    app->dataStream->Seek(static_cast<win32::LONG>(app->frameOffsets[1]), SeekFromStart);
    ASSERT_EQ(app->dataStream->Read(id, 2), StreamOk);
    EXPECT_EQ(id[0] | (id[1] << 8), 0x3334);
}

TEST_F(ApplicationFile, MissingFileReportsItsNameAndCannotOpen) {
    const std::u16string wide = Wide((folder / "missing.vtg").string());
    ::testing::internal::CaptureStderr();
    RecordPtr app(vtrrt::LoadApplication(wide.c_str(), 0, nullptr, nullptr, 0, 0));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(app, nullptr);
    const std::string expected =
        "vtrrt: " + (folder / "missing.vtg").string() + " : Error while opening file.\n";
    EXPECT_NE(err.find(expected), std::string::npos) << err;
}

} // namespace
