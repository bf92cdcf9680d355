#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture.h"

namespace pellix {

// The capture file: a header of "# key: value" lines, then one event per line:
//   +0012.345678 RX 05 01 00 04 00 0A  ; NO ERROR
// time since the first opening in seconds with microseconds, the kind, the bytes in hex (or the
// event's text), and after " ; " the engines' notes. docs/capture.md describes it in full.

std::string_view kindName(CaptureKind kind);
std::optional<CaptureKind> kindFromName(std::string_view name);

// "+0012.345678"
std::string timeText(std::int64_t micros);
// "05 01 00 04 00 0A"
std::string hexText(std::string_view bytes);
// One character per byte, '.' for anything outside printable ASCII.
std::string printableText(std::string_view bytes);

void writeHeader(std::ostream& out, const CaptureHeader& header);
// One line, newline included.
std::string formatEvent(const CaptureEvent& event);
void writeCapture(std::ostream& out, const CaptureHeader& header, const CaptureRing& ring);

// Reads a capture one line at a time from a stream of any length: it keeps one line buffer of
// a fixed size, so a capture of hundreds of megabytes costs no more memory than a short one.
// The header is taken from the "# key: value" lines before the first event.
class CaptureReader {
  public:
    static constexpr std::size_t kMaxLineLength = 64 * 1024;
    enum class Result { Event, End, Error };

    explicit CaptureReader(std::istream& in);

    // The next event into `event` (its strings are reused). After an Error, stays at Error.
    Result next(CaptureEvent& event);

    const CaptureHeader& header() const { return m_header; }
    // "line 12: bad byte 'G1'"
    const std::string& error() const { return m_error; }
    std::size_t bufferSize() const { return m_line.size(); }

  private:
    Result fail(std::string message);
    bool parseEvent(std::string_view line, CaptureEvent& event);
    void headerLine(std::string_view line);

    std::istream& m_in;
    std::vector<char> m_line;
    CaptureHeader m_header;
    std::string m_error;
    std::int64_t m_lastMicros = 0;
    int m_lineNumber = 0;
    bool m_inEvents = false;
    bool m_failed = false;
};

// Writes every event to a file as it happens, one flushed line each, so a crash loses at most
// the line being written. The newest chunk is held back until something follows it (or
// flush()), so the notes its bytes get from the engines land on its own line.
class CaptureRecorder final : public CaptureSink {
  public:
    CaptureRecorder(std::ostream& out, const CaptureHeader& header);

    void eventAdded(const CaptureEvent& event) override;
    void bytesAppended(CaptureKind direction, std::int64_t micros,
                       std::span<const std::uint8_t> bytes) override;
    void noteAttached(std::int64_t micros, std::string_view note) override;

    // Writes the held-back line, if any.
    void flush();
    bool hasPending() const { return m_pending.has_value(); }
    bool failed() const;

  private:
    void write(const CaptureEvent& event);

    std::ostream& m_out;
    std::optional<CaptureEvent> m_pending;
};

}  // namespace pellix
