#include <QTest>

#include <sstream>
#include <streambuf>

#include "capture/capture.h"
#include "capture/captureformat.h"
#include "manualclock.h"

using namespace pellix;
using pellix::test::ManualClock;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string text(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

std::vector<CaptureEvent> readAll(const std::string& file, QString* error = nullptr,
                                  CaptureHeader* header = nullptr) {
    std::istringstream in(file);
    CaptureReader reader(in);
    std::vector<CaptureEvent> events;
    CaptureEvent event;
    CaptureReader::Result result;
    while ((result = reader.next(event)) == CaptureReader::Result::Event) {
        events.push_back(event);
    }
    if (error) {
        *error = QString::fromStdString(reader.error());
    }
    if (header) {
        *header = reader.header();
    }
    return events;
}

bool sameEvents(const std::vector<CaptureEvent>& a, const CaptureRing& ring) {
    if (a.size() != ring.size()) {
        return false;
    }
    std::size_t i = 0;
    for (const CaptureEvent& e : ring) {
        const CaptureEvent& r = a[i++];
        if (e.micros != r.micros || e.kind != r.kind || e.data != r.data || e.note != r.note) {
            return false;
        }
    }
    return true;
}

// An endless source of capture lines, produced on demand so a test can stream far more than
// it could keep: `lines` lines of `line`.
class RepeatingLines final : public std::streambuf {
  public:
    RepeatingLines(std::string line, std::size_t lines) : m_line(std::move(line)), m_left(lines) {
        m_buffer.reserve(64 * 1024);
    }

  protected:
    int_type underflow() override {
        if (m_left == 0) {
            return traits_type::eof();
        }
        m_buffer.clear();
        while (m_left > 0 && m_buffer.size() + m_line.size() <= m_buffer.capacity()) {
            m_buffer += m_line;
            --m_left;
        }
        setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + m_buffer.size());
        return traits_type::to_int_type(m_buffer[0]);
    }

  private:
    std::string m_line;
    std::size_t m_left;
    std::string m_buffer;
};

}  // namespace

class CaptureTest : public QObject {
    Q_OBJECT
  private slots:
    // Far more events than fit: the memory counted stays under the cap all along, the newest
    // are kept in order and exactly the oldest were dropped.
    void ringKeepsNewestUnderCap() {
        constexpr std::size_t kCap = 1u << 20;
        constexpr std::uint64_t kEvents = 10'000'000;
        CaptureRing ring(kCap);
        std::size_t peak = 0;
        for (std::uint64_t i = 0; i < kEvents; ++i) {
            // Every 1000th event carries a chunk too long for the inline buffer.
            ring.push(CaptureEvent{static_cast<std::int64_t>(i),
                                   CaptureKind::Rx,
                                   std::string(i % 1000 == 0 ? 40 : 6, 'x'),
                                   {}});
            peak = std::max(peak, ring.bytesUsed());
        }
        QVERIFY(peak <= kCap);
        QVERIFY(ring.size() >= kCap / (2 * sizeof(CaptureEvent)));
        QCOMPARE(ring.size() * sizeof(CaptureEvent) <= kCap, true);
        QCOMPARE(ring.nextSequence(), kEvents);
        QCOMPARE(ring.dropped() + ring.size(), kEvents);
        QCOMPARE(ring.at(ring.firstSequence()).micros,
                 static_cast<std::int64_t>(ring.firstSequence()));
        QCOMPARE(ring.at(kEvents - 1).micros, static_cast<std::int64_t>(kEvents - 1));
    }

    // A chunk that grows or gets notes is recounted; one event bigger than the cap stays alone.
    void ringRecountsGrowingNewest() {
        CaptureRing ring(4 * sizeof(CaptureEvent) + 200);
        for (int i = 0; i < 4; ++i) {
            ring.push(CaptureEvent{i, CaptureKind::Tx, "ab", {}});
        }
        QCOMPARE(ring.size(), std::size_t{4});
        const std::size_t before = CaptureRing::cost(ring.newest());
        ring.newest().note.assign(500, 'n');
        ring.newestChanged(before);
        QCOMPARE(ring.size(), std::size_t{1});
        QCOMPARE(ring.firstSequence(), std::uint64_t{3});
        QCOMPARE(ring.bytesUsed(), CaptureRing::cost(ring.newest()));
    }

    // Exactly at the cap nothing goes; one byte over, the oldest does.
    void ringAtItsCapExactly() {
        const CaptureEvent event{0, CaptureKind::Rx, "ab", {}};
        CaptureRing ring(3 * CaptureRing::cost(event));
        for (int i = 0; i < 3; ++i) {
            ring.push(event);
        }
        QCOMPARE(ring.size(), std::size_t{3});
        QCOMPARE(ring.bytesUsed(), ring.capBytes());
        ring.push(event);
        QCOMPARE(ring.size(), std::size_t{3});
        QCOMPARE(ring.dropped(), std::uint64_t{1});
    }

    // A burst with no gap and a flood of notes are cut into lines of bounded length, and every
    // line the writer makes is one the reader takes, bytes and notes complete.
    void burstsAreCutIntoLinesAReaderTakes() {
        ManualClock clock;
        Capture capture("CNY mode tester", clock.clock());
        capture.opened("COM3", "/dev/pts/7", "9600,E,8,1");
        Bytes burst(3 * Capture::kMaxChunkBytes + 100);
        for (std::size_t i = 0; i < burst.size(); ++i) {
            burst[i] = static_cast<std::uint8_t>(i);
        }
        capture.received(std::span(burst).first(10));
        capture.received(std::span(burst).subspan(10));
        std::string notes;
        for (int i = 0; i < 2000; ++i) {
            capture.note("NO ERROR");
            notes.append(notes.empty() ? "" : " | ").append("NO ERROR");
        }
        std::stringstream file;
        writeCapture(file, capture.header(), capture.ring());
        CaptureReader reader(file);
        CaptureEvent event;
        std::string bytes;
        std::string readNotes;
        while (reader.next(event) == CaptureReader::Result::Event) {
            QVERIFY(event.data.size() <= Capture::kMaxChunkBytes);
            QVERIFY(event.note.size() <= Capture::kMaxNoteLength);
            bytes += isTraffic(event.kind) ? event.data : std::string();
            if (!event.note.empty()) {
                readNotes.append(readNotes.empty() ? "" : " | ").append(event.note);
            }
        }
        QVERIFY2(reader.error().empty(), reader.error().c_str());
        QCOMPARE(bytes, std::string(burst.begin(), burst.end()));
        QCOMPARE(readNotes, notes);
    }

    // Writes close together become one line; notes made while handling them attach to it;
    // anything between, a long pause or a change of direction starts a new line.
    void chunksMergeAndNotesAttach() {
        ManualClock clock;
        Capture capture("CNY mode tester", clock.clock());
        capture.opened("COM3", "/dev/pts/7", "9600,E,8,1");
        for (std::uint8_t b : Bytes{0x05, 0x10, 0x02, 0x11, 0x00, 0x28}) {
            clock.micros += 10;
            capture.sent(std::span(&b, 1));
        }
        capture.note("STATUS QUERY");
        clock.micros += 10'000;
        capture.received(Bytes{0x05, 0x01, 0x00});
        clock.micros += 100;
        capture.received(Bytes{0x04, 0x00, 0x0A});
        capture.note("NO ERROR");
        capture.note("Status No Error");
        clock.micros += 100;
        capture.received(Bytes{0x05});  // after notes: a line of its own
        clock.micros += 5'000;
        capture.received(Bytes{0x01});  // after a pause
        capture.sent(Bytes{0x82});      // other direction
        clock.micros += 1'000'000;
        capture.note("No Response");  // a time-out, long after the bytes
        capture.discarded(3);
        capture.closed();

        std::vector<std::pair<CaptureKind, std::string>> got;
        for (const CaptureEvent& e : capture.ring()) {
            got.emplace_back(e.kind, isTraffic(e.kind) ? hexText(e.data) + "|" + e.note : e.note);
        }
        const std::vector<std::pair<CaptureKind, std::string>> expected{
            {CaptureKind::Open, ""},
            {CaptureKind::Tx, "05 10 02 11 00 28|STATUS QUERY"},
            {CaptureKind::Rx, "05 01 00 04 00 0A|NO ERROR | Status No Error"},
            {CaptureKind::Rx, "05|"},
            {CaptureKind::Rx, "01|"},
            {CaptureKind::Tx, "82|"},
            {CaptureKind::Note, "No Response"},
            {CaptureKind::Discard, ""},
            {CaptureKind::Close, ""},
        };
        QVERIFY(got == expected);
        QCOMPARE(capture.ring().at(0).micros, std::int64_t{0});
        QCOMPARE(capture.ring().at(1).micros, std::int64_t{10});
        QCOMPARE(capture.header().settings, std::string("9600,E,8,1"));
        QCOMPARE(capture.header().opened, std::string("2026-12-08T21:00:00Z"));
    }

    // Every kind of event, notes with separators of their own, all 256 byte values: written
    // and read back, the same events and header.
    void fileRoundTrip() {
        ManualClock clock;
        Capture capture("Coin number setting", clock.clock());
        capture.setTool("Pellix kit 3.0.3");
        capture.opened("COM2", "/dev/ttyUSB0", "9600,E,8,1");
        Bytes all(256);
        for (int i = 0; i < 256; ++i) {
            all[i] = static_cast<std::uint8_t>(i);
        }
        clock.micros += 12'345'678;
        capture.received(all);
        capture.note("a; note | with separators");
        clock.micros += 3'000;
        capture.sent(Bytes{0x82});
        clock.micros += 3'000;
        capture.note("Enter Data (Do not Reset hopper)");
        capture.settingsChanged("19200,E,8,1");
        capture.discarded(12);
        capture.lost();
        capture.reopened("/dev/ttyUSB1");
        clock.micros += 10'000'000'000;  // hours later
        capture.closed();

        std::ostringstream out;
        writeCapture(out, capture.header(), capture.ring());
        CaptureHeader header;
        QString error;
        const auto events = readAll(out.str(), &error, &header);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(sameEvents(events, capture.ring()));
        QCOMPARE(header.tool, std::string("Pellix kit 3.0.3"));
        QCOMPARE(header.window, std::string("Coin number setting"));
        QCOMPARE(header.port, std::string("COM2"));
        QCOMPARE(header.device, std::string("/dev/ttyUSB0"));
        QCOMPARE(header.settings, std::string("19200,E,8,1"));
        QVERIFY(out.str().find("+0012.345678 RX 00 01 02") != std::string::npos);
    }

    // A recording made as events happen reads back as the same traffic and notes as the ring,
    // and each line is in the file before the next event (the newest chunk waits for its notes
    // until something follows or it is flushed).
    void recorderWritesAsEventsHappen() {
        ManualClock clock;
        Capture capture("CNY mode tester", clock.clock());
        std::ostringstream file;
        CaptureRecorder recorder(file, capture.header());
        capture.addSink(&recorder);
        capture.opened("COM3", "/dev/pts/7", "19200,E,8,1");
        QVERIFY(file.str().find("OPEN COM3") != std::string::npos);
        capture.sent(Bytes{0x05, 0x10});
        clock.micros += 10;
        capture.sent(Bytes{0x00, 0x11, 0x00, 0x26});
        capture.note("STATUS QUERY");
        QVERIFY(recorder.hasPending());
        clock.micros += 10'000;
        capture.received(Bytes{0x05, 0x01, 0x00, 0x04, 0x00, 0x0A});
        QVERIFY(file.str().find("TX 05 10 00 11 00 26  ; STATUS QUERY\n") != std::string::npos);
        recorder.flush();
        capture.note("NO ERROR");  // its line went out: a note line of its own
        capture.closed();
        capture.removeSink(&recorder);

        QString error;
        const auto events = readAll(file.str(), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(events.size(), std::size_t{5});
        QCOMPARE(events[2].data, text({0x05, 0x01, 0x00, 0x04, 0x00, 0x0A}));
        QCOMPARE(events[3].kind, CaptureKind::Note);
        QCOMPARE(events[3].note, std::string("NO ERROR"));
        QVERIFY(!recorder.failed());
    }

    void malformedLines_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("error");
        QTest::newRow("no time") << "RX 05"
                                 << "time expected";
        QTest::newRow("time without sign") << "0001.000000 RX 05"
                                           << "time expected";
        QTest::newRow("five microsecond digits") << "+0001.00000 RX 05"
                                                 << "time expected";
        QTest::newRow("letters in time") << "+00a1.000000 RX 05"
                                         << "time expected";
        QTest::newRow("time only") << "+0001.000000"
                                   << "event kind missing";
        QTest::newRow("unknown kind") << "+0001.000000 XX 05"
                                      << "unknown event kind 'XX'";
        QTest::newRow("lower-case kind") << "+0001.000000 rx 05"
                                         << "unknown event kind";
        QTest::newRow("bad hex") << "+0001.000000 RX 05 G1"
                                 << "bad byte 'G1'";
        QTest::newRow("three digits") << "+0001.000000 TX 050"
                                      << "bad byte '050'";
        QTest::newRow("no bytes") << "+0001.000000 TX  ; note"
                                  << "TX without bytes";
        QTest::newRow("time goes back") << "+0000.500000 RX 05"
                                        << "time goes back";
        QTest::newRow("close with text") << "+0001.000000 CLOSE now"
                                         << "takes no text";
        QTest::newRow("discard count") << "+0001.000000 DISCARD many"
                                       << "byte count";
        QTest::newRow("empty note") << "+0001.000000 NOTE ;"
                                    << "NOTE without text";
    }
    // The bad line is named by its number, counting header and blank lines; the events before
    // it were read.
    void malformedLines() {
        QFETCH(QString, line);
        QFETCH(QString, error);
        const std::string file =
            "# Pellix kit traffic capture\n# port: COM1\n\n"
            "+0000.900000 OPEN COM1 9600,E,8,1 /dev/x\n" +
            line.toStdString() + "\n+0002.000000 RX 05\n";
        QString message;
        const auto events = readAll(file, &message);
        QCOMPARE(events.size(), std::size_t{1});
        QVERIFY2(message.startsWith(QStringLiteral("line 5: ")), qPrintable(message));
        QVERIFY2(message.contains(error), qPrintable(message));
    }

    // A line longer than the reader's buffer is an error at that line, not a bigger buffer.
    void overlongLineIsRejected() {
        const std::string file = "+0000.000000 RX 05\n+0000.000001 RX" +
                                 std::string(CaptureReader::kMaxLineLength, ' ') + "06\n";
        std::istringstream in(file);
        CaptureReader reader(in);
        const std::size_t buffer = reader.bufferSize();
        CaptureEvent event;
        QCOMPARE(reader.next(event), CaptureReader::Result::Event);
        QCOMPARE(reader.next(event), CaptureReader::Result::Error);
        QVERIFY(QString::fromStdString(reader.error()).startsWith("line 2: line longer"));
        QCOMPARE(reader.bufferSize(), buffer);
        QCOMPARE(reader.next(event), CaptureReader::Result::Error);
    }

    // A 100 MB capture streams through one fixed line buffer: every event is read, and neither
    // the buffer nor the event handed out grows with the file.
    void hundredMegabytesStreamThroughOneLine() {
        const std::string line =
            "+0001.000000 RX 05 01 00 04 00 0A 05 01 01 AA 0C BD  ; NO ERROR\n";
        const std::size_t lines = (100u << 20) / line.size() + 1;
        RepeatingLines source(line, lines);
        std::istream in(&source);
        CaptureReader reader(in);
        const std::size_t buffer = reader.bufferSize();
        CaptureEvent event;
        std::size_t count = 0;
        std::size_t largest = 0;
        CaptureReader::Result result;
        while ((result = reader.next(event)) == CaptureReader::Result::Event) {
            ++count;
            largest = std::max(largest, event.data.capacity() + event.note.capacity());
        }
        QCOMPARE(result, CaptureReader::Result::End);
        QCOMPARE(count, lines);
        QCOMPARE(reader.bufferSize(), buffer);
        QVERIFY(largest < 64);
        QCOMPARE(event.data,
                 text({0x05, 0x01, 0x00, 0x04, 0x00, 0x0A, 0x05, 0x01, 0x01, 0xAA, 0x0C, 0xBD}));
    }
};

QTEST_GUILESS_MAIN(CaptureTest)
#include "test_capture.moc"
