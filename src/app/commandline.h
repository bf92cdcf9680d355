#pragma once

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QTextStream;

namespace pellix {

// The options understood before any window exists: each prints something and ends the
// program, without a display. Anything else starts the tool as usual.
class CommandLine {
  public:
    // Writes to `out` and returns the program's exit code.
    using PrintAction = std::function<int(QTextStream& out)>;

    CommandLine();

    void addPrintOption(const QStringList& names, const QString& description, PrintAction action);

    // nullopt: start the windows; otherwise the exit code after the option printed its text.
    std::optional<int> run(const QStringList& arguments, QTextStream& out, QTextStream& err);

    static QString versionText();

  private:
    struct PrintOption {
        QCommandLineOption option;
        PrintAction action;
    };
    QString helpText() const;

    std::vector<PrintOption> m_printOptions;
};

// The arguments as the program was given them, without needing a QCoreApplication.
QStringList argumentList(int argc, char* argv[]);

}  // namespace pellix
