#include "coinsetting/settingfilecommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <direct.h>

#include <cstdlib>
#endif

#include "coinsetting/coinsettingtexts.h"
#include "coinsetting/settingfile.h"
#include "common/settingskeys.h"
#include "platform/atomicsave.h"
#include "platform/filedialogs.h"
#include "platform/filenames.h"
#include "platform/qttext.h"
#include "platform/services.h"

namespace pellix {
namespace {

namespace texts = coinsetting::texts;

#ifdef Q_OS_WIN
// The current folder of the drive `letter` names, empty when there is no such drive.
QString currentFolderOfDrive(QChar letter) {
    const QChar drive = letter.toUpper();
    if (drive < QLatin1Char('A') || drive > QLatin1Char('Z')) {
        return {};
    }
    // Asked about a drive that is not there (a stick pulled since the path was remembered),
    // the runtime's parameter check would end the program; such a drive has no folder.
    if (!QFileInfo::exists(QString(drive) + QStringLiteral(":/"))) {
        return {};
    }
    wchar_t* folder = _wgetdcwd(drive.unicode() - u'A' + 1, nullptr, 0);
    if (folder == nullptr) {
        return {};
    }
    const QString out = QDir::fromNativeSeparators(QString::fromWCharArray(folder));
    std::free(folder);
    return out;
}
#endif

// Where the dialog starts, as a name it shows: the folder and the TXT pattern.
QString dialogStartName(const QString& remembered, const QString& fallback) {
    return QDir::toNativeSeparators(
        QDir(settingDialogFolder(remembered, fallback)).filePath(toQString(texts::kStartPattern)));
}

// "Save_path": the chosen file's folder followed by the pattern, in the system's own spelling.
QString savePathValue(const QString& chosen) {
    QString folder;
#ifdef Q_OS_WIN
    folder = currentFolderOfDrive(chosen.isEmpty() ? QChar() : chosen.at(0));
#endif
    if (folder.isEmpty()) {
        folder = QFileInfo(chosen).absolutePath();
    }
    return QDir::toNativeSeparators(QDir(folder).filePath(toQString(texts::kSavePathPattern)));
}

}  // namespace

QString settingDialogFolder(const QString& remembered, const QString& fallback) {
#ifdef Q_OS_WIN
    const QString folder = currentFolderOfDrive(remembered.isEmpty() ? QChar() : remembered.at(0));
    if (!folder.isEmpty()) {
        return folder;
    }
#else
    if (!remembered.isEmpty()) {
        const QFileInfo info(QDir::fromNativeSeparators(remembered));
        if (info.isDir()) {
            return info.absoluteFilePath();
        }
        const QFileInfo parent(info.absolutePath());
        if (parent.isDir()) {
            return parent.absoluteFilePath();
        }
    }
#endif
    return fallback;
}

SettingFileCommands::SettingFileCommands(Services& services, SettingBoxAccess boxes)
    : m_services(services), m_boxes(std::move(boxes)) {}

// Nothing remembered yet: the last folder used in this run, else the documents folder. The
// program's own folder is no place for a technician's files (an installed copy cannot write
// it).
QString SettingFileCommands::startName(const char* key) const {
    const QString fallback = m_services.dialogs.startFolder();
    return dialogStartName(m_services.settings.value(QLatin1String(key), QString()), fallback);
}

void SettingFileCommands::load() {
    const QString chosen = m_services.dialogs.openFileName(
        toQString(texts::kLoadTitle), toQString(texts::kFileFilter), startName(keys::kLoadPath));
    if (chosen.isEmpty()) {
        return;
    }
    const QFileInfo info(chosen);
    // Looked up by the file system's own bytes: a name that is not valid UTF-8 still exists.
    if (fileKind(chosen) == FileKind::Missing) {
        m_services.messages.show(toQString(texts::kFileMissing), toQString(texts::kErrorTitle),
                                 MessageIcon::Exclamation);
        return;
    }
    m_services.settings.setValue(QLatin1String(keys::kLoadPath),
                                 QDir::toNativeSeparators(info.absoluteFilePath()));
    for (int i = 0; i < kSettingChannels; ++i) {
        m_boxes.setText(i, QStringLiteral("0"));
    }

    // Only a regular file is opened: opening a named pipe nobody writes to would never return.
    // What cannot be read stays "0", as with a file that ends early.
    QFile file;
    if (!openRegularFile(chosen, file)) {
        return;
    }
    const SettingFileContent content = readSettingFile([&file](std::span<char> buffer) {
        const qint64 got = file.read(buffer.data(), static_cast<qint64>(buffer.size()));
        return got > 0 ? static_cast<std::size_t>(got) : std::size_t{0};
    });
    // Closed before anything is shown, so the file is free while a message waits.
    file.close();

    for (int i = 0; i < content.loadedChannels; ++i) {
        m_boxes.setText(i, QString::fromLatin1(content.boxes[static_cast<std::size_t>(i)]));
    }
    if (content.end == LoadEnd::NotDigits) {
        m_services.messages.show(toQString(texts::kUnableToLoad),
                                 QLatin1String(keys::kApplicationTitle), MessageIcon::Exclamation);
    }
}

void SettingFileCommands::save() {
    const QString chosen = m_services.dialogs.saveFileName(
        toQString(texts::kSaveTitle), toQString(texts::kFileFilter), startName(keys::kSavePath));
    if (chosen.isEmpty()) {
        return;
    }
    m_services.settings.setValue(QLatin1String(keys::kSavePath), savePathValue(chosen));

    SettingBoxTexts texts;
    for (int i = 0; i < kSettingChannels; ++i) {
        texts[static_cast<std::size_t>(i)] = m_boxes.text(i).toStdString();
    }
    // Written whole or not at all: a failed save leaves the earlier file as it was.
    const QString reason =
        saveFileAtomically(chosen, QByteArray::fromStdString(settingFileText(texts)));
    if (!reason.isEmpty()) {
        m_services.messages.show(
            toQString(texts::kUnableToSave).arg(QDir::toNativeSeparators(chosen), reason),
            toQString(texts::kErrorTitle), MessageIcon::Exclamation);
    }
}

}  // namespace pellix
