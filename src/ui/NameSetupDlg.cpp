#include "ui/NameSetupDlg.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "archive/ProgDBLevel.hpp"
#include "common/StringTable.hpp"
#include "common/UiPort.hpp"
#include "ui/QtText.hpp"

namespace velmar::ui {

namespace {

constexpr int kTextOk = 90;
constexpr int kTextCancel = 91;
constexpr int kTextDelete = 207;
constexpr int kTextAdd = 806;
constexpr int kTextEdit = 808;
constexpr int kTextDeleteQuestion = 9417;
constexpr int kTextEmptyName = 9418;
constexpr int kTextEmptyFileName = 9419;
constexpr int kTextFileExists = 9420;

constexpr int kPointRole = Qt::UserRole;
constexpr int kDirectionRole = Qt::UserRole + 1;
constexpr int kFreeRole = Qt::UserRole + 2;

}  // namespace

// ---- TDlgEditNames ---------------------------------------------------------------------------------------

TDlgEditNames::TDlgEditNames(const NameEntry& entry, bool chooseKind, Kind kind, bool directionPossible,
                             Check check, QWidget* parent)
    : QDialog(parent), kind_(kind), check_(std::move(check)) {
    setObjectName(QStringLiteral("DlgEditNames"));
    setWindowTitle(Text(text::kEditNamesCaption));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    if (chooseKind) {
        kindBox_ = new QComboBox(this);
        kindBox_->setObjectName(QStringLiteral("KindBox"));
        kindBox_->addItem(Text(text::kEntryPoint), static_cast<int>(Kind::Point));
        kindBox_->addItem(Text(text::kEntryDirection), static_cast<int>(Kind::Direction));
        kindBox_->addItem(Text(text::kEntryFreeChannel), static_cast<int>(Kind::FreeChannel));
        if (!directionPossible) {
            // A direction belongs to a point; none is selected.
            if (auto* model = qobject_cast<QStandardItemModel*>(kindBox_->model())) {
                if (QStandardItem* item = model->item(static_cast<int>(Kind::Direction))) {
                    item->setEnabled(false);
                }
            }
        }
        kindBox_->setCurrentIndex(static_cast<int>(kind));
        form->addRow(Text(text::kEntryKind), kindBox_);
    }
    editFull_ = new QLineEdit(QStr(entry.fullName), this);
    editFull_->setObjectName(QStringLiteral("EditFull"));
    editFull_->setMaxLength(NameSetModel::kMaxFullNameLength);
    editShort_ = new QLineEdit(QStr(entry.shortName), this);
    editShort_->setObjectName(QStringLiteral("EditShort"));
    editShort_->setMaxLength(NameSetModel::kMaxShortNameLength);
    form->addRow(Text(text::kFullName), editFull_);
    form->addRow(Text(text::kShortName), editShort_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Text(kTextOk), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(Text(kTextCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &TDlgEditNames::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

NameEntry TDlgEditNames::Entry() const {
    return NameEntry{StdStr(editFull_->text()), StdStr(editShort_->text())};
}

TDlgEditNames::Kind TDlgEditNames::ChosenKind() const {
    return kindBox_ != nullptr ? static_cast<Kind>(kindBox_->currentData().toInt()) : kind_;
}

void TDlgEditNames::accept() {
    if (check_ && !check_(Entry(), ChosenKind())) {
        return;
    }
    QDialog::accept();
}

// ---- TNameSetupDlg ---------------------------------------------------------------------------------------

TNameSetupDlg::TNameSetupDlg(archive::TProgDBLevel& root, common::UiPort& ui, QWidget* parent)
    : QDialog(parent), root_(root), ui_(ui) {
    setObjectName(QStringLiteral("NameSetupDlg"));
    setWindowTitle(Text(text::kNameSetCaption));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    editNaim_ = new QLineEdit(this);
    editNaim_->setObjectName(QStringLiteral("EditNaim"));
    editNaim_->setMaxLength(NameSetModel::kMaxFullNameLength);
    editFileName_ = new QLineEdit(this);
    editFileName_->setObjectName(QStringLiteral("EditFileName"));
    form->addRow(Text(text::kNameSetName), editNaim_);
    form->addRow(Text(text::kNameSetFile), editFileName_);
    layout->addLayout(form);

    auto* middle = new QHBoxLayout();
    tree_ = new QTreeWidget(this);
    tree_->setObjectName(QStringLiteral("TreeNames"));
    tree_->setHeaderHidden(true);
    middle->addWidget(tree_, 1);
    auto* side = new QVBoxLayout();
    addButton_ = new QPushButton(Text(kTextAdd), this);
    editButton_ = new QPushButton(Text(kTextEdit), this);
    deleteButton_ = new QPushButton(Text(kTextDelete), this);
    side->addWidget(addButton_);
    side->addWidget(editButton_);
    side->addWidget(deleteButton_);
    side->addSpacing(12);
    fullNames_ = new QCheckBox(Text(text::kShowFullNames), this);
    shortNames_ = new QCheckBox(Text(text::kShowShortNames), this);
    fullNames_->setChecked(true);
    side->addWidget(fullNames_);
    side->addWidget(shortNames_);
    side->addStretch(1);
    middle->addLayout(side);
    layout->addLayout(middle, 1);

    auto* buttons = new QDialogButtonBox(this);
    writeButton_ = buttons->addButton(Text(text::kWrite), QDialogButtonBox::AcceptRole);
    buttons->addButton(Text(kTextCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { WriteSet(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    connect(addButton_, &QPushButton::clicked, this, [this] { AddEntry(); });
    connect(editButton_, &QPushButton::clicked, this, [this] { EditEntry(); });
    connect(deleteButton_, &QPushButton::clicked, this, [this] { DeleteEntry(); });
    connect(fullNames_, &QCheckBox::toggled, this, [this] { RefreshTree(); });
    connect(shortNames_, &QCheckBox::toggled, this, [this] { RefreshTree(); });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] { EditEntry(); });
    resize(620, 460);
}

bool TNameSetupDlg::Complain(int textId) {
    ui_.MessageDialog(UiText(textId), common::DialogType::Warning, common::kButtonOk);
    return false;
}

QString TNameSetupDlg::Label(const NameEntry& entry) const {
    const bool full = fullNames_->isChecked();
    const bool brief = shortNames_->isChecked();
    if (full && brief) {
        return QStr(entry.fullName) + QStringLiteral("  (") + QStr(entry.shortName) + QStringLiteral(")");
    }
    return QStr(brief ? entry.shortName : entry.fullName);
}

void TNameSetupDlg::RefreshTree() {
    const Position selected = SelectedPosition();
    tree_->clear();
    QTreeWidgetItem* current = nullptr;
    for (std::size_t p = 0; p < model_.points.size(); ++p) {
        auto* pointItem = new QTreeWidgetItem(tree_, QStringList{Label(model_.points[p].entry)});
        pointItem->setData(0, kPointRole, static_cast<int>(p));
        pointItem->setData(0, kDirectionRole, -1);
        pointItem->setData(0, kFreeRole, -1);
        QFont bold = pointItem->font(0);
        bold.setBold(true);
        pointItem->setFont(0, bold);
        if (selected.point == static_cast<int>(p) && selected.direction < 0) {
            current = pointItem;
        }
        const std::vector<NameEntry>& directions = model_.points[p].directions;
        for (std::size_t d = 0; d < directions.size(); ++d) {
            auto* item = new QTreeWidgetItem(pointItem, QStringList{Label(directions[d])});
            item->setData(0, kPointRole, static_cast<int>(p));
            item->setData(0, kDirectionRole, static_cast<int>(d));
            item->setData(0, kFreeRole, -1);
            if (selected.point == static_cast<int>(p) && selected.direction == static_cast<int>(d)) {
                current = item;
            }
        }
        pointItem->setExpanded(true);
    }
    for (std::size_t c = 0; c < model_.freeChannels.size(); ++c) {
        auto* item = new QTreeWidgetItem(tree_, QStringList{Label(model_.freeChannels[c])});
        item->setData(0, kPointRole, -1);
        item->setData(0, kDirectionRole, -1);
        item->setData(0, kFreeRole, static_cast<int>(c));
        QFont italic = item->font(0);
        italic.setItalic(true);
        item->setFont(0, italic);
        if (selected.freeChannel == static_cast<int>(c)) {
            current = item;
        }
    }
    if (current != nullptr) {
        tree_->setCurrentItem(current);
    }
}

TNameSetupDlg::Position TNameSetupDlg::PositionOf(const QTreeWidgetItem* item) const {
    Position position;
    if (item != nullptr) {
        position.point = item->data(0, kPointRole).toInt();
        position.direction = item->data(0, kDirectionRole).toInt();
        position.freeChannel = item->data(0, kFreeRole).toInt();
    }
    return position;
}

TNameSetupDlg::Position TNameSetupDlg::SelectedPosition() const {
    return PositionOf(tree_->currentItem());
}

void TNameSetupDlg::AddEntry() {
    const Position at = SelectedPosition();
    const bool directionPossible = at.point >= 0;
    const auto kind = directionPossible ? TDlgEditNames::Kind::Direction : TDlgEditNames::Kind::Point;
    const auto check = [this, at](const NameEntry& entry, TDlgEditNames::Kind chosen) {
        std::vector<NameEntry> siblings;
        switch (chosen) {
            case TDlgEditNames::Kind::Point:
                siblings = model_.PointEntries();
                break;
            case TDlgEditNames::Kind::Direction:
                if (at.point < 0) {
                    return Complain(text::kEntryNeedsPoint);
                }
                siblings = model_.points[static_cast<std::size_t>(at.point)].directions;
                break;
            case TDlgEditNames::Kind::FreeChannel:
                siblings = model_.freeChannels;
                break;
        }
        const EntryProblem problem = NameSetModel::CheckEntry(siblings, entry, -1);
        return problem == EntryProblem::None || Complain(NameSetModel::MessageIdOf(problem));
    };
    TDlgEditNames dialog(NameEntry{}, true, kind, directionPossible, check, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const NameEntry entry = NameSetModel::Normalized(dialog.Entry());
    Position added;
    switch (dialog.ChosenKind()) {
        case TDlgEditNames::Kind::Point:
            model_.points.push_back(NamePoint{entry, {}});
            added.point = static_cast<int>(model_.points.size()) - 1;
            break;
        case TDlgEditNames::Kind::Direction: {
            std::vector<NameEntry>& directions = model_.points[static_cast<std::size_t>(at.point)].directions;
            directions.push_back(entry);
            added.point = at.point;
            added.direction = static_cast<int>(directions.size()) - 1;
            break;
        }
        case TDlgEditNames::Kind::FreeChannel:
            model_.freeChannels.push_back(entry);
            added.freeChannel = static_cast<int>(model_.freeChannels.size()) - 1;
            break;
    }
    tree_->setCurrentItem(nullptr);
    RefreshTree();
    // Select what was added.
    for (QTreeWidgetItemIterator it(tree_); *it != nullptr; ++it) {
        const Position p = PositionOf(*it);
        if (p.point == added.point && p.direction == added.direction && p.freeChannel == added.freeChannel) {
            tree_->setCurrentItem(*it);
            break;
        }
    }
}

void TNameSetupDlg::EditEntry() {
    const Position at = SelectedPosition();
    std::vector<NameEntry>* siblings = nullptr;
    int index = -1;
    if (at.freeChannel >= 0) {
        siblings = &model_.freeChannels;
        index = at.freeChannel;
    } else if (at.point >= 0 && at.direction >= 0) {
        siblings = &model_.points[static_cast<std::size_t>(at.point)].directions;
        index = at.direction;
    } else if (at.point >= 0) {
        index = at.point;
    } else {
        return;
    }
    const bool isPoint = siblings == nullptr;
    const NameEntry current = isPoint ? model_.points[static_cast<std::size_t>(index)].entry
                                      : (*siblings)[static_cast<std::size_t>(index)];
    const auto check = [this, siblings, index, isPoint](const NameEntry& entry, TDlgEditNames::Kind) {
        const EntryProblem problem =
            NameSetModel::CheckEntry(isPoint ? model_.PointEntries() : *siblings, entry, index);
        return problem == EntryProblem::None || Complain(NameSetModel::MessageIdOf(problem));
    };
    TDlgEditNames dialog(current, false, TDlgEditNames::Kind::Point, false, check, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const NameEntry entry = NameSetModel::Normalized(dialog.Entry());
    if (isPoint) {
        model_.points[static_cast<std::size_t>(index)].entry = entry;
    } else {
        (*siblings)[static_cast<std::size_t>(index)] = entry;
    }
    RefreshTree();
}

void TNameSetupDlg::DeleteEntry() {
    const Position at = SelectedPosition();
    if (at.point < 0 && at.freeChannel < 0) {
        return;
    }
    if (ui_.MessageDialog(UiText(kTextDeleteQuestion), common::DialogType::Confirmation,
                          common::kButtonYes | common::kButtonNo) != common::kResultYes) {
        return;
    }
    if (at.freeChannel >= 0) {
        model_.freeChannels.erase(model_.freeChannels.begin() + at.freeChannel);
    } else if (at.direction >= 0) {
        auto& directions = model_.points[static_cast<std::size_t>(at.point)].directions;
        directions.erase(directions.begin() + at.direction);
    } else {
        model_.points.erase(model_.points.begin() + at.point);
    }
    tree_->setCurrentItem(nullptr);
    RefreshTree();
}

bool TNameSetupDlg::WriteSet() {
    const std::string name = StdStr(editNaim_->text());
    const std::string fileName = StdStr(editFileName_->text());
    switch (NameSetModel::CheckSave(name, fileName, root_.PassportDirectory())) {
        case SaveProblem::EmptyName:
            return Complain(kTextEmptyName);
        case SaveProblem::EmptyFileName:
            return Complain(kTextEmptyFileName);
        case SaveProblem::BadFileName:
            return Complain(text::kBadFileName);
        case SaveProblem::FileExists:
            ui_.MessageDialog(
                common::FormatText(kTextFileExists, {NameSetModel::NormalizedFileName(fileName)}),
                common::DialogType::Warning, common::kButtonOk);
            return false;
        case SaveProblem::None:
            break;
    }
    try {
        written_ = model_.WriteInto(root_, name, fileName);
    } catch (const std::exception&) {
        ui_.MessageDialog(UiFormat(text::kCannotWriteFile, {NameSetModel::NormalizedFileName(fileName)}),
                          common::DialogType::Error, common::kButtonOk);
        return false;
    }
    accept();
    return true;
}

}  // namespace velmar::ui
