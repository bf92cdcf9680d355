#include <QLineEdit>
#include <QStyleOptionFrame>
#include <QTest>

#include "cny/cnytesterwindow.h"
#include "cny/cnytexts.h"
#include "fakes.h"
#include "widgets/formwidgets.h"

using namespace pellix;
using namespace pellix::test;

namespace {

// The width a line edit has for its text: its contents less the two pixels it keeps free.
int textRoom(const QLineEdit& box) {
    QStyleOptionFrame option;
    option.initFrom(&box);
    option.rect = box.rect();
    option.lineWidth = box.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &box);
    const QMargins margins = box.textMargins();
    return box.style()->subElementRect(QStyle::SE_LineEditContents, &option, &box).width() - 4 -
           margins.left() - margins.right();
}

}  // namespace

// Every text the CNY window can put in its value boxes shows whole (what a window shows at
// start is measured for every window in test_textsfit). Run once at scale 1 and once with
// QT_SCALE_FACTOR=2.
class CnyTextsFitTest : public QObject {
    Q_OBJECT

    TestServices ts;
    RecordingHost host;
    CnyState state;
    std::unique_ptr<CnyTesterWindow> window;

    QLineEdit* box(const char* name) { return window->findChild<QLineEdit*>(QLatin1String(name)); }

  private slots:
    void init() {
        window = std::make_unique<CnyTesterWindow>(ts.services, host, state);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void valueBoxTextsShowWhole_data() {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<QString>("text");
        for (std::string_view text : cny::texts::kStatusTexts) {
            QTest::addRow("Status: %s", std::string(text).c_str()) << "Text2" << toQString(text);
        }
        QTest::newRow("Remain Coin: payout finished")
            << "Text3" << toQString(cny::texts::kPayoutFinished);
        QTest::newRow("Remain Coin: largest count") << "Text3" << QStringLiteral("65535");
    }
    void valueBoxTextsShowWhole() {
        QFETCH(QString, boxName);
        QFETCH(QString, text);
        QLineEdit* shown = box(qPrintable(boxName));
        QVERIFY(shown);
        shown->setText(text);
        QVERIFY2(shown->fontMetrics().horizontalAdvance(text) <= textRoom(*shown),
                 qPrintable(QStringLiteral("%1 of %2 pixels")
                                .arg(shown->fontMetrics().horizontalAdvance(text))
                                .arg(textRoom(*shown))));
    }

    // Shown only, yet in the normal text colour so they read at a glance.
    void valueBoxesAreReadableButNotEditable_data() {
        QTest::addColumn<QString>("boxName");
        QTest::newRow("Status") << "Text2";
        QTest::newRow("Remain Coin") << "Text3";
    }
    void valueBoxesAreReadableButNotEditable() {
        QFETCH(QString, boxName);
        QLineEdit* shown = box(qPrintable(boxName));
        QVERIFY(!shown->isEnabled());  // neither editable nor reachable by Tab
        QCOMPARE(shown->palette().color(QPalette::Disabled, QPalette::Text),
                 window->palette().color(QPalette::Active, QPalette::Text));
    }
};

QTEST_MAIN(CnyTextsFitTest)
#include "test_cnytextsfit.moc"
