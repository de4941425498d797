#include "archive/PspDBLevel.hpp"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "archive/FailOpenFile.hpp"
#include "archive/ProgDBLevel.hpp"
#include "common/Codepage.hpp"
#include "common/ExpertSystem.hpp"
#include "common/IniFile.hpp"
#include "common/Real48.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

constexpr int kTextNoPassport = 119;
constexpr char kBinarySignature[] = {'P', 'S', 'P', '\\'};
constexpr std::size_t kNameOffset = 60;
constexpr std::size_t kNameSize = 20;
// Values are addressed by a 16-bit offset and an 8-bit length: nothing beyond this is ever read.
constexpr std::size_t kBinaryReach = 0xFFFF + 0xFF;
// An INI passport is a page of text; anything this large is not one.
constexpr std::size_t kMaxIniSize = std::size_t{1} << 20;
constexpr int kMaxPromptDeleteLength = 55;
constexpr std::size_t kPassportTextSize = 256;

const char kSectionDesign[] = "ПараметрыКонструкции";
const char kSectionTech[] = "ТехнологическиеПараметры";

std::string TechNameKey(int n) {
    return "Параметр" + std::to_string(n) + "Наименование";
}

// Up to `limit` bytes of the file; empty optional when it cannot be read. Grows with what is there, so that a
// page of text does not cost a buffer of the largest size allowed.
std::optional<std::string> ReadPrefix(const fs::path& file, std::size_t limit) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    constexpr std::size_t kChunk = 64 * 1024;
    std::string bytes;
    while (bytes.size() < limit) {
        const std::size_t have = bytes.size();
        const std::size_t want = std::min(kChunk, limit - have);
        bytes.resize(have + want);
        in.read(bytes.data() + have, static_cast<std::streamsize>(want));
        if (in.bad()) {
            return std::nullopt;
        }
        bytes.resize(have + static_cast<std::size_t>(in.gcount()));
        if (!in) {
            break;
        }
    }
    return bytes;
}

// Value k of a binary passport held in `bytes`; 0 when absent or outside the bytes.
int BinaryValue(const std::vector<std::uint8_t>& bytes, int k, TPspDBLevel::ValueBuffer& buffer) {
    buffer.fill(0);
    if (k < 0) {
        return 0;
    }
    const std::size_t entry = TPspDBLevel::kBinaryHeaderSize + 3 * static_cast<std::size_t>(k);
    if (entry + 3 > bytes.size()) {
        return 0;
    }
    const std::size_t offset = bytes[entry] | (static_cast<std::size_t>(bytes[entry + 1]) << 8);
    const std::size_t length = bytes[entry + 2];
    if (offset == 0 || length == 0 || offset + length > bytes.size()) {
        return 0;
    }
    std::memcpy(buffer.data(), bytes.data() + offset, length);
    return static_cast<int>(length);
}

}  // namespace

struct TPspDBLevel::Contents {
    Form form = Form::Ini;
    std::string name;
    int pointCount = 0;
    std::vector<std::string> iniParamNames;
    std::vector<std::uint8_t> bytes;
};

TPspDBLevel::Contents TPspDBLevel::ReadContents(const fs::path& file) {
    const std::optional<std::string> start = ReadPrefix(file, kBinaryHeaderSize);
    if (!start) {
        throw EFailOpenFile(common::LoadText(kTextNoPassport));
    }
    Contents contents;
    if (start->size() >= sizeof kBinarySignature &&
        std::memcmp(start->data(), kBinarySignature, sizeof kBinarySignature) == 0) {
        const std::optional<std::string> all = ReadPrefix(file, kBinaryReach);
        if (!all || all->size() < kBinaryHeaderSize) {
            throw EFailOpenFile(common::LoadText(kTextNoPassport));
        }
        contents.form = Form::Binary;
        contents.bytes.assign(all->begin(), all->end());
        std::string_view field(all->data() + kNameOffset, kNameSize);
        field = field.substr(0, std::min(field.find('\0'), field.size()));
        contents.name = common::TrimSpaces(common::Cp1251ToUtf8(field));
        ValueBuffer value;
        if (BinaryValue(contents.bytes, kValuePointCount, value) > 0 ||
            BinaryValue(contents.bytes, kValuePointCountOld, value) > 0) {
            contents.pointCount = value[0];
        }
        return contents;
    }

    const std::optional<std::string> text = ReadPrefix(file, kMaxIniSize + 1);
    if (!text || text->size() > kMaxIniSize) {
        throw EFailOpenFile(common::LoadText(kTextNoPassport));
    }
    const common::IniFile ini = common::IniFile::FromBytes(*text, file);
    const std::string name = ini.ReadString(kSectionDesign, "Наименование", "");
    const std::string brand = ini.ReadString(kSectionDesign, "Марка", "");
    // A file that names no machine type is no passport (a stray or damaged file in PSP).
    if (name.empty() && brand.empty()) {
        throw EFailOpenFile(common::LoadText(kTextNoPassport));
    }
    contents.name = brand.empty() ? name : name + " " + brand;
    contents.pointCount =
        static_cast<int>(std::clamp(ini.ReadInteger(kSectionDesign, "КоличествоТочекЗамера", 0), 0L, 255L));
    for (int n = 1; n <= kTechParamCount; ++n) {
        if (!ini.ValueExists(kSectionTech, TechNameKey(n))) {
            break;
        }
        contents.iniParamNames.push_back(ini.ReadString(kSectionTech, TechNameKey(n), ""));
    }
    return contents;
}

TPspDBLevel::TPspDBLevel(ArchiveContext& context, TDBLevel* parent, const fs::path& file)
    : TPspDBLevel(context, parent, file, ReadContents(file)) {}

TPspDBLevel::TPspDBLevel(ArchiveContext& context, TDBLevel* parent, const fs::path& file, Contents contents)
    : TFileDBLevel(context, parent, file, contents.name),
      form_(contents.form),
      pointCount_(contents.pointCount),
      iniParamNames_(std::move(contents.iniParamNames)),
      bytes_(std::move(contents.bytes)) {
    SetLevel(kLevelFirstStation, kLevelKindMachine);
    SetIconKey("PSP");
    SetFlags(0);
    LookUpGroup();
}

void TPspDBLevel::LookUpGroup() {
    SetEnabled(false);
    const auto* root = dynamic_cast<const TProgDBLevel*>(Parent());
    if (root == nullptr) {
        return;
    }
    const std::string code = GroupCode();
    for (int slot = 1; slot <= common::kExpertSystemSlots; ++slot) {
        if (!HasProgram(slot)) {
            continue;
        }
        const std::optional<TProgDBLevel::GroupMatch> match = root->FindGroup(slot, code);
        if (match) {
            groupNumber_ = match->number;
            SetEnabled(!match->disabled);
            noPassport_ = match->noPassport;
            return;
        }
        // The INI form asks the first slot only; the binary form the first slot that knows the code.
        if (form_ == Form::Ini) {
            return;
        }
    }
}

std::string TPspDBLevel::GroupCode() const {
    return common::UpperCase(common::Utf8Prefix(GetPath().filename().string(), 2));
}

bool TPspDBLevel::MatchesGroup(std::string_view code) const {
    return !code.empty() && common::EqualsNoCase(GroupCode(), common::Utf8Prefix(code, 2));
}

std::vector<std::string> TPspDBLevel::TechParamNames() const {
    if (form_ == Form::Ini) {
        return iniParamNames_;
    }
    std::vector<std::string> names;
    ValueBuffer value;
    for (int n = 1; n <= kTechParamCount; ++n) {
        const int length = PassportValue(kValueFirstTechParamName + n - 1, value);
        if (length == 0) {
            break;
        }
        names.push_back(common::Cp1251ToUtf8(
            std::string_view(reinterpret_cast<const char*>(value.data()), static_cast<std::size_t>(length))));
    }
    return names;
}

bool TPspDBLevel::GetPassport(PassportRecord& record) const {
    record.fill(0);
    int stored = 0;
    const auto put = [&](std::string_view cp1251) {
        const std::size_t length = std::min<std::size_t>(cp1251.size(), kPassportTextSize - 1);
        std::uint8_t* text = record.data() + kPassportTextSize * static_cast<std::size_t>(stored);
        text[0] = static_cast<std::uint8_t>(length);
        std::memcpy(text + 1, cp1251.data(), length);
        ++stored;
    };
    if (form_ == Form::Ini) {
        for (const std::string& name : iniParamNames_) {
            if (name.empty()) {
                break;
            }
            put(common::Utf8ToCp1251(name + "=000000"));
        }
    } else {
        ValueBuffer value;
        for (int n = 1; n <= kTechParamCount; ++n) {
            const int length = PassportValue(kValueFirstTechParamName + n - 1, value);
            if (length == 0) {
                break;
            }
            put(std::string_view(reinterpret_cast<const char*>(value.data()),
                                 static_cast<std::size_t>(length)));
        }
    }
    return stored > 0;
}

int TPspDBLevel::PassportValue(int k, ValueBuffer& buffer) const {
    if (form_ != Form::Binary) {
        buffer.fill(0);
        return 0;
    }
    return BinaryValue(bytes_, k, buffer);
}

std::optional<double> TPspDBLevel::ShaftSpeedRpm(int k) const {
    if (k < 1 || k > 3) {
        return std::nullopt;
    }
    ValueBuffer value;
    const int length = PassportValue(kValueShaftSpeeds, value);
    const std::size_t at = 1 + 6 * static_cast<std::size_t>(k - 1);
    if (length < static_cast<int>(at + 6)) {
        return std::nullopt;
    }
    const double rpm = common::Real48ToDouble(value.data() + at);
    // A speed of 0 is a speed nobody entered.
    if (rpm == 0) {
        return std::nullopt;
    }
    return rpm;
}

int TPspDBLevel::MaxTextLength(int prompt) const {
    if (prompt == kPromptDelete) {
        return kMaxPromptDeleteLength;
    }
    return TFileDBLevel::MaxTextLength(prompt);
}

}  // namespace velmar::archive
