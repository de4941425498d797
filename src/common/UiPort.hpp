#pragma once
// What the core asks of the user. The core never shows a window itself: the program answers through Qt
// dialogs, tests through scripted replies.

#include <string>
#include <vector>

namespace velmar::common {

enum class DialogType { Warning, Error, Information, Confirmation };

enum DialogButton : unsigned {
    kButtonYes = 1u << 0,
    kButtonNo = 1u << 1,
    kButtonOk = 1u << 2,
    kButtonCancel = 1u << 3,
    kButtonHelp = 1u << 4,
};

// Modal results as the program has always numbered them.
enum ModalResult : int {
    kResultNone = 0,
    kResultOk = 1,
    kResultCancel = 2,
    kResultYes = 6,
    kResultNo = 7,
};

class UiPort {
public:
    virtual ~UiPort() = default;

    virtual int MessageDialog(const std::string& text, DialogType type, unsigned buttons) = 0;
    // Lets the user edit `text`; false when the user cancelled.
    virtual bool EditText(const std::string& caption, const std::string& prompt, std::string& text) = 0;
    // Index of the chosen item, or -1 when the user cancelled.
    virtual int ChooseFromList(const std::string& caption, const std::vector<std::string>& items) = 0;
    // Progress of long work in [0, 1]; returns false when the user asked to stop.
    virtual bool Progress(const std::string& what, double fraction) = 0;
};

// A port that answers every question with "no" and never stops work: for batch use.
class SilentUiPort final : public UiPort {
public:
    int MessageDialog(const std::string&, DialogType, unsigned buttons) override {
        return (buttons & kButtonNo) ? kResultNo : (buttons & kButtonCancel) ? kResultCancel : kResultOk;
    }
    bool EditText(const std::string&, const std::string&, std::string&) override { return false; }
    int ChooseFromList(const std::string&, const std::vector<std::string>&) override { return -1; }
    bool Progress(const std::string&, double) override { return true; }
};

}  // namespace velmar::common
