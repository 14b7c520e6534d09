// One image file read or written through one image filter: the choice of the filter by the stream's
// content, the read format, frames, and files written through a buffered output.
#include "wide_name.h"

#include "vtrs2/compat.h"
#include "vtrs2/image_filters.h"
#include "vtrs2/memory.h"
#include "vtrs2/raw_files.h"
#include "vtrs2/streams.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

using namespace win32;

namespace {

constexpr LONG SaveBufferSize = 4096;

int SaveBitOf(int depth) {
    switch (depth) {
    case 8:
        return SaveDepth8;
    case 15:
        return SaveDepth15;
    case 16:
        return SaveDepth16;
    case 24:
        return SaveDepth24;
    case 32:
        return SaveDepth32;
    default:
        return 0;
    }
}

} // namespace

ImageFile::ImageFile(CImageFilterMgr* filterManager) : manager(filterManager) {}

ImageFile::~ImageFile() {
    Close();
    ReplaceFilter(nullptr);
}

void ImageFile::ReplaceFilter(CFilterImpl* replacement) {
    if (filter && filter != replacement) filter->Release();
    filter = replacement;
}

void ImageFile::FailOpen() {
    ReplaceFilter(nullptr);
    if (ownsInput && input) input->Delete();
    input = nullptr;
    ownsInput = 0;
    ready = 0;
}

int ImageFile::ChooseFilter() {
    const LONG at = input->GetPosition();
    if (filter) {
        const int yes = filter->CanRead(input);
        if (input->GetPosition() != at) input->Seek(at, SeekFromStart);
        if (!yes) ReplaceFilter(nullptr);
    }
    if (!filter && manager) filter = static_cast<CFilterImpl*>(manager->CreateFilterForStream(input));
    if (!filter) {
        FailOpen();
        return ImageNoFilter;
    }
    if (const int code = filter->BeginRead(input)) {
        FailOpen();
        return code;
    }
    if (filter->GetDepth() < 8) {
        FailOpen();
        return ImageBelow8Bits;
    }
    return ImageOk;
}

int ImageFile::OpenRead(const WCHAR* name) {
    if (!name) return ImageNoName;
    if (input) return ImageInputAttached;
    CInputBufFile* stream = NewInputBufFile();
    if (!stream) return ImageNoMemory;
    if (stream->Open(name) != 0) {
        stream->Delete();
        return ImageCannotOpen;
    }
    input = stream;
    ownsInput = 1;
    ready = 0;
    return ChooseFilter();
}

int ImageFile::OpenReadA(const char* name) {
    const WideName wide(name);
    return name ? OpenRead(wide.get()) : ImageNoName;
}

int ImageFile::AttachInput(CInputFile* stream) {
    if (input) return ImageInputAttached;
    if (!stream) return ImageNoName;
    input = stream;
    ownsInput = 0;
    ready = 0;
    return ChooseFilter();
}

int ImageFile::Close() {
    FreeMemory(&previousFrame);
    previousFrameBytes_ = 0;
    ready = 0;
    if (filter && output) filter->EndWrite(output);
    if (filter && input) filter->EndRead(input);
    if (ownsOutput && output) delete output;
    if (ownsInput && input) input->Delete();
    output = nullptr;
    input = nullptr;
    ownsOutput = ownsInput = 0;
    return ImageOk;
}

int ImageFile::SelectFilterByID(DWORD id) {
    CFilterImpl* made = manager ? static_cast<CFilterImpl*>(manager->CreateFilterByID(id)) : nullptr;
    if (!made) return 0;
    ReplaceFilter(made);
    return 1;
}

int ImageFile::SelectFilterAt(int index) {
    if (!manager || index < 0 || index >= manager->GetFilterCount()) return 0;
    auto* made = static_cast<CFilterImpl*>(manager->CreateFilterAt(index));
    if (!made) return 0;
    ReplaceFilter(made);
    return 1;
}

int ImageFile::PrepareRead(int width, int height, int depth, const LOGPALETTE* palette) {
    if (!filter || !input) return ImageNotOpen;
    if (width != filter->GetWidth() || height != filter->GetHeight()) return ImageSizeDiffers;
    if (depth == 0) depth = filter->GetDepth();
    if (depth == 8 && !palette) palette = filter->GetPalette();
    const int code = filter->SetReadFormat(depth, palette);
    ready = code == 0;
    return code;
}

int ImageFile::ReadImage(BYTE* pixels, int width, int height, int pitch, int depth, const LOGPALETTE* palette,
                         BYTE* alpha, int alphaPitch) {
    if (!filter || !input) return ImageNotOpen;
    if (!pixels) return ImageBadArguments;
    if (!ready)
        if (const int code = PrepareRead(width, height, depth, palette)) return code;
    return filter->ReadImage(input, pixels, pitch, alpha, alphaPitch);
}

int ImageFile::ReadFrames(BYTE* pixels, int pitch, int lastFrame) {
    if (!ready || !filter) return ImageNoReadFormat;
    if (!filter->IsAnimation()) return ImageNotSupported;
    if (!pixels || !input) return ImageBadArguments;
    lastFrame = std::min(lastFrame, filter->GetFrameCount() - 1);
    if (lastFrame < filter->GetCurrentFrame()) filter->RewindFrames();
    int first = 0;
    for (int frame = filter->GetCurrentFrame(); frame <= lastFrame; ++frame) {
        const int code = filter->ReadImage(input, pixels, pitch, nullptr, 0);
        if (code && !first) first = code;
    }
    return first;
}

int ImageFile::RewindFrames() {
    if (!filter) return ImageNotOpen;
    filter->RewindFrames();
    return ImageOk;
}

int ImageFile::Save(const WCHAR* name, const BYTE* pixels, int width, int height, int depth, int pitch,
                    const LOGPALETTE* palette, const BYTE* alpha, int alphaPitch) {
    if (!filter) return ImageNoReadFormat;
    if (!name || !pixels || width < 1 || height < 1) return ImageBadArguments;
    const int bit = SaveBitOf(depth);
    if (!bit || !(filter->GetSaveDepths() & bit)) return ImageDepthNotWritable;
    const HANDLE file = FileCreateRaw(name);
    if (file == INVALID_HANDLE_VALUE) return ImageCannotCreate;
    COutputBufFile out;
    int code = out.AttachHandle(file, SaveBufferSize) == 0 ? ImageOk : ImageNoMemory;
    if (code == ImageOk)
        code = filter->SaveImage(&out, pixels, width, height, depth, pitch, palette, alpha, alphaPitch);
    if (code == ImageOk && out.Flush() != 0) code = ImageCannotCreate;
    out.Close();
    FileCloseRaw(file);
    return code;
}

int ImageFile::SaveA(const char* name, const BYTE* pixels, int width, int height, int depth, int pitch,
                     const LOGPALETTE* palette, const BYTE* alpha, int alphaPitch) {
    const WideName wide(name);
    return Save(wide.get(), pixels, width, height, depth, pitch, palette, alpha, alphaPitch);
}

int ImageFile::BeginSaveAnimation(COutputFile* stream, const int* values) {
    if (!filter) return ImageNoReadFormat;
    if (!stream) return ImageNoName;
    if (!filter->CanSaveAnimation()) return ImageNotSupported;
    if (output) return ImageInputAttached;
    if (const int code = filter->BeginSaveAnimation(stream, values)) return code;
    output = stream;
    ownsOutput = 0;
    return ImageOk;
}

int ImageFile::BeginSaveAnimationFile(const WCHAR* name, const int* values) {
    if (!filter) return ImageNoReadFormat;
    if (!name) return ImageNoName;
    if (!filter->CanSaveAnimation()) return ImageNotSupported;
    auto* stream = new (std::nothrow) COutputBufFile;
    if (!stream) return ImageNoMemory;
    if (stream->Create(name, SaveBufferSize) != 0) {
        delete stream;
        return ImageCannotCreate;
    }
    const int code = BeginSaveAnimation(stream, values);
    if (code != ImageOk) {
        delete stream;
        return code;
    }
    ownsOutput = 1;
    return ImageOk;
}

int ImageFile::BeginSaveAnimationFileA(const char* name, const int* values) {
    const WideName wide(name);
    return BeginSaveAnimationFile(wide.get(), values);
}

int ImageFile::SaveFrame(const BYTE* pixels, int width, int height, int pitch, int depth, const int* values) {
    if (!filter || !output) return ImageNotOpen;
    if (!filter->CanSaveAnimation()) return ImageNotSupported;
    if (!pixels || pitch == 0) return ImageBadArguments;
    if (previousFrame && (width != filter->GetWidth() || height != filter->GetHeight()))
        return ImageSizeDiffers;
    if (!SaveBitOf(depth)) return ImageDepthNotWritable;
    if (filter->GetCurrentFrame() == -1) {
        FreeMemory(&previousFrame);
        previousFrameBytes_ = 0;
    }
    const long long rowBytes = std::llabs(static_cast<long long>(pitch));
    const long long bytes = rowBytes * height;
    // The previous frame is handed over in the layout of the new one: bottom row first for a negative pitch.
    const BYTE* previous = previousFrame;
    if (previous && pitch < 0) previous += (height - 1) * rowBytes;
    const int code = filter->SaveFrame(output, previous, pixels, width, height, pitch, depth, values);
    if (code != ImageOk) return code;
    if (bytes <= 0 || bytes > 0x7FFFFFFF) return ImageBadArguments;
    if (previousFrameBytes_ != bytes) {
        FreeMemory(&previousFrame);
        previousFrameBytes_ = 0;
        if (!AllocMemory(static_cast<std::size_t>(bytes), &previousFrame)) return ImageNoMemory;
        previousFrameBytes_ = static_cast<std::int32_t>(bytes);
    }
    const BYTE* first = pitch < 0 ? pixels - (height - 1) * rowBytes : pixels;
    std::memcpy(previousFrame, first, static_cast<std::size_t>(bytes));
    return ImageOk;
}

int ImageFile::SaveFrameEx(const BYTE* pixels, int width, int height, int pitch, int depth, int value) {
    const int values[6] = {value, 0, 0, 0, 0, 0};
    return SaveFrame(pixels, width, height, pitch, depth, values);
}

void ImageFile::SetOutputParameter(LPARAM value) {
    if (filter) filter->SetOutputParameter(output, value);
}

void ImageFile::SetFilterOption(int option, LPARAM value) {
    if (filter) filter->SetOption(option, value);
}

int ImageFile::GetFilterIndex() {
    return filter && manager ? manager->FindFilterByID(filter->GetFilterID()) : -1;
}

const WCHAR* ImageFile::GetFilterNameW() {
    const int index = GetFilterIndex();
    return index >= 0 ? manager->GetFilterNameW(index) : u"";
}

const char* ImageFile::GetFilterNameA() {
    const int index = GetFilterIndex();
    return index >= 0 ? manager->GetFilterNameA(index) : "";
}

int ImageFile::GetOutputSize() {
    return output ? output->GetSize() : ImageNotOpen;
}

int ImageFile::GetWidth() {
    return filter ? filter->GetWidth() : 0;
}
int ImageFile::GetHeight() {
    return filter ? filter->GetHeight() : 0;
}
int ImageFile::GetDepth() {
    return filter ? filter->GetDepth() : 0;
}
int ImageFile::GetPitch() {
    return filter ? filter->GetPitch() : 0;
}
int ImageFile::GetImageSize() {
    return filter ? filter->GetImageSize() : 0;
}
LOGPALETTE* ImageFile::GetPalette() {
    return filter ? filter->GetPalette() : nullptr;
}
int ImageFile::GetTransparentColor(COLORREF* color) {
    return filter ? filter->GetTransparentColor(color) : 0;
}
int ImageFile::HasAlpha() {
    return filter ? filter->HasAlpha() : 0;
}
int ImageFile::IsAnimation() {
    return filter ? filter->IsAnimation() : 0;
}
int ImageFile::GetFrameCount() {
    return filter ? filter->GetFrameCount() : 0;
}
int ImageFile::GetCurrentFrame() {
    return filter ? filter->GetCurrentFrame() : 0;
}
int ImageFile::GetRect(RECT* rect) {
    if (!filter) return 0;
    filter->GetRect(rect);
    return 1;
}
int ImageFile::GetFrameInfo() {
    return filter ? filter->QueryAnimationC() : 0;
}
int ImageFile::GetSaveDepths() {
    return filter ? filter->GetSaveDepths() : 0;
}
int ImageFile::CanSaveImage() {
    return filter ? filter->CanSaveImage() : 0;
}
