#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "childprocess.h"
#include "coinsetting/coinsettingwindow.h"
#include "coinsetting/settingfilecommands.h"
#include "common/settingskeys.h"
#include "fakes.h"
#include "platform/filedialogs.h"
#include "platform/filenames.h"

using namespace pellix;
using pellix::test::DialogRequest;
using pellix::test::RecordingHost;
using pellix::test::runWithFileSizeLimit;
using pellix::test::ScriptedFileDialogs;
using pellix::test::TestServices;
using pellix::test::writeFile;

namespace {

QDir home() {
    static QTemporaryDir dir;
    return QDir(dir.path());
}

QDir documentsFolder() {
    return QDir(home().filePath(QStringLiteral("papers")));
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList padded(QStringList texts, const QString& rest) {
    while (texts.size() < 16) {
        texts << rest;
    }
    return texts;
}

// The commands over 16 plain texts standing in for the window's boxes. The boxes start at
// "9" so that a load visibly resets them.
struct Fixture {
    TestServices fakes;
    ScriptedFileDialogs& dialogs = fakes.dialogs;
    QStringList boxes = QStringList(16, QStringLiteral("9"));
    SettingFileCommands commands{
        fakes.services, SettingBoxAccess{[this](int i) { return boxes.at(i); },
                                         [this](int i, const QString& text) { boxes[i] = text; }}};
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }
    QString loadPath() const {
        return fakes.settings.m_values.value(QLatin1String(keys::kLoadPath), "<unset>");
    }
    // Where a dialog starts with nothing remembered in the settings or in this run.
    static QString documentsStart() {
        return QDir::toNativeSeparators(documentsFolder().filePath("*.TXT"));
    }
    QString savePath() const {
        return fakes.settings.m_values.value(QLatin1String(keys::kSavePath), "<unset>");
    }
};

}  // namespace

class SettingFileCommandsTest : public QObject {
    Q_OBJECT
  private slots:
    // The user's documents folder is named where the desktop names it.
    void initTestCase() {
        QVERIFY(documentsFolder().mkpath(".") && home().mkpath("config"));
        QVERIFY(writeFile(home().filePath("config/user-dirs.dirs"),
                          "XDG_DOCUMENTS_DIR=\"" + documentsFolder().path().toUtf8() + "\"\n"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home().filePath("config")));
    }

    void load_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<bool>("complains");
        QByteArray sixteen;
        QStringList numbers;
        for (int i = 1; i <= 16; ++i) {
            sixteen += " " + QByteArray::number(i * 100) + "\r\n";
            numbers << QString::number(i * 100);
        }
        QTest::newRow("sixteen lines") << sixteen << numbers << false;
        QTest::newRow("letter in line 3")
            << QByteArray(" 1\r\n 2\r\n 12a\r\n 4\r\n") << padded({"1", "2"}, "0") << true;
        QTest::newRow("one line with commas")
            << QByteArray("5,6,7") << padded({"5", "6", "7"}, "0") << false;
        QTest::newRow("empty file") << QByteArray() << padded({}, "0") << false;
        QTest::newRow("NUL bytes") << QByteArray(64, '\0') << padded({}, "0") << true;
    }
    void load() {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, expected);
        QFETCH(bool, complains);
        Fixture bench;
        const QString path = bench.path("numbers.TXT");
        QVERIFY(writeFile(path, file));
        bench.dialogs.m_answer = path;

        bench.commands.load();

        QCOMPARE(bench.boxes, expected);
        QCOMPARE(bench.loadPath(), QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
        if (complains) {
            QCOMPARE(bench.fakes.messages.m_shown.size(), 1);
            const auto& shown = bench.fakes.messages.m_shown.first();
            QCOMPARE(shown.text, QString("Unable to load , Please check file"));
            QCOMPARE(shown.title, QString("Pellix kit"));
            QCOMPARE(shown.icon, MessageIcon::Exclamation);
        } else {
            QCOMPARE(bench.fakes.messages.texts(), QStringList());
        }
        QCOMPARE(bench.dialogs.m_requests.size(), 1);
        const DialogRequest& asked = bench.dialogs.m_requests.first();
        QVERIFY(!asked.save);
        QCOMPARE(asked.title, QString("LOAD FILE"));
        QCOMPARE(asked.filter, QString("TXT File(*.TXT)|*.TXT|"));
        QCOMPARE(asked.startName, bench.documentsStart());
    }

    void loadMissingFile() {
        Fixture bench;
        bench.dialogs.m_answer = bench.path("gone.TXT");
        bench.commands.load();
        QCOMPARE(bench.fakes.messages.m_shown.size(), 1);
        const auto& shown = bench.fakes.messages.m_shown.first();
        QCOMPARE(shown.text, QString("File Does Not Exist"));
        QCOMPARE(shown.title, QString("Error"));
        QCOMPARE(shown.icon, MessageIcon::Exclamation);
        QCOMPARE(bench.boxes, QStringList(16, "9"));
        QCOMPARE(bench.loadPath(), QString("<unset>"));
    }

    void loadUnreadableEndsSilently_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("a folder") << "folder";
#ifndef Q_OS_WIN
        QTest::newRow("a named pipe nobody writes to") << "pipe";
#endif
    }
    void loadUnreadableEndsSilently() {
        QFETCH(QString, kind);
        Fixture bench;
        bench.dialogs.m_answer = bench.dir.path();  // exists, but is no file to read
#ifndef Q_OS_WIN
        if (kind == "pipe") {
            bench.dialogs.m_answer = bench.path("pipe.TXT");
            QVERIFY(::mkfifo(QFile::encodeName(bench.dialogs.m_answer).constData(), 0600) == 0);
        }
#endif
        bench.commands.load();
        QCOMPARE(bench.fakes.messages.texts(), QStringList());
        QCOMPARE(bench.boxes, QStringList(16, "0"));
    }

    void cancelEndsSilently() {
        Fixture bench;
        bench.commands.load();
        bench.commands.save();
        QCOMPARE(bench.dialogs.m_requests.size(), 2);
        QCOMPARE(bench.fakes.messages.texts(), QStringList());
        QCOMPARE(bench.boxes, QStringList(16, "9"));
        QVERIFY(bench.fakes.settings.m_values.isEmpty());
        QCOMPARE(QDir(bench.dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());
    }

    void save_data() {
        QTest::addColumn<bool>("existing");
        QTest::newRow("new file is created") << false;
        QTest::newRow("existing file is replaced") << true;
    }
    void save() {
        QFETCH(bool, existing);
        Fixture bench;
        bench.boxes = padded({"1000", "", "007", "70000"}, "0");
        const QString path = bench.path("out.txt");
        if (existing) {
            QVERIFY(writeFile(path, QByteArray(500, 'x')));
        }
        bench.dialogs.m_answer = path;

        bench.commands.save();

        QByteArray expected = " 1000\r\n 0\r\n 7\r\n 70000\r\n";
        for (int i = 4; i < 16; ++i) {
            expected += " 0\r\n";
        }
        QCOMPARE(readAll(path), expected);
        QCOMPARE(bench.fakes.messages.texts(), QStringList());
        QCOMPARE(bench.savePath(), QDir::toNativeSeparators(bench.dir.path() + "/*.txt"));
        const DialogRequest& asked = bench.dialogs.m_requests.value(0);
        QVERIFY(asked.save);
        QCOMPARE(asked.title, QString("SAVE FIEL"));
        QCOMPARE(asked.filter, QString("TXT File(*.TXT)|*.TXT|"));
        QCOMPARE(asked.startName, bench.documentsStart());
    }

    void saveThenLoadGivesTheSameNumbers() {
        Fixture bench;
        const QStringList numbers{"1",    "22", "333", "4444", "55555", "65535", "0",  "7",
                                  "8080", "9",  "10",  "11",   "12",    "13",    "14", "15"};
        bench.boxes = numbers;
        bench.dialogs.m_answer = bench.path("set.TXT");
        bench.commands.save();
        bench.boxes = QStringList(16, "9");
        bench.commands.load();
        QCOMPARE(bench.boxes, numbers);
        QCOMPARE(bench.fakes.messages.texts(), QStringList());
    }

    // The next dialog starts where the last file was chosen: loading and saving remember their
    // folders apart in the settings, and with nothing remembered a dialog starts where the last
    // one of this run ended.
    void rememberedFolderIsTheNextStart() {
        Fixture bench;
        QVERIFY(QDir(bench.dir.path()).mkdir("sub"));
        bench.dialogs.m_answer = bench.path("sub/set.TXT");
        bench.commands.save();
        bench.commands.save();
        bench.commands.load();
        bench.commands.load();
        const QString documents = bench.documentsStart();
        const QString sub = QDir::toNativeSeparators(bench.dir.path() + "/sub/*.TXT");
        QStringList starts;
        for (const DialogRequest& asked : bench.dialogs.m_requests) {
            starts << asked.startName;
        }
        QCOMPARE(starts, (QStringList{documents, sub, sub, sub}));
    }

    // Failing saves: the message names the file and the old content stays. Permission bits do
    // not stop root, so the forced failures use paths no one can write.
    void saveFailureKeepsTheOldFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("parent is a regular file") << "parent is a file";
        QTest::newRow("target is a folder") << "folder";
        QTest::newRow("read-only folder") << "read-only folder";
    }
    void saveFailureKeepsTheOldFile() {
        QFETCH(QString, kind);
        Fixture bench;
        bench.boxes = padded({"1"}, "2");
        const QByteArray old = " 5\r\n 6\r\n";
        QString target;
        QString kept;  // the file whose content must survive
        if (kind == "parent is a file") {
            kept = bench.path("plain.txt");
            QVERIFY(writeFile(kept, old));
            target = kept + "/set.txt";
        } else if (kind == "folder") {
            QVERIFY(QDir(bench.dir.path()).mkdir("set.txt"));
            target = bench.path("set.txt");
            kept = target + "/inside.txt";
            QVERIFY(writeFile(kept, old));
        } else {
            QVERIFY(QDir(bench.dir.path()).mkdir("locked"));
            target = bench.path("locked/set.txt");
            kept = target;
            QVERIFY(writeFile(kept, old));
            const QString folder = bench.path("locked");
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
            QFile probe(bench.path("locked/probe"));
            const bool writable = probe.open(QIODevice::WriteOnly);
            if (writable) {
                probe.close();
                probe.remove();
            }
            if (writable) {
                QFile::setPermissions(folder,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
                QSKIP("permission bits do not stop this user");
            }
        }
        bench.dialogs.m_answer = target;

        bench.commands.save();
        QFile::setPermissions(bench.path("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QCOMPARE(bench.fakes.messages.m_shown.size(), 1);
        const auto& shown = bench.fakes.messages.m_shown.first();
        QCOMPARE(shown.title, QString("Error"));
        QCOMPARE(shown.icon, MessageIcon::Exclamation);
        QVERIFY2(shown.text.contains(QDir::toNativeSeparators(target)), qPrintable(shown.text));
        // A reason follows the name.
        QVERIFY2(shown.text.size() > QDir::toNativeSeparators(target).size() + 2,
                 qPrintable(shown.text));
        QCOMPARE(readAll(kept), old);
    }

    // Parameter → Save over a good file on a full disk (a child process whose file size
    // limit stands in for the disk): the message names the file and why, the file keeps
    // every byte.
    void saveOntoFullDiskKeepsTheOldFile() {
        Fixture bench;
        bench.boxes = padded({"1000"}, "65535");
        const QString path = bench.path("set.txt");
        const QByteArray old = QByteArray(" 5\r\n").repeated(16);
        QVERIFY(writeFile(path, old));
        bench.dialogs.m_answer = path;
        const auto shown = runWithFileSizeLimit(64, [&] {
            bench.commands.save();
            return bench.fakes.messages.texts().join(QLatin1Char('|')).toUtf8();
        });
        QVERIFY(shown.has_value());
        const QString text = QString::fromUtf8(*shown);
        QVERIFY2(text.startsWith("Unable to save " + QDir::toNativeSeparators(path) + "\n"),
                 qPrintable(text));
        QVERIFY2(text.contains("disk is full"), qPrintable(text));
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(bench.dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"set.txt"});
    }

    // Saving onto a named pipe (loading one is covered above): refused with the reason, and
    // no regular file is put in its place.
    void saveOntoPipeLeavesItAlone() {
        Fixture bench;
        const QString path = bench.path("set.txt");
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        bench.dialogs.m_answer = path;
        bench.commands.save();
        QCOMPARE(bench.fakes.messages.m_shown.size(), 1);
        const QString text = bench.fakes.messages.m_shown[0].text;
        QVERIFY2(text.startsWith("Unable to save " + QDir::toNativeSeparators(path) + "\n"),
                 qPrintable(text));
        QVERIFY2(text.contains("named pipe"), qPrintable(text));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QVERIFY(S_ISFIFO(st.st_mode));
    }

    // A file name with bytes that are not UTF-8 (Qt shows them as U+FFFD): loaded, and saved
    // back into the same file rather than beside it.
    void nameThatIsNotUtf8LoadsAndSaves() {
        Fixture bench;
        const QByteArray native = QFile::encodeName(bench.dir.path()) + "/bad\xff\xfe.txt";
        {
            QFile raw;
            const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            QVERIFY(fd >= 0);
            QVERIFY(raw.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle));
            raw.write(" 12\r\n 34\r\n");
        }
        bench.dialogs.m_answer = QFile::decodeName(native);
        bench.commands.load();
        QCOMPARE(bench.fakes.messages.texts(), QStringList());
        QCOMPARE(bench.boxes, padded({"12", "34"}, "0"));

        bench.boxes = padded({"7"}, "0");
        bench.commands.save();
        QCOMPARE(bench.fakes.messages.texts(), QStringList());
        // Qt's own spelling of the name (U+FFFD written as UTF-8) was not created beside it.
        QVERIFY(!QFile::exists(bench.dialogs.m_answer));
        QFile back;
        QVERIFY(openRegularFile(bench.dialogs.m_answer, back));
        QVERIFY(back.readAll().startsWith(" 7\r\n 0\r\n"));
        QCOMPARE(::unlink(native.constData()), 0);  // QTemporaryDir cannot see this name
    }

    // The window's "Parameter" menu runs the commands on its boxes. Loading does not check the
    // range; the window's own save command does, and the setting file save does not.
    void throughTheWindowMenu() {
        TestServices fakes;
        RecordingHost host;
        CoinSettingState state;
        ScriptedFileDialogs& dialogs = fakes.dialogs;
        QTemporaryDir dir;
        CoinSettingWindow window(fakes.services, host, state);
        QVERIFY(!window.unloadedAtLoad());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QString loaded = dir.filePath("in.TXT");
        QVERIFY(writeFile(loaded, " 1\r\n 70000\r\n 007\r\n"));
        dialogs.m_answer = loaded;

        window.openFileAction()->trigger();

        QStringList texts;
        for (int i = 0; i < 16; ++i) {
            texts << window.boxText(i);
        }
        QCOMPARE(texts, padded({"1", "70000", "007"}, "0"));
        QCOMPARE(fakes.messages.texts(), QStringList());

        auto* save = window.findChild<QPushButton*>(QStringLiteral("Command1"));
        QVERIFY(save);
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(fakes.messages.texts(), QStringList{"Exceed the range"});
        QCOMPARE(QApplication::focusWidget(),
                 window.findChild<QLineEdit*>(QStringLiteral("Text1_1")));
        QVERIFY(fakes.ports.last()->m_written.isEmpty());

        const QString saved = dir.filePath("out.txt");
        dialogs.m_answer = saved;
        window.saveFileAction()->trigger();
        QByteArray expected = " 1\r\n 70000\r\n 7\r\n";
        for (int i = 3; i < 16; ++i) {
            expected += " 0\r\n";
        }
        QCOMPARE(readAll(saved), expected);
        QCOMPARE(dialogs.m_requests.size(), 2);
        QCOMPARE(dialogs.m_requests[1].title, QString("SAVE FIEL"));

        // A bad field through the window: the message, and no complaint about the boxes.
        QVERIFY(writeFile(loaded, "5\r\n6x\r\n"));
        dialogs.m_answer = loaded;
        window.openFileAction()->trigger();
        QCOMPARE(window.boxText(0), QString("5"));
        QCOMPARE(window.boxText(1), QString("0"));
        QCOMPARE(fakes.messages.texts(),
                 (QStringList{"Exceed the range", "Unable to load , Please check file"}));
        window.close();
    }

    void dialogFolder_data() {
        QTest::addColumn<QString>("remembered");
        QTest::addColumn<QString>("expected");
        QTest::newRow("existing folder") << "%dir"
                                         << "%dir";
        QTest::newRow("file in an existing folder") << "%dir/set.TXT"
                                                    << "%dir";
        QTest::newRow("remembered save pattern") << "%dir/*.txt"
                                                 << "%dir";
        QTest::newRow("folder gone") << "%dir/gone/set.TXT"
                                     << "/fallback";
        QTest::newRow("nothing remembered") << ""
                                            << "/fallback";
    }
    void dialogFolder() {
#ifdef Q_OS_WIN
        QSKIP("drive letters decide the folder here");
#endif
        QFETCH(QString, remembered);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString folder = QFileInfo(dir.path()).absoluteFilePath();
        remembered.replace("%dir", QDir::toNativeSeparators(folder));
        expected.replace("%dir", folder);
        QCOMPARE(settingDialogFolder(remembered, "/fallback"), expected);
    }

    // The real dialogs, answered while they are up.
    void qtDialogs_data() {
        QTest::addColumn<bool>("save");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("name");
        QTest::newRow("open") << false << false << "old.TXT";
        // The command, not the dialog, tells the technician that the file is not there.
        QTest::newRow("open a name that does not exist") << false << false << "missing.TXT";
        QTest::newRow("save") << true << false << "new.txt";
        QTest::newRow("cancel") << false << true << "old.TXT";
    }
    void qtDialogs() {
        QFETCH(bool, save);
        QFETCH(bool, cancel);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString folder = QFileInfo(dir.path()).canonicalFilePath();
        const QString existing = folder + "/old.TXT";
        QVERIFY(writeFile(existing, " 1\r\n"));
        const QString chosen = folder + "/" + name;
        const QString before = QDir::currentPath();

        QString title;
        QStringList filters;
        QString shownFolder;
        bool confirmsOverwrite = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;  // the checks below fail on the empty title
            }
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            shownFolder = QFileInfo(dialog->directory().path()).canonicalFilePath();
            confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            if (cancel) {
                dialog->reject();
            } else {
                dialog->selectFile(chosen);
                // Should the dialog refuse the name (or ask something), a test must not hang:
                // whatever is still up afterwards is dismissed, and the checks below fail.
                QTimer::singleShot(0, [guard = QPointer<QFileDialog>(dialog)] {
                    if (guard == nullptr || !guard->isVisible()) {
                        return;
                    }
                    if (QWidget* box = QApplication::activeModalWidget(); box != guard) {
                        box->close();
                    }
                    guard->reject();
                });
                static_cast<QDialog*>(dialog)->accept();  // as the Open/Save button does
            }
        });
        QtFileDialogs dialogs;
        const QString startName = QDir::toNativeSeparators(folder + "/*.TXT");
        const QString result =
            save ? dialogs.saveFileName("SAVE FIEL", "TXT File(*.TXT)|*.TXT|", startName)
                 : dialogs.openFileName("LOAD FILE", "TXT File(*.TXT)|*.TXT|", startName);
        const QString after = QDir::currentPath();
        QDir::setCurrent(before);

        QCOMPARE(title, QString(save ? "SAVE FIEL" : "LOAD FILE"));
        QCOMPARE(filters, QStringList{"TXT File (*.TXT *.txt)"});
        QCOMPARE(shownFolder, folder);
        if (save) {
            QVERIFY(confirmsOverwrite);
        }
        if (cancel) {
            QCOMPARE(result, QString());
            QCOMPARE(after, before);
        } else {
            QCOMPARE(QFileInfo(result).absoluteFilePath(), chosen);
            // The chosen folder is where the next dialog starts when nothing better is known.
            QCOMPARE(QFileInfo(after).canonicalFilePath(), folder);
        }
    }

    void nameFilters_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("setting files")
            << "TXT File(*.TXT)|*.TXT|" << QStringList{"TXT File (*.TXT *.txt)"};
        QTest::newRow("two entries, several patterns")
            << "Pictures|*.bmp;*.ico|All(*.*)|*.*"
            << QStringList{"Pictures (*.bmp *.BMP *.ico *.ICO)", "All (*.*)"};
        QTest::newRow("description without pattern") << "TXT File" << QStringList{};
        QTest::newRow("empty") << "" << QStringList{};
    }
    void nameFilters() {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        QCOMPARE(qtNameFilters(filter), expected);
    }
};

QTEST_MAIN(SettingFileCommandsTest)
#include "test_settingfilecommands.moc"
