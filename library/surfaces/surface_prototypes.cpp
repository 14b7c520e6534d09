// The prototype holders, the surface library's thread table and the binding of the display drivers.
#include "vtrs2/surface_prototypes.h"

#include "plugin/display_driver.h"
#include "vtrs2/driver_testing.h"
#include "vtrs2/gdi_surfaces.h"
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/palettes.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_implementation.h"
#include "win32/kernel.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <new>
#include <string>
#include <vector>

using namespace win32;

namespace {

constexpr std::array<int, 5> CanonicalDepths{8, 15, 16, 24, 32};
constexpr int DriverTypes = 4;
constexpr int FirstDriverType = PublicTypeScreen;
constexpr UINT QuietLoad = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
constexpr int ModuleNameUnits = 260;

using display_driver::FreeFunction;
using display_driver::InitializeFunction;
using display_driver::PrototypeFunction;

// Forgets a driver's prototype without deleting it: the driver owns what it handed out.
void EmptyDriverHolder(cSurface& holder) {
    new (&holder) cSurface;
}

// One display-driver file: loaded at most once until it is unloaded, never again after a failure.
struct DriverLibrary {
    HMODULE module = nullptr;
    std::int32_t failed = 0;
    InitializeFunction initialize = nullptr;
    FreeFunction free = nullptr;
    PrototypeFunction getPrototype = nullptr;

    void Load(const std::u16string& path);
    void Unload() {
        if (!module) return;
        FreeLibrary(module);
        module = nullptr;
        failed = 0;
        initialize = nullptr;
        free = nullptr;
        getPrototype = nullptr;
    }
    void Fail() {
        if (module) FreeLibrary(module);
        module = nullptr;
        failed = 1;
    }
};

struct ThreadEntry {
    DWORD thread;
    int count;
};

// Everything of the surface library the process shares. The holders keep what they hold until the last
// thread leaves.
struct SurfaceLibrary {
    std::array<cSurface, CanonicalDepths.size()> memory;
    cSurface alpha;
    std::array<cSurface, CanonicalDepths.size()> section;
    std::array<cSurface, CanonicalDepths.size()> dibDC;
    std::array<cSurface, DriverTypes> d3d8Holders;
    std::array<cSurface, DriverTypes> d3d9Holders;
    DriverLibrary driver8;
    DriverLibrary driver9;
    std::recursive_mutex lock;
    std::vector<ThreadEntry> threads;
    int threadCount = 0;
    int ntFamily = 0;
    std::u16string folderOverride;
    int loadAttempts = 0;

    ~SurfaceLibrary() {
        EmptyDrivers();
        driver8.Unload();
        driver9.Unload();
    }
    std::array<cSurface, DriverTypes>& Holders(bool nine) { return nine ? d3d9Holders : d3d8Holders; }
    DriverLibrary& Driver(bool nine) { return nine ? driver9 : driver8; }
    void EmptyDrivers() {
        for (cSurface& holder : d3d8Holders)
            EmptyDriverHolder(holder);
        for (cSurface& holder : d3d9Holders)
            EmptyDriverHolder(holder);
    }
};

SurfaceLibrary& Library() {
    static SurfaceLibrary library;
    return library;
}

template <typename Surface> void MakePrototype(cSurface& holder, int depth) {
    auto* prototype = new (std::nothrow) Surface;
    if (!prototype) return;
    if (prototype->SetDepth(depth))
        holder.SetImplementation(prototype);
    else
        prototype->Delete();
}

void MakeLibraryPrototypes(SurfaceLibrary& library) {
    for (std::size_t i = 0; i < CanonicalDepths.size(); ++i) {
        MakePrototype<cBufferSurface>(library.memory[i], CanonicalDepths[i]);
        MakePrototype<cDIBSectionSurface>(library.section[i], CanonicalDepths[i]);
        MakePrototype<cDIBDCSurface>(library.dibDC[i], CanonicalDepths[i]);
    }
    MakePrototype<cAlphaBufferSurface>(library.alpha, 8);
}

void EmptyLibraryPrototypes(SurfaceLibrary& library) {
    for (std::size_t i = 0; i < CanonicalDepths.size(); ++i) {
        library.memory[i].Reset();
        library.section[i].Reset();
        library.dibDC[i].Reset();
    }
    library.alpha.Reset();
    library.EmptyDrivers();
}

// The library's own file name, cut after its last separator; empty when it cannot be had.
std::u16string LibraryFolder(const SurfaceLibrary& library) {
    if (!library.folderOverride.empty()) return library.folderOverride;
    WCHAR name[ModuleNameUnits]{};
    HMODULE self = GetModuleHandleW(u"vtrs2.dll");
    if (!self || GetModuleFileNameW(self, name, ModuleNameUnits) == 0) return {};
    const std::u16string path(name);
    const std::size_t cut = path.find_last_of(u"\\/");
    return cut == std::u16string::npos ? std::u16string{} : path.substr(0, cut + 1);
}

void DriverLibrary::Load(const std::u16string& path) {
    const UINT previous = SetErrorMode(QuietLoad);
    module = LoadLibraryW(path.c_str());
    SetErrorMode(previous);
    if (!module) {
        failed = 1;
        return;
    }
    static constexpr const char* Names[] = {display_driver::InitializeName, display_driver::FreeName,
                                            display_driver::PrototypeName, nullptr};
    void* found[3] = {};
    for (int i = 0; Names[i]; ++i) {
        found[i] = GetProcAddress(module, Names[i]);
        if (!found[i]) {
            Fail();
            return;
        }
    }
    initialize = reinterpret_cast<InitializeFunction>(found[0]);
    free = reinterpret_cast<FreeFunction>(found[1]);
    getPrototype = reinterpret_cast<PrototypeFunction>(found[2]);
    if (!initialize()) Fail();
}

// 8 or less gives 8, 9 to 15 gives 15, 16 stays, 17 to 24 gives 24, above gives 32.
int NormalisedDepth(int depth) {
    if (depth <= 8) return 8;
    if (depth <= 15) return 15;
    if (depth == 16) return 16;
    if (depth <= 24) return 24;
    return 32;
}

} // namespace

// The thread that loads the library starts the surface library, and ends it when the library goes.
namespace {
struct SurfaceLibraryAttachment {
    SurfaceLibraryAttachment() { InitSurfaceLibrary(); }
    ~SurfaceLibraryAttachment() { ExitSurfaceLibrary(); }
};
} // namespace

void InitSurfaceLibrary() {
    SurfaceLibrary& library = Library();
    std::lock_guard guard(library.lock);
    const DWORD thread = GetCurrentThreadId();
    for (ThreadEntry& entry : library.threads)
        if (entry.thread == thread) {
            ++entry.count;
            return;
        }
    library.threads.push_back({thread, 1});
    // This platform's system family is the NT one.
    library.ntFamily = 1;
    GetCpuFeatureWord();
    RestartPaletteThread();
    if (library.threadCount++ == 0) MakeLibraryPrototypes(library);
}

void ExitSurfaceLibrary() {
    SurfaceLibrary& library = Library();
    {
        std::lock_guard guard(library.lock);
        const DWORD thread = GetCurrentThreadId();
        auto entry = std::find_if(library.threads.begin(), library.threads.end(),
                                  [&](const ThreadEntry& e) { return e.thread == thread; });
        if (entry == library.threads.end()) return;
        if (entry->count > 0) --entry->count;
        if (entry->count > 0) return;
        library.threads.erase(entry);
        if (--library.threadCount == 0) EmptyLibraryPrototypes(library);
    }
    FreeThreadPalettes();
}

int BindDisplayDriver(int direct3D9) {
    SurfaceLibrary& library = Library();
    const bool nine = direct3D9 != 0;
    std::array<cSurface, DriverTypes>& holders = library.Holders(nine);
    if (holders[0].HasImplementation()) return 1;
    DriverLibrary& driver = library.Driver(nine);
    if (driver.failed) return 0;
    if (!driver.module) {
        const std::u16string folder = LibraryFolder(library);
        if (folder.empty()) return 0;
        ++library.loadAttempts;
        driver.Load(folder + (nine ? u"vtr2d3d9.dll" : u"vtr2d3d8.dll"));
    }
    if (driver.module)
        for (int i = 0; i < DriverTypes; ++i)
            if (cSurfaceImplementation* prototype =
                    driver.getPrototype(static_cast<unsigned>(FirstDriverType + i)))
                holders[static_cast<std::size_t>(i)].SetImplementation(prototype);
    return holders[0].HasImplementation() ? 1 : 0;
}

void UnloadDisplayDrivers() {
    SurfaceLibrary& library = Library();
    for (bool nine : {false, true}) {
        for (cSurface& holder : library.Holders(nine))
            EmptyDriverHolder(holder);
        library.Driver(nine).Unload();
    }
}

cSurface* GetDriverPrototypeHolder(int direct3D9, int type) {
    if (type < FirstDriverType || type >= FirstDriverType + DriverTypes) return nullptr;
    return &Library().Holders(direct3D9 != 0)[static_cast<std::size_t>(type - FirstDriverType)];
}

cSurface* GetDibSectionPrototype(int depthIndex) {
    if (depthIndex < 0 || depthIndex >= static_cast<int>(CanonicalDepths.size())) return nullptr;
    cSurface& holder = Library().section[static_cast<std::size_t>(depthIndex)];
    return holder.HasImplementation() ? &holder : nullptr;
}

int GetSurfacePrototype(cSurface** prototype, int depth, int type, int driverKind) {
    if (!prototype) return 0;
    SurfaceLibrary& library = Library();
    const int normalised = NormalisedDepth(depth);
    const auto index = static_cast<std::size_t>(DepthIndexOf(normalised));
    *prototype = nullptr;
    const auto own = [&](cSurface& holder) {
        *prototype = holder.HasImplementation() ? &holder : nullptr;
        return *prototype && normalised == depth ? 1 : 0;
    };
    if (type == PublicTypeMemory) return own(library.memory[index]);
    if (type == PublicTypeDibSectionToo || type > PublicTypeManagedTexture || type < 0)
        return own(library.section[index]);
    bool failedBind = false;
    if (driverKind == DriverKindDirect3D9 || driverKind == DriverKindDirect3D8) {
        const bool nine = driverKind == DriverKindDirect3D9;
        failedBind = true;
        if (BindDisplayDriver(nine ? 1 : 0)) {
            cSurface* chosen = &library.section[index];
            if (type >= FirstDriverType) {
                cSurface& holder = library.Holders(nine)[static_cast<std::size_t>(type - FirstDriverType)];
                if (holder.HasImplementation()) chosen = &holder;
            }
            if (chosen->HasImplementation() && chosen->GetDepth() != 0) {
                *prototype = chosen;
                const int asked = depth >= 9 && depth <= 15 ? 15 : depth;
                return chosen->GetDepth() == asked ? 1 : 0;
            }
        }
    }
    // The library's GDI surfaces: a device-context section for the window's surfaces (and for the screen a
    // driver could not give), plain sections else.
    if (type == PublicTypeDib || (type == PublicTypeScreen && failedBind)) return own(library.dibDC[index]);
    return own(library.section[index]);
}

void SetDisplayDriverFolder(const char16_t* folder) {
    SurfaceLibrary& library = Library();
    UnloadDisplayDrivers();
    library.driver8.failed = library.driver9.failed = 0;
    library.folderOverride = folder ? folder : u"";
    if (!library.folderOverride.empty() && library.folderOverride.back() != u'/')
        library.folderOverride += u'/';
}

int GetDisplayDriverLoadAttempts() {
    return Library().loadAttempts;
}

namespace {
// Constructed after the functions it calls are defined; the holders it fills outlive it.
SurfaceLibraryAttachment attachment;
} // namespace
