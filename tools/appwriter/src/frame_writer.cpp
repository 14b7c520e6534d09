#include "appwriter/frame_writer.h"

#include "appwriter/byte_writer.h"

#include <bit>

namespace appwriter {

namespace {

void Effect(ByteWriter& w, const EffectDesc& e) {
    w.U32(e.inkEffect);
    w.U32(e.parameter);
    w.U32(e.bankIndex);
    w.U32(static_cast<std::uint32_t>(e.values.size()));
}

} // namespace

Bytes TransitionPayload(const TransitionDesc& t, StringForm form) {
    ByteWriter w;
    const Bytes name = EncodeString(t.module, form);
    constexpr std::uint32_t NameAt = 32;
    const auto parametersAt = static_cast<std::uint32_t>(NameAt + name.size());
    w.U32(static_cast<std::uint32_t>(parametersAt + t.parameters.size()));
    w.U32(t.identifier);
    w.U32(t.duration);
    w.U32(t.flags);
    w.U32(t.colour);
    w.U32(NameAt);
    w.U32(parametersAt);
    w.U32(static_cast<std::uint32_t>(t.parameters.size()));
    w.Bytes(name);
    w.Bytes(t.parameters);
    return w.Take();
}

Bytes PalettePayload(const std::array<std::array<std::uint8_t, 4>, 256>& entries) {
    ByteWriter w;
    w.U16(0x300);
    w.U16(256);
    for (const auto& e : entries)
        w.Bytes(e);
    return w.Take();
}

Bytes LayersPayload(const std::vector<LayerDesc>& layers, StringForm form) {
    ByteWriter w;
    w.U32(static_cast<std::uint32_t>(layers.size()));
    for (const auto& l : layers) {
        w.U32(l.flags);
        w.U32(std::bit_cast<std::uint32_t>(l.xCoefficient));
        w.U32(std::bit_cast<std::uint32_t>(l.yCoefficient));
        w.I32(l.backdropCount);
        w.I32(l.firstBackdrop);
        w.Bytes(EncodeString(l.name, form));
    }
    return w.Take();
}

Bytes InstancesPayload(const std::vector<InstanceDesc>& instances) {
    ByteWriter w;
    w.U32(static_cast<std::uint32_t>(instances.size()));
    for (const auto& i : instances) {
        w.U16(i.handle);
        w.U16(i.objectInfo);
        w.I32(i.x);
        w.I32(i.y);
        w.U16(static_cast<std::uint16_t>(i.parentType));
        w.U16(static_cast<std::uint16_t>(i.parentHandle));
        w.U16(static_cast<std::uint16_t>(i.layer));
        w.U16(0);
    }
    return w.Take();
}

// Entries first; each entry's values follow all entries, at the offset the entry gives.
Bytes LayerEffectsPayload(const std::vector<EffectDesc>& effects) {
    ByteWriter w;
    std::uint32_t valuesAt = static_cast<std::uint32_t>(effects.size() * LayerEffectBytes);
    for (const auto& e : effects) {
        Effect(w, e);
        w.U32(valuesAt);
        valuesAt += static_cast<std::uint32_t>(e.values.size() * 4);
    }
    for (const auto& e : effects)
        for (auto v : e.values)
            w.U32(v);
    return w.Take();
}

Bytes FrameEffectPayload(const EffectDesc& effect) {
    ByteWriter w;
    Effect(w, effect);
    for (auto v : effect.values)
        w.U32(v);
    return w.Take();
}

std::vector<RawChunk> FrameChunks(const FrameDesc& frame, const FrameContents& c, StringForm form) {
    std::vector<RawChunk> out;
    const std::uint16_t flags = c.chunkFlags;
    auto add = [&](std::uint16_t id, Bytes payload) { out.push_back({id, flags, std::move(payload)}); };
    if (c.string3343) add(ChunkFrameString3343, EncodeString(*c.string3343, form));
    ByteWriter rect;
    const auto r = c.virtualRect.value_or(std::array<std::int32_t, 4>{0, 0, frame.width, frame.height});
    for (auto v : r)
        rect.I32(v);
    add(ChunkFrameVirtualRect, rect.Take());
    if (!c.layers.empty()) add(ChunkFrameLayers, LayersPayload(c.layers, form));
    if (c.layerEffects) add(ChunkFrameLayerEffects, LayerEffectsPayload(*c.layerEffects));
    if (c.instances) add(ChunkFrameItems, InstancesPayload(*c.instances));
    if (c.fadeIn) add(ChunkFrameFadeIn, *c.fadeIn);
    if (c.fadeOut) add(ChunkFrameFadeOut, *c.fadeOut);
    if (c.effect) add(ChunkFrameEffect, FrameEffectPayload(*c.effect));
    add(ChunkFrameEvents, c.events);
    // The seed and timer base are read without looking at the chunk flags: always plain.
    if (c.randomSeed) {
        ByteWriter w;
        w.U16(*c.randomSeed);
        out.push_back({ChunkFrameRandomSeed, 0, w.Take()});
    }
    if (c.moveTimerBase) {
        ByteWriter w;
        w.U32(*c.moveTimerBase);
        out.push_back({ChunkFrameMoveTimerBase, 0, w.Take()});
    }
    return out;
}

FrameDesc DescribeFrame(std::int32_t width, std::int32_t height, std::uint32_t background,
                        const FrameContents& contents, StringForm form, std::uint32_t flags) {
    FrameDesc frame;
    frame.width = width;
    frame.height = height;
    frame.background = background;
    frame.flags = flags;
    frame.subChunkFlags = contents.chunkFlags;
    frame.extra = FrameChunks(frame, contents, form);
    return frame;
}

} // namespace appwriter
