#pragma once
// The windows the archive nodes need the user interface for: the dialogs that create stations and machines,
// and the commands that open a window of their own (signal views, notes, technological parameters, imports,
// the waterfall, the passport editor). The nodes decide what is asked and check every answer; the user
// interface only shows and collects. Tests script the answers.
//
// The root holds the one instance the program gives it (TProgDBLevel::SetDialogs); without one, nothing is
// asked and nothing is created.

#include <optional>
#include <string>
#include <vector>

#include "archive/DBLevel.hpp"
#include "common/ExpertSystem.hpp"

namespace velmar::archive {

// What the station dialog shows.
struct StationDialogRequest {
    int level = 0;                  // 2 .. 6, the level of the station to create
    std::string caption;            // "Привязка цеха"
    std::string nameLabel;          // "Наименование цеха"
    std::string directoryLabel;     // "Директорий цеха"
    int maxNameLength = 0;          // characters
    std::string proposedDirectory;  // a free directory name, "_CEH001"
};

// What the user typed. The directory is one name inside the parent's directory.
struct StationAnswers {
    std::string name;
    std::string directory;
};

struct PassportChoice {
    std::string fileName;   // as on disk, "NS_D320.psp"
    std::string name;       // "Насосный агрегат Д320-50"
    std::string groupCode;  // its first two letters, upper-cased
    bool enabled = false;
};

struct NameSetChoice {
    std::string fileName;
    std::string name;
};

// What the new-machine dialog offers.
struct MachineDialogRequest {
    std::string caption;                         // "Привязка агрегата"
    std::vector<common::EquipmentGroup> groups;  // groups of the station's slots that have a passport
    std::vector<PassportChoice> passports;       // every passport of the archive
    std::vector<NameSetChoice> nameSets;         // every name set of the archive
    std::string proposedDirectory;               // "_AGR001"
    int maxNameLength = 0;
};

struct MachineAnswers {
    std::string name;
    std::string directory;
    std::string passport;  // file name of a passport of the archive
    std::string nameSet;   // file name of a name set, empty for none
};

class IArchiveDialogs {
  public:
    virtual ~IArchiveDialogs() = default;

    // Shows the station dialog starting from `offered`; empty when the user cancelled. Asked again, with the
    // rejected answers, when the node refuses them (the node has shown why).
    virtual std::optional<StationAnswers> AskNewStation(const StationDialogRequest& request,
                                                        const StationAnswers& offered) = 0;
    virtual std::optional<MachineAnswers> AskNewMachine(const MachineDialogRequest& request,
                                                        const MachineAnswers& offered) = 0;

    // A command of `node` that works in a window of its own: 0 (signal view), 6 (passport editor), 10 and
    // 219 (technological parameters), 12 (long note), 73 (waterfall), 86 (signal import). Returns what the
    // browser redraws afterwards.
    virtual RefreshCode RunWindowCommand(TDBLevel& node, int command) { return RefreshCode::None; }

    // ShowInfo 1 (the RMS table of a measurement) and 2 (the expert systems of a node).
    virtual bool ShowInfo(TDBLevel& node, int infoNumber) { return true; }
};

}  // namespace velmar::archive
