// The emulator's operator commands, without a terminal: which hopper a command reaches, what it
// changes, what it asks of the ports, and a clear answer for every bad line.
#include <QTest>

#include "console.h"

using namespace pellix::emulator;

namespace {

// Every interface served, as `make demo` runs it.
struct Bench {
    Bench() {
        for (Mode m : kModes) {
            owned.push_back(std::make_unique<HopperLine>(makeHopper(m)));
            lines.push_back(owned.back().get());
        }
    }
    HopperLine& line(Mode m) { return *owned[static_cast<std::size_t>(m)]; }
    template <typename T>
    T& hopper(Mode m) {
        return static_cast<T&>(line(m).hopper());
    }
    std::vector<std::unique_ptr<HopperLine>> owned;
    std::vector<HopperLine*> lines;
};

QString joinedOutput(const CommandResult& r) {
    QStringList out;
    for (const std::string& s : r.output) {
        out << QString::fromStdString(s);
    }
    return out.join(QLatin1Char('\n'));
}

QStringList actionList(const CommandResult& r) {
    QStringList out;
    for (const Action& a : r.actions) {
        static const char* const kKinds[] = {"write", "unplug", "replug", "quit"};
        QString entry = QString::fromLatin1(kKinds[static_cast<int>(a.kind)]);
        if (a.kind != Action::Kind::Quit) {
            entry += QLatin1Char(' ') + QString::fromLatin1(modeName(a.mode).data());
        }
        if (a.holdUntilOpen) {
            entry += QStringLiteral(" (held)");
        }
        out << entry;
    }
    return out;
}

}  // namespace

class EmulatorConsole : public QObject {
    Q_OBJECT
  private slots:
    void actions_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("actions");
        // Power-on streams wait for the port to be opened; CNY and TZV have none.
        QTest::newRow("on reaches every hopper")
            << "on" << QStringList{"write coinsetting (held)", "write hwtest (held)"};
        QTest::newRow("an interface name narrows it")
            << "hwtest cycle" << QStringList{"write hwtest (held)"};
        QTest::newRow("unplug one") << "cny unplug" << QStringList{"unplug cny"};
        QTest::newRow("replug all")
            << "replug"
            << QStringList{"replug coinsetting", "replug tzv", "replug cny", "replug hwtest"};
        QTest::newRow("raw bytes") << "tzv send 3A 01 ff" << QStringList{"write tzv"};
        QTest::newRow("quit") << "quit" << QStringList{"quit"};
        QTest::newRow("blank line") << "   " << QStringList{};
        QTest::newRow("off sends nothing") << "off" << QStringList{};
    }
    void actions() {
        QFETCH(QString, command);
        QFETCH(QStringList, actions);
        Bench bench;
        const CommandResult r = Console(bench.lines).run(command.toStdString());
        QCOMPARE(actionList(r), actions);
    }

    // Settings reach only the hopper they belong to, and show in what it sends next.
    void settingsReachTheirHopper() {
        Bench bench;
        Console console(bench.lines);
        console.run("remain 7");
        console.run("status 0a");
        console.run("address 3");
        QCOMPARE(bench.hopper<CnyHopper>(Mode::Cny).m_remain, 7);
        QCOMPARE(bench.hopper<CnyHopper>(Mode::Cny).m_status, 0x0A);
        QCOMPARE(bench.hopper<CnyHopper>(Mode::Cny).m_address, 3);

        console.run("numbers 1 65535");
        console.run("skip 1");
        const Bytes block =
            joined(bench.line(Mode::CoinSetting).powerOn());  // 3A, header, N = 1, one byte
        QCOMPARE(block[3], 1);
        QCOMPARE(Bytes(block.begin() + 5, block.begin() + 9), (Bytes{0x00, 0x01, 0xFF, 0xFF}));

        console.run("variant bearly");
        console.run("results PFPPPP");
        QCOMPARE(bench.hopper<HardwareTestHopper>(Mode::HardwareTest).version(), "TD3&B35");
        QCOMPARE(bench.hopper<HardwareTestHopper>(Mode::HardwareTest).m_outcomes[1], Outcome::Fail);
    }

    // The DIP state and prism events go out at once only in the monitor phase.
    void monitorPhaseCommands() {
        Bench bench;
        Console console(bench.lines);
        QVERIFY(joinedOutput(console.run("prism")).contains("not in its monitor phase"));
        QVERIFY(console.run("dip 3").actions.empty());
        auto& line = bench.line(Mode::HardwareTest);
        line.powerOn();
        line.fromPc(Bytes{0x60});
        CommandResult dip = console.run("hwtest dip A");
        QCOMPARE(actionList(dip), QStringList{"write hwtest"});
        QCOMPARE(joined(dip.actions[0].delivery), (Bytes{0x58, 0x0A}));
        CommandResult prism = console.run("prism 2");
        QCOMPARE(joined(prism.actions[0].delivery), (Bytes{0x46, 0x46}));
    }

    // A fault is armed per hopper and applies to its next reply only.
    void faultsArmTheNextReply() {
        Bench bench;
        Console console(bench.lines);
        const QString out = joinedOutput(console.run("fault checksum"));
        QVERIFY(out.contains("[tzv] fault: the tzv interface sends no checksum"));
        QVERIFY(out.contains("[cny] next reply: checksum"));

        console.run("cny fault split 2 40");
        QCOMPARE(bench.line(Mode::Cny).armed(), Fault::Split);
        QVERIFY(!bench.line(Mode::CoinSetting).armed());
        const Delivery split = bench.line(Mode::Cny).deliver({{0, Bytes{1, 2, 3, 4, 5, 6}}});
        QCOMPARE(split, (Delivery{{0, Bytes{1, 2}}, {40, Bytes{3, 4, 5, 6}}}));
        QVERIFY(!bench.line(Mode::Cny).armed());

        console.run("cny fault garbage 3");
        const Bytes noisy = joined(bench.line(Mode::Cny).deliver({{0, Bytes{0x05}}}));
        QCOMPARE(noisy.size(), 4u);
        QCOMPARE(noisy.back(), 0x05);
    }

    void badLines_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("answer");
        QTest::newRow("unknown word") << "jump"
                                      << "unknown command \"jump\"";
        QTest::newRow("interface without command") << "cny"
                                                   << "a command must follow";
        QTest::newRow("remain too big") << "remain 256"
                                        << "[cny] remain: give one count";
        QTest::newRow("address out of range") << "address 4"
                                              << "give one address, 0 to 3";
        QTest::newRow("status not hex") << "status zz"
                                        << "in hexadecimal";
        QTest::newRow("seventeen numbers") << "numbers 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17"
                                           << "give 1 to 16 coin numbers";
        QTest::newRow("coin number too big") << "numbers 65536"
                                             << "0 to 65535";
        QTest::newRow("skip of zero") << "skip 0"
                                      << "1 to 255";
        QTest::newRow("unknown fault") << "fault smoke"
                                       << "give checksum, split";
        QTest::newRow("odd hex digits") << "cny send 3A0"
                                        << "in hexadecimal";
        QTest::newRow("bad outcome letters") << "results PPPXPP"
                                             << "six letters";
        QTest::newRow("command for an interface not served") << "tzv remain 3"
                                                             << "is for no interface served here";
    }
    // A bad line changes nothing and says what is wrong.
    void badLines() {
        QFETCH(QString, command);
        QFETCH(QString, answer);
        Bench bench;
        const CommandResult r = Console(bench.lines).run(command.toStdString());
        QVERIFY2(joinedOutput(r).contains(answer), qPrintable(joinedOutput(r)));
        QVERIFY(r.actions.empty());
        QCOMPARE(bench.hopper<CnyHopper>(Mode::Cny).m_remain, 50);
        QVERIFY(!bench.line(Mode::Cny).armed());
    }
};

QTEST_APPLESS_MAIN(EmulatorConsole)
#include "test_emulatorconsole.moc"
