// An image filter over libjpeg-turbo. Grey images read as 8-bit images with a grey palette, every other
// colour space (CMYK included) as 24 bits; 24- and 32-bit reads are decoded straight into the caller's
// rows in blue, green, red order. Writes colour files from 15-, 16-, 24- and 32-bit pixels (the fourth byte
// and any alpha are left out: the format has none). libjpeg's errors come back through setjmp, so the
// functions that call it keep no objects with destructors of their own.
#include "image_common/image_plugin.h"

#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

using namespace win32;
using namespace imageplugin;

namespace {

constexpr DWORD FilterId = MakeFilterId('J', 'P', 'E', 'G');
constexpr std::uint8_t Signature[3] = {0xFF, 0xD8, 0xFF};
constexpr std::size_t BufferBytes = 65536;
constexpr long MaxWorkMemory = 256L * 1024 * 1024;
constexpr int Quality = 90;
constexpr int RowsPerCall = 16;
constexpr JOCTET EndOfImage[2] = {0xFF, JPEG_EOI};

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void Fail(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void Quiet(j_common_ptr) {}

// The source: the library's input stream through a buffer; a stream that ends early ends the image.
struct Source {
    jpeg_source_mgr base;
    CInputFile* stream;
    JOCTET* buffer;
};

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr info) {
    auto* s = reinterpret_cast<Source*>(info->src);
    const long got = ReadSome(s->stream, s->buffer, static_cast<long>(BufferBytes));
    if (got <= 0) {
        s->base.next_input_byte = EndOfImage;
        s->base.bytes_in_buffer = sizeof EndOfImage;
        return TRUE;
    }
    s->base.next_input_byte = s->buffer;
    s->base.bytes_in_buffer = static_cast<std::size_t>(got);
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    auto* s = reinterpret_cast<Source*>(info->src);
    while (count > 0) {
        if (s->base.bytes_in_buffer == 0) FillInput(info);
        const long now = std::min<long>(count, static_cast<long>(s->base.bytes_in_buffer));
        s->base.next_input_byte += now;
        s->base.bytes_in_buffer -= static_cast<std::size_t>(now);
        count -= now;
    }
}

void TermSource(j_decompress_ptr) {}

struct Destination {
    jpeg_destination_mgr base;
    COutputFile* output;
    JOCTET* buffer;
    bool failed;
};

void InitDestination(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    d->base.next_output_byte = d->buffer;
    d->base.free_in_buffer = BufferBytes;
}

boolean EmptyOutput(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    if (d->output->Write(d->buffer, static_cast<LONG>(BufferBytes)) != 0) d->failed = true;
    d->base.next_output_byte = d->buffer;
    d->base.free_in_buffer = BufferBytes;
    return TRUE;
}

void TermDestination(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    const std::size_t used = BufferBytes - d->base.free_in_buffer;
    if (used && d->output->Write(d->buffer, static_cast<LONG>(used)) != 0) d->failed = true;
}

// CMYK as stored by most writers (inverted): each channel times the black channel.
void CmykToBgr(const BYTE* in, BYTE* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, in += 4, out += 3) {
        const int c = inverted ? in[0] : 255 - in[0], m = inverted ? in[1] : 255 - in[1];
        const int y = inverted ? in[2] : 255 - in[2], k = inverted ? in[3] : 255 - in[3];
        out[0] = static_cast<BYTE>(y * k / 255);
        out[1] = static_cast<BYTE>(m * k / 255);
        out[2] = static_cast<BYTE>(c * k / 255);
    }
}

bool HasSignature(CInputFile* stream) {
    return StartsWith(stream, Signature, sizeof Signature);
}

class JpegFilter final : public StillImageFilter<FilterId, HasSignature> {
public:
    JpegFilter() {
        info_.err = jpeg_std_error(&errors_.base);
        errors_.base.error_exit = Fail;
        errors_.base.output_message = Quiet;
    }
    ~JpegFilter() override { EndRead(nullptr); }

    int GetSaveDepths() override { return SaveDepth15 | SaveDepth16 | SaveDepth24 | SaveDepth32; }

    int BeginRead(CInputFile* stream) override {
        EndRead(nullptr);
        try {
            input_.resize(BufferBytes);
        } catch (const std::bad_alloc&) {
            return ImageNoMemory;
        }
        source_ = Source{{nullptr, 0, InitSource, FillInput, SkipInput, jpeg_resync_to_restart, TermSource},
                         stream,
                         input_.data()};
        return ReadHeader() ? ImageOk : ImageNoFilter;
    }

    void EndRead(CInputFile*) override {
        if (open_) jpeg_destroy_decompress(&info_);
        open_ = false;
    }

    int ReadImage(CInputFile*, BYTE* pixels, int pitch, BYTE*, int) override {
        if (!open_ || !pixels || read_) return ImageNotOpen;
        read_ = true;
        const bool grey = depth == 8;
        // Straight into the caller's rows when libjpeg can give the read depth itself.
        J_COLOR_SPACE out = JCS_UNKNOWN;
        if (!cmyk_ && readDepth == 24) out = JCS_EXT_BGR;
        if (!cmyk_ && readDepth == 32) out = JCS_EXT_BGRX;
        if (grey && !NeedsConversion()) out = JCS_GRAYSCALE;
        if (out != JCS_UNKNOWN) return Decode(out, pixels, pitch) ? ImageOk : ImageNoFilter;
        try {
            row_.resize(static_cast<std::size_t>(width) * 4);
            bgr_.resize(static_cast<std::size_t>(width) * 3);
        } catch (const std::bad_alloc&) {
            return ImageNoMemory;
        }
        return DecodeRows(cmyk_  ? JCS_CMYK
                          : grey ? JCS_GRAYSCALE
                                 : JCS_EXT_BGR,
                          pixels, pitch)
                   ? ImageOk
                   : ImageNoFilter;
    }

    int SaveImage(COutputFile* output, const BYTE* pixels, int w, int h, int d, int p, const LOGPALETTE*,
                  const BYTE*, int) override {
        if (!output || !pixels || w < 1 || h < 1) return ImageBadArguments;
        if (d != 15 && d != 16 && d != 24 && d != 32) return ImageDepthNotWritable;
        std::vector<BYTE> buffer, row;
        try {
            buffer.resize(BufferBytes);
            row.resize(static_cast<std::size_t>(w) * 3);
        } catch (const std::bad_alloc&) {
            return ImageNoMemory;
        }
        jpeg_compress_struct info{};
        ErrorManager errors{};
        info.err = jpeg_std_error(&errors.base);
        errors.base.error_exit = Fail;
        errors.base.output_message = Quiet;
        Destination destination{
            {nullptr, 0, InitDestination, EmptyOutput, TermDestination}, output, buffer.data(), false};
        const bool written = Compress(info, errors, destination, {pixels, w, h, d, p}, row.data());
        jpeg_destroy_compress(&info);
        return written && !destination.failed ? ImageOk : ImageNotSupported;
    }

private:
    struct Pixels {
        const BYTE* data;
        int width, height, depth, pitch;
    };

    bool ReadHeader() {
        if (setjmp(errors_.jump)) return false;
        jpeg_create_decompress(&info_);
        open_ = true;
        read_ = false;
        info_.mem->max_memory_to_use = MaxWorkMemory;
        info_.src = &source_.base;
        if (jpeg_read_header(&info_, TRUE) != JPEG_HEADER_OK) return false;
        if (!SizeAllowed(info_.image_width, info_.image_height)) return false;
        width = static_cast<std::int32_t>(info_.image_width);
        height = static_cast<std::int32_t>(info_.image_height);
        cmyk_ = info_.jpeg_color_space == JCS_CMYK || info_.jpeg_color_space == JCS_YCCK;
        if (info_.jpeg_color_space == JCS_GRAYSCALE) {
            if (!SetGreyPalette(*this, 256)) return false;
            depth = 8;
        } else {
            depth = 24;
        }
        alpha = 0;
        ComputePitch();
        return true;
    }

    bool Decode(J_COLOR_SPACE space, BYTE* pixels, int pitch) {
        if (setjmp(errors_.jump)) return false;
        info_.out_color_space = space;
        jpeg_start_decompress(&info_);
        JSAMPROW rows[RowsPerCall];
        while (info_.output_scanline < info_.output_height) {
            const JDIMENSION first = info_.output_scanline;
            const JDIMENSION count = std::min<JDIMENSION>(RowsPerCall, info_.output_height - first);
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = RowOf(pixels, pitch, static_cast<int>(first + i));
            if (jpeg_read_scanlines(&info_, rows, count) == 0) break;
        }
        jpeg_finish_decompress(&info_);
        return true;
    }

    bool DecodeRows(J_COLOR_SPACE space, BYTE* pixels, int pitch) {
        if (setjmp(errors_.jump)) return false;
        info_.out_color_space = space;
        jpeg_start_decompress(&info_);
        const bool inverted = info_.saw_Adobe_marker;
        while (info_.output_scanline < info_.output_height) {
            const int y = static_cast<int>(info_.output_scanline);
            JSAMPROW row = row_.data();
            if (jpeg_read_scanlines(&info_, &row, 1) != 1) break;
            const BYTE* decoded = row_.data();
            if (space == JCS_CMYK) {
                CmykToBgr(row_.data(), bgr_.data(), width, inverted);
                decoded = bgr_.data();
            }
            PutRow(*this, RowOf(pixels, pitch, y), decoded);
        }
        jpeg_finish_decompress(&info_);
        return true;
    }

    bool Compress(jpeg_compress_struct& info, ErrorManager& errors, Destination& destination, const Pixels& p,
                  BYTE* row) {
        if (setjmp(errors.jump)) return false;
        jpeg_create_compress(&info);
        info.dest = &destination.base;
        info.image_width = static_cast<JDIMENSION>(p.width);
        info.image_height = static_cast<JDIMENSION>(p.height);
        info.input_components = p.depth == 32 ? 4 : 3;
        info.in_color_space = p.depth == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, Quality, TRUE);
        jpeg_start_compress(&info, TRUE);
        for (int y = 0; y < p.height; ++y) {
            const BYTE* in = RowOf(p.data, p.pitch, y);
            JSAMPROW line = const_cast<BYTE*>(in);
            if (p.depth == 15 || p.depth == 16) {
                RowToBgr(in, p.width, p.depth, nullptr, row);
                line = row;
            }
            jpeg_write_scanlines(&info, &line, 1);
        }
        jpeg_finish_compress(&info);
        return true;
    }

    jpeg_decompress_struct info_{};
    ErrorManager errors_{};
    Source source_{};
    std::vector<BYTE> input_, row_, bgr_;
    bool open_ = false;
    bool read_ = false;
    bool cmyk_ = false;
};

const WCHAR* const Extensions[] = {u"jpg", u"jpeg", u"jpe", u"jfif", nullptr};

} // namespace

VTR_IMAGE_FILTER_ENTRY_POINTS(JpegFilter, FilterId, u"JPEG", Extensions, HasSignature)
