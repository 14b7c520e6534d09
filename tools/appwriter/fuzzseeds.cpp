// Writes seed inputs for the fuzz targets whose inputs the writer can lay out, one folder per target:
// packed bitmaps (image_dib), run-length packed pixels (rle_codec), zlib streams (decompress_stream), bank
// items (bank_items), bitmap files (bmp_reader), text (code_pages), expression tokens (expression), file
// packs behind a program (file_pack), menu data (menu_data) and transition descriptors
// (transition_descriptor), each behind the selector bytes its target reads first.
#include "appwriter/application_writer.h"
#include "appwriter/byte_writer.h"
#include "appwriter/dib_writer.h"
#include "appwriter/event_program_builder.h"
#include "appwriter/file_pack_writer.h"
#include "appwriter/frame_writer.h"
#include "appwriter/menu_writer.h"
#include "appwriter/object_writer.h"
#include "appwriter/rle_writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using appwriter::Bytes;

bool Write(const fs::path& folder, const std::string& name, std::uint8_t selector, const Bytes& body) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.put(static_cast<char>(selector));
    out.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
    return static_cast<bool>(out);
}

// image_dib: the selector's value modulo 5 picks the display mode, 0x10 asks an alpha plane, 0x20
// de-duplication.
std::uint8_t DibSelector(int mode, bool alpha, bool deduplicate) {
    for (int b = 0; b < 256; ++b)
        if (b % 5 == mode && ((b & 0x10) != 0) == alpha && ((b & 0x20) != 0) == deduplicate)
            return static_cast<std::uint8_t>(b);
    return 0;
}

bool ImageDibSeeds(const fs::path& folder) {
    struct Shape {
        const char* name;
        appwriter::DibDesc dib;
    };
    const std::vector<Shape> shapes = {
        {"8bit", {5, 3, 8, false, 0, false}},        {"8bit-16colours", {7, 2, 8, false, 16, false}},
        {"16bit", {3, 4, 16, false, 0, false}},      {"16bit-masks", {6, 3, 16, true, 0, false}},
        {"24bit", {5, 3, 24, false, 0, false}},      {"24bit-topdown", {4, -3, 24, false, 0, false}},
        {"32bit", {3, 3, 32, false, 0, false}},      {"32bit-masks", {2, 5, 32, true, 0, false}},
        {"32bit-alpha", {5, 2, 32, false, 0, true}},
    };
    bool ok = true;
    for (const Shape& shape : shapes)
        for (int mode = 0; mode < 5; ++mode) {
            const std::uint8_t selector = DibSelector(mode, shape.dib.alphaPlane, mode % 2 == 1);
            ok &= Write(folder, std::string(shape.name) + "-mode" + std::to_string(mode), selector,
                        appwriter::PackedDib(shape.dib));
        }
    return ok;
}

// rle_codec: the selector's low three bits are the packing flags and its high four the low bits of the
// image size, whose high bits are the next byte.
bool RleSeeds(const fs::path& folder) {
    Bytes pixels;
    for (int i = 0; i < 300; ++i)
        pixels.push_back(static_cast<std::uint8_t>(i < 100 ? 7 : i < 160 ? i : (i / 9) * 3));
    bool ok = true;
    for (const auto& [flags, size] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{4, 3}}) {
        const std::size_t bytes = pixels.size() / size * size;
        for (const std::size_t capacity : {bytes, bytes / 2}) {
            Bytes body{static_cast<std::uint8_t>(capacity >> 4)};
            const Bytes packed = appwriter::PackPixelRuns(pixels, static_cast<std::size_t>(size));
            body.insert(body.end(), packed.begin(), packed.end());
            const auto selector = static_cast<std::uint8_t>(flags | ((capacity & 0xF) << 4));
            ok &= Write(folder, "pixels" + std::to_string(size) + "-capacity" + std::to_string(capacity),
                        selector, body);
        }
    }
    return ok;
}

// decompress_stream: the selector's low two bits choose the declared size, 0x4 a fixed output buffer of
// ((selector >> 3) & 15) * 256 bytes, 0x80 the input read through a stream of another kind.
bool DecompressSeeds(const fs::path& folder) {
    Bytes text;
    for (int i = 0; i < 2000; ++i)
        text.push_back(static_cast<std::uint8_t>("a frame of the application "[i % 27] + (i / 500)));
    const Bytes stream = appwriter::Deflate(text);
    const Bytes empty = appwriter::Deflate(Bytes{});
    constexpr std::uint8_t Fixed = 0x4, OtherInput = 0x80;
    bool ok = true;
    for (const std::uint8_t input : {std::uint8_t{0}, OtherInput}) {
        const std::string from = input ? "-blocks" : "-memory";
        for (int declared = 0; declared < 4; ++declared) {
            const auto size = static_cast<std::uint8_t>(declared | input);
            ok &= Write(folder, "grow-declared" + std::to_string(declared) + from, size, stream);
            ok &= Write(folder, "fixed-declared" + std::to_string(declared) + from,
                        static_cast<std::uint8_t>(size | Fixed | (8 << 3)), stream);
        }
        ok &= Write(folder, "empty" + from, static_cast<std::uint8_t>(1 | input), empty);
        ok &= Write(folder, "fixed-too-small" + from, static_cast<std::uint8_t>(1 | input | Fixed | (1 << 3)),
                    stream);
    }
    return ok;
}

bool WriteRaw(const fs::path& folder, const std::string& name, const Bytes& bytes) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// bank_items: the option byte (1 compressed items, 2 UTF-16 names, 4 a later build), the u16 count of
// offsets, the offsets (index 0 holds nothing), then the bank payload they point into.
bool BankSeeds(const fs::path& folder) {
    appwriter::ImageItemDesc wide;
    wide.width = 9;
    wide.height = 3;
    appwriter::ImageItemDesc alpha;
    alpha.graphicMode = 8;
    alpha.flags = 0x10;
    alpha.pixels.assign(4 * 4 * 4, 0x7F);
    const appwriter::BankPayload images =
        appwriter::WriteImageBank({appwriter::ImageItemDesc{}, wide, alpha});
    const appwriter::BankPayload fonts = appwriter::WriteFontBank(
        {appwriter::FontItemDesc{}, {20, 700, u"Serif"}}, appwriter::StringForm::Wide);
    const appwriter::BankPayload sounds = appwriter::WriteSoundBank(
        {appwriter::SoundItemDesc{}, {1, u"other", Bytes(40, 0x20)}}, appwriter::StringForm::Wide);
    const auto input = [](std::uint8_t options, const appwriter::BankPayload& bank) {
        appwriter::ByteWriter w;
        w.U8(options);
        w.U16(static_cast<std::uint16_t>(bank.offsets.size() + 1));
        w.U32(0);
        const std::uint32_t start = static_cast<std::uint32_t>(3 + 4 * (bank.offsets.size() + 1));
        for (std::uint32_t offset : bank.offsets)
            w.U32(offset ? offset + start : 0);
        w.Bytes(bank.items);
        return w.Take();
    };
    bool ok = WriteRaw(folder, "images", input(2, images)) && WriteRaw(folder, "fonts", input(2, fonts)) &&
              WriteRaw(folder, "sounds", input(2, sounds));
    ok &= WriteRaw(folder, "images-compressed", input(3, appwriter::CompressBank(images)));
    ok &= WriteRaw(folder, "images-compressed-later", input(7, appwriter::CompressBank(images)));
    return ok;
}

// bmp_reader: bitmap files, the 14-byte file header before a packed bitmap, and one bare packed bitmap.
bool BmpSeeds(const fs::path& folder) {
    const std::vector<std::pair<const char*, appwriter::DibDesc>> shapes = {
        {"1bit", {9, 4, 1, false, 0, false}},
        {"4bit", {5, 3, 4, false, 0, false}},
        {"8bit", {5, 3, 8, false, 0, false}},
        {"16bit-masks", {6, 3, 16, true, 0, false}},
        {"24bit-topdown", {4, -3, 24, false, 0, false}},
        {"32bit", {3, 3, 32, false, 0, false}},
    };
    bool ok = true;
    for (const auto& [name, dib] : shapes) {
        const Bytes packed = appwriter::PackedDib(dib);
        const std::uint32_t table = dib.bitCount <= 8 ? 4u << dib.bitCount : dib.bitFields ? 12 : 0;
        appwriter::ByteWriter w;
        w.U8('B');
        w.U8('M');
        w.U32(static_cast<std::uint32_t>(14 + packed.size()));
        w.U32(0);
        w.U32(14 + 40 + table);
        w.Bytes(packed);
        ok &= WriteRaw(folder, name, w.Take());
    }
    // A bare info header (size 40, 1 x 1, one plane, 32 bits, no compression) and one half-transparent pixel
    // as blue, green, red and alpha: the surface it is read into gets an alpha plane at every depth (its save
    // once failed at 8 bits).
    Bytes halfAlpha = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 32, 0};
    halfAlpha.resize(40, 0);
    halfAlpha.insert(halfAlpha.end(), {0x0A, 0x14, 0x1E, 0x80});
    ok &= WriteRaw(folder, "32bit-half-alpha-pixel", halfAlpha);
    return ok;
}

// code_pages: the code page's index (1252, 932, 936, 949, 950, 1251, UTF-8, 54936, UTF-7, 1200), the text.
bool CodePageSeeds(const fs::path& folder) {
    const std::vector<std::pair<std::uint8_t, std::string>> texts = {
        {0, "Caf\xE9 \x80 na\xEFve"},
        {1, "\x82\xA0\x82\xA2\x93\xFA\x96\x7B\x81"},
        {2, "\xC4\xE3\xBA\xC3"},
        {3, "\xC7\xD1\xB1\xDB"},
        {4, "\xA4\xA4\xA4\xE5\xF9"},
        {5, "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {6, "h\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xED\xA0\x80\xC3"},
        {7, "\x81\x30\x81\x30\xD6\xD0"},
        {8, "+AGEAYgBj- plain +2D3eAA-"},
        {9, std::string("h\0i\0\x3D\xD8\x00\xDE\x00\xD8", 10)},
    };
    bool ok = true;
    for (const auto& [page, text] : texts)
        ok &= Write(folder, "page" + std::to_string(page), page, Bytes(text.begin(), text.end()));
    return ok;
}

// expression: the tokens and their end, in UTF-16.
bool ExpressionSeeds(const fs::path& folder) {
    using appwriter::ExpressionBuilder;
    const std::vector<std::pair<const char*, ExpressionBuilder>> expressions = {
        {"sum", ExpressionBuilder().Integer(3).Operator(appwriter::OperatorAddCode).Integer(4)},
        {"nested", ExpressionBuilder()
                       .Open()
                       .Integer(7)
                       .Operator(appwriter::OperatorSubtractCode)
                       .Integer(2)
                       .Close()
                       .Operator(appwriter::OperatorMultiplyCode)
                       .Integer(5)},
        {"strings",
         ExpressionBuilder().String(u"left").Operator(appwriter::OperatorAddCode).String(u"right")},
        {"function", ExpressionBuilder().Object(-1, 40, 0).Integer(1).Comma().Integer(2).Close()},
        {"object-x", ExpressionBuilder().Object(2, 11, 0).Operator(appwriter::OperatorAddCode).Integer(1)},
    };
    bool ok = true;
    for (const auto& [name, e] : expressions)
        ok &= WriteRaw(folder, name, e.Build(appwriter::StringForm::Wide));
    return ok;
}

// file_pack: a program's bytes with a pack behind them: the library and two modules, or modules only.
bool FilePackSeeds(const fs::path& folder) {
    const Bytes program(300, 0x90), library(500, 0x7F), module(200, 0x11);
    appwriter::FilePackWriter full;
    full.AddLibrary(library);
    full.AddFile(u"vtrtrans.dll", module);
    full.AddFile(u"vtrgauge.vxe", module);
    full.SetOptions(1);
    appwriter::FilePackWriter modules;
    modules.AddFile(u"sndfile.sft", module);
    modules.SetApplicationData(Bytes(64, 0x33));
    bool ok = true;
    for (const auto& [name, pack] :
         {std::pair{"library-and-modules", &full}, std::pair{"modules-and-data", &modules}}) {
        Bytes bytes = program;
        const Bytes written = pack->Write();
        bytes.insert(bytes.end(), written.begin(), written.end());
        ok &= WriteRaw(folder, name, bytes);
    }
    return ok;
}

// menu_data: the icon table's size (none here), then the menu chunk's payload.
bool MenuSeeds(const fs::path& folder) {
    std::vector<appwriter::MenuItemDesc> bar = {
        {u"&File", 0, 0, {{u"&New\tCtrl+N", 101, 0, {}}, {u"", 0, 0, {}}, {u"E&xit", 102, 0, {}}}},
        {u"&Options", 0, 0, {{u"&Sound", 201, 0x8, {}}, {u"&More", 0, 0, {{u"Greyed", 301, 0x1, {}}}}}},
        {u"&Help", 401, 0, {}},
    };
    const Bytes data = appwriter::WriteMenuData(bar, {{0x8, 'N', 101}, {0x10, 0x73, 102}});
    return Write(folder, "menu", 0, data) &&
           Write(folder, "bar-only", 0, appwriter::WriteMenuData({{u"&Go", 7, 0, {}}}, {}));
}

// transition_descriptor: descriptors as frames and objects store them, in both string forms.
bool TransitionSeeds(const fs::path& folder) {
    appwriter::TransitionDesc fade;
    fade.parameters = {5, 0, 0, 0};
    appwriter::TransitionDesc wipe;
    wipe.identifier = 2;
    wipe.flags = 1;
    wipe.colour = 0x00FF00;
    bool ok = true;
    for (const auto form : {appwriter::StringForm::Ansi, appwriter::StringForm::Wide}) {
        const std::string suffix = form == appwriter::StringForm::Wide ? "-wide" : "-ansi";
        appwriter::TransitionDesc f = fade, w = wipe;
        if (form == appwriter::StringForm::Wide) f.flags |= 2, w.flags |= 2;
        ok &= WriteRaw(folder, "fade" + suffix, appwriter::TransitionPayload(f, form));
        ok &= WriteRaw(folder, "wipe" + suffix, appwriter::TransitionPayload(w, form));
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzzseeds <folder>\n");
        return 2;
    }
    const fs::path root = argv[1];
    struct Target {
        const char* name;
        bool (*write)(const fs::path&);
    };
    for (const Target& target :
         {Target{"image_dib", ImageDibSeeds}, Target{"rle_codec", RleSeeds},
          Target{"decompress_stream", DecompressSeeds}, Target{"bank_items", BankSeeds},
          Target{"bmp_reader", BmpSeeds}, Target{"code_pages", CodePageSeeds},
          Target{"expression", ExpressionSeeds}, Target{"file_pack", FilePackSeeds},
          Target{"menu_data", MenuSeeds}, Target{"transition_descriptor", TransitionSeeds}}) {
        std::error_code error;
        fs::create_directories(root / target.name, error);
        if (error || !target.write(root / target.name)) {
            std::fprintf(stderr, "fuzzseeds: cannot write the seeds of %s\n", target.name);
            return 1;
        }
    }
    return 0;
}
