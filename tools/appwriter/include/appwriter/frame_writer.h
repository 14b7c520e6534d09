// Writes the frame sub-chunks beyond the header, name, password and palette: layers, placed instances,
// virtual rectangle, event program, fades, effects and the small settings. The chunks go into a FrameDesc's
// `extra` list.
#pragma once

#include "appwriter/application_writer.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace appwriter {

struct LayerDesc {
    std::uint32_t flags = 0;
    float xCoefficient = 1.0f;
    float yCoefficient = 1.0f;
    std::int32_t backdropCount = 0;
    std::int32_t firstBackdrop = 0;
    std::u16string name = u"Layer 1";
};

struct InstanceDesc {
    std::uint16_t handle = 0;
    std::uint16_t objectInfo = 0;
    std::int32_t x = 0, y = 0;
    std::int16_t parentType = 0;
    std::int16_t parentHandle = 0;
    std::int16_t layer = 0;
};

// An ink effect with its parameters: of a layer, or of the frame itself.
struct EffectDesc {
    std::uint32_t inkEffect = 0;
    std::uint32_t parameter = 0;
    std::uint32_t bankIndex = 0;
    std::vector<std::uint32_t> values;
};

struct FrameContents {
    std::vector<LayerDesc> layers{LayerDesc{}};
    std::optional<std::vector<InstanceDesc>> instances = std::vector<InstanceDesc>{};
    std::optional<std::array<std::int32_t, 4>> virtualRect; // none: the frame's size
    // The event program is written by the event writer; a frame without one gets an empty chunk.
    Bytes events;
    std::optional<std::u16string> string3343;
    std::optional<std::uint16_t> randomSeed;
    std::optional<std::uint32_t> moveTimerBase;
    std::optional<Bytes> fadeIn, fadeOut;
    std::optional<std::vector<EffectDesc>> layerEffects; // one per layer
    std::optional<EffectDesc> effect;
    std::uint16_t chunkFlags = 0; // compressed, enciphered
};

// A transition descriptor: the module (a plain file name), the transition's identifier and duration, the
// plain-colour flag and colour, and the module's parameter block.
struct TransitionDesc {
    std::uint32_t identifier = 1;
    std::uint32_t duration = 1000;
    std::uint32_t flags = 0;
    std::uint32_t colour = 0;
    std::u16string module = u"vtrtrans";
    Bytes parameters;
};

// The descriptor as stored: u32 size, identifier, duration, flags, colour, the name's offset, the
// parameters' offset and size, then the name (in the data's string form) and the parameters.
Bytes TransitionPayload(const TransitionDesc& transition, StringForm form);

// A stored palette (LOGPALETTE: version 0x300, count 256, then red, green, blue, flags per entry).
Bytes PalettePayload(const std::array<std::array<std::uint8_t, 4>, 256>& entries);

Bytes LayersPayload(const std::vector<LayerDesc>& layers, StringForm form);
Bytes InstancesPayload(const std::vector<InstanceDesc>& instances);
Bytes LayerEffectsPayload(const std::vector<EffectDesc>& effects);
Bytes FrameEffectPayload(const EffectDesc& effect);

// The sub-chunks of the contents, in the order the authoring tool writes them.
std::vector<RawChunk> FrameChunks(const FrameDesc& frame, const FrameContents& contents, StringForm form);

// A frame of that size and background colour with its contents.
FrameDesc DescribeFrame(std::int32_t width, std::int32_t height, std::uint32_t background,
                        const FrameContents& contents = {}, StringForm form = StringForm::Wide,
                        std::uint32_t flags = 0);

} // namespace appwriter
