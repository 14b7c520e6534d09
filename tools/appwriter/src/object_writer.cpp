#include "appwriter/object_writer.h"

#include "appwriter/byte_writer.h"

#include <algorithm>

namespace appwriter {

namespace {

constexpr std::size_t CommonBytes = 62;

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, static_cast<std::uint16_t>(v));
    Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

Bytes Backdrop(const ObjectDefinitionDesc& d) {
    Bytes b(28, 0);
    Put16(b, 4, d.obstacle);
    Put16(b, 6, d.boxOnly);
    Put32(b, 8, static_cast<std::uint32_t>(d.width));
    Put32(b, 12, static_cast<std::uint32_t>(d.height));
    if (d.type == 1) Put16(b, 16, d.image);
    Put16(b, 24, d.fillType);
    if (d.type == 0) Put16(b, 26, d.image);
    Put32(b, 0, static_cast<std::uint32_t>(b.size()));
    return b;
}

} // namespace

Bytes WriteObjectDefinition(const ObjectDefinitionDesc& d) {
    if (d.type < 2) return Backdrop(d);
    Bytes b(CommonBytes, 0);
    Put16(b, 14, d.word14);
    Put32(b, 16, d.objectFlags);
    for (std::size_t i = 0; i < 8; ++i)
        Put16(b, 20 + 2 * i, static_cast<std::uint16_t>(i < d.qualifiers.size() ? d.qualifiers[i] : -1));
    Put32(b, 44, d.identifier);
    b[48] = d.options;
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
    Put32(b, 0, static_cast<std::uint32_t>(b.size()));
    return b;
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

Bytes WriteBankOffsets(const std::vector<std::uint32_t>& offsets) {
    ByteWriter w;
    for (std::uint32_t o : offsets)
        w.U32(o);
    return w.Take();
}

} // namespace appwriter
