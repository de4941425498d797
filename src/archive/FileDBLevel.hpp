#pragma once
// A path node whose storage is one file (measurements, run-up and route files, passports, name sets).

#include "archive/PathDBLevel.hpp"

namespace velmar::archive {

class TFileDBLevel : public TPathDBLevel {
  public:
    using TPathDBLevel::TPathDBLevel;

    // Deletes the file. Refused (false) for a read-only node or file and for a path that is a directory;
    // true when the file is gone, also when it was gone already.
    bool DeleteStorage() override;
};

}  // namespace velmar::archive
