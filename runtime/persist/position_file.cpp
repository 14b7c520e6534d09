#include "persist/position_file.h"

#include "startup/event_program.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vtrrt {

namespace {

constexpr std::size_t RunBlockBytes = 104;
constexpr std::int32_t MaxFrameSize = 0x7FFFF000;
constexpr std::size_t FrameBlockWords = 11;
constexpr std::uint16_t VersionMask = 0x7FFF;
constexpr std::uint16_t OldestVersion = 10, NewestVersion = 12;
constexpr std::uint16_t EndOfChain = 0xFFFF;
constexpr std::uint32_t MaxEffectValues = 256;
constexpr std::size_t AnimationFields = 20;
constexpr std::size_t StorePaddingBytes = 4;
constexpr std::uint32_t TextElementBytes = 16;
constexpr std::uint32_t CounterElementBytes = 40;
constexpr std::uint32_t HeldValueBytes = 16;
constexpr std::uint32_t MaxAlterableValues = 26;
constexpr int AlterableStrings = 10;
// The movement block as held: its size is the movement services'.
constexpr std::size_t MovementBytes = 158;
constexpr std::uint32_t FlagMovement = 0x10, FlagAnimation = 0x20, FlagValues = 0x100, FlagSprite = 0x200;
constexpr std::uint32_t BlockFlags = FlagMovement | FlagAnimation | FlagValues | FlagSprite;

// Each step of a parse: false once a read fails; the caller gives the check that failed.
struct Parse {
    ByteReader& r;
    bool ok = true;
    template <typename T> T Get() {
        T v{};
        if (!ok) return v;
        if constexpr (sizeof(T) == 1)
            ok = r.U8(reinterpret_cast<std::uint8_t&>(v));
        else if constexpr (sizeof(T) == 2)
            ok = r.U16(reinterpret_cast<std::uint16_t&>(v));
        else
            ok = r.U32(reinterpret_cast<std::uint32_t&>(v));
        return v;
    }
    float Float() {
        float v = 0;
        if (ok) ok = ReadF32(r, v);
        return v;
    }
};

bool ReadValuesElement(std::span<const std::uint8_t> element) {
    ByteReader r(element);
    std::uint32_t count = 0, flags = 0;
    if (!r.U32(count) || !r.U32(flags) || count > MaxAlterableValues) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t type = 0;
        if (!r.U32(type) || type > TypeDouble || !r.Skip(HeldValueBytes - 4)) return false;
    }
    // Ten terminated strings, inside the element.
    for (int i = 0; i < AlterableStrings; ++i)
        for (std::uint16_t c = 1; c;)
            if (!r.U16(c)) return false;
    return true;
}

bool ReadStoreEntry(ByteReader& r, SavedStoreEntry& entry) {
    std::uint32_t bytes = 0;
    std::span<const std::uint8_t> block;
    if (!r.U32(bytes) || !r.Take(bytes, block)) return false;
    ByteReader b(block);
    if (!b.U32(entry.count) || !b.U32(entry.elementSize)) return false;
    for (std::uint16_t c = 1;;) {
        if (!b.U16(c)) return false;
        if (!c) break;
        entry.key.push_back(static_cast<char16_t>(c));
    }
    const std::uint64_t elements = std::uint64_t{entry.count} * entry.elementSize;
    if (entry.elementSize == 0 || elements != b.Left() - std::min(b.Left(), StorePaddingBytes) ||
        b.Left() < StorePaddingBytes)
        return false;
    std::span<const std::uint8_t> held;
    if (!b.Take(static_cast<std::size_t>(elements), held)) return false;
    entry.elements.assign(held.begin(), held.end());
    for (std::uint32_t i = 0; i < entry.count; ++i) {
        const auto element = held.subspan(std::size_t{i} * entry.elementSize, entry.elementSize);
        if (entry.elementSize == CounterElementBytes) {
            const std::uint32_t type = element[0] | (element[1] << 8) | (element[2] << 16) |
                                       (static_cast<std::uint32_t>(element[3]) << 24);
            if (type != TypeInteger && type != TypeDouble) return false;
        } else if (entry.elementSize != TextElementBytes && !ReadValuesElement(element)) {
            return false;
        }
    }
    if (entry.elementSize == TextElementBytes)
        for (std::uint32_t i = 0; i < entry.count; ++i) {
            std::uint32_t units = 0;
            if (!r.U32(units)) return false;
            if (units == 0) {
                entry.texts.emplace_back();
                continue;
            }
            std::span<const std::uint8_t> text;
            if (!r.Take(std::size_t{units} * 2, text)) return false;
            std::u16string s;
            for (std::size_t k = 0; k + 1 < text.size(); k += 2) {
                const auto c = static_cast<char16_t>(text[k] | (text[k + 1] << 8));
                if (!c) break; // only the text before its terminator counts
                s.push_back(c);
            }
            entry.texts.emplace_back(std::move(s));
        }
    return true;
}

bool ReadEffect(ByteReader& r, SavedEffect& effect) {
    std::uint32_t count = 0;
    if (!r.I32(effect.index) || !r.U32(effect.rgba) || !r.U32(count) || count > MaxEffectValues) return false;
    effect.values.resize(count);
    for (std::uint32_t& v : effect.values)
        if (!r.U32(v)) return false;
    return true;
}

bool ReadObject(ByteReader& r, SavedObject& o) {
    Parse p{r};
    o.handle = p.Get<std::int16_t>();
    o.frameItem = p.Get<std::int16_t>();
    o.objectInfo = p.Get<std::int16_t>();
    o.objectType = p.Get<std::int16_t>();
    for (std::int32_t* f : {&o.xFraction, &o.x, &o.yFraction, &o.y, &o.hotSpotX, &o.hotSpotY, &o.width,
                            &o.height, &o.display[0], &o.display[1], &o.display[2], &o.display[3]})
        *f = p.Get<std::int32_t>();
    o.objectFlags = p.Get<std::uint32_t>();
    o.runFlags = p.Get<std::uint16_t>();
    o.eventFlags = p.Get<std::uint16_t>();
    o.layer = p.Get<std::int32_t>();
    o.collisionFlags = p.Get<std::int16_t>();
    o.creationNumber = p.Get<std::uint16_t>();
    o.identifier = p.Get<std::uint32_t>();
    const std::uint16_t entryBytes = p.Get<std::uint16_t>();
    if (!p.ok || entryBytes % 4 != 0 || !r.Skip(entryBytes)) return false;

    if (o.objectFlags & (FlagMovement | FlagAnimation | FlagSprite)) {
        SavedObject::Extended x{};
        for (std::int32_t* f : {&x.player, &x.movementType, &x.animationRequest, &x.image})
            *f = p.Get<std::int32_t>();
        x.scaleX = p.Float();
        x.scaleY = p.Float();
        x.angle = p.Float();
        for (std::int32_t* f :
             {&x.direction, &x.speed, &x.minimumSpeed, &x.maximumSpeed, &x.changed, &x.moved, &x.xBeforeMove,
              &x.yBeforeMove, &x.imageBeforeMove, &x.angleBeforeMove, &x.previousDirection,
              &x.boxBeforeMove[0], &x.boxBeforeMove[1], &x.boxBeforeMove[2], &x.boxBeforeMove[3]})
            *f = p.Get<std::int32_t>();
        x.animationRoutine = p.Get<std::uint16_t>();
        p.Get<std::uint16_t>();
        if (!p.ok || x.animationRoutine > 2) return false;
        o.extended = x;
    }
    if (o.objectFlags & FlagMovement) {
        std::span<const std::uint8_t> block;
        if (!r.Take(MovementBytes, block)) return false;
        o.movement.assign(block.begin(), block.end());
    }
    if (o.objectFlags & FlagAnimation) {
        o.animation.resize(AnimationFields);
        for (std::int32_t& f : o.animation)
            f = p.Get<std::int32_t>();
    }
    if (o.objectFlags & FlagSprite) {
        SavedObject::SpriteState s{};
        for (std::int32_t* f : {&s.flashInterval, &s.flashCountdown, &s.layerKey, &s.zOrder})
            *f = p.Get<std::int32_t>();
        for (std::uint32_t* f : {&s.spriteFlags, &s.eraseColour, &s.inkEffect, &s.inkParameter})
            *f = p.Get<std::uint32_t>();
        s.displayFlags = p.Get<std::uint16_t>();
        s.firstSpriteFlags = p.Get<std::uint16_t>();
        if (!p.ok) return false;
        if ((s.inkEffect & 0xFFFF) == InkEffectObject) {
            SavedEffect e;
            if (!ReadEffect(r, e)) return false;
            s.effect = std::move(e);
        }
        o.sprite = std::move(s);
    }
    if (o.objectFlags & FlagValues) {
        SavedObject::Values v;
        const std::uint32_t count = p.Get<std::uint32_t>();
        if (!p.ok || count > MaxAlterableValues) return false;
        v.values.resize(count);
        for (TypedValue& value : v.values)
            if (!ReadTypedValue(r, value)) return false;
        for (auto& s : v.strings)
            if (!ReadText(r, s)) return false;
        v.flags = p.Get<std::uint32_t>();
        o.values = std::move(v);
    }
    if (!p.ok) return false;
    if (const KindPositionRoutines* kind = KindPositionRoutinesOf(o.objectType)) return kind->read(r, o);
    return true;
}

bool ReadChain(ByteReader& r, std::vector<std::uint16_t>& chain) {
    for (std::uint16_t h = 0;;) {
        if (!r.U16(h)) return false;
        if (h == EndOfChain) return true;
        chain.push_back(h);
    }
}

// An extension object's part as its extension keeps it now: the same data version, and a state exactly
// when the extension writes one and can read it back.
bool ExtensionPartFits(const SavedObject& o, const PositionExpectation::Info& info) {
    if (o.objectType < FirstExtensionType) return true;
    return o.extensionVersion == info.extensionVersion &&
           o.extensionState.has_value() == info.extensionSaves && (!o.extensionState || info.extensionLoads);
}

// The later sections against the running frame: every handle, object info, layer, chain and order.
int CheckObjects(const PositionImage& image, const PositionExpectation& expect) {
    if (image.objectInfoCount != expect.infos.size()) return PositionIncompatibleApplication;
    std::vector<const SavedObject*> bySlot(static_cast<std::size_t>(std::max(expect.maxObjects, 0)), nullptr);
    for (const SavedObject& o : image.objects) {
        if (o.handle < 0 || o.handle >= expect.maxObjects || bySlot[static_cast<std::size_t>(o.handle)])
            return PositionIncompatibleApplication;
        bySlot[static_cast<std::size_t>(o.handle)] = &o;
        const auto info = std::find_if(expect.infos.begin(), expect.infos.end(), [&](const auto& i) {
            return i.handle == static_cast<std::uint16_t>(o.objectInfo);
        });
        if (info == expect.infos.end() || info->type != o.objectType || !ExtensionPartFits(o, *info) ||
            (info->objectFlags & BlockFlags) != (o.objectFlags & BlockFlags) || o.layer < 0 ||
            o.layer >= expect.layerCount || (o.sprite && o.sprite->layerKey != o.layer))
            return PositionIncompatibleApplication;
    }
    // Each live object appears once in its layer's order and once in its object info's chain.
    std::vector<std::uint8_t> seenInLayer(bySlot.size()), seenInChain(bySlot.size());
    for (std::size_t layer = 0; layer < image.layerOrder.size(); ++layer)
        for (std::uint16_t h : image.layerOrder[layer]) {
            if (h >= bySlot.size() || !bySlot[h] || bySlot[h]->layer != static_cast<std::int32_t>(layer) ||
                seenInLayer[h]++)
                return PositionIncompatibleApplication;
        }
    for (std::size_t i = 0; i < image.chains.size(); ++i)
        for (std::uint16_t h : image.chains[i]) {
            if (h >= bySlot.size() || !bySlot[h] || bySlot[h]->objectInfo != expect.infos[i].handle ||
                seenInChain[h]++)
                return PositionIncompatibleApplication;
        }
    for (const SavedObject& o : image.objects) {
        const auto h = static_cast<std::size_t>(o.handle);
        const bool displayed = o.sprite.has_value();
        if (!seenInChain[h] || (displayed && !seenInLayer[h])) return PositionIncompatibleApplication;
    }
    return PositionValid;
}

int ParseBody(ByteReader& r, const PositionExpectation& expect, PositionImage& image) {
    Parse p{r};
    std::span<const std::uint8_t> run;
    if (!r.Take(RunBlockBytes, run)) return PositionReadError;
    std::copy(run.begin(), run.end(), image.run.begin());
    for (std::size_t i = 0; i < FrameBlockWords; ++i)
        image.frame[i] = p.Get<std::int32_t>();
    // The frame's size as the storyboard's actions keep it.
    if (p.ok && (image.frame[4] < 0 || image.frame[5] < 0 || image.frame[4] > MaxFrameSize ||
                 image.frame[5] > MaxFrameSize))
        return PositionIncompatibleApplication;
    image.layers.resize(static_cast<std::size_t>(expect.layerCount));
    for (SavedLayer& layer : image.layers) {
        for (std::int32_t& w : layer.scroll)
            w = p.Get<std::int32_t>();
        layer.flags = p.Get<std::uint32_t>();
        layer.xCoefficient = p.Float();
        layer.yCoefficient = p.Float();
        const std::uint32_t backdrops = p.Get<std::uint32_t>();
        // Each takes 20 bytes: a count beyond what is left is damage.
        if (!p.ok || std::uint64_t{backdrops} * 20 > r.Left()) return PositionReadError;
        layer.backdrops.resize(backdrops);
        for (SavedLayer::Backdrop& b : layer.backdrops) {
            b.x = p.Get<std::int32_t>();
            b.y = p.Get<std::int32_t>();
            b.image = p.Get<std::uint16_t>();
            b.fine = p.Get<std::uint16_t>();
            b.obstacle = p.Get<std::uint16_t>();
            p.Get<std::uint16_t>();
            b.ink = p.Get<std::uint32_t>();
        }
    }
    for (std::int32_t& s : image.scores)
        s = p.Get<std::int32_t>();
    for (std::int32_t& l : image.lives)
        l = p.Get<std::int32_t>();
    const std::uint32_t values = p.Get<std::uint32_t>();
    // A value takes at least 6 bytes, a string 2: counts beyond what is left are damage.
    if (!p.ok || std::uint64_t{values} * 6 > r.Left()) return PositionReadError;
    image.globalValues.resize(values);
    for (TypedValue& v : image.globalValues)
        if (!ReadTypedValue(r, v)) return PositionReadError;
    const std::uint32_t strings = p.Get<std::uint32_t>();
    if (!p.ok || std::uint64_t{strings} * 2 > r.Left()) return PositionReadError;
    image.globalStrings.resize(strings);
    for (auto& s : image.globalStrings)
        if (!ReadText(r, s)) return PositionReadError;
    image.objectInfoCount = p.Get<std::uint32_t>();
    const std::uint32_t objects = p.Get<std::uint32_t>();
    if (!p.ok) return PositionReadError;
    if (objects > static_cast<std::uint32_t>(std::max(expect.maxObjects, 0)))
        return PositionIncompatibleApplication;
    image.objects.resize(objects);
    for (SavedObject& o : image.objects)
        if (!ReadObject(r, o)) return PositionReadError;
    image.layerOrder.resize(image.layers.size());
    for (auto& order : image.layerOrder) {
        const std::uint32_t bytes = p.Get<std::uint32_t>();
        if (!p.ok || bytes % 2 != 0 || bytes > r.Left()) return PositionReadError;
        order.resize(bytes / 2);
        for (std::uint16_t& h : order)
            h = p.Get<std::uint16_t>();
    }
    const std::uint32_t chainBytes = p.Get<std::uint32_t>();
    std::span<const std::uint8_t> chains;
    if (!p.ok || !r.Take(chainBytes, chains)) return PositionReadError;
    ByteReader c(chains);
    while (c.Left() > 0) {
        if (image.chains.size() >= expect.infos.size()) return PositionIncompatibleApplication;
        if (!ReadChain(c, image.chains.emplace_back())) return PositionReadError;
    }
    if (image.chains.size() != expect.infos.size()) return PositionIncompatibleApplication;
    const std::uint32_t entries = p.Get<std::uint32_t>();
    // An entry takes at least 18 bytes.
    if (!p.ok || std::uint64_t{entries} * 18 > r.Left()) return PositionReadError;
    image.store.resize(entries);
    for (SavedStoreEntry& e : image.store)
        if (!ReadStoreEntry(r, e)) return PositionReadError;
    const std::uint32_t programBytes = p.Get<std::uint32_t>();
    if (!p.ok) return PositionReadError;
    if (programBytes != (expect.groupRecords.empty() ? 0 : expect.programBytes))
        return PositionIncompatibleApplication;
    if (programBytes)
        for (std::uint16_t records : expect.groupRecords) {
            SavedGroup g{};
            g.flags = p.Get<std::uint16_t>();
            g.counterA = p.Get<std::int32_t>();
            g.counterB = p.Get<std::int32_t>();
            std::span<const std::uint8_t> flags;
            if (!p.ok || !r.Take(std::size_t{records} * 2, flags)) return PositionReadError;
            g.recordFlags.assign(flags.begin(), flags.end());
            image.groups.push_back(std::move(g));
        }
    // The frame's ink and effect, when the frame was given one at run time.
    const std::uint32_t effectFlag = p.Get<std::uint32_t>();
    if (!p.ok) return PositionReadError;
    if (effectFlag) return PositionIncompatibleApplication;
    if (r.Left() != 0) return PositionReadError;
    return CheckObjects(image, expect);
}

} // namespace

void PositionWriter::U16(std::uint16_t v) {
    vtrformat::PutAt(bytes, bytes.size(), v);
}
void PositionWriter::U32(std::uint32_t v) {
    vtrformat::PutAt(bytes, bytes.size(), v);
}
void PositionWriter::F32(float v) {
    U32(std::bit_cast<std::uint32_t>(v));
}
void PositionWriter::F64(double v) {
    const auto u = std::bit_cast<std::uint64_t>(v);
    U32(static_cast<std::uint32_t>(u));
    U32(static_cast<std::uint32_t>(u >> 32));
}
void PositionWriter::Text(const char16_t* text) {
    if (!text) {
        U16(0);
        return;
    }
    const std::size_t units = std::char_traits<char16_t>::length(text) + 1;
    // A text too long for its size word is cut to what the word can say.
    const std::size_t kept = std::min<std::size_t>(units, 0xFFFE / 2);
    U16(static_cast<std::uint16_t>(kept * 2));
    for (std::size_t i = 0; i + 1 < kept; ++i)
        U16(static_cast<std::uint16_t>(text[i]));
    U16(0);
}

bool ReadF32(ByteReader& r, float& v) {
    std::uint32_t u = 0;
    if (!r.U32(u)) return false;
    v = std::bit_cast<float>(u);
    return true;
}
bool ReadF64(ByteReader& r, double& v) {
    std::uint32_t lo = 0, hi = 0;
    if (!r.U32(lo) || !r.U32(hi)) return false;
    v = std::bit_cast<double>((std::uint64_t{hi} << 32) | lo);
    return true;
}
bool ReadText(ByteReader& r, std::optional<std::u16string>& text) {
    std::uint16_t bytes = 0;
    if (!r.U16(bytes)) return false;
    if (bytes == 0) {
        text.reset();
        return true;
    }
    std::span<const std::uint8_t> b;
    if (bytes % 2 != 0 || !r.Take(bytes, b) || b[bytes - 1] != 0 || b[bytes - 2] != 0) return false;
    std::u16string s;
    for (std::size_t i = 0; i + 2 < b.size(); i += 2)
        s.push_back(static_cast<char16_t>(b[i] | (b[i + 1] << 8)));
    text = std::move(s);
    return true;
}

int WriteTypedValue(PositionWriter& file, const TypedValue& value) {
    if (value.type == TypeInteger) {
        file.U16(TypeInteger);
        file.I32(value.integer);
        return 1;
    }
    if (value.type == TypeDouble) {
        file.U16(TypeDouble);
        file.F64(value.real);
        return 1;
    }
    return 0;
}

int ReadTypedValue(ByteReader& file, TypedValue& value) {
    std::uint16_t type = 0;
    if (!file.U16(type)) return 0;
    if (type == TypeInteger) {
        std::int32_t v = 0;
        if (!file.I32(v)) return 0;
        value = TypedValue::Int(v);
        return 1;
    }
    if (type == TypeDouble) {
        double v = 0;
        if (!ReadF64(file, v)) return 0;
        value = TypedValue::Double(v);
        return 1;
    }
    return 0;
}

int ParsePosition(std::span<const std::uint8_t> file, const PositionExpectation& expect,
                  PositionImage& image) {
    ByteReader r(file);
    std::span<const std::uint8_t> magic;
    if (!r.Take(PositionMagicBytes, magic)) return PositionReadError;
    if (std::memcmp(magic.data(), PositionMagic, PositionMagicBytes) != 0 || !r.U16(image.version))
        return PositionNotAPosition;
    const std::uint16_t version = image.version & VersionMask;
    std::uint16_t nameBytes = 0;
    std::span<const std::uint8_t> name;
    if (version < OldestVersion || version > NewestVersion || !r.U16(nameBytes) || !r.Take(nameBytes, name))
        return PositionIncompatibleVersion;
    // The name as written, its terminator not compared.
    std::u16string saved;
    for (std::size_t i = 0; i + 1 < name.size(); i += 2) {
        const auto c = static_cast<char16_t>(name[i] | (name[i + 1] << 8));
        if (!c) break;
        saved.push_back(c);
    }
    std::uint16_t frameIndex = 0;
    if (saved != expect.applicationName || !r.I32(image.stamp) || image.stamp != expect.stamp ||
        !r.U16(frameIndex))
        return PositionOtherApplication;
    image.frameIndex = frameIndex;
    if (expect.frameNumberOnly) return PositionValid;
    if (image.frameIndex != expect.frameIndex) return PositionOtherFrame;
    return ParseBody(r, expect, image);
}

} // namespace vtrrt
