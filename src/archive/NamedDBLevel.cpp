#include "archive/NamedDBLevel.hpp"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/Codepage.hpp"
#include "common/StringTable.hpp"
#include "common/UiPort.hpp"

namespace velmar::archive {

namespace {

constexpr int kTextNameExists = 319;
constexpr int kTextNameEmpty = 9418;

// Code points of UTF-8 text; a byte that starts no valid sequence stands for itself.
std::vector<std::uint32_t> CodePoints(std::string_view text) {
    std::vector<std::uint32_t> points;
    points.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80           ? 1
                             : (c >> 5) == 0x6  ? 2
                             : (c >> 4) == 0xE  ? 3
                             : (c >> 3) == 0x1E ? 4
                                                : 0;
        if (length == 0 || i + length > text.size()) {
            points.push_back(c);
            ++i;
            continue;
        }
        std::uint32_t cp = length == 1   ? c
                           : length == 2 ? (c & 0x1Fu)
                           : length == 3 ? (c & 0x0Fu)
                                         : (c & 0x07u);
        bool valid = true;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (next & 0x3Fu);
        }
        if (!valid) {
            points.push_back(c);
            ++i;
            continue;
        }
        points.push_back(cp);
        i += length;
    }
    return points;
}

// Alphabetical weight: Ё (U+0401) sorts right after Е (U+0415), everything else by code point.
std::uint64_t Weight(std::uint32_t cp) {
    constexpr std::uint32_t kYo = 0x0401;
    constexpr std::uint32_t kYe = 0x0415;
    return cp == kYo ? std::uint64_t{kYe} * 2 + 1 : std::uint64_t{cp} * 2;
}

void ShowError(common::UiPort* ui, int textId) {
    if (ui != nullptr) {
        ui->MessageDialog(common::LoadText(textId), common::DialogType::Error, common::kButtonOk);
    }
}

}  // namespace

CompareResult CompareNamesNoCase(std::string_view a, std::string_view b) {
    const std::vector<std::uint32_t> pa = CodePoints(common::UpperCase(a));
    const std::vector<std::uint32_t> pb = CodePoints(common::UpperCase(b));
    const std::size_t n = std::min(pa.size(), pb.size());
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t wa = Weight(pa[i]);
        const std::uint64_t wb = Weight(pb[i]);
        if (wa != wb) {
            return wa < wb ? CompareResult::Less : CompareResult::Greater;
        }
    }
    if (pa.size() == pb.size()) {
        return CompareResult::Equal;
    }
    return pa.size() < pb.size() ? CompareResult::Less : CompareResult::Greater;
}

TNamedDBLevel::TNamedDBLevel(ArchiveContext& context, TDBLevel* parent, std::string_view name)
    : TDBLevel(context, parent), name_(common::Utf8Prefix(name, kMaxNameLength)) {
    SetFlags(kDefaultFlags);
}

std::string TNamedDBLevel::GetName() const {
    return name_;
}

bool TNamedDBLevel::HasName(std::string_view name) const {
    return name_ == name;
}

bool TNamedDBLevel::StoreName(const std::string&) {
    return true;
}

void TNamedDBLevel::AssignName(std::string_view name) {
    name_ = common::Utf8Prefix(name, kMaxNameLength);
}

bool TNamedDBLevel::SetName(std::string_view name) {
    std::string newName = common::Utf8Prefix(name, kMaxNameLength);
    if (newName == name_) {
        return true;
    }
    // Stored first: when the file cannot take the name, memory and disk must not disagree.
    if (!StoreName(newName)) {
        return false;
    }
    name_ = newName;
    Notify(NodeEvent::Renamed, newName);
    return true;
}

bool TNamedDBLevel::IsAcceptableName(std::string_view name) {
    const std::string trimmed = common::TrimSpaces(name);
    return !trimmed.empty() && trimmed != "?";
}

RenameResult TNamedDBLevel::Rename() {
    RenameResult result = RenameResult::NotRenamed;
    TDBLevel* parent = Parent();
    std::uint16_t savedFilter = 0;
    if (parent != nullptr) {
        const int kind = GetLevelKind();
        const std::uint16_t ownKind = kind >= 0 && kind <= 15 ? static_cast<std::uint16_t>(1u << kind) : 0;
        savedFilter = parent->SetChildFilter(ownKind);
    }
    try {
        std::string offered = GetName();
        for (;;) {
            std::string text = offered;
            const int maxLength = MaxTextLength(kPromptRename);
            if (!EditText(GetPromptText(kPromptRename), text, HelpContext(kPromptRename), maxLength,
                          maxLength)) {
                break;
            }
            // Names are read back trimmed from the files; keep what will be read.
            text = common::TrimSpaces(text);
            if (text == offered) {
                break;
            }
            if (!IsAcceptableName(text)) {
                ShowError(Context().ui, kTextNameEmpty);
                offered = text;
                continue;
            }
            if (parent == nullptr || parent->FindNameOrPathClash(this, text, {}) == Clash::None) {
                if (SetName(text)) {
                    result = RenameResult::Renamed;
                }
                break;
            }
            ShowError(Context().ui, kTextNameExists);
            offered = text;
        }
    } catch (...) {
        if (parent != nullptr) {
            parent->SetChildFilter(savedFilter);
        }
        throw;
    }
    if (parent != nullptr) {
        parent->SetChildFilter(savedFilter);
    }
    return result;
}

bool TNamedDBLevel::EditText(const std::string& prompt, std::string& text, int, int maxLength,
                             int resultLength) {
    common::UiPort* ui = Context().ui;
    if (ui == nullptr) {
        return false;
    }
    std::string edited = maxLength > 0 ? common::Utf8Prefix(text, static_cast<std::size_t>(maxLength)) : text;
    if (!ui->EditText(std::string(), prompt, edited)) {
        return false;
    }
    if (maxLength > 0) {
        edited = common::Utf8Prefix(edited, static_cast<std::size_t>(maxLength));
    }
    if (resultLength > 0) {
        edited = common::Utf8Prefix(edited, static_cast<std::size_t>(resultLength));
    }
    text = std::move(edited);
    return true;
}

int TNamedDBLevel::MaxTextLength(int prompt) const {
    if (prompt == kPromptRename || prompt == kPromptName) {
        return kMaxNameLength;
    }
    return TDBLevel::MaxTextLength(prompt);
}

CompareResult TNamedDBLevel::Compare(const TDBLevel* other) const {
    const CompareResult byLevel = CompareLevelKind(other);
    if (byLevel != CompareResult::Equal || other == nullptr) {
        return byLevel;
    }
    return CompareNamesNoCase(GetName(), other->GetName());
}

bool TNamedDBLevel::DiffersFrom(const TDBLevel& other) const {
    return !common::EqualsNoCase(GetName(), other.GetName());
}

}  // namespace velmar::archive
