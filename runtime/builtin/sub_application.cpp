#include "builtin/sub_application.h"
#include "core/upcalls.h"

#include "core/error_message.h"
#include "core/frame_record.h"
#include "core/frame_run_state.h"
#include "core/runtime_services.h"
#include "objects/display_list.h"
#include "objects/run_objects.h"
#include "startup/application_paths.h"
#include "startup/display_mode.h"
#include "startup/object_infos.h"

#include "vtrs2/app_window.h"
#include "vtrs2/containers.h"
#include "vtrs2/memory.h"
#include "vtrs2/surface.h"
#include "win32/kernel.h"
#include "win32/user.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vtrrt {

using namespace win32;

namespace {

// The definition's fields, from its start.
constexpr std::size_t WidthAt = 4;
constexpr std::size_t HeightAt = 8;
constexpr std::size_t StartFrameAt = 14;
constexpr std::size_t OptionsAt = 16;
constexpr std::size_t IconAt = 20;
constexpr std::size_t FileNameAt = 28;

constexpr DWORD ChildWindowStyle = 0x42000000;
constexpr DWORD ChildWindowExStyle = 4;
constexpr DWORD PopupWindowStyle = 0x82000000;
constexpr DWORD CaptionStyle = 0x00C00000;
constexpr DWORD SystemMenuStyle = 0x00080000;
constexpr DWORD BorderStyle = 0x00800000;
constexpr DWORD SizingBorderStyle = 0x00040000;
constexpr DWORD DialogFrameStyle = 0x00400000;
constexpr DWORD ClipSiblingsStyle = 0x04000000;
constexpr DWORD ToolWindowExStyle = 0x80;

std::uint32_t U32At(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint16_t U16At(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

int DepthOf(const ApplicationRecord* app) {
    int depth = 0;
    for (; app && app->parent; app = app->parent)
        ++depth;
    return depth;
}

bool EndsWithDataExtension(std::u16string_view path) {
    constexpr std::u16string_view Extension = u".vtg";
    if (path.size() < Extension.size()) return false;
    const std::u16string_view tail = path.substr(path.size() - Extension.size());
    return std::equal(tail.begin(), tail.end(), Extension.begin(),
                      [](char16_t a, char16_t b) { return (a >= u'A' && a <= u'Z' ? a + 32 : a) == b; });
}

bool IsAbsolute(std::u16string_view path) {
    return !path.empty() && (path[0] == u'/' || path[0] == u'\\' || (path.size() > 1 && path[1] == u':'));
}

// A file name as the runtime's other data paths are taken: relocated as the application asks, and a relative
// one under the application's folder. Empty when no such file is there.
std::u16string ResolveDataFile(const ApplicationRecord& parent, const WCHAR* name) {
    WCHAR buffer[PathUnits] = {};
    const std::size_t length = std::min(std::char_traits<char16_t>::length(name), PathUnits - 1);
    std::copy_n(name, length, buffer);
    RelocatePathToTempFolder(parent, buffer);
    std::u16string path(buffer);
    if (!IsAbsolute(path) && parent.dataFilePath) {
        const std::u16string_view data(parent.dataFilePath);
        const std::size_t slash = data.find_last_of(u"/\\");
        if (slash != std::u16string_view::npos) path = std::u16string(data.substr(0, slash + 1)) + path;
    }
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        ReportErrorLine(u"the sub-application file " + path +
                        u" is not there: its object runs no application");
        return {};
    }
    return path;
}

SIZE ClientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// Where the child's window goes: in the frame window's client area for a child window, on the screen for a
// popup.
POINT WindowPlace(RunObject* o, const ApplicationRecord& parent) {
    const FrameRunState* s = o->runState;
    POINT at{o->x - (s ? s->scrollX : 0), o->y - (s ? s->scrollY : 0)};
    if ((SubAppOf(o)->options & SubAppPopup) && parent.frameWindow) ClientToScreen(parent.frameWindow, &at);
    return at;
}

// The window's top-left corner in the coordinates WindowPlace gives.
POINT WindowCorner(HWND window, bool popup) {
    RECT r{};
    GetWindowRect(window, &r);
    POINT corner{r.left, r.top};
    if (!popup)
        if (HWND owner = GetParent(window)) ScreenToClient(owner, &corner);
    return corner;
}

void PlaceSubApplicationWindow(RunObject* o, ApplicationRecord& child, std::int32_t width,
                               std::int32_t height, std::span<const std::uint8_t> iconBitmap) {
    SubAppPart* p = SubAppOf(o);
    const HWND window = child.frameWindow;
    const std::uint32_t options = child.subAppOptions;
    if (width > 0 && height > 0) {
        // The size of the window it replaces.
    } else if (options & SubAppSizedByObject) {
        width = o->width > 0 ? o->width : p->width;
        height = o->height > 0 ? o->height : p->height;
    } else if (options & SubAppDocked) {
        width = p->width;
        height = p->height;
        RECT client{};
        if (Services().mainWindow) GetClientRect(Services().mainWindow, &client);
        const std::uint32_t side = options & SubAppDockSides;
        if (side == SubAppDockTop || side == SubAppDockBottom)
            width = client.right - client.left;
        else
            height = client.bottom - client.top;
    } else {
        width = child.header.windowWidth;
        height = child.header.windowHeight;
    }
    child.subAppWidth = width;
    child.subAppHeight = height;
    child.subAppX = o->x;
    child.subAppY = o->y;
    if (!window) return;
    SizeSubApplicationWindow(child);
    DragAcceptFiles(window, TRUE);
    if (options & SubAppDocked) {
        SetWindowPos(window, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (up::LayoutDockedSubApps) up::LayoutDockedSubApps();
    } else if (!(options & SubAppPopup) || !IsZoomed(window)) {
        const POINT at = WindowPlace(o, *child.parent);
        SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The window's icon: the definition's bitmap, else the child's own; the record keeps it while it runs.
    HICON icon = iconBitmap.empty() ? nullptr : CreateIconFromDib(iconBitmap.data(), iconBitmap.size());
    if (!icon && child.iconDib.data) icon = CreateIconFromDib(child.iconDib.data, child.iconDib.size);
    if (!icon) return;
    if (child.subAppIcon) DestroyIcon(child.subAppIcon);
    child.subAppIcon = icon;
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

// Frees what a child made, with it current, whatever state it is in.
void FreeChild(RunObject* o, SubAppPart& p) {
    ApplicationRecord* child = p.child;
    ApplicationRecord* parent = child->parent;
    SetCurrentApplication(child);
    switch (child->runState) {
    case StateFadeIn:
        if (up::StepFrameTransition()) up::EndFrameTransition(child, false);
        if (child->run.frame) up::EndCurrentFrame();
        break;
    case StateRunFrame:
        if (child->run.frame) up::EndCurrentFrame();
        break;
    case StateFadeOut:
        up::EndFrameTransition(child, true);
        break;
    default:
        break;
    }
    if (child->runState == StateEndFrame && child->run.frame) up::EndCurrentFrame();
    up::FreeLoadedFrame(*child);
    RemoveEmbeddedSubApp(o->runState, o);
    up::EndApplication(child);
    up::CloseApplication(child);
    p.child = nullptr;
    p.currentFrame = -1;
    FreeMemory(&p.childPath);
    SetCurrentApplication(parent);
}

// A child that ended by itself: freed, and the place it took drawn again.
void FreeFinishedChild(RunObject* o, SubAppPart& p) {
    const bool embedded = p.child->subAppOptions & SubAppInParentSurface;
    ApplicationRecord* parent = p.child->parent;
    FreeChild(o, p);
    if (embedded)
        RequestFullRedraw();
    else if (parent && parent->frameWindow)
        InvalidateRect(parent->frameWindow, nullptr, TRUE);
}

// A modal child's loop goes on while no application above it is ending and the run is not asked to end.
bool ModalLoopGoesOn(const ApplicationRecord* parent) {
    if (Services().endRequested) return false;
    for (const ApplicationRecord* a = parent; a; a = a->parent) {
        const FrameRunState* s = a->run.frame ? a->run.frame->runState : nullptr;
        if (s && (s->exitCode == ExitError || s->exitCode == ExitEndApplication)) return false;
    }
    return true;
}

// Moves a child window where its object stands now; true when it moved.
bool FollowObject(RunObject* o, const ApplicationRecord& child) {
    const HWND window = child.frameWindow;
    if (!window || (child.subAppOptions & SubAppNotMoved) || (child.subAppOptions & SubAppDocked) ||
        IsIconic(window))
        return false;
    const POINT at = WindowPlace(o, *child.parent);
    const POINT now = WindowCorner(window, child.subAppOptions & SubAppPopup);
    if (at.x == now.x && at.y == now.y) return false;
    SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

// The child's window takes the object's size.
void FollowSize(RunObject* o, const ApplicationRecord& child) {
    const HWND window = child.frameWindow;
    if (!window || !IsWindow(window) || !(child.subAppOptions & SubAppSizedByObject) || IsIconic(window))
        return;
    const SIZE now = ClientSize(window);
    if (now.cx != o->width || now.cy != o->height)
        SetWindowPos(window, nullptr, 0, 0, o->width, o->height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CIndexList* EmbeddedListOf(const FrameRunState* s) {
    return s && s->frame ? static_cast<CIndexList*>(s->frame->subApplications) : nullptr;
}

// --- kind routines ---

std::uint16_t SubAppRecordSize(const std::uint8_t*) {
    return KindRecordSizeWith(TypeSubApplication, sizeof(SubAppPart));
}

int CreateSubApplication(RunObject* o, const std::uint8_t*, const ObjectCreationParams*) {
    SubAppPart* p = SubAppOf(o);
    SubAppDefinition d;
    if (!p || !ReadSubAppDefinition(ObjectDefinitionOf(o), d)) return 1;
    std::memset(static_cast<void*>(p), 0, sizeof *p);
    p->previousFrame = p->currentFrame = -1;
    p->width = d.width;
    p->height = d.height;
    p->options = d.options;
    p->startFrame = d.startFrame;
    std::copy(d.fileName.begin(), d.fileName.end(), p->fileName);
    const ApplicationRecord* app = o->runState ? o->runState->application : CurrentApplication();
    // A position being loaded starts the child itself, at the frame it was saved in.
    if (app && app->run.loadingPosition) {
        o->width = d.width;
        o->height = d.height;
        return 0;
    }
    StartSubApplication(o, true, -1);
    return 0;
}

// The frame numbers of the previous pass and of this one, and the child's step.
int HandleSubApplication(RunObject* o) {
    SubAppPart* p = SubAppOf(o);
    if (!p || !p->child) return 0;
    p->previousFrame = p->currentFrame;
    if (p->child->run.frame) p->currentFrame = p->child->currentFrameIndex;
    // The step is the kind's display, run here once per loop: called as a display routine it would also
    // run for every scroll of the frame and every redraw of a sprite.
    RunSubApplicationStep(o);
    return 0;
}

void DestroySubApplication(RunObject* o, int) {
    EndSubApplication(o);
}

void ZeroHotSpot(RunObject* o) {
    o->hotSpotX = o->hotSpotY = 0;
}

} // namespace

bool ReadSubAppDefinition(std::span<const std::uint8_t> def, SubAppDefinition& out) {
    const std::size_t block = DefU16(def, DefTypeData);
    if (block == 0 || block > def.size() || def.size() - block < FileNameAt) return false;
    const std::span<const std::uint8_t> d = def.subspan(block);
    out = SubAppDefinition{};
    out.width = static_cast<std::int32_t>(U32At(d, WidthAt));
    out.height = static_cast<std::int32_t>(U32At(d, HeightAt));
    out.startFrame = U16At(d, StartFrameAt);
    out.options = U32At(d, OptionsAt);
    // The name ends inside the definition and within its 260 units.
    bool ended = false;
    for (std::size_t at = FileNameAt; at + 2 <= d.size() && (at - FileNameAt) / 2 < PathUnits; at += 2) {
        const char16_t unit = U16At(d, at);
        if (unit == 0) {
            ended = true;
            break;
        }
        out.fileName.push_back(unit);
    }
    if (!ended) return false;
    const auto icon = static_cast<std::int32_t>(U32At(d, IconAt));
    // The bitmap's own sizes are checked against these bytes when the icon is made; one that does not
    // hold together gives none.
    if (icon > 0 && static_cast<std::size_t>(icon) < d.size())
        out.icon = d.subspan(static_cast<std::size_t>(icon));
    return true;
}

void SizeSubApplicationWindow(ApplicationRecord& child) {
    const HWND window = child.frameWindow;
    if (!window || child.subAppWidth <= 0 || child.subAppHeight <= 0) return;
    RECT r{0, 0, child.subAppWidth, child.subAppHeight};
    // The stored size is that of the client area, which the window's frame goes around.
    if (!(child.subAppOptions & SubAppKeepsGivenSize))
        AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    child.subAppOptions &= ~SubAppKeepsGivenSize;
    SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SubAppWindowStyle SubAppWindowStyleOf(std::uint32_t options) {
    SubAppWindowStyle w;
    if (options & SubAppPopup) {
        w.style = PopupWindowStyle;
    } else {
        w.style = ChildWindowStyle;
        w.exStyle = ChildWindowExStyle;
    }
    if (options & SubAppCaption) {
        w.style |= CaptionStyle;
        if (options & SubAppSystemMenu) w.style |= SystemMenuStyle;
        if (options & SubAppToolWindow) w.exStyle |= ToolWindowExStyle;
    }
    if (options & SubAppBorder) w.style |= BorderStyle;
    if (options & SubAppSizingBorder) w.style |= SizingBorderStyle;
    if (options & SubAppDialogFrame) w.style |= DialogFrameStyle;
    if (options & SubAppClipSiblings) w.style |= ClipSiblingsStyle;
    return w;
}

SubAppPart* SubAppOf(RunObject* o) {
    if (!o || o->objectType != TypeSubApplication) return nullptr;
    return reinterpret_cast<SubAppPart*>(KindDataOf(o, sizeof(SubAppPart)));
}

ApplicationRecord* SubApplicationChild(RunObject* o) {
    const SubAppPart* p = SubAppOf(o);
    return p ? p->child : nullptr;
}

void StartSubApplication(RunObject* o, bool firstStart, std::int32_t frame, std::int32_t width,
                         std::int32_t height) {
    SubAppPart* p = SubAppOf(o);
    FrameRunState* s = o ? o->runState : nullptr;
    ApplicationRecord* parent = s ? s->application : nullptr;
    if (!p || p->child || !parent) return;
    if (firstStart) {
        o->width = p->width;
        o->height = p->height;
        if (p->options & SubAppFollowsSize) p->options |= SubAppSizedByObject;
    }
    const std::uint32_t options = p->options;
    if (frame == -1) frame = (options & SubAppOwnData) ? p->startFrame : 0;
    if (frame < 0) return;
    if (!p->fileName[0] && (!(options & SubAppOwnData) || frame >= parent->header.frameCount ||
                            frame == parent->currentFrameIndex))
        return;
    if (DepthOf(parent) + 1 > MaxSubApplicationDepth) {
        ReportErrorLine(u"sub-applications nest deeper than 8 applications: the deepest is not started");
        return;
    }
    std::u16string path;
    if (options & SubAppOwnData) {
        // The parent's own data: its file, or the data packed behind the program.
        if (parent->dataFilePath && parent->dataBaseOffset == 0 &&
            EndsWithDataExtension(parent->dataFilePath))
            path = parent->dataFilePath;
    } else {
        path = ResolveDataFile(*parent, p->fileName);
        if (path.empty()) return;
    }
    // The child's record names the path it was read from without owning it.
    if (!path.empty()) {
        const std::size_t bytes = (path.size() + 1) * sizeof(WCHAR);
        if (!AllocMemory(bytes, &p->childPath)) return;
        std::copy(path.c_str(), path.c_str() + path.size() + 1, p->childPath);
    }
    ApplicationRecord* previous = CurrentApplication();
    // Read while the parent, whose object infos hold the definition, is current.
    SubAppDefinition definition;
    if (!ReadSubAppDefinition(ObjectDefinitionOf(o), definition)) definition.icon = {};
    const SubAppWindowStyle style = SubAppWindowStyleOf(options);
    const bool given = width > 0 && height > 0;
    ApplicationRecord* child =
        up::LoadSubApplication(p->childPath, frame, parent, options | (given ? SubAppKeepsGivenSize : 0),
                               style.style, style.exStyle);
    if (!child) {
        FreeMemory(&p->childPath);
        SetCurrentApplication(previous);
        return;
    }
    child->subAppObject = o;
    child->subAppFlags[0] = (options & SubAppModal) ? SubAppModalFlag : 0;
    child->subAppVisible = (o->definition && o->definition[DefOptions] & OptionVisibleAtStart) ? 1 : 0;
    p->child = child;
    PlaceSubApplicationWindow(o, *child, given ? width : 0, given ? height : 0, definition.icon);
    if (options & SubAppInParentSurface) AddEmbeddedSubApp(*s, o);
    if (!up::StartApplication(child) || !up::RunApplicationStep(child, 1)) FreeChild(o, *p);
    SetCurrentApplication(previous);
    p->currentFrame = p->child ? p->child->currentFrameIndex : -1;
}

void RunSubApplicationStep(RunObject* o) {
    SubAppPart* p = SubAppOf(o);
    ApplicationRecord* child = p ? p->child : nullptr;
    if (!child) return;
    ApplicationRecord* parent = child->parent;
    const bool moved = FollowObject(o, *child);
    if (child->showCountdown > 0 && --child->showCountdown == 0 && child->frameWindow &&
        child->subAppVisible && !(child->subAppOptions & SubAppInParentSurface)) {
        ShowWindow(child->frameWindow, SW_HIDE);
        ShowWindow(child->frameWindow, SW_SHOW);
    }
    const bool modal = child->subAppVisible && (child->subAppOptions & SubAppModal);
    if (modal) {
        ++Services().modalSubApplications;
        up::PauseApplication();
    }
    SetCurrentApplication(child);
    if (moved && child->frameLibraryWindow) UpdateWindowFromSurface(child->frameLibraryWindow);
    int running = up::RunApplicationStep(child, 0);
    if (modal) {
        while (running && child->subAppVisible && ModalLoopGoesOn(parent)) {
            up::WaitForFrameTick();
            running = up::RunApplicationStep(child, 0);
        }
        --Services().modalSubApplications;
    }
    FollowSize(o, *child);
    if (!running) FreeFinishedChild(o, *p);
    SetCurrentApplication(parent);
    if (modal) up::ResumeApplication();
}

void EndSubApplication(RunObject* o) {
    SubAppPart* p = SubAppOf(o);
    if (!p || !p->child) return;
    ApplicationRecord* previous = CurrentApplication();
    ApplicationRecord* parent = p->child->parent;
    FreeChild(o, *p);
    SetCurrentApplication(previous ? previous : parent);
}

void AddEmbeddedSubApp(FrameRunState& s, RunObject* o) {
    if (!s.frame) return;
    auto* list = static_cast<CIndexList*>(s.frame->subApplications);
    if (!list) {
        list = new (std::nothrow) CIndexList();
        if (!list) return;
        s.frame->subApplications = list;
    }
    if (!list->Find(o)) list->Add(o);
}

void RemoveEmbeddedSubApp(FrameRunState* s, RunObject* o) {
    if (CIndexList* list = EmbeddedListOf(s))
        if (const int index = list->Find(o)) list->Remove(index);
}

void DrawEmbeddedSubApps() {
    const FrameRunState* s = CurrentRunState();
    CIndexList* list = EmbeddedListOf(s);
    AppWindow* window = Services().frameLibraryWindow;
    cSurface* target = window ? GetWindowSurface(window, 0) : nullptr;
    if (!list || !target) return;
    int cursor = list->GetHead();
    while (void* item = list->Next(cursor)) {
        auto* o = static_cast<RunObject*>(item);
        const ApplicationRecord* child = SubApplicationChild(o);
        cSurface* picture =
            child && child->frameLibraryWindow ? GetWindowSurface(child->frameLibraryWindow, 0) : nullptr;
        if (!picture) continue;
        const int x = o->x - s->scrollX, y = o->y - s->scrollY;
        RECT drawn{x, y, x + picture->GetWidth(), y + picture->GetHeight()};
        if (child->subAppOptions & SubAppFollowsSize) {
            picture->StretchBlitWhole(*target, x, y, o->width, o->height, 0);
            drawn.right = x + o->width;
            drawn.bottom = y + o->height;
        } else if (child->subAppOptions & SubAppSizedByObject) {
            const int w = std::min(picture->GetWidth(), child->subAppWidth);
            const int h = std::min(picture->GetHeight(), child->subAppHeight);
            picture->Blit(*target, x, y, 0, 0, w, h, 0);
            drawn.right = x + w;
            drawn.bottom = y + h;
        } else {
            picture->BlitWhole(*target, x, y, 0);
        }
        AddUpdateRect(window, &drawn);
    }
}

RunObject* EmbeddedSubAppAt(std::int32_t x, std::int32_t y) {
    const FrameRunState* s = CurrentRunState();
    CIndexList* list = EmbeddedListOf(s);
    if (!list) return nullptr;
    int cursor = list->GetHead();
    while (void* item = list->Next(cursor)) {
        auto* o = static_cast<RunObject*>(item);
        const RECT box{o->x - s->scrollX, o->y - s->scrollY, o->x - s->scrollX + o->width,
                       o->y - s->scrollY + o->height};
        if (SubApplicationChild(o) && PtInRect(&box, POINT{x, y})) return o;
    }
    return nullptr;
}

void InstallSubApplicationRoutines() {
    ObjectKindRoutines& kind = KindRoutines()[TypeSubApplication];
    kind.recordSize = SubAppRecordSize;
    kind.create = CreateSubApplication;
    kind.handle = HandleSubApplication;
    kind.display = nullptr;
    kind.destroy = DestroySubApplication;
    kind.zone = ZeroHotSpot;
    InstallSubApplicationEvents();
}

} // namespace vtrrt
