// The entry sequence: runtime files first, then the application, and the runtime files removed at the end.
#include "startup/win_main.h"

#include "startup/runtime_files.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace win32;

namespace vtrrt {

namespace {

// For tests of the start-up: the program says where its runtime files went and where the library was bound
// from, then ends as usual.
bool ReportRuntimeFilesRequested() {
    const char* value = std::getenv("VTR_TEST_REPORT_TEMP");
    return value && std::string_view(value) == "1";
}

void ReportRuntimeFiles() {
    const RuntimeFiles& files = GetRuntimeFiles();
    std::u16string library;
    if (files.library) {
        library.resize(MAX_PATH);
        library.resize(GetModuleFileNameW(files.library, library.data(), MAX_PATH));
    }
    std::printf("temp folder: %s\nlibrary: %s\n", ToUtf8(files.runtimeTempFolder).c_str(),
                files.library ? ToUtf8(library).c_str() : "(not bound)");
    std::fflush(stdout);
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    RuntimeFiles& files = GetRuntimeFiles();
    files.instance = instance;

    if (PrepareRuntimeFiles()) {
        files.languageFolder = files.runtimeTempFolder;
        if (ReportRuntimeFilesRequested()) ReportRuntimeFiles();
    }

    CleanupRuntimeFiles();
    return 0;
}

} // namespace vtrrt
