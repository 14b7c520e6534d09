// Every test process gets a temporary folder of its own (TMPDIR, and TEST_TMPDIR for the test framework's
// own), removed when its tests end; what a test
// leaves in it is a failure, so that the suite leaves nothing in the system's temporary folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

namespace fs = std::filesystem;

// A death test's child process makes its own such folder inside its parent's and may end without removing it.
// No dash: a command line that names a path inside it reads "-F..." of a random suffix as a switch.
constexpr const char* FolderPrefix = "vtr_test_";

// The layer's mark of a temporary folder that a test removed without the layer ("<folder>.owner") goes when
// the process exits.
bool IsMarkOfAFolderGone(const fs::path& path) {
    const std::string name = path.string();
    const std::string suffix = ".owner";
    return name.size() > suffix.size() &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 &&
           !fs::exists(name.substr(0, name.size() - suffix.size()));
}

class PrivateTempEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / (std::string(FolderPrefix) + "XXXXXX")).string();
        if (!mkdtemp(pattern.data())) return;
        folder_ = pattern;
        for (Variable& v : variables_) {
            if (const char* old = std::getenv(v.name)) v.saved = old;
            setenv(v.name, folder_.c_str(), 1);
        }
    }
    void TearDown() override {
        if (folder_.empty()) return;
        for (const Variable& v : variables_) {
            if (v.saved)
                setenv(v.name, v.saved->c_str(), 1);
            else
                unsetenv(v.name);
        }
        std::error_code error;
        // What failing tests wrote is checked no further; it stays to be looked at only when asked for.
        if (!::testing::UnitTest::GetInstance()->Passed()) {
            if (const char* keep = std::getenv("VTR_KEEP_TEST_FILES"); keep && *keep == '1') {
                std::fprintf(stderr, "the failed tests' temporary files are kept in %s\n", folder_.c_str());
            } else {
                fs::remove_all(folder_, error);
                std::fprintf(stderr, "the failed tests' temporary files were removed (VTR_KEEP_TEST_FILES=1 "
                                     "keeps them)\n");
            }
            return;
        }
        std::string left;
        for (const auto& entry : fs::directory_iterator(folder_, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(FolderPrefix, 0) != 0 && !IsMarkOfAFolderGone(entry.path())) left += " " + name;
        }
        fs::remove_all(folder_, error);
        EXPECT_EQ(left, "") << "left in the temporary folder by the tests";
    }

private:
    struct Variable {
        const char* name;
        std::optional<std::string> saved;
    };
    Variable variables_[2]{{"TMPDIR", {}}, {"TEST_TMPDIR", {}}};
    std::string folder_;
};

[[maybe_unused]] const auto* const registered =
    ::testing::AddGlobalTestEnvironment(new PrivateTempEnvironment);

} // namespace
