// The data format's one little-endian reader and writer: unchecked loads for bytes a caller has bounded, a
// bounded reader over bytes in memory, and a growable buffer that lays out every stored field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace vtrformat {

// A field of type T at `p`; the caller has checked that sizeof(T) bytes are there.
template <typename T> T LoadLE(const std::uint8_t* p) {
    static_assert(std::is_integral_v<T>);
    using U = std::make_unsigned_t<T>;
    U value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value = static_cast<U>(value | static_cast<U>(static_cast<U>(p[i]) << (8 * i)));
    return static_cast<T>(value);
}

template <typename T> void StoreLE(std::uint8_t* p, T v) {
    static_assert(std::is_integral_v<T>);
    const auto u = static_cast<std::make_unsigned_t<T>>(v);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

inline std::int16_t GetI16(const std::uint8_t* p) {
    return LoadLE<std::int16_t>(p);
}
inline std::uint16_t GetU16(const std::uint8_t* p) {
    return LoadLE<std::uint16_t>(p);
}
inline std::int32_t GetI32(const std::uint8_t* p) {
    return LoadLE<std::int32_t>(p);
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
    return LoadLE<std::uint32_t>(p);
}
inline void PutU16(std::uint8_t* p, std::uint16_t v) {
    StoreLE(p, v);
}
inline void PutI16(std::uint8_t* p, std::int16_t v) {
    StoreLE(p, v);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
    StoreLE(p, v);
}
inline void PutI32(std::uint8_t* p, std::int32_t v) {
    StoreLE(p, v);
}

// A field of type T at `offset` of `bytes`; false, and `v` untouched, when it does not fit.
template <typename T> bool ReadAt(std::span<const std::uint8_t> bytes, std::size_t offset, T& v) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
    v = LoadLE<T>(bytes.data() + offset);
    return true;
}

// A field of type T at `offset` of `bytes`, or `otherwise` when it does not fit.
template <typename T> T FieldAt(std::span<const std::uint8_t> bytes, std::size_t offset, T otherwise = T{}) {
    T v = otherwise;
    ReadAt(bytes, offset, v);
    return v;
}

// A field of type T read whole through `read(bytes, count)`, which returns 0 or an error code (a file or a
// stream); the code is passed on and `v` is untouched on failure.
template <typename T, typename Read> int ReadFieldFrom(Read&& read, T& v) {
    std::uint8_t bytes[sizeof(T)];
    if (int code = read(bytes, sizeof(T))) return code;
    v = LoadLE<T>(bytes);
    return 0;
}

// A bounded reader over bytes already in memory: every read is checked against what is left.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

    // Each read returns false, and leaves the value untouched, when too few bytes are left.
    bool U8(std::uint8_t& v) { return Fixed(v); }
    bool U16(std::uint16_t& v) { return Fixed(v); }
    bool U32(std::uint32_t& v) { return Fixed(v); }
    bool U64(std::uint64_t& v) { return Fixed(v); }
    bool I8(std::int8_t& v) { return Fixed(v); }
    bool I16(std::int16_t& v) { return Fixed(v); }
    bool I32(std::int32_t& v) { return Fixed(v); }
    bool Skip(std::size_t n) {
        if (n > Left()) return false;
        pos_ += n;
        return true;
    }
    bool Take(std::size_t n, std::span<const std::uint8_t>& out) {
        if (n > Left()) return false;
        out = data_.subspan(pos_, n);
        pos_ += n;
        return true;
    }
    bool Seek(std::size_t pos) {
        if (pos > data_.size()) return false;
        pos_ = pos;
        return true;
    }
    std::size_t Position() const { return pos_; }
    std::size_t Left() const { return data_.size() - pos_; }

private:
    template <typename T> bool Fixed(T& v) {
        if (!ReadAt(data_, pos_, v)) return false;
        pos_ += sizeof(T);
        return true;
    }

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

// A growable little-endian byte buffer.
class ByteWriter {
public:
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U16(std::uint16_t v) { Fixed(v); }
    void U32(std::uint32_t v) { Fixed(v); }
    void I16(std::int16_t v) { Fixed(v); }
    void I32(std::int32_t v) { Fixed(v); }
    void Bytes(std::span<const std::uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
    void Units(std::u16string_view text) {
        for (char16_t c : text)
            U16(c);
    }
    // Overwrites a field written earlier (sizes known only later); false when it is not all there.
    bool PatchU16(std::size_t offset, std::uint16_t v) { return Patch(offset, v); }
    bool PatchU32(std::size_t offset, std::uint32_t v) { return Patch(offset, v); }
    std::size_t Size() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& Data() const { return bytes_; }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    template <typename T> void Fixed(T v) {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + sizeof(T));
        StoreLE(bytes_.data() + at, v);
    }
    template <typename T> bool Patch(std::size_t offset, T v) {
        if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) return false;
        StoreLE(bytes_.data() + offset, v);
        return true;
    }

    std::vector<std::uint8_t> bytes_;
};

// Writes a field of type T at `offset` of `bytes`, growing them with zeros as needed.
template <typename T> void PutAt(std::vector<std::uint8_t>& bytes, std::size_t offset, T v) {
    if (bytes.size() < offset + sizeof(T)) bytes.resize(offset + sizeof(T), 0);
    StoreLE(bytes.data() + offset, v);
}

} // namespace vtrformat
