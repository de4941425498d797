#pragma once
// The dialog that creates a station (or a shop, a division...): its name and its directory. The node sets
// the captions and checks the answers; typing a name proposes "_" and the name as the directory.

#include <functional>

#include <QDialog>

#include "archive/ArchiveDialogs.hpp"

class QLineEdit;
class QLabel;

namespace velmar::ui {

class TNewStantionDlg final : public QDialog {
    Q_OBJECT

  public:
    TNewStantionDlg(const archive::StationDialogRequest& request, const archive::StationAnswers& offered,
                    QWidget* parent = nullptr);

    QLineEdit* NameEdit() const noexcept { return nameEdit_; }
    QLineEdit* DirEdit() const noexcept { return dirEdit_; }
    archive::StationAnswers Answers() const;

    void SetHelpHandler(std::function<void()> help) { help_ = std::move(help); }

  private:
    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* dirEdit_ = nullptr;
    std::function<void()> help_;
};

}  // namespace velmar::ui
