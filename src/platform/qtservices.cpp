#include "platform/qtservices.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>

#include "common/settingskeys.h"
#include "platform/runtimefolder.h"

namespace pellix {

QtSettingsStore::QtSettingsStore()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, keys::kOrganization,
                 keys::kApplication) {}

QString QtSettingsStore::value(const QString& key, const QString& defaultValue) const {
    return m_settings.value(key, defaultValue).toString();
}

void QtSettingsStore::setValue(const QString& key, const QString& value) {
    m_settings.setValue(key, value);
    m_settings.sync();
}

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

QString QtProgramFolder::path() const {
    if (m_path.isEmpty()) {
        m_path = locateRuntimeFolder(QCoreApplication::applicationDirPath());
    }
    return m_path;
}

QtInstanceLock::QtInstanceLock() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    m_lock = std::make_unique<QLockFile>(QDir(dir).filePath(QStringLiteral("pellix-kit.lock")));
    m_lock->setStaleLockTime(0);  // only a dead owner makes the lock stale, never its age
    m_held = m_lock->tryLock(0);
}

}  // namespace pellix
