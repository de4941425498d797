#pragma once
// The dialog that creates a machine: its equipment group and through it the passport (the machine type),
// its name and directory, and optionally the name set of its signals. The station checks the answers.

#include <functional>
#include <optional>

#include <QDialog>

#include "archive/ArchiveDialogs.hpp"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace velmar::ui {

class IconStore;

class TNewAgregatDlg final : public QDialog {
    Q_OBJECT

  public:
    // `addNameSet` runs the name-set editor; it gives the new set when one was written.
    using AddNameSet = std::function<std::optional<archive::NameSetChoice>()>;

    TNewAgregatDlg(const archive::MachineDialogRequest& request, const archive::MachineAnswers& offered,
                   IconStore& icons, AddNameSet addNameSet, QWidget* parent = nullptr);

    QLineEdit* NameEdit() const noexcept { return nameEdit_; }
    QLineEdit* DirEdit() const noexcept { return dirEdit_; }
    QListWidget* GroupListBox() const noexcept { return groupList_; }
    QListWidget* MarkListBox() const noexcept { return markList_; }
    QComboBox* ComboBoxNameFile() const noexcept { return nameFileCombo_; }
    QPushButton* BitBtnAddName() const noexcept { return addNameButton_; }

    archive::MachineAnswers Answers() const;

  private:
    void OnGroupChosen(int row);
    void OnPassportChosen();
    void AddNameSetClicked();

    archive::MachineDialogRequest request_;
    AddNameSet addNameSet_;
    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* dirEdit_ = nullptr;
    QListWidget* groupList_ = nullptr;
    QListWidget* markList_ = nullptr;
    QComboBox* nameFileCombo_ = nullptr;
    QPushButton* addNameButton_ = nullptr;
    QLabel* pspImage_ = nullptr;
    bool nameEdited_ = false;
};

}  // namespace velmar::ui
