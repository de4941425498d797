#include "common/Vocabulary.hpp"

#include "common/StringTable.hpp"

namespace velmar::common {
namespace {

struct KindEntry {
    std::uint32_t code;
    int nameId;
    int shortId;
    const char* name;
    const char* shortName;
};

// Built-in defaults; the string table replaces them when it has the id.
constexpr KindEntry kKinds[] = {
    {1, 501, 510, "СКЗ", "СКЗ"},
    {2, 502, 511, "Сигнал", "СИГ"},
    {4, 503, 512, "Спектр всего сигнала", "СП"},
    {8, 504, 513, "Спектр мощности", "СПМ"},
    {16, 505, 514, "Спектр части сигнала", "СПФ"},
    {512, 526, 527, "Огибающая", "ОГ"},
    {32, 506, 515, "Спектр огибающей", "СПО"},
    {64, 507, 516, "Гармоники", "ГАР"},
    {128, 508, 517, "Кепстр", "КЕП"},
    {256, 509, 518, "Мощность в полосе", "МП"},
};

struct QuantityEntry {
    std::uint32_t code;
    int nameId;  // 0: a fixed text
    const char* name;
    int unitId;
    const char* unit;
};

constexpr QuantityEntry kQuantities[] = {
    {4, 519, "Виброускорение", 321, "м/c2"},
    {2, 520, "Виброскорость", 322, "мм/c"},
    {1, 521, "Виброперемещение", 323, "мкм"},
    {16, 522, "Напряжение", 324, "В"},
    {32, 523, "Ток", 325, "А"},
    {64, 524, "Сопротивление", 326, "Ом"},
    {512, 525, "Мощность", 328, "Вт"},
    {1024, 0, "Температура", 329, "град"},
    {2048, 0, "Сила", 330, "Н"},
    // Units without a name.
    {256, 0, "", 327, "т"},
    {4096, 0, "", 331, "дБ"},
};

std::string TextOr(int id, const char* fallback) {
    if (id != 0) {
        std::string text = LoadText(id);
        if (!text.empty()) {
            return text;
        }
    }
    return fallback;
}

const KindEntry* FindKind(std::uint32_t code) {
    for (const auto& k : kKinds) {
        if (k.code == code) {
            return &k;
        }
    }
    return nullptr;
}

const QuantityEntry* FindQuantity(std::uint32_t code) {
    for (const auto& q : kQuantities) {
        if (q.code == code) {
            return &q;
        }
    }
    return nullptr;
}

double ModeFactor(int mode) {
    switch (mode) {
        case 0:
            return kSineRmsFactor;
        case 2:
            return 2.0;
        default:
            return 1.0;
    }
}

}  // namespace

std::string KindName(std::uint32_t kind) {
    const KindEntry* k = FindKind(kind);
    return k ? TextOr(k->nameId, k->name) : std::string();
}

std::string KindShortName(std::uint32_t kind) {
    const KindEntry* k = FindKind(kind);
    return k ? TextOr(k->shortId, k->shortName) : std::string();
}

std::string QuantityName(std::uint32_t quantity) {
    const QuantityEntry* q = FindQuantity(quantity);
    return q ? TextOr(q->nameId, q->name) : std::string();
}

std::string QuantityUnit(std::uint32_t quantity, const ViewSettings& view) {
    if (quantity == kQuantityVelocity && view.velocityViewMode == 1) {
        return "дюйм/с";
    }
    const QuantityEntry* q = FindQuantity(quantity);
    return q ? TextOr(q->unitId, q->unit) : std::string("?");
}

std::string AxisUnit(std::uint32_t kind) {
    if (IsTimeDomain(kind)) {
        return TextOr(302, "с");
    }
    if (IsFrequencyDomain(kind)) {
        return TextOr(303, "Гц");
    }
    return "?";
}

bool IsTimeDomain(std::uint32_t kind) {
    return kind == kKindSignal || kind == kKindCepstrum || kind == kKindEnvelope;
}

bool IsFrequencyDomain(std::uint32_t kind) {
    switch (kind) {
        case kKindSpectrum:
        case kKindPowerSpectrum:
        case kKindPartSpectrum:
        case kKindEnvelopeSpectrum:
        case kKindHarmonics:
        case kKindBandPower:
            return true;
        default:
            return false;
    }
}

double DisplayFactor(std::uint32_t kind, std::uint32_t quantity, const ViewSettings& view) {
    const bool inches = view.velocityViewMode == 1;
    if (IsTimeDomain(kind)) {
        return (quantity == kQuantityVelocity && inches) ? 1.0 / kMillimetresPerInch : 1.0;
    }
    // Kind 1 (a single RMS value) follows the spectral modes too; callers that show an RMS value as such
    // ask with the signal kind instead.
    switch (quantity) {
        case kQuantityAcceleration:
            return ModeFactor(view.spectrViewModeA);
        case kQuantityVelocity: {
            const double f = ModeFactor(view.spectrViewMode);
            return inches ? f / kMillimetresPerInch : f;
        }
        case kQuantityDisplacement:
            return ModeFactor(view.spectrViewModeS);
        default:
            return 1.0;
    }
}

}  // namespace velmar::common
