#pragma once

#include <QString>
#include <QStringList>

namespace pellix {

// The open and save dialogs of the program, behind an interface so tests can answer them.
// `filter` is written the traditional way, description and pattern pairs separated by '|'
// ("TXT File(*.TXT)|*.TXT|"), or Qt's way ("CSV files (*.csv);;All files (*)").
// `startName` is the folder and pattern the dialog starts with ("/home/tech/*.TXT"). An empty
// result means the technician cancelled.
class FileDialogs {
  public:
    virtual ~FileDialogs() = default;
    // Any name may be typed, existing or not; the caller checks that the file is there.
    QString openFileName(const QString& title, const QString& filter, const QString& startName) {
        return remember(ask(false, title, filter, startName));
    }
    // Asks before replacing an existing file; the chosen folder must exist.
    QString saveFileName(const QString& title, const QString& filter, const QString& startName) {
        return remember(ask(true, title, filter, startName));
    }
    // Where a dialog with no remembered place of its own starts: the folder of the last file
    // chosen in any dialog of this run, else the user's documents folder (else home). Never
    // the program's folder, which an installed copy cannot write.
    QString startFolder() const;

  protected:
    virtual QString ask(bool save, const QString& title, const QString& filter,
                        const QString& startName) = 0;

  private:
    QString remember(const QString& chosen);

    QString m_lastFolder;
};

// Qt's form of a traditional filter: "TXT File(*.TXT)|*.TXT|" gives "TXT File (*.TXT *.txt)".
// The traditional patterns matched regardless of case, so both cases are offered for systems
// whose file names tell them apart.
QStringList qtNameFilters(const QString& filter);

// QFileDialog over the active window. Like the dialogs the tool grew up with, a chosen
// file's folder becomes the program's current folder.
class QtFileDialogs final : public FileDialogs {
  protected:
    QString ask(bool save, const QString& title, const QString& filter,
                const QString& startName) override;
};

}  // namespace pellix
