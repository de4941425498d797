#include "ui/SingleInstance.hpp"

#include <system_error>

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace velmar::ui {

namespace {

constexpr int kWaitMs = 1000;
const QByteArray kActivate = "activate\n";

}  // namespace

SingleInstance::SingleInstance(const std::filesystem::path& baseDir, QObject* parent)
    : QObject(parent), key_(KeyFor(baseDir)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::KeyFor(const std::filesystem::path& baseDir) {
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(baseDir, ec);
    if (ec) {
        canonical = baseDir.lexically_normal();
    }
    const QByteArray identity = qgetenv("USER") + '\0' + QByteArray::fromStdString(canonical.string());
    const QByteArray hash = QCryptographicHash::hash(identity, QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("velmar-") + QString::fromLatin1(hash);
}

bool SingleInstance::Claim() {
    lock_ = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(key_ + QStringLiteral(".lock")));
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(100)) {
        QLocalSocket socket;
        socket.connectToServer(key_);
        if (socket.waitForConnected(kWaitMs)) {
            socket.write(kActivate);
            socket.waitForBytesWritten(kWaitMs);
            socket.disconnectFromServer();
        }
        lock_.reset();
        return false;
    }
    // The lock is ours: a socket left behind by a crashed run is stale.
    QLocalServer::removeServer(key_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->listen(key_);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("activate")) {
                    emit ActivationRequested();
                }
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

}  // namespace velmar::ui
