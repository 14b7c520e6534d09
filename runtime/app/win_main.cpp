// The entry sequence: runtime files first, then the application, and the runtime files removed at the end.
#include "app/win_main.h"

#include "shell/extension_services.h"

#include "shell/full_screen.h"
#include "startup/display_mode.h"

#include "app/application_loader.h"
#include "builtin/sound_services.h"
#include "core/command_line.h"
#include "core/error_message.h"
#include "core/runtime_services.h"
#include "loop/application_state_machine.h"
#include "shell/frame_window.h"
#include "shell/main_window.h"
#include "shell/window_placement.h"
#include "startup/build_palette.h"
#include "startup/plugin_modules.h"
#include "startup/runtime_files.h"
#include "startup/shell_services.h"
#include "translator/resource_translator.h"
#include "vtrs2/compat.h"
#include "vtrs2/streams.h"

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
    std::printf("temp folder: %s\nlibrary: %s\n", ToUtf8(files.runtimeTempFolder).c_str(),
                files.library ? ToUtf8(GetModulePath(files.library)).c_str() : "(not bound)");
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

constexpr std::u16string_view ProgramLanguageFile = u"vtrrtd.txt";
constexpr std::u16string_view LibraryLanguageFile = u"vtrs2.txt";
constexpr const char16_t* LibraryModuleName = u"vtrs2.dll";

constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;

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

// An interrupt or termination signal ends the run in order, whatever the close box is set to do.
BOOL EndRunOnSignal(DWORD) {
    RequestEndOfRun();
    return TRUE;
}

class SignalRoutine {
public:
    SignalRoutine() { SetConsoleCtrlHandler(EndRunOnSignal, TRUE); }
    ~SignalRoutine() { SetConsoleCtrlHandler(EndRunOnSignal, FALSE); }
    SignalRoutine(const SignalRoutine&) = delete;
    SignalRoutine& operator=(const SignalRoutine&) = delete;
};

std::u16string SystemTempPath() {
    const DWORD size = GetTempPathW(0, nullptr);
    std::u16string path(size, u'\0');
    path.resize(GetTempPathW(size, path.data()));
    return path;
}

// Why the runtime files could not be prepared, in one line.
std::u16string RuntimeFilesFailure(const RuntimeFiles& files) {
    const std::u16string_view pack = u"the file pack behind the program";
    switch (files.prepareFailure) {
    case ErrorCannotOpenProgram:
        return u"the program file cannot be opened to read its file pack";
    case ErrorCannotCreateFolder:
        if (files.tempFolder.empty()) return u"no temporary folder can be made in " + SystemTempPath();
        return std::u16string(pack) + u" cannot be unpacked: a folder cannot be made in " + files.tempFolder;
    case ErrorCannotCreateFile:
        return std::u16string(pack) + u" cannot be unpacked: a file cannot be made in " + files.tempFolder;
    case StreamEndOfData:
        return std::u16string(pack) + u" is truncated";
    case StreamReadError:
        return std::u16string(pack) + u" cannot be read";
    case StreamWriteError:
    case StreamDiskFull:
        return std::u16string(pack) +
               u" cannot be unpacked: the temporary drive is full or cannot be written";
    default:
        return std::u16string(pack) + u" is damaged";
    }
}

// The program's and the library's language files, once the library is bound; a missing one leaves its
// module untranslated.
void LoadLanguageFiles(HINSTANCE instance) {
    if (const auto program = LanguageFilePath(ProgramLanguageFile))
        ResourceTranslator().LoadModule(instance, *program, 0);
    const RuntimeFiles& files = GetRuntimeFiles();
    HMODULE library = files.library ? files.library : GetModuleHandleW(LibraryModuleName);
    if (const auto path = LanguageFilePath(LibraryLanguageFile); path && library)
        ResourceTranslator().LoadModule(library, *path, 0);
}

// A program without any file pack (as built) is no error: it runs a data file named by F, with the library
// beside it.
bool NoFilePack(const RuntimeFiles& files) {
    return !files.packFound && !files.tempFolder.empty() && files.prepareFailure == ErrorBadFilePack;
}

// From the runtime files to the end of the application: 0 when the run ended as asked, 1 when it ended on an
// error it reported.
int PrepareAndRun(HINSTANCE instance) {
    RuntimeFiles& files = GetRuntimeFiles();
    const bool prepared = PrepareRuntimeFiles();
    // A pack that failed may have left no library to bind: nothing on this path calls into it.
    if (!prepared && !NoFilePack(files)) {
        ReportErrorLine(RuntimeFilesFailure(files));
        return ExitFailure;
    }
    if (GetCommandLineOptions().vsync) files.packHeader.options |= FilePackOptionVSync;
    if (prepared) {
        // Has the library use the wide system calls; unpacking the pack has bound it.
        IsUnicodeOS();
        if (ReportRuntimeFilesRequested()) ReportRuntimeFiles();
    }
    // Language files are modules of the run: beside the program when nothing is packed.
    files.languageFolder = ModuleSearchFolder();

    // Packed data runs; else the data file named by F. Nothing is registered or purged before it is known
    // that there is something to run.
    const std::u16string& dataFile = GetCommandLineOptions().applicationFileName;
    const bool packedData = prepared && files.packHeader.dataOffset != 0;
    if (!packedData && dataFile.empty()) {
        ReportErrorLine(u"no application data is packed behind the program; name a file with -F <file> "
                        u"(--help lists the switches)");
        return ExitFailure;
    }
    // Binds the library beside the program, which has no pack.
    if (!prepared) IsUnicodeOS();
    LoadLanguageFiles(instance);
    if (const int code = RegisterWindowClasses(instance); code != 0) {
        ReportStartupError(code);
        return ExitFailure;
    }
    AddShellAtoms();
    // A failure was reported by the extraction itself.
    if (!ExtractEmbeddedFiles()) return ExitFailure;
    if (const int code = CreateLibraryContext(instance); code != 0) {
        ReportStartupError(code);
        return ExitFailure;
    }
    ApplicationRecord* app = LoadApplication(packedData ? nullptr : dataFile.c_str(), 0, nullptr, nullptr,
                                             FrameWindowStyle, FrameWindowOption);
    // The loader has shown why.
    if (!app) return ExitFailure;
    // The loader leaves the windows to the shell: they are made once the application is loaded.
    int status = ExitFailure;
    if (const int code = CreateApplicationWindows(*app); code != 0) {
        ReportStartupError(code);
    } else {
        StartSoundServices();
        if (RunApplication(app)) status = ExitSuccess;
        SetCurrentApplication(app);
    }
    CloseApplication(app);
    return status;
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    // From the first step on, so that a signal at any moment ends the run with its files removed.
    const SignalRoutine signals;
    RuntimeFiles& files = GetRuntimeFiles();
    files.instance = instance;
    InitSystemInfo();
    const LPWSTR line = commandLine ? commandLine : GetCommandLineW();
    ParseCommandLine(ArgumentsOf(line ? std::u16string_view(line) : std::u16string_view()));
    if (!ReportCommandLine()) return ExitSuccess;

    const int status = PrepareAndRun(instance);
    ShutdownApplication();
    CleanupRuntimeFiles();
    return status;
}

} // namespace vtrrt
