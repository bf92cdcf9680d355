#include "app/commandline.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace pellix {
namespace {

const QString kProgram = QStringLiteral("pellix-kit");

}  // namespace

CommandLine::CommandLine() {
    addPrintOption({QStringLiteral("h"), QStringLiteral("help")},
                   QStringLiteral("Show this help and exit."), [this](QTextStream& out) {
                       out << helpText();
                       return 0;
                   });
    addPrintOption({QStringLiteral("v"), QStringLiteral("version")},
                   QStringLiteral("Show the version and exit."), [](QTextStream& out) {
                       out << kProgram << ' ' << versionText() << '\n';
                       return 0;
                   });
}

void CommandLine::addPrintOption(const QStringList& names, const QString& description,
                                 PrintAction action) {
    m_printOptions.push_back({QCommandLineOption(names, description), std::move(action)});
}

QString CommandLine::versionText() {
    return QStringLiteral("%1.%2.%3")
        .arg(PELLIX_VERSION_MAJOR)
        .arg(PELLIX_VERSION_MINOR)
        .arg(PELLIX_VERSION_PATCH);
}

std::optional<int> CommandLine::run(const QStringList& arguments, QTextStream& out,
                                    QTextStream& err) {
    Q_UNUSED(err);
    QCommandLineParser parser;
    // "-platform xcb" and the like belong to the window system: read as long options, and
    // left alone when they are not ours.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const PrintOption& p : m_printOptions) {
        parser.addOption(p.option);
    }
    parser.parse(arguments);
    for (const QString& given : parser.optionNames()) {
        for (const PrintOption& p : m_printOptions) {
            if (p.option.names().contains(given)) {
                const int code = p.action(out);
                out.flush();
                return code;
            }
        }
    }
    return std::nullopt;
}

QString CommandLine::helpText() const {
    QString text;
    QTextStream s(&text);
    s << "Usage: " << kProgram << " [options]\n\n"
      << "Service tool for the Pellix coin hopper. Without options it opens the launcher.\n\n"
      << "Options:\n";
    for (const PrintOption& p : m_printOptions) {
        QStringList names;
        for (const QString& name : p.option.names()) {
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        }
        s << "  " << names.join(QStringLiteral(", ")).leftJustified(20) << ' '
          << p.option.description() << '\n';
    }
    return text;
}

QStringList argumentList(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    if (arguments.isEmpty()) {
        arguments.append(kProgram);
    }
    return arguments;
}

}  // namespace pellix
