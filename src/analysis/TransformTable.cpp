#include "analysis/TransformTable.hpp"

#include <algorithm>
#include <charconv>
#include <span>
#include <string>
#include <vector>

#include "analysis/Series.hpp"
#include "common/Codepage.hpp"
#include "common/IniFile.hpp"
#include "common/Paths.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::analysis {
namespace {

constexpr std::size_t kChainTextLength = 12;  // characters of a value that are read: four steps of three
constexpr std::size_t kPieceLength = 3;

struct CodeName {
    std::uint32_t code;
    std::string_view name;
};

constexpr CodeName kKindNames[] = {
    {1, "Skz"},  {2, "Sig"},   {4, "Spc"},   {16, "Spf"},  {32, "Spo"},
    {64, "Gar"}, {128, "Kep"}, {256, "Pwb"}, {512, "Env"},
};

// "Nkt" (128) has a code but no place in the quantity table, so no chain can use it.
constexpr CodeName kQuantityNames[] = {
    {1, "Dis"},  {2, "Vel"},   {4, "Acc"},   {16, "Vlt"},   {32, "Amp"},
    {64, "Oms"}, {128, "Nkt"}, {512, "Wat"}, {1024, "Tmp"}, {2048, "Frc"},
};

struct StepName {
    StepCode code;
    std::string_view name;
};

constexpr StepName kStepNames[] = {
    {StepCode::kIntegrate, "Int"}, {StepCode::kDifferentiate, "Dif"}, {StepCode::kFft, "Bpf"},
    {StepCode::kHarmonics, "Gar"}, {StepCode::kPartSpectrum, "Spf"},  {StepCode::kEnvelopeSpectrum, "Spo"},
    {StepCode::kBandPower, "Pwb"},
};

std::string_view FindName(std::span<const CodeName> names, std::uint32_t code) noexcept {
    for (const CodeName& entry : names) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return {};
}

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char ca = a[i], cb = b[i];
        if (ca >= 'a' && ca <= 'z') {
            ca = static_cast<char>(ca - 'a' + 'A');
        }
        if (cb >= 'a' && cb <= 'z') {
            cb = static_cast<char>(cb - 'a' + 'A');
        }
        if (ca != cb) {
            return false;
        }
    }
    return true;
}

std::optional<std::uint32_t> ParseCode(std::span<const CodeName> names, std::string_view text) {
    const std::string trimmed = common::TrimSpaces(text);
    for (const CodeName& entry : names) {
        if (EqualsAsciiNoCase(trimmed, entry.name)) {
            return entry.code;
        }
    }
    std::uint32_t number = 0;
    const char* first = trimmed.data();
    const char* last = first + trimmed.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || trimmed.empty()) {
        return std::nullopt;
    }
    for (const CodeName& entry : names) {
        if (entry.code == number) {
            return number;
        }
    }
    // Kind 8 (power spectrum) has no file code but is a kind all the same.
    if (names.data() == kKindNames && number == common::kKindPowerSpectrum) {
        return number;
    }
    return std::nullopt;
}

// The value cut into characters (UTF-8 sequences), at most `limit` of them.
std::vector<std::string_view> Characters(std::string_view text, std::size_t limit) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < text.size() && out.size() < limit) {
        std::size_t length = 1;
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0xF0) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = 3;
        } else if (lead >= 0xC0) {
            length = 2;
        }
        length = std::min(length, text.size() - i);
        out.push_back(text.substr(i, length));
        i += length;
    }
    return out;
}

}  // namespace

std::size_t TransformTable::Offset(int sk, int sq, int tk, int tq) noexcept {
    return ((((static_cast<std::size_t>(sk) * kQuantityCount + sq) * kKindCount + tk) * kQuantityCount + tq) *
            kStepCount);
}

void TransformTable::Clear() {
    table_.fill(0);
    for (auto& row : kindMatrix_) {
        row.fill(false);
    }
    for (auto& row : quantityMatrix_) {
        row.fill(false);
    }
}

void TransformTable::Load(const common::IniFile& ini) {
    Clear();
    for (int sk = 0; sk < kKindCount; ++sk) {
        const std::string_view sourceKind = KindFileCode(common::kKindOrder[sk]);
        for (int tk = 0; tk < kKindCount; ++tk) {
            const std::string_view targetKind = KindFileCode(common::kKindOrder[tk]);
            if (sourceKind.empty() || targetKind.empty()) {
                continue;
            }
            const std::string section = std::string(sourceKind) + std::string(targetKind);
            if (!ini.SectionExists(section)) {
                continue;
            }
            for (int sq = 0; sq < kQuantityCount; ++sq) {
                for (int tq = 0; tq < kQuantityCount; ++tq) {
                    std::uint8_t* steps = &table_[Offset(sk, sq, tk, tq)];
                    for (int k = 0; k < kStepCount; ++k) {
                        steps[k] = static_cast<std::uint8_t>(StepCode::kNone);
                    }
                    if (sk == tk && sq == tq) {
                        continue;
                    }
                    const std::string_view sourceQuantity = QuantityFileCode(common::kQuantityOrder[sq]);
                    const std::string_view targetQuantity = QuantityFileCode(common::kQuantityOrder[tq]);
                    if (sourceQuantity.empty() || targetQuantity.empty()) {
                        steps[0] = static_cast<std::uint8_t>(StepCode::kImpossible);
                        continue;
                    }
                    const std::string key = std::string(sourceQuantity) + std::string(targetQuantity);
                    const std::string value = ini.ReadString(section, key, "*");
                    const std::vector<std::string_view> chars = Characters(value, kChainTextLength);
                    if (chars.empty()) {
                        continue;  // identity: nothing to do
                    }
                    if (chars.size() == 1 && chars[0] == "*") {
                        steps[0] = static_cast<std::uint8_t>(StepCode::kImpossible);
                        continue;
                    }
                    for (int k = 0; k < kStepCount; ++k) {
                        const std::size_t first = static_cast<std::size_t>(k) * kPieceLength;
                        if (first + kPieceLength > chars.size()) {
                            break;
                        }
                        std::string piece;
                        for (std::size_t c = first; c < first + kPieceLength; ++c) {
                            piece += chars[c];
                        }
                        steps[k] = static_cast<std::uint8_t>(ParseStepCode(piece));
                    }
                }
            }
        }
    }
    for (int sk = 0; sk < kKindCount; ++sk) {
        for (int sq = 0; sq < kQuantityCount; ++sq) {
            for (int tk = 0; tk < kKindCount; ++tk) {
                for (int tq = 0; tq < kQuantityCount; ++tq) {
                    if (table_[Offset(sk, sq, tk, tq)] != 0) {
                        kindMatrix_[sk][tk] = true;
                        quantityMatrix_[sq][tq] = true;
                    }
                }
            }
        }
    }
}

StepChain TransformTable::Chain(std::uint32_t sourceKind, std::uint32_t sourceQuantity,
                                std::uint32_t targetKind, std::uint32_t targetQuantity) const noexcept {
    StepChain chain{StepCode::kImpossible, StepCode::kImpossible, StepCode::kImpossible,
                    StepCode::kImpossible};
    const int sk = KindPosition(sourceKind), sq = QuantityPosition(sourceQuantity);
    const int tk = KindPosition(targetKind), tq = QuantityPosition(targetQuantity);
    if (sk < 0 || sq < 0 || tk < 0 || tq < 0) {
        return chain;
    }
    const std::uint8_t* steps = &table_[Offset(sk, sq, tk, tq)];
    for (int k = 0; k < kStepCount; ++k) {
        chain[k] = static_cast<StepCode>(steps[k]);
    }
    return chain;
}

bool TransformTable::CanConvertKind(std::uint32_t sourceKind, std::uint32_t targetKind) const noexcept {
    const int s = KindPosition(sourceKind), t = KindPosition(targetKind);
    return s >= 0 && t >= 0 && kindMatrix_[s][t];
}

bool TransformTable::CanConvertQuantity(std::uint32_t sourceQuantity,
                                        std::uint32_t targetQuantity) const noexcept {
    const int s = QuantityPosition(sourceQuantity), t = QuantityPosition(targetQuantity);
    return s >= 0 && t >= 0 && quantityMatrix_[s][t];
}

bool TransformTable::CanConvert(std::uint32_t sourceKind, std::uint32_t sourceQuantity,
                                std::uint32_t targetKind, std::uint32_t targetQuantity) const noexcept {
    if (sourceKind == targetKind && sourceQuantity == targetQuantity) {
        return true;
    }
    return Chain(sourceKind, sourceQuantity, targetKind, targetQuantity)[0] != StepCode::kImpossible;
}

TransformTableFile LoadTransformTable(TransformTable& table, const std::filesystem::path& iniDirectory) {
    table.Clear();
    TransformTableFile result;
    result.path = iniDirectory / "PREOBR.INI";
    const std::optional<std::filesystem::path> found = common::FindEntryNoCase(iniDirectory, "PREOBR.INI");
    if (!found) {
        return result;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(*found, error)) {
        return result;
    }
    const common::IniFile ini(*found);
    result.path = *found;
    if (!ini.Loaded()) {
        return result;
    }
    table.Load(ini);
    result.found = true;
    return result;
}

std::string_view KindFileCode(std::uint32_t kind) noexcept {
    return FindName(kKindNames, kind);
}

std::string_view QuantityFileCode(std::uint32_t quantity) noexcept {
    return FindName(kQuantityNames, quantity);
}

std::optional<std::uint32_t> ParseKindCode(std::string_view text) {
    return ParseCode(kKindNames, text);
}

std::optional<std::uint32_t> ParseQuantityCode(std::string_view text) {
    return ParseCode(kQuantityNames, text);
}

StepCode ParseStepCode(std::string_view piece) noexcept {
    for (const StepName& entry : kStepNames) {
        if (EqualsAsciiNoCase(piece, entry.name)) {
            return entry.code;
        }
    }
    return StepCode::kNone;
}

}  // namespace velmar::analysis
