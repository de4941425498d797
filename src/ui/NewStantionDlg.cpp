#include "ui/NewStantionDlg.hpp"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/QtText.hpp"

namespace velmar::ui {

namespace {

constexpr int kTextOk = 90;
constexpr int kTextCancel = 91;
constexpr int kTextHelp = 92;

}  // namespace

TNewStantionDlg::TNewStantionDlg(const archive::StationDialogRequest& request,
                                 const archive::StationAnswers& offered, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("NewStantionDlg"));
    setWindowTitle(QStr(request.caption));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout();
    nameEdit_ = new QLineEdit(QStr(offered.name), this);
    nameEdit_->setObjectName(QStringLiteral("NameEdit"));
    if (request.maxNameLength > 0) {
        nameEdit_->setMaxLength(request.maxNameLength);
    }
    dirEdit_ = new QLineEdit(QStr(offered.directory), this);
    dirEdit_->setObjectName(QStringLiteral("DirEdit"));
    form->addRow(QStr(request.nameLabel), nameEdit_);
    form->addRow(QStr(request.directoryLabel), dirEdit_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Text(kTextOk), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(Text(kTextCancel), QDialogButtonBox::RejectRole);
    buttons->addButton(Text(kTextHelp), QDialogButtonBox::HelpRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] {
        if (help_) {
            help_();
        }
    });
    layout->addWidget(buttons);

    connect(nameEdit_, &QLineEdit::textEdited, this,
            [this](const QString& name) { dirEdit_->setText(QStringLiteral("_") + name); });
    nameEdit_->selectAll();
    setMinimumWidth(440);
}

archive::StationAnswers TNewStantionDlg::Answers() const {
    return archive::StationAnswers{StdStr(nameEdit_->text()), StdStr(dirEdit_->text())};
}

}  // namespace velmar::ui
