// vtrpack: writes a copy of the program with a file pack of runtime modules behind its image.
//
//   vtrpack PROGRAM LIBRARY OUTPUT [NAME=FILE]... [--app DATA] [--file NAME=FILE]...
//
// The library is stored first and raw; each NAME=FILE adds FILE deflated under the pack name NAME (which may
// hold sub-folders, separated by '\' or '/'). --app DATA puts an application data file behind the pack, for
// the program to run. Each --file NAME=FILE stores FILE behind everything else, for the program to write into
// its temporary folder as NAME (a plain file name) when it starts; the program's tag block says where they
// are. A PROGRAM of "-" writes the pack alone, as a fuzzing seed.
#include "appwriter/file_pack_writer.h"
#include "appwriter/program_image.h"
#include "win32/kernel.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

std::optional<std::vector<std::uint8_t>> ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        return std::nullopt;
    return bytes;
}

// Pack names are UTF-16; the command line gives UTF-8, which must be valid: the layer's conversion gives
// back the same bytes only for valid text.
std::optional<std::u16string> NameFromUtf8(const std::string& text) {
    std::u16string name = win32::FromUtf8(text);
    if (win32::ToUtf8(name) != text) return std::nullopt;
    return name;
}

int Fail(const std::string& message) {
    std::cerr << "vtrpack: " << message << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) return Fail("usage: vtrpack PROGRAM LIBRARY OUTPUT [NAME=FILE]... [--app DATA]");
    const bool packOnly = std::string(argv[1]) == "-";
    auto program = packOnly ? std::vector<std::uint8_t>() : ReadWhole(argv[1]);
    if (!program) return Fail(std::string("cannot read ") + argv[1]);
    auto library = ReadWhole(argv[2]);
    if (!library) return Fail(std::string("cannot read ") + argv[2]);

    appwriter::FilePackWriter writer;
    writer.AddLibrary(*library);
    std::vector<std::uint8_t> programFiles;
    std::uint32_t programFileCount = 0;
    for (int i = 4; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--file") {
            if (i + 1 >= argc) return Fail("--file needs NAME=FILE");
            argument = argv[++i];
            const auto equals = argument.find('=');
            if (equals == std::string::npos || equals == 0) return Fail("expected NAME=FILE: " + argument);
            auto name = NameFromUtf8(argument.substr(0, equals));
            auto bytes = ReadWhole(argument.substr(equals + 1));
            if (!name || !bytes) return Fail("cannot store " + argument);
            const std::vector<std::uint8_t> chunk = appwriter::ProgramFileChunk(*name, *bytes);
            programFiles.insert(programFiles.end(), chunk.begin(), chunk.end());
            ++programFileCount;
            continue;
        }
        if (argument == "--app") {
            if (i + 1 >= argc) return Fail("--app needs an application data file");
            auto data = ReadWhole(argv[++i]);
            if (!data) return Fail(std::string("cannot read ") + argv[i]);
            writer.SetApplicationData(*data);
            continue;
        }
        auto equals = argument.find('=');
        if (equals == std::string::npos || equals == 0) return Fail("expected NAME=FILE: " + argument);
        auto name = NameFromUtf8(argument.substr(0, equals));
        if (!name) return Fail("name is not UTF-8: " + argument);
        auto bytes = ReadWhole(argument.substr(equals + 1));
        if (!bytes) return Fail("cannot read " + argument.substr(equals + 1));
        writer.AddFile(*name, *bytes);
    }

    auto packed = packOnly ? writer.Write() : appwriter::AppendFilePack(*program, writer.Write());
    if (!packed) return Fail(std::string(argv[1]) + " is not an ELF64 program");
    if (programFileCount) {
        if (packOnly || packed->size() > UINT32_MAX ||
            !appwriter::PatchProgramFilesTag(*packed, static_cast<std::uint32_t>(packed->size()), programFileCount))
            return Fail(std::string(argv[1]) + " has no place for stored files");
        packed->insert(packed->end(), programFiles.begin(), programFiles.end());
    }
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(packed->data()), static_cast<std::streamsize>(packed->size()));
    out.close();
    if (!out) return Fail(std::string("cannot write ") + argv[3]);
    namespace fs = std::filesystem;
    std::error_code error;
    fs::permissions(argv[3],
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    error);
    if (error) return Fail(std::string("cannot make executable: ") + argv[3]);
    return 0;
}
