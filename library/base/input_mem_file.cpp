// CInputMemFile: an input stream over a block of memory.
#include "vtrs2/memory.h"
#include "vtrs2/streams.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace win32;

CInputMemFile::CInputMemFile()
    : data_(nullptr), readPointer_(nullptr), position_(0), bytesLeft_(0), ownsData_(0) {}

CInputMemFile::~CInputMemFile() {
    Release();
}

CInputMemFile* NewInputMemFile() {
    return new (std::nothrow) CInputMemFile;
}

void CInputMemFile::Release() {
    if (ownsData_) FreeMemory(&data_);
    data_ = nullptr;
    readPointer_ = nullptr;
    position_ = bytesLeft_ = 0;
    ownsData_ = 0;
}

int CInputMemFile::Attach(const void* data, LONG size) {
    Release();
    // The block stays the caller's; the stream only reads it.
    data_ = static_cast<BYTE*>(const_cast<void*>(data));
    readPointer_ = data_;
    bytesLeft_ = data ? std::max<LONG>(size, 0) : 0;
    return StreamOk;
}

int CInputMemFile::Create(LONG size) {
    if (size < 0) return StreamOutOfMemory;
    BYTE* block = nullptr;
    if (!AllocZeroedMemory(static_cast<std::size_t>(size), &block)) return StreamOutOfMemory;
    Release();
    data_ = block;
    readPointer_ = block;
    bytesLeft_ = size;
    ownsData_ = 1;
    return StreamOk;
}

int CInputMemFile::ReadCounted(void* buffer, LONG size, LONG* count) {
    LONG taken = 0;
    int code = StreamOk;
    if (size < 0 || (size > 0 && bytesLeft_ == 0)) {
        code = StreamEndOfData;
    } else {
        taken = std::min(size, bytesLeft_);
        if (taken) std::memcpy(buffer, readPointer_, static_cast<std::size_t>(taken));
        readPointer_ += taken;
        position_ += taken;
        bytesLeft_ -= taken;
        if (taken < size) code = StreamEndOfData;
    }
    if (count) *count = taken;
    return code;
}

int CInputMemFile::Read(void* buffer, LONG size) {
    return ReadCounted(buffer, size, nullptr);
}

int CInputMemFile::ReadByte(BYTE* value) {
    if (bytesLeft_ <= 0) return StreamEndOfData;
    *value = *readPointer_++;
    ++position_;
    --bytesLeft_;
    return StreamOk;
}

LONG CInputMemFile::GetPosition() {
    return position_;
}

LONG CInputMemFile::GetSize() {
    return position_ + bytesLeft_;
}

LONG CInputMemFile::Seek(LONG offset, int origin) {
    const long long size = GetSize();
    long long target = position_;
    if (origin == SeekFromStart)
        target = offset;
    else if (origin == SeekFromCurrent)
        target = position_ + static_cast<long long>(offset);
    else if (origin == SeekFromEnd)
        target = size + offset;
    target = std::clamp<long long>(target, 0, size);
    readPointer_ = data_ + target;
    position_ = static_cast<LONG>(target);
    bytesLeft_ = static_cast<LONG>(size - target);
    return position_;
}

int CInputMemFile::Attach(HANDLE) {
    return StreamOk;
}

HANDLE CInputMemFile::Detach() {
    return INVALID_HANDLE_VALUE;
}

void* CInputMemFile::ReadAlloc(LONG size) {
    if (size <= 0 || bytesLeft_ < size) return nullptr;
    void* block = const_cast<BYTE*>(readPointer_);
    readPointer_ += size;
    position_ += size;
    bytesLeft_ -= size;
    return block;
}

void CInputMemFile::FreeBuffer(void*) {}

const char* CInputMemFile::GetFileNameA() {
    return nullptr;
}

const WCHAR* CInputMemFile::GetFileNameW() {
    return nullptr;
}
