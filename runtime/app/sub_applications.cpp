// Loading a sub-application: the child application read like any other, with its parent, and its frame
// window made where its object shows it.
#include "app/sub_applications.h"

#include "app/application_loader.h"
#include "core/header_flags.h"
#include "core/runtime_services.h"
#include "shell/frame_window.h"

#include "vtrs2/app_window.h"

namespace vtrrt {

using namespace win32;

namespace {

constexpr DWORD VisibleStyle = 0x10000000;

// The window a child's frame window belongs to: for an MDI application, an MDI child or a docked child is
// the main window's, every other the parent's frame window's.
HWND OwnerWindow(const ApplicationRecord& parent, std::uint32_t options) {
    const ApplicationRecord* top = &parent;
    while (top->parent)
        top = top->parent;
    const HWND main = Services().mainWindow;
    if ((top->header.flags2 & HeaderMdi) && (options & (SubAppMdiChild | SubAppDocked)) && main) {
        if (options & SubAppMdiChild)
            if (HWND client = GetMdiClientHandle(Services().mainLibraryWindow)) return client;
        return main;
    }
    return parent.frameWindow ? parent.frameWindow : main;
}

} // namespace

ApplicationRecord* LoadSubApplication(const WCHAR* path, std::int32_t frame, ApplicationRecord* parent,
                                      std::uint32_t options, DWORD style, DWORD exStyle) {
    if (!parent) return nullptr;
    ApplicationRecord* previous = CurrentApplication();
    const FrameWindowDescription description{options};
    ApplicationRecord* child = LoadApplication(path, frame, parent, &description, style, exStyle);
    if (!child) {
        SetCurrentApplication(previous);
        return nullptr;
    }
    child->run.firstFrame = frame;
    SetCurrentApplication(child);
    // A docked window shows once it has its place.
    if (options & SubAppDocked) style &= ~VisibleStyle;
    if (CreateFrameWindow(OwnerWindow(*parent, options), style, exStyle) != 0) {
        CloseApplication(child);
        SetCurrentApplication(previous);
        return nullptr;
    }
    return child;
}

} // namespace vtrrt
