#pragma once

#include <stdexcept>

namespace velmar::common {

// A file or a wire frame does not hold what its layout promises: too short, a length or an offset that points
// outside the bytes that are there, a field that cannot fit. Parsers turn it into their own result codes.
class FormatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace velmar::common
