// What a display-driver plug-in exports and the block it describes its device with. The library binds the
// three entry points by name; the driver defines them with these types.
#pragma once

#include <cstddef>
#include <cstdint>

class cSurfaceImplementation;

namespace display_driver {

// Answers 1 when the driver's device can be made on this machine (it keeps nothing), 0 otherwise.
using InitializeFunction = int (*)();
// The driver's prototype of a public surface type (4 to 7), or null. The driver keeps ownership.
using PrototypeFunction = cSurfaceImplementation* (*)(unsigned type);
// Called before the library lets the driver go; it has nothing to do.
using FreeFunction = void (*)();

constexpr const char* InitializeName = "SEInitialize";
constexpr const char* PrototypeName = "SEGetSIPrototype";
constexpr const char* FreeName = "SEFree";

// The public surface types a driver makes prototypes for.
constexpr unsigned FirstDriverType = 4;
constexpr unsigned LastDriverType = 7;

// The device block GetDriverInfo fills for other modules. Its three pointers are pointer-sized, so it is 48
// bytes on this platform and its size field says 48; a block whose size field is smaller is left alone.
struct DriverInfo {
    std::uint32_t size;
    std::uint32_t kind;
    void* direct3D;
    void* device;
    void* texture; // null for a screen
    std::uint32_t pixelShaderVersion;
    std::uint32_t reserved;
    std::uint32_t maxTextureWidth;
    std::uint32_t maxTextureHeight;
};
static_assert(sizeof(DriverInfo) == 48);
static_assert(offsetof(DriverInfo, pixelShaderVersion) == 32);

constexpr std::uint32_t DriverInfoSize = sizeof(DriverInfo);
// The kind word of the Direct3D 8 driver's blocks.
constexpr std::uint32_t DriverInfoKindDirect3D8 = 8;

} // namespace display_driver

extern "C" {
int SEInitialize();
cSurfaceImplementation* SEGetSIPrototype(unsigned type);
void SEFree();
}
