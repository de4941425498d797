#include "ui/MachineChoices.hpp"

#include "common/Codepage.hpp"

namespace velmar::ui {

namespace {

std::string GroupCode(const common::EquipmentGroup& group) {
    return common::UpperCase(common::Utf8Prefix(group.code, 2));
}

std::string FileCode(const std::string& fileName) {
    return common::UpperCase(common::Utf8Prefix(fileName, 2));
}

}  // namespace

std::vector<std::size_t> PassportsOfGroup(const archive::MachineDialogRequest& request,
                                          const common::EquipmentGroup& group) {
    const std::string code = GroupCode(group);
    std::vector<std::size_t> indices;
    if (code.empty()) {
        return indices;
    }
    for (std::size_t i = 0; i < request.passports.size(); ++i) {
        if (FileCode(request.passports[i].fileName) == code) {
            indices.push_back(i);
        }
    }
    return indices;
}

int GroupOfPassport(const archive::MachineDialogRequest& request, const std::string& passportFile) {
    const std::string code = FileCode(passportFile);
    for (std::size_t i = 0; i < request.groups.size(); ++i) {
        if (!code.empty() && GroupCode(request.groups[i]) == code) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string ProposedMachineName(const archive::PassportChoice& passport) {
    return passport.name + "-";
}

}  // namespace velmar::ui
