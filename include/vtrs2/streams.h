// The library's input and output streams over files and memory, and the result codes every stream and
// raw file function reports.
#pragma once

#include "vtrs2/export.h"

#include "win32/types.h"

// Result codes: 0 is success, everything else one of these.
constexpr int StreamOk = 0;
constexpr int StreamOutOfMemory = 0x40000000;
constexpr int StreamReadError = 0x40000001;
// Fewer bytes than asked for were there.
constexpr int StreamEndOfData = 0x40000002;
constexpr int StreamWriteError = 0x40000003;
// The disk is full, or fewer bytes were written than asked for.
constexpr int StreamDiskFull = 0x40000004;
constexpr int StreamCannotOpen = 0x40000005;
constexpr int StreamCannotCreate = 0x40000006;
// A memory output stream over a caller's buffer has no room left.
constexpr int StreamBufferFull = 0x40000007;
// Corrupt compressed data, or a buffered read without a buffer.
constexpr int StreamDataError = 0x40000009;

// Seek origins.
constexpr int SeekFromStart = 0;
constexpr int SeekFromCurrent = 1;
constexpr int SeekFromEnd = 2;

// An input stream. Positions and sizes are signed 32-bit byte counts. A read that fails returns its code and
// leaves the value it would have produced unset; a read that runs out hands over what there was.
class VTRS2_API CInputFile {
public:
    CInputFile();
    virtual ~CInputFile();
    CInputFile(const CInputFile&) = delete;
    CInputFile& operator=(const CInputFile&) = delete;

    // Destroys and frees a stream made on the heap (NewInputBufFile, NewInputMemFile).
    virtual void Delete();
    // `count` receives the bytes handed over, also when the read fails.
    virtual int ReadCounted(void* buffer, win32::LONG size, win32::LONG* count) = 0;
    virtual int Read(void* buffer, win32::LONG size) = 0;
    virtual int ReadByte(win32::BYTE* value) = 0;
    // Little-endian unless named BE.
    virtual int ReadWord(win32::WORD* value);
    virtual int ReadLong(win32::DWORD* value);
    virtual int ReadWordBE(win32::WORD* value);
    virtual int ReadLongBE(win32::DWORD* value);
    virtual int ReadInt(win32::LONG* value);
    virtual int ReadIntBE(win32::LONG* value);
    virtual int ReadWords(win32::WORD* values, win32::LONG count);
    virtual int ReadLongs(win32::DWORD* values, win32::LONG count);
    virtual int ReadInts(win32::LONG* values, win32::LONG count);
    virtual int ReadWordsBE(win32::WORD* values, win32::LONG count);
    virtual int ReadLongsBE(win32::DWORD* values, win32::LONG count);
    virtual int ReadIntsBE(win32::LONG* values, win32::LONG count);
    virtual win32::LONG GetPosition() = 0;
    virtual win32::LONG GetSize() = 0;
    // Returns the new position; the target is kept inside the stream.
    virtual win32::LONG Seek(win32::LONG offset, int origin) = 0;
    virtual int Attach(win32::HANDLE file) = 0;
    virtual win32::HANDLE Detach() = 0;
    // A block holding the next `size` bytes, or null; give it back with FreeBuffer.
    virtual void* ReadAlloc(win32::LONG size);
    virtual void FreeBuffer(void* block);
    virtual const char* GetFileNameA() = 0;
    virtual const win32::WCHAR* GetFileNameW() = 0;
};

// An input stream over a window of a file, read through a 16 KB buffer. Positions are relative to the
// window's start; a window of length 0 runs to the end of the file.
class VTRS2_API CInputBufFile : public CInputFile {
public:
    static constexpr win32::LONG BufferSize = 16384;

    CInputBufFile();
    ~CInputBufFile() override;

    // Opens an existing file for reading (StreamCannotOpen when it cannot be).
    int Open(const win32::WCHAR* name);
    int OpenA(const char* name);
    int OpenRange(const win32::WCHAR* name, win32::LONG start, win32::LONG length);
    int OpenRangeA(const char* name, win32::LONG start, win32::LONG length);
    // Reads the window of a caller's handle, which the stream does not close.
    int AttachHandleRange(win32::HANDLE file, win32::LONG start, win32::LONG length);

    int ReadCounted(void* buffer, win32::LONG size, win32::LONG* count) override;
    int Read(void* buffer, win32::LONG size) override;
    int ReadByte(win32::BYTE* value) override;
    win32::LONG GetPosition() override;
    win32::LONG GetSize() override;
    win32::LONG Seek(win32::LONG offset, int origin) override;
    // Reads from the handle's current position to the end of the file.
    int Attach(win32::HANDLE file) override;
    // Hands the handle back, positioned at the stream's position.
    win32::HANDLE Detach() override;
    const char* GetFileNameA() override;
    const win32::WCHAR* GetFileNameW() override;

private:
    int OpenNamed(const win32::WCHAR* wide, const char* ansi, bool range, win32::LONG start,
                  win32::LONG length);
    void Release();
    void EmptyBuffer();
    win32::LONG WindowEnd();
    win32::LONG WindowLeft();
    int ReadInto(win32::BYTE* out, win32::LONG size, win32::LONG& done);
    int Refill();

    win32::HANDLE handle_;
    win32::LONG position_;
    win32::BYTE* buffer_;
    win32::BYTE* readPointer_;
    win32::LONG bytesLeft_;
    win32::WCHAR* wideName_;
    char* ansiName_;
    win32::LONG windowStart_;
    win32::LONG windowLength_;
};

// An input stream over a block of memory, the caller's or its own.
class VTRS2_API CInputMemFile : public CInputFile {
public:
    CInputMemFile();
    ~CInputMemFile() override;

    // Reads the caller's block, which the stream does not own.
    int Attach(const void* data, win32::LONG size);
    // The stream owns a new zeroed block of `size` bytes.
    int Create(win32::LONG size);

    int ReadCounted(void* buffer, win32::LONG size, win32::LONG* count) override;
    int Read(void* buffer, win32::LONG size) override;
    int ReadByte(win32::BYTE* value) override;
    win32::LONG GetPosition() override;
    win32::LONG GetSize() override;
    win32::LONG Seek(win32::LONG offset, int origin) override;
    int Attach(win32::HANDLE file) override;
    win32::HANDLE Detach() override;
    // A pointer into the data itself; FreeBuffer does nothing with it.
    void* ReadAlloc(win32::LONG size) override;
    void FreeBuffer(void* block) override;
    const char* GetFileNameA() override;
    const win32::WCHAR* GetFileNameW() override;

private:
    void Release();

    win32::BYTE* data_;
    const win32::BYTE* readPointer_;
    win32::LONG position_;
    win32::LONG bytesLeft_;
    win32::LONG ownsData_;
};

// Heap streams, freed with Delete; null when memory runs out.
VTRS2_API CInputBufFile* NewInputBufFile();
VTRS2_API CInputMemFile* NewInputMemFile();

// An output stream.
class VTRS2_API COutputFile {
public:
    COutputFile();
    virtual ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    virtual int Write(const void* data, win32::LONG size) = 0;
    virtual int Flush() = 0;
    virtual win32::LONG GetSize() = 0;
    virtual win32::LONG GetPosition() = 0;
    // Returns the new position, or -1 when data held back could not be written first.
    virtual win32::LONG Seek(win32::LONG offset, int origin) = 0;
    virtual const char* GetFileNameA() = 0;
    virtual const win32::WCHAR* GetFileNameW() = 0;

    // Little-endian unless named BE.
    int WriteLong(const win32::DWORD* value);
    int WriteLong(const win32::LONG* value);
    int WriteWord(const win32::WORD* value);
    int WriteLongBE(const win32::DWORD* value);
    int WriteWordBE(const win32::WORD* value);
};

// An output stream into a file. Writes are gathered in a buffer while they append to the file and go
// straight to the file after a seek back into it.
class VTRS2_API COutputBufFile : public COutputFile {
public:
    COutputBufFile();
    // Writes what the buffer holds and closes a file the stream created.
    ~COutputBufFile() override;

    // A buffer size of 0 (or a buffer that cannot be had) writes straight through.
    int AttachHandle(win32::HANDLE file, win32::LONG bufferSize);
    // Creates or truncates the file (StreamCannotCreate when it cannot be).
    int Create(const win32::WCHAR* name, win32::LONG bufferSize);
    int CreateA(const char* name, win32::LONG bufferSize);
    // Writes what the buffer holds, closes a file the stream created and lets go of the handle; the code
    // says whether the last write succeeded, which the destructor cannot report.
    int Close();

    int Write(const void* data, win32::LONG size) override;
    int Flush() override;
    win32::LONG GetSize() override;
    win32::LONG GetPosition() override;
    win32::LONG Seek(win32::LONG offset, int origin) override;
    const char* GetFileNameA() override;
    const win32::WCHAR* GetFileNameW() override;

private:
    void SetUpBuffer(win32::LONG bufferSize);
    int WriteThrough(const void* data, win32::LONG size);

    win32::HANDLE handle_;
    win32::WCHAR* wideName_;
    win32::BYTE* buffer_;
    win32::BYTE* writePointer_;
    win32::LONG bytesInBuffer_;
    win32::LONG bufferSize_;
    win32::LONG buffering_;
    char* ansiName_;
};

// An output stream into memory: its own growing buffer, or a caller's buffer of fixed capacity.
class VTRS2_API COutputMemFile : public COutputFile {
public:
    static constexpr win32::LONG DefaultGrowthStep = 512;

    COutputMemFile();
    ~COutputMemFile() override;

    // An owned buffer of that capacity, which then becomes the growth step.
    int Create(win32::LONG capacity);
    // Writes into the caller's buffer; a write past its capacity fails with StreamBufferFull.
    int Attach(void* buffer, win32::LONG capacity);
    // Hands the buffer (shrunk to the data when owned) to the caller; the stream is empty afterwards.
    void* DetachBuffer();
    // Over a caller's buffer: where the next write goes and how many bytes fit there, so that a producer
    // can write in place; null for a buffer of the stream's own, which grows instead. Advance then moves
    // the stream past the bytes written there (never past the capacity).
    win32::BYTE* FixedRoom(win32::LONG* room);
    void Advance(win32::LONG bytes);

    int Write(const void* data, win32::LONG size) override;
    int Flush() override;
    win32::LONG GetSize() override;
    win32::LONG GetPosition() override;
    win32::LONG Seek(win32::LONG offset, int origin) override;
    const char* GetFileNameA() override;
    const win32::WCHAR* GetFileNameW() override;

private:
    void Release();

    win32::BYTE* buffer_;
    win32::BYTE* writePointer_;
    win32::LONG capacity_;
    win32::LONG size_;
    win32::LONG growthStep_;
    win32::LONG ownsBuffer_;
};
