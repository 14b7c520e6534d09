// Reads arbitrary bytes as the run of stored files behind the program, as the extension services extract
// them into the run's temporary folder: chunks of a terminated UTF-16 name and the file's bytes, plain or
// compressed. Whatever the bytes, nothing is written outside the folder, and what was written is deleted
// with the extracted files.
//
// Input: byte 0 the number of files to extract (1 to 8), the rest the program file from the run's start. An
// empty first corpus folder receives runs written by the application writer's chunk framing.
#include "frame_run.h"
#include "quiet_target.h"

#include "shell/extension_services.h"
#include "startup/runtime_files.h"

#include "appwriter/application_writer.h"
#include "appwriter/byte_writer.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace vtrrt;
namespace fs = std::filesystem;

namespace {

// The run's folder sits inside a parent of its own, which must hold nothing else afterwards.
const fs::path& Parent() {
    static const fs::path parent = [] {
        std::string pattern = (fs::temp_directory_path() / "vtr-fuzz-filesXXXXXX").string();
        if (!mkdtemp(pattern.data())) __builtin_trap();
        fs::create_directory(fs::path(pattern) / "run");
        return fs::path(pattern);
    }();
    return parent;
}

void RemoveParent() {
    std::error_code ignored;
    fs::remove_all(Parent(), ignored);
}

appwriter::Bytes FileChunk(const std::u16string& name, const std::string& bytes, std::uint16_t flags) {
    appwriter::ByteWriter w;
    w.Units(name);
    w.U16(0);
    w.Bytes({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    appwriter::Bytes out;
    appwriter::WriteChunk(out, 0x2240, flags, w.Take(), {});
    return out;
}

void Seeds(const fs::path& folder) {
    const std::vector<std::pair<const char*, std::vector<appwriter::Bytes>>> runs = {
        {"one-plain", {FileChunk(u"one.dat", "first", 0)}},
        {"two-one-compressed",
         {FileChunk(u"a.txt", "plain bytes", 0), FileChunk(u"b.bin", std::string(3000, 'z'), 1)}},
        {"empty-file-then-bad-name", {FileChunk(u"empty", "", 0), FileChunk(u"../up.dat", "no", 0)}},
    };
    for (const auto& [name, chunks] : runs) {
        std::vector<std::uint8_t> input{static_cast<std::uint8_t>(chunks.size() - 1)};
        for (const appwriter::Bytes& c : chunks)
            input.insert(input.end(), c.begin(), c.end());
        framerun::WriteFile(folder / name, input);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    framerun::QuietRun();
    RuntimeFiles& files = GetRuntimeFiles();
    files.runtimeTempFolder = (Parent() / "run").u16string();
    files.tempFolder = files.runtimeTempFolder + u"/";
    std::atexit(RemoveParent);
    if (const auto folder = framerun::EmptyCorpusFolder(*argc, *argv); !folder.empty()) Seeds(folder);
    CloseTargetStderr(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1 << 20)) return 0;
    const fs::path program = Parent() / "program";
    if (FILE* f = std::fopen(program.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    } else {
        return 0;
    }
    const std::u16string path = program.u16string();
    ExtractProgramFiles(path.c_str(), 0, (data[0] & 7) + 1u);
    DeleteExtractedFiles();
    // Only the program and the run's folder, which is empty again.
    std::size_t entries = 0;
    for (const fs::directory_entry& e : fs::directory_iterator(Parent())) {
        ++entries;
        if (e.path().filename() != "program" && e.path().filename() != "run") __builtin_trap();
    }
    if (entries != 2 || !fs::is_empty(Parent() / "run")) __builtin_trap();
    return 0;
}
