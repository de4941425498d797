#include "archive/AttachedFileNodes.hpp"

namespace velmar::archive {

NodePtr CreateRunUpNode(TDBLevel&, const std::filesystem::path&) {
    return nullptr;
}

NodePtr CreateRouteNode(TDBLevel&, const std::filesystem::path&) {
    return nullptr;
}

}  // namespace velmar::archive
