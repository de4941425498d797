#include "archive/TransformParams.hpp"

#include <cmath>
#include <string>

#include "common/BinaryIo.hpp"

namespace velmar::archive {

void TransformParams::EncodeTo(std::span<std::uint8_t, kSize> out) const {
    common::BinaryWriter w{std::span<std::uint8_t>(out)};
    w.U8(Valid);
    w.I32(TargetKind);
    w.I32(TargetQuantity);
    w.Real48(BeginTime);
    w.Real48(EndTime);
    w.Real48(BeginFreq);
    w.Real48(EndFreq);
    w.Real48(StepFreq);
    w.U8(Polosa);
    w.Real48(MinFreq);
    w.Real48(MaxFreq);
    w.U8(Sposob);
    w.Real48(Usredn);
    w.Real48(MaxOgibFreq);
    w.Real48(BandRatio);
    w.U8(PowType);
    w.U8(CountFreq);
    for (const Band& band : Bands) {
        w.Real48(band.Low);
        w.Real48(band.High);
    }
    w.Bytes(Reserved);
    w.I32(SourceKind);
    w.I32(SourceQuantity);
}

std::array<std::uint8_t, TransformParams::kSize> TransformParams::Encode() const {
    std::array<std::uint8_t, kSize> bytes{};
    EncodeTo(bytes);
    return bytes;
}

TransformParams TransformParams::Decode(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kSize) {
        throw common::FormatError("transform parameters: " + std::to_string(bytes.size()) +
                                  " bytes instead of 341");
    }
    common::BinaryReader r(bytes.first(kSize));
    TransformParams p;
    p.Valid = r.U8();
    p.TargetKind = r.I32();
    p.TargetQuantity = r.I32();
    p.BeginTime = r.Real48();
    p.EndTime = r.Real48();
    p.BeginFreq = r.Real48();
    p.EndFreq = r.Real48();
    p.StepFreq = r.Real48();
    p.Polosa = r.U8();
    p.MinFreq = r.Real48();
    p.MaxFreq = r.Real48();
    p.Sposob = r.U8();
    p.Usredn = r.Real48();
    p.MaxOgibFreq = r.Real48();
    p.BandRatio = r.Real48();
    p.PowType = r.U8();
    p.CountFreq = r.U8();
    for (Band& band : p.Bands) {
        band.Low = r.Real48();
        band.High = r.Real48();
    }
    r.ReadInto(p.Reserved);
    p.SourceKind = r.I32();
    p.SourceQuantity = r.I32();
    return p;
}

namespace {

bool Near(double a, double b) {
    return std::fabs(a - b) <= TransformParams::kRealTolerance;
}

bool BothKind(const TransformParams& a, const TransformParams& b, std::int32_t kind) {
    return a.TargetKind == kind && b.TargetKind == kind;
}

}  // namespace

bool TransformParamsMatch(const TransformParams& own, const TransformParams& candidate) {
    const TransformParams& p = candidate;
    const TransformParams& q = own;
    if (p.Valid != q.Valid) {
        return false;
    }
    if (p.Valid == 0) {
        return true;
    }
    if (p.TargetKind != 0 && q.TargetKind != 0 && p.TargetKind != q.TargetKind) {
        return false;
    }
    if (p.TargetQuantity != 0 && q.TargetQuantity != 0 && p.TargetQuantity != q.TargetQuantity) {
        return false;
    }
    if (BothKind(p, q, 16)) {  // spectrum of a part of the signal
        return Near(p.BeginTime, q.BeginTime) && Near(p.EndTime, q.EndTime) &&
               Near(p.BeginFreq, q.BeginFreq) && Near(p.EndFreq, q.EndFreq) && Near(p.StepFreq, q.StepFreq);
    }
    if (BothKind(p, q, 32)) {  // envelope spectrum
        if (p.Polosa != q.Polosa || !Near(p.MinFreq, q.MinFreq) || !Near(p.MaxFreq, q.MaxFreq) ||
            p.Sposob != q.Sposob) {
            return false;
        }
        return p.Sposob != 0 || (Near(p.Usredn, q.Usredn) && Near(p.MaxOgibFreq, q.MaxOgibFreq));
    }
    if (BothKind(p, q, 256)) {  // power in bands
        if (p.PowType != q.PowType) {
            return false;
        }
        if (p.PowType == 1) {
            if (p.CountFreq != q.CountFreq) {
                return false;
            }
            for (std::size_t k = 0; k < TransformParams::kBandCount; ++k) {
                if (!Near(p.Bands[k].Low, q.Bands[k].Low) || !Near(p.Bands[k].High, q.Bands[k].High)) {
                    return false;
                }
            }
            return true;
        }
        if (p.PowType == 0) {
            // Constant-percentage bands are laid out by the band ratio; the width byte names it.
            return p.Polosa == q.Polosa && Near(p.BandRatio, q.BandRatio);
        }
    }
    return true;
}

}  // namespace velmar::archive
