// Reads arbitrary bytes as an application's text file in the encoding the first byte picks (a byte-order
// mark in the file overrides it), then writes the text back as UTF-16 with a mark and reads it again: the
// same text must come back. An empty first corpus folder receives a text in each encoding.
#include "quiet_target.h"
#include "seed_folder.h"

#include "startup/text_files.h"

#include "vtrs2/memory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace vtrrt;

namespace {

std::u16string FilePath(const char* name) {
    const std::string path = "/tmp/vtr-fuzz-text-" + std::to_string(getpid()) + name;
    return {path.begin(), path.end()};
}

void Seeds(const std::filesystem::path& folder) {
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> seeds = {
        {"ansi", {0, 'L', 'i', 'n', 'e', 0xE9, '\r', '\n', 'b'}},
        {"utf8-bom", {1, 0xEF, 0xBB, 0xBF, 'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80}},
        {"utf8", {2, 'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xED, 0xA0, 0x80, 0xC3}},
        {"utf16le-bom", {3, 0xFF, 0xFE, 'h', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 'x'}},
        {"utf16le", {4, 'h', 0, 'i', 0, 0x00, 0xD8}},
        {"utf16be-bom", {5, 0xFE, 0xFF, 0, 'h', 0, 0xE9, 0xD8, 0x3D}},
        {"utf16be", {6, 0, 'h', 0, 'i', 0x20}},
    };
    for (const auto& [name, bytes] : seeds)
        framerun::WriteFile(folder / name, bytes);
}

const std::u16string& InputPath() {
    static const std::u16string path = FilePath(".txt");
    return path;
}
const std::u16string& CopyPath() {
    static const std::u16string path = FilePath("-copy.txt");
    return path;
}

void RemoveFiles() {
    for (const std::u16string* path : {&InputPath(), &CopyPath()})
        std::remove(std::string(path->begin(), path->end()).c_str());
}

std::u16string Take(win32::WCHAR* text) {
    std::u16string s(text);
    FreeMemoryBlock(text);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    // Made before the hook is set, so that they outlive it.
    InputPath();
    CopyPath();
    std::atexit(RemoveFiles);
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    const std::u16string &input = InputPath(), &copy = CopyPath();
    const std::string narrow(input.begin(), input.end());
    if (FILE* f = std::fopen(narrow.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    } else {
        return 0;
    }
    win32::WCHAR* text = ReadTextFile(input.c_str(), data[0] % TextEncodingCount);
    if (!text) return 0;
    if (WriteTextFile(TextUtf16LeBom, copy.c_str(), text) != 1) __builtin_trap();
    const std::u16string first = Take(text);
    win32::WCHAR* again = ReadTextFile(copy.c_str(), TextAnsi);
    if (!again || Take(again) != first) __builtin_trap();
    return 0;
}
