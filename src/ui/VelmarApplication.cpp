#include "ui/VelmarApplication.hpp"

#include <cstdio>
#include <ctime>
#include <fstream>

#include <QMessageBox>

#include "ui/QtText.hpp"

namespace velmar::ui {

VelmarApplication::VelmarApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VelmarApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ReportUnexpected(error.what());
    } catch (...) {
        ReportUnexpected(UiText(text::kUnexpectedError));
    }
    return false;
}

void VelmarApplication::ReportUnexpected(const std::string& what) {
    ++reported_;
    std::fprintf(stderr, "velmar: %s\n", what.c_str());
    if (!errorLog_.empty()) {
        AppendErrorLog(errorLog_, what);
    }
    // An error raised while the last one is being shown is logged only: no stack of message boxes.
    if (reporting_) {
        return;
    }
    reporting_ = true;
    try {
        const std::string message = UiFormat(text::kCommandFailed, {what});
        if (reporter_) {
            reporter_(message);
        } else {
            QMessageBox::critical(activeWindow(), Text(text::kError), QStr(message));
        }
    } catch (...) {
    }
    reporting_ = false;
}

bool AppendErrorLog(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::app | std::ios::binary);
    if (!out) {
        return false;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    out << stamp << ' ' << text << '\n';
    return static_cast<bool>(out);
}

}  // namespace velmar::ui
