// The entry sequence: runtime files first, then the application, and the runtime files removed at the end.
#include "startup/win_main.h"

#include "shell/display_mode.h"
#include "shell/full_screen.h"

#include "shell/application_state_machine.h"
#include "shell/build_palette.h"
#include "shell/command_line.h"
#include "shell/error_message.h"
#include "shell/frame_window.h"
#include "shell/main_window.h"
#include "shell/runtime_services.h"
#include "shell/shell_services.h"
#include "shell/sound_services.h"
#include "shell/window_placement.h"
#include "startup/application_loader.h"
#include "startup/runtime_files.h"
#include "vtrs2/compat.h"

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

// The arguments behind the program name: after the closing quote of a quoted name, else after the first
// blank. A line with neither is the program name alone, which here may begin with '/': no arguments.
std::u16string_view ArgumentsOf(std::u16string_view line) {
    std::size_t at = std::u16string_view::npos;
    if (!line.empty() && line[0] == u'"')
        at = line.find(u'"', 1);
    else
        at = line.find(u' ');
    return at == std::u16string_view::npos ? std::u16string_view() : line.substr(at + 1);
}

// The frame window of an application without a parent: a child window that clips its children, with the
// extended style that keeps its parent from hearing of its own children.
constexpr DWORD FrameWindowStyle = 0x42000000;
constexpr DWORD FrameWindowOption = 4;

// Start-up errors are shown as the loader's are (not at all with R0); each also leaves a line on stderr.
void ReportStartupError(int code) {
    if (code > 0) ShowErrorMessage(Services().mainWindow, code);
}

// The windows an application without a parent runs in: the main window, then its frame window.
int CreateApplicationWindows(ApplicationRecord& app) {
    SetCurrentApplication(&app);
    SelectApplicationPalette(app);
    if (const int code = CreateMainWindow(app)) return code;
    if (const int code = CreateFrameWindow(Services().mainWindow, FrameWindowStyle, FrameWindowOption))
        return code;
    // Stored data that asks for it starts full screen, its surfaces then made at the mode's depth.
    if (app.header.flags1 & AppFlags1FullScreen) {
        SwitchToFullScreen(1);
        SetColourDepth(app);
    }
    return 0;
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    RuntimeFiles& files = GetRuntimeFiles();
    files.instance = instance;
    InitSystemInfo();
    const LPWSTR line = commandLine ? commandLine : GetCommandLineW();
    ParseCommandLine(ArgumentsOf(line ? std::u16string_view(line) : std::u16string_view()));
    if (!ReportCommandLine()) return 0;

    const bool prepared = PrepareRuntimeFiles();
    int failure = 0;
    if (prepared) {
        failure = RegisterWindowClasses(instance);
        if (GetCommandLineOptions().vsync) files.packHeader.options |= FilePackOptionVSync;
        // Has the library use the wide system calls; it is bound by now, or by this very call.
        IsUnicodeOS();
        files.languageFolder = files.runtimeTempFolder;
        if (ReportRuntimeFilesRequested()) ReportRuntimeFiles();
    }

    // Packed data runs; else the data file named by F. A program with no file pack at all (as built) also
    // runs a data file named by F, with the library beside it.
    const std::u16string& dataFile = GetCommandLineOptions().applicationFileName;
    const bool packedData = prepared && files.packHeader.dataOffset != 0;
    const bool canRun = prepared || (!files.packFound && !dataFile.empty());
    if (failure == 0 && canRun && (packedData || !dataFile.empty())) {
        if (!prepared) IsUnicodeOS();
        ApplicationRecord* app = nullptr;
        AddShellAtoms();
        failure = CreateLibraryContext(instance);
        if (failure == 0)
            app = LoadApplication(packedData ? nullptr : dataFile.c_str(), 0, nullptr, nullptr,
                                  FrameWindowStyle, FrameWindowOption);
        // The loader leaves the windows to the shell: they are made once the application is loaded.
        if (app) failure = CreateApplicationWindows(*app);
        if (app && failure == 0) {
            StartSoundServices();
            RunApplication(app);
            SetCurrentApplication(app);
        }
        ReportStartupError(failure);
        CloseApplication(app);
    } else if (failure == 0 && (prepared || !files.packFound) && !packedData && dataFile.empty()) {
        std::fprintf(stderr, "vtrrt: no application data is packed behind the program; name a file with "
                             "-F <file> (--help lists the switches)\n");
    } else {
        ReportStartupError(failure);
    }

    ShutdownApplication();
    CleanupRuntimeFiles();
    return 0;
}

} // namespace vtrrt
