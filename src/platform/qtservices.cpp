#include "platform/qtservices.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>

#include "platform/runtimefolder.h"

namespace pellix {

void QtMessageBoxes::show(const QString& text, const QString& title, MessageIcon icon) {
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
        case MessageIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MessageIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void QtClipboard::clear() {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
    }
}

void QtClipboard::setText(const QString& text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->setText(text);
    }
}

QString QtProgramFolder::path() const {
    if (m_path.isEmpty()) {
        m_path = locateRuntimeFolder(QCoreApplication::applicationDirPath());
    }
    return m_path;
}

namespace {

QString runtimeFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return dir.isEmpty() ? QDir::tempPath() : dir;
}

}  // namespace

QtInstanceLock::QtInstanceLock() : QtInstanceLock(runtimeFolder()) {}

QtInstanceLock::QtInstanceLock(const QString& folder)
    : m_lock(
          std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("pellix-kit.lock")))) {
    m_lock->setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
    m_another = !m_lock->tryLock(0) && m_lock->error() == QLockFile::LockFailedError;
}

}  // namespace pellix
