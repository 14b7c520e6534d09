// Image files through image-filter plug-ins: the manager of "*.ift" plug-ins, CFilterImpl (the base class
// each filter derives from, with its default operations, palette handling and pixel-format conversion),
// ImageFile (one image file read or written through one filter), and the plain load, save and query
// functions over cSurface.
#pragma once

#include "vtrs2/export.h"
#include "vtrs2/filters.h"
#include "vtrs2/palettes.h"

#include <cstdint>

class cSurface;
class CInputFile;
class COutputFile;

class VTRS2_API CImageFilterMgr : public CFilterMgr {
public:
    CImageFilterMgr();
    ~CImageFilterMgr() override;

    void Scan(const win32::WCHAR* folder, win32::DWORD option);
    void ScanA(const char* folder, win32::DWORD option);
    void FreeFilters() override;
};

VTRS2_API CImageFilterMgr* NewImageFilterMgr();
// Create the filter at the index, ask whether it lists itself for still images or animations, release it.
VTRS2_API int FilterHandlesImages(CImageFilterMgr* manager, int index);
VTRS2_API int FilterHandlesAnimations(CImageFilterMgr* manager, int index);

// Four-character filter ids, first character in the low byte.
constexpr win32::DWORD MakeFilterId(char a, char b, char c, char d) {
    return static_cast<win32::DWORD>(static_cast<std::uint8_t>(a)) |
           static_cast<win32::DWORD>(static_cast<std::uint8_t>(b)) << 8 |
           static_cast<win32::DWORD>(static_cast<std::uint8_t>(c)) << 16 |
           static_cast<win32::DWORD>(static_cast<std::uint8_t>(d)) << 24;
}
// "BMP ": what id 0 means when saving.
constexpr win32::DWORD BmpFilterId = MakeFilterId('B', 'M', 'P', ' ');

// Save depth bits of GetSaveDepths.
constexpr int SaveDepth8 = 0x04;
constexpr int SaveDepth15 = 0x08;
constexpr int SaveDepth16 = 0x10;
constexpr int SaveDepth24 = 0x20;
constexpr int SaveDepth32 = 0x40;

// Result codes of the ImageFile operations.
enum ImageFileResult : int {
    ImageOk = 0,
    ImageNoMemory = 1,
    ImageCannotOpen = 2,
    ImageCannotCreate = 3,
    ImageNoFilter = 5,
    ImageNoName = 7,
    ImageNotSupported = 8,
    ImageNotOpen = 9,
    ImageDepthNotWritable = 10,
    ImageBelow8Bits = 12,
    ImageSizeDiffers = 13,
    ImageBadArguments = 14,
    ImageNoReadFormat = 15,
    ImageInputAttached = 17,
};

// The base of every image filter. A filter reads its header in BeginRead (setting width, height, depth,
// the palette at 8 bits or less and the alpha flag, then calling ComputePitch), and writes rows in
// ReadImage, converting each row with ConvertPixels when NeedsConversion says the caller asked for another
// depth. The slots keep their order.
class VTRS2_API CFilterImpl {
public:
    CFilterImpl();
    CFilterImpl(const CFilterImpl&) = delete;
    CFilterImpl& operator=(const CFilterImpl&) = delete;
    virtual ~CFilterImpl();

    virtual void Release() = 0;
    virtual void SetParameter(int what, win32::LPARAM value);
    virtual win32::DWORD GetFilterID() = 0;
    virtual int QueryFilterA() = 0;
    // SaveDepth* bits.
    virtual int GetSaveDepths();
    virtual int QueryFilterB();
    virtual void SetOption(int option, win32::LPARAM value);
    // Non-zero when the stream is in this filter's format; the stream may be left anywhere.
    virtual int CanRead(CInputFile* stream) = 0;
    virtual int HandlesImages();
    virtual int HandlesAnimations();
    virtual int CanSaveImage();
    virtual int CanSaveAnimation();
    // Reads the header; 0 = ready.
    virtual int BeginRead(CInputFile* stream) = 0;
    // The image (or the current frame) into rows of `pitch` bytes (negative: bottom-up) at the read depth,
    // and its alpha into rows of `alphaPitch` when `alpha` is given and the image has alpha; 0 = done.
    virtual int ReadImage(CInputFile* stream, win32::BYTE* pixels, int pitch, win32::BYTE* alpha,
                          int alphaPitch) = 0;
    virtual int SaveImage(COutputFile* output, const win32::BYTE* pixels, int width, int height, int depth,
                          int pitch, const win32::LOGPALETTE* palette, const win32::BYTE* alpha,
                          int alphaPitch);
    virtual void EndRead(CInputFile* stream);
    virtual void EndWrite(COutputFile* output);
    virtual int GetWidth();
    virtual int GetHeight();
    virtual int GetPitch();
    virtual int GetDepth();
    virtual int GetImageSize();
    virtual win32::LOGPALETTE* GetPalette();
    // 1 with the colour when the image has a transparent colour.
    virtual int GetTransparentColor(win32::COLORREF* color);
    virtual int HasAlpha();
    // 0, or 14 for a depth that cannot be read.
    virtual int SetReadFormat(int depth, const win32::LOGPALETTE* palette);
    virtual int IsAnimation();
    virtual int GetFrameCount();
    virtual int GetCurrentFrame();
    virtual void GetRect(win32::RECT* rect);
    virtual int QueryAnimationA();
    virtual int QueryAnimationB();
    virtual int QueryAnimationC();
    virtual int QueryAnimationD(int value);
    virtual int QueryAnimationE();
    virtual int QueryAnimationF();
    virtual void RewindFrames();
    virtual int BeginSaveAnimation(COutputFile* output, const int* values);
    virtual int SaveFrame(COutputFile* output, const win32::BYTE* previous, const win32::BYTE* pixels,
                          int width, int height, int pitch, int depth, const int* values);
    virtual void SetOutputParameter(COutputFile* output, win32::LPARAM value);

    // Palette of `entries` colours (at most 256), zeroed; 0 when memory runs out.
    int SetPaletteSize(int entries);
    void ComputePitch();
    void SetAlpha(int flag);
    // One row of `count` pixels from the image depth into the read depth.
    void ConvertPixels(win32::BYTE* destination, const win32::BYTE* source, int count);
    int PrepareConversion();
    int BuildRemapTable();
    int NeedsConversion() const { return conversionNeeded; }
    int GetReadDepth() const { return readDepth; }

    // The record, in order.
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t depth = 0;
    std::int32_t rowLength = 0;
    std::int32_t pitch = 0;
    std::int32_t bytesPerPixel = 0;
    std::int32_t alpha = 0;
    std::int32_t frameCount = 1;
    std::int32_t currentFrame = 0;
    std::int32_t queryC = 0;
    std::int32_t queryD = 0;
    LogPalette256* palette = nullptr;
    std::int32_t conversionNeeded = 0;
    std::int32_t readDepth = 0;
    std::int32_t readBytesPerPixel = 0;
    LogPalette256* readPalette = nullptr;
    win32::BYTE* remap = nullptr;
    LogPalette256* lastImagePalette = nullptr;
    win32::BYTE* colourCache = nullptr;

private:
    void FreeConversion();
    win32::BYTE CachedIndex(win32::WORD key, win32::BYTE red, win32::BYTE green, win32::BYTE blue);
};

// The nearest entry: the sum of the channel distances, the first entry of the least distance.
VTRS2_API int NearestPaletteEntry(const win32::LOGPALETTE* palette, int red, int green, int blue);

class VTRS2_API ImageFile {
public:
    explicit ImageFile(CImageFilterMgr* manager);
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    virtual ~ImageFile();

    int OpenRead(const win32::WCHAR* name);
    int OpenReadA(const char* name);
    // The stream stays the caller's.
    int AttachInput(CInputFile* stream);
    int Close();
    int SelectFilterByID(win32::DWORD id);
    int SelectFilterAt(int index);
    int PrepareRead(int width, int height, int depth, const win32::LOGPALETTE* palette);
    int ReadImage(win32::BYTE* pixels, int width, int height, int pitch, int depth,
                  const win32::LOGPALETTE* palette, win32::BYTE* alpha, int alphaPitch);
    int ReadFrames(win32::BYTE* pixels, int pitch, int lastFrame);
    int RewindFrames();
    int Save(const win32::WCHAR* name, const win32::BYTE* pixels, int width, int height, int depth, int pitch,
             const win32::LOGPALETTE* palette, const win32::BYTE* alpha, int alphaPitch);
    int SaveA(const char* name, const win32::BYTE* pixels, int width, int height, int depth, int pitch,
              const win32::LOGPALETTE* palette, const win32::BYTE* alpha, int alphaPitch);
    int BeginSaveAnimation(COutputFile* output, const int* values);
    int BeginSaveAnimationFile(const win32::WCHAR* name, const int* values);
    int BeginSaveAnimationFileA(const char* name, const int* values);
    int SaveFrame(const win32::BYTE* pixels, int width, int height, int pitch, int depth, const int* values);
    int SaveFrameEx(const win32::BYTE* pixels, int width, int height, int pitch, int depth, int value);
    void SetOutputParameter(win32::LPARAM value);
    void SetFilterOption(int option, win32::LPARAM value);
    int GetFilterIndex();
    const win32::WCHAR* GetFilterNameW();
    const char* GetFilterNameA();
    int GetOutputSize();

    // The filter's answers, or 0 without a filter.
    int GetWidth();
    int GetHeight();
    int GetDepth();
    int GetPitch();
    int GetImageSize();
    win32::LOGPALETTE* GetPalette();
    int GetTransparentColor(win32::COLORREF* color);
    int HasAlpha();
    int IsAnimation();
    int GetFrameCount();
    int GetCurrentFrame();
    int GetRect(win32::RECT* rect);
    int GetFrameInfo();
    int GetSaveDepths();
    int CanSaveImage();
    CFilterImpl* GetFilter() const { return filter; }

    // The record, in order.
    CImageFilterMgr* manager;
    CInputFile* input = nullptr;
    std::int32_t ownsInput = 0;
    std::int32_t ready = 0;
    COutputFile* output = nullptr;
    std::int32_t ownsOutput = 0;
    win32::BYTE* previousFrame = nullptr;
    std::int32_t reserved = 0;
    CFilterImpl* filter = nullptr;

private:
    int ChooseFilter();
    void FailOpen();
    void ReplaceFilter(CFilterImpl* replacement);
    std::int32_t previousFrameBytes_ = 0;
};

// Flags of the loading functions.
constexpr int LoadImageKeepDepth = 0x1;     // the surface keeps its depth
constexpr int LoadImageOwnPalette = 0x2;    // an 8-bit surface reads with its own palette
constexpr int LoadImageKeyFromCorner = 0x4; // without a transparent colour, pixel (0, 0) gives the key
constexpr int LoadImageNoKey = 0x8;         // the colour key is cleared

VTRS2_API int LoadImageFileIntoSurface(CImageFilterMgr* manager, const win32::WCHAR* name, cSurface* surface,
                                       ImageFile* file, int flags);
VTRS2_API int LoadImageFileIntoSurfaceA(CImageFilterMgr* manager, const char* name, cSurface* surface,
                                        ImageFile* file, int flags);
VTRS2_API int LoadImageStreamIntoSurface(CImageFilterMgr* manager, CInputFile* stream, cSurface* surface,
                                         win32::DWORD* filterId, int flags);
VTRS2_API int LoadImageFileStream(CImageFilterMgr* manager, const win32::WCHAR* name, win32::DWORD* filterId,
                                  int flags, cSurface* surface);
VTRS2_API int LoadImageFileStreamA(CImageFilterMgr* manager, const char* name, win32::DWORD* filterId,
                                   int flags, cSurface* surface);
VTRS2_API int ReadImageIntoSurface(CImageFilterMgr* manager, cSurface* surface, ImageFile* file);
// Id 0 saves as BMP.
VTRS2_API int SaveImageFile(CImageFilterMgr* manager, const win32::WCHAR* name, cSurface* surface,
                            win32::DWORD filterId);
VTRS2_API int SaveImageFileA(CImageFilterMgr* manager, const char* name, cSurface* surface,
                             win32::DWORD filterId);
VTRS2_API int SaveSurfaceAnimation(CImageFilterMgr* manager, const win32::WCHAR* name, cSurface* surface,
                                   ImageFile* file, int valueA, int valueB, int valueC, int valueD);
VTRS2_API int SaveSurfaceFrame(CImageFilterMgr* manager, cSurface* surface, ImageFile* file, int value);
VTRS2_API int IsImageFile(CImageFilterMgr* manager, const win32::WCHAR* name, int* stillImage);
VTRS2_API int IsImageFileA(CImageFilterMgr* manager, const char* name, int* stillImage);
VTRS2_API int CanOpenImageFile(CImageFilterMgr* manager, const win32::WCHAR* name);
VTRS2_API int CanOpenImageFileA(CImageFilterMgr* manager, const char* name);
// `palette` has room for 256 entries.
VTRS2_API int GetImageFilePalette(CImageFilterMgr* manager, const win32::WCHAR* name,
                                  win32::LOGPALETTE* palette);
VTRS2_API int GetImageFilePaletteA(CImageFilterMgr* manager, const char* name, win32::LOGPALETTE* palette);
VTRS2_API int CloseImageFile(CImageFilterMgr* manager, ImageFile* file);
