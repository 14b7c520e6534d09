// Where a target writes its own seeds: the first corpus folder of its command line, when that is empty.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace framerun {

// The first corpus folder of the command line when it is empty, else an empty path: the folder a target
// writes its seeds into.
inline std::filesystem::path EmptyCorpusFolder(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        const std::filesystem::path folder(argv[i]);
        if (argv[i][0] == '-' || !std::filesystem::is_directory(folder, error)) continue;
        return std::filesystem::is_empty(folder, error) ? folder : std::filesystem::path();
    }
    return {};
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace framerun
