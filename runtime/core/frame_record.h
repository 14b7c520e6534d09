// One loaded frame: size, colours, layers, placed instances, palette, fades, effects and run-time words.
#pragma once

#include "core/application_record.h"

#include "win32/types.h"

#include <cstdint>

#include "vtrformat/chunks.h"

class cSurface;
class CEffectEx;

namespace transition {
struct Object;
}

namespace vtrrt {

struct FrameRunState;
struct FrameEvents;

using namespace vtrformat;

// Frame flags.
constexpr std::uint32_t FrameShowDesktop = 0x2;
constexpr std::uint32_t FrameKeepPicture = 0x4;
constexpr std::uint32_t FrameRectCollisionMask = 0x20;
constexpr std::uint32_t FrameScreenSize = 0x100;
constexpr std::uint32_t FrameNoScreenSurface = 0x800;
constexpr std::uint32_t FrameResetsSharedGlobals = 0x1000;
constexpr std::uint32_t FrameRecordInput = 0x4000;
constexpr std::uint32_t FrameMarkBackdrops = 0x10000;
constexpr std::uint32_t FrameFirstOfMdiApp = 0x900;

constexpr std::size_t FrameItemBytes = 20;
constexpr std::size_t LayerSettingsBytes = 20;
constexpr std::size_t PaletteBytes = 4 + 256 * 4;
constexpr std::uint16_t NoInstance = 0xFFFF;
constexpr std::uint8_t PC_NOCOLLAPSE = 4;

struct PaletteEntry {
    std::uint8_t red, green, blue, flags;
};

// The stored LOGPALETTE of a frame: version, count and 256 entries.
struct FramePalette {
    std::uint16_t version;
    std::uint16_t count;
    PaletteEntry entries[256];
};

struct FrameItemInstance {
    std::uint16_t handle;
    std::uint16_t objectInfo;
    std::int32_t x, y;
    std::int16_t parentType;
    std::int16_t parentHandle;
    std::int16_t layer;
    std::int16_t objectType; // from the object info, when its handle is valid
    void* runtime[4];        // sprites of a backdrop instance
};

struct LayerSettings {
    std::uint32_t flags;
    float xCoefficient;
    float yCoefficient;
    std::int32_t backdropCount;
    std::int32_t firstBackdrop;
};

struct FrameLayer {
    win32::WCHAR* name;
    std::int32_t scroll[4];
    std::int32_t runtimeBackdropCount;
    void* runtimeBackdrops;
    // Rectangles of the layer (ladder zones): allocated, used, array.
    std::int32_t rectCapacity;
    std::int32_t rectCount;
    win32::RECT* rects;
    std::int32_t createdObjects;
    LayerSettings settings; // working copy
    std::int32_t inkEffect;
    std::uintptr_t effectParameter;
    void* backdropGrid;
    LayerSettings stored; // as loaded
};

// A block kept as read from one chunk.
struct FrameBlock {
    std::uint8_t* data;
    std::uint32_t size;
};

struct FrameRecord {
    std::int32_t width, height;
    std::uint32_t background;
    std::uint32_t flags;
    win32::WCHAR* name;
    FramePalette* palette;
    // Run-time words.
    std::int16_t endCode;
    std::int16_t transitionState;
    std::int32_t running;
    std::int32_t maxObjects;
    std::uint8_t playerCount;
    std::int32_t storedWidth, storedHeight; // the header's size when the frame takes the screen size
    std::int32_t firstTickFrameTime;        // kept by the first tick before a fade-in
    std::int32_t firstTickDistance;

    std::int32_t layerCount;
    FrameLayer* layers;
    win32::RECT virtualRect;
    std::int32_t instanceCount;
    std::int32_t instanceHandleLimit;
    std::uint16_t* instanceIndex;
    FrameItemInstance* instances;
    std::int32_t instanceCursor;
    void* paletteLink;
    FrameBlock fadeIn, fadeOut;
    FrameRunState* runState;
    std::uint32_t obstacleFlags;
    std::int32_t displayWidth, displayHeight;
    win32::WCHAR* string3343;
    std::int16_t randomSeed;
    std::uint32_t moveTimerBase;
    FrameBlock layerEffects;
    FrameBlock effect;
    FrameEvents* events; // owned; null until the events chunk is read
    cSurface* surface;   // the frame's screen surface, handed to the application when the frame is freed
    // The running fade of the frame, and the pictures it goes from and to; owned.
    transition::Object* transition;
    cSurface* oldPicture;
    cSurface* newPicture;
    float factors[3];
    std::int32_t lastWord;
    // The scroll position the frame is to show (the scrolling services set it; the display follows it), and
    // the most backdrops a layer takes at run time (0: the runtime's default).
    std::int32_t scrollX, scrollY;
    std::int32_t maxLayerBackdrops;
    // Where the events chunk's header lies in the file, to say where a program that does not hold together
    // was read from.
    std::int64_t eventsChunkOffset;
    // Display-driver modes: the window-size surface the frame is drawn into when it shows through an effect
    // or at another size (owned; null when not needed), whether the next clear checks again that it is
    // needed, whether the frame's drawing is open, and the frame's effect object (owned; ink 13 only).
    cSurface* windowSurface;
    std::int32_t checkWindowSurface;
    std::int32_t drawingOpen;
    CEffectEx* effectObject;
    // The sub-application objects drawn into this frame (a CIndexList made when the first is added, freed
    // with the frame).
    void* subApplications;
    // Display-driver modes: the box of the question being asked, drawn in a surface of its own (the
    // question owns it; null when none is asked), and where it goes in the frame window.
    cSurface* questionBox;
    std::int32_t questionBoxX, questionBoxY;
};

} // namespace vtrrt
