// Writes seed inputs for the fuzz targets whose inputs the writer can lay out, one folder per target:
// packed bitmaps (image_dib), run-length packed pixels (rle_codec) and zlib streams (decompress_stream),
// each behind the selector byte its target reads first, and bitmaps read as they are (bmp_reader).
#include "appwriter/dib_writer.h"
#include "appwriter/file_pack_writer.h"
#include "appwriter/rle_writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using appwriter::Bytes;

bool Write(const fs::path& folder, const std::string& name, const Bytes& bytes) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool Write(const fs::path& folder, const std::string& name, std::uint8_t selector, const Bytes& body) {
    Bytes bytes{selector};
    bytes.insert(bytes.end(), body.begin(), body.end());
    return Write(folder, name, bytes);
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

// bmp_reader: whole bitmaps behind a bare info header, and the one-pixel 32-bit bitmap whose half-transparent
// pixel gives the surface it is read into an alpha plane at every depth (its save once failed at 8 bits).
bool BmpReaderSeeds(const fs::path& folder) {
    // Header size 40, width 1, height 1, one plane, 32 bits, no compression, 24 bytes of zeroes; the pixel
    // as blue, green, red and alpha.
    Bytes halfAlpha = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 32, 0};
    halfAlpha.resize(40, 0);
    halfAlpha.insert(halfAlpha.end(), {0x0A, 0x14, 0x1E, 0x80});
    bool ok = Write(folder, "32bit-half-alpha-pixel", halfAlpha);
    const std::vector<std::pair<const char*, appwriter::DibDesc>> shapes = {
        {"8bit", {5, 3, 8, false, 0, false}},
        {"16bit-masks", {6, 3, 16, true, 0, false}},
        {"24bit-topdown", {4, -3, 24, false, 0, false}},
        {"32bit", {3, 3, 32, false, 0, false}},
    };
    for (const auto& [name, dib] : shapes)
        ok &= Write(folder, name, appwriter::PackedDib(dib));
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
          Target{"decompress_stream", DecompressSeeds}, Target{"bmp_reader", BmpReaderSeeds}}) {
        std::error_code error;
        fs::create_directories(root / target.name, error);
        if (error || !target.write(root / target.name)) {
            std::fprintf(stderr, "fuzzseeds: cannot write the seeds of %s\n", target.name);
            return 1;
        }
    }
    return 0;
}
