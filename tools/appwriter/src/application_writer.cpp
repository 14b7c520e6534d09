#include "appwriter/application_writer.h"

#include "appwriter/byte_writer.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>

namespace appwriter {

namespace {

// Code page 1252's characters 0x80-0x9F; the rest of the page is Latin-1.
constexpr std::array<char16_t, 32> Cp1252High{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                              0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                              0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                              0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint8_t ToCp1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<std::uint8_t>(c);
    for (std::size_t i = 0; i < Cp1252High.size(); ++i)
        if (Cp1252High[i] == c) return static_cast<std::uint8_t>(0x80 + i);
    return '?';
}

Bytes Deflate(const Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION);
    out.resize(size);
    return out;
}

Bytes HeaderPayload(const AppHeaderDesc& h, std::size_t frames) {
    ByteWriter w;
    w.U32(112);
    w.U16(h.flags1);
    w.U16(h.flags2);
    w.U16(h.graphicMode);
    w.U16(h.flags3);
    w.U16(h.windowWidth);
    w.U16(h.windowHeight);
    w.U32(~h.initialScore);
    w.U32(~h.initialLives);
    for (auto type : h.controlTypes)
        w.U16(type);
    for (const auto& keys : h.controlKeys)
        for (auto key : keys)
            w.U16(key);
    w.U32(h.borderColour);
    w.I32(h.frameCount.value_or(static_cast<std::int32_t>(frames)));
    w.I32(h.frameRate);
    w.U32(h.reserved108);
    return w.Take();
}

void Text(ByteWriter& w, std::string_view text) {
    w.Bytes({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    w.U8(0);
}

Bytes StringList(const std::vector<std::u16string>& strings, StringForm form) {
    ByteWriter w;
    w.U32(static_cast<std::uint32_t>(strings.size()));
    for (const auto& s : strings)
        w.Bytes(EncodeString(s, form));
    return w.Take();
}

Bytes EmbeddedFiles(const std::vector<EmbeddedFileDesc>& files, StringForm form) {
    ByteWriter w;
    w.U32(static_cast<std::uint32_t>(files.size()));
    for (const auto& file : files) {
        w.U16(static_cast<std::uint16_t>(file.name.size()));
        Bytes name = EncodeString(file.name, form);
        name.resize(name.size() - (form == StringForm::Wide ? 2 : 1)); // stored without terminator
        w.Bytes(name);
        w.U32(static_cast<std::uint32_t>(file.data.size()));
        w.Bytes(file.data);
    }
    return w.Take();
}

Bytes FramePayload(const FrameDesc& frame, StringForm form, const ApplicationKey& key) {
    Bytes out;
    ByteWriter header;
    header.I32(frame.width);
    header.I32(frame.height);
    header.U32(frame.background);
    // A frame with a password says so in its header, so that readers look further for it.
    header.U32(frame.password ? frame.flags | FrameFlagHasPassword : frame.flags);
    WriteChunk(out, ChunkFrameHeader, frame.subChunkFlags, header.Data(), key);
    if (frame.name)
        WriteChunk(out, ChunkFrameName, frame.subChunkFlags, EncodeString(*frame.name, form), key);
    if (frame.password)
        WriteChunk(out, ChunkFramePassword, frame.subChunkFlags, EncodeString(*frame.password, form), key);
    if (frame.palette) WriteChunk(out, ChunkFramePalette, frame.subChunkFlags, *frame.palette, key);
    for (const auto& chunk : frame.extra)
        WriteChunk(out, chunk.id, chunk.flags, chunk.payload, key);
    WriteChunk(out, ChunkEnd, 0, {}, key);
    return out;
}

} // namespace

Bytes EncodeString(std::u16string_view text, StringForm form) {
    ByteWriter w;
    if (form == StringForm::Wide) {
        w.Units(text);
        w.U16(0);
    } else {
        for (char16_t c : text)
            w.U8(ToCp1252(c));
        w.U8(0);
    }
    return w.Take();
}

ApplicationKey KeyOf(const ApplicationDescription& app) {
    // The loader keys on the stored units, so 8-bit text goes through the code page first.
    auto stored = [&](const std::optional<std::u16string>& s) {
        std::u16string units;
        if (!s) return units;
        if (app.form == StringForm::Wide) return *s;
        for (char16_t c : *s)
            units.push_back(ToCp1252(c));
        return units;
    };
    return MakeApplicationKey(stored(app.projectPath), stored(app.name), stored(app.copyright),
                              app.form == StringForm::Wide);
}

void WriteChunk(Bytes& out, std::uint16_t id, std::uint16_t flags, const Bytes& payload,
                const ApplicationKey& key) {
    Bytes stored = payload;
    const bool compressed = flags & ChunkCompressed;
    const bool enciphered = flags & ChunkEnciphered;
    if (compressed) {
        Bytes packed = Deflate(payload);
        ByteWriter w;
        w.U32(static_cast<std::uint32_t>(payload.size()));
        w.U32(static_cast<std::uint32_t>(packed.size()));
        w.Bytes(packed);
        stored = w.Take();
    }
    if (enciphered) {
        // The uncompressed size of a compressed payload stays plain.
        const std::size_t from = compressed ? 4 : 0;
        EncipherBytes(std::span(stored).subspan(from), key);
    }
    ByteWriter w;
    w.U16(id);
    w.U16(flags);
    w.U32(static_cast<std::uint32_t>(stored.size()));
    w.Bytes(stored);
    out.insert(out.end(), w.Data().begin(), w.Data().end());
}

namespace {

// u16 entries, u16 extensions, then per entry i16 size, u16 index, zeros up to the name (at 8 or 16), the
// name and the sub-type, each terminated.
Bytes ExtensionList(const std::vector<ExtensionDesc>& extensions, std::optional<std::uint16_t> count,
                    bool firstForm, StringForm form) {
    std::uint16_t highest = 0;
    for (const auto& e : extensions)
        highest = std::max<std::uint16_t>(highest, static_cast<std::uint16_t>(e.index + 1));
    ByteWriter w;
    w.U16(static_cast<std::uint16_t>(extensions.size()));
    w.U16(count.value_or(highest));
    for (const auto& e : extensions) {
        Bytes entry(firstForm ? 8 : 16, 0);
        const Bytes name = EncodeString(e.name, form), subType = EncodeString(e.subType, form);
        entry.insert(entry.end(), name.begin(), name.end());
        entry.insert(entry.end(), subType.begin(), subType.end());
        entry[0] = static_cast<std::uint8_t>(entry.size());
        entry[1] = static_cast<std::uint8_t>(entry.size() >> 8);
        entry[2] = static_cast<std::uint8_t>(e.index);
        entry[3] = static_cast<std::uint8_t>(e.index >> 8);
        w.Bytes(entry);
    }
    return w.Take();
}

// u16 count, then per module u16 size, u16 name offset (4) and the terminated name.
Bytes MovementModules(const std::vector<std::u16string>& modules, StringForm form) {
    ByteWriter w;
    w.U16(static_cast<std::uint16_t>(modules.size()));
    for (const auto& m : modules) {
        const Bytes name = EncodeString(m, form);
        w.U16(static_cast<std::uint16_t>(4 + name.size()));
        w.U16(4);
        w.Bytes(name);
    }
    return w.Take();
}

} // namespace

Bytes ExtensionData(std::uint32_t version, const Bytes& own) {
    ByteWriter w;
    w.U32(static_cast<std::uint32_t>(12 + own.size()));
    w.U32(0);
    w.U32(version);
    w.Bytes(own);
    return w.Take();
}

Bytes WriteApplication(const ApplicationDescription& app) {
    const ApplicationKey key = KeyOf(app);
    ByteWriter head;
    head.U32(app.magic.value_or(app.form == StringForm::Wide ? DataMagicWide : DataMagicAnsi));
    head.U16(app.version);
    head.U16(app.reserved6);
    head.U32(app.typeWord);
    head.U32(app.build);
    Bytes out = head.Take();

    auto flagsOf = [&](std::uint16_t id) {
        auto it = app.chunkFlags.find(id);
        return it == app.chunkFlags.end() ? std::uint16_t{0} : it->second;
    };
    auto chunk = [&](std::uint16_t id, const Bytes& payload) {
        WriteChunk(out, id, flagsOf(id), payload, key);
    };
    auto string = [&](std::uint16_t id, const std::optional<std::u16string>& text) {
        if (text) chunk(id, EncodeString(*text, app.form));
    };
    auto u32 = [](std::uint32_t v) {
        ByteWriter w;
        w.U32(v);
        return w.Take();
    };

    if (app.header) chunk(ChunkAppHeader, HeaderPayload(*app.header, app.frames.size()));
    if (app.codePage) chunk(ChunkAppCodePage, u32(*app.codePage));
    // Name and copyright come before the project path: the key is built from all three there.
    string(ChunkAppName, app.name);
    string(ChunkAppAuthor, app.author);
    string(ChunkAppCopyright, app.copyright);
    string(ChunkAppProjectPath, app.projectPath);
    string(ChunkAppTargetPath, app.targetPath);
    string(ChunkAppHelpFile, app.helpFile);
    string(ChunkAppAboutText, app.aboutText);
    string(ChunkAppTempFolder, app.tempFolder);
    if (app.menuData) chunk(ChunkAppMenu, *app.menuData);
    if (app.icon) chunk(ChunkAppIcon, *app.icon);
    if (app.frameHandles) {
        ByteWriter w;
        for (auto handle : *app.frameHandles)
            w.U16(handle);
        chunk(ChunkFrameHandles, w.Data());
    }
    if (app.globalValues) chunk(ChunkGlobalValues, *app.globalValues);
    if (app.globalStrings) chunk(ChunkGlobalStrings, StringList(*app.globalStrings, app.form));
    if (app.imageList) {
        ByteWriter w;
        w.U32(static_cast<std::uint32_t>(app.imageList->size()));
        for (const auto& entry : *app.imageList) {
            w.U16(entry.first);
            w.U16(entry.imageIndex);
        }
        chunk(ChunkAppImageList, w.Data());
    }
    if (app.effects) chunk(ChunkEffectBank, EffectBank(*app.effects));
    if (app.effectBankRaw) chunk(ChunkEffectBank, *app.effectBankRaw);
    if (app.extendedOptions) chunk(ChunkAppExtendedOptions, *app.extendedOptions);
    if (app.runOptions) {
        ByteWriter w;
        w.U32((*app.runOptions)[0]);
        w.U32((*app.runOptions)[1]);
        chunk(ChunkAppRunOptions, w.Data());
    }
    if (app.embeddedFiles) chunk(ChunkEmbeddedFiles, EmbeddedFiles(*app.embeddedFiles, app.form));
    if (app.extensions)
        chunk(app.extensionsFirstForm ? ChunkExtensionList : ChunkExtensionListW,
              ExtensionList(*app.extensions, app.extensionCount, app.extensionsFirstForm, app.form));
    if (app.movementModules) chunk(ChunkMovementModules, MovementModules(*app.movementModules, app.form));
    for (const auto& raw : app.extra)
        WriteChunk(out, raw.id, raw.flags, raw.payload, key);
    for (const auto& frame : app.frames)
        WriteChunk(out, ChunkFrame, frame.flags3333, FramePayload(frame, app.form, key), key);
    WriteChunk(out, ChunkEnd, 0, {}, key);
    return out;
}

bool ApplicationWriter::WriteFile(const std::string& path) const {
    const Bytes data = Write();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(file);
}

Bytes EffectBank(const std::vector<Bytes>& effects) {
    ByteWriter w;
    w.U32(static_cast<std::uint32_t>(effects.size()));
    std::uint32_t offset = 4 + 4 * static_cast<std::uint32_t>(effects.size());
    for (const auto& effect : effects) {
        w.U32(offset);
        offset += static_cast<std::uint32_t>(effect.size());
    }
    for (const auto& effect : effects)
        w.Bytes(effect);
    return w.Take();
}

Bytes EffectEntry(const EffectEntryDesc& e) {
    constexpr std::uint32_t Header = 16, Block = 12;
    const bool parameters = !e.kinds.empty();
    const std::uint32_t name = Header + (parameters ? Block : 0);
    const std::uint32_t source = name + static_cast<std::uint32_t>(e.name.size() + 1);
    const std::uint32_t kinds = source + static_cast<std::uint32_t>(e.source.size() + 1);
    const std::uint32_t names = kinds + static_cast<std::uint32_t>(e.kinds.size());
    ByteWriter w;
    w.U32(name);
    w.U32(source);
    w.U32(parameters ? Header : 0);
    w.U32(e.options);
    if (parameters) {
        w.U32(static_cast<std::uint32_t>(e.kinds.size()));
        w.U32(kinds);
        w.U32(names);
    }
    Text(w, e.name);
    Text(w, e.source);
    w.Bytes(e.kinds);
    for (const auto& n : e.names)
        Text(w, n);
    return w.Take();
}

} // namespace appwriter
