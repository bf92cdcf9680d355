#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <functional>
#include <memory>

#include "allwindows.h"
#include "coinsetting/coinsettingprotocol.h"
#include "platform/qttext.h"
#include "serial/seriallink.h"

using namespace pellix;
using namespace pellix::test;

namespace {

const QStringList kWindows = AllWindows::withAdded();

bool interactive(QAccessible::Role role) {
    switch (role) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::EditableText:
        case QAccessible::SpinBox:
        case QAccessible::Slider:
        case QAccessible::List:
        case QAccessible::Table:
        case QAccessible::MenuItem:
        case QAccessible::ButtonMenu:
        case QAccessible::ButtonDropDown:
            return true;
        default:
            return false;
    }
}

// Visits every visible node of an accessibility tree.
void walk(QAccessibleInterface* node, const std::function<void(QAccessibleInterface*)>& visit) {
    if (!node || node->state().invisible) {
        return;
    }
    visit(node);
    for (int i = 0; i < node->childCount(); ++i) {
        walk(node->child(i), visit);
    }
}

QString spoken(QWidget* widget) {
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(widget);
    return node ? node->text(QAccessible::Name) : QString();
}

}  // namespace

// What a screen reader finds in each window.
class AccessibilityTest : public QObject {
    Q_OBJECT
  private slots:
    void everyControlHasAName_data() {
        QTest::addColumn<QString>("kind");
        for (const QString& kind : kWindows) {
            QTest::newRow(qPrintable(kind)) << kind;
        }
    }
    void everyControlHasAName() {
        QFETCH(QString, kind);
        AllWindows all;
        std::unique_ptr<QWidget> window = all.build(kind);
        QVERIFY(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        int controls = 0;
        walk(QAccessible::queryAccessibleInterface(window.get()), [&](QAccessibleInterface* node) {
            if (!interactive(node->role())) {
                return;
            }
            ++controls;
            const QObject* object = node->object();
            QVERIFY2(!node->text(QAccessible::Name).trimmed().isEmpty(),
                     qPrintable(QStringLiteral("%1 (role %2) has no name")
                                    .arg(object ? object->objectName() : QStringLiteral("?"))
                                    .arg(int(node->role()))));
        });
        QVERIFY(controls > 0);
    }

    // Keyboard and screen-reader users hear which device each port entry opens: the entries of
    // the list a chooser drops down are described by their device.
    void portEntriesNameTheirDevice_data() {
        QTest::addColumn<QString>("kind");
        for (const QString& kind : AllWindows::kinds().mid(2)) {
            QTest::newRow(qPrintable(kind)) << kind;
        }
    }
    void portEntriesNameTheirDevice() {
        QFETCH(QString, kind);
        AllWindows all;
        std::unique_ptr<QWidget> window = all.build(kind);
        auto* chooser = window->findChild<QComboBox*>(QStringLiteral("Combo1"));
        if (kind == QLatin1String("cny tester")) {
            chooser = window->findChild<QComboBox*>(QStringLiteral("Combo2"));
        }
        QVERIFY(chooser);
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(chooser->view());
        QVERIFY(list);
        QStringList described;
        // The list is read while it is closed too, as a screen reader does when the entry
        // changes; walk() skips what is not on screen, so its rows are taken one by one.
        for (int i = 0; i < list->childCount(); ++i) {
            QAccessibleInterface* node = list->child(i);
            if (node && node->text(QAccessible::Name).startsWith(QLatin1String("COM"))) {
                described << node->text(QAccessible::Name) + QLatin1Char(' ') +
                                 node->text(QAccessible::Description);
            }
        }
        QVERIFY2(described.contains(QStringLiteral("COM3 /dev/fake3")),
                 qPrintable(described.join('|')));
    }

    // A label that shows a value is read as that value, whatever it shows now; what it is
    // stays available as its description.
    void valueLabelsAreReadAsTheirValue_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("label");
        QTest::newRow("coin number setting status") << "coin number setting"
                                                    << "Label2";
        QTest::newRow("coin number setting link panel") << "coin number setting"
                                                        << "StatusBar1_Panel1";
        QTest::newRow("simulation hint line") << "protocol simulation"
                                              << "Label1";
        QTest::newRow("simulation link panel") << "protocol simulation"
                                               << "StatusBar1_Panel1";
        QTest::newRow("cny link panel") << "cny tester"
                                        << "StatusBar1_Panel1";
        QTest::newRow("cny speed panel") << "cny tester"
                                         << "StatusBar1_Panel2";
        QTest::newRow("hardware test motor result") << "hardware test"
                                                    << "Label5_0";
        QTest::newRow("hardware test last result") << "hardware test"
                                                   << "Label5_5";
        QTest::newRow("hardware test link panel") << "hardware test"
                                                  << "StatusBar1_Panel1";
        QTest::newRow("traffic capture state") << "traffic"
                                               << "status";
    }
    void valueLabelsAreReadAsTheirValue() {
        QFETCH(QString, kind);
        QFETCH(QString, label);
        AllWindows all;
        std::unique_ptr<QWidget> window = all.build(kind);
        QVERIFY(window);
        auto* value = window->findChild<QLabel*>(label);
        QVERIFY(value);
        QCOMPARE(spoken(value), value->text());
        for (const QString& shown :
             {toQString(serial::texts::kPanelClosed), toQString(serial::texts::kPanelOpen)}) {
            value->setText(shown);
            QCOMPARE(spoken(value), shown);
        }
        QAccessibleInterface* node = QAccessible::queryAccessibleInterface(value);
        QVERIFY(!node->text(QAccessible::Description).isEmpty());
        QVERIFY(node->text(QAccessible::Description) != value->text());
    }

    // A caption names the control beside it for assistive technology ("labelled by").
    void captionsLabelTheirControls_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::newRow("simulation channel") << "protocol simulation"
                                            << "Label5";
        QTest::newRow("simulation port") << "protocol simulation"
                                         << "Label6";
        QTest::newRow("cny hopper address") << "cny tester"
                                            << "Label4";
        QTest::newRow("cny payout box") << "cny tester"
                                        << "Label3";
        QTest::newRow("hardware test port") << "hardware test"
                                            << "Label6";
        QTest::newRow("flash panel software version") << "hardware test"
                                                      << "Label9";
        QTest::newRow("flash panel manufacturer") << "hardware test"
                                                  << "Label11";
        for (int channel = 0; channel < kCoinChannels; ++channel) {
            QTest::addRow("coin number setting channel %d", channel + 1)
                << "coin number setting" << QStringLiteral("Label1_%1").arg(channel);
        }
    }
    void captionsLabelTheirControls() {
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        AllWindows all;
        std::unique_ptr<QWidget> window = all.build(kind);
        QVERIFY(window);
        auto* label = window->findChild<QLabel*>(caption);
        QVERIFY(label);
        QVERIFY(label->buddy());
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(label->buddy());
        bool labelled = false;
        for (const auto& [other, relation] : control->relations(QAccessible::Label)) {
            labelled = labelled || other->object() == label;
        }
        QVERIFY(labelled);
        // Drop-down lists are read by their entry; the name they carry is still the caption's.
        QCOMPARE(label->buddy()->accessibleName(), label->text().simplified());
    }
};

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
