#pragma once
// What the new-machine dialog lists: the passports of a chosen equipment group, and the name and directory
// it proposes for a chosen passport. No widgets here.

#include <string>
#include <vector>

#include "archive/ArchiveDialogs.hpp"

namespace velmar::ui {

// Indices into request.passports of the passports whose file names start with the group's two-letter
// code (compared without regard to case), in the request's order.
std::vector<std::size_t> PassportsOfGroup(const archive::MachineDialogRequest& request,
                                          const common::EquipmentGroup& group);

// The index of the group a passport belongs to; -1 when none of the request's groups is its own.
int GroupOfPassport(const archive::MachineDialogRequest& request, const std::string& passportFile);

// The name proposed for a machine of that passport: the passport's name and "-".
std::string ProposedMachineName(const archive::PassportChoice& passport);

}  // namespace velmar::ui
