#include "app/commandline.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <algorithm>

namespace pellix {
namespace {

const QString kProgram = QStringLiteral("pellix-kit");

// Options of the window system that QApplication takes out of the arguments itself; they are
// parsed here only so that they are not refused before it sees them.
QList<QCommandLineOption> windowSystemOptions() {
    QList<QCommandLineOption> options;
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "display",
                             "geometry", "qwindowgeometry", "qwindowicon", "qwindowtitle", "style",
                             "stylesheet", "session", "title", "name", "visual"}) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setValueName(QStringLiteral("value"));
        options.append(option);
    }
    for (const char* name : {"reverse", "nograb", "dograb", "sync", "widgetcount"}) {
        options.append(QCommandLineOption(QString::fromLatin1(name)));
    }
    for (QCommandLineOption& option : options) {
        option.setFlags(QCommandLineOption::HiddenFromHelp);
    }
    return options;
}

QString namesColumn(const QCommandLineOption& option) {
    QStringList names;
    for (const QString& name : option.names()) {
        names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    }
    return names.join(QStringLiteral(", "));
}

}  // namespace

CommandLine::CommandLine() {
    addPrintOption({QStringLiteral("h"), QStringLiteral("help")},
                   QStringLiteral("Show this help and exit."),
                   [this](QTextStream& out, QTextStream&, const QCommandLineParser&) {
                       out << helpText(kProgram);
                       return 0;
                   });
    addPrintOption({QStringLiteral("v"), QStringLiteral("version")},
                   QStringLiteral("Show the version and exit."),
                   [](QTextStream& out, QTextStream&, const QCommandLineParser&) {
                       out << kProgram << ' ' << versionText() << '\n';
                       return 0;
                   });
}

void CommandLine::addPrintOption(const QStringList& names, const QString& description,
                                 PrintAction action) {
    m_printOptions.push_back({QCommandLineOption(names, description), std::move(action)});
}

void CommandLine::addValueOption(const QCommandLineOption& option) {
    m_valueOptions.append(option);
}

QString CommandLine::versionText() {
    return QStringLiteral("%1.%2.%3")
        .arg(PELLIX_VERSION_MAJOR)
        .arg(PELLIX_VERSION_MINOR)
        .arg(PELLIX_VERSION_PATCH);
}

std::optional<int> CommandLine::run(const QStringList& arguments, QTextStream& out,
                                    QTextStream& err) {
    QCommandLineParser parser;
    // Single-dash words ("-platform xcb") are the window system's options; short options are
    // single letters anyway.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const PrintOption& p : m_printOptions) {
        parser.addOption(p.option);
    }
    parser.addOptions(m_valueOptions);
    parser.addOptions(windowSystemOptions());

    if (!parser.parse(arguments)) {
        err << kProgram << ": " << parser.errorText() << '\n'
            << "Try '" << kProgram << " --help' for the options.\n";
        return kUsageError;
    }
    // The first option given wins, so "--version --help" prints the version only.
    for (const QString& given : parser.optionNames()) {
        for (const PrintOption& p : m_printOptions) {
            if (p.option.names().contains(given)) {
                const int code = p.action(out, err, parser);
                out.flush();
                return code;
            }
        }
    }
    return std::nullopt;
}

QString CommandLine::helpText(const QString& program) const {
    QString text;
    QTextStream s(&text);
    s << "Usage: " << program << " [options]\n\n"
      << "Service tool for the Pellix coin hopper. Without options it opens the launcher.\n\n"
      << "Options:\n";
    qsizetype width = 0;
    for (const PrintOption& p : m_printOptions) {
        width = std::max(width, namesColumn(p.option).size());
    }
    for (const QCommandLineOption& o : m_valueOptions) {
        width = std::max(width, namesColumn(o).size() + 1 + o.valueName().size());
    }
    for (const PrintOption& p : m_printOptions) {
        s << "  " << namesColumn(p.option).leftJustified(width + 2) << p.option.description()
          << '\n';
    }
    for (const QCommandLineOption& o : m_valueOptions) {
        s << "  " << (namesColumn(o) + QLatin1Char(' ') + o.valueName()).leftJustified(width + 2)
          << o.description() << '\n';
    }
    return text;
}

QStringList argumentList(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    if (arguments.isEmpty()) {
        arguments.append(kProgram);  // QCommandLineParser takes the first entry as the program
    }
    return arguments;
}

}  // namespace pellix
