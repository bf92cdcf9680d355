#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QShortcut>
#include <QTest>

#include <memory>

#include "allwindows.h"

using namespace pellix;
using namespace pellix::test;

namespace {

const QKeySequence kSystemClose(Qt::ALT | Qt::Key_F4);

QRect onWindow(const QWidget& control) {
    return QRect(control.mapTo(control.window(), QPoint(0, 0)), control.size());
}

// Whether the Tab step from one control to the next reads on as a page does: on along the
// same line, down to a later line, or over to a column further right.
bool readsOn(const QRect& from, const QRect& to) {
    const bool sameLine = to.top() < from.bottom() && from.top() < to.bottom();
    if (sameLine) {
        return to.left() >= from.center().x();
    }
    const bool below = to.top() >= from.center().y();
    const bool nextColumn = to.left() >= from.right();
    return below || nextColumn;
}

QString describe(const QWidget* control) {
    if (!control) {
        return QStringLiteral("nothing");
    }
    const QRect r = onWindow(*control);
    return QStringLiteral("%1 at %2,%3 %4x%5")
        .arg(control->objectName())
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height());
}

// The controls a technician has to reach: everything shown, enabled and taking Tab.
QList<QWidget*> tabStops(QWidget& window) {
    QList<QWidget*> stops;
    for (QWidget* child : window.findChildren<QWidget*>()) {
        if (child->isVisibleTo(&window) && child->isEnabled() &&
            (child->focusPolicy() & Qt::TabFocus) && !child->focusProxy()) {
            stops.append(child);
        }
    }
    return stops;
}

// Shows the window and makes it the active one, as a technician's click would.
bool showActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

}  // namespace

// Each window worked from the keyboard alone.
class KeyboardTest : public QObject {
    Q_OBJECT
  private slots:
    void windows_data() {
        QTest::addColumn<QString>("kind");
        for (const QString& kind : AllWindows::withAdded()) {
            QTest::newRow(qPrintable(kind)) << kind;
        }
    }

    // Pressing Tab from the first control goes round every control once, in reading order.
    void tabGoesRoundInReadingOrder_data() { windows_data(); }
    void tabGoesRoundInReadingOrder() {
        QFETCH(QString, kind);
        AllWindows all;
        std::unique_ptr<QWidget> window = all.build(kind);
        QVERIFY(showActive(*window));
        const QList<QWidget*> stops = tabStops(*window);
        QVERIFY(!stops.isEmpty());

        // Start from the control nearest the top left, as a reader would.
        QWidget* first = stops.front();
        for (QWidget* stop : stops) {
            const QRect r = onWindow(*stop);
            const QRect f = onWindow(*first);
            if (std::pair(r.top(), r.left()) < std::pair(f.top(), f.left())) {
                first = stop;
            }
        }
        first->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), first);

        QList<QWidget*> visited{first};
        for (int step = 0; step < stops.size(); ++step) {
            QWidget* from = QApplication::focusWidget();
            QTest::keyClick(from, Qt::Key_Tab);
            QWidget* to = QApplication::focusWidget();
            QVERIFY2(to && to != from,
                     qPrintable(QStringLiteral("Tab stays on %1").arg(describe(from))));
            if (to == first) {
                break;
            }
            QVERIFY2(!visited.contains(to),
                     qPrintable(QStringLiteral("%1 comes round twice").arg(describe(to))));
            QVERIFY2(readsOn(onWindow(*from), onWindow(*to)),
                     qPrintable(QStringLiteral("Tab goes back from %1 to %2")
                                    .arg(describe(from), describe(to))));
            visited.append(to);
        }
        for (QWidget* stop : stops) {
            QVERIFY2(visited.contains(stop),
                     qPrintable(QStringLiteral("%1 is never reached").arg(describe(stop))));
        }
    }

    // The windows beside the defined ones: Tab, Shift+Tab and Ctrl+Tab leave a table full of
    // rows, Esc closes the window, and every button has a mnemonic.
    void addedWindowsLetGoOfTheKeyboard_data() {
        QTest::addColumn<QString>("kind");
        for (const QString& kind : AllWindows::added()) {
            QTest::newRow(qPrintable(kind)) << kind;
        }
    }
    void addedWindowsLetGoOfTheKeyboard() {
        QFETCH(QString, kind);
        AllWindows all;
        for (int i = 0; i < 20; ++i) {
            all.captures.capture(CaptureSource::CoinSetting).note("a row");
        }
        std::unique_ptr<QWidget> window = all.build(kind);
        QVERIFY(showActive(*window));
        if (auto* traffic = qobject_cast<TrafficWindow*>(window.get())) {
            traffic->refresh();
        }
        auto* table = window->findChild<QAbstractItemView*>();
        QVERIFY(table && table->model()->rowCount() > 1);
        for (const QKeyCombination key :
             {QKeyCombination(Qt::Key_Tab), QKeyCombination(Qt::ShiftModifier, Qt::Key_Backtab),
              QKeyCombination(Qt::ControlModifier, Qt::Key_Tab)}) {
            table->setFocus(Qt::TabFocusReason);
            table->setCurrentIndex(table->model()->index(0, 0));
            QTest::keyClick(table, key.key(), key.keyboardModifiers());
            QVERIFY2(QApplication::focusWidget() != table,
                     qPrintable(QKeySequence(key).toString() + " stays in the table"));
        }
        for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->focusPolicy() == Qt::NoFocus || !button->isVisibleTo(window.get())) {
                continue;  // a table's corner button, a tab bar's hidden scroll arrows
            }
            QVERIFY2(button->text().contains(QLatin1Char('&')), qPrintable(button->text()));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!window->isVisible());
    }

    // The system's close shortcut belongs to the window manager: no control takes it first,
    // and the close it sends is honoured.
    void systemCloseIsNotSwallowed_data() { windows_data(); }
    void systemCloseIsNotSwallowed() {
        QFETCH(QString, kind);
        AllWindows all;
        std::unique_ptr<QWidget> window = all.build(kind);
        QVERIFY(showActive(*window));
        for (const QShortcut* shortcut : window->findChildren<QShortcut*>()) {
            QVERIFY(shortcut->key() != kSystemClose);
        }
        for (const QAction* action : window->findChildren<QAction*>()) {
            QVERIFY(!action->shortcuts().contains(kSystemClose));
        }
        for (QWidget* stop : tabStops(*window)) {
            for (QEvent::Type type : {QEvent::ShortcutOverride, QEvent::KeyPress}) {
                QKeyEvent press(type, Qt::Key_F4, Qt::AltModifier);
                press.ignore();
                QApplication::sendEvent(stop, &press);
                QVERIFY2(!press.isAccepted(), qPrintable(describe(stop)));
            }
        }
        QCloseEvent close;
        QApplication::sendEvent(window.get(), &close);
        QVERIFY(close.isAccepted());
    }
};

QTEST_MAIN(KeyboardTest)
#include "test_keyboard.moc"
