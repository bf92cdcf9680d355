#include "platform/filedialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace pellix {
namespace {

bool hasWildcard(const QString& name) {
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

}  // namespace

QStringList qtNameFilters(const QString& filter) {
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

QString QtFileDialogs::openFileName(const QString& title, const QString& filter,
                                    const QString& startName) {
    return run(false, title, filter, startName);
}

QString QtFileDialogs::saveFileName(const QString& title, const QString& filter,
                                    const QString& startName) {
    return run(true, title, filter, startName);
}

QString QtFileDialogs::run(bool save, const QString& title, const QString& filter,
                           const QString& startName) {
    QFileDialog dialog(m_parent, title);
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
