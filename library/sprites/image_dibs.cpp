// Images added from packed device-independent bitmaps.
#include "image_surfaces.h"
#include "vtrs2/banks.h"
#include "vtrs2/rle_codec.h"

#include <cstring>

using namespace win32;
using namespace sprites;

namespace {

constexpr std::size_t BitFieldMasks = 12;
constexpr std::size_t InfoHeaderSize = sizeof(BITMAPINFOHEADER);

// Where the bits of a packed bitmap start and how many bytes they take; false when the header is refused.
bool DibLayout(const BITMAPINFOHEADER& h, std::size_t& bitsOffset, std::size_t& bitsSize) {
    // Only the depths whose rows the surface view lays out the same way as the bitmap format does.
    const bool knownDepth =
        h.biBitCount == 8 || h.biBitCount == 16 || h.biBitCount == 24 || h.biBitCount == 32;
    if (h.biSize < InfoHeaderSize || h.biWidth <= 0 || h.biHeight == 0 || !knownDepth) return false;
    if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return false;
    const long long rows = h.biHeight < 0 ? -static_cast<long long>(h.biHeight) : h.biHeight;
    if (h.biWidth > 0xFFFF || rows > 0xFFFF) return false;
    std::size_t colours = 0;
    if (h.biBitCount <= 8)
        colours = h.biClrUsed ? (h.biClrUsed > 256 ? 256 : h.biClrUsed) : (1u << h.biBitCount);
    bitsOffset = h.biSize + (h.biCompression == BI_BITFIELDS ? BitFieldMasks : 0) + 4 * colours;
    const std::size_t rowBytes = ((static_cast<std::size_t>(h.biWidth) * h.biBitCount + 31) >> 5) * 4;
    bitsSize = rowBytes * static_cast<std::size_t>(rows);
    return true;
}

} // namespace

DWORD AddImageFromDibEx(ContextBanks* banks, DWORD targetMode, const ImageInfo* info, const BITMAPINFO* dib,
                        std::size_t dibSize, COLORREF transparent, DWORD flags) {
    const ModeFormat* format = FindModeFormat(targetMode);
    if (!banks || !info || !dib || !format || dibSize < InfoHeaderSize) return 0;
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib, sizeof header);
    std::size_t bitsOffset = 0, bitsSize = 0;
    if (!DibLayout(header, bitsOffset, bitsSize) || bitsOffset > dibSize || bitsSize > dibSize - bitsOffset)
        return 0;
    const int width = header.biWidth;
    const int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const bool alpha = flags & AddImageAlphaPlane;
    const std::size_t alphaRow = static_cast<std::size_t>((width + 3) & ~3);
    if (alpha && alphaRow * height > dibSize - bitsOffset - bitsSize) return 0;

    auto* raw = reinterpret_cast<BYTE*>(const_cast<BITMAPINFO*>(dib));
    cDIBSurface view(&dib->bmiHeader, raw + bitsOffset, 0);
    cBufferSurface into;
    if (view.width == 0 || !into.SetDepth(format->depth) || !into.AllocatePixels(width, height) ||
        !view.Blit(&into, 0, 0, 0, 0, width, height, 0, 0, 0, 0))
        return 0;

    const DWORD handle =
        AddImage(banks, targetMode, width, height, info->hotX, info->hotY, info->actionX, info->actionY,
                 transparent, alpha ? AddImageAlphaPlane : 0, nullptr, 0, nullptr);
    auto* item = reinterpret_cast<ImageItem*>(GetBankItem(banks, BankImages, handle));
    if (!item) return 0;
    BYTE* data = BankItemData(&item->header);
    StoreImageRows(into, *format, data);
    if (alpha) {
        const DWORD pixelBytes = GetImageDataSize(width, height, targetMode);
        std::memcpy(data + pixelBytes, raw + bitsOffset + bitsSize, alphaRow * height);
    }
    item->checksum = ContinueChecksum(data, item->header.dataSize, ComputeItemChecksum(&item->width, 40));
    if (flags & AddImageDeduplicate) {
        if (const DWORD existing = FindDuplicateBankItem(banks, BankImages, &item->header)) {
            AddBankItemRef(banks, BankImages, existing);
            ReleaseBankItem(banks, BankImages, handle);
            return existing;
        }
    }
    return handle;
}

DWORD AddImageFromDib(ContextBanks* banks, DWORD targetMode, const ImageInfo* info, const BITMAPINFO* dib,
                      std::size_t dibSize) {
    return AddImageFromDibEx(banks, targetMode, info, dib, dibSize, 0, AddImageDeduplicate);
}
