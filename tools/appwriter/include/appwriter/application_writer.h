// Writes application data (data header, chunk list, frames) from one description per chunk.
// Tests describe an application here, write it, load it, and compare what was loaded with the description.
#pragma once

#include "appwriter/chunk_cipher.h"

#include "vtrformat/chunks.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace appwriter {

using Bytes = std::vector<std::uint8_t>;

enum class StringForm { Ansi, Wide };

using namespace vtrformat;

// The 112-byte application header (chunk 0x2223), field by field. Score and lives are given as the game
// sees them; the writer stores their complement.
struct AppHeaderDesc {
    std::uint16_t flags1 = 0;
    std::uint16_t flags2 = 0;
    std::uint16_t graphicMode = 4;
    std::uint16_t flags3 = 0;
    std::uint16_t windowWidth = 640;
    std::uint16_t windowHeight = 480;
    std::uint32_t initialScore = 0;
    std::uint32_t initialLives = 3;
    std::array<std::uint16_t, 4> controlTypes{5, 5, 5, 5};
    std::array<std::array<std::uint16_t, 8>, 4> controlKeys{};
    std::uint32_t borderColour = 0;         // offset 96: the main window around the frame
    std::optional<std::int32_t> frameCount; // none: the number of frames described
    std::int32_t frameRate = 60;
    std::uint32_t reserved108 = 0;
};

// A chunk as stored: id, flags and its payload before compression and enciphering.
struct RawChunk {
    std::uint16_t id = 0;
    std::uint16_t flags = 0;
    Bytes payload;
};

// A frame's chunk list as far as the application loader reads it; other sub-chunks go in `extra`.
struct FrameDesc {
    std::int32_t width = 640;
    std::int32_t height = 480;
    std::uint32_t background = 0;
    std::uint32_t flags = 0;
    std::optional<std::u16string> name;
    std::optional<std::u16string> password;
    std::optional<Bytes> palette; // LOGPALETTE as stored: u16 version, u16 count, 256 x 4 bytes
    std::vector<RawChunk> extra;
    std::uint16_t subChunkFlags = 0; // flags of the header, name, password and palette sub-chunks
    std::uint16_t flags3333 = 0;
};

struct EmbeddedFileDesc {
    std::u16string name;
    Bytes data;
};

// One entry of the object-extension list: the extension of object type 32 + index, by module name.
struct ExtensionDesc {
    std::uint16_t index = 0;
    std::u16string name;
    std::u16string subType;
};

struct ImageListEntry {
    std::uint16_t first = 0;
    std::uint16_t imageIndex = 0;
};

// One application. Absent optionals write no chunk. Text is given as UTF-16 and stored in the form chosen:
// 8-bit data stores it in code page 1252 (the code page the writer knows).
struct ApplicationDescription {
    StringForm form = StringForm::Wide;
    std::optional<std::uint32_t> magic; // none: from the form
    std::uint16_t version = 0x0302;
    std::uint16_t reserved6 = 0;
    std::uint32_t typeWord = 3;
    std::uint32_t build = 285;

    std::optional<AppHeaderDesc> header = AppHeaderDesc{};
    std::optional<std::uint32_t> codePage;
    std::optional<std::u16string> name, author, copyright, projectPath, targetPath, helpFile, aboutText,
        tempFolder;
    std::optional<Bytes> menuData, icon, globalValues, effectBankRaw, extendedOptions;
    std::optional<std::vector<Bytes>> effects; // builds the effect bank: count, offsets, effects
    std::optional<std::vector<std::uint16_t>> frameHandles;
    std::optional<std::vector<std::u16string>> globalStrings;
    std::optional<std::vector<ImageListEntry>> imageList;
    std::optional<std::array<std::uint32_t, 2>> runOptions;
    std::optional<std::vector<EmbeddedFileDesc>> embeddedFiles;
    // The object extensions (chunk 0x2234, or 0x2228 in the first form) and the movement modules (0x223E).
    std::optional<std::vector<ExtensionDesc>> extensions;
    bool extensionsFirstForm = false;
    std::optional<std::uint16_t> extensionCount; // none: the highest index + 1
    std::optional<std::vector<std::u16string>> movementModules;
    std::vector<FrameDesc> frames;
    std::vector<RawChunk> extra; // written after the application's own chunks, before the frames

    // Flags (compressed, enciphered) per chunk id of the application list; absent ids are plain.
    std::map<std::uint16_t, std::uint16_t> chunkFlags;
};

// An extension's definition data: u32 size, u32 0, u32 data version, then the extension's own bytes.
Bytes ExtensionData(std::uint32_t version, const Bytes& own);

// One entry of the effect bank: name and source text (8-bit), the parameters' kind bytes and names, options.
struct EffectEntryDesc {
    std::string name = "effect";
    std::string source;
    std::vector<std::uint8_t> kinds; // 0 integer, 1 float, 2 integer shown as float, 3 image
    std::vector<std::string> names;
    std::uint32_t options = 0;
};
// The entry's bytes: u32 name offset, u32 source offset, u32 parameter block offset (0: none), u32 options;
// the parameter block is u32 count, u32 kinds offset, u32 names offset; every offset from the entry.
Bytes EffectEntry(const EffectEntryDesc& effect);
// The effect bank's bytes: u32 count, one u32 offset from the bank's start per entry, then the entries.
Bytes EffectBank(const std::vector<Bytes>& effects);

// Stores text in the description's form: 8-bit as code page 1252, zero-terminated.
Bytes EncodeString(std::u16string_view text, StringForm form);

// The key the loader will build for this description.
ApplicationKey KeyOf(const ApplicationDescription& app);

// Frames one chunk: header, then the payload compressed and/or enciphered as its flags say.
void WriteChunk(Bytes& out, std::uint16_t id, std::uint16_t flags, const Bytes& payload,
                const ApplicationKey& key);

// The whole application data: 16-byte data header and chunk list.
Bytes WriteApplication(const ApplicationDescription& app);

// Writes the application of one description, to memory or to a stand-alone data file.
class ApplicationWriter {
public:
    explicit ApplicationWriter(ApplicationDescription app) : app_(std::move(app)) {}
    const ApplicationDescription& Description() const { return app_; }
    ApplicationKey Key() const { return KeyOf(app_); }
    Bytes Write() const { return WriteApplication(app_); }
    bool WriteFile(const std::string& path) const;

private:
    ApplicationDescription app_;
};

} // namespace appwriter
