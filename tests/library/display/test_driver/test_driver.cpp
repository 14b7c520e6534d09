// A display driver for the tests: its four prototypes are memory surfaces that answer the Direct3D 8 type
// codes; textures take an image's pixels through UploadFrom.
#include "vtrs2/memory_surfaces.h"

#include <new>

namespace {

class DriverSurface final : public cBufferSurface {
public:
    explicit DriverSurface(int code) : code_(code) {}
    int GetType() override { return code_; }
    cSurfaceImplementation* CreateSameKind(int width, int height) override {
        auto* created = new (std::nothrow) DriverSurface(code_);
        if (!created) return nullptr;
        if (!created->SetDepth(depth) || !created->AllocatePixels(width, height)) {
            created->Delete();
            return nullptr;
        }
        return created;
    }
    int UploadFrom(cSurfaceImplementation* source) override {
        if (!source || source->width != width || source->height != height) return 0;
        return source->Blit(this, 0, 0, 0, 0, width, height, 0, 0, 0, 2);
    }

private:
    int code_;
};

DriverSurface* prototypes[4] = {};

} // namespace

extern "C" __attribute__((visibility("default"))) int SEInitialize() {
    for (int i = 0; i < 4; ++i) {
        if (prototypes[i]) continue;
        prototypes[i] = new DriverSurface(13 + i);
        prototypes[i]->SetDepth(32);
    }
    return 1;
}

extern "C" __attribute__((visibility("default"))) cSurfaceImplementation* SEGetSIPrototype(int type) {
    return type >= 4 && type <= 7 ? prototypes[type - 4] : nullptr;
}

extern "C" __attribute__((visibility("default"))) void SEFree() {}

// The driver owns its prototypes and frees them when it is unloaded.
__attribute__((destructor)) static void FreePrototypes() {
    for (DriverSurface*& prototype : prototypes) {
        delete prototype;
        prototype = nullptr;
    }
}
