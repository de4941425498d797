#pragma once

// Bounded little-endian access to the bytes of files and wire frames.
//
// A reader never touches a byte outside its span: every read first checks that the bytes are there and
// otherwise throws FormatError without moving. A writer either appends to a vector or fills a fixed span and
// then refuses (FormatError) to write past its end. Values are little-endian whatever the host.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "common/Errors.hpp"
#include "common/Real48.hpp"

namespace velmar::common {

namespace detail {

[[noreturn]] void ThrowReadPastEnd(std::size_t position, std::size_t wanted, std::size_t size);
[[noreturn]] void ThrowWritePastEnd(std::size_t position, std::size_t wanted, std::size_t size);
[[noreturn]] void ThrowSeekPastEnd(std::size_t position, std::size_t size);

template <typename T>
constexpr T ByteSwap(T value) noexcept {
    static_assert(std::is_unsigned_v<T>);
    if constexpr (sizeof(T) == 1) {
        return value;
    } else {
        T result = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            result = static_cast<T>((result << 8) | ((value >> (8 * i)) & 0xFF));
        }
        return result;
    }
}

template <typename U>
U LoadLittle(const std::uint8_t* p) noexcept {
    U value;
    std::memcpy(&value, p, sizeof value);
    if constexpr (std::endian::native == std::endian::big) {
        value = ByteSwap(value);
    }
    return value;
}

template <typename U>
void StoreLittle(std::uint8_t* p, U value) noexcept {
    if constexpr (std::endian::native == std::endian::big) {
        value = ByteSwap(value);
    }
    std::memcpy(p, &value, sizeof value);
}

}  // namespace detail

class BinaryReader {
  public:
    explicit BinaryReader(std::span<const std::uint8_t> data) noexcept : data_(data) {}
    explicit BinaryReader(std::string_view data) noexcept
        : data_(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()) {}

    std::size_t Position() const noexcept { return position_; }
    std::size_t Size() const noexcept { return data_.size(); }
    std::size_t Remaining() const noexcept { return data_.size() - position_; }
    bool AtEnd() const noexcept { return position_ == data_.size(); }

    // Any position from 0 to Size() inclusive.
    void Seek(std::size_t position) {
        if (position > data_.size()) {
            detail::ThrowSeekPastEnd(position, data_.size());
        }
        position_ = position;
    }
    void Skip(std::size_t count) { Take(count); }

    std::uint8_t U8() { return *Take(1); }
    std::int8_t I8() { return static_cast<std::int8_t>(U8()); }
    std::uint16_t U16() { return detail::LoadLittle<std::uint16_t>(Take(2)); }
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    std::uint32_t U32() { return detail::LoadLittle<std::uint32_t>(Take(4)); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    std::uint64_t U64() { return detail::LoadLittle<std::uint64_t>(Take(8)); }
    std::int64_t I64() { return static_cast<std::int64_t>(U64()); }
    float F32() { return std::bit_cast<float>(U32()); }
    double F64() { return std::bit_cast<double>(U64()); }
    double Real48() { return Real48ToDouble(Take(6)); }

    // The next `count` bytes, without copying; valid as long as the underlying buffer.
    std::span<const std::uint8_t> Bytes(std::size_t count) { return {Take(count), count}; }
    // Fills `out` with the next out.size() bytes.
    void ReadInto(std::span<std::uint8_t> out) {
        const std::uint8_t* p = Take(out.size());
        if (!out.empty()) {
            std::memcpy(out.data(), p, out.size());
        }
    }

    // A fixed field of `size` bytes holding a text that ends at the first zero byte or fills the field. The
    // whole field is consumed; the text's bytes are returned as they are (no code page conversion).
    std::string Text(std::size_t size);

    // A short string of `maxLength` characters: a length byte, then `maxLength` bytes of which the first
    // `length` count. The whole field (1 + maxLength bytes) is consumed. A length byte above maxLength,
    // which only a damaged file holds, is cut to maxLength so that the text never reaches past its field.
    std::string PascalText(std::size_t maxLength);

    // `out.size()` little-endian int16 values: the bulk path for channel samples.
    void ReadI16Array(std::span<std::int16_t> out) {
        const std::uint8_t* p = Take(CheckedBytes(out.size(), sizeof(std::int16_t)));
        if constexpr (std::endian::native == std::endian::little) {
            if (!out.empty()) {
                std::memcpy(out.data(), p, out.size() * sizeof(std::int16_t));
            }
        } else {
            for (std::size_t i = 0; i < out.size(); ++i) {
                out[i] = static_cast<std::int16_t>(detail::LoadLittle<std::uint16_t>(p + 2 * i));
            }
        }
    }

  private:
    const std::uint8_t* Take(std::size_t count) {
        if (count > data_.size() - position_) {
            detail::ThrowReadPastEnd(position_, count, data_.size());
        }
        const std::uint8_t* p = data_.data() + position_;
        position_ += count;
        return p;
    }

    std::size_t CheckedBytes(std::size_t count, std::size_t elementSize) const {
        if (count > Remaining() / elementSize) {
            detail::ThrowReadPastEnd(position_, count * elementSize, data_.size());
        }
        return count * elementSize;
    }

    std::span<const std::uint8_t> data_;
    std::size_t position_ = 0;
};

class BinaryWriter {
  public:
    // Writes at the end of `out` (and over its bytes after a Seek back); the vector grows as needed and must
    // outlive the writer.
    explicit BinaryWriter(std::vector<std::uint8_t>& out) noexcept : vector_(&out), position_(out.size()) {}
    // Writes into `target` from `offset`; nothing is ever written outside `target`.
    explicit BinaryWriter(std::span<std::uint8_t> target, std::size_t offset = 0) : fixed_(target) {
        Seek(offset);
    }

    std::size_t Position() const noexcept { return position_; }
    std::size_t Size() const noexcept { return vector_ ? vector_->size() : fixed_.size(); }

    // Any position from 0 to Size() inclusive.
    void Seek(std::size_t position) {
        if (position > Size()) {
            detail::ThrowSeekPastEnd(position, Size());
        }
        position_ = position;
    }

    void U8(std::uint8_t v) { *Place(1) = v; }
    void I8(std::int8_t v) { U8(static_cast<std::uint8_t>(v)); }
    void U16(std::uint16_t v) { detail::StoreLittle(Place(2), v); }
    void I16(std::int16_t v) { U16(static_cast<std::uint16_t>(v)); }
    void U32(std::uint32_t v) { detail::StoreLittle(Place(4), v); }
    void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
    void U64(std::uint64_t v) { detail::StoreLittle(Place(8), v); }
    void I64(std::int64_t v) { U64(static_cast<std::uint64_t>(v)); }
    void F32(float v) { U32(std::bit_cast<std::uint32_t>(v)); }
    void F64(double v) { U64(std::bit_cast<std::uint64_t>(v)); }
    void Real48(double v) { DoubleToReal48(v, Place(6)); }

    void Bytes(std::span<const std::uint8_t> bytes) {
        std::uint8_t* p = Place(bytes.size());
        if (!bytes.empty()) {
            std::memcpy(p, bytes.data(), bytes.size());
        }
    }
    void Zeros(std::size_t count) {
        std::uint8_t* p = Place(count);
        if (count != 0) {
            std::memset(p, 0, count);
        }
    }

    // A field of exactly `size` bytes: the text cut to `size` bytes, then zeros. A text that fills the field
    // has no terminator, as readers of such fields expect.
    void FixedText(std::string_view text, std::size_t size);

    // A short string of `maxLength` characters (1 + maxLength bytes): the length byte, the text cut to
    // maxLength bytes, then zeros. maxLength must not exceed 255.
    void PascalText(std::string_view text, std::size_t maxLength);

    void WriteI16Array(std::span<const std::int16_t> values) {
        if (values.size() > (SIZE_MAX / sizeof(std::int16_t))) {
            detail::ThrowWritePastEnd(position_, SIZE_MAX, Size());
        }
        std::uint8_t* p = Place(values.size() * sizeof(std::int16_t));
        if constexpr (std::endian::native == std::endian::little) {
            if (!values.empty()) {
                std::memcpy(p, values.data(), values.size() * sizeof(std::int16_t));
            }
        } else {
            for (std::size_t i = 0; i < values.size(); ++i) {
                detail::StoreLittle(p + 2 * i, static_cast<std::uint16_t>(values[i]));
            }
        }
    }

  private:
    std::uint8_t* Place(std::size_t count) {
        if (vector_) {
            if (count > vector_->size() - position_) {
                vector_->resize(position_ + count);
            }
            std::uint8_t* p = vector_->data() + position_;
            position_ += count;
            return p;
        }
        if (count > fixed_.size() - position_) {
            detail::ThrowWritePastEnd(position_, count, fixed_.size());
        }
        std::uint8_t* p = fixed_.data() + position_;
        position_ += count;
        return p;
    }

    std::vector<std::uint8_t>* vector_ = nullptr;
    std::span<std::uint8_t> fixed_;
    std::size_t position_ = 0;
};

}  // namespace velmar::common
