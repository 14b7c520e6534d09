// The library's own prototypes, made on first demand and kept for the life of the process.
#include "vtrs2/surface_prototypes.h"

#include "vtrs2/memory_surfaces.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_implementation.h"

#include <array>
#include <new>

namespace {

constexpr std::array<int, 5> CanonicalDepths{8, 15, 16, 24, 32};

// One memory prototype per depth index. The DIB-section and device-context surface classes answer the
// other public types once they exist; until then the memory prototype of the depth stands for them, as it
// draws the same pixels.
class PrototypeHolders {
public:
    PrototypeHolders() {
        for (std::size_t i = 0; i < CanonicalDepths.size(); ++i) {
            auto* prototype = new (std::nothrow) cBufferSurface;
            if (prototype && prototype->SetDepth(CanonicalDepths[i]))
                memory_[i].SetImplementation(prototype);
            else if (prototype)
                prototype->Delete();
        }
    }
    cSurface* Memory(int index) {
        return memory_[static_cast<std::size_t>(index)].HasImplementation()
                   ? &memory_[static_cast<std::size_t>(index)]
                   : nullptr;
    }

private:
    std::array<cSurface, CanonicalDepths.size()> memory_;
};

PrototypeHolders& Holders() {
    static PrototypeHolders holders;
    return holders;
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

int GetSurfacePrototype(cSurface** prototype, int depth, int, int) {
    if (!prototype) return 0;
    const int normalised = NormalisedDepth(depth);
    *prototype = Holders().Memory(DepthIndexOf(normalised));
    return *prototype && normalised == depth ? 1 : 0;
}
