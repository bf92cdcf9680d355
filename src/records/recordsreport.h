#pragma once

#include <QString>

#include <vector>

#include "records/recordsstore.h"
#include "records/servicerun.h"

namespace pellix::records {

// The listed runs as CSV (RFC 4180: a header line, commas, quotes where needed, CRLF).
QString runsCsv(const std::vector<RunRow>& rows);

// The listed runs as aligned text lines for a terminal.
QString runsText(const std::vector<RunRow>& rows);

// The service report of `run` as HTML, as the report file and the Records window show it.
QString serviceReportHtml(const ServiceRun& run, qint64 id);

// A one-page service report of `run` as a PDF file, written whole or not at all. Empty, or
// why it could not be written.
QString writeServiceReport(const ServiceRun& run, qint64 id, const QString& path);

}  // namespace pellix::records
