#pragma once
// A measuring point inside a measurement: the directions of the point that the machine maps to channels
// of the measurement file.

#include <filesystem>
#include <string>

#include "archive/FileDBLevel.hpp"

namespace velmar::archive {

class TNaprPreobrDBLevel;

class TPointDBLevel : public TFileDBLevel {
  public:
    static constexpr std::uint16_t kFlags = 145;

    // `file` is the measurement file; the name is the machine's name of the point.
    TPointDBLevel(ArchiveContext& context, TDBLevel* parent, const std::filesystem::path& file, int point);

    int PointNumber() const noexcept { return point_; }

    void LoadChildren() override;
    // After level and kind, by point number.
    CompareResult Compare(const TDBLevel* other) const override;
    // 0 and 9: the point's name; 1 and 10: its number.
    std::string GetLevelName(int levelNumber) const override;
    void FillCommandMenu(CommandMenu& menu) override;
    RenameResult Rename() override { return RenameResult::NotRenamed; }

    // The direction child of that direction number; none when its channel is not in use.
    TNaprPreobrDBLevel* FindDirection(int direction);

  protected:
    bool ShowExpertSystemInfo() override;

  private:
    int point_;
};

}  // namespace velmar::archive
