// An image filter over the library's own bitmap reader and writer: the file is loaded into a memory
// surface of its depth (1- and 4-bit bitmaps as 8 bits, 16 bits as 5-6-5 when its masks say so, else
// 5-5-5; 32-bit bitmaps with their alpha), and written from one. Every depth the surfaces have is written.
#include "image_common/image_plugin.h"

#include "vtrs2/surface.h"
#include "vtrs2/surface_prototypes.h"

#include <cstring>
#include <memory>
#include <new>

using namespace win32;
using namespace imageplugin;

namespace {

constexpr DWORD FilterId = BmpFilterId;
constexpr char Signature[2] = {'B', 'M'};
constexpr int LoadTakePalette = 4;
constexpr int FileHeaderBytes = 14;
constexpr int HeaderBytes = FileHeaderBytes + 40 + 12; // file header, info header, bit-field masks
constexpr DWORD BitFields = 3;
constexpr DWORD Green565 = 0x07E0;

DWORD Read32(const BYTE* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24);
}

void Put32(BYTE* p, DWORD v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

// The depth a bitmap is loaded at, from its headers; 0 when they cannot be read.
int DepthOf(CInputFile* stream) {
    BYTE head[HeaderBytes] = {};
    const LONG at = stream->GetPosition();
    const long got = ReadSome(stream, head, sizeof head);
    stream->Seek(at, SeekFromStart);
    if (got < 14 + 40) return 0;
    const int bits = head[28] | (head[29] << 8);
    if (bits >= 1 && bits <= 8) return 8;
    if (bits == 16)
        return Read32(head + 30) == BitFields && got >= HeaderBytes && Read32(head + 58) == Green565 ? 16
                                                                                                     : 15;
    if (bits == 24 || bits == 32) return bits;
    return 0;
}

std::unique_ptr<cSurface> MemorySurface(int depth, int width, int height) {
    cSurface* prototype = nullptr;
    GetSurfacePrototype(&prototype, depth, PublicTypeMemory, DriverKindNone);
    auto surface = std::unique_ptr<cSurface>(new (std::nothrow) cSurface);
    if (!prototype || !surface || !surface->Create(width, height, prototype)) return nullptr;
    return surface;
}

bool HasSignature(CInputFile* stream) {
    return StartsWith(stream, Signature, sizeof Signature);
}

class BmpFilter final : public StillImageFilter<FilterId, HasSignature> {
public:
    int BeginRead(CInputFile* stream) override {
        loaded_.reset();
        const int bits = DepthOf(stream);
        if (!bits) return ImageNoFilter;
        auto surface = MemorySurface(bits, 1, 1);
        if (!surface) return ImageNoMemory;
        if (!surface->LoadDibFromStream(stream, 0, LoadTakePalette)) return ImageNoFilter;
        if (!SizeAllowed(surface->GetWidth(), surface->GetHeight())) return ImageNoFilter;
        width = surface->GetWidth();
        height = surface->GetHeight();
        depth = surface->GetDepth();
        alpha = surface->HasAlphaPlane() ? 1 : 0;
        if (depth == 8) {
            const SharedPalette* shared = surface->GetImplementation()->palette;
            if (!SetPaletteSize(PaletteSize)) return ImageNoMemory;
            if (shared) *palette = shared->palette;
            palette->count = PaletteSize;
        }
        ComputePitch();
        loaded_ = std::move(surface);
        return ImageOk;
    }

    void EndRead(CInputFile*) override { loaded_.reset(); }

    int ReadImage(CInputFile*, BYTE* pixels, int pitch, BYTE* alphaRows, int alphaPitch) override {
        if (!loaded_ || !pixels) return ImageNotOpen;
        cSurfaceImplementation* s = loaded_->GetImplementation();
        if (!s->LockBuffer()) return ImageNoFilter;
        for (int y = 0; y < height; ++y) {
            PutRow(*this, RowOf(pixels, pitch, y), s->Row(y));
            if (alphaRows && s->alphaPlane)
                std::memcpy(RowOf(alphaRows, alphaPitch, y), s->AlphaRow(y), static_cast<std::size_t>(width));
        }
        s->UnlockBuffer(nullptr);
        return ImageOk;
    }

    int SaveImage(COutputFile* output, const BYTE* pixels, int w, int h, int d, int p, const LOGPALETTE* pal,
                  const BYTE* alphaRows, int alphaPitch) override {
        if (!output || !pixels || w < 1 || h < 1) return ImageBadArguments;
        auto surface = MemorySurface(d, w, h);
        if (!surface) return ImageNoMemory;
        if (d == 8 && pal) surface->SetLogPalette(pal, 0);
        cSurfaceImplementation* s = surface->GetImplementation();
        if (!s->LockBuffer()) return ImageNoMemory;
        const std::size_t rowBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(s->bytesPerPixel);
        for (int y = 0; y < h; ++y)
            std::memcpy(s->Row(y), RowOf(pixels, p, y), rowBytes);
        if (d == 32 && alphaRows && s->AllocateAlphaPlane())
            for (int y = 0; y < h; ++y)
                std::memcpy(s->AlphaRow(y), RowOf(alphaRows, alphaPitch, y), static_cast<std::size_t>(w));
        s->UnlockBuffer(nullptr);
        // The file header, then the bitmap as the library writes it.
        BYTE head[FileHeaderBytes] = {'B', 'M'};
        Put32(head + 2, static_cast<DWORD>(FileHeaderBytes + surface->GetDibSize()));
        Put32(head + 10, static_cast<DWORD>(FileHeaderBytes + GetDibHeaderSize(d)));
        if (output->Write(head, FileHeaderBytes) != 0) return ImageCannotCreate;
        return surface->SaveDibToStream(output) ? ImageOk : ImageNotSupported;
    }

private:
    std::unique_ptr<cSurface> loaded_;
};

const WCHAR* const Extensions[] = {u"bmp", u"dib", nullptr};

} // namespace

VTR_IMAGE_FILTER_ENTRY_POINTS(BmpFilter, FilterId, u"BMP", Extensions, HasSignature)
