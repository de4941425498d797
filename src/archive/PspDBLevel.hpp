#pragma once
// A machine passport: the description of a machine type (name and brand, number of measuring points, names
// of its technological parameters, shaft speeds). One *.psp file in the archive's PSP directory, shared by
// the machines that name it; a child of the root.
//
// Two forms exist, told apart by the first four bytes: a binary form starting with "PSP\" (a 100-byte header
// and a table of values), and an INI form (anything else).

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/FileDBLevel.hpp"

namespace velmar::archive {

class TPspDBLevel : public TFileDBLevel {
  public:
    enum class Form { Ini, Binary };

    static constexpr std::size_t kBinaryHeaderSize = 100;
    static constexpr std::size_t kValueBufferSize = 258;
    using ValueBuffer = std::array<std::uint8_t, kValueBufferSize>;
    // Values of the binary form.
    static constexpr int kValueShaftSpeeds = 3;
    static constexpr int kValuePointCount = 20;
    static constexpr int kValuePointCountOld = 23;
    static constexpr int kValueFirstTechParamName = 70;
    static constexpr int kTechParamCount = 50;

    // Reads the file's form, name and number of points, and looks its two-letter group code up in the root's
    // group tables (enabled and no-passport flags). Raises EFailOpenFile "Нет паспорта" when the file cannot
    // be read or holds no passport.
    TPspDBLevel(ArchiveContext& context, TDBLevel* parent, const std::filesystem::path& file);

    Form GetForm() const noexcept { return form_; }
    int PointCount() const noexcept { return pointCount_; }
    // Index (from 1) of the passport's group in the slot's group table; 0 when no group matched.
    int GroupNumber() const noexcept { return groupNumber_; }
    // Machines of this passport's group carry no passport of their own.
    bool NoPassport() const noexcept { return noPassport_; }

    // The 12851-byte record: text n (n = 1 .. 50, a length byte and up to 255 cp1251 characters) names
    // technological parameter n and its value; the list ends at the first parameter without a name. False
    // when there is none.
    bool GetPassport(PassportRecord& record) const override;
    // The names of the technological parameters, in order (UTF-8).
    std::vector<std::string> TechParamNames() const;

    // Binary form: value k into `buffer` (zero-filled), giving its length; 0 when it is absent, lies outside
    // the file, or for the INI form.
    int PassportValue(int k, ValueBuffer& buffer) const;
    // Shaft speed k (1 .. 3) in revolutions per minute from value 3; none when the passport has none.
    std::optional<double> ShaftSpeedRpm(int k) const;

    // The first two characters of the file name are the two-letter group code (ignoring case).
    bool MatchesGroup(std::string_view code) const;
    // The group code of the file name: its first two characters, upper-cased.
    std::string GroupCode() const;

    int MaxTextLength(int prompt) const override;
    RenameResult Rename() override { return RenameResult::NotRenamed; }

  private:
    struct Contents;
    TPspDBLevel(ArchiveContext& context, TDBLevel* parent, const std::filesystem::path& file,
                Contents contents);
    static Contents ReadContents(const std::filesystem::path& file);
    void LookUpGroup();

    Form form_ = Form::Ini;
    int pointCount_ = 0;
    int groupNumber_ = 0;
    bool noPassport_ = false;
    std::vector<std::string> iniParamNames_;  // INI form
    std::vector<std::uint8_t> bytes_;         // binary form: the file as far as values can reach
};

}  // namespace velmar::archive
