// Opens the manual window on hostile manuals and reports how long each takes to show (read,
// build, lay out and paint) and to close. A technician may find any file under the manual's
// name; whatever it holds up to the reader's size cap must show within a second and close at
// once. Times are processor time, so a busy machine does not fail the run; wall time is shown
// beside it. Fails (exit 1) when any case takes longer than kLimitMs.
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextEdit>

#include <cstdio>
#include <ctime>
#include <string>

#include "fakes.h"
#include "manual/manualwindow.h"
#include "manual/rtfreader.h"

namespace {

using namespace pellix;

constexpr double kLimitMs = 1000.0;

std::string repeatedTo(std::string head, const std::string& unit, std::size_t size) {
    while (head.size() + unit.size() + 1 <= size) {
        head += unit;
    }
    return head + "}";
}

struct Case {
    const char* name;
    std::string rtf;
};

double cpuMs(std::clock_t since) {
    return 1000.0 * static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr std::size_t kMb = 1024 * 1024;
    const std::size_t cap = RtfReader::kMaxInputBytes;
    const Case cases[] = {
        {"1 MB unbroken word", repeatedTo("{\\rtf1 ", "W", kMb)},
        {"unbroken word up to the reader's cap", repeatedTo("{\\rtf1 ", "W", cap)},
        {"60000 paragraphs at a huge font size",
         repeatedTo("{\\rtf1\\fs99999 ", "x\\par ", 7 + 60000 * 6)},
        {"short paragraphs up to the cap", repeatedTo("{\\rtf1 ", "two words\\par ", cap)},
        {"format change every character", repeatedTo("{\\rtf1 ", "\\b a\\b0 b", cap)},
        {"ideographs up to the cap", repeatedTo("{\\rtf1 ", "\\u20013?", cap)},
        {"huge fonts and indents", repeatedTo("{\\rtf1 ", "\\fs99999\\li99999\\fi-99999 xy ", cap)},
        {"indents wider than the window", repeatedTo("{\\rtf1 ", "\\li99999\\fi-99999 xy ", cap)},
    };

    bool ok = true;
    for (const Case& c : cases) {
        QTemporaryDir folder;
        QFile file(folder.filePath(QStringLiteral("Manual5.rtf")));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(c.rtf.data(), static_cast<qint64>(c.rtf.size())) !=
                static_cast<qint64>(c.rtf.size())) {
            std::fprintf(stderr, "cannot write the manual for %s\n", c.name);
            return 1;
        }
        file.close();
        test::TestServices fakes;
        fakes.folder.m_path = folder.path();
        test::RecordingHost host;

        QElapsedTimer wall;
        wall.start();
        std::clock_t cpu = std::clock();
        auto* window = new ManualWindow(fakes.services, host);
        window->show();
        auto* text = window->findChild<QTextEdit*>(QStringLiteral("RichTextBox1"));
        // The whole document laid out, as scrolling to its end would need, and one paint.
        text->document()->documentLayout()->documentSize();
        window->grab();
        QApplication::processEvents();
        const double showCpu = cpuMs(cpu);
        const qint64 showWall = wall.restart();

        cpu = std::clock();
        window->close();
        delete window;
        QApplication::processEvents();
        const double closeCpu = cpuMs(cpu);
        const qint64 closeWall = wall.elapsed();

        const bool fast = showCpu <= kLimitMs && closeCpu <= kLimitMs;
        ok = ok && fast;
        std::printf(
            "manual %-40s %5.1f MB  show %7.1f ms (wall %5lld)  close %6.1f ms (wall %5lld)%s\n",
            c.name, static_cast<double>(c.rtf.size()) / kMb, showCpu,
            static_cast<long long>(showWall), closeCpu, static_cast<long long>(closeWall),
            fast ? "" : "  TOO SLOW");
    }
    return ok ? 0 : 1;
}
