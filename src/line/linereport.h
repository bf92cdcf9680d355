#pragma once

#include <QString>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

#include "line/position.h"

namespace pellix::line {

// One position as the operator sees it.
struct PositionRow {
    QString name;    // "COM5" or the device path given
    QString device;  // what it is open on
    QString state;   // "waiting", "testing", "absent: ...", "stopped"
    QString serial;  // the hopper's serial number, once known
    QString last;    // "pass", "fail: why", "incomplete: why"
    int passed = 0;
    int failed = 0;  // failed or incomplete
};

// What the operator or a line controller reads while the runner works.
class LineReport {
  public:
    enum class Kind {
        Table,  // a table redrawn in place, for a terminal
        Lines,  // one plain line per event, for a pipe or a log
        Json,   // one JSON object per line and event
    };

    virtual ~LineReport() = default;
    // The row has already taken the event.
    virtual void event(const PositionRow& row, const PositionEvent& event) = 0;
    // The runner's own words: stopping, database trouble.
    virtual void message(const QString& text) = 0;
    // The last word, once every position has stopped.
    virtual void summary(int passed, int failed) = 0;
};

// `rows` is the runner's, read by the table at every redraw. `colour` only for the table.
std::unique_ptr<LineReport> makeReport(LineReport::Kind kind, std::FILE* out,
                                       const std::vector<PositionRow>& rows, bool colour);

// A table for a terminal that can take it, plain lines otherwise.
LineReport::Kind terminalKind(std::FILE* out);
// Colour unless NO_COLOR is set or the terminal is dumb.
bool terminalColour();

}  // namespace pellix::line
