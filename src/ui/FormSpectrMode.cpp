#include "ui/FormSpectrMode.hpp"

#include <algorithm>

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/QtText.hpp"

namespace velmar::ui {

namespace {

constexpr int kTextCaption = 9154;
constexpr int kTextFirstMode = 9151;
constexpr int kTextOk = 90;
constexpr int kTextCancel = 91;
constexpr std::array<std::uint32_t, 3> kQuantities = {
    common::kQuantityAcceleration, common::kQuantityVelocity, common::kQuantityDisplacement};

}  // namespace

TFormSpectrMode::TFormSpectrMode(const common::ViewSettings& view, QWidget* parent)
    : QDialog(parent), view_(view) {
    setObjectName(QStringLiteral("FormSpectrMode"));
    setWindowTitle(Text(kTextCaption));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout();
    const std::array<int, 3> modes = {view.spectrViewModeA, view.spectrViewMode, view.spectrViewModeS};
    for (std::size_t i = 0; i < groups_.size(); ++i) {
        auto* box = new QGroupBox(QStr(common::QuantityName(kQuantities[i])), this);
        auto* boxLayout = new QVBoxLayout(box);
        groups_[i] = new QButtonGroup(this);
        for (int mode = 0; mode < 3; ++mode) {
            auto* radio = new QRadioButton(Text(kTextFirstMode + mode), box);
            groups_[i]->addButton(radio, mode);
            boxLayout->addWidget(radio);
        }
        // A value the file should not hold shows as the amplitude, the default.
        const int preset = modes[i] >= 0 && modes[i] <= 2 ? modes[i] : 1;
        groups_[i]->button(preset)->setChecked(true);
        row->addWidget(box);
    }
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Text(kTextOk), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(Text(kTextCancel), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

common::ViewSettings TFormSpectrMode::Result() const {
    common::ViewSettings result = view_;
    result.spectrViewModeA = std::max(groups_[0]->checkedId(), 0);
    result.spectrViewMode = std::max(groups_[1]->checkedId(), 0);
    result.spectrViewModeS = std::max(groups_[2]->checkedId(), 0);
    return result;
}

}  // namespace velmar::ui
