#pragma once
// The name-set editor: a new *.NAM file built as a tree of measuring points with their directions and of
// channels that belong to no point, each with a full and a short name. "Записать" writes the file into the
// archive's passport directory and adds the set to the archive.

#include <functional>

#include <QDialog>

#include "ui/NameSetModel.hpp"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace velmar::archive {
class TProgDBLevel;
class TNameSetDBLevel;
}  // namespace velmar::archive

namespace velmar::common {
class UiPort;
}

namespace velmar::ui {

// Full and short name of one entry; when adding, also what is added.
class TDlgEditNames final : public QDialog {
    Q_OBJECT

  public:
    enum class Kind { Point = 0, Direction = 1, FreeChannel = 2 };
    // Checks the entry when OK is pressed; false keeps the dialog open (the check has told the user why).
    using Check = std::function<bool(const NameEntry& entry, Kind kind)>;

    TDlgEditNames(const NameEntry& entry, bool chooseKind, Kind kind, bool directionPossible, Check check,
                  QWidget* parent = nullptr);

    QLineEdit* EditFull() const noexcept { return editFull_; }
    QLineEdit* EditShort() const noexcept { return editShort_; }
    QComboBox* KindBox() const noexcept { return kindBox_; }
    NameEntry Entry() const;
    Kind ChosenKind() const;

    void accept() override;

  private:
    QLineEdit* editFull_ = nullptr;
    QLineEdit* editShort_ = nullptr;
    QComboBox* kindBox_ = nullptr;
    Kind kind_;
    Check check_;
};

class TNameSetupDlg final : public QDialog {
    Q_OBJECT

  public:
    TNameSetupDlg(archive::TProgDBLevel& root, common::UiPort& ui, QWidget* parent = nullptr);

    QLineEdit* EditNaim() const noexcept { return editNaim_; }
    QLineEdit* EditFileName() const noexcept { return editFileName_; }
    QTreeWidget* Tree() const noexcept { return tree_; }
    QPushButton* AddButton() const noexcept { return addButton_; }
    QPushButton* DeleteButton() const noexcept { return deleteButton_; }
    QPushButton* EditButton() const noexcept { return editButton_; }
    QPushButton* WriteButton() const noexcept { return writeButton_; }
    QCheckBox* FullNamesBox() const noexcept { return fullNames_; }
    QCheckBox* ShortNamesBox() const noexcept { return shortNames_; }

    const NameSetModel& Model() const noexcept { return model_; }
    NameSetModel& Model() noexcept { return model_; }
    // The set written by "Записать"; none before.
    archive::TNameSetDBLevel* Written() const noexcept { return written_; }

    // The buttons' work, callable without a click.
    void AddEntry();
    void EditEntry();
    void DeleteEntry();
    bool WriteSet();
    // Shows the model in the tree again.
    void RefreshTree();

  private:
    struct Position {
        int point = -1;      // index into points, or -1
        int direction = -1;  // index into that point's directions, or -1 for the point itself
        int freeChannel = -1;
    };
    Position PositionOf(const QTreeWidgetItem* item) const;
    Position SelectedPosition() const;
    QString Label(const NameEntry& entry) const;
    bool Complain(int textId);

    archive::TProgDBLevel& root_;
    common::UiPort& ui_;
    NameSetModel model_;
    archive::TNameSetDBLevel* written_ = nullptr;

    QLineEdit* editNaim_ = nullptr;
    QLineEdit* editFileName_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* editButton_ = nullptr;
    QPushButton* writeButton_ = nullptr;
    QCheckBox* fullNames_ = nullptr;
    QCheckBox* shortNames_ = nullptr;
};

}  // namespace velmar::ui
