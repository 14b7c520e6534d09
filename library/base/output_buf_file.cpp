// COutputBufFile: an output stream into a file, buffered while it appends.
#include "file_names.h"
#include "vtrs2/memory.h"
#include "vtrs2/raw_files.h"
#include "vtrs2/streams.h"
#include "win32/kernel.h"

#include <algorithm>
#include <cstring>

using namespace win32;

COutputBufFile::COutputBufFile()
    : handle_(INVALID_HANDLE_VALUE), wideName_(nullptr), buffer_(nullptr), writePointer_(nullptr),
      bytesInBuffer_(0), bufferSize_(0), buffering_(1), ansiName_(nullptr) {}

COutputBufFile::~COutputBufFile() {
    Close();
}

int COutputBufFile::Close() {
    const int code = Flush();
    if (handle_ != INVALID_HANDLE_VALUE && (wideName_ || ansiName_)) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    filenames::Free(wideName_);
    filenames::Free(ansiName_);
    FreeMemory(&buffer_);
    writePointer_ = nullptr;
    bytesInBuffer_ = bufferSize_ = 0;
    buffering_ = 1;
    return code;
}

// A buffer of that size, or writing straight through when there is none: a 0-byte buffer could never be
// emptied into the file.
void COutputBufFile::SetUpBuffer(LONG bufferSize) {
    if (bufferSize > 0 && AllocMemory(static_cast<std::size_t>(bufferSize), &buffer_)) {
        bufferSize_ = bufferSize;
        buffering_ = 1;
    } else {
        bufferSize_ = 0;
        buffering_ = 0;
    }
    writePointer_ = buffer_;
    bytesInBuffer_ = 0;
}

int COutputBufFile::AttachHandle(HANDLE file, LONG bufferSize) {
    Close();
    handle_ = file;
    SetUpBuffer(bufferSize);
    return StreamOk;
}

int COutputBufFile::Create(const WCHAR* name, LONG bufferSize) {
    Close();
    HANDLE file = FileCreateRaw(name);
    if (file == INVALID_HANDLE_VALUE) return StreamCannotCreate;
    // Holding the name is what makes the stream close the file it created.
    wideName_ = filenames::CopyWide(name);
    if (!wideName_) {
        CloseHandle(file);
        return StreamOutOfMemory;
    }
    handle_ = file;
    SetUpBuffer(bufferSize);
    return StreamOk;
}

int COutputBufFile::CreateA(const char* name, LONG bufferSize) {
    Close();
    HANDLE file = FileCreateRawA(name);
    if (file == INVALID_HANDLE_VALUE) return StreamCannotCreate;
    ansiName_ = filenames::CopyAnsi(name);
    if (!ansiName_) {
        CloseHandle(file);
        return StreamOutOfMemory;
    }
    handle_ = file;
    SetUpBuffer(bufferSize);
    return StreamOk;
}

int COutputBufFile::WriteThrough(const void* data, LONG size) {
    return FileWriteRaw(handle_, data, size);
}

int COutputBufFile::Write(const void* data, LONG size) {
    if (size < 0) return StreamWriteError;
    if (!buffering_ || !buffer_) return WriteThrough(data, size);
    const BYTE* bytes = static_cast<const BYTE*>(data);
    while (bytesInBuffer_ + static_cast<long long>(size) > bufferSize_) {
        const LONG room = bufferSize_ - bytesInBuffer_;
        std::memcpy(writePointer_, bytes, static_cast<std::size_t>(room));
        writePointer_ += room;
        bytesInBuffer_ += room;
        bytes += room;
        size -= room;
        if (const int code = Flush()) return code;
    }
    if (size) std::memcpy(writePointer_, bytes, static_cast<std::size_t>(size));
    writePointer_ += size;
    bytesInBuffer_ += size;
    return StreamOk;
}

int COutputBufFile::Flush() {
    if (!buffering_ || bytesInBuffer_ == 0) return StreamOk;
    const int code = WriteThrough(buffer_, bytesInBuffer_);
    // What could not be written stays in the buffer, so a later Flush can try again.
    if (code == StreamOk) {
        writePointer_ = buffer_;
        bytesInBuffer_ = 0;
    }
    return code;
}

LONG COutputBufFile::GetPosition() {
    const LONG position = FileTellRaw(handle_);
    return position < 0 ? -1 : position + bytesInBuffer_;
}

LONG COutputBufFile::GetSize() {
    const LONG size = FileGetSizeRaw(handle_);
    return size < 0 ? -1 : size + bytesInBuffer_;
}

LONG COutputBufFile::Seek(LONG offset, int origin) {
    long long target = GetPosition();
    if (origin == SeekFromStart)
        target = offset;
    else if (origin == SeekFromCurrent)
        target += offset;
    else if (origin == SeekFromEnd)
        target = static_cast<long long>(GetSize()) + offset;
    target = std::max<long long>(target, 0);
    const LONG size = GetSize();
    if (target < size) {
        // Going back into the file: what is buffered belongs at the end and must be written first.
        if (Flush() != StreamOk) return -1;
        buffering_ = 0;
        return FileSeekRaw(handle_, static_cast<LONG>(target));
    }
    buffering_ = buffer_ ? 1 : 0;
    FileSeekEndRaw(handle_, 0);
    return size;
}

const char* COutputBufFile::GetFileNameA() {
    if (!ansiName_) ansiName_ = filenames::AnsiFromWide(wideName_);
    return ansiName_;
}

const WCHAR* COutputBufFile::GetFileNameW() {
    if (!wideName_) wideName_ = filenames::WideFromAnsi(ansiName_);
    return wideName_;
}
