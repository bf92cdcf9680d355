#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "childprocess.h"
#include "fakes.h"
#include "platform/atomicsave.h"
#include "platform/filenames.h"

using namespace pellix;
using pellix::test::runWithFileSizeLimit;
using pellix::test::writeFile;

namespace {

const QByteArray kOld = "old content\n";
const QByteArray kNew = QByteArray(" 1000\r\n").repeated(16);

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// What lies in a folder, hidden names included: a failed save leaves no stray file behind.
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

}  // namespace

class AtomicSaveTest : public QObject {
    Q_OBJECT
  private slots:
    // What lies at the chosen name decides: a file is replaced whole, anything else is left
    // alone with a reason.
    void savesOnlyOntoFiles_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("reasonWord");
        QTest::newRow("new name") << "new" << true << "";
        QTest::newRow("existing file, its mode kept") << "file" << true << "";
        QTest::newRow("link to a file: the file replaced") << "link" << true << "";
        QTest::newRow("link to nothing yet: its target created") << "dangling link" << true << "";
        QTest::newRow("a killed save's leftover removed, a fresh one kept")
            << "leftovers" << true << "";
        QTest::newRow("named pipe left alone") << "pipe" << false << "pipe";
        QTest::newRow("folder left alone") << "folder" << false << "folder";
        QTest::newRow("folder missing") << "missing folder" << false << "does not exist";
        QTest::newRow("a file where the folder should be")
            << "file as folder" << false << "does not exist";
    }
    void savesOnlyOntoFiles() {
        QFETCH(QString, kind);
        QFETCH(bool, saved);
        QFETCH(QString, reasonWord);
        QTemporaryDir dir;
        QString path = dir.filePath("set.txt");
        QString written = path;  // where the new content must land
        if (kind == "file") {
            QVERIFY(writeFile(path, kOld));
            QVERIFY(::chmod(QFile::encodeName(path).constData(), 0640) == 0);
        } else if (kind == "link") {
            written = dir.filePath("real.txt");
            QVERIFY(writeFile(written, kOld));
            QVERIFY(QFile::link(written, path));
        } else if (kind == "dangling link") {
            written = dir.filePath("real.txt");
            QVERIFY(QFile::link(QStringLiteral("real.txt"), path));
        } else if (kind == "leftovers") {
            QVERIFY(writeFile(dir.filePath(".pellix-save-Old123"), kOld));
            QVERIFY(writeFile(dir.filePath(".pellix-save-New123"), kOld));
            const timespec anHourAgo[2] = {{::time(nullptr) - 3600, 0},
                                           {::time(nullptr) - 3600, 0}};
            QVERIFY(::utimensat(AT_FDCWD,
                                QFile::encodeName(dir.filePath(".pellix-save-Old123")).constData(),
                                anHourAgo, 0) == 0);
        } else if (kind == "pipe") {
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        } else if (kind == "folder") {
            QVERIFY(QDir(dir.path()).mkdir("set.txt"));
        } else if (kind == "missing folder") {
            path = dir.filePath("gone/set.txt");
        } else if (kind == "file as folder") {
            QVERIFY(writeFile(dir.filePath("plain"), kOld));
            path = dir.filePath("plain/set.txt");
        }
        const QStringList before = entries(dir.path());
        const mode_t modeBefore = modeOf(path);

        const QString reason = saveFileAtomically(path, kNew);

        QCOMPARE(reason.isEmpty(), saved);
        QVERIFY2(reason.contains(reasonWord), qPrintable(reason));
        if (saved) {
            QCOMPARE(readAll(written), kNew);
            if (kind == "file") {
                QCOMPARE(modeOf(path) & 07777, mode_t(0640));
            }
            if (kind.contains("link")) {
                QVERIFY(S_ISLNK(modeOf(path)));
            }
            if (kind == "leftovers") {
                QCOMPARE(entries(dir.path()),
                         (QStringList{".pellix-save-New123", QStringLiteral("set.txt")}));
            }
        } else {
            QCOMPARE(modeOf(path), modeBefore);  // a pipe stays a pipe, a folder a folder
            QCOMPARE(entries(dir.path()), before);
        }
    }

    // Writes that fail part way (a full disk, here the file size limit of a child process):
    // the earlier file keeps every byte, the reason says the disk is full, nothing is left over.
    void fullDiskKeepsTheOldFile_data() {
        QTest::addColumn<int>("limit");
        QTest::newRow("not one byte fits") << 0;
        QTest::newRow("half of it fits") << int(kNew.size() / 2);
        QTest::newRow("all but the last byte fits") << int(kNew.size() - 1);
    }
    void fullDiskKeepsTheOldFile() {
        QFETCH(int, limit);
        QTemporaryDir dir;
        const QString path = dir.filePath("set.txt");
        QVERIFY(writeFile(path, kOld));
        const auto reason = runWithFileSizeLimit(
            rlim_t(limit), [&] { return saveFileAtomically(path, kNew).toUtf8(); });
        QVERIFY(reason.has_value());
        QVERIFY2(reason->contains("disk is full"), reason->constData());
        QVERIFY2(reason->contains("unchanged"), reason->constData());
        QCOMPARE(readAll(path), kOld);
        QCOMPARE(entries(dir.path()), QStringList{"set.txt"});
    }

    // A real full file system: a small tmpfs, filled up. Needs the right to mount.
    void fullFileSystemKeepsTheOldFile() {
        if (::geteuid() != 0) {
            QSKIP("mounting a small file system needs root");
        }
        QTemporaryDir dir;
        if (::mount("pellix-test", QFile::encodeName(dir.path()).constData(), "tmpfs", 0,
                    "size=64k") != 0) {
            QSKIP("this system refuses to mount a tmpfs here");
        }
        const QString path = dir.filePath("set.txt");
        QVERIFY(writeFile(path, kOld));
        {
            QFile filler(dir.filePath("filler"));
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(4096, 'f');
            while (filler.write(block) == block.size()) {
            }
        }
        const QString reason = saveFileAtomically(path, QByteArray(8192, 'n'));
        const QByteArray kept = readAll(path);
        const QStringList left = entries(dir.path());
        ::umount(QFile::encodeName(dir.path()).constData());
        QVERIFY2(reason.contains("disk is full"), qPrintable(reason));
        QCOMPARE(kept, kOld);
        QCOMPARE(left, (QStringList{"filler", "set.txt"}));
    }

    // A device node of our own making, like /dev/full or /dev/null: never replaced by a file.
    void deviceNodeIsLeftAlone() {
        QTemporaryDir dir;
        const QString path = dir.filePath("null");
        if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
            QSKIP("making a device node needs root");
        }
        const QString reason = saveFileAtomically(path, kNew);
        QVERIFY2(reason.contains("device"), qPrintable(reason));
        QVERIFY(S_ISCHR(modeOf(path)));
        QCOMPARE(entries(dir.path()), QStringList{"null"});
    }

    // A name that is not valid UTF-8 reaches Qt with U+FFFD in it; it is still the same file.
    void nameThatIsNotUtf8() {
        QTemporaryDir dir;
        const QByteArray native = QFile::encodeName(dir.path()) + "/bad\xff\xfe.txt";
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, kOld.constData(), size_t(kOld.size())), ssize_t(kOld.size()));
        ::close(fd);
        const QString path = QFile::decodeName(native);
        QVERIFY(path.contains(QChar::ReplacementCharacter));

        QCOMPARE(nativeFileName(path), native);
        QCOMPARE(fileKind(path), FileKind::Regular);
        QFile file;
        QVERIFY(openRegularFile(path, file));
        QCOMPARE(file.readAll(), kOld);
        file.close();

        QCOMPARE(saveFileAtomically(path, kNew), QString());
        QFile again;
        QVERIFY(openRegularFile(path, again));
        QCOMPARE(again.readAll(), kNew);
        // Qt's own spelling of the name (U+FFFD as UTF-8) was not created beside it.
        QVERIFY(!QFile::exists(path));
        QCOMPARE(::unlink(native.constData()), 0);  // QTemporaryDir cannot see this name
        QCOMPARE(entries(dir.path()), QStringList());
    }

    // Opening for reading never waits on a pipe or reads a device.
    void onlyRegularFilesAreOpened() {
        QTemporaryDir dir;
        const QString pipe = dir.filePath("pipe");
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QFile file;
        QVERIFY(!openRegularFile(pipe, file));
        QCOMPARE(fileKind(pipe), FileKind::Other);
        QVERIFY(!openRegularFile(dir.path(), file));
        QCOMPARE(fileKind(dir.path()), FileKind::Folder);
        QVERIFY(!openRegularFile(dir.filePath("none"), file));
        QCOMPARE(fileKind(dir.filePath("none")), FileKind::Missing);
    }
};

QTEST_GUILESS_MAIN(AtomicSaveTest)
#include "test_atomicsave.moc"
