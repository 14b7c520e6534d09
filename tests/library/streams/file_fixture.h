// A temporary folder per test with files of a known byte pattern, for the file-stream tests.
#pragma once

#include "vtrs2/memory_testing.h"
#include "vtrs2/raw_files.h"
#include "win32/kernel.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// Byte i of a pattern file: not periodic at any power of two, so misplaced blocks show.
inline unsigned char PatternByte(std::size_t i) {
    return static_cast<unsigned char>((i * 7 + i / 251) & 0xFF);
}

inline Bytes Pattern(std::size_t size, std::size_t from = 0) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = PatternByte(from + i);
    return bytes;
}

// The data as one zlib stream, made by zlib itself.
inline Bytes Deflated(const Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 6), Z_OK);
    out.resize(size);
    return out;
}

struct FailAllocations {
    FailAllocations(int skip, int count) { SetAllocationFailures(skip, count); }
    ~FailAllocations() { SetAllocationFailures(0, 0); }
};

// A raw handle closed at the end of the scope.
class RawHandle {
public:
    explicit RawHandle(win32::HANDLE handle) : handle_(handle) {}
    ~RawHandle() {
        if (handle_ != win32::INVALID_HANDLE_VALUE) FileCloseRaw(handle_);
    }
    RawHandle(const RawHandle&) = delete;
    RawHandle& operator=(const RawHandle&) = delete;
    win32::HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != win32::INVALID_HANDLE_VALUE; }

private:
    win32::HANDLE handle_;
};

class FileTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = win32::CreateUniqueTempFolder(u"vstream");
        ASSERT_FALSE(root_.empty());
        host_ = win32::ToUtf8(root_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(host_, ignored);
    }

    std::u16string Path(std::u16string_view name) const { return root_ + u'/' + std::u16string(name); }
    std::string HostPath(const std::string& name) const { return host_ + "/" + name; }

    // Writes a file and returns its wide name.
    std::u16string MakeFile(const std::string& name, const Bytes& contents) const {
        std::ofstream(HostPath(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.data()),
                   static_cast<std::streamsize>(contents.size()));
        return Path(win32::FromUtf8(name));
    }
    Bytes ReadHostFile(const std::string& name) const {
        std::ifstream in(HostPath(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::size_t HostSize(const std::string& name) const { return std::filesystem::file_size(HostPath(name)); }

    std::u16string root_;
    std::string host_;
};
