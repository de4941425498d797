#pragma once
// The about box: the program's picture, full name and version, and how to reach the makers. It also
// serves as the start-up splash window.

#include <string>

#include <QDialog>

class QLabel;

namespace velmar::common {
class IniFile;
}

namespace velmar::ui {

class IconStore;

class TVelmarAboutBox final : public QDialog {
    Q_OBJECT

  public:
    TVelmarAboutBox(const common::IniFile& mainIni, IconStore& icons, QWidget* parent = nullptr);

    QString FullNameText() const;
    QString VersionText() const;

    // The version shown: MAIN.INI Main Version (default "3.10"), replaced by the program's own version as
    // "major.minor.patch" when it has one.
    static std::string VersionOf(const common::IniFile& mainIni, const std::string& programVersion);

  private:
    QLabel* fullName_ = nullptr;
    QLabel* version_ = nullptr;
};

}  // namespace velmar::ui
