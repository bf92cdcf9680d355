#include "records/recordsreport.h"

#include <QBuffer>
#include <QDir>
#include <QPdfWriter>
#include <QTextDocument>

#include "platform/atomicsave.h"

namespace pellix::records {
namespace {

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QStringList cells(const RunRow& row) {
    return {QString::number(row.id), row.started, row.interface, row.port,
            row.serialNumber,        row.outcome, row.reason,    row.bench,
            row.operatorName};
}

const QStringList kHeaders{"id",      "started", "interface", "port",    "serial number",
                           "outcome", "reason",  "bench",     "operator"};

QString html(const QString& text) {
    return text.toHtmlEscaped();
}

QString row(const QString& name, const QString& value) {
    return QStringLiteral("<tr><td class=n>%1</td><td>%2</td></tr>").arg(html(name), html(value));
}

}  // namespace

QString runsCsv(const std::vector<RunRow>& rows) {
    QString out = kHeaders.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (const RunRow& r : rows) {
        QStringList fields;
        for (const QString& cell : cells(r)) {
            fields << csvField(cell);
        }
        out += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out;
}

QString runsText(const std::vector<RunRow>& rows) {
    std::vector<qsizetype> widths;
    for (const QString& header : kHeaders) {
        widths.push_back(header.size());
    }
    for (const RunRow& r : rows) {
        const QStringList c = cells(r);
        for (qsizetype i = 0; i < c.size(); ++i) {
            widths[static_cast<std::size_t>(i)] =
                std::max(widths[static_cast<std::size_t>(i)], c[i].size());
        }
    }
    const auto line = [&](const QStringList& c) {
        QString out;
        for (qsizetype i = 0; i < c.size(); ++i) {
            out += i + 1 < c.size() ? c[i].leftJustified(widths[static_cast<std::size_t>(i)] + 2)
                                    : c[i];
        }
        return out.trimmed() + QLatin1Char('\n');
    };
    QString out = line(kHeaders);
    for (const RunRow& r : rows) {
        out += line(cells(r));
    }
    return out;
}

QString serviceReportHtml(const ServiceRun& run, qint64 id) {
    const auto q = [](const std::string& text) { return QString::fromStdString(text); };
    const HopperIdentity& h = run.hopper;
    QString body = QStringLiteral(
        "<style>body{font-family:sans-serif;font-size:9pt} h1{font-size:15pt;margin:0}"
        " h2{font-size:11pt;margin-top:10pt;border-bottom:1px solid #888}"
        " td{padding:1pt 6pt} td.n{color:#444;width:38%}</style>");
    body += QStringLiteral(
                "<h1>Pellix hopper service report</h1><p>Run %1 &middot; %2 &middot; "
                "<b>%3</b>%4</p>")
                .arg(id)
                .arg(html(q(std::string(interfaceName(run.interface)))),
                     html(q(std::string(outcomeName(run.outcome))).toUpper()),
                     run.reason.empty() ? QString() : QStringLiteral(": ") + html(q(run.reason)));
    body += QStringLiteral("<h2>Hopper</h2><table>");
    for (const auto& [name, value] : {std::pair{"Serial number", &h.serialNumber},
                                      {"Product code", &h.productCode},
                                      {"Software version", &h.softwareVersion},
                                      {"Manufacturer", &h.manufacturer},
                                      {"Build code", &h.buildCode},
                                      {"Hopper coin", &h.hopperCoin},
                                      {"Identity software", &h.identitySoftware},
                                      {"Identity checksum", &h.identityChecksum}}) {
        body += row(QString::fromLatin1(name), value->empty() ? QStringLiteral("-") : q(*value));
    }
    body += QStringLiteral("</table><h2>Service</h2><table>");
    body += row(QStringLiteral("Started (UTC)"), q(run.startedUtc));
    body += row(QStringLiteral("Ended (UTC)"), q(run.endedUtc));
    body += row(QStringLiteral("Bench"), q(run.bench));
    body += row(QStringLiteral("Operator"), q(run.operatorName));
    body += row(QStringLiteral("Port"),
                q(run.port) + QStringLiteral(" (") + q(run.device) + QLatin1Char(')'));
    body += QStringLiteral("</table><h2>Results and changes</h2><table>");
    for (const auto& [name, value] : run.values) {
        body += row(q(name), q(value));
    }
    if (run.values.empty()) {
        body += row(QStringLiteral("(none recorded)"), QString());
    }
    body += QStringLiteral("</table><h2>Note</h2><p>%1</p>")
                .arg(run.note.empty() ? QStringLiteral("-") : html(q(run.note)));
    return body;
}

QString writeServiceReport(const ServiceRun& run, qint64 id, const QString& path) {
    const QString body =
        serviceReportHtml(run, id) + QStringLiteral(
                                         "<p style='color:#666;margin-top:16pt'>Signature: "
                                         "______________________________</p>");
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(QStringLiteral("Pellix hopper service report, run %1").arg(id));
        writer.setCreator(QStringLiteral("Pellix kit"));
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
        QTextDocument document;
        document.setHtml(body);
        document.print(&writer);
    }
    buffer.close();
    return saveFileAtomically(path, pdf);
}

}  // namespace pellix::records
