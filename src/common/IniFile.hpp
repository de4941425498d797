#pragma once

// Settings files in the classic Windows profile format, read and written the way other programs working on
// the same files expect:
//  - the file is cp1251 text; lines end in CRLF or LF on read and CRLF on write;
//  - "[Name]" starts a section; "key=value" sets a key; a line starting with ";" is a comment;
//  - section and key names are compared without regard to case (Latin and Cyrillic letters alike), and the
//    first matching section and the first matching key in it win;
//  - names and values are trimmed, nothing is escaped or quoted;
//  - on write every line that is not changed is kept as it was: comments, unknown lines, order and the
//    spelling of names.
// The interface is UTF-8; conversion happens only here, at the file boundary.
//
// Lines ahead of the first section are kept but are not part of any section. A key line without "=" and a "["
// line without "]" are kept as unknown lines.

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmar::common {

class IniFile {
  public:
    // An empty file with no path; UpdateFile needs a path.
    IniFile() = default;

    // Reads `path` if it can. A missing or unreadable file gives an empty IniFile (see Loaded()), which
    // UpdateFile creates.
    explicit IniFile(std::filesystem::path path);

    // Parses cp1251 bytes as if they had been read from `path` (so Loaded() is true).
    static IniFile FromBytes(std::string_view cp1251Bytes, std::filesystem::path path = {});

    const std::filesystem::path& Path() const { return path_; }

    // Whether the constructor read a file.
    bool Loaded() const { return loaded_; }

    // Whether anything changed since the file was read or last written.
    bool Modified() const { return modified_; }

    // Whether some written section, key or value held a character cp1251 cannot (stored as "?"), or a line
    // break in a value (stored as a space). Stays set for the life of the object.
    bool LossyWrite() const { return lossyWrite_; }

    // The value of the key, empty if the key is there with no value; `def` when there is no such key.
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;

    // The whole value as a decimal integer with an optional sign, or hexadecimal after "0x" or "$". Anything
    // else (nothing, trailing text, out of range) gives `def`.
    long ReadInteger(std::string_view section, std::string_view key, long def) const;

    // An integer other than 0 is true; anything that is not an integer gives `def`.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;

    // Key names of the section in file order, each name once (spelled as its first line).
    std::vector<std::string> ReadSection(std::string_view section) const;

    // Section names in file order, each name once (spelled as its first header).
    std::vector<std::string> ReadSections() const;

    // Key names and the values ReadString would give, in file order, each key once.
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;

    // Sets the first matching key of the first matching section; adds the key at the end of the section, or a
    // new section at the end of the file, when missing. A section name must not be empty or hold a line
    // break; a key name must not be empty, hold "=" or a line break, or start with ";" or "["
    // (std::invalid_argument), because the file could not tell such a name apart from other lines.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, long value);
    void WriteBool(std::string_view section, std::string_view key, bool value);  // "1" or "0"

    // Removes the key from the first matching section; every line of that key goes, so that no shadowed older
    // value comes back to light.
    void DeleteKey(std::string_view section, std::string_view key);

    // Removes every section of that name with all its lines.
    void EraseSection(std::string_view section);

    // The file as it would be written: cp1251, every line ended by CRLF.
    std::string ToBytes() const;

    // Writes ToBytes() to Path() through an atomic replace (creating the file when missing). Throws
    // std::system_error when it cannot, std::logic_error when there is no path.
    void UpdateFile();

  private:
    enum class LineKind { kOther, kSection, kKey };

    struct Line {
        LineKind kind = LineKind::kOther;
        std::string text;   // as stored, cp1251, without the line end
        std::string name;   // section or key name as written, trimmed
        std::string match;  // name in upper case, for comparisons
        std::string value;  // trimmed value of a key
    };

    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void Parse(std::string_view bytes);
    std::size_t FindSection(std::string_view match) const;
    std::size_t SectionEnd(std::size_t header) const;
    std::size_t FindKey(std::size_t header, std::string_view match) const;
    const Line* FindValue(std::string_view section, std::string_view key) const;

    std::filesystem::path path_;
    std::vector<Line> lines_;
    bool loaded_ = false;
    bool modified_ = false;
    bool lossyWrite_ = false;
};

}  // namespace velmar::common
