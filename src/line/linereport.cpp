#include "line/linereport.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

#include <sys/ioctl.h>
#include <unistd.h>

namespace pellix::line {
namespace {

QString kindName(PositionEvent::Kind kind) {
    switch (kind) {
        case PositionEvent::Kind::Present:
            return QStringLiteral("present");
        case PositionEvent::Kind::Absent:
            return QStringLiteral("absent");
        case PositionEvent::Kind::Started:
            return QStringLiteral("started");
        case PositionEvent::Kind::Phase:
            return QStringLiteral("phase");
        case PositionEvent::Kind::Finished:
            return QStringLiteral("finished");
        case PositionEvent::Kind::Stopped:
            return QStringLiteral("stopped");
    }
    return {};
}

void put(std::FILE* out, const QString& text) {
    std::fputs(text.toUtf8().constData(), out);
    std::fflush(out);
}

class JsonReport final : public LineReport {
  public:
    explicit JsonReport(std::FILE* out) : m_out(out) {}

    void event(const PositionRow& row, const PositionEvent& event) override {
        QJsonObject line{{QStringLiteral("time"), now()},
                         {QStringLiteral("port"), row.name},
                         {QStringLiteral("event"), kindName(event.kind)}};
        if (!row.device.isEmpty()) {
            line.insert(QStringLiteral("device"), row.device);
        }
        if (!row.serial.isEmpty()) {
            line.insert(QStringLiteral("serial"), row.serial);
        }
        if (event.kind == PositionEvent::Kind::Phase) {
            line.insert(QStringLiteral("phase"), QString::fromStdString(event.text));
        } else if (event.kind == PositionEvent::Kind::Absent) {
            line.insert(QStringLiteral("reason"), QString::fromStdString(event.text));
        } else if (event.run) {
            line.insert(QStringLiteral("result"), event.run->outcome == records::Outcome::Pass
                                                      ? QStringLiteral("pass")
                                                      : QStringLiteral("fail"));
            line.insert(QStringLiteral("outcome"),
                        QString::fromUtf8(records::outcomeName(event.run->outcome)));
            if (!event.run->reason.empty()) {
                line.insert(QStringLiteral("reason"), QString::fromStdString(event.run->reason));
            }
        }
        write(line);
    }
    void message(const QString& text) override {
        write({{QStringLiteral("time"), now()},
               {QStringLiteral("event"), QStringLiteral("message")},
               {QStringLiteral("text"), text}});
    }
    void summary(int passed, int failed) override {
        write({{QStringLiteral("time"), now()},
               {QStringLiteral("event"), QStringLiteral("summary")},
               {QStringLiteral("passed"), passed},
               {QStringLiteral("failed"), failed}});
    }

  private:
    static QString now() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs); }
    void write(const QJsonObject& line) {
        put(m_out, QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)) +
                       QLatin1Char('\n'));
    }
    std::FILE* m_out;
};

QString resultText(const records::ServiceRun& run) {
    const QString outcome = QString::fromUtf8(records::outcomeName(run.outcome));
    return run.reason.empty() ? outcome
                              : outcome + QStringLiteral(": ") + QString::fromStdString(run.reason);
}

class LinesReport final : public LineReport {
  public:
    explicit LinesReport(std::FILE* out) : m_out(out) {}

    void event(const PositionRow& row, const PositionEvent& event) override {
        QString text;
        switch (event.kind) {
            case PositionEvent::Kind::Present:
                text = QStringLiteral("open on %1, waiting for a hopper").arg(row.device);
                break;
            case PositionEvent::Kind::Absent:
                text = QStringLiteral("not there: %1").arg(QString::fromStdString(event.text));
                break;
            case PositionEvent::Kind::Started:
                text = QStringLiteral("a hopper began");
                break;
            case PositionEvent::Kind::Phase:
                return;  // the table shows them; a log keeps to what happened to hoppers
            case PositionEvent::Kind::Finished:
                text = QStringLiteral("hopper %1 %2")
                           .arg(row.serial.isEmpty() ? QStringLiteral("(no serial number)")
                                                     : row.serial,
                                resultText(*event.run));
                break;
            case PositionEvent::Kind::Stopped:
                text = QStringLiteral("stopped");
                break;
        }
        line(row.name + QLatin1Char(' ') + text);
    }
    void message(const QString& text) override { line(text); }
    void summary(int passed, int failed) override {
        line(QStringLiteral("%1 passed, %2 failed").arg(passed).arg(failed));
    }

  private:
    void line(const QString& text) {
        put(m_out, QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss ")) + text +
                       QLatin1Char('\n'));
    }
    std::FILE* m_out;
};

// Redrawn in place at most ten times a second; messages go above it.
class TableReport final : public LineReport {
  public:
    TableReport(std::FILE* out, const std::vector<PositionRow>& rows, bool colour)
        : m_out(out), m_rows(rows), m_colour(colour) {
        m_redraw.setSingleShot(true);
        m_redraw.setInterval(100);
        QObject::connect(&m_redraw, &QTimer::timeout, [this] { draw(); });
    }

    void event(const PositionRow&, const PositionEvent&) override {
        if (!m_redraw.isActive()) {
            m_redraw.start();
        }
    }
    void message(const QString& text) override {
        erase();
        put(m_out, text + QLatin1Char('\n'));
        draw();
    }
    void summary(int passed, int failed) override {
        draw();
        put(m_out, QStringLiteral("%1 passed, %2 failed\n").arg(passed).arg(failed));
        m_drawn = 0;
    }

  private:
    QString paint(const QString& text, const char* code) const {
        return m_colour ? QStringLiteral("\x1b[%1m%2\x1b[0m").arg(QLatin1String(code), text) : text;
    }
    void erase() {
        if (m_drawn > 0) {
            put(m_out, QStringLiteral("\x1b[%1F\x1b[J").arg(m_drawn));
            m_drawn = 0;
        }
    }
    int terminalWidth() const {
        winsize size{};
        return ::ioctl(::fileno(m_out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col
                                                                                   : 80;
    }
    // Cut to `width` with an ellipsis; a device path keeps its start and its end, where by-id
    // names differ.
    static QString fitted(const QString& text, int width, bool middle = false) {
        if (text.size() <= width) {
            return text.leftJustified(width);
        }
        const int head = middle ? (width - 1) / 2 : width - 1;
        return text.left(head) + QChar(0x2026) + text.right(width - 1 - head);
    }
    void draw() {
        m_redraw.stop();
        int nameWidth = 8;
        for (const PositionRow& r : m_rows) {
            nameWidth = std::max(nameWidth, static_cast<int>(r.name.size()));
        }
        nameWidth = std::min(nameWidth, 40);
        const auto row = [nameWidth](const QString& name, const QString& state,
                                     const QString& serial, const QString& passed,
                                     const QString& failed, const QString& last) {
            return QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                .arg(fitted(name, nameWidth, true), state, serial.leftJustified(8),
                     passed.rightJustified(5), failed.rightJustified(5), last);
        };
        QString text = row(QStringLiteral("Position"), QStringLiteral("State").leftJustified(22),
                           QStringLiteral("Serial"), QStringLiteral("Pass"), QStringLiteral("Fail"),
                           QStringLiteral("Last"));
        // Every line within the terminal's width: a line that wrapped would take two rows, and
        // the next redraw would start one row too low.
        const int lastWidth = std::max(4, terminalWidth() - 1 - (nameWidth + 22 + 8 + 5 + 5 + 5));
        for (const PositionRow& r : m_rows) {
            QString last = fitted(r.last, lastWidth).trimmed();
            if (r.last.startsWith(QLatin1String("pass"))) {
                last = paint(last, "32");
            } else if (!r.last.isEmpty()) {
                last = paint(last, "31");
            }
            QString state = fitted(r.state, 22);
            if (r.state.startsWith(QLatin1String("absent"))) {
                state = paint(state, "2");
            } else if (r.state != QLatin1String("waiting") && r.state != QLatin1String("stopped")) {
                state = paint(state, "33");
            }
            text += row(r.name, state, r.serial, QString::number(r.passed),
                        QString::number(r.failed), last);
        }
        erase();
        put(m_out, text);
        m_drawn = static_cast<int>(m_rows.size()) + 1;
    }

    std::FILE* m_out;
    const std::vector<PositionRow>& m_rows;
    bool m_colour;
    QTimer m_redraw;
    int m_drawn = 0;
};

}  // namespace

std::unique_ptr<LineReport> makeReport(LineReport::Kind kind, std::FILE* out,
                                       const std::vector<PositionRow>& rows, bool colour) {
    switch (kind) {
        case LineReport::Kind::Json:
            return std::make_unique<JsonReport>(out);
        case LineReport::Kind::Table:
            return std::make_unique<TableReport>(out, rows, colour);
        case LineReport::Kind::Lines:
            break;
    }
    return std::make_unique<LinesReport>(out);
}

LineReport::Kind terminalKind(std::FILE* out) {
    const bool dumb = qEnvironmentVariable("TERM").isEmpty() ||
                      qEnvironmentVariable("TERM") == QLatin1String("dumb");
    return ::isatty(::fileno(out)) && !dumb ? LineReport::Kind::Table : LineReport::Kind::Lines;
}

bool terminalColour() {
    return !qEnvironmentVariableIsSet("NO_COLOR");
}

}  // namespace pellix::line
