// Helpers of the engine tests: 32-bit memory surfaces filled from the model images, and read back.
#pragma once

#include "library/surfaces/surface_test_support.h"
#include "support/reference_model.h"
#include "vtrs2/surface.h"

#include <memory>

namespace blit_test {

using surface_test::MakeSurface;
using surface_test::Random;

inline win32::COLORREF ColorOf(const reference::Pixel& p) {
    return win32::RGB(p.red, p.green, p.blue);
}

inline reference::Pixel PixelAt(const cSurface& s, int x, int y) {
    const win32::BYTE* p = s.GetImplementation()->Row(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
}

// A model image and a 32-bit surface with the same pixels (and alpha plane when the model has one).
inline std::unique_ptr<cSurface> SurfaceOf(const reference::Image& image) {
    auto s = MakeSurface(image.width, image.height, 32);
    cSurfaceImplementation* impl = s->GetImplementation();
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const reference::Pixel& p = image.At(x, y);
            win32::BYTE* out = impl->Row(y) + 4 * x;
            out[0] = p.blue;
            out[1] = p.green;
            out[2] = p.red;
            out[3] = p.fourth;
        }
    if (!image.alpha.empty()) {
        impl->AllocateAlphaPlane();
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                impl->AlphaRow(y)[x] = image.alpha[y * image.width + x];
    }
    const reference::Pixel k = image.key;
    if (k.red || k.green || k.blue) impl->SetColorKey(win32::RGB(k.red, k.green, k.blue));
    return s;
}

inline reference::Image RandomImage(int width, int height, Random& random, const reference::Pixel& key,
                                    int keyedOneIn) {
    reference::Image image;
    image.width = width;
    image.height = height;
    image.key = key;
    image.clipRight = width;
    image.clipBottom = height;
    image.pixels.resize(static_cast<std::size_t>(width * height));
    for (auto& p : image.pixels) {
        if (keyedOneIn && random.Below(keyedOneIn) == 0) {
            p = key;
            continue;
        }
        const std::uint32_t v = random.Next();
        p = {static_cast<win32::BYTE>(v), static_cast<win32::BYTE>(v >> 8), static_cast<win32::BYTE>(v >> 16),
             static_cast<win32::BYTE>(v >> 24)};
    }
    return image;
}

} // namespace blit_test
