#pragma once
// The application object. It keeps exceptions from crossing the event loop: one that escapes a command is
// written to the error log and shown to the user, and the program goes on.

#include <filesystem>
#include <functional>
#include <string>

#include <QApplication>

namespace velmar::ui {

class VelmarApplication final : public QApplication {
    Q_OBJECT

  public:
    VelmarApplication(int& argc, char** argv);

    // Where unexpected errors are appended; none: standard error only.
    void SetErrorLog(std::filesystem::path path) { errorLog_ = std::move(path); }
    // Replaces the message box (tests).
    void SetErrorReporter(std::function<void(const std::string&)> reporter) {
        reporter_ = std::move(reporter);
    }

    bool notify(QObject* receiver, QEvent* event) override;

    // Logs the text and tells the user.
    void ReportUnexpected(const std::string& what);

    int ReportedErrors() const noexcept { return reported_; }

  private:
    std::filesystem::path errorLog_;
    std::function<void(const std::string&)> reporter_;
    bool reporting_ = false;
    int reported_ = 0;
};

// "yyyy-mm-dd hh:mm:ss text" appended to the file; false when it cannot be written.
bool AppendErrorLog(const std::filesystem::path& path, const std::string& text);

}  // namespace velmar::ui
