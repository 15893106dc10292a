#include "app/TJustOne.h"

#include "app/TPreviousInstance.h"

#include <QDebug>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

#include <cstdlib>
#include <utility>

namespace {

std::function<void()> terminateProcess = [] { std::exit(0); };

constexpr int ConnectTimeoutMs = 2000;

} // namespace

void TJustOne::SetTerminate(std::function<void()> terminate) {
    terminateProcess = std::move(terminate);
}

TJustOne::TJustOne(QWidget* mainWindow) : QObject(mainWindow), mainWindow_(mainWindow) {
    if (TPreviousInstance::Instance().AnotherInstanceExists()) {
        secondCopy_ = true;
        NotifyFirstCopy();
        terminateProcess();
        return;
    }
    Listen();
}

TJustOne::~TJustOne() = default;

void TJustOne::Listen() {
    const QString name = TPreviousInstance::Instance().ServerName();
    // We hold the lock, so a socket of that name is left over from a copy that crashed.
    QLocalServer::removeServer(name);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name)) {
        return; // Another copy then cannot raise us; nothing else depends on it.
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().trimmed() == RaiseRequest) {
                    BringToFront();
                }
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void TJustOne::NotifyFirstCopy() {
    QLocalSocket socket;
    socket.connectToServer(TPreviousInstance::Instance().ServerName());
    if (!socket.waitForConnected(ConnectTimeoutMs)) {
        return;
    }
    socket.write(RaiseRequest);
    socket.write("\n");
    socket.waitForBytesWritten(ConnectTimeoutMs);
    socket.waitForDisconnected(ConnectTimeoutMs);
}

void TJustOne::BringToFront() {
    if (!mainWindow_) {
        return;
    }
    if (mainWindow_->isMinimized()) {
        mainWindow_->setWindowState(mainWindow_->windowState() & ~Qt::WindowMinimized);
        mainWindow_->show();
    } else {
        mainWindow_->raise();
    }
    mainWindow_->activateWindow();
    qInfo("Quillpost: another copy was started; this window was brought to the front");
    emit BroughtToFront();
}
