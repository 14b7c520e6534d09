// Loading a 1920 x 1080 PNG and JPEG held in memory: through the image filters into a surface, beside
// libpng and libjpeg-turbo decoding the same bytes straight into a buffer of blue, green, red rows.
#include "vtrs2/image_filters.h"
#include "vtrs2/streams.h"
#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include "bench/targets.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int Width = 1920, Height = 1080;
using Bytes = std::vector<std::uint8_t>;

// A photograph's worth of detail: gradients with a little deterministic noise, red, green, blue bytes.
Bytes Picture() {
    Bytes rgb(static_cast<std::size_t>(Width) * Height * 3);
    std::uint32_t seed = 12345;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            seed = seed * 1664525 + 1013904223;
            const int noise = static_cast<int>(seed >> 28);
            std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * Width + x) * 3];
            p[0] = static_cast<std::uint8_t>((x * 255 / Width + noise) & 0xFF);
            p[1] = static_cast<std::uint8_t>((y * 255 / Height + noise) & 0xFF);
            p[2] = static_cast<std::uint8_t>(((x + y) / 12 + noise) & 0xFF);
        }
    return rgb;
}

void AppendPng(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

Bytes EncodePng(const Bytes& rgb) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendPng, nullptr);
    png_set_IHDR(png, info, Width, Height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < Height; ++y)
        png_write_row(png, &rgb[static_cast<std::size_t>(y) * Width * 3]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes EncodeJpeg(const Bytes& rgb) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = Width;
    info.image_height = Height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    for (int y = 0; y < Height; ++y) {
        JSAMPROW row = const_cast<std::uint8_t*>(&rgb[static_cast<std::size_t>(y) * Width * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    free(buffer);
    jpeg_destroy_compress(&info);
    return out;
}

const Bytes& PngFile() {
    static const Bytes bytes = EncodePng(Picture());
    return bytes;
}

const Bytes& JpegFile() {
    static const Bytes bytes = EncodeJpeg(Picture());
    return bytes;
}

CImageFilterMgr& Filters() {
    static CImageFilterMgr* filters = [] {
        char path[4096] = {};
        const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        std::string folder(path, n > 0 ? static_cast<std::size_t>(n) : 0);
        folder.erase(folder.find_last_of('/'));
        CImageFilterMgr* m = NewImageFilterMgr();
        m->Scan(std::u16string(folder.begin(), folder.end()).c_str(), 0);
        return m;
    }();
    return *filters;
}

void ThroughFilter(benchmark::State& state, const Bytes& file) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, 24, PublicTypeMemory, DriverKindNone);
    cSurface surface;
    surface.Create(Width, Height, prototype);
    // The filters are loaded before the timing starts, as the runtime loads them once at start.
    CImageFilterMgr& filters = Filters();
    for (auto _ : state) {
        CInputMemFile stream;
        stream.Attach(file.data(), static_cast<win32::LONG>(file.size()));
        if (!LoadImageStreamIntoSurface(&filters, &stream, &surface, nullptr, 0)) state.SkipWithError("load");
        benchmark::ClobberMemory();
    }
}

struct PngReader {
    const Bytes* file;
    std::size_t at;
};

void ReadPng(png_structp png, png_bytep data, png_size_t size) {
    auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if (r->at + size > r->file->size()) png_error(png, "short");
    std::memcpy(data, r->file->data() + r->at, size);
    r->at += size;
}

void PngDirect(benchmark::State& state) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(Width) * Height * 3);
    // Made before the timing starts: the first iteration would time the encoding too.
    const Bytes& file = PngFile();
    for (auto _ : state) {
        PngReader reader{&file, 0};
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_read_fn(png, &reader, ReadPng);
        png_read_info(png, info);
        png_set_bgr(png);
        png_read_update_info(png, info);
        for (int y = 0; y < Height; ++y)
            png_read_row(png, &pixels[static_cast<std::size_t>(y) * Width * 3], nullptr);
        png_read_end(png, nullptr);
        png_destroy_read_struct(&png, &info, nullptr);
        benchmark::ClobberMemory();
    }
}

void JpegDirect(benchmark::State& state) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(Width) * Height * 3);
    const Bytes& file = JpegFile();
    for (auto _ : state) {
        jpeg_decompress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, file.data(), file.size());
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_EXT_BGR;
        jpeg_start_decompress(&info);
        JSAMPROW rows[16];
        while (info.output_scanline < info.output_height) {
            const JDIMENSION first = info.output_scanline;
            const JDIMENSION count = std::min<JDIMENSION>(16, info.output_height - first);
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = &pixels[static_cast<std::size_t>(first + i) * Width * 3];
            jpeg_read_scanlines(&info, rows, count);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::ClobberMemory();
    }
}

void PngThroughFilter(benchmark::State& state) {
    bench::ShowTarget(state, "within 1.05x of PngDirect");
    ThroughFilter(state, PngFile());
}

void JpegThroughFilter(benchmark::State& state) {
    bench::ShowTarget(state, "within 1.05x of JpegDirect");
    ThroughFilter(state, JpegFile());
}

BENCHMARK(PngDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(PngThroughFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegDirect)->Unit(benchmark::kMillisecond);
BENCHMARK(JpegThroughFilter)->Unit(benchmark::kMillisecond);

} // namespace
