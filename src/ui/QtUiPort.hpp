#pragma once
// The core's questions to the user, answered with Qt dialogs: message boxes with the program's own button
// texts, a one-line editor, a choice list and a progress window with a stop button.

#include <memory>
#include <string>
#include <vector>

#include <QPointer>
#include <QProgressDialog>
#include <QWidget>

#include "common/UiPort.hpp"

namespace velmar::ui {

class QtUiPort final : public common::UiPort {
  public:
    explicit QtUiPort(QWidget* parent = nullptr);
    ~QtUiPort() override;

    // The window the dialogs are centred on and modal to.
    void SetParent(QWidget* parent);

    int MessageDialog(const std::string& text, common::DialogType type, unsigned buttons) override;
    bool EditText(const std::string& caption, const std::string& prompt, std::string& text) override;
    int ChooseFromList(const std::string& caption, const std::vector<std::string>& items) override;
    // The window appears on the first call and goes when the fraction reaches 1 or the user stops.
    bool Progress(const std::string& what, double fraction) override;

  private:
    QPointer<QWidget> parent_;
    std::unique_ptr<QProgressDialog> progress_;
};

}  // namespace velmar::ui
