#include <QCloseEvent>
#include <QLabel>
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
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
            QCOMPARE(button->geometry().top(), 48 * i);
            QVERIFY2(!button->icon().isNull(), "button pictures ship with the program");
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
