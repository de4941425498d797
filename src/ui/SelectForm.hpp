#pragma once
// The modal node picker other windows use to choose a node of a given level (a machine to import into, a
// measurement for a route): the archive tree without commands, cut at that level.

#include <cstdint>

#include <QDialog>

#include "archive/DBLevel.hpp"
#include "common/ExpertSystem.hpp"

class QDialogButtonBox;
class QPushButton;

namespace velmar::ui {

class ArchiveTreeWidget;
class IconStore;

struct SelectRequest {
    int levelNumber = archive::kLevelMachine;  // the level of the node to choose
    archive::TDBLevel* start = nullptr;        // the node the tree starts from; the archive root when none
    archive::TDBLevel* current = nullptr;      // selected at first when it is in the tree
    std::uint16_t kindFilter = 0xFFFF;         // level kinds shown (bit k: kind k)
    common::ProgramSet programMask;            // only nodes sharing a slot with it; empty: all
    bool newestFirst = false;
};

class TSelectForm final : public QDialog {
    Q_OBJECT

  public:
    TSelectForm(archive::TDBLevel& root, IconStore& icons, const SelectRequest& request,
                QWidget* parent = nullptr);

    ArchiveTreeWidget* Tree() const noexcept { return tree_; }
    QPushButton* OkButton() const noexcept { return ok_; }
    // The selected node when it has the requested level; none otherwise.
    archive::TDBLevel* Chosen() const;

    // Shows the picker; the chosen node, or none when the user cancelled.
    static archive::TDBLevel* SelectNode(archive::TDBLevel& root, IconStore& icons,
                                         const SelectRequest& request, QWidget* parent = nullptr);

  private:
    void OnSelection(archive::TDBLevel* node);

    SelectRequest request_;
    ArchiveTreeWidget* tree_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace velmar::ui
