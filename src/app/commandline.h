#pragma once

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QCommandLineParser;
class QTextStream;

namespace pellix {

// The options understood before any window exists. Options that print something and end the
// program run without a display; everything else (no option, or plain arguments) starts the
// tool as usual.
//
// Adding an option is one call to `addPrintOption` in main: its name(s), its help line and what
// it prints.
class CommandLine {
  public:
    // Writes to `out` (errors to `err`) and returns the program's exit code; `given` holds the
    // values of the options added with addValueOption.
    using PrintAction =
        std::function<int(QTextStream& out, QTextStream& err, const QCommandLineParser& given)>;

    static constexpr int kUsageError = 2;

    CommandLine();

    void addPrintOption(const QStringList& names, const QString& description, PrintAction action);
    // An option that only qualifies a print option ("--serial N" for "--records").
    void addValueOption(const QCommandLineOption& option);

    // nullopt: start the windows. Otherwise the program ends with that code, after printing help,
    // the version, an option's output, or an error on `err`.
    std::optional<int> run(const QStringList& arguments, QTextStream& out, QTextStream& err);

    static QString versionText();

  private:
    struct PrintOption {
        QCommandLineOption option;
        PrintAction action;
    };

    QString helpText(const QString& program) const;

    std::vector<PrintOption> m_printOptions;
    QList<QCommandLineOption> m_valueOptions;
};

// The arguments as the program was given them, without needing a QCoreApplication.
QStringList argumentList(int argc, char* argv[]);

}  // namespace pellix
