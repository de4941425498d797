#include "ui/QtUiPort.hpp"

#include <algorithm>
#include <cmath>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include "ui/QtText.hpp"

namespace velmar::ui {

namespace {

constexpr int kTextOk = 90;
constexpr int kTextCancel = 91;
constexpr int kTextHelp = 92;

QMessageBox::Icon IconOf(common::DialogType type) {
    switch (type) {
        case common::DialogType::Warning:
            return QMessageBox::Warning;
        case common::DialogType::Error:
            return QMessageBox::Critical;
        case common::DialogType::Information:
            return QMessageBox::Information;
        case common::DialogType::Confirmation:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

int CaptionOf(common::DialogType type) {
    switch (type) {
        case common::DialogType::Warning:
            return text::kWarning;
        case common::DialogType::Error:
            return text::kError;
        case common::DialogType::Information:
            return text::kInformation;
        case common::DialogType::Confirmation:
            return text::kConfirmation;
    }
    return text::kInformation;
}

}  // namespace

QtUiPort::QtUiPort(QWidget* parent) : parent_(parent) {}

QtUiPort::~QtUiPort() = default;

void QtUiPort::SetParent(QWidget* parent) {
    parent_ = parent;
}

int QtUiPort::MessageDialog(const std::string& message, common::DialogType type, unsigned buttons) {
    QMessageBox box(IconOf(type), Text(CaptionOf(type)), QStr(message), QMessageBox::NoButton, parent_);
    struct Choice {
        unsigned bit;
        QMessageBox::StandardButton standard;
        int textId;
        int result;
    };
    const Choice choices[] = {
        {common::kButtonYes, QMessageBox::Yes, text::kYes, common::kResultYes},
        {common::kButtonNo, QMessageBox::No, text::kNo, common::kResultNo},
        {common::kButtonOk, QMessageBox::Ok, kTextOk, common::kResultOk},
        {common::kButtonCancel, QMessageBox::Cancel, kTextCancel, common::kResultCancel},
        {common::kButtonHelp, QMessageBox::Help, kTextHelp, common::kResultNone},
    };
    if ((buttons & (common::kButtonYes | common::kButtonNo | common::kButtonOk | common::kButtonCancel)) ==
        0) {
        buttons |= common::kButtonOk;
    }
    for (const Choice& choice : choices) {
        if ((buttons & choice.bit) != 0) {
            box.addButton(choice.standard)->setText(Text(choice.textId));
        }
    }
    const auto clicked = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const Choice& choice : choices) {
        if (clicked == choice.standard) {
            return choice.result;
        }
    }
    // Closed with Esc or the title bar: the most cautious answer offered.
    if ((buttons & common::kButtonCancel) != 0) {
        return common::kResultCancel;
    }
    if ((buttons & common::kButtonNo) != 0) {
        return common::kResultNo;
    }
    return common::kResultOk;
}

bool QtUiPort::EditText(const std::string& caption, const std::string& prompt, std::string& edited) {
    QInputDialog dialog(parent_);
    // The archive asks for names without a caption of their own: the prompt names what is edited.
    dialog.setWindowTitle(QStr(caption.empty() ? prompt : caption));
    dialog.setLabelText(QStr(prompt));
    dialog.setTextValue(QStr(edited));
    dialog.setOkButtonText(Text(kTextOk));
    dialog.setCancelButtonText(Text(kTextCancel));
    dialog.resize(std::max(dialog.sizeHint().width(), 420), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    edited = StdStr(dialog.textValue());
    return true;
}

int QtUiPort::ChooseFromList(const std::string& caption, const std::vector<std::string>& items) {
    if (items.empty()) {
        return -1;
    }
    QStringList list;
    for (const std::string& item : items) {
        list << QStr(item);
    }
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(QStr(caption));
    dialog.setLabelText(QStr(caption));
    dialog.setComboBoxItems(list);
    dialog.setComboBoxEditable(false);
    dialog.setOkButtonText(Text(kTextOk));
    dialog.setCancelButtonText(Text(kTextCancel));
    if (dialog.exec() != QDialog::Accepted) {
        return -1;
    }
    return static_cast<int>(list.indexOf(dialog.textValue()));
}

bool QtUiPort::Progress(const std::string& what, double fraction) {
    if (!progress_) {
        progress_ = std::make_unique<QProgressDialog>(parent_);
        progress_->setRange(0, 1000);
        progress_->setCancelButtonText(Text(kTextCancel));
        progress_->setWindowModality(Qt::WindowModal);
        progress_->setMinimumDuration(300);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
    }
    progress_->setLabelText(QStr(what));
    const double clamped = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    progress_->setValue(static_cast<int>(std::lround(clamped * 1000)));
    const bool cancelled = progress_->wasCanceled();
    if (cancelled || clamped >= 1.0) {
        progress_.reset();
    }
    return !cancelled;
}

}  // namespace velmar::ui
