#pragma once
// How spectral amplitudes are shown, per quantity: as the RMS of a sine, its amplitude or peak to peak.

#include <array>

#include <QDialog>

#include "common/Vocabulary.hpp"

class QButtonGroup;

namespace velmar::ui {

class TFormSpectrMode final : public QDialog {
    Q_OBJECT

  public:
    TFormSpectrMode(const common::ViewSettings& view, QWidget* parent = nullptr);

    // Groups for acceleration, velocity and displacement, in that order.
    QButtonGroup* Group(int index) const { return groups_.at(static_cast<std::size_t>(index)); }
    // The settings with the three chosen modes; the velocity unit is not edited here.
    common::ViewSettings Result() const;

  private:
    common::ViewSettings view_;
    std::array<QButtonGroup*, 3> groups_{};
};

}  // namespace velmar::ui
