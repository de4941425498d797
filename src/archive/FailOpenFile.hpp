#pragma once
// Raised when a file or an archive node cannot be opened or created. Callers that build the tree catch it
// and leave that node out; callers acting for the user show their own message.

#include <stdexcept>
#include <string>

namespace velmar::archive {

class EFailOpenFile : public std::runtime_error {
public:
    explicit EFailOpenFile(const std::string& message) : std::runtime_error(message) {}
};

// A write that must not happen (an old-format file) stops without a message.
class EAbort : public std::runtime_error {
public:
    EAbort() : std::runtime_error("operation cancelled") {}
};

}  // namespace velmar::archive
