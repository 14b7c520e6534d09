#include "startup/display_mode.h"

#include "core/application_record.h"
#include "core/command_line.h"
#include "core/runtime_services.h"
#include "startup/runtime_files.h"

#include "vtrs2/app_context.h"
#include "vtrs2/surface_prototypes.h"

namespace vtrrt {

using namespace win32;

namespace {

constexpr WORD DepthNibble = 0x0F;
constexpr std::uint16_t Flags1StartFullScreen = 0x800;
constexpr std::uint16_t Flags2VSync = 0x1000;
constexpr std::uint16_t Flags3Direct3D9 = 0x4000;
constexpr std::uint16_t Flags3Direct3D8 = 0x8000;
constexpr int DriverKindDirect3D9 = 5;
constexpr int DriverKindDirect3D8 = 6;
constexpr int PublicTypeRenderTexture = 5;

bool IsDriverMode(int mode) {
    return (mode & (DisplayDriverFlag | DisplayDirect3D8Flag)) != 0;
}

DisplayModeAnswer& Answerer() {
    static DisplayModeAnswer answerer = SetAppDisplayMode;
    return answerer;
}

int Ask(int mode) {
    return Answerer()(Services().libraryContext, mode);
}

int DepthOfType(int type) {
    switch (type) {
    case 4:
        return 24;
    case 6:
        return 15;
    case 7:
        return 16;
    case 8:
        return 32;
    default:
        return 8;
    }
}

} // namespace

void UpdateDisplayFlags(const ApplicationRecord& app) {
    RuntimeServices& services = Services();
    const CommandLineOptions& options = GetCommandLineOptions();
    services.displayFlags = 0;
    if (options.displayKindRequest) {
        services.displayFlags = options.displayModeRequest;
        return;
    }
    if ((app.header.flags1 & Flags1StartFullScreen) && !options.noFullScreen)
        services.displayFlags = static_cast<WORD>(app.header.graphicMode & DepthNibble);
    if (app.header.flags3 & Flags3Direct3D9)
        services.displayFlags |= DisplayDriverFlag;
    else if (app.header.flags3 & Flags3Direct3D8)
        services.displayFlags |= DisplayDriverFlag | DisplayDirect3D8Flag;
}

int ChooseDisplayMode(const ApplicationRecord& app) {
    RuntimeServices& services = Services();
    if (services.displayFlags != 0) return 0;
    UpdateDisplayFlags(app);
    const WORD asked = services.displayFlags;
    int mode = -1;
    int depth = asked & DepthNibble;
    if (asked & DisplayDriverFlag) {
        int answer = Ask(asked & ~DepthNibble);
        if (!IsDriverMode(answer)) answer = Ask(DisplayDriverFlag | DisplayDirect3D8Flag);
        if (answer & DisplayDriverFlag) mode = answer;
        // Without a driver the desktop's depth is asked for.
        depth = 0;
    }
    if (mode < 0) {
        mode = Ask(depth);
        const CommandLineOptions& options = GetCommandLineOptions();
        const int headerDepth = app.header.graphicMode & DepthNibble;
        const bool fullScreen = (app.header.flags1 & Flags1StartFullScreen) && !options.noFullScreen;
        if (!IsDriverMode(mode) && (mode & DepthNibble) != headerDepth && !options.displayKindRequest &&
            (mode & DepthNibble) != Palette256 && headerDepth == Palette256 && !fullScreen)
            mode = Palette256;
    }
    mode = Ask(mode);
    const int answered = mode & DepthNibble;
    if (answered == 0 || answered == 2 || answered == 5) mode = Ask((mode & ~DepthNibble) | Palette256);
    services.displayFlags = static_cast<WORD>(mode);
    services.displayType = static_cast<WORD>(mode & DepthNibble);
    services.vsync =
        (app.header.flags2 & Flags2VSync) || (GetRuntimeFiles().packHeader.options & FilePackOptionVSync) ? 1
                                                                                                          : 0;
    return 0;
}

int SetColourDepth(ApplicationRecord& app) {
    const RuntimeServices& services = Services();
    app.surfaceDepth = DepthOfType(services.displayType);
    int type = PublicTypeDib, kind = 0;
    if (services.displayFlags & DisplayDriverFlag) {
        type = (app.parent && (app.subAppOptions & SubAppInParentSurface)) ? PublicTypeRenderTexture
                                                                           : PublicTypeScreen;
        kind = (services.displayFlags & DisplayDirect3D8Flag) ? DriverKindDirect3D8 : DriverKindDirect3D9;
    }
    GetSurfacePrototype(&app.surfacePrototype, app.surfaceDepth, type, kind);
    return app.surfacePrototype ? 1 : 0;
}

void SetDisplayModeAnswerer(DisplayModeAnswer answerer) {
    Answerer() = answerer ? answerer : SetAppDisplayMode;
}

} // namespace vtrrt
