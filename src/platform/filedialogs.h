#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace pellix {

// The open and save dialogs of a tool window, behind an interface so tests can answer them.
// `filter` is written the traditional way, description and pattern pairs separated by '|'
// ("TXT File(*.TXT)|*.TXT|"). `startName` is the folder and pattern the dialog starts with
// ("/home/tech/*.TXT"). An empty result means the technician cancelled.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // Any name may be typed, existing or not; the caller checks that the file is there.
    virtual QString openFileName(const QString& title, const QString& filter,
                                 const QString& startName) = 0;
    // Asks before replacing an existing file; the chosen folder must exist.
    virtual QString saveFileName(const QString& title, const QString& filter,
                                 const QString& startName) = 0;
};

// Qt's form of a traditional filter: "TXT File(*.TXT)|*.TXT|" gives "TXT File (*.TXT *.txt)".
// The traditional patterns matched regardless of case, so both cases are offered for systems
// whose file names tell them apart.
QStringList qtNameFilters(const QString& filter);

// QFileDialog. Like the dialogs the tool grew up with, a chosen file's folder becomes the
// program's current folder, which later dialogs start from.
class QtFileDialogs final : public FileDialogs {
  public:
    explicit QtFileDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    QString openFileName(const QString& title, const QString& filter,
                         const QString& startName) override;
    QString saveFileName(const QString& title, const QString& filter,
                         const QString& startName) override;

  private:
    QString run(bool save, const QString& title, const QString& filter, const QString& startName);

    QWidget* m_parent = nullptr;
};

}  // namespace pellix
