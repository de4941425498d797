#include "common/BinaryIo.hpp"

#include <algorithm>

namespace velmar::common {

namespace detail {

void ThrowReadPastEnd(std::size_t position, std::size_t wanted, std::size_t size) {
    throw FormatError("read of " + std::to_string(wanted) + " bytes at " + std::to_string(position) +
                      " passes the end of " + std::to_string(size) + " bytes");
}

void ThrowWritePastEnd(std::size_t position, std::size_t wanted, std::size_t size) {
    throw FormatError("write of " + std::to_string(wanted) + " bytes at " + std::to_string(position) +
                      " passes the end of " + std::to_string(size) + " bytes");
}

void ThrowSeekPastEnd(std::size_t position, std::size_t size) {
    throw FormatError("position " + std::to_string(position) + " is past the end of " + std::to_string(size) +
                      " bytes");
}

}  // namespace detail

std::string BinaryReader::Text(std::size_t size) {
    const auto field = Bytes(size);
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

std::string BinaryReader::PascalText(std::size_t maxLength) {
    if (maxLength > 255) {
        throw FormatError("a short string holds at most 255 characters");
    }
    // Checked as a whole first, so a short field leaves the position where it was.
    if (maxLength + 1 > Remaining()) {
        detail::ThrowReadPastEnd(position_, maxLength + 1, data_.size());
    }
    const std::size_t length = std::min<std::size_t>(U8(), maxLength);
    const auto field = Bytes(maxLength);
    return std::string(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(length));
}

void BinaryWriter::FixedText(std::string_view text, std::size_t size) {
    std::uint8_t* p = Place(size);
    const std::size_t kept = std::min(text.size(), size);
    if (kept != 0) {
        std::memcpy(p, text.data(), kept);
    }
    if (size > kept) {
        std::memset(p + kept, 0, size - kept);
    }
}

void BinaryWriter::PascalText(std::string_view text, std::size_t maxLength) {
    if (maxLength > 255) {
        throw FormatError("a short string holds at most 255 characters");
    }
    std::uint8_t* p = Place(maxLength + 1);
    const std::size_t kept = std::min(text.size(), maxLength);
    p[0] = static_cast<std::uint8_t>(kept);
    if (kept != 0) {
        std::memcpy(p + 1, text.data(), kept);
    }
    if (maxLength > kept) {
        std::memset(p + 1 + kept, 0, maxLength - kept);
    }
}

}  // namespace velmar::common
