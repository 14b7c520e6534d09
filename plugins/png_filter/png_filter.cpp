// An image filter over libpng. Palette and grey images of up to 8 bits read as 8-bit images with their
// palette; colour images as 24 bits; images with an alpha channel or a transparency chunk as 32 bits with
// alpha; 16-bit channels are cut to 8. Writes 8-bit images with their palette, 24 bits, and 32 bits with
// alpha when an alpha plane is given (15 and 16 bits are widened to 24). libpng's errors come back through
// setjmp, so the functions that call it keep no objects with destructors of their own.
#include "image_common/image_plugin.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

using namespace win32;
using namespace imageplugin;

namespace {

constexpr DWORD FilterId = MakeFilterId('P', 'N', 'G', ' ');
constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr png_alloc_size_t MaxChunkBytes = 8 * 1024 * 1024;

void ReadData(png_structp png, png_bytep data, png_size_t size) {
    auto* stream = static_cast<CInputFile*>(png_get_io_ptr(png));
    if (ReadSome(stream, data, static_cast<long>(size)) != static_cast<long>(size))
        png_error(png, "short read");
}

void WriteData(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<COutputFile*>(png_get_io_ptr(png));
    if (out->Write(data, static_cast<LONG>(size)) != 0) png_error(png, "write error");
}

void FlushData(png_structp) {}

// No messages: a failure is a result code.
void Quiet(png_structp, png_const_charp) {}
[[noreturn]] void Fail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

bool HasSignature(CInputFile* stream) {
    return StartsWith(stream, Signature, sizeof Signature);
}

class PngFilter final : public StillImageFilter<FilterId, HasSignature> {
public:
    ~PngFilter() override { EndRead(nullptr); }

    int BeginRead(CInputFile* stream) override {
        EndRead(nullptr);
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
        if (!png_) return ImageNoMemory;
        info_ = png_create_info_struct(png_);
        if (!info_) return ImageNoMemory;
        return ReadHeader(stream) ? ImageOk : ImageNoFilter;
    }

    void EndRead(CInputFile*) override {
        if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
        png_ = nullptr;
        info_ = nullptr;
        image_.clear();
        image_.shrink_to_fit();
    }

    int ReadImage(CInputFile*, BYTE* pixels, int pitch, BYTE* alphaRows, int alphaPitch) override {
        if (!png_ || !pixels || read_) return ImageNotOpen;
        read_ = true;
        const bool direct = !alpha && !NeedsConversion() && !interlaced_;
        const bool filled = !alpha && depth == 24 && readDepth == 32 && !interlaced_;
        if (!PrepareRows(filled)) return ImageNoFilter;
        if (direct || filled) return DecodeDirect(pixels, pitch) ? ImageOk : ImageNoFilter;
        if (!DecodeAll()) return ImageNoFilter;
        for (int y = 0; y < height; ++y) {
            BYTE* row = image_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(rowLength);
            if (alpha) SplitAlpha(row, alphaRows ? RowOf(alphaRows, alphaPitch, y) : nullptr);
            PutRow(*this, RowOf(pixels, pitch, y), row);
        }
        return ImageOk;
    }

    int SaveImage(COutputFile* output, const BYTE* pixels, int w, int h, int d, int p, const LOGPALETTE* pal,
                  const BYTE* alphaRows, int alphaPitch) override {
        if (!output || !pixels || w < 1 || h < 1 || (d == 8 && !pal)) return ImageBadArguments;
        const bool withAlpha = d == 32 && alphaRows;
        const int channels = d == 8 ? 1 : withAlpha ? 4 : 3;
        std::vector<BYTE> row;
        try {
            row.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(channels));
        } catch (const std::bad_alloc&) {
            return ImageNoMemory;
        }
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
        png_infop info = png ? png_create_info_struct(png) : nullptr;
        const int code = info
                             ? Write(png, info, output, {pixels, w, h, d, p, pal, alphaRows, alphaPitch}, row)
                             : ImageNoMemory;
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return code;
    }

private:
    struct Source {
        const BYTE* pixels;
        int width, height, depth, pitch;
        const LOGPALETTE* palette;
        const BYTE* alpha;
        int alphaPitch;
    };

    bool ReadHeader(CInputFile* stream) {
        if (setjmp(png_jmpbuf(png_))) return false;
        png_set_read_fn(png_, stream, ReadData);
        png_set_user_limits(png_, MaxSide, MaxSide);
        png_set_chunk_malloc_max(png_, MaxChunkBytes);
        png_read_info(png_, info_);
        const png_uint_32 w = png_get_image_width(png_, info_), h = png_get_image_height(png_, info_);
        if (!SizeAllowed(w, h)) return false;
        const int type = png_get_color_type(png_, info_), bits = png_get_bit_depth(png_, info_);
        const bool transparency = png_get_valid(png_, info_, PNG_INFO_tRNS) != 0;
        interlaced_ = png_get_interlace_type(png_, info_) != PNG_INTERLACE_NONE;
        read_ = false;
        width = static_cast<std::int32_t>(w);
        height = static_cast<std::int32_t>(h);
        alpha = (type & PNG_COLOR_MASK_ALPHA) || transparency;
        if (bits == 16) png_set_strip_16(png_);
        if (bits < 8) png_set_packing(png_);
        if (alpha) {
            // Everything with transparency becomes blue, green, red, alpha.
            png_set_expand(png_);
            png_set_gray_to_rgb(png_);
            png_set_bgr(png_);
            depth = 32;
        } else if (type == PNG_COLOR_TYPE_PALETTE) {
            png_colorp colours = nullptr;
            int count = 0;
            png_get_PLTE(png_, info_, &colours, &count);
            if (!SetPaletteSize(std::clamp(count, 0, PaletteSize))) return false;
            for (int i = 0; i < palette->count; ++i)
                palette->entries[i] = {colours[i].red, colours[i].green, colours[i].blue, 0};
            depth = 8;
        } else if (type == PNG_COLOR_TYPE_GRAY) {
            if (!SetGreyPalette(*this, bits >= 8 ? 256 : 1 << bits)) return false;
            depth = 8;
        } else {
            png_set_bgr(png_);
            depth = 24;
        }
        ComputePitch();
        return true;
    }

    // The last transformations and libpng's view of the rows; `filled` adds a fourth byte to 24-bit rows.
    bool PrepareRows(bool filled) {
        if (setjmp(png_jmpbuf(png_))) return false;
        if (filled) png_set_filler(png_, 0, PNG_FILLER_AFTER);
        passes_ = png_set_interlace_handling(png_);
        png_read_update_info(png_, info_);
        return true;
    }

    bool DecodeDirect(BYTE* pixels, int pitch) {
        if (setjmp(png_jmpbuf(png_))) return false;
        for (int y = 0; y < height; ++y)
            png_read_row(png_, RowOf(pixels, pitch, y), nullptr);
        png_read_end(png_, nullptr);
        return true;
    }

    bool DecodeAll() {
        try {
            image_.assign(static_cast<std::size_t>(rowLength) * static_cast<std::size_t>(height), 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return DecodeRows();
    }

    bool DecodeRows() {
        if (setjmp(png_jmpbuf(png_))) return false;
        for (int pass = 0; pass < passes_; ++pass)
            for (int y = 0; y < height; ++y)
                png_read_row(
                    png_, image_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(rowLength),
                    nullptr);
        png_read_end(png_, nullptr);
        return true;
    }

    // Moves the fourth bytes of a row into the alpha row and clears them.
    void SplitAlpha(BYTE* row, BYTE* alphaRow) {
        for (int x = 0; x < width; ++x) {
            if (alphaRow) alphaRow[x] = row[4 * x + 3];
            row[4 * x + 3] = 0;
        }
    }

    int Write(png_structp png, png_infop info, COutputFile* output, const Source& s, std::vector<BYTE>& row) {
        if (setjmp(png_jmpbuf(png))) return ImageNotSupported;
        png_set_write_fn(png, output, WriteData, FlushData);
        const bool withAlpha = s.depth == 32 && s.alpha;
        const int type = s.depth == 8 ? PNG_COLOR_TYPE_PALETTE
                         : withAlpha  ? PNG_COLOR_TYPE_RGBA
                                      : PNG_COLOR_TYPE_RGB;
        png_set_IHDR(png, info, static_cast<png_uint_32>(s.width), static_cast<png_uint_32>(s.height), 8,
                     type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_color colours[PaletteSize] = {};
        if (s.depth == 8) {
            const int count = std::clamp<int>(s.palette->palNumEntries, 1, PaletteSize);
            for (int i = 0; i < count && i < s.palette->palNumEntries; ++i)
                colours[i] = {s.palette->palPalEntry[i].peRed, s.palette->palPalEntry[i].peGreen,
                              s.palette->palPalEntry[i].peBlue};
            png_set_PLTE(png, info, colours, count);
        }
        png_write_info(png, info);
        if (s.depth != 8) png_set_bgr(png);
        for (int y = 0; y < s.height; ++y) {
            const BYTE* in = RowOf(s.pixels, s.pitch, y);
            if (s.depth == 8) {
                std::memcpy(row.data(), in, static_cast<std::size_t>(s.width));
            } else if (withAlpha) {
                const BYTE* a = RowOf(s.alpha, s.alphaPitch, y);
                for (int x = 0; x < s.width; ++x) {
                    std::memcpy(&row[4 * static_cast<std::size_t>(x)], in + 4 * x, 3);
                    row[4 * static_cast<std::size_t>(x) + 3] = a[x];
                }
            } else {
                RowToBgr(in, s.width, s.depth, s.palette, row.data());
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, info);
        return ImageOk;
    }

    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    bool interlaced_ = false;
    bool read_ = false;
    int passes_ = 1;
    std::vector<BYTE> image_;
};

const WCHAR* const Extensions[] = {u"png", nullptr};

} // namespace

VTR_IMAGE_FILTER_ENTRY_POINTS(PngFilter, FilterId, u"PNG", Extensions, HasSignature)
