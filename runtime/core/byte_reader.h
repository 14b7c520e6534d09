// A bounded little-endian reader over bytes already in memory: every read is checked against what is left.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

namespace vtrrt {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

    // Each read returns false, and leaves the value untouched, when too few bytes are left.
    bool U8(std::uint8_t& v) { return Fixed(v, 1); }
    bool U16(std::uint16_t& v) { return Fixed(v, 2); }
    bool U32(std::uint32_t& v) { return Fixed(v, 4); }
    bool I16(std::int16_t& v) {
        std::uint16_t u;
        if (!U16(u)) return false;
        v = static_cast<std::int16_t>(u);
        return true;
    }
    bool I32(std::int32_t& v) {
        std::uint32_t u;
        if (!U32(u)) return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }
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
    template <typename T> bool Fixed(T& v, std::size_t n) {
        if (n > Left()) return false;
        T value = 0;
        for (std::size_t i = 0; i < n; ++i)
            value |= static_cast<T>(static_cast<T>(data_[pos_ + i]) << (8 * i));
        v = value;
        pos_ += n;
        return true;
    }

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
};

} // namespace vtrrt
