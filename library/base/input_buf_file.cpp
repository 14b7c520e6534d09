// CInputBufFile: an input stream over a window of a file, read through a 16 KB buffer.
//
// The file's own position is always `position_ + bytesLeft_`: the bytes the buffer still holds have been
// read from the file but not yet handed to the caller.
#include "file_names.h"
#include "vtrs2/memory.h"
#include "vtrs2/raw_files.h"
#include "vtrs2/streams.h"
#include "win32/kernel.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace win32;

CInputBufFile::CInputBufFile()
    : handle_(INVALID_HANDLE_VALUE), position_(0), buffer_(nullptr), readPointer_(nullptr), bytesLeft_(0),
      wideName_(nullptr), ansiName_(nullptr), windowStart_(0), windowLength_(0) {}

CInputBufFile::~CInputBufFile() {
    Release();
    FreeMemory(&buffer_);
}

CInputBufFile* NewInputBufFile() {
    return new (std::nothrow) CInputBufFile;
}

// Lets go of the file: closed when the stream opened it by name.
void CInputBufFile::Release() {
    if (handle_ != INVALID_HANDLE_VALUE && (wideName_ || ansiName_)) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    filenames::Free(wideName_);
    filenames::Free(ansiName_);
    EmptyBuffer();
}

void CInputBufFile::EmptyBuffer() {
    readPointer_ = buffer_;
    bytesLeft_ = 0;
}

LONG CInputBufFile::WindowEnd() {
    if (windowLength_) return windowStart_ + windowLength_;
    // No length: the window runs to the end of the file, as it is now.
    return std::max(windowStart_, FileGetSizeRaw(handle_));
}

LONG CInputBufFile::WindowLeft() {
    return WindowEnd() - (position_ + bytesLeft_);
}

int CInputBufFile::AttachHandleRange(HANDLE file, LONG start, LONG length) {
    Release();
    if (start < 0 || length < 0 || length > 0x7FFFFFFF - start) return StreamReadError;
    windowStart_ = start;
    windowLength_ = length;
    position_ = start;
    if (file == INVALID_HANDLE_VALUE) return StreamOk;
    if (!buffer_ && !AllocMemory(static_cast<std::size_t>(BufferSize), &buffer_)) return StreamOutOfMemory;
    if (FileSeekRaw(file, start) != start) return StreamReadError;
    handle_ = file;
    EmptyBuffer();
    return StreamOk;
}

int CInputBufFile::Attach(HANDLE file) {
    // The window starts where the handle is and runs to the end of the file from there.
    const LONG start = file == INVALID_HANDLE_VALUE ? 0 : FileTellRaw(file);
    const LONG size = file == INVALID_HANDLE_VALUE ? 0 : FileGetSizeRaw(file);
    if (start < 0 || size < 0) return StreamReadError;
    return AttachHandleRange(file, start, std::max<LONG>(0, size - start));
}

// Opens the file by its wide name, or its ANSI name converted, and keeps a copy of the name the caller gave;
// holding a name is what makes the stream close the file it opened.
int CInputBufFile::OpenNamed(const WCHAR* wide, const char* ansi, bool range, LONG start, LONG length) {
    Release();
    WCHAR* converted = ansi ? filenames::WideFromAnsi(ansi) : nullptr;
    const WCHAR* name = ansi ? converted : wide;
    HANDLE file = name ? CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr)
                       : INVALID_HANDLE_VALUE;
    filenames::Free(converted);
    if (file == INVALID_HANDLE_VALUE) return StreamCannotOpen;
    int code = range ? AttachHandleRange(file, start, length) : Attach(file);
    if (code == StreamOk) {
        if (ansi)
            ansiName_ = filenames::CopyAnsi(ansi);
        else
            wideName_ = filenames::CopyWide(wide);
        if (!ansiName_ && !wideName_) code = StreamOutOfMemory;
    }
    if (code != StreamOk) {
        handle_ = INVALID_HANDLE_VALUE;
        CloseHandle(file);
    }
    return code;
}

int CInputBufFile::Open(const WCHAR* name) {
    return OpenNamed(name, nullptr, false, 0, 0);
}

int CInputBufFile::OpenA(const char* name) {
    return OpenNamed(nullptr, name, false, 0, 0);
}

int CInputBufFile::OpenRange(const WCHAR* name, LONG start, LONG length) {
    return OpenNamed(name, nullptr, true, start, length);
}

int CInputBufFile::OpenRangeA(const char* name, LONG start, LONG length) {
    return OpenNamed(nullptr, name, true, start, length);
}

HANDLE CInputBufFile::Detach() {
    HANDLE file = handle_;
    if (file != INVALID_HANDLE_VALUE) FileSeekRaw(file, position_);
    // The caller takes the handle over, so forgetting the names keeps Release from closing it.
    filenames::Free(wideName_);
    filenames::Free(ansiName_);
    handle_ = INVALID_HANDLE_VALUE;
    EmptyBuffer();
    return file;
}

int CInputBufFile::Refill() {
    const LONG left = WindowLeft();
    if (left <= 0) return StreamEndOfData;
    const LONG read = FileReadCountRaw(handle_, buffer_, std::min(left, BufferSize));
    if (read < 0) return StreamReadError;
    readPointer_ = buffer_;
    bytesLeft_ = read;
    return StreamOk;
}

int CInputBufFile::ReadInto(BYTE* out, LONG size, LONG& done) {
    done = 0;
    if (size == 0) return StreamOk;
    if (size < 0) return StreamEndOfData;
    const LONG buffered = std::min(bytesLeft_, size);
    if (buffered) std::memcpy(out, readPointer_, static_cast<std::size_t>(buffered));
    readPointer_ += buffered;
    bytesLeft_ -= buffered;
    position_ += buffered;
    done = buffered;
    // Whole blocks go straight into the caller's memory; the buffer is empty by now.
    while (size - done >= BufferSize) {
        EmptyBuffer();
        const LONG left = WindowLeft();
        if (left <= 0) return StreamEndOfData;
        const LONG read = FileReadCountRaw(handle_, out + done, std::min(left, BufferSize));
        if (read < 0) return StreamReadError;
        position_ += read;
        done += read;
        if (read < BufferSize) return StreamEndOfData;
    }
    const LONG rest = size - done;
    if (rest == 0) return StreamOk;
    if (!buffer_) return StreamDataError;
    if (const int code = Refill()) return code;
    const LONG taken = std::min(bytesLeft_, rest);
    std::memcpy(out + done, readPointer_, static_cast<std::size_t>(taken));
    readPointer_ += taken;
    bytesLeft_ -= taken;
    position_ += taken;
    done += taken;
    return taken < rest ? StreamEndOfData : StreamOk;
}

int CInputBufFile::ReadCounted(void* buffer, LONG size, LONG* count) {
    LONG done = 0;
    const int code = ReadInto(static_cast<BYTE*>(buffer), size, done);
    if (count) *count = done;
    return code;
}

int CInputBufFile::Read(void* buffer, LONG size) {
    return ReadCounted(buffer, size, nullptr);
}

int CInputBufFile::ReadByte(BYTE* value) {
    if (bytesLeft_ <= 0) return Read(value, 1);
    *value = *readPointer_++;
    --bytesLeft_;
    ++position_;
    return StreamOk;
}

LONG CInputBufFile::GetPosition() {
    return position_ - windowStart_;
}

LONG CInputBufFile::GetSize() {
    return WindowEnd() - windowStart_;
}

LONG CInputBufFile::Seek(LONG offset, int origin) {
    long long target = windowStart_;
    if (origin == SeekFromStart) {
        target = static_cast<long long>(windowStart_) + offset;
    } else if (origin == SeekFromEnd) {
        target = static_cast<long long>(WindowEnd()) + offset;
    } else if (origin == SeekFromCurrent) {
        if (offset == 0) return GetPosition();
        const LONG taken = static_cast<LONG>(readPointer_ - buffer_);
        // Within what the buffer holds, only the read pointer moves.
        if ((offset > 0 && offset <= bytesLeft_) ||
            (offset < 0 && -static_cast<long long>(offset) <= taken)) {
            readPointer_ += offset;
            bytesLeft_ -= offset;
            position_ += offset;
            return GetPosition();
        }
        target = static_cast<long long>(position_) + offset;
    }
    EmptyBuffer();
    target = std::clamp<long long>(target, windowStart_, WindowEnd());
    position_ = static_cast<LONG>(target);
    if (handle_ != INVALID_HANDLE_VALUE) FileSeekRaw(handle_, position_);
    return GetPosition();
}

const char* CInputBufFile::GetFileNameA() {
    if (!ansiName_) ansiName_ = filenames::AnsiFromWide(wideName_);
    return ansiName_;
}

const WCHAR* CInputBufFile::GetFileNameW() {
    if (!wideName_) wideName_ = filenames::WideFromAnsi(ansiName_);
    return wideName_;
}
