#include "ui/NameSetModel.hpp"

#include <stdexcept>
#include <system_error>

#include "archive/NameSetDBLevel.hpp"
#include "archive/ProgDBLevel.hpp"
#include "common/AtomicFile.hpp"
#include "common/Codepage.hpp"
#include "common/ExpertSystem.hpp"
#include "common/IniFile.hpp"
#include "common/Paths.hpp"

namespace velmar::ui {

namespace {

constexpr int kTextEmptyFullName = 9413;
constexpr int kTextEmptyShortName = 9414;
constexpr int kTextDuplicateFullName = 9415;
constexpr int kTextDuplicateShortName = 9416;

void WriteEntry(common::IniFile& ini, int number, const NameEntry& entry, bool point, bool node) {
    const std::string section = std::to_string(number);
    ini.WriteString(section, "FullName", entry.fullName);
    ini.WriteString(section, "ShortName", entry.shortName);
    ini.WriteBool(section, "Point", point);
    ini.WriteBool(section, "Node", node);
}

}  // namespace

NameEntry NameSetModel::Normalized(const NameEntry& entry) {
    return NameEntry{common::Utf8Prefix(common::TrimSpaces(entry.fullName), kMaxFullNameLength),
                     common::Utf8Prefix(common::TrimSpaces(entry.shortName), kMaxShortNameLength)};
}

EntryProblem NameSetModel::CheckEntry(const std::vector<NameEntry>& siblings, const NameEntry& candidate,
                                      int skip) {
    const NameEntry entry = Normalized(candidate);
    if (entry.fullName.empty()) {
        return EntryProblem::EmptyFullName;
    }
    if (entry.shortName.empty()) {
        return EntryProblem::EmptyShortName;
    }
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (static_cast<int>(i) == skip) {
            continue;
        }
        const NameEntry other = Normalized(siblings[i]);
        if (other.fullName == entry.fullName) {
            return EntryProblem::DuplicateFullName;
        }
        if (other.shortName == entry.shortName) {
            return EntryProblem::DuplicateShortName;
        }
    }
    return EntryProblem::None;
}

int NameSetModel::MessageIdOf(EntryProblem problem) {
    switch (problem) {
        case EntryProblem::EmptyFullName:
            return kTextEmptyFullName;
        case EntryProblem::EmptyShortName:
            return kTextEmptyShortName;
        case EntryProblem::DuplicateFullName:
            return kTextDuplicateFullName;
        case EntryProblem::DuplicateShortName:
            return kTextDuplicateShortName;
        case EntryProblem::None:
            break;
    }
    return 0;
}

std::vector<NameEntry> NameSetModel::PointEntries() const {
    std::vector<NameEntry> entries;
    entries.reserve(points.size());
    for (const NamePoint& point : points) {
        entries.push_back(point.entry);
    }
    return entries;
}

int NameSetModel::EntryCount() const {
    std::size_t count = freeChannels.size();
    for (const NamePoint& point : points) {
        count += 1 + point.directions.size();
    }
    return static_cast<int>(count);
}

std::string NameSetModel::NormalizedFileName(const std::string& typed) {
    std::string name = common::TrimSpaces(typed);
    if (name.empty()) {
        return name;
    }
    const std::string upper = common::UpperCase(name);
    if (upper.size() < 4 || upper.compare(upper.size() - 4, 4, ".NAM") != 0) {
        name += ".NAM";
    }
    return name;
}

SaveProblem NameSetModel::CheckSave(const std::string& name, const std::string& typedFileName,
                                    const std::filesystem::path& passportDirectory) {
    if (common::TrimSpaces(name).empty()) {
        return SaveProblem::EmptyName;
    }
    const std::string fileName = NormalizedFileName(typedFileName);
    if (fileName.empty()) {
        return SaveProblem::EmptyFileName;
    }
    // One name inside PSP: a path would write elsewhere, a leading dot would hide the file from every scan.
    if (!common::IsSafeChildName(fileName) || fileName.front() == '.' ||
        fileName.find_first_of("/\\") != std::string::npos) {
        return SaveProblem::BadFileName;
    }
    for (const char c : fileName) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return SaveProblem::BadFileName;
        }
    }
    if (common::FindEntryNoCase(passportDirectory, fileName)) {
        return SaveProblem::FileExists;
    }
    return SaveProblem::None;
}

std::string NameSetModel::FileBytes(const std::string& name) const {
    common::IniFile ini = common::IniFile::FromBytes("");
    ini.WriteString("Title", "Name", common::Utf8Prefix(common::TrimSpaces(name), kMaxFullNameLength));
    ini.WriteInteger("Title", "Count", EntryCount());
    int number = 1;
    for (const NamePoint& point : points) {
        WriteEntry(ini, number++, Normalized(point.entry), true, false);
        for (const NameEntry& direction : point.directions) {
            WriteEntry(ini, number++, Normalized(direction), false, false);
        }
    }
    for (const NameEntry& channel : freeChannels) {
        WriteEntry(ini, number++, Normalized(channel), false, true);
    }
    return ini.ToBytes();
}

archive::TNameSetDBLevel* NameSetModel::WriteInto(archive::TProgDBLevel& root, const std::string& name,
                                                  const std::string& typedFileName) const {
    const std::filesystem::path directory = root.PassportDirectory();
    std::filesystem::create_directories(directory);
    const std::string fileName = NormalizedFileName(typedFileName);
    // The archive may come from a file system that does not tell "A.NAM" from "a.nam".
    if (common::FindEntryNoCase(directory, fileName)) {
        throw std::system_error(std::make_error_code(std::errc::file_exists), fileName);
    }
    const std::filesystem::path path = directory / fileName;
    common::WriteNewFileAtomic(path, FileBytes(name));
    archive::NodePtr node = archive::MakeNode<archive::TNameSetDBLevel>(root.Context(), &root, path);
    auto* raw = static_cast<archive::TNameSetDBLevel*>(node.get());
    if (root.AddChild(std::move(node)) < 0) {
        throw std::runtime_error(path.string());
    }
    return raw;
}

}  // namespace velmar::ui
