// Reads arbitrary bytes as a BMP file into surfaces of three depths, then saves what was read: bitmap
// headers, masks, colour tables and offsets come from files the application names.
#include "vtrs2/memory_surfaces.h"
#include "vtrs2/streams.h"
#include "vtrs2/surface.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1 << 20) return 0;
    for (int depth : {32, 16, 8}) {
        cSurface prototype;
        auto* implementation = new cBufferSurface;
        implementation->SetDepth(depth);
        prototype.SetImplementation(implementation);
        cSurface surface;
        if (!surface.Create(1, 1, &prototype)) std::abort();
        CInputMemFile input;
        input.Attach(data, static_cast<win32::LONG>(size));
        if (!surface.LoadDibFromStream(&input, 0, 0)) continue;
        if (surface.GetWidth() <= 0 || surface.GetHeight() <= 0) std::abort();
        COutputMemFile output;
        output.Create(1024);
        if (!surface.SaveDibToStream(&output)) std::abort();
    }
    return 0;
}
