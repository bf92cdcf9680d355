#include "capture/captureformat.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <istream>
#include <ostream>
#include <utility>

namespace pellix {
namespace {

constexpr std::array<std::pair<CaptureKind, std::string_view>, 9> kKindNames{{
    {CaptureKind::Tx, "TX"},
    {CaptureKind::Rx, "RX"},
    {CaptureKind::Note, "NOTE"},
    {CaptureKind::Open, "OPEN"},
    {CaptureKind::Close, "CLOSE"},
    {CaptureKind::Lost, "LOST"},
    {CaptureKind::Reopen, "REOPEN"},
    {CaptureKind::Discard, "DISCARD"},
    {CaptureKind::Line, "LINE"},
}};

constexpr std::string_view kNoteSeparator = " ; ";
constexpr std::string_view kTitle = "# Pellix kit traffic capture";

struct HeaderKey {
    std::string_view key;
    std::string CaptureHeader::*field;
};
const std::array<HeaderKey, 6> kHeaderKeys{{
    {"tool", &CaptureHeader::tool},
    {"window", &CaptureHeader::window},
    {"port", &CaptureHeader::port},
    {"device", &CaptureHeader::device},
    {"line", &CaptureHeader::settings},
    {"opened", &CaptureHeader::opened},
}};

// Texts go on one line and must not be taken for the note separator.
std::string oneLine(std::string_view text, bool keepSemicolons) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\n' || c == '\r' || (!keepSemicolons && c == ';')) {
            c = ' ';
        }
    }
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool allDigits(std::string_view s) {
    if (s.empty()) {
        return false;
    }
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// "+SSSS.UUUUUU": at least one digit of seconds, exactly six of microseconds.
std::optional<std::int64_t> parseTime(std::string_view s) {
    if (s.size() < 9 || s.front() != '+') {
        return std::nullopt;
    }
    const auto dot = s.find('.');
    if (dot == std::string_view::npos || s.size() - dot - 1 != 6) {
        return std::nullopt;
    }
    const std::string_view seconds = s.substr(1, dot - 1);
    const std::string_view micros = s.substr(dot + 1);
    if (!allDigits(seconds) || !allDigits(micros) || seconds.size() > 12) {
        return std::nullopt;
    }
    std::int64_t sec = 0;
    std::int64_t us = 0;
    std::from_chars(seconds.data(), seconds.data() + seconds.size(), sec);
    std::from_chars(micros.data(), micros.data() + micros.size(), us);
    return sec * 1'000'000 + us;
}

}  // namespace

std::string_view kindName(CaptureKind kind) {
    for (const auto& [k, name] : kKindNames) {
        if (k == kind) {
            return name;
        }
    }
    return "NOTE";
}

std::optional<CaptureKind> kindFromName(std::string_view name) {
    for (const auto& [k, n] : kKindNames) {
        if (n == name) {
            return k;
        }
    }
    return std::nullopt;
}

std::string timeText(std::int64_t micros) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "+%04lld.%06lld",
                  static_cast<long long>(micros / 1'000'000),
                  static_cast<long long>(micros % 1'000'000));
    return buffer;
}

std::string hexText(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        if (!out.empty()) {
            out.push_back(' ');
        }
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

std::string printableText(std::string_view bytes) {
    std::string out(bytes);
    for (char& c : out) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x20 || b > 0x7E) {
            c = '.';
        }
    }
    return out;
}

void writeHeader(std::ostream& out, const CaptureHeader& header) {
    out << kTitle << '\n';
    for (const auto& [key, field] : kHeaderKeys) {
        out << "# " << key << ": " << oneLine(header.*field, true) << '\n';
    }
}

std::string formatEvent(const CaptureEvent& event) {
    std::string line = timeText(event.micros);
    line.push_back(' ');
    line.append(kindName(event.kind));
    const std::string payload =
        isTraffic(event.kind) ? hexText(event.data) : oneLine(event.data, false);
    if (!payload.empty()) {
        line.push_back(' ');
        line.append(payload);
    }
    if (!event.note.empty()) {
        // Two blanks before the separator set the notes apart from the bytes.
        line.append(" ").append(kNoteSeparator).append(oneLine(event.note, true));
    }
    line.push_back('\n');
    return line;
}

void writeCapture(std::ostream& out, const CaptureHeader& header, const CaptureRing& ring) {
    writeHeader(out, header);
    for (const CaptureEvent& event : ring) {
        out << formatEvent(event);
    }
}

CaptureReader::CaptureReader(std::istream& in) : m_in(in), m_line(kMaxLineLength + 2) {}

CaptureReader::Result CaptureReader::fail(std::string message) {
    m_failed = true;
    m_error = "line " + std::to_string(m_lineNumber) + ": " + std::move(message);
    return Result::Error;
}

CaptureReader::Result CaptureReader::next(CaptureEvent& event) {
    if (m_failed) {
        return Result::Error;
    }
    for (;;) {
        if (!m_in.getline(m_line.data(), static_cast<std::streamsize>(m_line.size()))) {
            if (m_in.eof() && m_in.gcount() == 0) {
                return Result::End;
            }
            if (!m_in.eof()) {
                ++m_lineNumber;
                return fail("line longer than " + std::to_string(kMaxLineLength) + " characters");
            }
            // A last line without its newline still counts.
        }
        ++m_lineNumber;
        std::size_t length = static_cast<std::size_t>(m_in.gcount());
        if (length > 0 && !m_in.eof()) {
            --length;  // the newline getline took
        }
        if (length > kMaxLineLength) {
            return fail("line longer than " + std::to_string(kMaxLineLength) + " characters");
        }
        const std::string_view line = trim(std::string_view(m_line.data(), length));
        if (line.empty()) {
            if (m_in.eof()) {
                return Result::End;
            }
            continue;
        }
        if (line.front() == '#') {
            if (!m_inEvents) {
                headerLine(line);
            }
            continue;
        }
        m_inEvents = true;
        if (!parseEvent(line, event)) {
            return Result::Error;
        }
        return Result::Event;
    }
}

void CaptureReader::headerLine(std::string_view line) {
    line.remove_prefix(1);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) {
        return;  // the title or a remark
    }
    const std::string_view key = trim(line.substr(0, colon));
    for (const auto& [k, field] : kHeaderKeys) {
        if (k == key) {
            m_header.*field = std::string(trim(line.substr(colon + 1)));
        }
    }
}

bool CaptureReader::parseEvent(std::string_view line, CaptureEvent& event) {
    const auto timeEnd = line.find(' ');
    const auto micros = parseTime(line.substr(0, timeEnd));
    if (!micros) {
        fail("time expected as +SSSS.UUUUUU, found '" +
             std::string(line.substr(0, std::min<std::size_t>(timeEnd, 20))) + "'");
        return false;
    }
    if (*micros < m_lastMicros) {
        fail("time goes back");
        return false;
    }
    std::string_view rest =
        timeEnd == std::string_view::npos ? std::string_view{} : trim(line.substr(timeEnd));
    const auto kindEnd = rest.find(' ');
    const std::string_view name = rest.substr(0, kindEnd);
    const auto kind = kindFromName(name);
    if (!kind) {
        fail(name.empty() ? std::string("event kind missing")
                          : "unknown event kind '" + std::string(name) + "'");
        return false;
    }
    rest = kindEnd == std::string_view::npos ? std::string_view{} : rest.substr(kindEnd);
    std::string_view note;
    if (const auto sep = rest.find(';'); sep != std::string_view::npos) {
        note = rest.substr(sep + 1);
        if (!note.empty() && note.front() == ' ') {
            note.remove_prefix(1);
        }
        rest = rest.substr(0, sep);
    }
    rest = trim(rest);

    event.micros = *micros;
    event.kind = *kind;
    event.data.clear();
    event.note.assign(note);
    if (isTraffic(*kind)) {
        std::size_t i = 0;
        while (i < rest.size()) {
            const auto end = std::min(rest.find(' ', i), rest.size());
            const std::string_view token = rest.substr(i, end - i);
            if (token.size() != 2 || hexDigit(token[0]) < 0 || hexDigit(token[1]) < 0) {
                fail("bad byte '" + std::string(token.substr(0, 8)) + "'");
                return false;
            }
            event.data.push_back(static_cast<char>(hexDigit(token[0]) * 16 + hexDigit(token[1])));
            i = rest.find_first_not_of(' ', end);
            if (i == std::string_view::npos) {
                break;
            }
        }
        if (event.data.empty()) {
            fail(std::string(name) + " without bytes");
            return false;
        }
    } else {
        if ((*kind == CaptureKind::Close || *kind == CaptureKind::Lost) && !rest.empty()) {
            fail(std::string(name) + " takes no text");
            return false;
        }
        if (*kind == CaptureKind::Discard && !allDigits(rest)) {
            fail("DISCARD needs a byte count");
            return false;
        }
        if (*kind == CaptureKind::Note && note.empty()) {
            fail("NOTE without text");
            return false;
        }
        event.data.assign(rest);
    }
    m_lastMicros = *micros;
    return true;
}

CaptureRecorder::CaptureRecorder(std::ostream& out, const CaptureHeader& header) : m_out(out) {
    writeHeader(m_out, header);
    m_out.flush();
}

void CaptureRecorder::write(const CaptureEvent& event) {
    m_out << formatEvent(event);
    m_out.flush();
}

void CaptureRecorder::flush() {
    if (m_pending) {
        write(*m_pending);
        m_pending.reset();
    }
}

bool CaptureRecorder::failed() const {
    return !m_out;
}

void CaptureRecorder::eventAdded(const CaptureEvent& event) {
    flush();
    if (isTraffic(event.kind)) {
        m_pending = event;
    } else {
        write(event);
    }
}

void CaptureRecorder::bytesAppended(CaptureKind direction, std::int64_t micros,
                                    std::span<const std::uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (m_pending) {
        m_pending->data.append(text);
        return;
    }
    // Its line went out already: the rest of the chunk gets a line of its own.
    m_pending = CaptureEvent{micros, direction, std::string(text), {}};
}

void CaptureRecorder::noteAttached(std::int64_t micros, std::string_view note) {
    if (m_pending) {
        if (!m_pending->note.empty()) {
            m_pending->note.append(" | ");
        }
        m_pending->note.append(note);
        return;
    }
    write(CaptureEvent{micros, CaptureKind::Note, {}, std::string(note)});
}

}  // namespace pellix
