#include "app/TPreviousInstance.h"

#include "common/DataFolder.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QLockFile>

TPreviousInstance::TPreviousInstance() {
    fileName_ = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (fileName_.toUpper().contains(".EXE")) {
        caption_ = fileName_.left(fileName_.size() - 4);
    }
    const QString lockName = QString::fromStdString(DataFolder()) + fileName_ + ".lock";
    lock_ = std::make_unique<QLockFile>(lockName);
    // Only a lock whose process has gone is stale; a long-running copy keeps its lock.
    lock_->setStaleLockTime(0);
    anotherInstance_ = !lock_->tryLock(0);
}

TPreviousInstance::~TPreviousInstance() = default;

TPreviousInstance& TPreviousInstance::Instance() {
    static TPreviousInstance instance;
    return instance;
}

QString TPreviousInstance::ServerName() const {
    const QByteArray folder = QByteArray::fromStdString(DataFolder());
    const QByteArray hash = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex();
    return fileName_ + "-" + QString::fromLatin1(hash.left(12));
}
