#include "ui/NewAgregatDlg.hpp"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "archive/StantionDBLevel.hpp"
#include "ui/IconStore.hpp"
#include "ui/MachineChoices.hpp"
#include "ui/QtText.hpp"

namespace velmar::ui {

namespace {

constexpr int kTextOk = 90;
constexpr int kTextCancel = 91;
constexpr int kTextGroups = 801;
constexpr int kTextPassport = 802;
constexpr int kTextName = 803;
constexpr int kTextDirectory = 804;
constexpr int kTextNameSets = 805;
constexpr int kTextAdd = 806;
constexpr int kTextEditPassport = 808;
constexpr int kPassportRole = Qt::UserRole;

QString Trimmed(const std::string& text) {
    return QStr(text).trimmed();
}

}  // namespace

TNewAgregatDlg::TNewAgregatDlg(const archive::MachineDialogRequest& request,
                               const archive::MachineAnswers& offered, IconStore& icons,
                               AddNameSet addNameSet, QWidget* parent)
    : QDialog(parent), request_(request), addNameSet_(std::move(addNameSet)) {
    setObjectName(QStringLiteral("NewAgregatDlg"));
    setWindowTitle(request.caption.empty() ? Text(text::kNewMachineCaption) : QStr(request.caption));

    auto* layout = new QVBoxLayout(this);
    auto* lists = new QGridLayout();
    lists->addWidget(new QLabel(Text(kTextGroups), this), 0, 0);
    lists->addWidget(new QLabel(Text(text::kMachineBrand), this), 0, 1);
    groupList_ = new QListWidget(this);
    groupList_->setObjectName(QStringLiteral("GroupListBox"));
    markList_ = new QListWidget(this);
    markList_->setObjectName(QStringLiteral("MarkListBox"));
    lists->addWidget(groupList_, 1, 0);
    lists->addWidget(markList_, 1, 1);

    auto* passportBox = new QGroupBox(Text(kTextPassport), this);
    auto* passportLayout = new QVBoxLayout(passportBox);
    pspImage_ = new QLabel(passportBox);
    pspImage_->setObjectName(QStringLiteral("PspImage"));
    pspImage_->setAlignment(Qt::AlignCenter);
    pspImage_->setMinimumSize(120, 96);
    pspImage_->setPixmap(icons.Picture("AGR", 72));
    pspImage_->setToolTip(Text(text::kPassportPicture));
    auto* editPassport = new QPushButton(Text(kTextEditPassport), passportBox);
    // The passport editor is not part of this program yet.
    editPassport->setEnabled(false);
    passportLayout->addWidget(pspImage_, 1);
    passportLayout->addWidget(editPassport);
    lists->addWidget(passportBox, 0, 2, 2, 1);
    lists->setColumnStretch(0, 2);
    lists->setColumnStretch(1, 3);
    layout->addLayout(lists, 1);

    auto* form = new QFormLayout();
    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName(QStringLiteral("NameEdit"));
    if (request.maxNameLength > 0) {
        nameEdit_->setMaxLength(request.maxNameLength);
    }
    dirEdit_ = new QLineEdit(this);
    dirEdit_->setObjectName(QStringLiteral("DirEdit"));
    form->addRow(Text(kTextName), nameEdit_);
    form->addRow(Text(kTextDirectory), dirEdit_);
    layout->addLayout(form);

    auto* nameSetBox = new QGroupBox(Text(kTextNameSets), this);
    auto* nameSetLayout = new QHBoxLayout(nameSetBox);
    nameFileCombo_ = new QComboBox(nameSetBox);
    nameFileCombo_->setObjectName(QStringLiteral("ComboBoxNameFile"));
    nameFileCombo_->addItem(Text(text::kNoNameSet), QString());
    for (const archive::NameSetChoice& set : request.nameSets) {
        nameFileCombo_->addItem(QStr(set.name), QStr(set.fileName));
    }
    addNameButton_ = new QPushButton(Text(kTextAdd), nameSetBox);
    addNameButton_->setObjectName(QStringLiteral("BitBtnAddName"));
    addNameButton_->setEnabled(static_cast<bool>(addNameSet_));
    nameSetLayout->addWidget(nameFileCombo_, 1);
    nameSetLayout->addWidget(addNameButton_);
    layout->addWidget(nameSetBox);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Text(kTextOk), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(Text(kTextCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    for (const common::EquipmentGroup& group : request.groups) {
        groupList_->addItem(Trimmed(group.name));
    }
    connect(groupList_, &QListWidget::currentRowChanged, this, [this](int row) { OnGroupChosen(row); });
    connect(markList_, &QListWidget::currentRowChanged, this, [this](int) { OnPassportChosen(); });
    connect(nameEdit_, &QLineEdit::textEdited, this, [this](const QString& name) {
        nameEdited_ = true;
        dirEdit_->setText(QStringLiteral("_") + name);
    });
    connect(addNameButton_, &QPushButton::clicked, this, [this] { AddNameSetClicked(); });

    // Offered answers: the last ones the station refused, or the proposal for a new machine.
    nameEdit_->setText(QStr(offered.name));
    dirEdit_->setText(QStr(offered.directory.empty() ? request.proposedDirectory : offered.directory));
    nameEdited_ = !offered.name.empty();
    const int group = GroupOfPassport(request_, offered.passport);
    if (group >= 0) {
        groupList_->setCurrentRow(group);
        for (int row = 0; row < markList_->count(); ++row) {
            const auto index = markList_->item(row)->data(kPassportRole).toULongLong();
            if (index < request_.passports.size() && request_.passports[index].fileName == offered.passport) {
                const bool edited = nameEdited_;
                nameEdited_ = true;  // the offered name stays
                markList_->setCurrentRow(row);
                nameEdited_ = edited;
            }
        }
    } else if (groupList_->count() > 0) {
        groupList_->setCurrentRow(0);
    }
    const int setRow = nameFileCombo_->findData(QStr(offered.nameSet));
    nameFileCombo_->setCurrentIndex(setRow >= 0 ? setRow : 0);
    resize(720, 480);
}

void TNewAgregatDlg::OnGroupChosen(int row) {
    markList_->clear();
    if (row < 0 || static_cast<std::size_t>(row) >= request_.groups.size()) {
        return;
    }
    for (const std::size_t index :
         PassportsOfGroup(request_, request_.groups[static_cast<std::size_t>(row)])) {
        const archive::PassportChoice& passport = request_.passports[index];
        auto* item = new QListWidgetItem(Trimmed(passport.name), markList_);
        item->setData(kPassportRole, static_cast<qulonglong>(index));
        item->setToolTip(QStr(passport.fileName));
        if (!passport.enabled) {
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
        }
    }
}

void TNewAgregatDlg::OnPassportChosen() {
    const QListWidgetItem* item = markList_->currentItem();
    if (item == nullptr || nameEdited_) {
        return;
    }
    const auto index = item->data(kPassportRole).toULongLong();
    if (index >= request_.passports.size()) {
        return;
    }
    const std::string name = ProposedMachineName(request_.passports[index]);
    nameEdit_->setText(QStr(name));
    dirEdit_->setText(QStr(archive::TStantionDBLevel::ProposedDirectoryFor(name)));
}

void TNewAgregatDlg::AddNameSetClicked() {
    if (!addNameSet_) {
        return;
    }
    const std::optional<archive::NameSetChoice> added = addNameSet_();
    if (!added) {
        return;
    }
    request_.nameSets.push_back(*added);
    nameFileCombo_->addItem(QStr(added->name), QStr(added->fileName));
    nameFileCombo_->setCurrentIndex(nameFileCombo_->count() - 1);
}

archive::MachineAnswers TNewAgregatDlg::Answers() const {
    archive::MachineAnswers answers;
    answers.name = StdStr(nameEdit_->text());
    answers.directory = StdStr(dirEdit_->text());
    if (const QListWidgetItem* item = markList_->currentItem()) {
        const auto index = item->data(kPassportRole).toULongLong();
        if (index < request_.passports.size()) {
            answers.passport = request_.passports[index].fileName;
        }
    }
    answers.nameSet = StdStr(nameFileCombo_->currentData().toString());
    return answers;
}

}  // namespace velmar::ui
