// COutputMemFile: an output stream into a growing buffer of its own or into a caller's buffer.
#include "vtrs2/memory.h"
#include "vtrs2/streams.h"

#include <algorithm>
#include <climits>
#include <cstring>

using namespace win32;

COutputMemFile::COutputMemFile()
    : buffer_(nullptr), writePointer_(nullptr), capacity_(0), size_(0), growthStep_(DefaultGrowthStep),
      ownsBuffer_(1) {}

COutputMemFile::~COutputMemFile() {
    Release();
}

void COutputMemFile::Release() {
    if (ownsBuffer_) FreeMemory(&buffer_);
    buffer_ = writePointer_ = nullptr;
    capacity_ = size_ = 0;
}

int COutputMemFile::Create(LONG capacity) {
    if (capacity < 0) return StreamOutOfMemory;
    BYTE* block = nullptr;
    if (capacity && !AllocMemory(static_cast<std::size_t>(capacity), &block)) return StreamOutOfMemory;
    Release();
    buffer_ = writePointer_ = block;
    capacity_ = capacity;
    // A step of 0 would never let the buffer grow.
    growthStep_ = capacity ? capacity : DefaultGrowthStep;
    ownsBuffer_ = 1;
    return StreamOk;
}

int COutputMemFile::Attach(void* buffer, LONG capacity) {
    Release();
    buffer_ = writePointer_ = static_cast<BYTE*>(buffer);
    capacity_ = buffer ? std::max<LONG>(capacity, 0) : 0;
    growthStep_ = capacity_ ? capacity_ : DefaultGrowthStep;
    ownsBuffer_ = 0;
    return StreamOk;
}

void* COutputMemFile::DetachBuffer() {
    if (ownsBuffer_ && size_ > 0 && size_ < capacity_)
        ReallocMemory(static_cast<std::size_t>(size_), &buffer_);
    void* buffer = buffer_;
    buffer_ = writePointer_ = nullptr;
    capacity_ = size_ = 0;
    return buffer;
}

BYTE* COutputMemFile::FixedRoom(LONG* room) {
    if (ownsBuffer_ || !buffer_ || !room) return nullptr;
    *room = capacity_ - static_cast<LONG>(writePointer_ - buffer_);
    return writePointer_;
}

void COutputMemFile::Advance(LONG bytes) {
    const long long offset = writePointer_ - buffer_;
    writePointer_ = buffer_ + std::clamp<long long>(offset + std::max<LONG>(bytes, 0), offset, capacity_);
    size_ = std::max(size_, static_cast<LONG>(writePointer_ - buffer_));
}

int COutputMemFile::Write(const void* data, LONG size) {
    if (size < 0) return StreamWriteError;
    if (size == 0) return StreamOk;
    const long long offset = writePointer_ - buffer_;
    const long long needed = offset + size;
    if (needed > capacity_) {
        if (!ownsBuffer_) return StreamBufferFull;
        const long long grown = (needed + growthStep_ - 1) / growthStep_ * growthStep_;
        if (grown > LONG_MAX) return StreamOutOfMemory;
        BYTE* block = buffer_;
        if (!ReallocMemory(static_cast<std::size_t>(grown), &block)) return StreamOutOfMemory;
        buffer_ = block;
        writePointer_ = block + offset;
        capacity_ = static_cast<LONG>(grown);
    }
    std::memcpy(writePointer_, data, static_cast<std::size_t>(size));
    writePointer_ += size;
    size_ = std::max(size_, static_cast<LONG>(needed));
    return StreamOk;
}

int COutputMemFile::Flush() {
    return StreamOk;
}

LONG COutputMemFile::GetSize() {
    return size_;
}

LONG COutputMemFile::GetPosition() {
    return static_cast<LONG>(writePointer_ - buffer_);
}

LONG COutputMemFile::Seek(LONG offset, int origin) {
    long long target = GetPosition();
    if (origin == SeekFromStart)
        target = offset;
    else if (origin == SeekFromCurrent)
        target += offset;
    else if (origin == SeekFromEnd)
        target = static_cast<long long>(size_) + offset;
    target = std::clamp<long long>(target, 0, size_);
    writePointer_ = buffer_ + target;
    return static_cast<LONG>(target);
}

const char* COutputMemFile::GetFileNameA() {
    return nullptr;
}

const WCHAR* COutputMemFile::GetFileNameW() {
    return nullptr;
}
