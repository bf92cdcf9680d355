#include "platform/qtsettingsstore.h"

#include <QDir>
#include <QFileInfo>

#include "common/settingskeys.h"
#include "platform/filenames.h"

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

}  // namespace pellix
