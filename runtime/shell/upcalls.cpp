// Sets the calls of core/upcalls.h that reach this layer from the layers below it. The program and every
// test link this file (the layer's target names VtrShellUpcalls as undefined), so they are set before main.
#include "core/upcalls.h"

#include "shell/application_menu.h"
#include "shell/extension_services.h"
#include "shell/frame_surfaces.h"
#include "shell/full_screen.h"
#include "shell/mdi_client.h"
#include "shell/window_hooks.h"
#include "shell/window_placement.h"

namespace vtrrt {
namespace {

bool Install() {
    up::BuildWindowHookList = &BuildWindowHookList;
    up::AppendWindowHook = &AppendWindowHook;
    up::ExtensionServices = &ExtensionServices;
    up::GetEmbeddedFilePath = &GetEmbeddedFilePath;
    up::ReleaseEmbeddedFilePath = &ReleaseEmbeddedFilePath;
    up::OpenEmbeddedFile = &OpenEmbeddedFile;
    up::CloseEmbeddedFile = &CloseEmbeddedFile;
    up::CaptureScreenBehindWindow = &CaptureScreenBehindWindow;
    up::ClearFrameSurfaces = &ClearFrameSurfaces;
    up::PresentFrameSurface = &PresentFrameSurface;
    up::ReleaseFrameEffect = &ReleaseFrameEffect;
    up::ShowMenuBar = &ShowMenuBar;
    up::HideMenuBar = &HideMenuBar;
    up::SwitchToFullScreen = &SwitchToFullScreen;
    up::SwitchToWindow = &SwitchToWindow;
    up::LayoutDockedSubApps = &LayoutDockedSubApps;
    up::CurrentMenuHandle = [] { return CurrentMenu().menu; };
    return true;
}

} // namespace
} // namespace vtrrt

extern "C" const bool VtrShellUpcalls = vtrrt::Install();
