#include "archive/DataHeader.hpp"

#include <string>

#include "common/BinaryIo.hpp"

namespace velmar::archive {

void TDataHeader::EncodeTo(std::span<std::uint8_t, kSize> out) const {
    common::BinaryWriter w{std::span<std::uint8_t>(out)};
    w.I32(Kind);
    w.I32(Quantity);
    w.F64(RecordedAt);
    w.Real48(Rms);
    w.Real48(Peak);
    w.Real48(PhaseShift);
    w.Real48(XStart);
    w.Real48(XEnd);
    w.Real48(XStep);
    w.U8(Flags);
    w.I32(Count);
    w.I32(Reserved57);
    w.I16(Reserved61);
    w.Real48(Carried63);
    w.Real48(PhaseShift2);
    w.Real48(Carried75);
}

std::array<std::uint8_t, TDataHeader::kSize> TDataHeader::Encode() const {
    std::array<std::uint8_t, kSize> bytes{};
    EncodeTo(bytes);
    return bytes;
}

TDataHeader TDataHeader::Decode(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kSize) {
        throw common::FormatError("data header: " + std::to_string(bytes.size()) + " bytes instead of 81");
    }
    common::BinaryReader r(bytes.first(kSize));
    TDataHeader h;
    h.Kind = r.I32();
    h.Quantity = r.I32();
    h.RecordedAt = r.F64();
    h.Rms = r.Real48();
    h.Peak = r.Real48();
    h.PhaseShift = r.Real48();
    h.XStart = r.Real48();
    h.XEnd = r.Real48();
    h.XStep = r.Real48();
    h.Flags = r.U8();
    h.Count = r.I32();
    h.Reserved57 = r.I32();
    h.Reserved61 = r.I16();
    h.Carried63 = r.Real48();
    h.PhaseShift2 = r.Real48();
    h.Carried75 = r.Real48();
    return h;
}

}  // namespace velmar::archive
