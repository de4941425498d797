#pragma once
// A named node mirrored by a directory or a file of the archive.
//
// The path is the real one on disk, in its own spelling; comparisons ignore case (PathKey), because
// archives come from case-insensitive file systems.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "archive/NamedDBLevel.hpp"

namespace velmar::archive {

// The comparison key of a path: its normal form without a trailing separator, upper-cased.
std::string PathKey(const std::filesystem::path& path);

class TPathDBLevel : public TNamedDBLevel {
  public:
    TPathDBLevel(ArchiveContext& context, TDBLevel* parent, std::filesystem::path path,
                 std::string_view name);

    const std::filesystem::path& GetPath() const noexcept { return path_; }
    void SetPath(std::filesystem::path path) { path_ = std::move(path); }
    // The file, or the directory's INF file, had the read-only attribute when the node was read.
    bool IsReadOnly() const noexcept { return readOnly_; }
    void SetReadOnly(bool readOnly) noexcept { readOnly_ = readOnly; }

    bool ShowInfo(int infoNumber) override;
    bool DiffersFrom(const TDBLevel& other) const override;
    Clash FindNameOrPathClash(const TDBLevel* skip, std::string_view name,
                              const std::filesystem::path& path) override;

    // prefix + "001" .. prefix + "998": the first name that nothing in this node's directory has, ignoring
    // case; "_001" when all are taken (the caller's clash check then refuses it).
    virtual std::string MakeUniqueDirName(std::string_view prefix);
    // A free name for a new file in this node's directory: the letter, "3" from 2000 on ("2" before), the
    // two-digit year, month and day of `moment` (a day count), ".", and the first free number 001 .. 999,
    // then 1000 ... Empty when no name is free.
    virtual std::filesystem::path MakeMeasurementFileName(char kindLetter, double moment);
    // The same, dated now (local time).
    std::filesystem::path MakeMeasurementFileName(char kindLetter);
    // Called by kinds before they rename their storage.
    virtual void BeforeRename(std::string_view newName);
    // Finds the child of that level kind with that path and asks to delete it; NotFound when none.
    virtual DeleteResult DeleteChildByPath(const std::filesystem::path& path, int levelKind);
    // The first child of that level kind with that path: the exact spelling, else ignoring case.
    virtual TPathDBLevel* FindChildByPath(const std::filesystem::path& path, int levelKind);
    // Whether a file of that name (any case) is in this node's directory (a file node: the file's
    // directory).
    virtual bool FileExistsHere(std::string_view fileName) const;

  protected:
    // The expert-system dialog of ShowInfo(2); the user interface supplies it. True in the base.
    virtual bool ShowExpertSystemInfo();
    // For kinds whose storage is a directory (stations, machines): removes the directory with everything
    // in it. Refused (false) when the node or anything in the tree is read-only, when the path is empty,
    // is a symbolic link or not a directory, or does not lie strictly inside the archive root (the path of
    // the topmost path node). True when the directory is gone, also when it was gone already.
    bool DeleteDirectoryTree();

  private:
    std::filesystem::path path_;
    bool readOnly_ = false;
};

}  // namespace velmar::archive
