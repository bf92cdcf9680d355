#include "platform/filedialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace pellix {
namespace {

bool hasWildcard(const QString& name) {
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

}  // namespace

QStringList qtNameFilters(const QString& filter) {
    if (filter.contains(QStringLiteral(";;")) && !filter.contains(QLatin1Char('|'))) {
        return filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    }
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    // A description without its pattern (an odd part at the end) offers nothing to match.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        // Qt reads the patterns from the last parentheses; a description that already names
        // its pattern that way must not be read twice.
        if (description.endsWith(QLatin1Char(')'))) {
            const qsizetype open = description.lastIndexOf(QLatin1Char('('));
            if (open >= 0) {
                description = description.left(open).trimmed();
            }
        }
        QStringList patterns;
        for (const QString& raw : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString pattern = raw.trimmed();
            for (const QString& variant : {pattern, pattern.toUpper(), pattern.toLower()}) {
                if (!variant.isEmpty() && !patterns.contains(variant)) {
                    patterns << variant;
                }
            }
        }
        if (patterns.isEmpty()) {
            continue;
        }
        out << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return out;
}

QString FileDialogs::startFolder() const {
    if (!m_lastFolder.isEmpty() && QFileInfo(m_lastFolder).isDir()) {
        return m_lastFolder;
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) {
        return documents;
    }
    return QDir::homePath();
}

QString FileDialogs::remember(const QString& chosen) {
    if (!chosen.isEmpty()) {
        m_lastFolder = QFileInfo(chosen).absolutePath();
    }
    return chosen;
}

QString QtFileDialogs::ask(bool save, const QString& title, const QString& filter,
                           const QString& startName) {
    QFileDialog dialog(QApplication::activeWindow(), title);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // AnyFile for opening too: a typed name that does not exist reaches the caller, which
    // tells the technician so in its own words.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(qtNameFilters(filter));
    const QFileInfo start(QDir::fromNativeSeparators(startName));
    dialog.setDirectory(start.absolutePath());
    if (!start.fileName().isEmpty() && !hasWildcard(start.fileName())) {
        dialog.selectFile(start.fileName());
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QString chosen = dialog.selectedFiles().value(0);
    if (!chosen.isEmpty()) {
        QDir::setCurrent(QFileInfo(chosen).absolutePath());
    }
    return chosen;
}

}  // namespace pellix
