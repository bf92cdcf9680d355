#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "app/launcherwindow.h"
#include "app/windowregistry.h"
#include "fakes.h"

using namespace pellix;
using namespace pellix::test;

namespace {

// A tool window that shows the launcher when it closes, as every real one does, and notes
// the order in which windows were closed.
class ProbeWindow : public QWidget {
  public:
    ProbeWindow(WindowHost& host, WindowKind kind, QList<WindowKind>& closed)
        : m_host(host), m_kind(kind), m_closed(closed) {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        m_closed.append(m_kind);
        m_host.showLauncher();
        event->accept();
    }

  private:
    WindowHost& m_host;
    WindowKind m_kind;
    QList<WindowKind>& m_closed;
};

constexpr WindowKind kOpensByIndex[] = {WindowKind::HardwareTest, WindowKind::Simulation,
                                        WindowKind::CnyTester, WindowKind::CoinSetting,
                                        WindowKind::Manual};

constexpr WindowKind kAllKinds[] = {WindowKind::CoinSetting, WindowKind::Manual,
                                    WindowKind::Simulation, WindowKind::CnyTester,
                                    WindowKind::HardwareTest};

}  // namespace

class LauncherTest : public QObject {
    Q_OBJECT

    WindowRegistry* registry = nullptr;
    FixedProgramFolder folder;
    LauncherWindow* launcher = nullptr;
    QList<WindowKind> closed;
    QMap<WindowKind, int> loads;

    QToolButton* imageButton(int index) {
        return launcher->findChild<QToolButton*>(QStringLiteral("Image3_%1").arg(index));
    }

  private slots:
    void init() {
        closed.clear();
        loads.clear();
        registry = new WindowRegistry;
        for (WindowKind kind : kAllKinds) {
            registry->setFactory(kind, [this, kind](WindowHost& host) {
                ++loads[kind];
                return new ProbeWindow(host, kind, closed);
            });
        }
        launcher = new LauncherWindow(*registry, folder);
        registry->setLauncher(launcher);
        launcher->show();
    }
    void cleanup() {
        registry->closeAll();
        delete launcher;
        delete registry;
    }

    void showsVersionAndSixImageButtons() {
        QCOMPARE(launcher->windowTitle(), QStringLiteral("HOPPER SW TOOL"));
        QCOMPARE(launcher->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("VERSION:3.0.3"));
        const QStringList tooltips{"Hopper HardWare Testing",
                                   "TZV Protocol Testing",
                                   "China Interface Testing",
                                   "TZV Protocol Coin Number Setting",
                                   "Manual",
                                   "Exit Hopper Tool"};
        for (int i = 0; i < 6; ++i) {
            QToolButton* button = imageButton(i);
            QVERIFY(button);
            QCOMPARE(button->toolTip(), tooltips[i]);
            QCOMPARE(button->accessibleName(), tooltips[i]);
            QCOMPARE(button->geometry().top(), 48 * i);
            QTRY_VERIFY2(!button->icon().isNull(), "button pictures ship with the program");
        }
        QCOMPARE(launcher->size(), QSize(347, 369));
    }

    void buttonsOpenTheirWindowAndHideTheLauncher_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("kind");
        QTest::newRow("hardware test") << 0 << int(WindowKind::HardwareTest);
        QTest::newRow("protocol simulation") << 1 << int(WindowKind::Simulation);
        QTest::newRow("cny tester") << 2 << int(WindowKind::CnyTester);
        QTest::newRow("coin number setting") << 3 << int(WindowKind::CoinSetting);
        QTest::newRow("manual") << 4 << int(WindowKind::Manual);
    }
    void buttonsOpenTheirWindowAndHideTheLauncher() {
        QFETCH(int, index);
        QFETCH(int, kind);
        const auto windowKind = static_cast<WindowKind>(kind);
        imageButton(index)->click();
        QWidget* window = registry->loaded(windowKind);
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(!launcher->isVisible());

        window->close();
        QVERIFY(launcher->isVisible());
        QTRY_VERIFY(!registry->loaded(windowKind));  // unloaded

        // Opening again loads a fresh window.
        imageButton(index)->click();
        QCOMPARE(loads[windowKind], 2);
    }

    // Without a mouse: Tab walks down the column by index, Enter or Space opens the window.
    void keyboardOpensEveryWindow_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("key");
        for (int index = 0; index < 5; ++index) {
            for (const auto& [key, name] :
                 {std::pair{Qt::Key_Return, "Return"}, std::pair{Qt::Key_Enter, "keypad Enter"},
                  std::pair{Qt::Key_Space, "Space"}}) {
                QTest::addRow("button %d by %s", index, name) << index << int(key);
            }
        }
    }
    void keyboardOpensEveryWindow() {
        QFETCH(int, index);
        QFETCH(int, key);
        launcher->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(launcher));
        imageButton(0)->setFocus();
        for (int step = 0; step < index; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), imageButton(index));
        QTest::keyClick(imageButton(index), static_cast<Qt::Key>(key));
        QTRY_VERIFY(registry->loaded(kOpensByIndex[index]));
        QVERIFY(registry->loaded(kOpensByIndex[index])->isVisible());
        QVERIFY(!launcher->isVisible());
    }

    void theFocusedButtonShowsAFrame() {
        launcher->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(launcher));
        // The frame shows once the keyboard is in use, as everywhere on the desktop.
        imageButton(0)->setFocus();
        QTest::keyClick(imageButton(0), Qt::Key_Tab);
        QVERIFY(imageButton(1)->hasFocus());
        const QImage focused = imageButton(1)->grab().toImage();
        QTest::keyClick(imageButton(1), Qt::Key_Tab);
        QVERIFY(!imageButton(1)->hasFocus());
        const QImage unfocused = imageButton(1)->grab().toImage();
        QVERIFY(focused != unfocused);
    }

    void closingTheLauncherEndsTheProgram_data() {
        QTest::addColumn<bool>("byExitButton");
        QTest::newRow("close box") << false;
        QTest::newRow("exit button") << true;
    }
    void closingTheLauncherEndsTheProgram() {
        QFETCH(bool, byExitButton);
        QSignalSpy ended(launcher, &LauncherWindow::closed);
        imageButton(2)->click();  // a tool window is open, the launcher hidden: nothing ends
        registry->close(WindowKind::CnyTester);
        QCOMPARE(ended.size(), 0);
        if (byExitButton) {
            imageButton(5)->click();
        } else {
            launcher->close();
        }
        QCOMPARE(ended.size(), 1);
    }

    // The pictures leave no bare strip of the plain window colour at the right edge.
    void picturesFillTheRightEdge() {
        QTRY_VERIFY(!launcher->findChild<QLabel*>(QStringLiteral("Image2"))->pixmap().isNull());
        const QImage shot = launcher->grab().toImage();
        const QColor bare = QApplication::palette().color(QPalette::Window);
        const int buttonsEnd = imageButton(0)->geometry().right();
        for (int x = buttonsEnd + 1; x < shot.width(); ++x) {
            for (int y = 0; y < shot.height(); y += 4) {
                QVERIFY2(shot.pixelColor(x, y) != bare,
                         qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
            }
        }
    }

    void aLoadedWindowIsReused() {
        registry->load(WindowKind::CoinSetting);  // loaded hidden, as another window may do
        imageButton(3)->click();
        QCOMPARE(loads[WindowKind::CoinSetting], 1);
        QVERIFY(registry->loaded(WindowKind::CoinSetting)->isVisible());
    }

    void closingTheLauncherClosesEveryWindowInOrder() {
        for (WindowKind kind : kAllKinds) {
            registry->load(kind);
        }
        launcher->close();
        QCOMPARE(closed, QList<WindowKind>(std::begin(kAllKinds), std::end(kAllKinds)));
        QVERIFY(!launcher->isVisible());  // the windows' requests to show it had no effect
    }

    void exitButtonClosesHardwareTestFirst() {
        registry->load(WindowKind::Simulation);
        registry->load(WindowKind::HardwareTest);
        imageButton(5)->click();
        QCOMPARE(closed, (QList<WindowKind>{WindowKind::HardwareTest, WindowKind::Simulation}));
        QVERIFY(!launcher->isVisible());
    }

    void aWindowThatEndsItselfWhileLoadingBringsTheLauncherBack() {
        // The coin number setting window refuses to run beside another copy of the program.
        registry->setFactory(WindowKind::CoinSetting, [this](WindowHost&) {
            ++loads[WindowKind::CoinSetting];
            return nullptr;
        });
        imageButton(3)->click();
        QCOMPARE(loads[WindowKind::CoinSetting], 1);
        QVERIFY(!registry->loaded(WindowKind::CoinSetting));
        QVERIFY(launcher->isVisible());
    }

    void aWindowThatCannotBeBuiltOpensNothing() {
        WindowRegistry bare;
        LauncherWindow lonely(bare, folder);
        bare.setLauncher(&lonely);
        lonely.show();
        lonely.findChild<QToolButton*>(QStringLiteral("Image3_2"))->click();
        QVERIFY(lonely.isVisible());
        QVERIFY(!bare.loaded(WindowKind::CnyTester));
    }
};

QTEST_MAIN(LauncherTest)
#include "test_launcher.moc"
