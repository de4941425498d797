#pragma once
// Nodes made from the other files of station and machine directories: run-up files ("*.VIB", beside the
// measurements of a machine) and route files ("R*.*", in a station directory). Their kinds come with their
// own work; until then these make nothing and the files are simply not listed.

#include <filesystem>

#include "archive/DBLevel.hpp"

namespace velmar::archive {

// A run-up node for `file` below `machine`, or none.
NodePtr CreateRunUpNode(TDBLevel& machine, const std::filesystem::path& file);

// A route node for `file` below `station`, or none.
NodePtr CreateRouteNode(TDBLevel& station, const std::filesystem::path& file);

}  // namespace velmar::archive
