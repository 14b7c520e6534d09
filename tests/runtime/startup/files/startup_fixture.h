// Test support for the start-up: a private system temporary folder, and file packs good and bad.
#pragma once

#include "appwriter/file_pack_writer.h"
#include "win32/kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace startup_test {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// Points TMPDIR at a fresh folder for one test, so that nothing the run makes or purges is shared.
class PrivateTempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        savedCwd_ = fs::current_path();
        if (const char* old = std::getenv("TMPDIR")) savedTmp_ = old;
        std::string pattern = (fs::temp_directory_path() / "startup-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        setenv("TMPDIR", root_.c_str(), 1);
    }
    void TearDown() override {
        fs::current_path(savedCwd_);
        if (savedTmp_) {
            setenv("TMPDIR", savedTmp_->c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // What the folder holds, as names relative to it.
    std::vector<std::string> Contents() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(root_))
            names.push_back(fs::relative(entry.path(), root_).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path root_;

private:
    fs::path savedCwd_;
    std::optional<std::string> savedTmp_;
};

inline Bytes ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return {};
    Bytes bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline void WriteBytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// The ways a pack can be malformed; each must end the start-up with nothing left behind.
enum class Corruption {
    MissingPack,
    Truncated,
    NameLengthZero,
    NameLengthOver259,
    RootedName,
    DriveName,
    ParentFolderName,
    WrongExtensionChecksum,
    LibraryNotFirst,
    LibraryTwice,
    TruncatedInLibrary,
};

inline const char* CorruptionName(Corruption c) {
    switch (c) {
    case Corruption::MissingPack:
        return "MissingPack";
    case Corruption::Truncated:
        return "Truncated";
    case Corruption::NameLengthZero:
        return "NameLengthZero";
    case Corruption::NameLengthOver259:
        return "NameLengthOver259";
    case Corruption::RootedName:
        return "RootedName";
    case Corruption::DriveName:
        return "DriveName";
    case Corruption::ParentFolderName:
        return "ParentFolderName";
    case Corruption::WrongExtensionChecksum:
        return "WrongExtensionChecksum";
    case Corruption::LibraryNotFirst:
        return "LibraryNotFirst";
    case Corruption::LibraryTwice:
        return "LibraryTwice";
    case Corruption::TruncatedInLibrary:
        return "TruncatedInLibrary";
    }
    return "?";
}

// A pack of the library and two plug-ins, one in a sub-folder, with one malformation.
inline Bytes CorruptPack(Corruption corruption, const Bytes& library) {
    const Bytes extension = Text("object extension module");
    const Bytes movement = Text("movement module");
    appwriter::FilePackWriter writer;
    if (corruption != Corruption::LibraryNotFirst) writer.AddLibrary(library);
    switch (corruption) {
    case Corruption::NameLengthZero:
        writer.AddRawEntry(u"", 0, appwriter::Deflate(movement));
        break;
    case Corruption::NameLengthOver259:
        writer.AddRawEntry(std::u16string(260, u'x'), 0, appwriter::Deflate(movement));
        break;
    case Corruption::RootedName:
        writer.AddFile(u"/rooted.mvx", movement);
        break;
    case Corruption::DriveName:
        writer.AddFile(u"C:drive.mvx", movement);
        break;
    case Corruption::ParentFolderName:
        writer.AddFile(u"sub\\..\\..\\escaped.mvx", movement);
        break;
    case Corruption::WrongExtensionChecksum:
        writer.AddRawEntry(u"bad.vxe", appwriter::RollingChecksum(extension) + 1,
                           appwriter::Deflate(extension));
        break;
    default:
        break;
    }
    writer.AddFile(u"ext.vxe", extension);
    writer.AddFile(u"movements\\move.mvx", movement);
    if (corruption == Corruption::LibraryNotFirst) writer.AddLibrary(library);
    if (corruption == Corruption::LibraryTwice) writer.AddLibrary(library);
    Bytes pack = writer.Write();
    if (corruption == Corruption::MissingPack) return {};
    if (corruption == Corruption::Truncated) pack.resize(pack.size() - 5);
    // The header, the library's entry header (name of 11 units, checksum, size) and half of its bytes.
    if (corruption == Corruption::TruncatedInLibrary) pack.resize(32 + 2 + 22 + 8 + library.size() / 2);
    return pack;
}

} // namespace startup_test
