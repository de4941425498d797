#pragma once
// A file node ordered among its siblings by its moment (measurements, run-up files).

#include "archive/FileDBLevel.hpp"

namespace velmar::archive {

class TDateTimeDBLevel : public TFileDBLevel {
  public:
    using TFileDBLevel::TFileDBLevel;

    // Earlier moments (GetDateTime) first; equal moments compare equal, so they keep the order in which
    // they were added. Names are not looked at.
    CompareResult Compare(const TDBLevel* other) const override;
};

}  // namespace velmar::archive
