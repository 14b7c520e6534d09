// Feeds arbitrary bytes, as the program file, to the pack search and the unpacker, in a fresh temporary
// folder each time. Whatever the bytes, the clean-up must leave no folder and no file behind.
#include "startup/file_pack.h"
#include "startup/runtime_files.h"
#include "win32/kernel.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace win32;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The program file lives in memory; the unpacker opens it by name like any file.
    static const int memory = memfd_create("file-pack", 0);
    static const std::u16string name = FromUtf8("/proc/self/fd/" + std::to_string(memory));
    if (memory < 0 || ftruncate(memory, 0) != 0 ||
        pwrite(memory, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();

    HANDLE file =
        CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) std::abort();
    if (vtrrt::CreateTempDirectory() != 0) std::abort();
    std::string folder = ToUtf8(vtrrt::GetRuntimeFiles().tempFolder);
    vtrrt::UnpackFilePack(file, 0, vtrrt::FilePackSearchLength);
    CloseHandle(file);
    vtrrt::CleanupRuntimeFiles();
    if (access(folder.c_str(), F_OK) == 0) std::abort();
    return 0;
}
