#include "platform/qtservices.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

#include "common/settingskeys.h"
#include "platform/filenames.h"
#include "platform/runtimefolder.h"

namespace pellix {

QtSettingsStore::QtSettingsStore(std::function<void(const QString& file)> unreadable)
    : m_unreadable(std::move(unreadable)) {}

QtSettingsStore::~QtSettingsStore() = default;

QString QtSettingsStore::location() {
#ifdef Q_OS_UNIX
    // The name QSettings itself uses for the native format and the user scope.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) {
        config = QDir::homePath() + QStringLiteral("/.config");
    }
    return QDir(config).filePath(QString::fromLatin1(keys::kOrganization) + QLatin1Char('/') +
                                 QString::fromLatin1(keys::kApplication) + QStringLiteral(".conf"));
#else
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, keys::kOrganization,
                     keys::kApplication)
        .fileName();
#endif
}

QSettings* QtSettingsStore::settings() const {
    if (!m_opened) {
        m_opened = true;
#ifdef Q_OS_UNIX
        const QString file = location();
        const FileKind kind = fileKind(file);
        const bool readable = kind == FileKind::Missing ||
                              (kind == FileKind::Regular && QFileInfo(file).isReadable());
        if (!readable) {
            if (m_unreadable) {
                m_unreadable(file);
            }
            return nullptr;
        }
#endif
        m_settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                 keys::kOrganization, keys::kApplication);
    }
    return m_settings.get();
}

QString QtSettingsStore::value(const QString& key, const QString& defaultValue) const {
    if (QSettings* store = settings()) {
        return store->value(key, defaultValue).toString();
    }
    return m_memory.value(key, defaultValue);
}

void QtSettingsStore::setValue(const QString& key, const QString& value) {
    if (QSettings* store = settings()) {
        store->setValue(key, value);
        store->sync();
        return;
    }
    m_memory.insert(key, value);
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
