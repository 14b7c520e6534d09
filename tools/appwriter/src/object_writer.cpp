#include "appwriter/object_writer.h"

#include "appwriter/byte_writer.h"

#include <algorithm>

#include <zlib.h>

namespace appwriter {

namespace {

constexpr std::size_t CommonBytes = 62;

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    PutAt(b, at, v);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    PutAt(b, at, v);
}

Bytes Backdrop(const ObjectDefinitionDesc& d) {
    Bytes b(d.type == 0 && d.fillType == 2 ? 38 : 28, 0);
    Put16(b, 4, d.obstacle);
    Put16(b, 6, d.boxOnly);
    Put32(b, 8, static_cast<std::uint32_t>(d.width));
    Put32(b, 12, static_cast<std::uint32_t>(d.height));
    if (d.type == 1) Put16(b, 16, d.image);
    if (d.type == 0) {
        // The shape: border width and colour, shape, fill type, then the fill's data.
        Put16(b, 16, d.borderWidth);
        Put32(b, 18, d.borderColour);
        Put16(b, 22, d.shape);
        if (d.shape == 1) {
            Put16(b, 26, d.lineFlags);
        } else if (d.fillType == 1) {
            b.resize(30, 0);
            Put32(b, 26, d.colour1);
        } else if (d.fillType == 2) {
            Put32(b, 26, d.colour1);
            Put32(b, 30, d.colour2);
            Put32(b, 34, d.vertical);
        }
    }
    Put16(b, 24, d.fillType);
    if (d.type == 0 && d.fillType == 3) Put16(b, 26, d.image);
    Put32(b, 0, static_cast<std::uint32_t>(b.size()));
    return b;
}

// u16, u16 count, an i16 offset per animation number from the list (0: none); each animation is 32
// direction words (the offset of the direction's record from the animation, 0: none), then the records.
Bytes AnimationList(const std::vector<AnimationDesc>& animations) {
    std::uint16_t count = 0;
    for (const auto& a : animations)
        count = std::max<std::uint16_t>(count, static_cast<std::uint16_t>(a.number + 1));
    Bytes b(4 + 2u * count, 0);
    Put16(b, 2, count);
    for (const auto& a : animations) {
        const std::size_t animation = b.size();
        Put16(b, 4 + 2u * a.number, static_cast<std::uint16_t>(animation));
        b.resize(animation + 64, 0);
        for (const auto& d : a.directions) {
            Put16(b, animation + 2u * (d.direction & 31), static_cast<std::uint16_t>(b.size() - animation));
            ByteWriter w;
            w.U8(d.minSpeed);
            w.U8(d.maxSpeed);
            w.U16(d.loops);
            w.U16(d.loopBack);
            w.U16(static_cast<std::uint16_t>(d.images.size()));
            for (std::uint16_t image : d.images)
                w.U16(image);
            b.insert(b.end(), w.Data().begin(), w.Data().end());
        }
    }
    return b;
}

// i32 count, then {u32, u32 identifier, u32 data offset from the list, u32 data size} per movement.
Bytes MovementList(const std::vector<MovementDesc>& movements) {
    Bytes b(4 + 16 * movements.size(), 0);
    Put32(b, 0, static_cast<std::uint32_t>(movements.size()));
    for (std::size_t i = 0; i < movements.size(); ++i) {
        const MovementDesc& m = movements[i];
        ByteWriter w;
        w.U16(m.player);
        w.U16(m.type);
        w.U8(m.movingAtStart);
        w.U8(m.options);
        w.U16(0);
        w.U32(m.directionMask);
        w.Bytes(m.data);
        Put32(b, 4 + 16 * i + 4, m.identifier);
        Put32(b, 4 + 16 * i + 8, static_cast<std::uint32_t>(b.size()));
        Put32(b, 4 + 16 * i + 12, static_cast<std::uint32_t>(w.Data().size()));
        b.insert(b.end(), w.Data().begin(), w.Data().end());
        if (!m.module.empty()) {
            Put32(b, 4 + 16 * i, static_cast<std::uint32_t>(b.size()));
            for (char16_t c : m.module) {
                b.push_back(static_cast<std::uint8_t>(c & 0xFF));
                b.push_back(static_cast<std::uint8_t>(c >> 8));
            }
            b.insert(b.end(), {0, 0});
        }
    }
    return b;
}

// Appends a list at an even offset and stores that offset in the word at `field`.
void AppendList(Bytes& b, std::size_t field, const Bytes& list) {
    if (b.size() & 1) b.push_back(0);
    Put16(b, field, static_cast<std::uint16_t>(b.size()));
    b.insert(b.end(), list.begin(), list.end());
}

} // namespace

Bytes WriteObjectDefinition(const ObjectDefinitionDesc& d) {
    if (d.type < 2) return Backdrop(d);
    Bytes b(CommonBytes, 0);
    Put16(b, 14, d.word14);
    Put32(b, 16, d.objectFlags);
    for (std::size_t i = 0; i < 8; ++i)
        Put16(b, 20 + 2 * i, static_cast<std::uint16_t>(i < d.qualifiers.size() ? d.qualifiers[i] : -1));
    Put16(b, 42, d.collisionWord);
    b[46] = d.options;
    Put32(b, 48, d.identifier);
    Put32(b, 54, d.appearing);
    Put32(b, 58, d.disappearing);
    if (!d.values.empty()) {
        Put16(b, 38, static_cast<std::uint16_t>(b.size()));
        ByteWriter w;
        w.U16(static_cast<std::uint16_t>(d.values.size()));
        for (std::int32_t v : d.values)
            w.I32(v);
        b.insert(b.end(), w.Data().begin(), w.Data().end());
    }
    if (!d.strings.empty()) {
        Put16(b, 40, static_cast<std::uint16_t>(b.size()));
        ByteWriter w;
        w.U16(static_cast<std::uint16_t>(d.strings.size()));
        for (const auto& s : d.strings) {
            w.Units(s);
            w.U16(0);
        }
        b.insert(b.end(), w.Data().begin(), w.Data().end());
    }
    if (!d.typeData.empty()) {
        if (b.size() & 1) b.push_back(0);
        const auto at = static_cast<std::uint16_t>(b.size());
        Put16(b, 36, at);                   // stored place of the type data offset
        if (d.type >= 32) Put16(b, 12, at); // stored place of the extension data offset
        b.insert(b.end(), d.typeData.begin(), d.typeData.end());
    }
    if (d.counterValues) {
        if (b.size() & 1) b.push_back(0);
        Put16(b, 14, static_cast<std::uint16_t>(b.size()));
        ByteWriter w;
        for (std::int32_t v : *d.counterValues)
            w.I32(v);
        b.insert(b.end(), w.Data().begin(), w.Data().end());
    }
    // Stored places: the animation list's offset at 4, the movement list's at 6.
    if (!d.animations.empty() || d.emptyAnimationList) AppendList(b, 4, AnimationList(d.animations));
    if (!d.movements.empty()) AppendList(b, 6, MovementList(d.movements));
    for (auto [field, descriptor] :
         {std::pair{54, &d.appearingTransition}, std::pair{58, &d.disappearingTransition}}) {
        if (descriptor->empty()) continue;
        while (b.size() % 4)
            b.push_back(0);
        Put32(b, static_cast<std::size_t>(field), static_cast<std::uint32_t>(b.size()));
        b.insert(b.end(), descriptor->begin(), descriptor->end());
    }
    Put32(b, 0, static_cast<std::uint32_t>(b.size()));
    return b;
}

Bytes CounterData(const CounterDesc& c) {
    ByteWriter w;
    w.I32(c.width);
    w.I32(c.height);
    w.U16(c.displayType);
    w.U16(c.format);
    w.U16(c.player);
    if (c.displayType == 1 || c.displayType == 4) {
        w.U16(static_cast<std::uint16_t>(c.images.size()));
        for (std::uint16_t image : c.images)
            w.U16(image);
    } else if (c.displayType == 5) {
        w.U16(c.font);
        w.U32(c.colour1);
    } else {
        w.U16(c.fillKind);
        w.U32(c.colour1);
        w.U32(c.colour2);
    }
    return w.Take();
}

Bytes RichTextData(const RichTextDesc& r) {
    ByteWriter w;
    w.U32(0);
    w.U32(0);
    w.U32(r.options);
    w.U32(r.background);
    w.I16(r.width);
    w.I16(0);
    w.I16(r.height);
    w.I16(0);
    w.U32(0);
    w.U32(static_cast<std::uint32_t>(r.text.size()));
    w.Bytes({reinterpret_cast<const std::uint8_t*>(r.text.data()), r.text.size()});
    return w.Take();
}

ObjectDefinitionDesc RichTextDefinition(const RichTextDesc& richText) {
    ObjectDefinitionDesc d;
    d.type = 8;
    d.identifier = RichTextIdentifier;
    d.typeData = RichTextData(richText);
    return d;
}

Bytes TextData(std::int32_t width, std::int32_t height, const std::vector<ParagraphDesc>& paragraphs) {
    ByteWriter header;
    header.U32(0);
    header.I32(width);
    header.I32(height);
    header.U32(static_cast<std::uint32_t>(paragraphs.size()));
    ByteWriter body;
    std::vector<std::uint32_t> offsets;
    const std::size_t first = 16 + 4 * paragraphs.size();
    for (const ParagraphDesc& p : paragraphs) {
        offsets.push_back(static_cast<std::uint32_t>(first + body.Data().size()));
        body.U16(p.font);
        body.U16(p.flags);
        body.U32(p.colour);
        body.Units(p.text);
        body.U16(0);
    }
    for (std::uint32_t offset : offsets)
        header.U32(offset);
    Bytes out = header.Take();
    out.insert(out.end(), body.Data().begin(), body.Data().end());
    return out;
}

Bytes QuestionData(const ParagraphDesc& question, const std::vector<ParagraphDesc>& answers) {
    std::vector<ParagraphDesc> paragraphs{question};
    paragraphs.insert(paragraphs.end(), answers.begin(), answers.end());
    return TextData(0, 0, paragraphs);
}

Bytes SubApplicationData(const SubApplicationDesc& sub) {
    constexpr std::size_t FileNameAt = 28;
    const std::size_t iconAt = sub.icon.empty() ? 0 : FileNameAt + 2 * SubApplicationNameUnits;
    ByteWriter w;
    w.U32(static_cast<std::uint32_t>(FileNameAt + 2 * SubApplicationNameUnits + sub.icon.size()));
    w.I32(sub.width);
    w.I32(sub.height);
    w.U16(0);
    w.U16(sub.startFrame);
    w.U32(sub.options);
    w.U32(static_cast<std::uint32_t>(iconAt));
    w.U32(0);
    std::u16string name = sub.fileName.substr(0, SubApplicationNameUnits);
    name.resize(SubApplicationNameUnits, u'\0');
    w.Units(name);
    Bytes out = w.Take();
    out.insert(out.end(), sub.icon.begin(), sub.icon.end());
    return out;
}

Bytes WriteObjectInfos(const std::vector<ObjectInfoDesc>& objects, StringForm form,
                       const ApplicationKey& key) {
    Bytes out;
    ByteWriter count;
    count.U32(static_cast<std::uint32_t>(objects.size()));
    out = count.Take();
    for (const auto& o : objects) {
        ByteWriter h;
        h.U16(o.handle);
        h.U16(static_cast<std::uint16_t>(o.type));
        h.U16(o.headerFlags);
        h.U16(0);
        h.U32(o.inkEffect);
        h.U32(o.inkParameter);
        WriteChunk(out, ChunkObjectHeader, 0, h.Take(), key);
        if (!o.name.empty()) WriteChunk(out, ChunkObjectName, 0, EncodeString(o.name, form), key);
        ObjectDefinitionDesc def = o.definition;
        def.type = o.type;
        WriteChunk(out, ChunkObjectDefinition, 0, WriteObjectDefinition(def), key);
        if (o.effectIndex) {
            // u32 effect, u32 count, then {u16 stored, u16 working} per parameter.
            ByteWriter e;
            e.U32(*o.effectIndex);
            e.U32(static_cast<std::uint32_t>(o.effectValues.size()));
            for (std::uint32_t v : o.effectValues)
                e.U32(v);
            WriteChunk(out, ChunkObjectEffect, 0, e.Take(), key);
        }
        WriteChunk(out, ChunkEnd, 0, {}, key);
    }
    return out;
}

Bytes ImageItemBytes(const ImageItemDesc& image) {
    Bytes pixels = image.pixels;
    if (pixels.empty()) {
        const std::size_t rowPixels =
            (static_cast<std::size_t>(std::max<int>(image.width, 0)) + 1) & ~std::size_t{1};
        pixels.assign(rowPixels * 3 * static_cast<std::size_t>(std::max<int>(image.height, 0)), 0x40);
    }
    ByteWriter w;
    w.U32(0);
    w.U32(0);
    w.U32(static_cast<std::uint32_t>(pixels.size()));
    w.U16(static_cast<std::uint16_t>(image.width));
    w.U16(static_cast<std::uint16_t>(image.height));
    w.U8(image.graphicMode);
    w.U8(image.flags);
    w.U16(0);
    w.U16(static_cast<std::uint16_t>(image.hotX));
    w.U16(static_cast<std::uint16_t>(image.hotY));
    w.U16(static_cast<std::uint16_t>(image.actionX));
    w.U16(static_cast<std::uint16_t>(image.actionY));
    w.U32(image.transparent);
    w.Bytes(pixels);
    return w.Take();
}

namespace {

// Items start after a leading word so that no stored offset is 0 (0 means no item).
BankPayload Bank(const std::vector<Bytes>& items) {
    BankPayload bank;
    bank.items.assign(4, 0);
    for (const auto& item : items) {
        bank.offsets.push_back(static_cast<std::uint32_t>(bank.items.size()));
        bank.items.insert(bank.items.end(), item.begin(), item.end());
    }
    return bank;
}

} // namespace

BankPayload WriteImageBank(const std::vector<ImageItemDesc>& images) {
    std::vector<Bytes> items;
    for (const auto& i : images)
        items.push_back(ImageItemBytes(i));
    return Bank(items);
}

BankPayload WriteFontBank(const std::vector<FontItemDesc>& fonts, StringForm form) {
    std::vector<Bytes> items;
    for (const auto& f : fonts) {
        ByteWriter w;
        w.U32(0);
        w.U32(0);
        w.U32(0);
        w.I32(f.height);
        w.I32(0);
        w.I32(0);
        w.I32(0);
        w.I32(f.weight);
        for (int i = 0; i < 8; ++i)
            w.U8(0);
        Bytes face = EncodeString(f.face, form);
        const std::size_t faceBytes = form == StringForm::Wide ? 64 : 32;
        face.resize(faceBytes, 0);
        w.Bytes(face);
        items.push_back(w.Take());
    }
    return Bank(items);
}

BankPayload WriteSoundBank(const std::vector<SoundItemDesc>& sounds, StringForm form) {
    std::vector<Bytes> items;
    for (const auto& s : sounds) {
        Bytes name = EncodeString(s.name, form);
        name.resize(name.size() - (form == StringForm::Wide ? 2 : 1));
        ByteWriter w;
        w.U32(0);
        w.U32(0);
        w.U32(static_cast<std::uint32_t>(name.size() + s.data.size()));
        w.U32(s.flags);
        w.U32(0);
        w.U32(static_cast<std::uint32_t>(s.name.size()));
        w.Bytes(name);
        w.Bytes(s.data);
        items.push_back(w.Take());
    }
    return Bank(items);
}

Bytes CompressItem(const Bytes& item) {
    uLongf size = compressBound(static_cast<uLong>(item.size()));
    Bytes packed(size);
    compress2(packed.data(), &size, item.data(), static_cast<uLong>(item.size()), Z_BEST_COMPRESSION);
    packed.resize(size);
    ByteWriter w;
    w.U32(static_cast<std::uint32_t>(item.size()));
    w.U32(static_cast<std::uint32_t>(packed.size()));
    w.Bytes(packed);
    return w.Take();
}

BankPayload CompressBank(const BankPayload& plain) {
    BankPayload out;
    for (std::size_t i = 0; i < plain.offsets.size(); ++i) {
        const std::size_t end = i + 1 < plain.offsets.size() ? plain.offsets[i + 1] : plain.items.size();
        const Bytes item(plain.items.begin() + plain.offsets[i],
                         plain.items.begin() + static_cast<std::ptrdiff_t>(end));
        out.offsets.push_back(static_cast<std::uint32_t>(out.items.size()));
        const Bytes packed = CompressItem(item);
        out.items.insert(out.items.end(), packed.begin(), packed.end());
    }
    return out;
}

Bytes WriteBankOffsets(const std::vector<std::uint32_t>& offsets) {
    ByteWriter w;
    for (std::uint32_t o : offsets)
        w.U32(o);
    return w.Take();
}

} // namespace appwriter
