#include "common/IniFile.hpp"

#include <charconv>
#include <limits>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <unordered_set>

#include "common/AtomicFile.hpp"
#include "common/Codepage.hpp"

namespace velmar::common {

namespace {

// The comparison form of a name given by a caller. A name with a character cp1251 cannot hold cannot be in
// the file, so it matches nothing rather than whatever is spelled with "?".
std::optional<std::string> MatchOf(std::string_view utf8Name) {
    bool lossy = false;
    std::string bytes = Utf8ToCp1251(TrimSpaces(utf8Name), &lossy);
    if (lossy) {
        return std::nullopt;
    }
    return UpperCaseCp1251(bytes);
}

bool IsBlankLine(std::string_view text) {
    return TrimSpaces(text).empty();
}

std::optional<long> ParseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (!text.empty() && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    // from_chars on an unsigned type takes digits only, so "--1", "0x-1" and " 1" fail here as they should.
    unsigned long long magnitude = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, magnitude, base);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    constexpr auto kMax = static_cast<unsigned long long>(std::numeric_limits<long>::max());
    if (negative) {
        if (magnitude > kMax + 1) {
            return std::nullopt;
        }
        return magnitude == kMax + 1 ? std::numeric_limits<long>::min() : -static_cast<long>(magnitude);
    }
    if (magnitude > kMax) {
        return std::nullopt;
    }
    return static_cast<long>(magnitude);
}

}  // namespace

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {
    std::string bytes;
    try {
        bytes = ReadWholeFile(path_);
    } catch (const std::system_error&) {
        return;  // a settings file that is not there yet reads as empty
    }
    loaded_ = true;
    Parse(bytes);
}

IniFile IniFile::FromBytes(std::string_view cp1251Bytes, std::filesystem::path path) {
    IniFile ini;
    ini.path_ = std::move(path);
    ini.loaded_ = true;
    ini.Parse(cp1251Bytes);
    return ini;
}

void IniFile::Parse(std::string_view bytes) {
    lines_.clear();
    bool inSection = false;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t newline = bytes.find('\n', start);
        const std::size_t next = newline == std::string_view::npos ? bytes.size() : newline + 1;
        if (newline == std::string_view::npos) {
            newline = bytes.size();
        }
        std::string_view text = bytes.substr(start, newline - start);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        start = next;

        Line line;
        line.text = std::string(text);
        const std::string trimmed = TrimSpaces(text);
        if (trimmed.empty() || trimmed.front() == ';') {
            // blank line or comment
        } else if (trimmed.front() == '[') {
            const std::size_t close = trimmed.rfind(']');
            if (close != std::string::npos) {
                line.kind = LineKind::kSection;
                line.name = TrimSpaces(std::string_view(trimmed).substr(1, close - 1));
                inSection = true;
            }
        } else if (const std::size_t equals = trimmed.find('='); equals != std::string::npos && inSection) {
            std::string name = TrimSpaces(std::string_view(trimmed).substr(0, equals));
            if (!name.empty()) {
                line.kind = LineKind::kKey;
                line.name = std::move(name);
                line.value = TrimSpaces(std::string_view(trimmed).substr(equals + 1));
            }
        }
        if (line.kind != LineKind::kOther) {
            line.match = UpperCaseCp1251(line.name);
        }
        lines_.push_back(std::move(line));
    }
}

std::size_t IniFile::FindSection(std::string_view match) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind == LineKind::kSection && lines_[i].match == match) {
            return i;
        }
    }
    return kNone;
}

std::size_t IniFile::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && lines_[i].kind != LineKind::kSection) {
        ++i;
    }
    return i;
}

std::size_t IniFile::FindKey(std::size_t header, std::string_view match) const {
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (lines_[i].kind == LineKind::kKey && lines_[i].match == match) {
            return i;
        }
    }
    return kNone;
}

const IniFile::Line* IniFile::FindValue(std::string_view section, std::string_view key) const {
    const auto sectionMatch = MatchOf(section);
    const auto keyMatch = MatchOf(key);
    if (!sectionMatch || !keyMatch) {
        return nullptr;
    }
    const std::size_t header = FindSection(*sectionMatch);
    if (header == kNone) {
        return nullptr;
    }
    const std::size_t index = FindKey(header, *keyMatch);
    return index == kNone ? nullptr : &lines_[index];
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    const Line* line = FindValue(section, key);
    return line == nullptr ? std::string(def) : Cp1251ToUtf8(line->value);
}

long IniFile::ReadInteger(std::string_view section, std::string_view key, long def) const {
    const Line* line = FindValue(section, key);
    if (line == nullptr) {
        return def;
    }
    return ParseInteger(line->value).value_or(def);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::SectionExists(std::string_view section) const {
    const auto match = MatchOf(section);
    return match && FindSection(*match) != kNone;
}

bool IniFile::ValueExists(std::string_view section, std::string_view key) const {
    return FindValue(section, key) != nullptr;
}

std::vector<std::string> IniFile::ReadSection(std::string_view section) const {
    std::vector<std::string> keys;
    for (auto& [name, value] : ReadSectionValues(section)) {
        keys.push_back(std::move(name));
    }
    return keys;
}

std::vector<std::string> IniFile::ReadSections() const {
    std::vector<std::string> sections;
    std::unordered_set<std::string> seen;
    for (const Line& line : lines_) {
        if (line.kind == LineKind::kSection && seen.insert(line.match).second) {
            sections.push_back(Cp1251ToUtf8(line.name));
        }
    }
    return sections;
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSectionValues(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> values;
    const auto match = MatchOf(section);
    const std::size_t header = match ? FindSection(*match) : kNone;
    if (header == kNone) {
        return values;
    }
    std::unordered_set<std::string> seen;
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const Line& line = lines_[i];
        if (line.kind == LineKind::kKey && seen.insert(line.match).second) {
            values.emplace_back(Cp1251ToUtf8(line.name), Cp1251ToUtf8(line.value));
        }
    }
    return values;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    bool lossy = false;
    const std::string sectionName = Utf8ToCp1251(TrimSpaces(section), &lossy);
    const std::string keyName = Utf8ToCp1251(TrimSpaces(key), &lossy);
    std::string valueBytes = Utf8ToCp1251(value, &lossy);
    if (sectionName.empty() || sectionName.find_first_of("\r\n") != std::string::npos) {
        throw std::invalid_argument("IniFile: unusable section name \"" + std::string(section) + "\"");
    }
    if (keyName.empty() || keyName.find_first_of("=\r\n") != std::string::npos || keyName.front() == ';' ||
        keyName.front() == '[') {
        throw std::invalid_argument("IniFile: unusable key name \"" + std::string(key) + "\"");
    }
    // A line break would end the value and turn the rest into lines of their own.
    for (char& c : valueBytes) {
        if (c == '\r' || c == '\n') {
            c = ' ';
            lossy = true;
        }
    }
    lossyWrite_ = lossyWrite_ || lossy;

    Line keyLine;
    keyLine.kind = LineKind::kKey;
    keyLine.name = keyName;
    keyLine.match = UpperCaseCp1251(keyName);
    keyLine.value = TrimSpaces(valueBytes);
    keyLine.text = keyName + "=" + valueBytes;

    const std::size_t header = FindSection(UpperCaseCp1251(sectionName));
    if (header == kNone) {
        if (!lines_.empty() && !IsBlankLine(lines_.back().text)) {
            lines_.push_back(Line{});
        }
        Line headerLine;
        headerLine.kind = LineKind::kSection;
        headerLine.name = sectionName;
        headerLine.match = UpperCaseCp1251(sectionName);
        headerLine.text = "[" + sectionName + "]";
        lines_.push_back(std::move(headerLine));
        lines_.push_back(std::move(keyLine));
        modified_ = true;
        return;
    }

    const std::size_t existing = FindKey(header, keyLine.match);
    if (existing != kNone) {
        Line& line = lines_[existing];
        // The key keeps the spelling it has in the file.
        std::string text = line.name + "=" + valueBytes;
        if (text != line.text) {
            line.text = std::move(text);
            line.value = std::move(keyLine.value);
            modified_ = true;
        }
        return;
    }

    // After the last line of the section that is not blank, so the blank lines that set sections apart stay
    // where they are.
    std::size_t position = SectionEnd(header);
    while (position > header + 1 && lines_[position - 1].kind == LineKind::kOther &&
           IsBlankLine(lines_[position - 1].text)) {
        --position;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(position), std::move(keyLine));
    modified_ = true;
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, long value) {
    char buffer[32];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    WriteString(section, key, std::string_view(buffer, static_cast<std::size_t>(ptr - buffer)));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::DeleteKey(std::string_view section, std::string_view key) {
    const auto sectionMatch = MatchOf(section);
    const auto keyMatch = MatchOf(key);
    if (!sectionMatch || !keyMatch) {
        return;
    }
    const std::size_t header = FindSection(*sectionMatch);
    if (header == kNone) {
        return;
    }
    std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end;) {
        if (lines_[i].kind == LineKind::kKey && lines_[i].match == *keyMatch) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            --end;
            modified_ = true;
        } else {
            ++i;
        }
    }
}

void IniFile::EraseSection(std::string_view section) {
    const auto match = MatchOf(section);
    if (!match) {
        return;
    }
    for (std::size_t i = 0; i < lines_.size();) {
        if (lines_[i].kind == LineKind::kSection && lines_[i].match == *match) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i),
                         lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(i)));
            modified_ = true;
        } else {
            ++i;
        }
    }
}

std::string IniFile::ToBytes() const {
    std::size_t size = 0;
    for (const Line& line : lines_) {
        size += line.text.size() + 2;
    }
    std::string bytes;
    bytes.reserve(size);
    for (const Line& line : lines_) {
        bytes += line.text;
        bytes += "\r\n";
    }
    return bytes;
}

void IniFile::UpdateFile() {
    if (path_.empty()) {
        throw std::logic_error("IniFile::UpdateFile: no file name");
    }
    ReplaceFileAtomic(path_, ToBytes());
    modified_ = false;
}

}  // namespace velmar::common
