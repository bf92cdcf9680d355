#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

#include "app/windowregistry.h"
#include "fakes.h"
#include "manual/manualwindow.h"
#include "manual/rtfdocument.h"
#include "manual/rtfreader.h"
#include "widgets/twips.h"
#include "widgets/windowhost.h"

using namespace pellix;
using pellix::test::RecordingHost;
using pellix::test::TestServices;
using pellix::test::writeFile;

class ManualWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void fixedTexts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QPoint>("designed");  // top left in twips
        QTest::newRow("product") << "Label1"
                                 << "APPLY PRODUCT:QD-310 TZV+Hopper+CNY Mode+ CCTALK Mode"
                                 << QPoint(480, 360);
        QTest::newRow("firmware with ampersands")
            << "Label3"
            << "APPLY FIRMWARE:UP TO TD3&BQRM50 and UP TO TDNQRCN50 and UP TO TD3&HQRMM53"
            << QPoint(480, 675);
        QTest::newRow("interface with double blanks")
            << "Label2_0"
            << "APPLY INTERFACE:TZV001  /  TZV002  /  China Interface" << QPoint(480, 1005);
        QTest::newRow("release") << "Label4"
                                 << "TZV 2010.02.05" << QPoint(8880, 1440);
    }
    void fixedTexts() {
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QFETCH(QPoint, designed);
        TestServices fakes;
        RecordingHost host;
        ManualWindow window(fakes.services, host);
        auto* label = window.findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->text(), expected);
        QCOMPARE(label->accessibleName(), expected);
        QCOMPARE(label->parentWidget()->objectName(), QStringLiteral("Frame1"));
        // Every character is drawn, ampersands included: no mnemonic eats one.
        QVERIFY(label->buddy() == nullptr);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QVERIFY(label->sizeHint().width() >= label->fontMetrics().horizontalAdvance(expected));
        // And the whole text fits inside its frame.
        QVERIFY2(label->parentWidget()->rect().contains(label->geometry()),
                 qPrintable(QStringLiteral("%1 ends at x %2 of %3")
                                .arg(name)
                                .arg(label->geometry().right())
                                .arg(label->parentWidget()->width())));
        // At its designed place, or moved left only as far as the system font needs.
        QCOMPARE(label->y(), twips(designed.y()));
        QVERIFY(label->x() <= twips(designed.x()));
        if (label->x() < twips(designed.x())) {
            QVERIFY(label->geometry().right() >= label->parentWidget()->width() - 10);
        }
        QVERIFY(fakes.messages.m_shown.isEmpty());
    }

    void layout() {
        TestServices fakes;
        RecordingHost host;
        ManualWindow window(fakes.services, host);
        QCOMPARE(window.objectName(), QStringLiteral("Form2"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Manual"));
        QCOMPARE(window.size(), twipsSize(12390, 9150));
        QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));

        auto* version = window.findChild<QGroupBox*>(QStringLiteral("Frame1"));
        auto* instruction = window.findChild<QGroupBox*>(QStringLiteral("Frame2"));
        QVERIFY(version && instruction);
        QCOMPARE(version->title(), QStringLiteral("Version"));
        QCOMPARE(version->geometry(), twipsRect(2040, 0, 10215, 1815));
        QCOMPARE(instruction->title(), QStringLiteral("Instruction"));
        QCOMPARE(instruction->geometry(), twipsRect(120, 2280, 12135, 6255));

        auto* text = window.findChild<QTextEdit*>(QStringLiteral("RichTextBox1"));
        QVERIFY(text);
        QCOMPARE(text->parentWidget(), instruction);
        QCOMPARE(text->geometry(), twipsRect(120, 240, 11895, 5895));
        QVERIFY(text->isReadOnly());
        QCOMPARE(text->accessibleName(), QStringLiteral("Instruction"));

        auto* close = window.findChild<QPushButton*>(QStringLiteral("Command1"));
        QVERIFY(close);
        QCOMPARE(close->text(), QStringLiteral("&Close"));
        QCOMPARE(close->accessibleName(), QStringLiteral("Close"));
        QCOMPARE(close->geometry(), twipsRect(4800, 8640, 855, 375));

        auto* logo = window.findChild<QLabel*>(QStringLiteral("Picture1"));
        QVERIFY(logo);
        QCOMPARE(logo->geometry(), twipsRect(240, 240, 1575, 1215));
        QVERIFY(logo->autoFillBackground());
        QCOMPARE(logo->backgroundRole(), QPalette::Window);
        QCOMPARE(logo->pixmap().size(), QSize(99, 65));  // the shipped logo

        auto* line = window.findChild<QFrame*>(QStringLiteral("Line1"));
        QVERIFY(line);
        QCOMPARE(line->frameShape(), QFrame::HLine);
        QCOMPARE(line->x(), twips(120));
        QCOMPARE(line->y(), twips(2040));
        QCOMPARE(line->geometry().right(), twips(12240));
    }

    void loadsTheDocumentFromTheProgramFolder() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(writeFile(folder.filePath(QStringLiteral("Manual5.rtf")),
                          "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\qc{\\b Heading}\\par\\pard"
                          "\\li300\\fi-300 Body caf\\'e9 text\\par}"));
        // The coin number setting window's file is not this window's concern.
        QVERIFY(writeFile(folder.filePath(QStringLiteral("Manual.rtf")), "{\\rtf1 other\\par}"));
        TestServices fakes;
        fakes.folder.m_path = folder.path();
        RecordingHost host;
        ManualWindow window(fakes.services, host);
        QVERIFY(fakes.messages.m_shown.isEmpty());

        auto* text = window.findChild<QTextEdit*>(QStringLiteral("RichTextBox1"));
        QCOMPARE(text->toPlainText(), QStringLiteral("Heading\nBody caf\u00e9 text"));
        const QTextBlock heading = text->document()->firstBlock();
        QCOMPARE(heading.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(heading.begin().fragment().charFormat().fontWeight(), int(QFont::Bold));
        const QTextBlock body = heading.next();
        QCOMPARE(body.begin().fragment().charFormat().fontWeight(), int(QFont::Normal));
        QCOMPARE(body.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        QCOMPARE(body.blockFormat().leftMargin(), 20.0);  // 300 twips
        QCOMPARE(body.blockFormat().textIndent(), -20.0);

        window.show();
        QVERIFY(window.isVisible());
        QCOMPARE(host.m_launcherShown, 0);
    }

    void shippedManualShowsFormatted() {
        TestServices fakes;  // the build's runtime folder, where the shipped files are copied
        // This window reads Manual5.rtf; the coin number setting window checks Manual.rtf
        // before it opens this one, so both are shipped.
        QVERIFY(QFile::exists(fakes.folder.filePath(QStringLiteral("\\Manual5.rtf"))));
        QVERIFY(QFile::exists(fakes.folder.filePath(QStringLiteral("\\Manual.rtf"))));
        RecordingHost host;
        ManualWindow window(fakes.services, host);
        QVERIFY(fakes.messages.m_shown.isEmpty());
        auto* text = window.findChild<QTextEdit*>(QStringLiteral("RichTextBox1"));
        QVERIFY(text->toPlainText().contains(QStringLiteral("Connecting the hopper")));
        bool bold = false;
        bool normal = false;
        for (QTextBlock block = text->document()->firstBlock(); block.isValid();
             block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const int weight = it.fragment().charFormat().fontWeight();
                bold = bold || weight == QFont::Bold;
                normal = normal || weight == QFont::Normal;
            }
        }
        QVERIFY(bold && normal);
    }

    // Qt's text layout places lines at fixed-point positions, and a document taller than their
    // range (2^31 / 64 pixels) never finishes laying out. Whatever the file holds up to the
    // reader's size cap, the tallest layout it can get, one character a line, stays inside it.
    void anyManualFitsTheLayoutRange_data() {
        QTest::addColumn<QByteArray>("unit");  // repeated up to the reader's size cap
        QTest::newRow("huge font, indents wider than the window")
            << QByteArray("\\fs99999\\li99999\\fi-99999 xy ");
        QTest::newRow("huge font, a line break each") << QByteArray("\\fs99999\\line ");
        QTest::newRow("huge font, a tab each") << QByteArray("\\fs99999\\tab ");
        QTest::newRow("default font, a line break each") << QByteArray("\\line ");
        QTest::newRow("default font, indents wider than the window")
            << QByteArray("\\li99999\\fi-99999 xy ");
    }
    void anyManualFitsTheLayoutRange() {
        QFETCH(QByteArray, unit);
        const QByteArray rtf =
            "{\\rtf1 " + unit.repeated((RtfReader::kMaxInputBytes - 8) / unit.size()) + "}";
        const RtfReadResult result =
            readRtf(std::string_view(rtf.constData(), static_cast<std::size_t>(rtf.size())));
        QCOMPARE(result.error, RtfError::None);
        QTextDocument document;
        buildTextDocument(result.document, document);
        qreal tallest = 0;
        for (QTextBlock block = document.firstBlock(); block.isValid(); block = block.next()) {
            tallest += QFontMetricsF(block.charFormat().font()).lineSpacing();
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                tallest +=
                    fragment.length() * QFontMetricsF(fragment.charFormat().font()).lineSpacing();
            }
        }
        constexpr qreal kLayoutRange = 2147483647.0 / 64.0;
        QVERIFY2(tallest < kLayoutRange, qPrintable(QString::number(tallest, 'f', 0)));
    }

    void unreadableFile_data() {
        QTest::addColumn<QString>("inPlace");
        QTest::newRow("missing") << "nothing";
        QTest::newRow("a folder in its place") << "folder";
#ifndef Q_OS_WIN
        // Opening a pipe nobody writes to would never return.
        QTest::newRow("a named pipe in its place") << "pipe";
#endif
    }
    void unreadableFile() {
        QFETCH(QString, inPlace);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("Manual5.rtf"));
        if (inPlace == "folder") {
            QVERIFY(QDir().mkdir(path));
        }
#ifndef Q_OS_WIN
        if (inPlace == "pipe") {
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        }
#endif
        TestServices fakes;
        fakes.folder.m_path = folder.path();
        RecordingHost host;
        QPointer<ManualWindow> window = new ManualWindow(fakes.services, host);
        window->setAttribute(Qt::WA_DeleteOnClose);  // as the window registry does

        QCOMPARE(fakes.messages.m_shown.size(), 1);
        QCOMPARE(fakes.messages.m_shown[0].text, QStringLiteral("File Does Not Exist Or In Using"));
        QCOMPARE(fakes.messages.m_shown[0].title, QStringLiteral("Error"));
        QCOMPARE(fakes.messages.m_shown[0].icon, MessageIcon::Critical);
        // Still whole for whoever is building it; never shown.
        QVERIFY(window);
        window->show();
        QVERIFY(!window->isVisible());
        QTRY_VERIFY(window.isNull());
        QCOMPARE(host.m_launcherShown, 1);
    }

    void notRtfLeavesTheTextEmpty() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(writeFile(folder.filePath(QStringLiteral("Manual5.rtf")), "Just plain text."));
        TestServices fakes;
        fakes.folder.m_path = folder.path();
        RecordingHost host;
        QPointer<ManualWindow> window = new ManualWindow(fakes.services, host);
        window->setAttribute(Qt::WA_DeleteOnClose);
        QVERIFY(fakes.messages.m_shown.isEmpty());
        auto* text = window->findChild<QTextEdit*>(QStringLiteral("RichTextBox1"));
        QVERIFY(text->toPlainText().isEmpty());
        window->show();
        QVERIFY(window->isVisible());
        QTest::qWait(20);
        QVERIFY(window);
        window->close();
        QCOMPARE(host.m_launcherShown, 1);
    }

    void closeButtonShowsTheLauncher() {
        TestServices fakes;
        RecordingHost host;
        QPointer<ManualWindow> window = new ManualWindow(fakes.services, host);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Command1")),
                          Qt::LeftButton);
        QCOMPARE(host.m_launcherShown, 1);
        QTRY_VERIFY(window.isNull());
    }

    // Through the real registry, as the launcher opens it: the failed window goes away after
    // the registry has handed it over, and the launcher comes back.
    void failedLoadThroughTheRegistry() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        TestServices fakes;
        fakes.folder.m_path = folder.path();
        QWidget launcher;
        WindowRegistry registry;
        registry.setLauncher(&launcher);
        registry.setFactory(WindowKind::Manual, [&](WindowHost& host) {
            return new ManualWindow(fakes.services, host);
        });
        launcher.hide();
        QWidget* window = registry.open(WindowKind::Manual);
        QVERIFY(window);
        QVERIFY(!window->isVisible());
        QTRY_VERIFY(!registry.loaded(WindowKind::Manual));
        QVERIFY(launcher.isVisible());
        QCOMPARE(fakes.messages.texts(),
                 QStringList{QStringLiteral("File Does Not Exist Or In Using")});

        // The next opening loads afresh and reads the file again.
        QVERIFY(
            writeFile(folder.filePath(QStringLiteral("Manual5.rtf")), "{\\rtf1 now here\\par}"));
        QWidget* second = registry.open(WindowKind::Manual);
        QVERIFY(second);
        QVERIFY(second->isVisible());
        QCOMPARE(second->findChild<QTextEdit*>(QStringLiteral("RichTextBox1"))->toPlainText(),
                 QStringLiteral("now here"));
        registry.closeAll();
    }
};

QTEST_MAIN(ManualWindowTest)
#include "test_manualwindow.moc"
