#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "app/launcherwindow.h"
#include "app/windowregistry.h"
#include "fakes.h"
#include "manual/manualwindow.h"
#include "widgets/artwork.h"

using namespace pellix;

namespace {

// The pixmap a control shows, whichever kind of control it is.
qint64 shownKey(QWidget& window, const char* name) {
    if (auto* label = window.findChild<QLabel*>(QLatin1String(name))) {
        return label->pixmap().cacheKey();
    }
    if (auto* button = window.findChild<QToolButton*>(QLatin1String(name))) {
        return button->icon().cacheKey();
    }
    return 0;
}

}  // namespace

// Every load of a window shows the pictures decoded on its first load, not copies of them.
class ArtworkTest : public QObject {
    Q_OBJECT
  private slots:
    void loadsSharePictures_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::newRow("launcher picture") << "launcher"
                                          << "Image1";
        QTest::newRow("launcher banner") << "launcher"
                                         << "Image2";
        QTest::newRow("launcher button") << "launcher"
                                         << "Image3_2";
    }
    void loadsSharePictures() {
        QFETCH(QString, window);
        QFETCH(QString, control);
        test::TestServices ts;
        test::RecordingHost host;
        WindowRegistry registry;
        const QByteArray name = control.toLatin1();
        // The launcher decodes its pictures once it is on the screen.
        const auto shown = [&]() -> std::unique_ptr<QWidget> {
            std::unique_ptr<QWidget> w;
            if (window == QLatin1String("launcher")) {
                w = std::make_unique<LauncherWindow>(registry, ts.folder);
            } else {
                w = std::make_unique<ManualWindow>(ts.services, host);
            }
            w->show();
            QTest::qWait(0);
            return w;
        };
        qint64 first = 0;
        {
            const auto w = shown();
            QTRY_VERIFY2((first = shownKey(*w, name.constData())) != 0,
                         "nothing shown: is the runtime folder there?");
        }
        const auto again = shown();
        QTRY_COMPARE(shownKey(*again, name.constData()), first);
    }

    void missingFileIsTriedAgain() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("late.png"));
        const int held = artworkFilesHeld();
        QVERIFY(artworkPixmap(file).isNull());
        QVERIFY(artworkIcon(file).availableSizes().isEmpty());
        QCOMPARE(artworkFilesHeld(), held);
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(file));
        QCOMPARE(artworkPixmap(file).size(), QSize(4, 4));
        QCOMPARE(artworkFilesHeld(), held + 1);
    }
};

QTEST_MAIN(ArtworkTest)
#include "test_artwork.moc"
