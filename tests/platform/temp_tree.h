// A real folder under the system's temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include "win32/kernel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempTree : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = win32::CreateUniqueTempFolder(u"ptest");
        ASSERT_FALSE(root_.empty());
        host_ = win32::ToUtf8(root_);
    }
    void TearDown() override {
        // What is in it first, then the folder itself as its owner removes it, so that its mark goes too.
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(host_, ignored))
            std::filesystem::remove_all(entry.path(), ignored);
        win32::RemoveDirectoryW(root_.c_str());
    }
    // The tree's path joined with a relative name, with the separator the test chooses.
    std::u16string Path(std::u16string_view name, char16_t separator = u'/') const {
        return root_ + separator + std::u16string(name);
    }
    void MakeFile(const std::string& relative, const std::string& contents = "") const {
        std::ofstream(host_ + "/" + relative, std::ios::binary) << contents;
    }
    void MakeFolder(const std::string& relative) const {
        std::filesystem::create_directories(host_ + "/" + relative);
    }
    bool HostExists(const std::string& relative) const {
        return std::filesystem::exists(host_ + "/" + relative);
    }

    std::u16string root_;
    std::string host_;
};
