// An image filter over giflib. A GIF reads as one 8-bit image of its screen's size with the first image's
// colour map: the first image is placed at its position over the background (or transparent) index, and a
// transparent index of its graphic control becomes the image's transparent colour (made unique among the
// entries, so that no other colour of the image turns transparent). Animations read as their first image.
// Writes 8-bit images with their palette.
#include "image_common/image_plugin.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

using namespace win32;
using namespace imageplugin;

namespace {

constexpr DWORD FilterId = MakeFilterId('G', 'I', 'F', ' ');
constexpr char Signature87[6] = {'G', 'I', 'F', '8', '7', 'a'};
constexpr char Signature89[6] = {'G', 'I', 'F', '8', '9', 'a'};
constexpr int InterlaceStarts[4] = {0, 4, 2, 1};
constexpr int InterlaceSteps[4] = {8, 8, 4, 2};

int ReadData(GifFileType* gif, GifByteType* data, int size) {
    return static_cast<int>(ReadSome(static_cast<CInputFile*>(gif->UserData), data, size));
}

int WriteData(GifFileType* gif, const GifByteType* data, int size) {
    return static_cast<COutputFile*>(gif->UserData)->Write(data, size) == 0 ? size : 0;
}

bool IsGif(CInputFile* stream) {
    return StartsWith(stream, Signature87, sizeof Signature87) ||
           StartsWith(stream, Signature89, sizeof Signature89);
}

class GifFilter final : public StillImageFilter<FilterId, IsGif> {
public:
    ~GifFilter() override { EndRead(nullptr); }

    int GetSaveDepths() override { return SaveDepth8; }

    int GetTransparentColor(COLORREF* color) override {
        if (transparent_ < 0 || !palette) return 0;
        const PALETTEENTRY& e = palette->entries[transparent_];
        if (color) *color = RGB(e.peRed, e.peGreen, e.peBlue);
        return 1;
    }

    int BeginRead(CInputFile* stream) override {
        EndRead(nullptr);
        int error = 0;
        gif_ = DGifOpen(stream, ReadData, &error);
        if (!gif_) return ImageNoFilter;
        return ReadToFirstImage() ? ImageOk : ImageNoFilter;
    }

    void EndRead(CInputFile*) override {
        if (gif_) {
            int error = 0;
            DGifCloseFile(gif_, &error);
        }
        gif_ = nullptr;
        canvas_.clear();
        canvas_.shrink_to_fit();
    }

    int ReadImage(CInputFile*, BYTE* pixels, int pitch, BYTE*, int) override {
        if (!gif_ || !pixels) return ImageNotOpen;
        if (canvas_.empty() && !DecodeFirstImage()) return ImageNoFilter;
        for (int y = 0; y < height; ++y)
            PutRow(*this, RowOf(pixels, pitch, y), canvas_.data() + static_cast<std::size_t>(y) * width);
        return ImageOk;
    }

    int SaveImage(COutputFile* output, const BYTE* pixels, int w, int h, int d, int p, const LOGPALETTE* pal,
                  const BYTE*, int) override {
        if (!output || !pixels || w < 1 || h < 1 || w > 0xFFFF || h > 0xFFFF) return ImageBadArguments;
        if (d != 8 || !pal) return ImageDepthNotWritable;
        GifColorType colours[PaletteSize] = {};
        for (int i = 0; i < std::min<int>(pal->palNumEntries, PaletteSize); ++i)
            colours[i] = {pal->palPalEntry[i].peRed, pal->palPalEntry[i].peGreen, pal->palPalEntry[i].peBlue};
        ColorMapObject* map = GifMakeMapObject(PaletteSize, colours);
        if (!map) return ImageNoMemory;
        int error = 0;
        GifFileType* gif = EGifOpen(output, WriteData, &error);
        bool written = gif && EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK &&
                       EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
        for (int y = 0; written && y < h; ++y)
            written = EGifPutLine(gif, const_cast<GifPixelType*>(RowOf(pixels, p, y)), w) == GIF_OK;
        if (gif && EGifCloseFile(gif, &error) != GIF_OK) written = false;
        GifFreeMapObject(map);
        return written ? ImageOk : ImageNotSupported;
    }

private:
    // Extensions up to the first image descriptor; the screen's size and the first image's colours.
    bool ReadToFirstImage() {
        transparent_ = -1;
        for (;;) {
            GifRecordType record = UNDEFINED_RECORD_TYPE;
            if (DGifGetRecordType(gif_, &record) != GIF_OK) return false;
            if (record == TERMINATE_RECORD_TYPE) return false;
            if (record == EXTENSION_RECORD_TYPE) {
                if (!ReadExtension()) return false;
                continue;
            }
            if (record != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif_) != GIF_OK) return false;
            break;
        }
        if (!SizeAllowed(gif_->SWidth, gif_->SHeight)) return false;
        const ColorMapObject* map = gif_->Image.ColorMap ? gif_->Image.ColorMap : gif_->SColorMap;
        if (!map || !map->Colors || !SetPaletteSize(PaletteSize)) return false;
        for (int i = 0; i < std::min(map->ColorCount, PaletteSize); ++i)
            palette->entries[i] = {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue, 0};
        if (transparent_ >= 0) MakeTransparentUnique();
        width = gif_->SWidth;
        height = gif_->SHeight;
        depth = 8;
        alpha = 0;
        ComputePitch();
        return true;
    }

    bool ReadExtension() {
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif_, &code, &block) != GIF_OK) return false;
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
            GraphicsControlBlock control{};
            if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                transparent_ = control.TransparentColor;
        }
        while (block)
            if (DGifGetExtensionNext(gif_, &block) != GIF_OK) return false;
        return true;
    }

    // The transparent entry's colour is moved off any other entry's colour.
    void MakeTransparentUnique() {
        PALETTEENTRY& key = palette->entries[transparent_];
        auto taken = [&] {
            for (int i = 0; i < PaletteSize; ++i)
                if (i != transparent_ && palette->entries[i].peRed == key.peRed &&
                    palette->entries[i].peGreen == key.peGreen && palette->entries[i].peBlue == key.peBlue)
                    return true;
            return false;
        };
        for (int step = 0; step < PaletteSize && taken(); ++step)
            key.peBlue = static_cast<BYTE>(key.peBlue + 1);
    }

    bool DecodeFirstImage() {
        const GifImageDesc& d = gif_->Image;
        const BYTE fill = static_cast<BYTE>(transparent_ >= 0 ? transparent_ : gif_->SBackGroundColor);
        try {
            canvas_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
            line_.resize(static_cast<std::size_t>(std::max(d.Width, 1)));
        } catch (const std::bad_alloc&) {
            return false;
        }
        if (d.Width <= 0 || d.Height <= 0 || d.Width > 0xFFFF || d.Height > 0xFFFF) return false;
        auto put = [&](int row) {
            const int y = d.Top + row;
            if (y < 0 || y >= height) return;
            for (int x = 0; x < d.Width; ++x)
                if (d.Left + x >= 0 && d.Left + x < width)
                    canvas_[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(d.Left + x)] =
                        line_[x];
        };
        if (d.Interlace) {
            for (int pass = 0; pass < 4; ++pass)
                for (int row = InterlaceStarts[pass]; row < d.Height; row += InterlaceSteps[pass]) {
                    if (DGifGetLine(gif_, line_.data(), d.Width) != GIF_OK) return false;
                    put(row);
                }
        } else {
            for (int row = 0; row < d.Height; ++row) {
                if (DGifGetLine(gif_, line_.data(), d.Width) != GIF_OK) return false;
                put(row);
            }
        }
        return true;
    }

    GifFileType* gif_ = nullptr;
    int transparent_ = -1;
    std::vector<BYTE> canvas_;
    std::vector<GifPixelType> line_;
};

const WCHAR* const Extensions[] = {u"gif", nullptr};

} // namespace

VTR_IMAGE_FILTER_ENTRY_POINTS(GifFilter, FilterId, u"GIF", Extensions, IsGif)
