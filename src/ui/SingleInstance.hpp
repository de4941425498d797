#pragma once
// One running program per base directory: a second start asks the first to come to the front and ends.

#include <filesystem>
#include <memory>

#include <QObject>
#include <QString>

class QLocalServer;
class QLockFile;

namespace velmar::ui {

class SingleInstance final : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(const std::filesystem::path& baseDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the first for the base directory (and now listens for later starts); false
    // when another one runs, which has been asked to come to the front.
    bool Claim();

    // The name of the lock and the socket for a base directory (the same directory in any spelling).
    static QString KeyFor(const std::filesystem::path& baseDir);

  signals:
    void ActivationRequested();

  private:
    QString key_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace velmar::ui
